#include "platform/process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "platform/paths.h"
#include "platform/syserror.h"

namespace {

// In the forked child only calls that are safe after fork in a threaded program are made.
[[noreturn]] void RunGrandchild(const char* file, char* const argv[], int errorPipe) {
    ::setsid();
    pid_t grandchild = ::fork();
    if (grandchild != 0) {
        if (grandchild < 0) {
            int error = errno;
            (void)!::write(errorPipe, &error, sizeof error);
        }
        ::_exit(0);
    }
    // Every descriptor but the error pipe (closed on exec) and the standard three goes.
    if (errorPipe > 3)
        ::close_range(3, static_cast<unsigned>(errorPipe) - 1, 0);
    ::close_range(static_cast<unsigned>(errorPipe) + 1, UINT_MAX, 0);
    ::execv(file, argv);
    int error = errno;
    (void)!::write(errorPipe, &error, sizeof error);
    ::_exit(127);
}

}  // namespace

bool StartDetachedProgram(const std::string& program, const std::vector<std::string>& arguments) {
    THostPath host;
    if (!HostPathOf(program, host))
        return false;
    std::vector<std::string> texts{host.Text()};
    texts.insert(texts.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& text : texts)
        argv.push_back(text.data());
    argv.push_back(nullptr);

    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        SetLastErrorFromErrno();
        return false;
    }
    pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        RunGrandchild(host.CStr(), argv.data(), pipeEnds[1]);
    }
    int forkError = errno;
    ::close(pipeEnds[1]);
    if (child < 0) {
        ::close(pipeEnds[0]);
        errno = forkError;
        SetLastErrorFromErrno();
        return false;
    }
    // The child ends at once, leaving the program to run on its own; reading the pipe
    // returns at the program's exec (nothing read) or with the reason it failed.
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int execError = 0;
    ssize_t got;
    do {
        got = ::read(pipeEnds[0], &execError, sizeof execError);
    } while (got < 0 && errno == EINTR);
    ::close(pipeEnds[0]);
    if (got == sizeof execError) {
        errno = execError;
        SetLastErrorFromErrno();
        return false;
    }
    return true;
}
