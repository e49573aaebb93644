#include "platform/thread.h"

#include <sched.h>
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
    auto tid = static_cast<pid_t>(::syscall(SYS_gettid));
    // Batch work: threads that wake one another do not take the processor from each other
    // (nor from the user's programs) at every wake-up.
    sched_param none{};
    ::sched_setscheduler(tid, SCHED_BATCH, &none);
    errno = 0;
    int nice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
    if (errno == 0)
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice + 1);
}
