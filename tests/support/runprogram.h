#pragma once

#include <filesystem>
#include <functional>
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

// A program running in the background while the test goes on: its standard input is kept
// open (a question waits for its answer), its output goes to the files "out" and "err" in
// outputFolder. A program still running when the object goes is killed.
class TBackgroundProgram {
  public:
    TBackgroundProgram(const std::string& program, const std::vector<std::string>& arguments,
                       const std::filesystem::path& outputFolder);
    ~TBackgroundProgram();
    TBackgroundProgram(const TBackgroundProgram&) = delete;
    TBackgroundProgram& operator=(const TBackgroundProgram&) = delete;

    // What it printed so far: both outputs, or its standard error alone.
    std::string Output() const;
    std::string Errors() const;
    // Waits until holds() is true, at most seconds long; false when it never was.
    bool WaitUntil(const std::function<bool()>& holds, int seconds = 20) const;
    void Signal(int signal);
    // Waits for the end: the exit code, or 128 and the signal that ended the program.
    int Wait();

  private:
    std::filesystem::path Out, Err;
    int Child = -1;
    int Input = -1;
};
