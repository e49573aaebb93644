#include "cli.h"

#include <algorithm>
#include <cstdio>

#include "platform/drivemap.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/paths.h"
#include "platform/syserror.h"
#include "vfileutil.h"

TArgs::TArgs(const std::vector<std::string>& words, const std::vector<std::string>& valueOptions,
             const std::vector<std::string>& flags, std::string usage)
    : Usage(std::move(usage)) {
    auto listed = [](const std::vector<std::string>& list, const std::string& name) {
        return std::find(list.begin(), list.end(), name) != list.end();
    };
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word.rfind("--", 0) != 0 || word.size() == 2) {
            Words.push_back(word);
            continue;
        }
        std::string name = word.substr(2);
        size_t equals = name.find('=');
        std::string value;
        bool hasValue = equals != std::string::npos;
        if (hasValue) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
        }
        if (listed(flags, name) && !hasValue) {
            Options[name] = "";
        } else if (listed(valueOptions, name)) {
            if (!hasValue && i + 1 >= words.size()) {
                throw ECommandError("the option --" + name + " needs a value");
            }
            Options[name] = hasValue ? value : words[++i];
        } else {
            throw ECommandError("unknown option --" + name + "\nusage: " + Usage);
        }
    }
}

std::string TArgs::Value(const std::string& option, const std::string& fallback) const {
    auto it = Options.find(option);
    return it == Options.end() ? fallback : it->second;
}

void TArgs::Expect(size_t min, size_t max) const {
    if (Words.size() < min || Words.size() > max)
        RefuseUsage();
}

void TArgs::RefuseUsage() const {
    throw ECommandError("usage: " + Usage);
}

std::string ProgramPathOf(const std::string& argument) {
    if (argument.empty())
        throw ECommandError("an empty path was given");
    if (IsDrivePath(argument))
        return NormalisePath(argument);
    THostPath host = AbsoluteHostPath(argument);
    std::string path;
    return DrivePathOf(host, path) ? path : host.Text();
}

std::string DrivePathArgument(const std::string& argument) {
    std::string path = ProgramPathOf(argument);
    if (IsHostPath(path)) {
        throw ECommandError("\"" + argument +
                            "\" lies under no drive; give its folder a letter in the drive map " +
                            DriveMapFileName().Text());
    }
    return path;
}

std::string ReadPasswordFile(const std::string& argument) {
    // Only the first line counts; a file far longer than any password is not one.
    constexpr int64_t kPasswordFileLimit = 64 * 1024;
    std::string content;
    if (!ReadFileText(ProgramPathOf(argument), content, kPasswordFileLimit)) {
        throw ECommandError("cannot read the password file \"" + argument +
                            "\": " + SysErrorMessage(GetLastError()));
    }
    std::string password = content.substr(0, content.find('\n'));
    if (!password.empty() && password.back() == '\r')
        password.pop_back();
    if (password.empty())
        throw ECommandError("the password file \"" + argument + "\" is empty");
    return password;
}

std::string HumanBytes(int64_t bytes) {
    const char* units[] = {"bytes", "KB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes);
    int unit = 0;
    while (value >= 1024 && unit < 4) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    if (unit == 0)
        std::snprintf(text, sizeof text, "%lld bytes", static_cast<long long>(bytes));
    else
        std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
    return text;
}
