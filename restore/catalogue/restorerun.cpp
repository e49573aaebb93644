#include "restorerun.h"

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <unordered_set>

#include "crypt.h"
#include "errorcodes.h"
#include "interaction.h"
#include "logfile.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/realpath.h"
#include "platform/syserror.h"
#include "platform/volume.h"
#include "storedpath.h"
#include "strtable.h"
#include "vdrive.h"
#include "vfileutil.h"
#include "zstream.h"

namespace {

constexpr int StrProductName = 101;
constexpr int StrErrorRestoringFile = 416;
// Files handed to the workers but not yet begun, per worker: enough that no worker waits
// for the run, few enough that a run holds little (each holds its copy open).
constexpr size_t kWaitingPerWorker = 16;
// Files finished behind an unfinished one (a large file) before the run waits for it: the
// other workers go on meanwhile, and a finished file holds nothing open.
constexpr size_t kMostFinishedItems = 4096;

int DefaultThreads() {
    return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

std::string DriveOf(const std::string& target) {
    return std::string(1, target[0]) + ":";
}

}  // namespace

int TRestoreObserver::AskPassword(int32_t, int, std::string& password) {
    return Interaction().AskPassword(password);
}

// One copy on its way through the run: prepared on the run thread, extracted by a worker
// when it needs to be, reported on the run thread in order.
struct TRestoreRun::TItem {
    TRestoreOutcome Outcome;
    std::unique_ptr<TVUnzipStream> Copy;
    uint8_t Mode = orNever;  // the overwrite mode the extraction uses
    bool NeedsExtract = false;
    bool Finished = false;
    int Error = 0;  // for the log: a system error number, 0 when none is known

    void Skip(TSkipReason reason, std::string why) {
        Outcome.Reason = reason;
        Outcome.Why = std::move(why);
        Copy.reset();
    }
};

// Threads that extract the prepared copies; items come out in the order they went in, each
// once it is finished.
class TRestoreRun::TWorkers {
  public:
    TWorkers(int threads, std::function<bool()> stopRequested)
        : StopRequested(std::move(stopRequested)),
          MostWaiting(kWaitingPerWorker * static_cast<size_t>(threads)) {
        for (int i = 0; i < threads; ++i)
            Threads.emplace_back([this] { Work(); });
    }
    ~TWorkers() {
        {
            std::lock_guard guard(Lock);
            Stopping = true;
        }
        WorkAdded.notify_all();
        for (std::thread& thread : Threads)
            thread.join();
    }
    TWorkers(const TWorkers&) = delete;
    TWorkers& operator=(const TWorkers&) = delete;

    void Add(std::unique_ptr<TItem> item) {
        std::lock_guard guard(Lock);
        item->Finished = !item->NeedsExtract;
        if (item->NeedsExtract)
            ToDo.push_back(item.get());
        Items.push_back(std::move(item));
        WorkAdded.notify_one();
    }
    std::unique_ptr<TItem> TakeFirst(bool wait) {
        std::unique_lock guard(Lock);
        if (wait)
            ItemFinished.wait(guard, [this] { return Items.empty() || Items.front()->Finished; });
        return TakeFinishedFirst();
    }
    // Waits until there is room for another file or the first one is finished; returns
    // the first one when it is.
    std::unique_ptr<TItem> TakeFirstOrWaitForRoom() {
        std::unique_lock guard(Lock);
        ItemFinished.wait(
            guard, [this] { return !IsFull() || (!Items.empty() && Items.front()->Finished); });
        return TakeFinishedFirst();
    }
    bool Empty() const {
        std::lock_guard guard(Lock);
        return Items.empty();
    }
    bool Full() const {
        std::lock_guard guard(Lock);
        return IsFull();
    }

  private:
    bool IsFull() const { return ToDo.size() >= MostWaiting || Items.size() >= kMostFinishedItems; }
    std::unique_ptr<TItem> TakeFinishedFirst() {
        if (Items.empty() || !Items.front()->Finished)
            return nullptr;
        std::unique_ptr<TItem> item = std::move(Items.front());
        Items.pop_front();
        return item;
    }

    void Work() {
        for (;;) {
            TItem* item;
            {
                std::unique_lock guard(Lock);
                WorkAdded.wait(guard, [this] { return Stopping || !ToDo.empty(); });
                if (ToDo.empty())
                    return;
                item = ToDo.front();
                ToDo.pop_front();
            }
            Extract(*item);
            {
                std::lock_guard guard(Lock);
                item->Finished = true;
            }
            ItemFinished.notify_all();
        }
    }
    void Extract(TItem& item);

    const std::function<bool()> StopRequested;
    const size_t MostWaiting;
    mutable std::mutex Lock;
    std::condition_variable WorkAdded;
    std::condition_variable ItemFinished;
    std::deque<std::unique_ptr<TItem>> Items;
    std::deque<TItem*> ToDo;
    bool Stopping = false;
    std::vector<std::thread> Threads;
};

void TRestoreRun::TWorkers::Extract(TItem& item) {
    TVUnzipStream& copy = *item.Copy;
    const std::string& target = item.Outcome.Target;
    copy.OverwriteMode = item.Mode;
    copy.RemoveStaleWorkFilesFirst = false;  // the run did it for the folder
    copy.StopRequested = StopRequested;
    try {
        if (!copy.Extract(target, nullptr)) {
            if (EntryKindOf(target) != ekNone) {
                item.Skip(srExists, "A file of that name appeared while the restore ran.");
            } else {
                item.Error = GetLastError();
                item.Skip(srFailed, "Its folder cannot be made. " + SysErrorMessage(item.Error));
            }
        }
    } catch (const EZStreamError&) {
        item.Skip(srDamaged, "The copy is damaged: its content is incomplete or changed.");
    } catch (const EAbort&) {
        item.Skip(srStopped, "The restore was stopped.");
    } catch (const EReadError& e) {
        item.Error = GetLastError();
        item.Skip(srDamaged, std::string("The copy cannot be read: ") + e.what());
    } catch (const EFOpenError& e) {
        item.Error = e.ErrorCode;
        item.Skip(srFailed, e.what());
    } catch (const Exception& e) {
        item.Error = GetLastError();
        item.Skip(srFailed, e.what());
    } catch (const std::bad_alloc&) {
        item.Error = ERROR_NOT_ENOUGH_MEMORY;
        item.Skip(srFailed, SysErrorMessage(item.Error));
    } catch (const std::exception& e) {
        // Nothing may leave a worker thread: the file fails, the run goes on.
        item.Error = ERROR_GEN_FAILURE;
        item.Skip(srFailed, e.what());
    }
    item.Copy.reset();
}

// ---- TRestoreRun ----

TRestoreRun::TRestoreRun(TRestoreTree& tree, TLogFile* log, TRestoreObserver& observer)
    : Tree(tree), Log(log), Observer(observer) {}

// What the run keeps from file to file: the drive it asks, the keys opened or given up,
// the folders whose stale work files are gone and the destination's real folder.
struct TRestoreRun::TRunState {
    TVDrive Drive{'A'};
    std::set<int32_t> OpenedKeys;
    std::set<int32_t> RefusedKeys;
    std::string Password;
    std::unordered_set<std::string> SweptFolders;
    THostPath DestinationReal;
    // The folder last checked for a link out of the destination, and why it failed (empty
    // when it passed): the files of one folder come one after another.
    std::string CheckedFolder;
    std::string FolderFault;
    // The drive that took the last file (its checks passed), 0 for none.
    char ReadyLetter = 0;
};

TRestoreRun::~TRestoreRun() = default;

TRestoreResult TRestoreRun::Run(TRestoreOptions options) {
    Options = std::move(options);
    Result = {};
    Done = 0;
    State = std::make_unique<TRunState>();
    TRunState& state = *State;
    state.Drive.FCaption = LoadStr(StrProductName);
    if (!Options.Destination.empty()) {
        if (!DirectoryExists(Options.Destination) && !ForceDirectories(Options.Destination)) {
            int error = GetLastError();
            throw EOSError(error, "Cannot make the folder " + Options.Destination + ". " +
                                      SysErrorMessage(error));
        }
        RealHostPath(Options.Destination, state.DestinationReal);
    }
    Result.Total = Tree.CountSelected();
    Observer.TotalCounted(Result.Total);
    if (Log)
        Log->WriteEntry(lcRestoreStart, 0, true);

    auto stopRequested = [this] { return Options.StopRequested && Options.StopRequested(); };
    bool cancelled = false;
    {
        TWorkers workers(Options.Threads > 0 ? Options.Threads : DefaultThreads(),
                         Options.StopRequested);
        std::vector<std::string> batch;
        TDirStack queue;
        try {
            Tree.GetNextFiles(batch, queue, true);
            while (!batch.empty() && !cancelled) {
                for (const std::string& copyPath : batch) {
                    if (stopRequested()) {
                        cancelled = true;
                        break;
                    }
                    std::unique_ptr<TItem> item = Prepare(copyPath);
                    while (workers.Full()) {
                        if (std::unique_ptr<TItem> done = workers.TakeFirstOrWaitForRoom())
                            Report(*done);
                    }
                    workers.Add(std::move(item));
                    while (std::unique_ptr<TItem> done = workers.TakeFirst(false))
                        Report(*done);
                }
                if (!cancelled)
                    Tree.GetNextFiles(batch, queue, false);
            }
        } catch (const EAbort&) {
            cancelled = true;
            if (Log)
                Log->WriteEntry(lcError, ERR_CANCELLED, false);
        }
        // The files handed on are finished (or stopped, when the run was told to stop).
        while (!workers.Empty())
            Report(*workers.TakeFirst(true));
        cancelled = cancelled || stopRequested();
    }
    if (cancelled) {
        Result.Cancelled = true;
        Result.Skipped = std::max(Result.Skipped, Result.Total - Result.Restored);
    }
    if (Log)
        Log->WriteEntry(lcRestoreEnd, 0, true);
    return Result;
}

std::unique_ptr<TRestoreRun::TItem> TRestoreRun::Prepare(const std::string& copyPath) {
    auto item = std::make_unique<TItem>();
    item->Outcome.CopyPath = copyPath;
    try {
        item->Copy = std::make_unique<TVUnzipStream>(copyPath);
    } catch (const EFOpenError& e) {
        item->Error = e.ErrorCode;
        item->Skip(srFailed, e.what());
        return item;
    }
    const TVZStreamHeader& header = item->Copy->Header;
    if (!item->Copy->Valid) {
        item->Skip(srDamaged, "The copy's header cannot be read: it is damaged or no copy.");
        return item;
    }
    std::string fault = StoredPathFault(Tree.RootPath(), copyPath, header.OriginalPath);
    if (!fault.empty()) {
        item->Skip(srRefusedPath, fault);
        return item;
    }
    item->Outcome.Target = RestoreTargetOf(header.OriginalPath, Options.Destination);
    Observer.FileStarting(item->Outcome.Target);
    if (!CheckDrive(*item) || !CheckDestination(*item) || !CheckPassword(*item) ||
        !DecideOverwrite(*item)) {
        return item;
    }
    const std::string folder = ExtractFilePath(item->Outcome.Target);
    if (State->SweptFolders.insert(folder).second)
        RemoveStaleWorkFiles(folder, TVUnzipStream::WorkFilePrefix);
    item->NeedsExtract = true;
    return item;
}

bool TRestoreRun::CheckDestination(TItem& item) {
    const std::string& target = item.Outcome.Target;
    const std::string folder = ExtractFilePath(target);
    if (folder != State->CheckedFolder) {
        State->CheckedFolder = folder;
        State->FolderFault = FolderFault(target);
    }
    if (!State->FolderFault.empty()) {
        item.Error = ERROR_ACCESS_DENIED;
        item.Skip(srRefusedPath, State->FolderFault);
        return false;
    }
    item.Copy->TargetFolderChecked = true;
    return true;
}

std::string TRestoreRun::FolderFault(const std::string& target) const {
    if (Options.Destination.empty()) {
        // The stored path is checked; what remains is a link on the way out of its drive.
        if (LeavesItsDrive(target)) {
            return "Its folder leads out of drive " + DriveOf(target) + " through a symbolic link.";
        }
        return {};
    }
    THostPath real;
    if (!RealHostPath(ExtractFilePath(target), real) ||
        !IsRealPathInside(real, State->DestinationReal)) {
        return "Its folder leads out of " + Options.Destination + " through a symbolic link.";
    }
    return {};
}

bool TRestoreRun::CheckDrive(TItem& item) {
    for (;;) {
        const std::string& target = item.Outcome.Target;
        if (!IsDrivePath(target))
            return true;  // a folder under no drive: nothing to ask a drive
        TVDrive& drive = State->Drive;
        const int64_t size = item.Copy->Header.OriginalSize;
        if (DriveStillReady(target[0], size))
            return true;
        State->ReadyLetter = 0;
        drive.SetLetter(target[0]);
        TMediaResults results;
        drive.IsMediaValid(results);
        if (results.Contains(mdNoDrive) || results.Contains(mdNoMedia)) {
            item.Error = ERROR_PATH_NOT_FOUND;
            item.Skip(srNoDrive, "Drive " + DriveOf(target) + " is not there.");
            return false;
        }
        // Raises EAbort when the user cancels one of the drive's questions.
        if (drive.PrepareForWrite(size)) {
            State->ReadyLetter = drive.GetLetter();
            return true;
        }
        std::string folder;
        if (!Observer.ChooseOtherDestination(folder)) {
            item.Error = ERROR_DISK_FULL;
            item.Skip(srNoRoom, "Drive " + DriveOf(target) + " has no room for it.");
            return false;
        }
        Options.Destination = folder;
        RealHostPath(folder, State->DestinationReal);
        State->CheckedFolder.clear();
        item.Outcome.Target = RestoreTargetOf(item.Copy->Header.OriginalPath, folder);
    }
}

bool TRestoreRun::DriveStillReady(char letter, int64_t size) {
    // A fixed or network drive that took the last file keeps its medium and its write
    // protection: only its room is looked at again. A removable medium may have been
    // swapped, so it is checked in full for every file.
    TVDrive& drive = State->Drive;
    if (State->ReadyLetter == 0 || std::toupper(static_cast<unsigned char>(letter)) !=
                                       static_cast<unsigned char>(State->ReadyLetter)) {
        return false;
    }
    if (drive.IsRemovable())
        return false;
    int64_t total = 0, available = 0;
    return GetDiskFreeSpace(drive.RootPath(), total, available) && available >= size;
}

bool TRestoreRun::CheckPassword(TItem& item) {
    const int32_t key = item.Copy->Header.Key;
    if (key == 0 || State->OpenedKeys.count(key))
        return true;
    for (int attempt = 1; !State->RefusedKeys.count(key); ++attempt) {
        int answer = Observer.AskPassword(key, attempt, State->Password);
        if (answer == kPasswordSkip) {
            State->RefusedKeys.insert(key);
        } else if (answer != IDOK) {
            throw EAbort();
        } else if (MakeKey(State->Password) == key) {
            State->OpenedKeys.insert(key);
            return true;
        }
    }
    item.Skip(srPassword, "It is password-protected and no password that opens it was given.");
    return false;
}

bool TRestoreRun::DecideOverwrite(TItem& item) {
    const std::string& target = item.Outcome.Target;
    const TEntryKind existing = EntryKindOf(target);
    // A target that is not there must not be replaced should one appear meanwhile; a folder,
    // pipe or device in its place is refused by the extraction with its reason.
    item.Mode = orNever;
    if (existing != ekFile && existing != ekLink)
        return true;
    bool replace = false;
    switch (Options.Overwrite) {
        case orNever:
            break;
        case orAlways:
            replace = true;
            break;
        case orIfNewer:
            replace = item.Copy->CompareFileTime(target) < 0;
            break;
        case orAsk: {
            int answer = Interaction().AskOverwrite(target, item.Copy->Header.FileTime);
            replace = answer == IDYES || answer == IDYESTOALL;
            if (answer == IDYESTOALL || answer == IDNOTOALL) {
                Options.Overwrite = answer == IDYESTOALL ? orAlways : orNever;
                Observer.OverwriteRuleChanged(Options.Overwrite);
            }
            break;
        }
    }
    if (!replace) {
        item.Skip(srExists, "A file of that name is there and was kept.");
        return false;
    }
    item.Mode = orAlways;
    return true;
}

void TRestoreRun::Report(TItem& item) {
    ++Done;
    const TRestoreOutcome& outcome = item.Outcome;
    switch (outcome.Reason) {
        case srNone:
            ++Result.Restored;
            if (Log)
                Log->WriteEntry(lcRestoreFile, outcome.Target, 0, false);
            break;
        case srExists:
            ++Result.Kept;
            break;
        case srPassword:
            ++Result.Locked;
            break;
        case srDamaged:
            ++Result.Damaged;
            break;
        case srRefusedPath:
            ++Result.Refused;
            break;
        case srFailed:
        case srNoRoom:
        case srNoDrive:
            ++Result.Failed;
            break;
        default:
            break;
    }
    if (!outcome.Restored()) {
        ++Result.Skipped;
        // A file kept by the overwrite rule and one the stop left are not failures.
        if (outcome.Reason != srExists && outcome.Reason != srStopped)
            LogFailure(outcome);
    }
    Observer.FileDone(outcome, Done);
}

void TRestoreRun::LogFailure(const TRestoreOutcome& outcome) {
    if (!Log || !Log->Enabled || Log->LogType == ltSuccess)
        return;
    const std::string& name = outcome.Target.empty() ? outcome.CopyPath : outcome.Target;
    std::string entry = LoadStr(StrErrorRestoringFile) + name + ". " + outcome.Why;
    if (!outcome.Target.empty())
        entry += " (copy " + outcome.CopyPath + ")";
    Log->WriteNotice(entry, false);
}
