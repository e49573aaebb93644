#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

#include "vlshare_export.h"

// A worker thread: made suspended or started at once, asked to stop with Terminate (the
// body tests Terminated at its own pace), waited for with WaitFor. The object is released
// by its owner, after WaitFor has returned; the body never frees its own object.
class VLSHARE_EXPORT TThread {
  public:
    explicit TThread(bool createSuspended);
    virtual ~TThread();  // waits for the body to end
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    void Resume();  // starts a suspended thread; no effect on a running one
    void Terminate() { TerminateRequested = true; }
    bool Terminated() const { return TerminateRequested; }
    bool Finished() const { return HasFinished; }
    // Waits until the body has ended and returns ReturnValue. In the main thread the wait
    // keeps serving the messages the thread sends (see messages.h), so a thread blocked in
    // a question can still be answered.
    int WaitFor();

    // Runs method in the main thread while this thread waits.
    void Synchronize(const std::function<void()>& method);

  protected:
    virtual void Execute() = 0;
    // One step below normal priority, and scheduled as batch work, for work the user is
    // not waiting on.
    void LowerPriority();

    int ReturnValue = 0;

  private:
    void Run();

    std::thread Worker;
    std::mutex StartLock;
    std::atomic<bool> TerminateRequested{false};
    std::atomic<bool> HasFinished{false};
    bool Started = false;
};
