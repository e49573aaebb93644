#include "platform/filelock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>

#include "platform/folders.h"
#include "platform/hostfs.h"
#include "platform/syserror.h"

namespace {

THostPath LockFolderHost() {
    THostPath folder = DataFolderHost() / "locks";
    hostfs::MakeFolders(folder);
    return folder;
}

uint64_t Fnv1a(const std::string& text) {
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

}  // namespace

TFileLock::TFileLock(const std::string& name, TWaitMode mode) {
    THostPath file = LockFolderHost() / (name + ".lock");
    int fd = ::open(file.CStr(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        SetLastErrorFromErrno();
        return;
    }
    int operation = LOCK_EX | (mode == lwTry ? LOCK_NB : 0);
    int result;
    while ((result = ::flock(fd, operation)) != 0 && errno == EINTR) {
    }
    if (result != 0) {
        if (errno == EWOULDBLOCK)
            SetLastError(ERROR_SHARING_VIOLATION);
        else
            SetLastErrorFromErrno();
        ::close(fd);
        return;
    }
    Handle = fd;
}

TFileLock::~TFileLock() {
    if (Handle >= 0)
        ::close(Handle);  // closing the last descriptor releases the lock
}

std::string TFileLock::NameForFolder(const THostPath& hostFolder) {
    char name[40];
    std::snprintf(name, sizeof name, "backup-%016llx",
                  static_cast<unsigned long long>(Fnv1a(hostfs::Canonical(hostFolder).Text())));
    return name;
}
