// vlctl: the command-line front end.
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "exceptions.h"
#include "platform/messages.h"

int main(int argc, char** argv) {
    // The main thread's queue carries the backup thread's messages and questions.
    TPlainEventLoop loop;
    if (argc < 2) {
        std::fputs("usage: vlctl COMMAND [ARGUMENTS] (see vlctl help)\n", stderr);
        return kExitError;
    }
    try {
        return RunCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const ECommandError& e) {
        std::fprintf(stderr, "vlctl: %s\n", e.what());
    } catch (const EAbort&) {
        std::fprintf(stderr, "vlctl: cancelled\n");
        return kExitCancelled;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vlctl: %s\n", e.what());
    }
    return kExitError;
}
