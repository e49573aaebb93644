#include "vlmon.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "commatext.h"
#include "platform/changewatch.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/syserror.h"

namespace {

constexpr int kDriveCount = 26;
constexpr char kWatchDrive = 'a';
constexpr int kWaitForEver = -1;

int32_t LoadIndex(char* view, size_t offset) {
    return std::atomic_ref<int32_t>(*reinterpret_cast<int32_t*>(view + offset))
        .load(std::memory_order_acquire);
}

void StoreIndex(char* view, size_t offset, int32_t value) {
    std::atomic_ref<int32_t>(*reinterpret_cast<int32_t*>(view + offset))
        .store(value, std::memory_order_release);
}

}  // namespace

std::unique_ptr<TVLMon> TVLMon::Open(uint32_t rescanMs) {
    std::unique_ptr<TVLMon> device(new TVLMon(rescanMs));
    if (!device->Watcher->Valid())
        return nullptr;
    return device;
}

TVLMon::TVLMon(uint32_t rescanMs)
    : RescanMs(rescanMs), Watcher(std::make_unique<TChangeWatcher>()) {}

TVLMon::~TVLMon() {
    StopWatching();
}

bool TVLMon::DeviceIoControl(uint32_t code, const void* input, size_t inputSize) {
    switch (code) {
        case VLMON_SET_RING: {
            if (!input || inputSize != sizeof(TRingRequest))
                return false;
            const auto* request = static_cast<const TRingRequest*>(input);
            std::lock_guard guard(Lock);
            Event = request->Event;
            View = static_cast<char*>(request->View);
            FlushLocked();
            return true;
        }
        case VLMON_STOP:
            StopWatching();
            return true;
        case VLMON_SET_DRIVES: {
            if (!input || inputSize < kDriveCount || Started)
                return false;
            const char* map = static_cast<const char*>(input);
            RootFolders.clear();
            for (int i = 0; i < kDriveCount; ++i) {
                THostPath host;
                if (map[i] == kWatchDrive && HostPathOf(std::string(1, 'A' + i) + ":\\", host))
                    RootFolders.push_back(host.Normalised());
            }
            return true;
        }
        case VLMON_SET_FOLDERS: {
            if (!input || Started)
                return false;
            SourceFolders.clear();
            std::string text(static_cast<const char*>(input), inputSize);
            for (const std::string& folder : FromCommaText(text.c_str())) {
                THostPath host;
                if (!folder.empty() && HostPathOf(folder, host))
                    SourceFolders.push_back(host.Normalised());
            }
            Started = true;
            // Every folder there is now is watched when the request returns: a change made
            // after it is never missed.
            TEvent ready;
            Worker = std::thread([this, &ready] { Run(ready); });
            ready.WaitFor(UINT32_MAX);
            return true;
        }
        default:
            return false;
    }
}

void TVLMon::StopWatching() {
    if (!Worker.joinable())
        return;
    Stopping = true;
    Watcher->Wake();
    Worker.join();
}

std::string TVLMon::TakeLongPath(const char* slot) {
    if (slot[0] != kLongPathMark)
        return {};
    uint32_t ticket = static_cast<uint32_t>(std::strtoul(slot + 1, nullptr, 10));
    std::lock_guard guard(Lock);
    auto found = LongPaths.find(ticket);
    if (found == LongPaths.end())
        return {};
    std::string path = std::move(found->second);
    LongPaths.erase(found);
    return path;
}

std::vector<std::string> TVLMon::TakeNotices() {
    std::lock_guard guard(Lock);
    return std::exchange(Notices, {});
}

bool TVLMon::Delivered() {
    std::lock_guard guard(Lock);
    FlushLocked();
    return Pending.empty() || !View;  // without a ring nothing can be delivered
}

// ---- The watcher thread ----

void TVLMon::Run(TEvent& ready) {
    for (const THostPath& root : RootFolders)
        Adopt(root, false, rpNothing);
    for (const THostPath& folder : SourceFolders)
        Adopt(folder, true, rpNothing);
    ready.Set();
    NextRescan = GetTickCount() + RescanMs;
    while (!Stopping) {
        // Asleep until the kernel has something to say, the program stops the driver, or
        // folders that could not be watched are due to be searched.
        int wait = kWaitForEver;
        if (!Unwatched.empty())
            wait = std::max<int>(static_cast<int32_t>(NextRescan - GetTickCount()), 0);
        HandleEvents(wait);
        if (!Unwatched.empty() && static_cast<int32_t>(GetTickCount() - NextRescan) >= 0) {
            RescanUnwatched();
            NextRescan = GetTickCount() + RescanMs;
        }
    }
    // What changed before the stop: what the kernel still holds, and in folders that could
    // not be watched.
    HandleEvents(0);
    if (!Unwatched.empty())
        RescanUnwatched();
}

void TVLMon::HandleEvents(int timeoutMs) {
    std::vector<TChangeEvent> events;
    if (!Watcher->Read(events, timeoutMs))
        return;
    for (const TChangeEvent& event : events) {
        if (event.Kind == ckOverflow) {
            Notice(
                "Changes came faster than the system could report them; the watched "
                "folders were searched for changed files.");
            RescanAll();
            continue;
        }
        auto found = ByWatch.find(event.Watch);
        if (found == ByWatch.end())
            continue;
        const TWatched watched = found->second;
        THostPath path = event.Name.empty() ? watched.Host : watched.Host / event.Name;
        switch (event.Kind) {
            case ckFileWritten:
            case ckFileMovedIn:
                Report(path);
                break;
            case ckFolderAdded:
                // A source folder made anew below a drive root watched for itself alone is
                // taken on too.
                if (watched.Recursive || IsStartingFolder(path))
                    Adopt(path, true, rpEverything);
                break;
            case ckFolderMovedOut:
                ForgetTree(path);
                break;
            case ckWatchEnded:
                ForgetTree(watched.Host);
                break;
            case ckOverflow:
                break;
        }
    }
}

bool TVLMon::IsStartingFolder(const THostPath& host) const {
    return std::find(SourceFolders.begin(), SourceFolders.end(), host) != SourceFolders.end() ||
           std::find(RootFolders.begin(), RootFolders.end(), host) != RootFolders.end();
}

void TVLMon::Adopt(const THostPath& top, bool recursive, TReportMode report) {
    std::vector<THostPath> folders{top};
    while (!folders.empty()) {
        THostPath folder = std::move(folders.back());
        folders.pop_back();
        bool watched = KeepWatching(folder, recursive) || TryWatch(folder, recursive);
        if (!watched && !DirectoryExists(folder.Text())) {
            if (IsStartingFolder(folder))
                Unwatched[folder] = recursive;  // a source that is missing or unmounted
            continue;
        }
        if (!watched)
            Unwatched[folder] = recursive;
        for (TFileSearch search((folder / "*").Text(), faAnyFile); search.Found(); search.Next()) {
            const std::string& name = search.Rec().Name;
            if (search.IsDirectory()) {
                if (recursive)
                    folders.push_back(folder / name);
            } else if (report == rpEverything ||
                       (report == rpArchived && (search.Rec().Attr & faArchive))) {
                Report(folder / name);
            }
        }
    }
}

bool TVLMon::KeepWatching(const THostPath& host, bool recursive) {
    auto known = ByFolder.find(host);
    if (known == ByFolder.end())
        return false;
    // A drive root watched for itself alone may also be a source folder: then its new
    // sub-folders are watched too.
    ByWatch[known->second].Recursive = ByWatch[known->second].Recursive || recursive;
    return true;
}

bool TVLMon::TryWatch(const THostPath& host, bool recursive) {
    int watch = Watcher->AddWatch(host);
    if (watch < 0) {
        if (GetLastError() == ERROR_NO_MORE_WATCHES && !LimitNoticed) {
            LimitNoticed = true;
            Notice(
                "The change monitor cannot watch every folder: the system's limit of "
                "watched folders is reached (raise the setting " +
                TChangeWatcher::WatchLimitSetting() +
                "). The folders beyond it are searched for changed files every " +
                std::to_string(RescanMs / 1000) + " seconds.");
        }
        return false;
    }
    TWatched& watched = ByWatch[watch];  // one folder reached twice keeps one watch
    if (watched.Host.IsEmpty()) {
        watched.Host = host;
    } else if (watched.Host != host && !DirectoryExists(watched.Host.Text())) {
        // Renamed while its events were lost (an overflow): it goes by its new name now.
        ByFolder.erase(watched.Host);
        watched.Host = host;
    }
    watched.Recursive = watched.Recursive || recursive;
    ByFolder[host] = watch;
    return true;
}

void TVLMon::ForgetTree(const THostPath& top) {
    // The folders below top sort after it, among the paths whose text begins with top's.
    for (auto it = ByFolder.lower_bound(top);
         it != ByFolder.end() && it->first.Text().compare(0, top.Text().size(), top.Text()) == 0;) {
        if (!it->first.IsInside(top)) {
            ++it;  // a sibling whose name begins with top's ("/a/bc" after "/a/b")
            continue;
        }
        Watcher->RemoveWatch(it->second);
        ByWatch.erase(it->second);
        it = ByFolder.erase(it);
    }
    std::erase_if(Unwatched, [&](const auto& entry) { return entry.first.IsInside(top); });
    // A source or drive root that went away (removed, renamed, unmounted) is looked for again
    // at every search of unwatched folders, and taken on when it is back.
    for (const THostPath& root : RootFolders) {
        if (root.IsInside(top))
            Unwatched[root] = false;
    }
    for (const THostPath& folder : SourceFolders) {
        if (folder.IsInside(top))
            Unwatched[folder] = true;
    }
}

void TVLMon::RescanAll() {
    for (const THostPath& root : RootFolders)
        Adopt(root, false, rpArchived);
    for (const THostPath& folder : SourceFolders)
        Adopt(folder, true, rpArchived);
}

void TVLMon::RescanUnwatched() {
    std::map<THostPath, bool> tops = std::exchange(Unwatched, {});
    THostPath lastTop;
    for (const auto& [folder, recursive] : tops) {
        // A folder below one looked at in this round was looked at with it.
        if (!lastTop.IsEmpty() && folder.IsInside(lastTop))
            continue;
        if (recursive)
            lastTop = folder;
        Adopt(folder, recursive, rpArchived);
    }
}

void TVLMon::Report(const THostPath& host) {
    std::string path;
    if (!DrivePathOf(host, path))
        return;  // a name drive form cannot hold; the full backup reports it
    std::lock_guard guard(Lock);
    if (path.size() > kMaxSlotPath) {
        uint32_t ticket = NextTicket++;
        LongPaths[ticket] = std::move(path);
        path = kLongPathMark + std::to_string(ticket);
    }
    Pending.push_back(std::move(path));
    FlushLocked();
}

void TVLMon::Notice(const std::string& text) {
    std::lock_guard guard(Lock);
    Notices.push_back(text);
}

void TVLMon::FlushLocked() {
    if (!View || Pending.empty())
        return;
    int32_t written = LoadIndex(View, kLastWrittenOffset);
    int32_t read = LoadIndex(View, kLastReadOffset);
    if (written < 0 || written >= kRingSlots || read < 0 || read >= kRingSlots)
        return;  // indices the driver does not know: write nothing rather than guess
    bool wrote = false;
    while (!Pending.empty()) {
        int32_t next = (written + 1) % kRingSlots;
        if (next == read)
            break;  // full: the rest waits until the program has read
        char* slot = View + kSlotsOffset + kSlotBytes * static_cast<size_t>(next);
        const std::string& path = Pending.front();
        std::memcpy(slot, path.c_str(), path.size() + 1);
        Pending.pop_front();
        written = next;
        StoreIndex(View, kLastWrittenOffset, written);
        wrote = true;
    }
    if (wrote && Event)
        Event->Set();
}
