#include "sourcepath.h"

#include "platform/clock.h"
#include "platform/paths.h"

namespace {

// Whether the tick count now has passed due, also across the counter's wrap-around (as
// long as the two lie less than 24 days apart).
bool HasPassed(uint32_t now, uint32_t due) {
    return static_cast<int32_t>(now - due) > 0;
}

}  // namespace

void TSourcePathList::Add(const std::string& path) {
    bool added = false;
    {
        std::lock_guard guard(Lock);
        uint32_t due = GetTickCount() + PathDelay;
        std::string identity = PathIdentity(path);
        auto found = Index.find(identity);
        if (found == Index.end()) {
            Entries.push_front({path, due});
            Index.emplace(std::move(identity), Entries.begin());
            added = true;
        } else {
            found->second->Due = due;
            Entries.splice(Entries.begin(), Entries, found->second);
        }
    }
    if (added)
        PathEvent.Set();
}

std::string TSourcePathList::Take() {
    std::lock_guard guard(Lock);
    std::string path;
    if (!Entries.empty() && HasPassed(GetTickCount(), Entries.back().Due)) {
        path = std::move(Entries.back().Path);
        Index.erase(PathIdentity(path));
        Entries.pop_back();
    }
    if (Entries.empty() && DrainEvent) {
        DrainEvent->Set();
        DrainEvent = nullptr;
    }
    return path;
}

void TSourcePathList::SetDrainEvent(TEvent* event) {
    std::lock_guard guard(Lock);
    DrainEvent = event;
}

int TSourcePathList::Count() const {
    std::lock_guard guard(Lock);
    return static_cast<int>(Entries.size());
}
