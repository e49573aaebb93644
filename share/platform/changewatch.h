#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/hostpath.h"
#include "vlshare_export.h"

// What the kernel tells of a watched folder.
enum TChangeKind : int {
    ckFileWritten,     // a file was closed after writing
    ckFileMovedIn,     // a file was moved (renamed) into the folder
    ckFolderAdded,     // a folder was made in the folder or moved into it
    ckFolderMovedOut,  // a sub-folder was moved (renamed) away
    ckWatchEnded,      // the watched folder itself was removed, moved or unmounted
    ckOverflow,        // events were lost: the kernel's queue overflowed
};

struct TChangeEvent {
    TChangeKind Kind;
    int Watch;         // the watch the event came from (-1 for an overflow)
    std::string Name;  // the entry's name in the watched folder; empty for the folder itself
};

// Watches host folders, each without its sub-folders, for files written or moved in and
// for folders added or removed (inotify). Links are never followed. Made for one thread:
// only Wake may be called from another.
class VLSHARE_EXPORT TChangeWatcher {
  public:
    TChangeWatcher();
    ~TChangeWatcher();
    TChangeWatcher(const TChangeWatcher&) = delete;
    TChangeWatcher& operator=(const TChangeWatcher&) = delete;

    bool Valid() const { return Handle >= 0; }

    // Starts watching hostFolder; returns the watch, or -1 with the last error set. Watching
    // a folder that is watched already returns its watch. The error is ERROR_NO_MORE_WATCHES
    // when the user's limit of watches is reached.
    int AddWatch(const THostPath& hostFolder);
    void RemoveWatch(int watch);

    // Waits at most timeoutMs for events (0: only looks; -1: until there are some) and
    // appends them to events. Returns false when the wait failed (last error set). Wake ends
    // a wait early.
    bool Read(std::vector<TChangeEvent>& events, int timeoutMs);
    void Wake();

    // The system setting that limits the number of watches, for the message that says it
    // was reached.
    static std::string WatchLimitSetting();

  private:
    int Handle = -1;
    int WakeHandle = -1;
    std::unordered_set<int> Watches;
    // Test switches (faults.h): a lower limit of watches, an overflow after so many events.
    const int64_t WatchLimit;
    const int64_t OverflowAfter;
    int64_t EventsSeen = 0;
};

// The error AddWatch reports when the limit of watches is reached.
constexpr int ERROR_NO_MORE_WATCHES = 1816;  // "Not enough quota"
