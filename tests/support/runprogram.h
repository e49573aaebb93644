#pragma once

#include <string>
#include <vector>

struct TRunResult {
    int ExitCode = -1;
    std::string Out;
    std::string Err;
};

// Runs program with arguments, feeding input to its standard input (then closing it),
// and collects what it prints. The environment is the test's own (its sandbox).
TRunResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& input = "");
