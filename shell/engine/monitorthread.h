#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "sourcepath.h"
#include "targetthread.h"

// How the controller tells a running continuous backup that the log settings changed: it
// sets the flag, and the thread applies the manager's settings at its next wake.
class TLogUpdate {
  public:
    void Signal();
    bool TestAndReset();

  private:
    std::mutex Lock;
    bool Flag = false;
};

// Texts for the log from threads that may not write it (the change monitor): the continuous
// backup thread writes them at its next wake.
class TNoticeList {
  public:
    void Add(const std::string& text);
    std::vector<std::string> Take();

  private:
    std::mutex Lock;
    std::vector<std::string> Texts;
};

// The continuous backup: while automatic backup is on, it takes settled paths from the
// change queue and backs each one up with the full backup's per-file machinery, but only
// files whose archive attribute is set. It wakes at least every second, flushes the log
// each time, and ends with WM_MONITORERROR when the run cannot go on.
class TMonitorThread : public TBackupThread {
  public:
    // Told in this thread after each file it took on: the file and 0, or the error.
    using TFileReport = std::function<void(const std::string& file, int error)>;

    // Starts at once, on its own copy of profile. With catchUp it first walks the sources
    // as a full backup does and backs up the files changed while nothing watched them.
    TMonitorThread(const TProfile& profile, TLogFile* log, TMessageTarget* controller,
                   TSourcePathList& paths, TLogUpdate& logUpdate, TNoticeList& notices,
                   TFileReport fileReport = {}, bool catchUp = false);
    ~TMonitorThread() override;

  protected:
    void Execute() override;
    void ProcessFiles() override;
    bool AcceptFile() override;
    void FileDone() override;

  public:
    // The code the run ended with (0 while it goes on or when it ended well), also when its
    // WM_MONITORERROR was never handled.
    int EndedWith() const { return EndError; }

  private:
    void EndWith(int code);
    void TakeUpLogSettings();
    void WriteNotices();

    TSourcePathList& Paths;
    TLogUpdate& LogUpdate;
    TNoticeList& Notices;
    TFileReport FileReport;
    const bool CatchUp;
    std::atomic<int> EndError{0};
};
