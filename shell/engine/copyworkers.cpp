#include "copyworkers.h"

#include <algorithm>
#include <thread>

#include "errorcodes.h"
#include "exceptions.h"
#include "platform/filestream.h"
#include "platform/syserror.h"
#include "zstream.h"

namespace {

// Files waiting for a worker, per worker: enough that no worker waits for the walk, few
// enough that a run holds little.
constexpr size_t kWaitingPerWorker = 8;

int ErrorOr(int fallback) {
    int error = GetLastError();
    return error != 0 ? error : fallback;
}

// Copies the source into out once; false when the source changed while it was read.
bool CopyOnce(TCopyItem& item, const TCopySettings& settings, TFileStream& out,
              const std::function<bool()>& stopRequested) {
    TFileStamp before, after;
    if (!GetFileStamp(item.SourceName, before))
        RaiseLastOSError();
    item.SourceSize = before.Size;
    TVZipStream zip(item.SourceName);
    zip.SetCompLevel(settings.CompLevel);
    zip.Header.Key = settings.Key;
    zip.StopRequested = stopRequested;
    out.SetSize(0);
    try {
        zip >> &out;
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
    std::string work;
    item.Error = 0;
    try {
        if (!CreateUniqueFile(settings.Root, settings.WorkPrefix, work))
            RaiseLastOSError();
        TFileStream out(work, fmOpenReadWrite);
        // A file written to while it is read would be stored torn: read it again once,
        // and give up on it when it keeps changing.
        if (!CopyOnce(item, settings, out, stopRequested) &&
            !CopyOnce(item, settings, out, stopRequested)) {
            item.Error = ERR_FILECHANGED;
        }
    } catch (const EAbort&) {
        item.Stopped = true;
    } catch (const std::exception&) {
        item.Error = ErrorOr(ERROR_FILE_NOT_FOUND);
    }
    if (item.Error == 0 && !item.Stopped) {
        item.WorkFile = work;
    } else if (!work.empty()) {
        DeleteFile(work);
    }
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
      MostWaiting(kWaitingPerWorker * static_cast<size_t>(std::max(threads, 1))) {
    for (int i = 0; i < std::max(threads, 1); ++i)
        Workers.push_back(std::make_unique<TWorker>(*this));
}

TCopyWorkers::~TCopyWorkers() {
    Abandoned = true;
    {
        std::lock_guard guard(Lock);
        Stopping = true;
    }
    Changed.notify_all();
    Workers.clear();  // each waits for its thread
    for (const auto& item : Items) {
        if (!item->WorkFile.empty())
            DeleteFile(item->WorkFile);
    }
}

int TCopyWorkers::DefaultThreads() {
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

void TCopyWorkers::Add(std::unique_ptr<TCopyItem> item) {
    std::unique_lock guard(Lock);
    if (item->Kind == TCopyItem::ikCopy) {
        Changed.wait(guard, [&] { return Unfinished < MostWaiting; });
        ++Unfinished;
        ToCopy.push_back(item.get());
    } else {
        item->Finished = true;
    }
    Items.push_back(std::move(item));
    guard.unlock();
    Changed.notify_all();
}

std::unique_ptr<TCopyItem> TCopyWorkers::TakeFirst(bool wait) {
    std::unique_lock guard(Lock);
    if (wait)
        Changed.wait(guard, [&] { return Items.empty() || Items.front()->Finished; });
    if (Items.empty() || !Items.front()->Finished)
        return nullptr;
    std::unique_ptr<TCopyItem> first = std::move(Items.front());
    Items.pop_front();
    return first;
}

bool TCopyWorkers::Empty() const {
    std::lock_guard guard(Lock);
    return Items.empty();
}

bool TCopyWorkers::ShouldStop() const {
    return Abandoned || (StopRequested && StopRequested());
}

void TCopyWorkers::Work() {
    for (;;) {
        TCopyItem* item = nullptr;
        {
            std::unique_lock guard(Lock);
            Changed.wait(guard, [&] { return Stopping || !ToCopy.empty(); });
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
        {
            std::lock_guard guard(Lock);
            item->Finished = true;
            --Unfinished;
        }
        Changed.notify_all();
    }
}
