#include "platform/thread.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "platform/messages.h"

TThread::TThread(bool createSuspended) {
    if (!createSuspended)
        Resume();
}

TThread::~TThread() {
    if (Worker.joinable())
        Worker.join();
}

void TThread::Resume() {
    std::lock_guard guard(StartLock);
    if (Started)
        return;
    Started = true;
    Worker = std::thread([this] { Run(); });
}

void TThread::Run() {
    Execute();
    HasFinished = true;
}

int TThread::WaitFor() {
    {
        std::lock_guard guard(StartLock);
        if (!Started)
            return ReturnValue;
    }
    if (IsMainThread())
        ServeMessagesUntil([this] { return Finished(); });
    if (Worker.joinable())
        Worker.join();
    return ReturnValue;
}

void TThread::Synchronize(const std::function<void()>& method) {
    RunInMainThread(method);
}

void TThread::LowerPriority() {
    auto tid = static_cast<id_t>(::syscall(SYS_gettid));
    errno = 0;
    int nice = ::getpriority(PRIO_PROCESS, tid);
    if (errno == 0)
        ::setpriority(PRIO_PROCESS, tid, nice + 1);
}
