#pragma once

#include <cstdio>

#include "vlshare_export.h"

// Interrupts from outside (Ctrl+C, SIGTERM, a closed terminal) while a long job runs.
// While a TInterruptCatcher lives, the first interrupt only raises a flag that the job
// polls, so that it stops at a safe point and removes what it made; a blocking read of
// standard input ends (it is not restarted). A second interrupt ends the process as the
// signal would have without the catcher.
class VLSHARE_EXPORT TInterruptCatcher {
  public:
    TInterruptCatcher();
    ~TInterruptCatcher();
    TInterruptCatcher(const TInterruptCatcher&) = delete;
    TInterruptCatcher& operator=(const TInterruptCatcher&) = delete;
};

// True once an interrupt came while a catcher lived (until the last catcher ends).
VLSHARE_EXPORT bool Interrupted();

// While it lives, what is typed on the terminal stream reads from is not shown (for a
// password); a stream that is no terminal is left alone.
class VLSHARE_EXPORT TTerminalEchoOff {
  public:
    explicit TTerminalEchoOff(std::FILE* stream);
    ~TTerminalEchoOff();
    TTerminalEchoOff(const TTerminalEchoOff&) = delete;
    TTerminalEchoOff& operator=(const TTerminalEchoOff&) = delete;

  private:
    int Descriptor = -1;  // -1: nothing was changed
    unsigned long SavedFlags = 0;
};

// Whether stream is a terminal (for progress bars instead of plain lines).
VLSHARE_EXPORT bool IsTerminal(std::FILE* stream);
