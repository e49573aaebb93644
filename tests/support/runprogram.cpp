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

namespace {

void ReadAvailable(int fd, std::string& into, bool& open) {
    char buffer[4096];
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0)
        into.append(buffer, static_cast<size_t>(n));
    else
        open = false;
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
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : arguments)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
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
