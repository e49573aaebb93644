#include "copyworkers.h"

#include <algorithm>
#include <thread>

#include "errorcodes.h"
#include "exceptions.h"
#include "platform/filestream.h"
#include "platform/syserror.h"
#include "zstream.h"

namespace {

// Files waiting for a worker, per worker: enough that the workers stay busy while the run
// places a synced batch (hundreds of copies at once), few enough that a run holds little
// (a name for each).
constexpr size_t kWaitingPerWorker = 256;
// Workers beyond one per core: a worker waiting for the disk (for a file that is not in
// the cache, as most are in a real backup) leaves its core to another.
constexpr unsigned kWorkersBeyondCores = 2;
// Items finished behind an unfinished one (a large file) before the run waits for it.
constexpr size_t kMostFinishedItems = 4096;

int ErrorOr(int fallback) {
    int error = GetLastError();
    return error != 0 ? error : fallback;
}

// Copies up to this size are made in memory and written to their work file in one piece.
constexpr int64_t kGatherLimit = int64_t{256} << 10;

// A stream over a file that is written from its start: what is written is gathered in
// memory and written to the file at once by Flush, unless it outgrows the limit; from then
// on everything goes to the file as it comes. A small copy then costs one write instead
// of one for each part of it (header, content, the header's last fields).
class TGatheredFile : public TStream {
  public:
    TGatheredFile(TFileStream& file, int64_t limit) : File(file), Limit(limit) {}

    int64_t Read(void*, int64_t) override {
        throw EStreamError("A gathered file is only written.");
    }
    int64_t Write(const void* buffer, int64_t count) override {
        if (!Spilled && Memory.GetPosition() + count > Limit)
            Spill();
        return Spilled ? File.Write(buffer, count) : Memory.Write(buffer, count);
    }
    int64_t Seek(int64_t offset, TSeekOrigin origin) override {
        return Spilled ? File.Seek(offset, origin) : Memory.Seek(offset, origin);
    }
    void SetSize(int64_t size) override {
        if (Spilled)
            File.SetSize(size);
        else
            Memory.SetSize(size);
    }
    // Writes what is gathered to the file.
    void Flush() {
        if (!Spilled)
            Spill();
    }

  private:
    void Spill() {
        int64_t position = Memory.GetPosition();
        File.SetPosition(0);
        File.WriteBuffer(Memory.Data.data(), static_cast<int64_t>(Memory.Data.size()));
        File.SetPosition(position);
        Memory.Data.clear();
        Spilled = true;
    }

    TFileStream& File;
    const int64_t Limit;
    TMemoryStream Memory;
    bool Spilled = false;
};

// Copies the source into out once; false when the source changed while it was read.
bool CopyOnce(TCopyItem& item, const TCopySettings& settings, TFileStream& out,
              const std::function<bool()>& stopRequested) {
    TVZipStream zip(item.SourceName);
    const TFileStamp before = zip.GetOpenedStamp();
    TFileStamp after;
    item.SourceSize = before.Size;
    zip.SetCompLevel(settings.CompLevel);
    zip.Header.Key = settings.Key;
    zip.StopRequested = stopRequested;
    // Only a second reading empties the work file: truncating a file makes some file
    // systems write it out when it is closed, to guard a file rewritten in place.
    if (out.GetPosition() != 0) {
        out.SetSize(0);
        out.SetPosition(0);
    }
    try {
        TGatheredFile gathered(out, kGatherLimit);
        zip.WriteArchive(gathered);
        gathered.Flush();
    } catch (const EReadError&) {
        return false;  // the file grew shorter while it was read: it changed
    }
    if (!GetFileStamp(item.SourceName, after))
        RaiseLastOSError();
    item.CopiedStamp = after;
    item.SourceSize = after.Size;
    return before == after;
}

}  // namespace

void CopyIntoWorkFile(TCopyItem& item, const TCopySettings& settings,
                      const std::function<bool()>& stopRequested) {
    std::unique_ptr<TFileStream> out;
    item.Error = 0;
    try {
        out = TFileStream::CreateUnique(settings.Root, settings.WorkPrefix);
        // The batch's sync comes once the copy is whole: a large copy goes to the medium
        // while it is written instead.
        out->SetWriteBehind(true);
        // A file written to while it is read would be stored torn: read it again once,
        // and give up on it when it keeps changing.
        if (!CopyOnce(item, settings, *out, stopRequested) &&
            !CopyOnce(item, settings, *out, stopRequested)) {
            item.Error = ERR_FILECHANGED;
        }
        // A failure the system reports only at closing (a quota, some file systems) fails
        // the copy too.
        out->Close();
    } catch (const EAbort&) {
        item.Stopped = true;
    } catch (const EFCreateError&) {
        item.Error = ErrorOr(ERROR_ACCESS_DENIED);  // the work file
    } catch (const EFOpenError&) {
        // A file that went away since the walk met it is passed over, as one that is not
        // there; one that cannot be opened fails.
        int error = ErrorOr(ERROR_FILE_NOT_FOUND);
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            item.Vanished = true;
        else
            item.Error = error;
    } catch (const std::exception&) {
        item.Error = ErrorOr(ERROR_FILE_NOT_FOUND);
    }
    bool copied = item.Error == 0 && !item.Stopped && !item.Vanished;
    if (out && copied) {
        item.WorkFile = out->GetFileName();
    } else if (out) {
        std::string work = out->GetFileName();
        out.reset();
        DeleteFile(work);
    }
}

bool TCopyItem::DropWorkFile() {
    if (WorkFile.empty())
        return false;
    DeleteFile(WorkFile);
    WorkFile.clear();
    return true;
}

// ---- TCopyWorkers ----

class TCopyWorkers::TWorker : public TThread {
  public:
    explicit TWorker(TCopyWorkers& owner) : TThread(true), Owner(owner) { Resume(); }
    ~TWorker() override { WaitFor(); }

  protected:
    void Execute() override {
        LowerPriority();
        Owner.Work();
    }

  private:
    TCopyWorkers& Owner;
};

TCopyWorkers::TCopyWorkers(TCopySettings settings, int threads, std::function<bool()> stopRequested)
    : Settings(std::move(settings)),
      StopRequested(std::move(stopRequested)),
      // Below the finished items' limit, or the run would take them all out (and leave the
      // workers idle) before it ever waited for the workers.
      MostWaiting(std::min(kWaitingPerWorker * static_cast<size_t>(std::max(threads, 1)),
                           kMostFinishedItems / 2)) {
    for (int i = 0; i < std::max(threads, 1); ++i)
        Workers.push_back(std::make_unique<TWorker>(*this));
}

TCopyWorkers::~TCopyWorkers() {
    Abandoned = true;
    {
        std::lock_guard guard(Lock);
        Stopping = true;
    }
    WorkAdded.notify_all();
    Workers.clear();  // each waits for its thread
    for (const auto& item : Items)
        item->DropWorkFile();
}

int TCopyWorkers::DefaultThreads() {
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()) +
                            kWorkersBeyondCores);
}

void TCopyWorkers::Add(std::unique_ptr<TCopyItem> item) {
    std::unique_lock guard(Lock);
    bool copy = item->Kind == TCopyItem::ikCopy;
    if (copy) {
        // Once the workers have enough before them, the run waits until they have done
        // half of it: it is woken once for many files, not for each.
        if (Unfinished >= MostWaiting)
            WaitForRun(guard, [&] { return Unfinished <= MostWaiting / 2; });
        ++Unfinished;
        ToCopy.push_back(item.get());
    } else {
        item->Finished = true;
    }
    Items.push_back(std::move(item));
    bool wakeWorker = copy && IdleWorkers > 0;
    guard.unlock();
    if (wakeWorker)
        WorkAdded.notify_one();
}

std::unique_ptr<TCopyItem> TCopyWorkers::TakeFirst(bool wait) {
    std::unique_lock guard(Lock);
    if (wait)
        WaitForRun(guard, [&] { return Items.empty() || Items.front()->Finished; });
    if (Items.empty() || !Items.front()->Finished)
        return nullptr;
    std::unique_ptr<TCopyItem> first = std::move(Items.front());
    Items.pop_front();
    return first;
}

template <typename TCondition>
void TCopyWorkers::WaitForRun(std::unique_lock<std::mutex>& guard, TCondition ready) {
    RunCondition = ready;
    ItemFinished.wait(guard, ready);
    RunCondition = nullptr;
}

bool TCopyWorkers::Empty() const {
    std::lock_guard guard(Lock);
    return Items.empty();
}

bool TCopyWorkers::Full() const {
    std::lock_guard guard(Lock);
    return Items.size() >= kMostFinishedItems;
}

bool TCopyWorkers::ShouldStop() const {
    return Abandoned || (StopRequested && StopRequested());
}

void TCopyWorkers::Work() {
    for (;;) {
        TCopyItem* item = nullptr;
        {
            std::unique_lock guard(Lock);
            ++IdleWorkers;
            WorkAdded.wait(guard, [&] { return Stopping || !ToCopy.empty(); });
            --IdleWorkers;
            if (Stopping)
                return;
            item = ToCopy.front();
            ToCopy.pop_front();
        }
        // Once the run stops, the files not yet begun are not begun.
        if (ShouldStop())
            item->Stopped = true;
        else
            CopyIntoWorkFile(*item, Settings, [this] { return ShouldStop(); });
        bool wakeRun = false;
        {
            std::lock_guard guard(Lock);
            item->Finished = true;
            --Unfinished;
            // Only the run waits for items, and only what it waits for wakes it.
            wakeRun = RunCondition && RunCondition();
        }
        if (wakeRun)
            ItemFinished.notify_one();
    }
}
