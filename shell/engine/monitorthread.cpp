#include "monitorthread.h"

#include "backupmessages.h"
#include "display.h"
#include "errorcodes.h"
#include "platform/files.h"
#include "profilemgr.h"

namespace {

constexpr uint32_t kWakeMs = 1000;

}  // namespace

void TLogUpdate::Signal() {
    std::lock_guard guard(Lock);
    Flag = true;
}

bool TLogUpdate::TestAndReset() {
    std::lock_guard guard(Lock);
    bool flag = Flag;
    Flag = false;
    return flag;
}

void TNoticeList::Add(const std::string& text) {
    std::lock_guard guard(Lock);
    Texts.push_back(text);
}

std::vector<std::string> TNoticeList::Take() {
    std::lock_guard guard(Lock);
    std::vector<std::string> texts;
    texts.swap(Texts);
    return texts;
}

TMonitorThread::TMonitorThread(const TProfile& profile, TLogFile* log, TMessageTarget* controller,
                               TSourcePathList& paths, TLogUpdate& logUpdate, TNoticeList& notices,
                               TFileReport fileReport, bool catchUp)
    : TBackupThread(profile, log, controller, true),
      Paths(paths),
      LogUpdate(logUpdate),
      Notices(notices),
      FileReport(std::move(fileReport)),
      CatchUp(catchUp) {
    Resume();
}

TMonitorThread::~TMonitorThread() {
    // The body uses this object's members: it must have ended before they go.
    Terminate();
    Paths.PathEvent.Set();
    WaitFor();
}

void TMonitorThread::Execute() {
    LowerPriority();
    WriteLog(lcEnabled, true);
    try {
        ClaimTarget();
        PrepareTarget();
        if (CatchUp)
            ScanFiles(true);  // AcceptFile takes only the files whose attribute is set
        while (!Terminated()) {
            Paths.PathEvent.WaitFor(kWakeMs);
            ProcessFiles();
            TakeUpLogSettings();
            WriteNotices();
            FlushLog();
        }
    } catch (const ETargetThreadError& e) {
        EndWith(e.Code);
    } catch (const EAbort&) {
        EndWith(ERR_CANCELLED);
    } catch (const std::exception& e) {
        ShowException(e);
        EndWith(ERR_UNEXPECTED);
    }
    WriteNotices();
    CloseTemporaryFile();
    FRootLock.reset();
    WriteLog(lcDisabled, true);
}

void TMonitorThread::ProcessFiles() {
    while (!Terminated()) {
        FSourceName = Paths.Take();
        if (FSourceName.empty())
            break;
        BackupFile();  // passes over what AcceptFile refuses, without a log entry
    }
}

bool TMonitorThread::AcceptFile() {
    if (!TBackupThread::AcceptFile())
        return false;
    int attributes = GetFileAttributes(FSourceName);
    return attributes >= 0 && (attributes & faArchive) != 0;
}

void TMonitorThread::FileDone() {
    if (FileReport)
        FileReport(FSourceName, FErrorCode);
}

void TMonitorThread::EndWith(int code) {
    EndError = code;
    ReportError(code, WM_MONITORERROR);
}

void TMonitorThread::TakeUpLogSettings() {
    TProfileMgr* manager = TProfile::Manager;
    if (!LogUpdate.TestAndReset() || !manager || !FLog)
        return;
    FLogEnabled = manager->CreateLog;
    // A log that cannot be rewritten must not stop the backup (as for every entry).
    GuardLog([&] {
        FLog->Update(static_cast<TLogType>(manager->LogType), manager->MaxLogEntries,
                     manager->CreateLog);
    });
}

void TMonitorThread::WriteNotices() {
    for (const std::string& text : Notices.Take()) {
        if (FLogEnabled && FLog)
            GuardLog([&] { FLog->WriteNotice(text, false); });
    }
}
