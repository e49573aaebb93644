#include "platform/hostfs.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/syserror.h"

namespace hostfs {

bool Exists(const THostPath& path) {
    struct stat info;
    return ::stat(path.CStr(), &info) == 0;
}

bool IsDirectory(const THostPath& path) {
    struct stat info;
    return ::stat(path.CStr(), &info) == 0 && S_ISDIR(info.st_mode);
}

namespace {

bool Refuse(int error) {
    SetLastError(error);
    return false;
}

bool FailFromErrno() {
    SetLastErrorFromErrno();
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
bool RefuseMissing(const THostPath& path) {
    int error = errno;
    struct stat link;
    // A link that leads nowhere, not a file made in the meantime (by another process).
    if (error == ENOENT && ::lstat(path.CStr(), &link) == 0 && S_ISLNK(link.st_mode))
        return Refuse(ERROR_CANT_RESOLVE_FILENAME);
    errno = error;
    return FailFromErrno();
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

bool ReadWholeFile(const THostPath& path, std::string& content, int64_t maxBytes) {
    content.clear();
    // The kind is checked before the open, so that no device is ever opened, and again on
    // what was opened, in case path changed meanwhile. Opening without blocking keeps a
    // pipe from holding the open until a writer comes.
    struct stat info;
    if (::stat(path.CStr(), &info) != 0)
        return RefuseMissing(path);
    if (int error = NotReadableAsFile(info))
        return Refuse(error);
    TDescriptor file(::open(path.CStr(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.Fd < 0 || ::fstat(file.Fd, &info) != 0)
        return FailFromErrno();
    if (int error = NotReadableAsFile(info))
        return Refuse(error);
    if (info.st_size > maxBytes)
        return Refuse(ERROR_FILE_TOO_LARGE);
    // A regular file it is: its reads may wait for the disk (or a network file system) as
    // usual.
    int flags = ::fcntl(file.Fd, F_GETFL);
    if (flags < 0 || ::fcntl(file.Fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
        return FailFromErrno();
    content.reserve(static_cast<size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(file.Fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            content.clear();
            return FailFromErrno();
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

// The permission bits of a file written where none was.
constexpr mode_t kNewWholeFileMode = 0644;

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

void SyncFolder(const THostPath& folder) {
    int fd = ::open(folder.CStr(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// The file that writing path should replace: the regular file a symbolic link at path
// leads to, so that the link stays; path itself when it is no link, or a link to anything
// else (a link to a folder, a device or nothing is replaced, as a file would be).
THostPath FileToReplace(const THostPath& path) {
    struct stat link;
    if (::lstat(path.CStr(), &link) != 0 || !S_ISLNK(link.st_mode))
        return path;
    char* resolved = ::realpath(path.CStr(), nullptr);
    if (!resolved)
        return path;
    THostPath target(resolved);
    std::free(resolved);
    struct stat info;
    return ::stat(target.CStr(), &info) == 0 && S_ISREG(info.st_mode) ? target : path;
}

// The permission bits the new content of file gets: those of the regular file it
// replaces; never those of a device or of whatever else is in its place.
mode_t ModeFor(const THostPath& file) {
    struct stat old;
    bool regular = ::lstat(file.CStr(), &old) == 0 && S_ISREG(old.st_mode);
    return regular ? (old.st_mode & 07777) : kNewWholeFileMode;
}

// The prefix of the work files that WriteWholeFile makes for file.
std::string WorkFilePrefix(const THostPath& file) {
    return file.Name() + ".tmp";
}

}  // namespace

bool WriteWholeFile(const THostPath& path, const std::string& content) {
    const THostPath file = FileToReplace(path);
    const THostPath folder = file.Parent();
    RemoveStaleWorkFiles(folder, WorkFilePrefix(file));
    THostPath work;
    int fd = -1;
    if (!CreateWorkFile(folder, WorkFilePrefix(file), work, fd))
        return false;
    bool ok = ::fchmod(fd, ModeFor(file)) == 0 && WriteAll(fd, content) && ::fsync(fd) == 0;
    if (!ok)
        SetLastErrorFromErrno();
    if (::close(fd) != 0 && ok)
        ok = FailFromErrno();
    if (ok && ::rename(work.CStr(), file.CStr()) != 0)
        ok = FailFromErrno();
    if (!ok) {
        ::unlink(work.CStr());
        return false;
    }
    SyncFolder(folder);
    return true;
}

bool MakeFolders(const THostPath& path) {
    if (IsDirectory(path))
        return true;
    THostPath parent = path.Parent();
    if (parent != path && !MakeFolders(parent))
        return false;
    // A file (or a link to one) in the folder's place is no folder: that is a failure.
    if (::mkdir(path.CStr(), 0777) != 0 && (errno != EEXIST || !IsDirectory(path))) {
        if (errno == 0)
            errno = EEXIST;
        return FailFromErrno();
    }
    return true;
}

THostPath Canonical(const THostPath& path) {
    char resolved[PATH_MAX];
    if (::realpath(path.CStr(), resolved))
        return THostPath(resolved);
    // Resolve the part that exists and keep the rest as it stands.
    THostPath parent = path.Parent();
    if (parent == path)
        return path;
    THostPath base = Canonical(parent);
    return THostPath((base.Text() == "/" ? "" : base.Text()) +
                     path.Text().substr(path.Text().find_last_of('/')));
}

namespace {

// How many characters mkostemp puts in place of "XXXXXX".
constexpr size_t kUniqueLength = 6;
// The most digits a process id has.
constexpr size_t kMaxPidDigits = 9;

// The process a work file's name says made it ("VLD4711-a8Zk2p" with prefix "VLD": 4711),
// or 0 when the name is not of that form.
pid_t WorkFileOwner(const std::string& name, const std::string& prefix) {
    if (name.compare(0, prefix.size(), prefix) != 0)
        return 0;
    size_t dash = name.find('-', prefix.size());
    if (dash == std::string::npos || dash == prefix.size() ||
        dash - prefix.size() > kMaxPidDigits || name.size() != dash + 1 + kUniqueLength)
        return 0;
    pid_t pid = 0;
    for (size_t i = prefix.size(); i < dash; ++i) {
        if (name[i] < '0' || name[i] > '9')
            return 0;
        pid = pid * 10 + (name[i] - '0');
    }
    return pid;
}

bool ProcessRuns(pid_t pid) {
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

}  // namespace

bool CreateWorkFile(const THostPath& folder, const std::string& prefix, THostPath& file, int& fd) {
    std::string name = (folder / (prefix + std::to_string(::getpid()) + "-XXXXXX")).Text();
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
        return FailFromErrno();
    file = THostPath(name);
    return true;
}

int RemoveStaleWorkFiles(const THostPath& folder, const std::string& prefix) {
    DIR* listing = ::opendir(folder.CStr());
    if (!listing)
        return 0;
    int removed = 0;
    while (dirent* entry = ::readdir(listing)) {
        std::string name = entry->d_name;
        pid_t owner = WorkFileOwner(name, prefix);
        if (owner <= 0 || owner == ::getpid() || ProcessRuns(owner))
            continue;
        struct stat info;
        THostPath file = folder / name;
        if (::lstat(file.CStr(), &info) == 0 && S_ISREG(info.st_mode) && ::unlink(file.CStr()) == 0)
            ++removed;
    }
    ::closedir(listing);
    return removed;
}

}  // namespace hostfs
