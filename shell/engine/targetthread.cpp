#include "targetthread.h"

#include <algorithm>
#include <chrono>
#include <deque>

#include "backupmessages.h"
#include "display.h"
#include "errorcodes.h"
#include "interaction.h"
#include "platform/clock.h"
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

// A batch of copies is synced and put in place once it holds this many files or bytes, or
// once its first file has waited this long (so that progress never stalls for long).
constexpr size_t kBatchFiles = 2000;
constexpr int64_t kBatchBytes = int64_t{256} << 20;
constexpr uint32_t kBatchMs = 1000;
// Error of a copy that could not be put in place (ERROR_OPEN_FAILED).
constexpr int kPlacementFailed = 110;

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
    if (UsesCopyWorkers())
        ProcessFilesWithWorkers();
    else
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

bool TBackupThread::IsOwnFile(const std::string& path) {
    if (IsWrittenBelow(path, FTargetRoot))
        return true;
    // Files come folder by folder: the folder's real path is looked up once for all.
    std::string folder = ExtractFilePath(path);
    if (folder != FRealFolderName) {
        FRealFolderName.clear();
        if (!RealHostPath(folder, FRealFolder))
            return false;
        FRealFolderName = folder;
    }
    // A file the walk met as no link is where its folder is; anything else is looked at.
    THostPath real = FSourceIsPlainFile ? FRealFolder / ExtractFileName(path)
                                        : RealPathInFolder(FRealFolder, ExtractFileName(path));
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
            // The walk takes every file whatever its archive attribute, and needs of a
            // file only its name and whether it is a link.
            TFileSearch search(AppendSlash(folder) + "*.*", faAnyFile & ~faArchive, sdKinds);
            for (; search.Found() && !Terminated(); search.Next()) {
                bool usable = IsUsableName(search.Rec().Name);
                if (search.IsDirectory()) {
                    // A drive root gives its files alone; below it every folder is the
                    // user's, those whose names begin with a dot too.
                    if (rootPass)
                        continue;
                    if (usable)
                        folders.push_back(search.FullName());
                    else if (backup)
                        TakeFile(0, search.FullName(), false);
                    continue;
                }
                ++counter;
                if (backup) {
                    FSourceIsPlainFile = !search.Rec().Link;
                    TakeFile(counter, search.FullName(), usable);
                    FSourceIsPlainFile = false;
                }
            }
            if (backup && search.Error() != 0)
                TakeUnreadableFolder(folder, search.Error());
            rootPass = false;
        }
    }
    return counter;
}

void TBackupThread::TakeFile(int counter, const std::string& name, bool usable) {
    if (FWorkers) {
        auto item = std::make_unique<TCopyItem>();
        item->Counter = counter;
        item->SourceName = name;
        if (!usable) {
            item->Kind = TCopyItem::ikUnusableName;
        } else {
            FSourceName = name;
            item->Kind = AcceptFile() ? TCopyItem::ikCopy : TCopyItem::ikPassedOver;
            item->SourceName = FSourceName;
        }
        AddItem(std::move(item));
        return;
    }
    FSourceName = name;
    if (usable)
        BackupFile();
    else
        ReportUnusableName(FSourceName);
    if (counter > 0)
        Post(WM_FILESPROCESSED, static_cast<uintptr_t>(counter), 0);
}

void TBackupThread::TakeUnreadableFolder(const std::string& folder, int error) {
    if (FWorkers) {
        auto item = std::make_unique<TCopyItem>();
        item->Kind = TCopyItem::ikUnreadableFolder;
        item->SourceName = folder;
        item->FolderError = error;
        AddItem(std::move(item));
        return;
    }
    ReportUnreadableFolder(folder, error);
}

bool TBackupThread::UsesCopyWorkers() const {
    // A removable medium keeps the copy in the temporary folder until the medium is known
    // to take it, one medium at a time.
    return !FDrive->IsRemovable();
}

void TBackupThread::ProcessFilesWithWorkers() {
    TCopySettings settings{FTargetRoot, kWorkFilePrefix,
                           static_cast<int8_t>(FProfile.Header.Compression ? -1 : 0),
                           FProfile.Header.Key};
    FWorkers = std::make_unique<TCopyWorkers>(settings, TCopyWorkers::DefaultThreads(),
                                              [this] { return Terminated(); });
    try {
        ScanFiles(true);
        TakeFinishedItems(true);
        CommitBatch();
        PlaceSyncedBatch(true);
    } catch (...) {
        FWorkers.reset();
        DiscardBatch();
        throw;
    }
    FWorkers.reset();
    // The names given in the last batches reach the medium before the run says it is done.
    SyncFileSystemOf(FTargetRoot);
}

void TBackupThread::AddItem(std::unique_ptr<TCopyItem> item) {
    FWorkers->Add(std::move(item));
    // Behind a large file the workers may finish many small ones: they wait for it here,
    // so that what the run holds stays bounded.
    TakeFinishedItems(FWorkers->Full());
}

void TBackupThread::TakeFinishedItems(bool all) {
    PlaceSyncedBatch(false);
    bool wait = all;
    while (std::unique_ptr<TCopyItem> item = FWorkers->TakeFirst(wait)) {
        wait = all && !FWorkers->Empty();
        if (FBatch.empty())
            FBatchStart = GetTickCount();
        if (!item->WorkFile.empty())
            FBatchBytes += item->SourceSize;
        FBatch.push_back(std::move(item));
        if (IsBatchDue())
            CommitBatch();
    }
    if (IsBatchDue())
        CommitBatch();
}

bool TBackupThread::IsBatchDue() const {
    return !FBatch.empty() && (FBatch.size() >= kBatchFiles || FBatchBytes >= kBatchBytes ||
                               GetTickCount() - FBatchStart >= kBatchMs);
}

void TBackupThread::CommitBatch() {
    if (FBatch.empty())
        return;
    PlaceSyncedBatch(true);  // one batch is synced at a time
    bool anyCopy = std::any_of(FBatch.begin(), FBatch.end(),
                               [](const auto& item) { return !item->WorkFile.empty(); });
    if (anyCopy)
        CheckDiskette();  // the target is still there
    FSyncing = std::move(FBatch);
    FBatch.clear();
    FBatchBytes = 0;
    // Every copy of the batch is on the medium before any of them takes a version's name
    // (PlaceSyncedBatch): a power cut must not leave an empty or partial copy under one.
    // The sync runs beside the walk, which goes on with the next batch meanwhile.
    FSyncResult = std::async(std::launch::async, [root = FTargetRoot, anyCopy] {
        return !anyCopy || SyncFileSystemOf(root) ? 0 : ErrorOr(kPlacementFailed);
    });
}

void TBackupThread::PlaceSyncedBatch(bool wait) {
    if (!FSyncResult.valid())
        return;
    if (!wait && FSyncResult.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return;
    if (int error = FSyncResult.get(); error != 0) {
        for (const auto& item : FSyncing) {
            if (item->DropWorkFile())
                item->Error = error;
        }
    }
    // The progress of the batch is told once its files are done, in one burst: the front
    // end then wakes once for the batch, not once for each file.
    try {
        for (const auto& item : FSyncing)
            FinishItem(*item);
    } catch (...) {
        PostProgress();
        throw;
    }
    PostProgress();
    FSyncing.clear();
}

void TBackupThread::PostProgress() {
    for (int counter : FProgress)
        Post(WM_FILESPROCESSED, static_cast<uintptr_t>(counter), 0);
    FProgress.clear();
}

void TBackupThread::DiscardBatch() {
    if (FSyncResult.valid())
        FSyncResult.wait();
    for (auto* batch : {&FSyncing, &FBatch}) {
        for (const auto& item : *batch)
            item->DropWorkFile();
        batch->clear();
    }
    FBatchBytes = 0;
}

void TBackupThread::FinishItem(TCopyItem& item) {
    switch (item.Kind) {
        case TCopyItem::ikUnusableName:
            ReportUnusableName(item.SourceName);
            break;
        case TCopyItem::ikUnreadableFolder:
            ReportUnreadableFolder(item.SourceName, item.FolderError);
            break;
        case TCopyItem::ikPassedOver:
            break;
        case TCopyItem::ikCopy:
            // A file whose copy the stop cut short is not reported: the run ends there.
            if (item.Stopped)
                return;
            if (!item.Vanished)
                FinishCopy(item);
            break;
    }
    if (item.Counter > 0)
        FProgress.push_back(item.Counter);
}

void TBackupThread::FinishCopy(TCopyItem& item) {
    FSourceName = item.SourceName;
    FErrorCode = item.Error;
    FCompressedStamp = item.CopiedStamp;
    // A disk that filled up is asked about as when the copy is seen not to fit; one that
    // still has room (another program filled it for a moment) fails this file only.
    if (FErrorCode == ERROR_DISK_FULL && FDrive->GetFreeBytes() < item.SourceSize) {
        Ask(WM_DRIVEFULL);
        throw ETargetThreadError(ERR_TARGETFULL);
    }
    if (FErrorCode == 0 && PlaceCopy(item))
        ClearArchiveBit();
    EndFile();
}

bool TBackupThread::PlaceCopy(TCopyItem& item) {
    MakeTargetName();
    std::string folder = RemoveSlash(ExtractFilePath(FTargetName));
    if (folder != FMadeFolder) {
        FDrive->SetCurrentDir(folder, true);
        FMadeFolder = folder;
    }
    if (!PlaceNewVersion(item.WorkFile, FTargetName, FProfile.Header.NumVersions,
                         FVersionFolder.VersionsOf(FTargetName))) {
        FErrorCode = ErrorOr(kPlacementFailed);
        item.DropWorkFile();
        // What the folder holds now is not known: it is looked at again.
        FVersionFolder.Forget();
        FMadeFolder.clear();
        return false;
    }
    item.WorkFile.clear();
    FTargetName = VersionName(FTargetName, 1);
    return true;
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
    // The copy workers find a file that went away when they open it.
    if (!FWorkers && !FileExists(FSourceName))
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

void TBackupThread::EndFile() {
    if (FErrorCode != 0)
        ++FFailedFiles;
    WriteLog(lcSaveFile, false);
    FileDone();
    FErrorCode = 0;
}

void TBackupThread::BackupFile() {
    if (!AcceptFile())
        return;
    try {
        if (CompressFile() && CheckTargetSpace() && CopyToTarget())
            ClearArchiveBit();
        EndFile();
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
        FErrorCode = ErrorOr(kPlacementFailed);
        if (!work.empty())
            DeleteFile(work);
        return false;
    }
}

void TBackupThread::ClearArchiveBit() {
    // Only the state that was copied counts as backed up: a file changed since keeps its
    // archive attribute, so the change is not missed.
    ClearArchiveAttribute(FSourceName, FCompressedStamp);
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
    if (answer == IDCANCEL)
        throw EAbort(LoadStr(32018));
    return answer;
}

void TBackupThread::Post(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    FController->PostMessage(message, wParam, lParam);
}
