#include "platform/interrupts.h"

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>

namespace {

constexpr int kCaughtSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kSignalCount = sizeof kCaughtSignals / sizeof kCaughtSignals[0];

std::atomic<bool> InterruptFlag{false};
int Catchers = 0;  // changed by the main thread only
struct sigaction Previous[kSignalCount];

void OnInterrupt(int signal) {
    if (InterruptFlag.exchange(true)) {
        ::signal(signal, SIG_DFL);
        ::raise(signal);
    }
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
