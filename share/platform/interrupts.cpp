#include "platform/interrupts.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <thread>

#include "platform/messages.h"

namespace {

constexpr int kCaughtSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kSignalCount = sizeof kCaughtSignals / sizeof kCaughtSignals[0];

std::atomic<bool> InterruptFlag{false};
int Catchers = 0;  // changed by the main thread only
struct sigaction Previous[kSignalCount];
// The writing end of the notifier's pipe, -1 while there is none.
std::atomic<int> WakeUpFd{-1};

// Wakes the notifier's event loop up; safe in a signal handler.
void OnInterruptPending(int fd) {
    char byte = 1;
    (void)!::write(fd, &byte, 1);
}

void OnInterrupt(int signal) {
    if (InterruptFlag.exchange(true)) {
        ::signal(signal, SIG_DFL);
        ::raise(signal);
        return;
    }
    int fd = WakeUpFd.load();
    if (fd >= 0)
        OnInterruptPending(fd);
}

}  // namespace

TInterruptCatcher::TInterruptCatcher() {
    if (Catchers++ > 0)
        return;
    InterruptFlag = false;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a waiting read ends with EINTR
    for (int i = 0; i < kSignalCount; ++i)
        ::sigaction(kCaughtSignals[i], &action, &Previous[i]);
}

TInterruptCatcher::~TInterruptCatcher() {
    if (--Catchers > 0)
        return;
    for (int i = 0; i < kSignalCount; ++i)
        ::sigaction(kCaughtSignals[i], &Previous[i], nullptr);
    InterruptFlag = false;
}

// The pipe's reading end is watched by a thread of its own that hands the action to the
// main thread's event loop, whichever loop the program serves.
struct TInterruptNotifier::TWakeUp {
    int Ends[2] = {-1, -1};
    std::thread Watcher;
    // Cleared in the main thread when the notifier goes: an action still queued then
    // is not run.
    std::shared_ptr<std::atomic<bool>> Alive = std::make_shared<std::atomic<bool>>(true);
};

namespace {

// Runs in the watcher: the signals are left to the program's other threads, so that an
// interrupt still ends a blocking read in the main thread.
void BlockCaughtSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    for (int signal : kCaughtSignals)
        sigaddset(&signals, signal);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

// Until the writing end closes, every byte that comes (one per interrupt) posts action.
void WatchWakeUps(int readEnd, const std::function<void()>& action,
                  const std::shared_ptr<std::atomic<bool>>& alive) {
    BlockCaughtSignals();
    for (;;) {
        char bytes[16];
        ssize_t count = ::read(readEnd, bytes, sizeof bytes);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return;
        PostToMainThread([action, alive] {
            if (*alive)
                action();
        });
    }
}

}  // namespace

TInterruptNotifier::TInterruptNotifier(std::function<void()> action)
    : WakeUp(std::make_unique<TWakeUp>()) {
    if (::pipe2(WakeUp->Ends, O_CLOEXEC) != 0) {
        // Without the pipe the flag alone tells of an interrupt; nothing is lost but the call.
        WakeUp->Ends[0] = WakeUp->Ends[1] = -1;
        return;
    }
    // The signal handler never waits on a full pipe: one byte waiting is enough.
    ::fcntl(WakeUp->Ends[1], F_SETFL, O_NONBLOCK);
    WakeUp->Watcher = std::thread(WatchWakeUps, WakeUp->Ends[0], std::move(action), WakeUp->Alive);
    WakeUpFd = WakeUp->Ends[1];
    // An interrupt that came before the notifier existed is told as well.
    if (InterruptFlag)
        OnInterruptPending(WakeUp->Ends[1]);
}

TInterruptNotifier::~TInterruptNotifier() {
    *WakeUp->Alive = false;
    WakeUpFd = -1;
    if (WakeUp->Ends[1] >= 0)
        ::close(WakeUp->Ends[1]);  // the watcher reads the end of the pipe and ends
    if (WakeUp->Watcher.joinable())
        WakeUp->Watcher.join();
    if (WakeUp->Ends[0] >= 0)
        ::close(WakeUp->Ends[0]);
}

bool Interrupted() {
    return InterruptFlag;
}

bool IsTerminal(std::FILE* stream) {
    return ::isatty(::fileno(stream)) != 0;
}

TTerminalEchoOff::TTerminalEchoOff(std::FILE* stream) {
    int descriptor = ::fileno(stream);
    termios settings{};
    if (descriptor < 0 || !::isatty(descriptor) || ::tcgetattr(descriptor, &settings) != 0)
        return;
    SavedFlags = settings.c_lflag;
    settings.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    if (::tcsetattr(descriptor, TCSAFLUSH, &settings) == 0)
        Descriptor = descriptor;
}

TTerminalEchoOff::~TTerminalEchoOff() {
    termios settings{};
    if (Descriptor < 0 || ::tcgetattr(Descriptor, &settings) != 0)
        return;
    settings.c_lflag = static_cast<tcflag_t>(SavedFlags);
    ::tcsetattr(Descriptor, TCSAFLUSH, &settings);
}
