#include "platform/messages.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QObject>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <exception>
#include <future>

namespace {

const QEvent::Type kMessageEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

std::atomic<TMessageFailureHandler> FailureHandler{nullptr};

void ReportFailure(const std::exception& failure) {
    TMessageFailureHandler handler = FailureHandler.load();
    if (handler)
        handler(failure);
}

// One message on its way to the main thread; a sent one carries the promise of its answer,
// which is kept as Cancel if the event is dropped unhandled.
class TMessageEvent : public QEvent {
  public:
    TMessageEvent(uint32_t message, uintptr_t wParam, intptr_t lParam,
                  std::shared_ptr<std::promise<intptr_t>> answer)
        : QEvent(kMessageEvent),
          Message(message),
          WParam(wParam),
          LParam(lParam),
          Answer(std::move(answer)) {}
    ~TMessageEvent() override {
        if (Answer && !Answered)
            Answer->set_value(2);
    }
    void Reply(intptr_t result) {
        if (Answer)
            Answer->set_value(result);
        Answered = true;
    }

    uint32_t Message;
    uintptr_t WParam;
    intptr_t LParam;

  private:
    std::shared_ptr<std::promise<intptr_t>> Answer;
    bool Answered = false;
};

}  // namespace

struct TMessageTarget::TReceiver : public QObject {
    explicit TReceiver(TMessageHandler handler) : Handler(std::move(handler)) {}
    bool event(QEvent* e) override {
        if (e->type() != kMessageEvent)
            return QObject::event(e);
        auto* message = static_cast<TMessageEvent*>(e);
        try {
            message->Reply(Handler(message->Message, message->WParam, message->LParam));
        } catch (const std::exception& error) {
            // A handler that fails answers Cancel; its failure is shown, not lost.
            ReportFailure(error);
            message->Reply(2);
        }
        return true;
    }
    TMessageHandler Handler;
};

TMessageTarget::TMessageTarget(TMessageHandler handler)
    : Receiver(std::make_unique<TReceiver>(std::move(handler))) {}

TMessageTarget::~TMessageTarget() {
    QCoreApplication::removePostedEvents(Receiver.get());
}

void TMessageTarget::PostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    QCoreApplication::postEvent(Receiver.get(),
                                new TMessageEvent(message, wParam, lParam, nullptr));
}

intptr_t TMessageTarget::SendMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (QThread::currentThread() == Receiver->thread())
        return Receiver->Handler(message, wParam, lParam);
    auto answer = std::make_shared<std::promise<intptr_t>>();
    std::future<intptr_t> result = answer->get_future();
    QCoreApplication::postEvent(Receiver.get(), new TMessageEvent(message, wParam, lParam, answer));
    return result.get();
}

void SetMessageFailureHandler(TMessageFailureHandler handler) {
    FailureHandler = handler;
}

bool IsMainThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

void RunInMainThread(const std::function<void()>& work) {
    QCoreApplication* app = QCoreApplication::instance();
    if (IsMainThread()) {
        work();
        return;
    }
    // An exception must not cross the event loop: it is carried back to the caller.
    std::exception_ptr failure;
    QMetaObject::invokeMethod(
        app,
        [&] {
            try {
                work();
            } catch (...) {
                failure = std::current_exception();
            }
        },
        Qt::BlockingQueuedConnection);
    if (failure)
        std::rethrow_exception(failure);
}

void ServeMessagesUntil(const std::function<bool()>& done, int checkMs) {
    if (done())
        return;
    if (!QCoreApplication::instance()) {
        while (!done())
            QThread::msleep(checkMs);
        return;
    }
    QEventLoop loop;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    timer.start(checkMs);
    loop.exec();
}
