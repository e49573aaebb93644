#include "qteventloop.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

void TQtEventLoop::Post(std::function<void()> work) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app)
        QMetaObject::invokeMethod(app, std::move(work), Qt::QueuedConnection);
}

void TQtEventLoop::ServeUntil(const std::function<bool()>& done, int checkMs) {
    QEventLoop loop;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    timer.start(checkMs);
    loop.exec();
}

bool TQtEventLoop::InLoopThread() const {
    QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

TQtEventLoop& TQtEventLoop::Instance() {
    static TQtEventLoop loop;
    return loop;
}

namespace {

// The loop that the application's loop replaced, given back when the application goes.
TEventLoop* Replaced = nullptr;

void UninstallQtEventLoop() {
    TEventLoop* current = SetEventLoop(Replaced);
    if (current != &TQtEventLoop::Instance())
        SetEventLoop(current);  // another loop came after ours: it stays
    Replaced = nullptr;
}

void InstallQtEventLoop() {
    TEventLoop* previous = SetEventLoop(&TQtEventLoop::Instance());
    if (previous == &TQtEventLoop::Instance())
        return;
    Replaced = previous;
    qAddPostRoutine(UninstallQtEventLoop);
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(InstallQtEventLoop)
