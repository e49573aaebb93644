#include "platform/messages.h"

#include <atomic>
#include <chrono>
#include <future>
#include <optional>
#include <stdexcept>

namespace {

// The answer of a message that is never handled.
constexpr intptr_t kCancelAnswer = 2;

std::atomic<TEventLoop*> CurrentLoop{nullptr};
std::atomic<TMessageFailureHandler> FailureHandler{nullptr};

void ReportFailure(const std::exception& failure) {
    TMessageFailureHandler handler = FailureHandler.load();
    if (handler)
        handler(failure);
}

// One message on its way to the main thread; a sent one carries the promise of its answer,
// which is kept as Cancel if the message is dropped unhandled.
class TPendingMessage {
  public:
    TPendingMessage(uint32_t message, uintptr_t wParam, intptr_t lParam,
                    std::shared_ptr<std::promise<intptr_t>> answer)
        : Message(message), WParam(wParam), LParam(lParam), Answer(std::move(answer)) {}
    TPendingMessage(TPendingMessage&& other) noexcept = default;
    TPendingMessage& operator=(TPendingMessage&&) = delete;
    TPendingMessage(const TPendingMessage&) = delete;
    ~TPendingMessage() { Reply(kCancelAnswer); }

    // The first reply counts.
    void Reply(intptr_t result) {
        if (Answer)
            Answer->set_value(result);
        Answer.reset();
    }

    uint32_t Message;
    uintptr_t WParam;
    intptr_t LParam;

  private:
    std::shared_ptr<std::promise<intptr_t>> Answer;
};

// Work for the main thread that a worker waits for; work dropped unrun (the loop ended)
// releases the worker with a failure instead of leaving it waiting.
class TMainThreadCall {
  public:
    explicit TMainThreadCall(const std::function<void()>& work) : Work(work) {}
    ~TMainThreadCall() {
        if (!Done) {
            Result.set_exception(std::make_exception_ptr(
                std::runtime_error("The program's main thread ended before it did the work.")));
        }
    }
    TMainThreadCall(const TMainThreadCall&) = delete;
    TMainThreadCall& operator=(const TMainThreadCall&) = delete;

    void Run() {
        Done = true;
        try {
            Work();
            Result.set_value();
        } catch (...) {
            Result.set_exception(std::current_exception());
        }
    }
    std::future<void> Future() { return Result.get_future(); }

  private:
    const std::function<void()>& Work;
    std::promise<void> Result;
    bool Done = false;
};

// A wait without a loop to serve: done is looked at every checkMs milliseconds.
void SleepUntil(const std::function<bool()>& done, int checkMs) {
    while (!done())
        std::this_thread::sleep_for(std::chrono::milliseconds(checkMs));
}

}  // namespace

// ---- the loop ----

TEventLoop* SetEventLoop(TEventLoop* loop) {
    return CurrentLoop.exchange(loop);
}

TPlainEventLoop::TPlainEventLoop() : Owner(std::this_thread::get_id()) {
    Replaced = SetEventLoop(this);
}

TPlainEventLoop::~TPlainEventLoop() {
    TEventLoop* expected = this;
    CurrentLoop.compare_exchange_strong(expected, Replaced);
    std::deque<std::function<void()>> dropped;
    {
        std::lock_guard guard(Lock);
        dropped.swap(Queue);
    }
}

void TPlainEventLoop::Post(std::function<void()> work) {
    {
        std::lock_guard guard(Lock);
        Queue.push_back(std::move(work));
    }
    WorkCame.notify_one();
}

void TPlainEventLoop::ServeUntil(const std::function<bool()>& done, int checkMs) {
    using Clock = std::chrono::steady_clock;
    const auto interval = std::chrono::milliseconds(checkMs);
    auto nextCheck = Clock::now() + interval;
    for (;;) {
        if (Clock::now() >= nextCheck) {
            if (done())
                return;
            nextCheck = Clock::now() + interval;
        }
        std::function<void()> work;
        {
            std::unique_lock guard(Lock);
            if (!WorkCame.wait_until(guard, nextCheck, [this] { return !Queue.empty(); }))
                continue;
            work = std::move(Queue.front());
            Queue.pop_front();
        }
        work();
    }
}

bool TPlainEventLoop::InLoopThread() const {
    return std::this_thread::get_id() == Owner;
}

// ---- message targets ----

// Messages wait in a queue of their own, in the order they came. Waking the main thread's
// loop costs a system call and a switch of threads, so a burst of messages (a thread telling
// the progress of many files) gets one turn of the loop rather than one per message.
struct TMessageTarget::TReceiver : std::enable_shared_from_this<TReceiver> {
    explicit TReceiver(TMessageHandler handler) : Handler(std::move(handler)) {}

    enum TQueued { qdTargetGone, qdTurnNeeded, qdTurnAlreadyPosted };

    // Queues a message for the main thread and says whether the loop must be given a turn.
    TQueued Queue(TPendingMessage&& message) {
        std::lock_guard guard(Lock);
        if (Closed)
            return qdTargetGone;
        Pending.push_back(std::move(message));
        if (TurnPosted)
            return qdTurnAlreadyPosted;
        TurnPosted = true;
        return qdTurnNeeded;
    }

    // Main thread, in the loop's turn: handles the messages waiting, oldest first.
    void HandleWaiting() {
        MarkTurnStarted();
        while (std::optional<TPendingMessage> message = TakeNext())
            Handle(*message);
    }

    void Handle(TPendingMessage& message) {
        try {
            message.Reply(Handler(message.Message, message.WParam, message.LParam));
        } catch (const std::exception& error) {
            // A handler that fails answers Cancel; its failure is shown, not lost.
            ReportFailure(error);
            message.Reply(kCancelAnswer);
        }
    }

    // The loop's turn went unserved (the loop ended first): the messages that waited for it
    // are dropped, a sent one answered Cancel, so that a sender never waits for a loop
    // that is gone.
    void DropWaiting() {
        std::deque<TPendingMessage> dropped;
        std::lock_guard guard(Lock);
        TurnPosted = false;
        dropped.swap(Pending);
    }

    // The messages still waiting are answered Cancel.
    void Close() {
        std::deque<TPendingMessage> dropped;
        std::lock_guard guard(Lock);
        Closed = true;
        dropped.swap(Pending);
    }

    TMessageHandler Handler;

  private:
    void MarkTurnStarted() {
        std::lock_guard guard(Lock);
        TurnPosted = false;
    }

    // The next message. When more wait behind it, the loop gets one more turn for them, so
    // that a loop the handler runs itself (a question to the user) handles them meanwhile.
    std::optional<TPendingMessage> TakeNext() {
        bool anotherTurn = false;
        std::optional<TPendingMessage> next;
        {
            std::lock_guard guard(Lock);
            if (Closed || Pending.empty())
                return std::nullopt;
            next.emplace(std::move(Pending.front()));
            Pending.pop_front();
            anotherTurn = !Pending.empty() && !TurnPosted;
            TurnPosted = TurnPosted || anotherTurn;
        }
        if (anotherTurn)
            PostAnotherTurn();
        return next;
    }

    void PostAnotherTurn();

    std::mutex Lock;
    std::deque<TPendingMessage> Pending;
    bool TurnPosted = false;  // a turn of the loop is on its way and has not started
    bool Closed = false;
};

namespace {

// A turn of the loop for a target's waiting messages; one the loop drops unrun drops them.
class TMessageTurn {
  public:
    explicit TMessageTurn(std::shared_ptr<TMessageTarget::TReceiver> receiver)
        : Receiver(std::move(receiver)) {}
    ~TMessageTurn() {
        if (Receiver)
            Receiver->DropWaiting();
    }
    TMessageTurn(const TMessageTurn&) = delete;
    TMessageTurn& operator=(const TMessageTurn&) = delete;

    void Take() {
        std::shared_ptr<TMessageTarget::TReceiver> receiver = std::move(Receiver);
        if (receiver)
            receiver->HandleWaiting();
    }

  private:
    std::shared_ptr<TMessageTarget::TReceiver> Receiver;
};

void PostTurn(TEventLoop& loop, const std::shared_ptr<TMessageTarget::TReceiver>& receiver) {
    loop.Post([turn = std::make_shared<TMessageTurn>(receiver)] { turn->Take(); });
}

}  // namespace

void TMessageTarget::TReceiver::PostAnotherTurn() {
    if (TEventLoop* loop = CurrentLoop.load())
        PostTurn(*loop, shared_from_this());
}

TMessageTarget::TMessageTarget(TMessageHandler handler)
    : Receiver(std::make_shared<TReceiver>(std::move(handler))) {}

TMessageTarget::~TMessageTarget() {
    Receiver->Close();
}

void TMessageTarget::PostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    TPendingMessage pending(message, wParam, lParam, nullptr);
    TEventLoop* loop = CurrentLoop.load();
    if (!loop) {
        Receiver->Handle(pending);
        return;
    }
    if (Receiver->Queue(std::move(pending)) == TReceiver::qdTurnNeeded)
        PostTurn(*loop, Receiver);
}

intptr_t TMessageTarget::SendMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    TEventLoop* loop = CurrentLoop.load();
    if (!loop || loop->InLoopThread())
        return Receiver->Handler(message, wParam, lParam);
    auto answer = std::make_shared<std::promise<intptr_t>>();
    std::future<intptr_t> result = answer->get_future();
    if (Receiver->Queue(TPendingMessage(message, wParam, lParam, answer)) ==
        TReceiver::qdTurnNeeded)
        PostTurn(*loop, Receiver);
    return result.get();
}

void SetMessageFailureHandler(TMessageFailureHandler handler) {
    FailureHandler = handler;
}

bool IsMainThread() {
    TEventLoop* loop = CurrentLoop.load();
    return !loop || loop->InLoopThread();
}

void RunInMainThread(const std::function<void()>& work) {
    TEventLoop* loop = CurrentLoop.load();
    if (!loop || loop->InLoopThread()) {
        work();
        return;
    }
    auto call = std::make_shared<TMainThreadCall>(work);
    std::future<void> done = call->Future();
    loop->Post([call = std::move(call)] { call->Run(); });
    // An exception of the work is carried back to the caller.
    done.get();
}

void PostToMainThread(std::function<void()> work) {
    TEventLoop* loop = CurrentLoop.load();
    if (loop)
        loop->Post(std::move(work));
    else
        work();
}

void ServeMessagesUntil(const std::function<bool()>& done, int checkMs) {
    if (done())
        return;
    TEventLoop* loop = CurrentLoop.load();
    if (!loop || !loop->InLoopThread()) {
        SleepUntil(done, checkMs);
        return;
    }
    loop->ServeUntil(done, checkMs);
}
