#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "vlshare_export.h"

// Messages from worker threads to the controller, which lives in the main thread's event
// loop. Posted messages are queued; a sent message blocks its sender until the main
// thread's handler has returned the result.
//
// The event loop is the program's: a program with windows serves the desktop's loop
// (vlforms installs it), the command line a plain queue (TPlainEventLoop). Without any,
// everything runs at once in the calling thread.

// The main thread's event loop as the messages see it.
class VLSHARE_EXPORT TEventLoop {
  public:
    virtual ~TEventLoop() = default;
    // Any thread: work runs in the loop's thread, in the order posted. Work that never
    // runs (the loop ended first) is destroyed unrun.
    virtual void Post(std::function<void()> work) = 0;
    // The loop's thread only: runs posted work (and the loop's other events) until done()
    // holds; done is checked every checkMs milliseconds.
    virtual void ServeUntil(const std::function<bool()>& done, int checkMs) = 0;
    virtual bool InLoopThread() const = 0;
};

// Makes loop the main thread's loop (null: none); returns the one it replaces.
VLSHARE_EXPORT TEventLoop* SetEventLoop(TEventLoop* loop);

// The loop of a program without windows: a queue of work that the thread that made it
// serves while it waits (ServeMessagesUntil, a TThread's WaitFor). It is the program's loop
// while it lives; work still queued when it goes is dropped.
class VLSHARE_EXPORT TPlainEventLoop : public TEventLoop {
  public:
    TPlainEventLoop();
    ~TPlainEventLoop() override;
    TPlainEventLoop(const TPlainEventLoop&) = delete;
    TPlainEventLoop& operator=(const TPlainEventLoop&) = delete;

    void Post(std::function<void()> work) override;
    void ServeUntil(const std::function<bool()>& done, int checkMs) override;
    bool InLoopThread() const override;

  private:
    std::mutex Lock;
    std::condition_variable WorkCame;
    std::deque<std::function<void()>> Queue;
    const std::thread::id Owner;
    TEventLoop* Replaced = nullptr;
};

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
    std::shared_ptr<TReceiver> Receiver;
};

// Runs work in the main thread and waits for it (directly when called there, or when the
// program has no event loop).
VLSHARE_EXPORT void RunInMainThread(const std::function<void()>& work);

// Queues work to run in the main thread and returns at once (runs it at once when the
// program has no event loop).
VLSHARE_EXPORT void PostToMainThread(std::function<void()> work);

// Main thread only: handles events (posted and sent messages among them) until done()
// holds; done is checked every checkMs milliseconds. A long-running wait that nobody watches
// closely (automatic backup in the foreground) checks less often, to let the machine sleep.
VLSHARE_EXPORT void ServeMessagesUntil(const std::function<bool()>& done, int checkMs = 20);

VLSHARE_EXPORT bool IsMainThread();

// Receives the failure of a message handler that raised an exception (the message is
// answered Cancel), to tell the user: this layer shows nothing itself.
using TMessageFailureHandler = void (*)(const std::exception& failure);
VLSHARE_EXPORT void SetMessageFailureHandler(TMessageFailureHandler handler);
