#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "monitorthread.h"
#include "platform/messages.h"
#include "sourcepath.h"
#include "sourcethread.h"

class TLogFile;
class TProfileMgr;

// What a front end shows while automatic backup is switched off with the wait ("Please
// wait. Backing up outstanding files...").
class TShutdownNotice {
  public:
    virtual ~TShutdownNotice() = default;
    virtual void Show() = 0;
    virtual void Hide() = 0;
};

// One file the continuous backup took on: saved (Error 0) or not.
struct TFileOutcome {
    std::string File;
    int Error = 0;
};

// Automatic backup, switched on and off, for every front end: the change monitor thread,
// the continuous backup thread, the queue between them and the answers to the thread's
// questions. Lives in the main thread, whose event loop carries the thread's messages.
class TAutoBackup {
  public:
    // The smallest time the shutdown notice stays up, so it can be read.
    static constexpr uint32_t kShutdownNoticeMs = 2000;

    // manager and log must outlive the object.
    TAutoBackup(TProfileMgr& manager, TLogFile& log);
    // Switches automatic backup off without waiting for what is queued.
    ~TAutoBackup();
    TAutoBackup(const TAutoBackup&) = delete;
    TAutoBackup& operator=(const TAutoBackup&) = delete;

    // Watches the current profile's sources and backs up what changes. With catchUp, the
    // files changed while nothing watched (archive attribute set) are backed up first.
    // False when the system offers no change monitor (the front end says so and ends).
    bool Enable(bool catchUp = false);
    // Stops watching. With wait, every change reported so far is backed up first, while the
    // notice (when given) is up for at least kShutdownNoticeMs; the main thread's events are
    // served meanwhile, so the thread's questions are answered.
    void Disable(bool wait, TShutdownNotice* notice = nullptr);
    bool Monitoring() const { return Backup != nullptr; }

    // The code the continuous backup last ended with (0: none).
    int LastError() const { return FLastError; }
    // Called in the main thread when the continuous backup ended by error, after automatic
    // backup was switched off: the front end tells the user (MonitorErrorMessage).
    std::function<void(int error)> OnMonitorError;
    // The files taken on since last asked.
    std::vector<TFileOutcome> TakeOutcomes();

    // Tells the continuous backup that the manager's log settings changed.
    void LogSettingsChanged() { LogUpdate.Signal(); }

  private:
    intptr_t Handle(uint32_t message, uintptr_t wParam, intptr_t lParam);
    void StopMonitor();
    void StopBackup();

    TProfileMgr& Manager;
    TLogFile& Log;
    TSourcePathList SourcePaths;
    TLogUpdate LogUpdate;
    TNoticeList Notices;
    TMessageTarget Target;
    std::unique_ptr<TSourceThread> Monitor;
    std::unique_ptr<TMonitorThread> Backup;
    TMonitorThread* Stopping = nullptr;  // the thread a stop waits for, out of Backup
    int FLastError = 0;
    std::mutex OutcomesLock;
    std::vector<TFileOutcome> Outcomes;
};

// The message that tells the user why automatic backup ended (364, 258 or 357).
int MonitorErrorMessage(int error);
