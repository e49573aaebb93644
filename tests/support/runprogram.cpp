#include "runprogram.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <thread>

#include "testenv.h"

namespace {

void ReadAvailable(int fd, std::string& into, bool& open) {
    char buffer[4096];
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0)
        into.append(buffer, static_cast<size_t>(n));
    else
        open = false;
}

// In the child of a fork: becomes program with arguments (exit code 127 when it cannot).
[[noreturn]] void ExecProgram(const std::string& program,
                              const std::vector<std::string>& arguments) {
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
}

}  // namespace

TRunResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& input, int timeLimit) {
    int in[2], out[2], err[2];
    if (::pipe(in) != 0 || ::pipe(out) != 0 || ::pipe(err) != 0) {
        throw std::runtime_error("cannot make pipes");
    }
    pid_t child = ::fork();
    if (child == 0) {
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
            ::close(fd);
        ExecProgram(program, arguments);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    // Small inputs fit the pipe; the program reads them while we collect its output.
    if (!input.empty() && ::write(in[1], input.data(), input.size()) < 0) {
        throw std::runtime_error("cannot feed the program");
    }
    ::close(in[1]);
    TRunResult result;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeLimit);
    bool outOpen = true, errOpen = true;
    while (outOpen || errOpen) {
        pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
        int wait = -1;
        if (timeLimit > 0 && !result.TimedOut) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            wait = static_cast<int>(std::max<int64_t>(left.count(), 0));
        }
        if (::poll(fds, 2, wait) == 0) {
            // Killed, the program closes its ends of the pipes and the loop ends.
            ::kill(child, SIGKILL);
            result.TimedOut = true;
            continue;
        }
        if (outOpen && (fds[0].revents & (POLLIN | POLLHUP)))
            ReadAvailable(out[0], result.Out, outOpen);
        if (errOpen && (fds[1].revents & (POLLIN | POLLHUP)))
            ReadAvailable(err[0], result.Err, errOpen);
    }
    ::close(out[0]);
    ::close(err[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

TBackgroundProgram::TBackgroundProgram(const std::string& program,
                                       const std::vector<std::string>& arguments,
                                       const std::filesystem::path& outputFolder)
    : Out(outputFolder / "out"), Err(outputFolder / "err") {
    int in[2];
    if (::pipe(in) != 0)
        throw std::runtime_error("cannot make a pipe");
    // Emptied before the program starts, so that what an earlier run printed is never
    // taken for this one's.
    int out = ::open(Out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    int err = ::open(Err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (out < 0 || err < 0)
        throw std::runtime_error("cannot make the output files");
    Child = ::fork();
    if (Child == 0) {
        ::dup2(in[0], 0);
        ::close(in[0]);
        ::close(in[1]);
        ::dup2(out, 1);
        ::dup2(err, 2);
        ExecProgram(program, arguments);
    }
    ::close(in[0]);
    ::close(out);
    ::close(err);
    Input = in[1];
}

TBackgroundProgram::~TBackgroundProgram() {
    if (Child > 0) {
        ::kill(Child, SIGKILL);
        Wait();
    }
    ::close(Input);
}

std::string TBackgroundProgram::Output() const {
    return ReadTextFile(Out) + ReadTextFile(Err);
}

std::string TBackgroundProgram::Errors() const {
    return ReadTextFile(Err);
}

bool TBackgroundProgram::WaitUntil(const std::function<bool()>& holds, int seconds) const {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!holds()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

void TBackgroundProgram::Signal(int signal) {
    ::kill(Child, signal);
}

int TBackgroundProgram::Wait() {
    int status = 0;
    ::waitpid(Child, &status, 0);
    Child = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
