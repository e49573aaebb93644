#include "platform/interrupts.h"

#include <fcntl.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <atomic>

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

struct TInterruptNotifier::TWakeUp {
    int Ends[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> Notifier;
};

TInterruptNotifier::TInterruptNotifier(std::function<void()> action)
    : WakeUp(std::make_unique<TWakeUp>()) {
    if (::pipe2(WakeUp->Ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        // Without the pipe the flag alone tells of an interrupt; nothing is lost but the call.
        WakeUp->Ends[0] = WakeUp->Ends[1] = -1;
        return;
    }
    WakeUp->Notifier = std::make_unique<QSocketNotifier>(WakeUp->Ends[0], QSocketNotifier::Read);
    const int readEnd = WakeUp->Ends[0];
    QObject::connect(WakeUp->Notifier.get(), &QSocketNotifier::activated, [readEnd, action] {
        char bytes[16];
        while (::read(readEnd, bytes, sizeof bytes) > 0) {
        }
        action();
    });
    WakeUpFd = WakeUp->Ends[1];
    // An interrupt that came before the notifier existed is told as well.
    if (InterruptFlag)
        OnInterruptPending(WakeUp->Ends[1]);
}

TInterruptNotifier::~TInterruptNotifier() {
    WakeUpFd = -1;
    WakeUp->Notifier.reset();
    for (int fd : WakeUp->Ends) {
        if (fd >= 0)
            ::close(fd);
    }
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
