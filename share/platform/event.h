#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "vlshare_export.h"

// What a wait for an event ended with.
enum TWaitResult : int {
    wrSignaled = 0,
    wrTimeout = 1,
};

// An event threads wait for. An auto-reset event lets one waiter through for each Set and
// then is clear again; a manual-reset one stays set until Reset.
class VLSHARE_EXPORT TEvent {
  public:
    enum TResetMode { rmAuto, rmManual };

    explicit TEvent(TResetMode mode = rmAuto, bool initiallySet = false);
    TEvent(const TEvent&) = delete;
    TEvent& operator=(const TEvent&) = delete;

    void Set();
    void Reset();
    // Waits at most timeoutMs milliseconds (0: only looks).
    TWaitResult WaitFor(uint32_t timeoutMs);

  private:
    const TResetMode Mode;
    std::mutex Lock;
    std::condition_variable Changed;
    bool State;
};
