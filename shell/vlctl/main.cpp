// vlctl: the command-line front end.
#include <QCoreApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "exceptions.h"
#include "vexeversion.h"

namespace {

const char* const kUsage =
    "usage: vlctl COMMAND [ARGUMENTS]\n"
    "\n"
    "Commands:\n"
    "  profiles                          list the profiles (* marks the current one)\n"
    "  profile add --title T --source DIR[,DIR...] --target DIR [--versions N]\n"
    "              [--no-compress] [--password-file FILE] [--include MASKS]\n"
    "              [--exclude MASKS]     make a profile (masks like .doc,.xls replace\n"
    "                                    the defaults: include .*, exclude .bak,.tmp)\n"
    "  profile select TITLE              make a profile the current one\n"
    "  backup [TITLE]                    back up every file of the current (or named)\n"
    "                                    profile\n"
    "  drives                            the drive letters and their folders\n"
    "  archive info ARCHIVE              show what a backed-up copy holds\n"
    "  archive extract ARCHIVE [TARGET] [--overwrite never|always|newer|ask]\n"
    "                                    restore a copy (without TARGET: to its place)\n"
    "  archive create SOURCE ARCHIVE [--store] [--password-file FILE]\n"
    "                                    make a backed-up copy of one file\n"
    "  help                              this text\n"
    "  version                           the program's version\n"
    "\n"
    "Paths may be host paths (/home/ann/a.txt, ./a.txt) or drive form (C:\\a.txt).\n"
    "Questions are read from standard input, one answer a line; the end of input\n"
    "answers Cancel. Exit codes: 0 done, 1 error, 2 cancelled.\n";

int Dispatch(const std::string& command, const std::vector<std::string>& words) {
    if (command == "help" || command == "--help" || command == "-h") {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    if (command == "version" || command == "--version") {
        TVExeVersion version;
        std::printf("vlctl %s (%s)\n", version.GetShortVersion().c_str(),
                    version.GetFileVersion().c_str());
        return kExitOk;
    }
    if (command == "profiles")
        return RunProfiles(TArgs(words, {}, {}, "vlctl profiles"));
    if (command == "archive")
        return RunArchive(words);
    if (command == "profile")
        return RunProfile(words);
    if (command == "backup")
        return RunBackup(TArgs(words, {}, {}, "vlctl backup [TITLE]"));
    if (command == "drives")
        return RunDrives(TArgs(words, {}, {}, "vlctl drives"));
    throw ECommandError("unknown command \"" + command + "\" (see vlctl help)");
}

}  // namespace

int main(int argc, char** argv) {
    // The event loop carries the backup thread's messages and questions.
    QCoreApplication application(argc, argv);
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return kExitError;
    }
    try {
        return Dispatch(argv[1], std::vector<std::string>(argv + 2, argv + argc));
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
