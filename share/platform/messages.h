#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>

#include "vlshare_export.h"

// Messages from worker threads to the controller, which lives in the main thread's event
// loop. Posted messages are queued; a sent message blocks its sender until the main
// thread's handler has returned the result.

using TMessageHandler =
    std::function<intptr_t(uint32_t message, uintptr_t wParam, intptr_t lParam)>;

class VLSHARE_EXPORT TMessageTarget {
  public:
    // Must be made in the main thread; handler runs there.
    explicit TMessageTarget(TMessageHandler handler);
    ~TMessageTarget();
    TMessageTarget(const TMessageTarget&) = delete;
    TMessageTarget& operator=(const TMessageTarget&) = delete;

    void PostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);
    // From the main thread the handler runs at once. A message still waiting when the
    // target goes away is answered 2 (Cancel).
    intptr_t SendMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);

    struct TReceiver;

  private:
    std::unique_ptr<TReceiver> Receiver;
};

// Runs work in the main thread and waits for it (directly when called there, or when the
// program has no event loop).
VLSHARE_EXPORT void RunInMainThread(const std::function<void()>& work);

// Main thread only: handles events (posted and sent messages among them) until done()
// holds; done is checked every checkMs milliseconds. A long-running wait that nobody watches
// closely (automatic backup in the foreground) checks less often, to let the machine sleep.
VLSHARE_EXPORT void ServeMessagesUntil(const std::function<bool()>& done, int checkMs = 20);

VLSHARE_EXPORT bool IsMainThread();

// Receives the failure of a message handler that raised an exception (the message is
// answered Cancel), to tell the user: this layer shows nothing itself.
using TMessageFailureHandler = void (*)(const std::exception& failure);
VLSHARE_EXPORT void SetMessageFailureHandler(TMessageFailureHandler handler);
