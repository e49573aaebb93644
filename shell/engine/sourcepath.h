#pragma once

#include <cstdint>
#include <list>
#include <mutex>
#include <string>
#include <unordered_map>

#include "platform/event.h"

// How long a changed file must stay unchanged before it is backed up, in milliseconds.
constexpr uint32_t PathDelay = 5000;

// The queue of changed files between the change monitor, which adds every path it is told
// of, and the continuous backup thread, which takes the settled ones. A path is queued once;
// a new report of a queued path moves it to the front and starts its delay again, so a file
// written in many steps is backed up once, after the writing stopped.
//
// Paths are compared as everywhere in the program (PathIdentity): "Report.doc" and
// "report.doc" are two files. Due times are 32-bit tick counts compared so that the
// counter's wrap-around changes nothing.
class TSourcePathList {
  public:
    TSourcePathList() = default;
    TSourcePathList(const TSourcePathList&) = delete;
    TSourcePathList& operator=(const TSourcePathList&) = delete;

    // Queues path, or moves it to the front with a new due time. PathEvent is set when the
    // path was not queued yet.
    void Add(const std::string& path);
    // The path changed longest ago when its delay has passed, else "". When the queue is
    // empty afterwards, a registered drain event is set and forgotten.
    std::string Take();
    // Remembers event (replacing an earlier one) to be set by the next Take that finds or
    // leaves the queue empty. The event must outlive that Take or a later SetDrainEvent.
    void SetDrainEvent(TEvent* event);

    int Count() const;

    // Set whenever a path that was not queued yet is added; also set by others to wake the
    // continuous backup thread.
    TEvent PathEvent;

  private:
    struct TEntry {
        std::string Path;
        uint32_t Due;
    };

    mutable std::mutex Lock;
    std::list<TEntry> Entries;  // front: changed last; back: changed longest ago
    std::unordered_map<std::string, std::list<TEntry>::iterator> Index;  // by PathIdentity
    TEvent* DrainEvent = nullptr;
};
