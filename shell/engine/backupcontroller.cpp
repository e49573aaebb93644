#include "backupcontroller.h"

#include "backupmessages.h"
#include "driveanswers.h"
#include "errorcodes.h"
#include "interaction.h"
#include "targetthread.h"

TBackupController::TBackupController(TLogFile& log, TBackupObserver& observer)
    : Log(log),
      Observer(observer),
      Target([this](uint32_t message, uintptr_t wParam, intptr_t lParam) {
          return Handle(message, wParam, lParam);
      }) {}

TBackupController::~TBackupController() {
    if (!Thread)
        return;
    Thread->Terminate();
    Thread->WaitFor();
    Thread.reset();
}

void TBackupController::Start(const TProfile& profile) {
    if (Thread)
        return;
    LastResult = {};
    CancelRequested = false;
    Thread = std::make_unique<TBackupThread>(profile, &Log, &Target);
}

void TBackupController::Cancel() {
    if (!Thread || CancelRequested)
        return;
    CancelRequested = true;
    Thread->Terminate();
}

TBackupResult TBackupController::Run(const TProfile& profile,
                                     const std::function<bool()>& cancelWhen) {
    CancelWhen = cancelWhen;
    Start(profile);
    ServeMessagesUntil([&] {
        CheckCancel();
        return !Running();
    });
    CancelWhen = nullptr;
    return LastResult;
}

void TBackupController::CheckCancel() {
    if (CancelWhen && Running() && CancelWhen())
        Cancel();
}

intptr_t TBackupController::Handle(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    // Nothing of a run that has ended is followed any more; a question is cancelled.
    if (!Thread)
        return IDCANCEL;
    switch (message) {
        case WM_TOTALFILES:
            Observer.TotalFilesFound(static_cast<long>(lParam));
            return 0;
        case WM_FILESPROCESSED:
            // WParam is the count here, not the thread.
            Observer.FilesProcessed(static_cast<long>(wParam));
            return 0;
        case WM_BACKUPDONE:
            Finish(0);
            return 0;
        case WM_BACKUPERROR:
            Finish(static_cast<int>(lParam));
            return 0;
        case WM_DRIVEFULL:
        case WM_DISKNOTEMPTY:
        case WM_DISKINSERIES:
        case WM_WRONGDISK:
        case WM_DRIVENOTREADY:
        case WM_WRITEPROTECTED:
        case WM_INVALIDVOLUME: {
            Observer.QuestionComing(message);
            intptr_t answer = AnswerBackupQuestion(message, *Thread);
            // A cancel asked for while the question was up reaches the thread with its answer.
            CheckCancel();
            return answer;
        }
        default:
            return 0;
    }
}

void TBackupController::Finish(int error) {
    // The thread only writes the end of its log once it has told its outcome; the wait
    // keeps serving messages meanwhile.
    Thread->WaitFor();
    LastResult.Error = CancelRequested && error == 0 ? ERR_CANCELLED : error;
    LastResult.FailedFiles = Thread->FailedFiles();
    LastResult.FailedFolders = Thread->FailedFolders();
    Thread.reset();
    if (OnEnded)
        OnEnded(LastResult);
}
