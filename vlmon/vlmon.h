#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/event.h"
#include "platform/hostpath.h"

// The change monitor "driver": it watches the profile's source folders and writes the drive
// path of every changed file into a ring of slots shared with the program, then signals the
// program's event. The program talks to it with requests, as to a device.

// Requests (DeviceIoControl codes).
enum : uint32_t {
    VLMON_SET_RING = 1,     // input TRingRequest: where to write and what to signal
    VLMON_STOP = 2,         // no input: stop watching (what is held back is still delivered)
    VLMON_SET_DRIVES = 3,   // input: 26 characters 'a' (watch) or 'x' for A to Z, and a zero
    VLMON_SET_FOLDERS = 4,  // input: the comma text of the folders to watch with sub-folders;
                            // returns once they are watched
};

// The ring: two indices, then 201 slots of 260 bytes, each a zero-terminated path.
constexpr size_t kRingBytes = 52520;
constexpr int kRingSlots = 201;
constexpr size_t kSlotBytes = 260;
constexpr size_t kSlotsOffset = 260;
constexpr size_t kLastWrittenOffset = 0;
constexpr size_t kLastReadOffset = 4;
constexpr size_t kMaxSlotPath = kSlotBytes - 1;
// A path longer than a slot holds goes into the slot as this mark and a ticket number; the
// program fetches the whole path with TakeLongPath.
constexpr char kLongPathMark = '\x01';

struct TRingRequest {
    TEvent* Event;
    void* View;
};

class TVLMon {
  public:
    // How often folders that could not be watched (the limit of watches) are looked at.
    static constexpr uint32_t kDefaultRescanMs = 60000;

    // Opens the device; null when the system offers no change notification.
    static std::unique_ptr<TVLMon> Open(uint32_t rescanMs = kDefaultRescanMs);
    ~TVLMon();
    TVLMon(const TVLMon&) = delete;
    TVLMon& operator=(const TVLMon&) = delete;

    bool DeviceIoControl(uint32_t code, const void* input, size_t inputSize);

    // The whole path a long-path slot stands for, taken out of the driver; "" for a slot that
    // is not such a mark or a ticket already taken.
    std::string TakeLongPath(const char* slot);
    // What the driver has to say for the log since last asked (limits reached, lost events).
    std::vector<std::string> TakeNotices();
    // True when every change reported so far is in the ring.
    bool Delivered();

  private:
    explicit TVLMon(uint32_t rescanMs);

    struct TWatched {
        THostPath Host;          // the folder
        bool Recursive = false;  // its sub-folders are watched too
    };

    // Which files of a folder Adopt reports.
    enum TReportMode { rpNothing, rpArchived, rpEverything };

    void Run(TEvent& ready);
    void StopWatching();
    void HandleEvents(int timeoutMs);
    // Watches top (and, when recursive, every folder below it that is not hidden) and
    // reports its files as report says. Folders that cannot be watched are remembered to be
    // looked at again.
    void Adopt(const THostPath& top, bool recursive, TReportMode report);
    // Whether host is watched already; a recursive adoption makes its watch recursive.
    bool KeepWatching(const THostPath& host, bool recursive);
    bool TryWatch(const THostPath& host, bool recursive);
    void ForgetTree(const THostPath& top);
    bool IsStartingFolder(const THostPath& host) const;
    void RescanAll();
    void RescanUnwatched();
    void Report(const THostPath& host);
    void Notice(const std::string& text);
    // Moves held-back paths into free slots; the lock must be held.
    void FlushLocked();

    const uint32_t RescanMs;
    std::unique_ptr<class TChangeWatcher> Watcher;
    std::thread Worker;
    std::atomic<bool> Stopping{false};
    bool Started = false;

    // Requests (program side).
    std::vector<THostPath> RootFolders;    // drive roots, watched without sub-folders
    std::vector<THostPath> SourceFolders;  // watched with sub-folders

    // The watcher thread's own state.
    std::map<int, TWatched> ByWatch;
    std::map<THostPath, int> ByFolder;
    std::map<THostPath, bool> Unwatched;  // folders not watched -> with sub-folders
    bool LimitNoticed = false;
    uint32_t NextRescan = 0;

    // Shared with the program's thread.
    std::mutex Lock;
    TEvent* Event = nullptr;
    char* View = nullptr;
    std::deque<std::string> Pending;
    std::map<uint32_t, std::string> LongPaths;
    uint32_t NextTicket = 1;
    std::vector<std::string> Notices;
};
