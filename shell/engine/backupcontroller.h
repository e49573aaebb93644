#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/messages.h"

class TBackupThread;
class TLogFile;
class TProfile;

// What a front end shows of a full backup run. Every call comes in the main thread.
class TBackupObserver {
  public:
    virtual ~TBackupObserver() = default;
    // The counting pass found total files.
    virtual void TotalFilesFound(long total) = 0;
    // done files of the total have been handled.
    virtual void FilesProcessed(long done) = 0;
    // The thread asks message (WM_DRIVEFULL ... WM_INVALIDVOLUME); the question is put to the
    // user through the interaction interface right after this call.
    virtual void QuestionComing(uint32_t message) = 0;
};

// How a run ended.
struct TBackupResult {
    // 0 when the run went through to its end (files may still have failed), else the code it
    // ended with (errorcodes.h; ERR_CANCELLED when it was cancelled).
    int Error = 0;
    // Files that could not be saved and folders that could not be read; each has its entry
    // in the log.
    int FailedFiles = 0;
    int FailedFolders = 0;
};

// The controller of full backup runs, for every front end: it starts the backup thread,
// follows its messages in the main thread's event loop, answers its questions (through
// AnswerBackupQuestion, which asks the user through the interaction interface), and tells
// an observer how far the run has come.
class TBackupController {
  public:
    // log and observer must outlive the controller. Made in the main thread.
    TBackupController(TLogFile& log, TBackupObserver& observer);
    // Cancels a run still going and waits for its end.
    ~TBackupController();
    TBackupController(const TBackupController&) = delete;
    TBackupController& operator=(const TBackupController&) = delete;

    // Starts a full backup of a copy of profile; the run goes on while the main thread's
    // event loop runs. One run at a time.
    void Start(const TProfile& profile);
    // Asks the run to stop at the next folder; it then ends with ERR_CANCELLED.
    void Cancel();
    bool Running() const { return Thread != nullptr; }
    // The outcome of the last run, once it has ended.
    const TBackupResult& Result() const { return LastResult; }
    // Called in the main thread once a run has ended and its thread is gone.
    std::function<void(const TBackupResult&)> OnEnded;

    // Start, then serve the main thread's events until the run has ended. cancelWhen is
    // asked after every question of the thread and at least every 20 ms; once it holds the
    // run is cancelled.
    TBackupResult Run(const TProfile& profile, const std::function<bool()>& cancelWhen = {});

  private:
    intptr_t Handle(uint32_t message, uintptr_t wParam, intptr_t lParam);
    // Cancels the run when Run's cancelWhen holds.
    void CheckCancel();
    void Finish(int error);

    TLogFile& Log;
    TBackupObserver& Observer;
    TMessageTarget Target;
    std::unique_ptr<TBackupThread> Thread;
    TBackupResult LastResult;
    bool CancelRequested = false;
    std::function<bool()> CancelWhen;  // while Run runs
};
