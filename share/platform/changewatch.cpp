#include "platform/changewatch.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>

#include "platform/faults.h"
#include "platform/syserror.h"

namespace {

constexpr uint32_t kWatchedEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE |
                                    IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_DONT_FOLLOW |
                                    IN_EXCL_UNLINK;

// The change an inotify event stands for; false for events that are no change to report.
bool KindOf(uint32_t mask, TChangeKind& kind) {
    bool folder = (mask & IN_ISDIR) != 0;
    if (mask & IN_Q_OVERFLOW)
        kind = ckOverflow;
    else if (mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT))
        kind = ckWatchEnded;
    else if (mask & IN_CLOSE_WRITE)
        kind = ckFileWritten;
    else if (mask & IN_MOVED_TO)
        kind = folder ? ckFolderAdded : ckFileMovedIn;
    else if ((mask & IN_CREATE) && folder)
        kind = ckFolderAdded;
    else if ((mask & IN_MOVED_FROM) && folder)
        kind = ckFolderMovedOut;
    else
        return false;  // a file created (its writing is reported when it is closed)
    return true;
}

}  // namespace

TChangeWatcher::TChangeWatcher()
    : WatchLimit(InjectedWatchLimit()), OverflowAfter(InjectedOverflowAfter()) {
    Handle = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (Handle < 0) {
        SetLastErrorFromErrno();
        return;
    }
    WakeHandle = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (WakeHandle < 0) {
        SetLastErrorFromErrno();
        ::close(Handle);
        Handle = -1;
    }
}

TChangeWatcher::~TChangeWatcher() {
    if (Handle >= 0)
        ::close(Handle);  // removes every watch
    if (WakeHandle >= 0)
        ::close(WakeHandle);
}

int TChangeWatcher::AddWatch(const THostPath& hostFolder) {
    if (WatchLimit >= 0 && static_cast<int64_t>(Watches.size()) >= WatchLimit) {
        SetLastError(ERROR_NO_MORE_WATCHES);
        return -1;
    }
    int watch = ::inotify_add_watch(Handle, hostFolder.CStr(), kWatchedEvents);
    if (watch < 0) {
        if (errno == ENOSPC)
            SetLastError(ERROR_NO_MORE_WATCHES);
        else
            SetLastErrorFromErrno();
        return -1;
    }
    Watches.insert(watch);
    return watch;
}

void TChangeWatcher::RemoveWatch(int watch) {
    ::inotify_rm_watch(Handle, watch);
    Watches.erase(watch);
}

bool TChangeWatcher::Read(std::vector<TChangeEvent>& events, int timeoutMs) {
    pollfd handles[2] = {{Handle, POLLIN, 0}, {WakeHandle, POLLIN, 0}};
    int ready = ::poll(handles, 2, timeoutMs);
    if (ready < 0) {
        if (errno == EINTR)
            return true;
        SetLastErrorFromErrno();
        return false;
    }
    if (handles[1].revents & POLLIN) {
        uint64_t count;
        [[maybe_unused]] ssize_t n = ::read(WakeHandle, &count, sizeof count);
    }
    alignas(inotify_event) char buffer[64 * 1024];
    for (;;) {
        ssize_t length = ::read(Handle, buffer, sizeof buffer);
        if (length < 0) {
            if (errno == EAGAIN || errno == EINTR)
                return true;
            SetLastErrorFromErrno();
            return false;
        }
        for (ssize_t offset = 0; offset < length;) {
            auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (OverflowAfter >= 0 && EventsSeen++ == OverflowAfter) {
                events.push_back({ckOverflow, -1, {}});
                break;  // the rest of what was read is lost, as in a real overflow
            }
            TChangeKind kind;
            if (!KindOf(event->mask, kind))
                continue;
            if (kind == ckOverflow)
                events.push_back({ckOverflow, -1, {}});
            else
                events.push_back({kind, event->wd, event->len ? std::string(event->name) : ""});
            if (event->mask & IN_IGNORED)
                Watches.erase(event->wd);
        }
    }
}

void TChangeWatcher::Wake() {
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(WakeHandle, &one, sizeof one);
}

std::string TChangeWatcher::WatchLimitSetting() {
    return "fs.inotify.max_user_watches";
}
