#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

// Exit codes of every command.
enum : int {
    kExitOk = 0,
    kExitError = 1,
    kExitCancelled = 2,
};

// A refusal the command reports in one line on standard error; exit code 1.
class ECommandError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The words of a command line after the command's own name: positional arguments and
// options ("--name value" or "--name=value"; "--flag" for flags). Options it was not told
// of are refused.
class TArgs {
  public:
    TArgs(const std::vector<std::string>& words, const std::vector<std::string>& valueOptions,
          const std::vector<std::string>& flags, std::string usage);

    const std::vector<std::string>& Positional() const { return Words; }
    bool Has(const std::string& option) const { return Options.count(option) != 0; }
    std::string Value(const std::string& option, const std::string& fallback = "") const;
    // Refuses a number of positional arguments outside min..max.
    void Expect(size_t min, size_t max) const;
    // Refuses the command line with the command's usage.
    [[noreturn]] void RefuseUsage() const;

  private:
    std::string Usage;
    std::vector<std::string> Words;
    std::map<std::string, std::string> Options;
};

// A path from the command line, host form ("./a", "/home/ann/a") or drive form ("C:\a"),
// in the form the program works with: drive form where a drive holds it, else an absolute
// host path.
std::string ProgramPathOf(const std::string& argument);
// The same, but refusing a path that lies under no drive.
std::string DrivePathArgument(const std::string& argument);

// Reads a password from the first line of a file (without its line end).
std::string ReadPasswordFile(const std::string& argument);

// Formats a byte count for people: "1.5 MB".
std::string HumanBytes(int64_t bytes);
