#include "platform/event.h"

#include <chrono>

TEvent::TEvent(TResetMode mode, bool initiallySet) : Mode(mode), State(initiallySet) {}

void TEvent::Set() {
    // Notified under the lock: a waiter that returns at once may free the event right away.
    std::lock_guard guard(Lock);
    State = true;
    if (Mode == rmAuto)
        Changed.notify_one();
    else
        Changed.notify_all();
}

void TEvent::Reset() {
    std::lock_guard guard(Lock);
    State = false;
}

TWaitResult TEvent::WaitFor(uint32_t timeoutMs) {
    std::unique_lock guard(Lock);
    if (!Changed.wait_for(guard, std::chrono::milliseconds(timeoutMs), [this] { return State; }))
        return wrTimeout;
    if (Mode == rmAuto)
        State = false;
    return wrSignaled;
}
