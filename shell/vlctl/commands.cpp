// The table of vlctl's commands.
#include "commands.h"

#include <cstdint>
#include <cstdio>

#include "vexeversion.h"

namespace {

constexpr size_t kHelpColumn = 8;
constexpr size_t kHelpWidth = 79;

const char* const kClosingHelp =
    "\n"
    "Paths may be host paths (/home/ann/a.txt, ./a.txt) or drive form (C:\\a.txt).\n"
    "Questions are read from standard input, one answer a line; the end of input\n"
    "answers Cancel. Exit codes: 0 done, 1 error, 2 cancelled.\n";

// text broken into lines of at most kHelpWidth characters: the first after indent blanks,
// the others after continued blanks.
std::string Wrapped(const std::string& text, size_t indent, size_t continued) {
    std::string result;
    std::string line;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(' ', start);
        if (end == std::string::npos)
            end = text.size();
        std::string word = text.substr(start, end - start);
        if (!line.empty() && indent + line.size() + 1 + word.size() > kHelpWidth) {
            result += std::string(indent, ' ') + line + "\n";
            line.clear();
            indent = continued;
        }
        line += (line.empty() ? "" : " ") + word;
        start = end + 1;
    }
    if (!line.empty())
        result += std::string(indent, ' ') + line + "\n";
    return result;
}

// Whether the command's name is words' first one or two words.
bool Names(const TCommand& command, const std::vector<std::string>& words, size_t& used) {
    std::string name;
    for (used = 0; used < words.size() && used < 2; ++used) {
        name += (used ? " " : "") + words[used];
        if (name == command.Name) {
            ++used;
            return true;
        }
    }
    return false;
}

// The usage of every command whose name begins with group ("archive").
std::string GroupUsage(const std::string& group) {
    std::string text;
    for (const TCommand& command : Commands()) {
        if (command.Name.rfind(group + " ", 0) == 0)
            text += "\nusage: " + command.Usage();
    }
    return text;
}

}  // namespace

std::string TCommand::Usage() const {
    return "vlctl " + Name + (Synopsis.empty() ? "" : " " + Synopsis);
}

const std::vector<TCommand>& Commands() {
    static const std::vector<TCommand> commands = {
        {"profiles", "", "list the profiles (* marks the current one)", {}, {}, 0, 0, RunProfiles},
        {"profile add",
         "--title T --source DIR[,DIR...] --target DIR [--versions N] [--no-compress] "
         "[--password-file FILE] [--include MASKS] [--exclude MASKS]",
         "make a profile (masks like .doc,.xls replace the defaults: include .*, exclude "
         ".bak,.tmp)",
         {"title", "source", "target", "versions", "password-file", "include", "exclude"},
         {"compress", "no-compress"},
         0,
         0,
         RunProfileAdd},
        {"profile set",
         "[TITLE] [--title NEW] [--source DIR[,DIR...]] [--target DIR] [--versions N] "
         "[--compress|--no-compress] [--password-file FILE|--no-password] "
         "[--old-password-file FILE] [--include MASKS] [--exclude MASKS]",
         "change the current (or named) profile; the options not given stay as they are "
         "(changing or removing a password needs the old one in --old-password-file)",
         {"title", "source", "target", "versions", "password-file", "old-password-file", "include",
          "exclude"},
         {"compress", "no-compress", "no-password"},
         0,
         1,
         RunProfileSet},
        {"profile show",
         "[TITLE]",
         "every setting of the current (or named) profile",
         {},
         {},
         0,
         1,
         RunProfileShow},
        {"profile delete",
         "TITLE",
         "delete a profile (the last one stays); its backed-up copies stay where they are",
         {},
         {},
         1,
         1,
         RunProfileDelete},
        {"profile select",
         "TITLE",
         "make a profile the current one",
         {},
         {},
         1,
         1,
         RunProfileSelect},
        {"options",
         "[--start-at-login on|off] [--log on|off] [--log-entries N] "
         "[--log-type successes|errors|both]",
         "show or change the program's options: starting at login (an autostart entry) and "
         "the log (whether it is written, which entries, at most N of them, 1 to 32000)",
         {"start-at-login", "log", "log-entries", "log-type"},
         {},
         0,
         0,
         RunOptions},
        {"backup",
         "[TITLE]",
         "back up every file of the current (or named) profile",
         {},
         {},
         0,
         1,
         RunBackup},
        {"watch",
         "[TITLE] [--catch-up] [--quiet]",
         "back up each file of the current (or named) profile a few seconds after it changes, "
         "until Ctrl+C or SIGTERM (--catch-up: first the files changed while nothing watched)",
         {},
         {"catch-up", "quiet"},
         0,
         1,
         RunWatch},
        {"drives", "", "the drive letters and their folders", {}, {}, 0, 0, RunDrives},
        {"list",
         "[LOCATION] [PATH]",
         "the drives, folders and copies at a backup location (LOCATION: the folder or drive "
         "that holds the Vaultaire folder; the current profile's target by default): source "
         "name, version, size, time, password",
         {},
         {},
         0,
         2,
         RunList},
        {"versions",
         "[LOCATION] FILE",
         "every version of one backed-up file, newest first",
         {},
         {},
         1,
         2,
         RunVersions},
        {"restore",
         "[LOCATION] [PATH...] [--to FOLDER] [--overwrite never|always|older|ask] "
         "[--version N] [--password-file FILE]",
         "restore what the paths name (C:\\Data, C:\\Data\\a.txt or host paths; everything "
         "by default), the newest version unless --version N (1 the newest), to the original "
         "places unless --to; existing files are kept unless --overwrite says otherwise",
         {"to", "overwrite", "version", "password-file"},
         {},
         0,
         SIZE_MAX,
         RunRestore},
        {"verify",
         "[LOCATION]",
         "read every copy at a backup location through and list the damaged ones",
         {},
         {},
         0,
         1,
         RunVerify},
        {"archive info",
         "ARCHIVE",
         "show what a backed-up copy holds",
         {},
         {},
         1,
         1,
         RunArchiveInfo},
        {"archive extract",
         "ARCHIVE [TARGET] [--overwrite never|always|newer|ask] [--password-file FILE]",
         "restore a copy (without TARGET: to its place; TARGET/ is a folder)",
         {"overwrite", "password-file"},
         {},
         1,
         2,
         RunArchiveExtract},
        {"archive create",
         "SOURCE ARCHIVE [--store] [--password-file FILE]",
         "make a backed-up copy of one file",
         {"password-file"},
         {"store"},
         2,
         2,
         RunArchiveCreate},
        {"help", "", "this text", {}, {}, 0, 0, RunHelp},
        {"version", "", "the program's version", {}, {}, 0, 0, RunVersion},
    };
    return commands;
}

int RunCommandLine(const std::vector<std::string>& words) {
    if (!words.empty() && (words[0] == "--help" || words[0] == "-h"))
        return RunCommandLine({"help"});
    if (!words.empty() && words[0] == "--version")
        return RunCommandLine({"version"});
    for (const TCommand& command : Commands()) {
        size_t used = 0;
        if (!Names(command, words, used))
            continue;
        TArgs args(std::vector<std::string>(words.begin() + static_cast<long>(used), words.end()),
                   command.ValueOptions, command.Flags, command.Usage());
        args.Expect(command.MinArguments, command.MaxArguments);
        return command.Run(args);
    }
    std::string group = words.empty() ? "" : words[0];
    std::string usage = GroupUsage(group);
    if (!usage.empty())
        throw ECommandError("\"" + group + "\" needs one more word:" + usage);
    throw ECommandError("unknown command \"" + group + "\" (see vlctl help)");
}

int RunHelp(const TArgs&) {
    std::string text = "usage: vlctl COMMAND [ARGUMENTS]\n\nCommands:\n";
    for (const TCommand& command : Commands()) {
        text +=
            Wrapped(command.Name + (command.Synopsis.empty() ? "" : " " + command.Synopsis), 2, 4);
        text += Wrapped(command.Help, kHelpColumn, kHelpColumn);
    }
    std::fputs((text + kClosingHelp).c_str(), stdout);
    return kExitOk;
}

int RunVersion(const TArgs&) {
    TVExeVersion version;
    std::printf("vlctl %s (%s)\n", version.GetShortVersion().c_str(),
                version.GetFileVersion().c_str());
    return kExitOk;
}
