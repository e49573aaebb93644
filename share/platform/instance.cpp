#include "platform/instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "platform/syserror.h"

namespace {

constexpr mode_t kPrivateFolderMode = 0700;
constexpr mode_t kLockFileMode = 0600;

// A folder only this user can reach: not a link, owned by the user, closed to others.
bool IsPrivateFolder(const std::string& folder) {
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0) {
        SetLastErrorFromErrno();
        return false;
    }
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::getuid() || (info.st_mode & 077) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    return true;
}

std::string FallbackFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string base = tmp && *tmp == '/' ? tmp : "/tmp";
    std::string folder = base + "/vaultaire-" + std::to_string(::getuid());
    if (::mkdir(folder.c_str(), kPrivateFolderMode) != 0 && errno != EEXIST) {
        SetLastErrorFromErrno();
        return {};
    }
    return IsPrivateFolder(folder) ? folder : std::string{};
}

// A name that stays one file name inside the lock folder.
std::string LockFileName(const std::string& name) {
    std::string file = name.empty() ? "instance" : name;
    for (char& c : file) {
        if (c == '/' || c == '\0')
            c = '_';
    }
    if (file.front() == '.')
        file.front() = '_';
    return file + ".lock";
}

// Descriptors of the locks taken; they stay open until the process ends.
std::mutex HeldLocksMutex;
std::vector<int> HeldLocks;

}  // namespace

std::string InstanceLockFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime == '/' && IsPrivateFolder(runtime))
        return runtime;
    return FallbackFolder();
}

TInstanceLockResult TakeInstanceLock(const std::string& name) {
    std::string folder = InstanceLockFolder();
    if (folder.empty())
        return ilUnavailable;
    std::string file = folder + "/" + LockFileName(name);
    int fd =
        ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, kLockFileMode);
    if (fd < 0) {
        SetLastErrorFromErrno();
        return ilUnavailable;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        ::close(fd);
        return ilUnavailable;
    }
    int result;
    while ((result = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    if (result != 0) {
        bool held = errno == EWOULDBLOCK;
        if (held)
            SetLastError(ERROR_SHARING_VIOLATION);
        else
            SetLastErrorFromErrno();
        ::close(fd);
        return held ? ilHeld : ilUnavailable;
    }
    std::lock_guard<std::mutex> guard(HeldLocksMutex);
    HeldLocks.push_back(fd);
    return ilTaken;
}
