// Messages between worker threads and the main thread behave alike on both event loops: the
// plain queue of the command line and the desktop's loop of the programs with windows.
#include <gtest/gtest.h>
#include <signal.h>

#include <QApplication>
#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/interrupts.h"
#include "platform/messages.h"
#include "platform/thread.h"
#include "qtenvironment.h"
#include "qteventloop.h"

namespace {

using namespace std::chrono_literals;

constexpr intptr_t kCancelAnswer = 2;
constexpr uint32_t kTestMessage = 0x8001;

enum TLoopKind { lkPlain, lkDesktop };

std::string LoopName(const testing::TestParamInfo<TLoopKind>& info) {
    return info.param == lkPlain ? "Plain" : "Desktop";
}

// Serves the main thread's loop until done holds or five seconds have passed.
bool ServeUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    ServeMessagesUntil([&] { return done() || std::chrono::steady_clock::now() > deadline; }, 5);
    return done();
}

// Serves the main thread's loop for a while.
void ServeFor(std::chrono::milliseconds time) {
    const auto until = std::chrono::steady_clock::now() + time;
    ServeMessagesUntil([&] { return std::chrono::steady_clock::now() > until; }, 5);
}

// A thread that runs a body given to it.
class TBodyThread : public TThread {
  public:
    explicit TBodyThread(std::function<void()> body) : TThread(true), Body(std::move(body)) {}

  protected:
    void Execute() override { Body(); }

  private:
    std::function<void()> Body;
};

std::vector<std::string> Failures;
void RecordFailure(const std::exception& failure) {
    Failures.push_back(failure.what());
}

class MessageLoop : public testing::TestWithParam<TLoopKind> {
  protected:
    void SetUp() override {
        TQtEnvironment::App();
        // The application installs the desktop's loop itself.
        ASSERT_TRUE(IsMainThread());
        if (GetParam() == lkPlain)
            Plain = std::make_unique<TPlainEventLoop>();
        Failures.clear();
        SetMessageFailureHandler(RecordFailure);
    }
    void TearDown() override {
        SetMessageFailureHandler(nullptr);
        Plain.reset();
    }

    std::unique_ptr<TPlainEventLoop> Plain;
    const std::thread::id MainThread = std::this_thread::get_id();
};

TEST_P(MessageLoop, TheLoopInUseIsTheOneOfItsKind) {
    TEventLoop* inUse = SetEventLoop(nullptr);
    SetEventLoop(inUse);
    if (GetParam() == lkPlain)
        EXPECT_EQ(inUse, Plain.get());
    else
        EXPECT_EQ(inUse, &TQtEventLoop::Instance());
    std::atomic<bool> inMain{true};
    std::thread([&] { inMain = IsMainThread(); }).join();
    EXPECT_FALSE(inMain);
}

TEST_P(MessageLoop, PostedMessagesArriveInOrderInTheMainThread) {
    std::vector<uintptr_t> received;
    bool allInMain = true;
    TMessageTarget target([&](uint32_t message, uintptr_t wParam, intptr_t) -> intptr_t {
        allInMain =
            allInMain && std::this_thread::get_id() == MainThread && message == kTestMessage;
        received.push_back(wParam);
        return 0;
    });
    std::thread worker([&] {
        for (uintptr_t i = 0; i < 100; ++i)
            target.PostMessage(kTestMessage, i, 0);
    });
    worker.join();
    EXPECT_TRUE(received.empty()) << "handled only while the main thread serves";
    ASSERT_TRUE(ServeUntil([&] { return received.size() == 100; }));
    for (uintptr_t i = 0; i < 100; ++i)
        EXPECT_EQ(received[i], i);
    EXPECT_TRUE(allInMain);
}

TEST_P(MessageLoop, ASentMessageWaitsForTheHandlersAnswer) {
    std::atomic<bool> handlerReturned{false};
    TMessageTarget target([&](uint32_t, uintptr_t wParam, intptr_t lParam) -> intptr_t {
        EXPECT_EQ(std::this_thread::get_id(), MainThread);
        std::this_thread::sleep_for(20ms);
        handlerReturned = true;
        return static_cast<intptr_t>(wParam) + lParam;
    });
    std::atomic<intptr_t> answer{0};
    std::atomic<bool> returnedEarly{false};
    std::atomic<bool> sent{false};
    std::thread worker([&] {
        answer = target.SendMessage(kTestMessage, 40, 2);
        returnedEarly = !handlerReturned;
        sent = true;
    });
    ASSERT_TRUE(ServeUntil([&] { return sent.load(); }));
    worker.join();
    EXPECT_EQ(answer, 42);
    EXPECT_FALSE(returnedEarly);
}

// Posted and sent messages mixed, in bursts of every size: each reaches the handler in the
// order it was given, and each sent one gets its own answer.
TEST_P(MessageLoop, BurstsOfPostedAndSentMessagesKeepTheirOrder) {
    constexpr uint32_t kPosted = 0x8002;
    constexpr uint32_t kSent = 0x8003;
    struct TCase {
        const char* Name;
        int Messages;
        int SendEvery;  // every so many messages one is sent and its answer waited for; 0 never
    };
    const TCase cases[] = {{"one posted", 1, 0},
                           {"many posted", 5000, 0},
                           {"one sent", 1, 1},
                           {"posted and sent mixed", 3000, 7},
                           {"all sent", 200, 1}};
    for (const TCase& c : cases) {
        std::vector<uintptr_t> handled;
        std::vector<intptr_t> answers;
        TMessageTarget target([&](uint32_t message, uintptr_t wParam, intptr_t) -> intptr_t {
            handled.push_back(wParam);
            return message == kSent ? static_cast<intptr_t>(wParam) * 2 : 0;
        });
        std::atomic<bool> done{false};
        std::thread sender([&] {
            for (int i = 1; i <= c.Messages; ++i) {
                const auto value = static_cast<uintptr_t>(i);
                if (c.SendEvery > 0 && i % c.SendEvery == 0)
                    answers.push_back(target.SendMessage(kSent, value, 0));
                else
                    target.PostMessage(kPosted, value, 0);
            }
            done = true;
        });
        EXPECT_TRUE(ServeUntil([&] {
            return done && handled.size() == static_cast<size_t>(c.Messages);
        })) << c.Name;
        sender.join();
        std::vector<uintptr_t> expected;
        for (int i = 1; i <= c.Messages; ++i)
            expected.push_back(static_cast<uintptr_t>(i));
        EXPECT_EQ(handled, expected) << c.Name;
        for (size_t i = 0; i < answers.size(); ++i)
            EXPECT_EQ(answers[i], 2 * static_cast<intptr_t>((i + 1) * c.SendEvery))
                << c.Name << ", answer " << i;
    }
}

// A handler that asks the user runs a loop until the answer comes; the messages already
// waiting behind its own are handled in that loop meanwhile, not after the question.
TEST_P(MessageLoop, MessagesBehindAHandlerThatServesAreHandledMeanwhile) {
    constexpr uint32_t kAsksQuestion = 0x8004;
    std::vector<uintptr_t> handled;
    bool laterSeenInside = false;
    TMessageTarget target([&](uint32_t message, uintptr_t wParam, intptr_t) -> intptr_t {
        handled.push_back(wParam);
        if (message == kAsksQuestion)
            laterSeenInside = ServeUntil([&] { return handled.size() >= 3; });
        return 0;
    });
    // All three wait in the queue before the main thread handles the first.
    target.PostMessage(kAsksQuestion, 1, 0);
    std::thread([&] {
        target.PostMessage(kTestMessage, 2, 0);
        target.PostMessage(kTestMessage, 3, 0);
    }).join();
    EXPECT_TRUE(ServeUntil([&] { return handled.size() >= 3; }));
    EXPECT_TRUE(laterSeenInside) << "messages waited for the handler's own loop to end";
    EXPECT_EQ(handled, (std::vector<uintptr_t>{1, 2, 3}));
}

TEST_P(MessageLoop, FromTheMainThreadTheHandlerRunsAtOnce) {
    bool handled = false;
    TMessageTarget target([&](uint32_t, uintptr_t, intptr_t) -> intptr_t {
        handled = true;
        return 7;
    });
    EXPECT_EQ(target.SendMessage(kTestMessage, 0, 0), 7);
    EXPECT_TRUE(handled);
}

// A thread that asks the main thread while the main thread waits for it: the wait serves.
TEST_P(MessageLoop, WaitingForAThreadServesItsMessages) {
    TMessageTarget target([](uint32_t, uintptr_t wParam, intptr_t) -> intptr_t {
        return static_cast<intptr_t>(wParam) * 2;
    });
    intptr_t total = 0;
    std::thread::id synchronizedIn;
    TBodyThread* self = nullptr;
    TBodyThread thread([&] {
        for (uintptr_t i = 1; i <= 10; ++i)
            total += target.SendMessage(kTestMessage, i, 0);
        self->Synchronize([&] { synchronizedIn = std::this_thread::get_id(); });
    });
    self = &thread;
    thread.Resume();
    thread.WaitFor();
    EXPECT_EQ(total, 110);
    EXPECT_EQ(synchronizedIn, MainThread);
}

TEST_P(MessageLoop, AMessageStillWaitingWhenTheTargetGoesIsAnsweredCancel) {
    auto target = std::make_unique<TMessageTarget>(
        [](uint32_t, uintptr_t, intptr_t) -> intptr_t { return 1; });
    std::atomic<intptr_t> answer{0};
    std::atomic<bool> queued{false};
    std::thread worker([&] {
        queued = true;
        answer = target->SendMessage(kTestMessage, 0, 0);
    });
    while (!queued)
        std::this_thread::sleep_for(1ms);
    std::this_thread::sleep_for(20ms);  // the message is on its way
    target.reset();
    worker.join();
    EXPECT_EQ(answer, kCancelAnswer);
    // What the loop still holds of the target finds it gone.
    ServeFor(50ms);
}

TEST_P(MessageLoop, PostedMessagesOfATargetThatWentAreDropped) {
    int handled = 0;
    {
        TMessageTarget target([&](uint32_t, uintptr_t, intptr_t) -> intptr_t { return ++handled; });
        target.PostMessage(kTestMessage, 0, 0);
    }
    ServeFor(50ms);
    EXPECT_EQ(handled, 0);
}

TEST_P(MessageLoop, AHandlerThatFailsAnswersCancelAndIsReported) {
    TMessageTarget target([](uint32_t, uintptr_t, intptr_t) -> intptr_t {
        throw std::runtime_error("the handler broke");
    });
    std::atomic<intptr_t> answer{0};
    std::atomic<bool> sent{false};
    std::thread worker([&] {
        answer = target.SendMessage(kTestMessage, 0, 0);
        sent = true;
    });
    ASSERT_TRUE(ServeUntil([&] { return sent.load(); }));
    worker.join();
    EXPECT_EQ(answer, kCancelAnswer);
    EXPECT_EQ(Failures, std::vector<std::string>{"the handler broke"});
}

TEST_P(MessageLoop, WorkRunInTheMainThreadCarriesItsFailureBack) {
    std::thread::id ranIn;
    std::string failure;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        RunInMainThread([&] { ranIn = std::this_thread::get_id(); });
        try {
            RunInMainThread([] { throw std::runtime_error("work failed"); });
        } catch (const std::exception& e) {
            failure = e.what();
        }
        done = true;
    });
    ASSERT_TRUE(ServeUntil([&] { return done.load(); }));
    worker.join();
    EXPECT_EQ(ranIn, MainThread);
    EXPECT_EQ(failure, "work failed");
}

TEST_P(MessageLoop, AnInterruptRunsTheNotifiersActionInTheMainThread) {
    TInterruptCatcher catcher;
    std::thread::id ranIn;
    int calls = 0;
    TInterruptNotifier notifier([&] {
        ranIn = std::this_thread::get_id();
        ++calls;
    });
    ASSERT_EQ(::raise(SIGINT), 0);
    EXPECT_TRUE(Interrupted());
    ASSERT_TRUE(ServeUntil([&] { return calls > 0; }));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(ranIn, MainThread);
}

TEST_P(MessageLoop, AnInterruptBeforeTheNotifierIsToldToo) {
    TInterruptCatcher catcher;
    ASSERT_EQ(::raise(SIGTERM), 0);
    int calls = 0;
    TInterruptNotifier notifier([&] { ++calls; });
    EXPECT_TRUE(ServeUntil([&] { return calls > 0; }));
}

TEST_P(MessageLoop, AnActionStillQueuedWhenTheNotifierGoesDoesNotRun) {
    TInterruptCatcher catcher;
    int calls = 0;
    {
        TInterruptNotifier notifier([&] { ++calls; });
        ASSERT_EQ(::raise(SIGHUP), 0);
        std::this_thread::sleep_for(50ms);  // the watcher has queued the action
    }
    ServeFor(50ms);
    EXPECT_EQ(calls, 0);
}

// The command line's loop may end (an error unwinds its owner) while a worker still waits
// for an answer: the worker is answered Cancel at once, not when the target goes.
TEST(PlainEventLoop, AMessageSentWhenTheLoopEndsIsAnsweredCancel) {
    auto loop = std::make_unique<TPlainEventLoop>();
    auto target = std::make_unique<TMessageTarget>(
        [](uint32_t, uintptr_t, intptr_t) -> intptr_t { return 1; });
    std::atomic<bool> sending{false};
    std::promise<intptr_t> answered;
    std::future<intptr_t> answer = answered.get_future();
    std::thread worker([&] {
        sending = true;
        answered.set_value(target->SendMessage(kTestMessage, 0, 0));
    });
    while (!sending)
        std::this_thread::sleep_for(1ms);
    std::this_thread::sleep_for(20ms);  // the message is on its way
    loop.reset();
    const bool released = answer.wait_for(2s) == std::future_status::ready;
    target.reset();  // releases a worker still waiting, so that the test ends either way
    worker.join();
    EXPECT_TRUE(released) << "the worker waited on after the loop had ended";
    EXPECT_EQ(answer.get(), kCancelAnswer);
}

INSTANTIATE_TEST_SUITE_P(BothLoops, MessageLoop, testing::Values(lkPlain, lkDesktop), LoopName);

}  // namespace
