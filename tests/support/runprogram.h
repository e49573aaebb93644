#pragma once

#include <string>
#include <vector>

struct TRunResult {
    int ExitCode = -1;
    std::string Out;
    std::string Err;
    bool TimedOut = false;  // the program was killed at the end of its time
};

// Runs program with arguments, feeding input to its standard input (then closing it),
// and collects what it prints. The environment is the test's own (its sandbox). With a
// time limit (seconds, 0 for none) a program that has not ended by then is killed, so a
// test of something that could hang fails at once instead of at the suite's limit.
TRunResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& input = "", int timeLimit = 0);
