#pragma once

#include <string>
#include <vector>

// The word the tray program puts on the log viewer's command line when it starts it. The
// viewer accepts it and works the same without it.
inline constexpr const char* kLogvueToken = "583104927";

struct TLogvueOptions {
    bool Help = false;
    // Draws the window into this PNG file once the log is shown, then ends.
    std::string Screenshot;
};

// Reads the arguments after the program's name. False, with error set, for an argument
// that is neither the token nor an option of the viewer.
bool ParseLogvueArguments(const std::vector<std::string>& arguments, TLogvueOptions& options,
                          std::string& error);

// What "logvue --help" prints.
std::string LogvueUsage();
