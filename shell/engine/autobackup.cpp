#include "autobackup.h"

#include "backupmessages.h"
#include "driveanswers.h"
#include "errorcodes.h"
#include "interaction.h"
#include "logfile.h"
#include "platform/clock.h"
#include "platform/event.h"
#include "profilemgr.h"

TAutoBackup::TAutoBackup(TProfileMgr& manager, TLogFile& log)
    : Manager(manager),
      Log(log),
      Target([this](uint32_t message, uintptr_t wParam, intptr_t lParam) {
          return Handle(message, wParam, lParam);
      }) {}

TAutoBackup::~TAutoBackup() {
    Disable(false);
}

bool TAutoBackup::Enable(bool catchUp) {
    if (Monitoring())
        return true;
    TProfile* profile = Manager.GetCurrentProfile();
    if (!profile)
        return false;
    Monitor = std::make_unique<TSourceThread>(
        SourcePaths, [this](const std::string& text) { Notices.Add(text); });
    if (!Monitor->Start(profile->GetSourceDrives(), profile->Source)) {
        Monitor.reset();
        return false;
    }
    FLastError = 0;
    Backup = std::make_unique<TMonitorThread>(
        *profile, &Log, &Target, SourcePaths, LogUpdate, Notices,
        [this](const std::string& file, int error) {
            std::lock_guard guard(OutcomesLock);
            Outcomes.push_back({file, error});
        },
        catchUp);
    return true;
}

void TAutoBackup::Disable(bool wait, TShutdownNotice* notice) {
    if (!Monitoring())
        return;
    uint32_t shownAt = GetTickCount();
    if (wait && notice)
        notice->Show();
    // No new paths after this; what the monitor still held is in the queue now.
    StopMonitor();
    SourcePaths.PathEvent.Set();
    if (wait) {
        TEvent drained;
        SourcePaths.SetDrainEvent(&drained);
        ServeMessagesUntil([&] {
            return FLastError != 0 || !Backup || Backup->Finished() ||
                   drained.WaitFor(0) == wrSignaled;
        });
        SourcePaths.SetDrainEvent(nullptr);
    }
    StopBackup();
    if (wait && notice) {
        ServeMessagesUntil([&] { return GetTickCount() - shownAt >= kShutdownNoticeMs; });
        notice->Hide();
    }
}

void TAutoBackup::StopMonitor() {
    Monitor.reset();  // ends the thread and waits for it
}

void TAutoBackup::StopBackup() {
    if (!Backup)
        return;
    // Out of Backup before the wait: a message the thread sends or posts meanwhile (its
    // question about the file it finishes, an error) is answered for Stopping and can never
    // start another stop of the same thread.
    std::unique_ptr<TMonitorThread> thread = std::move(Backup);
    Stopping = thread.get();
    thread->Terminate();
    SourcePaths.PathEvent.Set();
    thread->WaitFor();
    Stopping = nullptr;
    // An error whose message came too late to be handled is not lost.
    if (FLastError == 0)
        FLastError = thread->EndedWith();
}

std::vector<TFileOutcome> TAutoBackup::TakeOutcomes() {
    std::lock_guard guard(OutcomesLock);
    std::vector<TFileOutcome> taken;
    taken.swap(Outcomes);
    return taken;
}

intptr_t TAutoBackup::Handle(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    // Messages of a thread that is no longer the current one are not followed; a question
    // is cancelled.
    TMonitorThread* thread = Backup ? Backup.get() : Stopping;
    if (!thread || wParam != reinterpret_cast<uintptr_t>(thread))
        return message == WM_MONITORERROR ? 0 : IDCANCEL;
    switch (message) {
        case WM_MONITORERROR:
            FLastError = static_cast<int>(lParam);
            if (thread == Stopping)
                return 0;  // being stopped already: the stop reports the error
            Disable(false);
            if (OnMonitorError)
                OnMonitorError(FLastError);
            return 0;
        case WM_DRIVEFULL:
        case WM_DISKNOTEMPTY:
        case WM_DISKINSERIES:
        case WM_WRONGDISK:
        case WM_DRIVENOTREADY:
        case WM_WRITEPROTECTED:
        case WM_INVALIDVOLUME:
            return AnswerBackupQuestion(message, *thread);
        default:
            return 0;  // progress of a catch-up walk
    }
}

int MonitorErrorMessage(int error) {
    switch (error) {
        case ERR_TARGETNOTFOUND:
            return 364;
        case ERR_CANCELLED:
            return 258;
        default:
            return 357;
    }
}
