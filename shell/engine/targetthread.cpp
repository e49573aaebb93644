#include "targetthread.h"

#include <deque>

#include "backupmessages.h"
#include "display.h"
#include "errorcodes.h"
#include "platform/drivemap.h"
#include "platform/filelock.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/realpath.h"
#include "platform/syserror.h"
#include "profilemgr.h"
#include "strtable.h"
#include "versions.h"
#include "vfileutil.h"
#include "vstringutil.h"
#include "zstream.h"

namespace {

// Copies on their way into the backup root, before they become a version.
const char* const kWorkFilePrefix = "VLNEW___.";
// The run's temporary file in the system's temporary folder.
const char* const kTempFilePrefix = "VLD";

std::string BackupRootOf(const TProfile& profile) {
    return AppendSlash(NormalisePath(profile.Target)) + LoadStr(109);
}

// A name that drive paths cannot hold (it would read as a separator or a wildcard).
bool IsUsableName(const std::string& name) {
    return name.find_first_of("\\*?") == std::string::npos;
}

// Is path, as written, folder or below it?
bool IsWrittenBelow(const std::string& path, const std::string& folder) {
    std::string written = RemoveSlash(path);
    return SamePath(written, folder) ||
           (written.size() > folder.size() && written[folder.size()] == '\\' &&
            SamePath(written.substr(0, folder.size()), folder));
}

int ErrorOr(int fallback) {
    int error = GetLastError();
    return error != 0 ? error : fallback;
}

}  // namespace

TBackupThread::TBackupThread(const TProfile& profile, TLogFile* log, TMessageTarget* controller)
    : TBackupThread(profile, log, controller, true) {
    Resume();
}

TBackupThread::TBackupThread(const TProfile& profile, TLogFile* log, TMessageTarget* controller,
                             bool)
    : TThread(true),
      FTargetRoot(BackupRootOf(profile)),
      FProfile(profile),
      FLog(log),
      FExeName(GetExeName()),
      FTempDir(GetTempDir()),
      FLogEnabled(TProfile::Manager ? TProfile::Manager->CreateLog : log != nullptr),
      FController(controller) {}

TBackupThread::~TBackupThread() {
    Terminate();
    WaitFor();
    CloseTemporaryFile();
}

void TBackupThread::Execute() {
    LowerPriority();
    WriteLog(lcBackupStart, true);
    try {
        // Before the files are counted, where the target can already be found.
        ClaimTarget();
        int total = ScanFiles(false);
        Post(WM_TOTALFILES, reinterpret_cast<uintptr_t>(this), total);
        PrepareTarget();
        ProcessFiles();
        FlushLog();
        Post(WM_BACKUPDONE, reinterpret_cast<uintptr_t>(this), 0);
    } catch (const ETargetThreadError& e) {
        ReportError(e.Code, WM_BACKUPERROR);
    } catch (const EAbort&) {
        ReportError(ERR_CANCELLED, WM_BACKUPERROR);
    } catch (const std::exception& e) {
        ShowException(e);
        ReportError(ERR_UNEXPECTED, WM_BACKUPERROR);
    }
    CloseTemporaryFile();
    FRootLock.reset();
    WriteLog(lcBackupEnd, true);
}

void TBackupThread::ProcessFiles() {
    ScanFiles(true);
}

void TBackupThread::ClaimTarget() {
    LockBackupRoot();
    // Temporary files of runs that were killed are never used again.
    RemoveStaleWorkFiles(FTempDir, kTempFilePrefix);
}

void TBackupThread::LocateOwnFiles() {
    // Where the backup root, the log and the program really are, links resolved: a source
    // may reach them under other names (a target that is a link into a source folder, a
    // source reached through a link, a drive whose folder lies inside another's). Looked
    // up again once the root exists and whenever the sources are walked.
    if (!RealHostPath(FTargetRoot, FRealTargetRoot))
        FRealTargetRoot = THostPath();
    if (!FLog || !RealHostPath(FLog->FileName, FRealLogName))
        FRealLogName = THostPath();
    if (!RealHostPath(FExeName, FRealExeName))
        FRealExeName = THostPath();
}

bool TBackupThread::IsInsideBackupRoot(const std::string& path) const {
    if (IsWrittenBelow(path, FTargetRoot))
        return true;
    THostPath real;
    return RealHostPath(path, real) && IsRealPathInside(real, FRealTargetRoot);
}

bool TBackupThread::IsOwnFile(const std::string& path) const {
    if (IsWrittenBelow(path, FTargetRoot))
        return true;
    THostPath real;
    if (!RealHostPath(path, real))
        return false;
    return IsRealPathInside(real, FRealTargetRoot) || real == FRealLogName || real == FRealExeName;
}

int TBackupThread::ScanFiles(bool backup) {
    std::deque<std::string> folders;
    std::string lettersSeen;
    bool rootPass = false;
    int counter = 0;
    LocateOwnFiles();
    for (const std::string& entry : FProfile.GetSourceFolders()) {
        if (Terminated())
            break;
        // One written form per folder, so that the backup root is recognised however
        // the profile spells it, and copies are named below the drive's own folder.
        std::string source = NormalisePath(entry);
        if (source.size() > 3 && lettersSeen.find(source[0]) == std::string::npos) {
            folders.push_back(std::string(1, source[0]) + ":\\");
            lettersSeen += source[0];
            rootPass = true;
        }
        folders.push_back(source);
        while (!folders.empty() && !Terminated()) {
            std::string folder = folders.front();
            folders.pop_front();
            // Earlier copies are never backed up again, even when the target lies inside
            // a source folder, however the folder is reached.
            if (IsInsideBackupRoot(folder))
                continue;
            TFileSearch search(AppendSlash(folder) + "*.*", faAnyFile);
            for (; search.Found(); search.Next()) {
                bool usable = IsUsableName(search.Rec().Name);
                if (search.IsDirectory()) {
                    if (search.IsDotDirectory() || rootPass)
                        continue;
                    if (usable)
                        folders.push_back(search.FullName());
                    else if (backup)
                        ReportUnusableName(search.FullName());
                    continue;
                }
                ++counter;
                if (backup) {
                    FSourceName = search.FullName();
                    if (usable)
                        BackupFile();
                    else
                        ReportUnusableName(FSourceName);
                    Post(WM_FILESPROCESSED, static_cast<uintptr_t>(counter), 0);
                }
            }
            if (backup && search.Error() != 0)
                ReportUnreadableFolder(folder, search.Error());
            rootPass = false;
        }
    }
    return counter;
}

void TBackupThread::ReportUnusableName(const std::string& path) {
    // Such a file or folder cannot be named in drive form: it is reported, never passed
    // over in silence, and never mistaken for another path.
    FSourceName = path;
    FErrorCode = ERROR_INVALID_NAME;
    ++FFailedFiles;
    WriteLog(lcSaveFile, false);
    FErrorCode = 0;
}

void TBackupThread::ReportUnreadableFolder(const std::string& folder, int error) {
    // What a folder holds that cannot be read is not backed up: the user hears of it, and
    // the run does not pass for a complete one.
    ++FFailedFolders;
    FSourceName = folder;
    FErrorCode = error;
    WriteLog(lcReadFolder, false);
    FErrorCode = 0;
}

bool TBackupThread::AcceptFile() {
    if (!FileExists(FSourceName))
        return false;
    FSourceName = ShortToLongPath(FSourceName);
    if (FLog && SameText(FSourceName, FLog->FileName))
        return false;
    if (SameText(FSourceName, FExeName))
        return false;
    if (FSourceName.find(FTempDir) != std::string::npos)
        return false;
    if (SameText(ExtractFileName(FSourceName), "Win386.swp"))
        return false;
    if (IsOwnFile(FSourceName))
        return false;
    return FProfile.DoesFileNameMatch(FSourceName);
}

void TBackupThread::BackupFile() {
    if (!AcceptFile())
        return;
    try {
        if (CompressFile() && CheckTargetSpace() && CopyToTarget())
            ClearArchiveBit();
        if (FErrorCode != 0)
            ++FFailedFiles;
        WriteLog(lcSaveFile, false);
        FileDone();
        FErrorCode = 0;
    } catch (...) {
        EmptyTemporaryFile();
        throw;
    }
    EmptyTemporaryFile();
}

bool TBackupThread::OpenTemporaryFile() {
    if (FTemp)
        return true;
    int error = GetTempFile(FTempName, kTempFilePrefix);
    if (error != 0) {
        FErrorCode = error;
        return false;
    }
    try {
        FTemp = std::make_unique<TFileStream>(FTempName, fmOpenReadWrite);
        return true;
    } catch (const std::exception&) {
        FErrorCode = ErrorOr(ERROR_ACCESS_DENIED);
        DeleteFile(FTempName);
        return false;
    }
}

void TBackupThread::EmptyTemporaryFile() {
    try {
        if (FTemp)
            FTemp->SetSize(0);
    } catch (const std::exception&) {
        CloseTemporaryFile();  // a file that cannot be emptied is replaced by a new one
    }
}

void TBackupThread::CloseTemporaryFile() {
    if (!FTemp)
        return;
    FTemp.reset();
    DeleteFile(FTempName);
}

bool TBackupThread::CompressFile() {
    if (!OpenTemporaryFile())
        return false;
    try {
        // A file written to while it is read would be stored torn: read it again once,
        // and give up on it when it keeps changing.
        if (!CompressUnchanged() && !CompressUnchanged()) {
            FErrorCode = ERR_FILECHANGED;
            return false;
        }
        MakeTargetName();
        FErrorCode = 0;
        return true;
    } catch (const std::exception&) {
        FErrorCode = ErrorOr(ERROR_FILE_NOT_FOUND);
        return false;
    }
}

bool TBackupThread::CompressUnchanged() {
    TFileStamp before, after;
    if (!GetFileStamp(FSourceName, before))
        RaiseLastOSError();
    TVZipStream zip(FSourceName);
    zip.SetCompLevel(FProfile.Header.Compression ? -1 : 0);
    zip.Header.Key = FProfile.Header.Key;
    FTemp->SetSize(0);
    try {
        zip >> FTemp.get();
    } catch (const EReadError&) {
        return false;  // the file grew shorter while it was read: it changed
    }
    FTargetSize = zip.LastTargetSize();
    if (!GetFileStamp(FSourceName, after))
        RaiseLastOSError();
    FCompressedStamp = after;
    return before == after;
}

void TBackupThread::MakeTargetName() {
    // C:\Data\x.doc lies below the root as \C\Data\x.doc.
    FTargetName = FTargetRoot + "\\" + FSourceName[0] + FSourceName.substr(2);
}

bool TBackupThread::CheckTargetSpace() {
    CheckDiskette();
    if (FDrive->IsRemovable() && FDrive->GetCapacity() < FTargetSize) {
        FErrorCode = ERR_FILETOOLARGE;
        return false;
    }
    while (FDrive->GetFreeBytes() < FTargetSize) {
        Ask(WM_DRIVEFULL);
        if (FDrive->GetType() == DRIVE_FIXED)
            throw ETargetThreadError(ERR_TARGETFULL);
        CheckDiskette();
    }
    return true;
}

void TBackupThread::CheckDiskette() {
    for (;;) {
        TMediaResults results;
        if (!CheckMedia(results))
            return;
        std::string label = FDrive->GetLabel();
        if (FDrive->IsEmpty()) {
            FDrive->SetLabel(FProfile.GetNextLabel(true));
            TargetReady();
            return;
        }
        Ask(FProfile.IsLabelValid(label) ? WM_DISKINSERIES : WM_DISKNOTEMPTY);
    }
}

bool TBackupThread::CheckMedia(TMediaResults& results) {
    for (;;) {
        FDrive->IsMediaValid(results);
        if (results.Contains(mdNoDrive))
            throw ETargetThreadError(ERR_TARGETNOTFOUND);
        if (results.Contains(mdNoMedia)) {
            Ask(WM_DRIVENOTREADY);
            continue;
        }
        // Every answer from here on may change the medium (format, erase, write).
        LockBackupRoot();
        if (results.Contains(mdWriteProtected)) {
            Ask(WM_WRITEPROTECTED);
        } else if (results.Contains(mdBadVolumeId)) {
            Ask(WM_INVALIDVOLUME);
        } else {
            return !results.Contains(mdFixed) && results.Contains(mdChanged);
        }
    }
}

void TBackupThread::LockBackupRoot() {
    if (FRootLock)
        return;
    // A drive without its medium has no folder yet: the lock is taken once it has one.
    THostPath host;
    if (!HostPathOf(FTargetRoot, host))
        return;
    auto lock = std::make_unique<TFileLock>(TFileLock::NameForFolder(host), TFileLock::lwTry);
    if (!lock->Locked()) {
        if (GetLastError() == ERROR_SHARING_VIOLATION)
            throw ETargetThreadError(ERR_TARGETBUSY);
        throw Exception("The backup to \"" + FTargetRoot + "\" cannot be guarded against " +
                        "other backups to it. " + SysErrorMessage(GetLastError()));
    }
    FRootLock = std::move(lock);
}

void TBackupThread::PrepareTarget() {
    FTargetRoot = BackupRootOf(FProfile);
    // A target that is no drive path has no drive: the drive object refuses it.
    FDrive = std::make_unique<TVDrive>(IsDrivePath(FTargetRoot) ? FTargetRoot[0] : '\0');
    FDrive->FCaption = LoadStr(101);
    for (;;) {
        TMediaResults results;
        CheckMedia(results);
        if (results.Contains(mdFixed))
            break;
        std::string driveLabel = FDrive->GetLabel();
        std::string current = FProfile.GetLabel();
        if (current.empty()) {
            if (FDrive->IsEmpty()) {
                FDrive->SetLabel(FProfile.GetNextLabel(true));
                break;
            }
            Ask(FProfile.IsLabelValid(driveLabel) ? WM_DISKINSERIES : WM_DISKNOTEMPTY);
        } else if (SameText(current, driveLabel)) {
            break;
        } else {
            Ask(WM_WRONGDISK);
        }
    }
    TargetReady();
    LocateOwnFiles();
    // Copies a crash left on their way in never became versions.
    for (TFileSearch work(FTargetRoot + "\\" + kWorkFilePrefix + "*", faAnyFile); work.Found();
         work.Next()) {
        if (!work.IsDirectory())
            DeleteFile(work.FullName());
    }
}

void TBackupThread::TargetReady() {
    FDrive->Update();
    FDrive->SetCurrentDir(FTargetRoot, true);
    SaveProfile();
}

bool TBackupThread::CopyToTarget() {
    std::string work;
    try {
        FDrive->SetCurrentDir(RemoveSlash(ExtractFilePath(FTargetName)), true);
        if (!CreateUniqueFile(FTargetRoot, kWorkFilePrefix, work))
            RaiseLastOSError();
        {
            TFileStream out(work, fmOpenReadWrite);
            FTemp->SetPosition(0);
            out.CopyFrom(*FTemp);
            // On the medium before it takes a version's name: a power cut must not leave
            // an empty or partial copy there.
            out.Flush();
        }
        if (!PlaceNewVersion(work, FTargetName, FProfile.Header.NumVersions))
            RaiseLastOSError();
        FTargetName = VersionName(FTargetName, 1);
        FErrorCode = 0;
        return true;
    } catch (const EAbort&) {
        if (!work.empty())
            DeleteFile(work);
        throw;
    } catch (const std::exception&) {
        FErrorCode = ErrorOr(110);
        if (!work.empty())
            DeleteFile(work);
        return false;
    }
}

void TBackupThread::ClearArchiveBit() {
    // Only the state that was copied counts as backed up: a file changed since keeps its
    // archive attribute, so the change is not missed.
    TFileStamp now;
    if (!GetFileStamp(FSourceName, now) || !(now == FCompressedStamp))
        return;
    int attributes = GetFileAttributes(FSourceName);
    if (attributes != -1)
        SetFileAttributes(FSourceName, attributes & ~faArchive);
}

void TBackupThread::ReportError(int code, uint32_t message) {
    FErrorCode = code;
    WriteLog(lcError, false);
    FErrorCode = 0;
    Post(message, reinterpret_cast<uintptr_t>(this), code);
}

void TBackupThread::GuardLog(const std::function<void()>& work) {
    try {
        work();
    } catch (const std::exception& e) {
        // A log that cannot be written must not stop the backup; the user hears of it once.
        if (!FLogFailed)
            ShowException(e);
        FLogFailed = true;
    }
}

void TBackupThread::WriteLog(TLogCode code, bool flush) {
    if (!FLogEnabled || !FLog)
        return;
    GuardLog([&] {
        if (code == lcSaveFile || code == lcRestoreFile || code == lcReadFolder) {
            FLog->WriteEntry(code, FSourceName, FErrorCode, flush);
        } else {
            FLog->WriteEntry(code, FErrorCode, flush);
        }
    });
}

void TBackupThread::FlushLog() {
    if (!FLogEnabled || !FLog)
        return;
    GuardLog([&] { FLog->Flush(); });
}

void TBackupThread::SaveProfile() {
    Synchronize([this] {
        TProfileMgr* manager = TProfile::Manager;
        if (!manager || !manager->GetCurrentProfile())
            return;
        manager->UpdateCurrentProfile(&FProfile);
        manager->SaveCurrentProfile();
    });
}

intptr_t TBackupThread::Ask(uint32_t message) {
    intptr_t answer = FController->SendMessage(message, reinterpret_cast<uintptr_t>(this), 0);
    if (answer == 2)
        throw EAbort(LoadStr(32018));
    return answer;
}

void TBackupThread::Post(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    FController->PostMessage(message, wParam, lParam);
}
