#include "commandline.h"

#include <string_view>

namespace {

constexpr std::string_view kScreenshotOption = "--screenshot";

}  // namespace

bool ParseLogvueArguments(const std::vector<std::string>& arguments, TLogvueOptions& options,
                          std::string& error) {
    options = {};
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == kLogvueToken)
            continue;
        if (argument == "--help" || argument == "-h") {
            options.Help = true;
        } else if (argument == kScreenshotOption) {
            if (i + 1 == arguments.size() || arguments[i + 1].empty()) {
                error = "--screenshot needs the name of the PNG file to write";
                return false;
            }
            options.Screenshot = arguments[++i];
        } else if (argument.starts_with(std::string(kScreenshotOption) + "=")) {
            options.Screenshot = argument.substr(kScreenshotOption.size() + 1);
            if (options.Screenshot.empty()) {
                error = "--screenshot needs the name of the PNG file to write";
                return false;
            }
        } else {
            error = "unknown argument \"" + argument + "\"";
            return false;
        }
    }
    return true;
}

std::string LogvueUsage() {
    return "Usage: logvue [--screenshot FILE.png]\n"
           "Shows the log of Vaultaire 2000 and the log before it, newest entries first,\n"
           "and follows the log while it grows.\n"
           "  --screenshot FILE.png  draw the window into FILE.png and end\n"
           "  --help                 show this text\n";
}
