#include "platform/hostfs.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

#include "platform/syserror.h"

namespace hostfs {

bool Exists(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0;
}

bool IsDirectory(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

namespace {

bool Refuse(int error) {
    SetLastError(error);
    return false;
}

// Why a file of this kind is not read as a whole, or 0 for a regular file.
int NotReadableAsFile(const struct stat& info) {
    if (S_ISDIR(info.st_mode))
        return ERROR_DIRECTORY_NOT_SUPPORTED;
    if (!S_ISREG(info.st_mode))
        return ERROR_BAD_FILE_TYPE;
    return ERROR_SUCCESS;
}

// Fails as stat failed on path; a link whose target is missing is told from a missing file.
bool RefuseMissing(const std::string& path) {
    int error = errno;
    struct stat link;
    if (error == ENOENT && ::lstat(path.c_str(), &link) == 0)
        return Refuse(ERROR_CANT_RESOLVE_FILENAME);
    errno = error;
    SetLastErrorFromErrno();
    return false;
}

class TDescriptor {
  public:
    explicit TDescriptor(int fd) : Fd(fd) {}
    ~TDescriptor() {
        if (Fd >= 0)
            ::close(Fd);
    }
    TDescriptor(const TDescriptor&) = delete;
    TDescriptor& operator=(const TDescriptor&) = delete;
    int Fd;
};

}  // namespace

bool ReadFile(const std::string& path, std::string& content, int64_t maxBytes) {
    content.clear();
    // The kind is checked before the open, so that no device is ever opened, and again on
    // what was opened, in case path changed meanwhile. Opening without blocking keeps a
    // pipe from holding the open until a writer comes.
    struct stat info;
    if (::stat(path.c_str(), &info) != 0)
        return RefuseMissing(path);
    if (int error = NotReadableAsFile(info))
        return Refuse(error);
    TDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.Fd < 0 || ::fstat(file.Fd, &info) != 0) {
        SetLastErrorFromErrno();
        return false;
    }
    if (int error = NotReadableAsFile(info))
        return Refuse(error);
    if (info.st_size > maxBytes)
        return Refuse(ERROR_FILE_TOO_LARGE);
    // A regular file it is: its reads may wait for the disk (or a network file system) as
    // usual.
    int flags = ::fcntl(file.Fd, F_GETFL);
    if (flags < 0 || ::fcntl(file.Fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        SetLastErrorFromErrno();
        return false;
    }
    content.reserve(static_cast<size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(file.Fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            SetLastErrorFromErrno();
            content.clear();
            return false;
        }
        if (n == 0)
            return true;
        // Files that tell no size (those of /proc) or that grow are held to the limit too.
        if (static_cast<int64_t>(content.size()) + n > maxBytes) {
            content.clear();
            return Refuse(ERROR_FILE_TOO_LARGE);
        }
        content.append(buffer, static_cast<size_t>(n));
    }
}

namespace {

bool WriteAll(int fd, const std::string& content) {
    size_t done = 0;
    while (done < content.size()) {
        ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

void SyncFolder(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

bool WriteFileAtomically(const std::string& path, const std::string& content) {
    std::string work = path + ".XXXXXX";
    int fd = ::mkostemp(work.data(), O_CLOEXEC);
    if (fd < 0) {
        SetLastErrorFromErrno();
        return false;
    }
    struct stat old;
    mode_t mode = ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    bool ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, content) && ::fsync(fd) == 0;
    if (!ok)
        SetLastErrorFromErrno();
    if (::close(fd) != 0 && ok) {
        SetLastErrorFromErrno();
        ok = false;
    }
    if (ok && ::rename(work.c_str(), path.c_str()) != 0) {
        SetLastErrorFromErrno();
        ok = false;
    }
    if (!ok) {
        ::unlink(work.c_str());
        return false;
    }
    SyncFolder(Parent(path));
    return true;
}

bool MakeFolders(const std::string& path) {
    if (IsDirectory(path))
        return true;
    std::string parent = Parent(path);
    if (parent != path && !MakeFolders(parent))
        return false;
    if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) {
        SetLastErrorFromErrno();
        return false;
    }
    return true;
}

std::string Parent(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string Normalise(const std::string& path) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        std::string part = path.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string result;
    for (const std::string& part : parts)
        result += "/" + part;
    return result.empty() ? "/" : result;
}

std::string Canonical(const std::string& path) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved))
        return resolved;
    // Resolve the part that exists and keep the rest as it stands.
    std::string parent = Parent(path);
    if (parent == path || parent == ".")
        return path;
    std::string base = Canonical(parent);
    return (base == "/" ? "" : base) + path.substr(path.find_last_of('/'));
}

bool IsInside(const std::string& path, const std::string& folder) {
    if (folder == "/")
        return !path.empty() && path[0] == '/';
    return path.compare(0, folder.size(), folder) == 0 &&
           (path.size() == folder.size() || path[folder.size()] == '/');
}

}  // namespace hostfs
