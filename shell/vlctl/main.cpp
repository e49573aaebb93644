// vlctl: the command-line front end.
#include <QCoreApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "exceptions.h"

int main(int argc, char** argv) {
    // The event loop carries the backup thread's messages and questions.
    QCoreApplication application(argc, argv);
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
