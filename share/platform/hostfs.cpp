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

bool ReadFile(const std::string& path, std::string& content) {
    content.clear();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        SetLastErrorFromErrno();
        return false;
    }
    char buffer[65536];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
        content.append(buffer, n);
    if (n < 0)
        SetLastErrorFromErrno();
    ::close(fd);
    return n == 0;
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
