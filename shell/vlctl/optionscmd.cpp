// vlctl options: the program's settings (starting at login and the log), as the options
// dialog shows and changes them.
#include <cstdio>

#include "commands.h"
#include "logfile.h"
#include "profilemgr.h"
#include "vfileutil.h"

namespace {

constexpr int kMinLogEntries = 1;
constexpr int kMaxLogEntries = 32000;

struct TLogTypeName {
    uint8_t Type;
    const char* Name;
    const char* Words;  // as the options dialog's "Record" group says it
};

const TLogTypeName kLogTypeNames[] = {
    {ltSuccess, "successes", "only successful operations"},
    {ltErrors, "errors", "only errors"},
    {ltBoth, "both", "both"},
};

bool ParseOnOff(const TArgs& args, const std::string& option) {
    const std::string value = args.Value(option);
    if (value == "on")
        return true;
    if (value == "off")
        return false;
    throw ECommandError("--" + option + " takes on or off, not \"" + value + "\"");
}

int ParseLogEntries(const std::string& text) {
    const std::string refusal = "--log-entries takes a number from " +
                                std::to_string(kMinLogEntries) + " to " +
                                std::to_string(kMaxLogEntries);
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9' || value > kMaxLogEntries)
            throw ECommandError(refusal);
        value = value * 10 + (c - '0');
    }
    if (text.empty() || value < kMinLogEntries || value > kMaxLogEntries)
        throw ECommandError(refusal);
    return value;
}

uint8_t ParseLogType(const std::string& text) {
    for (const TLogTypeName& name : kLogTypeNames) {
        if (text == name.Name)
            return name.Type;
    }
    throw ECommandError("--log-type takes successes, errors or both, not \"" + text + "\"");
}

const char* LogTypeWords(uint8_t type) {
    for (const TLogTypeName& name : kLogTypeNames) {
        if (name.Type == type)
            return name.Words;
    }
    return "both";
}

const char* OnOff(bool value) {
    return value ? "on" : "off";
}

void PrintOptions(const TProfileMgr& manager) {
    std::printf("Start at login:      %s\n", OnOff(manager.StartWithWindows));
    std::printf("Create log file:     %s\n", OnOff(manager.CreateLog));
    std::printf("Record:              %s\n", LogTypeWords(manager.LogType));
    std::printf("Maximum log entries: %d\n", manager.MaxLogEntries);
}

bool AsksForAChange(const TArgs& args) {
    for (const char* option : {"start-at-login", "log", "log-entries", "log-type"}) {
        if (args.Has(option))
            return true;
    }
    return false;
}

}  // namespace

int RunOptions(const TArgs& args) {
    // Everything is read before anything is changed: a bad value changes nothing.
    const bool change = AsksForAChange(args);
    const bool startAtLogin = args.Has("start-at-login") && ParseOnOff(args, "start-at-login");
    const bool log = args.Has("log") && ParseOnOff(args, "log");
    const int logEntries = args.Has("log-entries") ? ParseLogEntries(args.Value("log-entries")) : 0;
    const uint8_t logType = args.Has("log-type") ? ParseLogType(args.Value("log-type")) : 0;

    TProfileMgr manager;
    if (!change) {
        PrintOptions(manager);
        return kExitOk;
    }
    // The settings are stored with the profiles, and not at all while there are none.
    if (manager.Count() == 0)
        throw ECommandError(
            "the options are kept with the profiles: make a profile first "
            "(vlctl profile add)");
    if (args.Has("start-at-login"))
        manager.StartWithWindows = startAtLogin;
    if (args.Has("log"))
        manager.CreateLog = log;
    if (args.Has("log-entries"))
        manager.MaxLogEntries = logEntries;
    if (args.Has("log-type"))
        manager.LogType = logType;
    if (!manager.WriteRegistry())
        throw ECommandError("the options were not saved");
    // As the tray program does after its options dialog: the entry follows the setting.
    try {
        UpdateStartupShortcut(manager.StartWithWindows);
    } catch (const std::exception& e) {
        throw ECommandError(std::string("the options were saved, but the entry that starts the "
                                        "program at login was not changed: ") +
                            e.what());
    }
    PrintOptions(manager);
    return kExitOk;
}
