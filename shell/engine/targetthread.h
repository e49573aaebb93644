#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <string>

#include "copyworkers.h"
#include "exceptions.h"
#include "logfile.h"
#include "platform/filelock.h"
#include "platform/files.h"
#include "platform/filestream.h"
#include "platform/hostpath.h"
#include "platform/messages.h"
#include "platform/thread.h"
#include "profile.h"
#include "vdrive.h"
#include "versions.h"

// Ends a backup run with an error code (errorcodes.h).
class ETargetThreadError : public Exception {
  public:
    explicit ETargetThreadError(int code) : Exception(""), Code(code) {}
    int Code;
};

// The worker that turns a profile into backed-up copies: it walks the profile's source
// folders and writes every covered file as a new version below the target's backup root,
// keeping diskette series in order. It never touches a window: progress and results are
// posted to the controller, questions are sent to it and answered there.
class TBackupThread : public TThread {
  public:
    // Starts at once, on its own copy of profile, one priority step below normal.
    TBackupThread(const TProfile& profile, TLogFile* log, TMessageTarget* controller);
    ~TBackupThread() override;

    // The drive and profile the controller's answers work on while the thread waits.
    TVDrive* Drive() { return FDrive.get(); }
    TProfile& Profile() { return FProfile; }
    const std::string& TargetRoot() const { return FTargetRoot; }
    // Files of the run that could not be saved and folders that could not be read (each
    // has its entry in the log).
    int FailedFiles() const { return FFailedFiles; }
    int FailedFolders() const { return FFailedFolders; }

  protected:
    // For subclasses that must finish their own construction before the thread runs.
    TBackupThread(const TProfile& profile, TLogFile* log, TMessageTarget* controller,
                  bool createSuspended);

    void Execute() override;
    virtual void ProcessFiles();
    virtual bool AcceptFile();

    // Takes the backup root for this run (see LockBackupRoot) and removes what killed runs
    // left in the temporary folder.
    void ClaimTarget();
    // Deletes the run's temporary file (at the end of a run).
    void CloseTemporaryFile();
    // Told after each file that BackupFile took on, FSourceName and FErrorCode (0: saved)
    // still set.
    virtual void FileDone() {}

    int ScanFiles(bool backup);
    // What the walk does with each file it meets (counter: its number in the walk), and
    // with a folder it could not list.
    void TakeFile(int counter, const std::string& name, bool usable);
    void TakeUnreadableFolder(const std::string& folder, int error);
    void PrepareTarget();
    void BackupFile();
    bool CompressFile();
    void MakeTargetName();
    bool CheckTargetSpace();
    void CheckDiskette();
    bool CheckMedia(TMediaResults& results);
    // One run at a time may use a backup root, also across processes: the first one that
    // takes the root's lock keeps it until it ends; any other ends with ERR_TARGETBUSY
    // before it changes anything on the target.
    void LockBackupRoot();
    void TargetReady();
    bool CopyToTarget();
    void ClearArchiveBit();
    void ReportError(int code, uint32_t message);
    void WriteLog(TLogCode code, bool flush);
    void SaveProfile();
    void FlushLog();
    // Runs work on the log; a failure is shown once and never stops the run.
    void GuardLog(const std::function<void()>& work);
    void ReportUnusableName(const std::string& path);
    void ReportUnreadableFolder(const std::string& folder, int error);

    // Sends a question; a Cancel answer aborts the run.
    intptr_t Ask(uint32_t message);
    void Post(uint32_t message, uintptr_t wParam, intptr_t lParam);

    int FErrorCode = 0;
    std::string FTargetRoot;
    std::unique_ptr<TVDrive> FDrive;
    TProfile FProfile;
    TLogFile* FLog;
    std::string FExeName;  // files never backed up: the program and the temporary folder
    std::string FTempDir;
    std::string FTempName;
    std::unique_ptr<TFileStream> FTemp;
    bool FLogEnabled;
    std::string FSourceName;
    std::string FTargetName;
    int64_t FTargetSize = 0;
    TMessageTarget* FController;
    TFileStamp FCompressedStamp;
    bool FLogFailed = false;
    std::atomic<int> FFailedFiles{0};
    std::atomic<int> FFailedFolders{0};
    std::unique_ptr<TFileLock> FRootLock;

  private:
    // Copies on fixed targets: the files are compressed by workers straight into work
    // files in the backup root, and put in place in batches, in the order of the walk,
    // after one sync of the target for the whole batch.
    bool UsesCopyWorkers() const;
    void ProcessFilesWithWorkers();
    void AddItem(std::unique_ptr<TCopyItem> item);
    // Moves the finished items into the batch (all of them, waiting for each, when all is
    // set) and puts the batch in place when it is due.
    void TakeFinishedItems(bool all);
    bool IsBatchDue() const;
    // Hands the batch to a sync of the target, once the batch before it is in place.
    void CommitBatch();
    // Puts the batch handed on in place once its sync is done (waits for it with wait).
    void PlaceSyncedBatch(bool wait);
    void FinishItem(TCopyItem& item);
    void PostProgress();
    void FinishCopy(TCopyItem& item);
    // Counts, logs and reports the file FSourceName once it is saved or has failed.
    void EndFile();
    bool PlaceCopy(TCopyItem& item);
    // Removes the work files of the batches that will not be put in place.
    void DiscardBatch();

    // Compresses the source into the temporary file; false when the source changed
    // meanwhile.
    bool CompressUnchanged();
    // One temporary file serves the whole run: emptied after every file, deleted with the
    // thread.
    bool OpenTemporaryFile();
    void EmptyTemporaryFile();
    void LocateOwnFiles();
    // Is path (a folder) the backup root or inside it, by its name or where it leads?
    bool IsInsideBackupRoot(const std::string& path) const;
    // Does path (a file) lead into the backup root, to the log or to the program?
    bool IsOwnFile(const std::string& path);

    // Where the backup root, the log and the program really lie (host paths, links
    // resolved), found at the start of each pass over the sources; empty when unknown.
    THostPath FRealTargetRoot;
    THostPath FRealLogName;
    THostPath FRealExeName;
    // The real path of the folder of the files last looked at.
    std::string FRealFolderName;
    THostPath FRealFolder;
    // The walk met FSourceName as a file, not as a link to one.
    bool FSourceIsPlainFile = false;

    std::unique_ptr<TCopyWorkers> FWorkers;
    std::vector<std::unique_ptr<TCopyItem>> FBatch;
    std::vector<std::unique_ptr<TCopyItem>> FSyncing;  // the batch whose sync runs
    std::future<int> FSyncResult;                      // its error, 0 when it is synced
    std::vector<int> FProgress;  // the counters of the files done, not yet told
    int64_t FBatchBytes = 0;
    uint32_t FBatchStart = 0;  // tick count when the batch's first item came
    TVersionFolder FVersionFolder;
    std::string FMadeFolder;  // the target folder known to exist
};
