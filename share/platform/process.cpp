#include "platform/process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/folders.h"

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

// Starts program through a grandchild that the system adopts, so it runs on after this
// process and leaves no zombie; it inherits none of this process's open files.
bool StartOnItsOwn(const THostPath& program, const std::vector<std::string>& arguments,
                   std::string& error) {
    std::vector<std::string> texts{program.Text()};
    texts.insert(texts.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& text : texts)
        argv.push_back(text.data());
    argv.push_back(nullptr);

    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        error = std::strerror(errno);
        return false;
    }
    pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        RunGrandchild(program.CStr(), argv.data(), pipeEnds[1]);
    }
    int forkError = errno;
    ::close(pipeEnds[1]);
    if (child < 0) {
        ::close(pipeEnds[0]);
        error = std::strerror(forkError);
        return false;
    }
    // The child ends at once; reading the pipe returns at the program's exec (nothing read)
    // or with the reason it failed.
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
        error = std::strerror(execError);
        return false;
    }
    return true;
}

TProgramStarter& Starter() {
    static TProgramStarter starter = StartOnItsOwn;
    return starter;
}

}  // namespace

THostPath ProgramBesideThis(const std::string& name) {
    THostPath folder = ExeFolderHost();
    return folder.IsEmpty() ? THostPath() : folder / name;
}

bool StartDetachedProgram(const THostPath& program, const std::vector<std::string>& arguments,
                          std::string& error) {
    error.clear();
    if (program.IsEmpty()) {
        error = "the program's folder is not known";
        return false;
    }
    return Starter()(program, arguments, error);
}

TProgramStarter SetProgramStarter(TProgramStarter starter) {
    TProgramStarter previous = Starter();
    Starter() = starter ? std::move(starter) : TProgramStarter(StartOnItsOwn);
    return previous;
}
