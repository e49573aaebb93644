#pragma once

#include <string>
#include <vector>

#include "cli.h"

// One command of vlctl: the words that name it, what it takes, what it does and the code
// that runs it. Usage texts, the help and the parsing of options all come from here, so
// they cannot disagree.
struct TCommand {
    std::string Name;      // "archive extract"
    std::string Synopsis;  // what follows the name in the usage
    std::string Help;      // what it does, in a few words
    std::vector<std::string> ValueOptions;
    std::vector<std::string> Flags;
    size_t MinArguments = 0;
    size_t MaxArguments = 0;
    int (*Run)(const TArgs& args) = nullptr;  // the exit code, or raises ECommandError

    std::string Usage() const;
};

// Every command, in the order the help lists them.
const std::vector<TCommand>& Commands();

// Runs the command that the first words of the command line name.
int RunCommandLine(const std::vector<std::string>& words);

// The commands' code.
int RunHelp(const TArgs& args);
int RunVersion(const TArgs& args);
int RunProfiles(const TArgs& args);
int RunProfileAdd(const TArgs& args);
int RunProfileSelect(const TArgs& args);
int RunProfileSet(const TArgs& args);
int RunProfileDelete(const TArgs& args);
int RunProfileShow(const TArgs& args);
int RunOptions(const TArgs& args);
int RunBackup(const TArgs& args);
int RunWatch(const TArgs& args);
int RunDrives(const TArgs& args);
int RunList(const TArgs& args);
int RunVersions(const TArgs& args);
int RunRestore(const TArgs& args);
int RunVerify(const TArgs& args);
int RunArchiveInfo(const TArgs& args);
int RunArchiveExtract(const TArgs& args);
int RunArchiveCreate(const TArgs& args);
