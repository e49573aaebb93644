#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "datetime.h"
#include "platform/clock.h"
#include "platform/drivemap.h"
#include "platform/faults.h"
#include "platform/hostfs.h"
#include "platform/paths.h"
#include "platform/syserror.h"

namespace {

constexpr const char* kArchiveAttribute = "user.vaultaire.archive";

bool Fail() {
    SetLastErrorFromErrno();
    return false;
}

bool StatHost(const std::string& path, THostPath& host, struct stat& info) {
    if (!HostPathOf(path, host))
        return false;
    if (::stat(host.CStr(), &info) != 0)
        return Fail();
    return true;
}

// StatHost for a file about to be changed: fails on a write-protected medium.
bool StatHostForWriting(const std::string& path, THostPath& host, struct stat& info) {
    if (!HostPathForWriting(path, host))
        return false;
    if (::stat(host.CStr(), &info) != 0)
        return Fail();
    return true;
}

// What the archive attribute records of a file: its size, last-write time and path. A file
// renamed or moved (also over another) has been "written" under its new name: its copies
// there do not hold it yet. The path is recorded as a 64-bit hash of it, so that the record
// stays short enough to be kept inside the file's inode (ext4 keeps about 60 bytes of
// attributes there; a longer record takes a block of the disk per file).
std::string ArchiveStamp(const THostPath& host, const struct stat& info) {
    const THostPath normalised = host.Normalised();
    uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (unsigned char c : normalised.Text())
        hash = (hash ^ c) * 1099511628211ull;
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return std::to_string(info.st_size) + " " + std::to_string(info.st_mtim.tv_sec) + "." +
           std::to_string(info.st_mtim.tv_nsec) + " " + hex;
}

// The record as earlier versions wrote it, with the whole path; still read as clear.
std::string LongArchiveStamp(const THostPath& host, const struct stat& info) {
    return std::to_string(info.st_size) + " " + std::to_string(info.st_mtim.tv_sec) + "." +
           std::to_string(info.st_mtim.tv_nsec) + " " + host.Normalised().Text();
}

bool ArchiveIsSet(const THostPath& host, const struct stat& info) {
    std::string expected = ArchiveStamp(host, info);
    std::string expectedLong = LongArchiveStamp(host, info);
    std::string recorded(expectedLong.size() + 1, '\0');  // one more: a longer record differs
    ssize_t n = ::getxattr(host.CStr(), kArchiveAttribute, recorded.data(), recorded.size());
    if (n <= 0)
        return true;
    recorded.resize(static_cast<size_t>(n));
    return recorded != expected && recorded != expectedLong;
}

// User attributes need write access to the file; a read-only file gets it for a moment.
bool WithWriteAccess(const THostPath& host, const struct stat& info,
                     int (*change)(const THostPath&, const struct stat&)) {
    if (change(host, info) == 0)
        return true;
    if (errno != EACCES || (info.st_mode & S_IWUSR))
        return Fail();
    if (::chmod(host.CStr(), info.st_mode | S_IWUSR) != 0)
        return Fail();
    int result = change(host, info);
    int saved = errno;
    ::chmod(host.CStr(), info.st_mode & 07777);
    errno = saved;
    return result == 0 || Fail();
}

int RecordArchiveStamp(const THostPath& host, const struct stat& info) {
    std::string stamp = ArchiveStamp(host, info);
    return ::setxattr(host.CStr(), kArchiveAttribute, stamp.data(), stamp.size(), 0);
}

int ForgetArchiveStamp(const THostPath& host, const struct stat&) {
    int result = ::removexattr(host.CStr(), kArchiveAttribute);
    return result != 0 && (errno == ENODATA || errno == ENOTSUP) ? 0 : result;
}

// A drive's root folder is the medium itself: it cannot be removed like a folder on it.
bool IsDriveRoot(const THostPath& host) {
    auto map = CurrentDriveMap();
    const TDriveEntry* drive = map->FindByHostPath(host.Normalised());
    return drive && drive->HostFolder == host.Normalised();
}

TFileStamp StampOf(const struct stat& info) {
    return {static_cast<int64_t>(info.st_size),
            static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

int32_t DosTimeOf(const struct stat& info) {
    return DateTimeToFileDate(UnixToLocalDateTime(info.st_mtim.tv_sec));
}

int AttributesOf(const THostPath& host, const struct stat& info, bool withArchive = true) {
    int attr = 0;
    if (S_ISDIR(info.st_mode))
        attr |= faDirectory;
    if ((info.st_mode & 0222) == 0)
        attr |= faReadOnly;
    std::string name = host.Name();
    if (!name.empty() && name[0] == '.')
        attr |= faHidden;
    if (withArchive && S_ISREG(info.st_mode) && ArchiveIsSet(host, info))
        attr |= faArchive;
    return attr;
}

}  // namespace

bool FileExists(const std::string& path) {
    THostPath host;
    struct stat info;
    return StatHost(path, host, info) && S_ISREG(info.st_mode);
}

bool DirectoryExists(const std::string& path) {
    THostPath host;
    struct stat info;
    return StatHost(path, host, info) && S_ISDIR(info.st_mode);
}

TEntryKind EntryKindOf(const std::string& path) {
    THostPath host;
    struct stat info;
    if (!HostPathOf(path, host) || ::lstat(host.CStr(), &info) != 0)
        return ekNone;
    if (S_ISLNK(info.st_mode))
        return ekLink;
    if (S_ISREG(info.st_mode))
        return ekFile;
    return S_ISDIR(info.st_mode) ? ekFolder : ekOther;
}

bool CreateDir(const std::string& path) {
    THostPath host;
    if (!HostPathForWriting(path, host))
        return false;
    return ::mkdir(host.CStr(), 0777) == 0 || Fail();
}

bool ForceDirectories(const std::string& path) {
    if (DirectoryExists(path))
        return true;
    THostPath host;
    return HostPathForWriting(path, host) && hostfs::MakeFolders(host);
}

bool RemoveDir(const std::string& path) {
    THostPath host;
    if (!HostPathForWriting(path, host))
        return false;
    if (IsDriveRoot(host)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    return ::rmdir(host.CStr()) == 0 || Fail();
}

bool DeleteFile(const std::string& path) {
    THostPath host;
    if (!HostPathForWriting(path, host))
        return false;
    struct stat info;
    if (::lstat(host.CStr(), &info) == 0 && S_ISDIR(info.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    return ::unlink(host.CStr()) == 0 || Fail();
}

bool RenameFile(const std::string& oldPath, const std::string& newPath) {
    THostPath from, to;
    if (!HostPathForWriting(oldPath, from) || !HostPathForWriting(newPath, to))
        return false;
    if (::renameat2(AT_FDCWD, from.CStr(), AT_FDCWD, to.CStr(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS)
        return Fail();
    // The file system cannot refuse to replace by itself.
    if (hostfs::Exists(to)) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return false;
    }
    return ::rename(from.CStr(), to.CStr()) == 0 || Fail();
}

bool ReplaceFile(const std::string& oldPath, const std::string& newPath) {
    THostPath from, to;
    if (!HostPathForWriting(oldPath, from) || !HostPathForWriting(newPath, to))
        return false;
    return ::rename(from.CStr(), to.CStr()) == 0 || Fail();
}

namespace {

// The permission bits of a newly created file. The creation mask can only be read
// without changing it through the process's status file.
mode_t ReadNewFileMode() {
    std::string status;
    mode_t mask = 022;
    if (hostfs::ReadWholeFile(THostPath("/proc/self/status"), status)) {
        size_t at = status.find("\nUmask:");
        if (at != std::string::npos)
            mask = static_cast<mode_t>(std::strtoul(status.c_str() + at + 7, nullptr, 8));
    }
    return 0666 & ~mask;
}

mode_t NewFileMode() {
    static const mode_t mode = ReadNewFileMode();
    return mode;
}

}  // namespace

bool CopyFileMode(const std::string& model, const std::string& path) {
    THostPath modelHost, host;
    if (!HostPathForWriting(path, host))
        return false;
    struct stat info;
    bool modelExists = HostPathOf(model, modelHost) && ::lstat(modelHost.CStr(), &info) == 0 &&
                       !S_ISLNK(info.st_mode);
    mode_t mode = modelExists ? (info.st_mode & 07777) : NewFileMode();
    return ::chmod(host.CStr(), mode) == 0 || Fail();
}

int64_t GetFileSize(const std::string& path) {
    THostPath host;
    struct stat info;
    return StatHost(path, host, info) ? static_cast<int64_t>(info.st_size) : -1;
}

int32_t FileAge(const std::string& path) {
    THostPath host;
    struct stat info;
    return StatHost(path, host, info) ? DosTimeOf(info) : -1;
}

bool FileSetDate(const std::string& path, int32_t fileDate) {
    THostPath host;
    if (!HostPathForWriting(path, host))
        return false;
    timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = static_cast<time_t>(LocalDateTimeToUnix(FileDateToDateTime(fileDate)));
    times[1].tv_nsec = 0;
    return ::utimensat(AT_FDCWD, host.CStr(), times, 0) == 0 || Fail();
}

bool GetFileStamp(const std::string& path, TFileStamp& stamp) {
    THostPath host;
    struct stat info;
    if (!StatHost(path, host, info))
        return false;
    stamp = StampOf(info);
    return true;
}

int GetFileAttributes(const std::string& path) {
    THostPath host;
    struct stat info;
    return StatHost(path, host, info) ? AttributesOf(host, info) : -1;
}

bool SetFileAttributes(const std::string& path, int attributes) {
    THostPath host;
    struct stat info;
    if (!StatHostForWriting(path, host, info))
        return false;
    mode_t mode = info.st_mode & 07777;
    mode_t wanted = (attributes & faReadOnly) ? (mode & ~0222) : (mode | S_IWUSR);
    if ((mode & 0222) == 0 && !(attributes & faReadOnly) && ::chmod(host.CStr(), wanted) != 0) {
        return Fail();
    }
    if (S_ISREG(info.st_mode) &&
        (attributes & faArchive) != (AttributesOf(host, info) & faArchive)) {
        auto change = (attributes & faArchive) ? ForgetArchiveStamp : RecordArchiveStamp;
        if (!WithWriteAccess(host, info, change))
            return false;
    }
    if ((attributes & faReadOnly) && (mode & 0222) != 0 && ::chmod(host.CStr(), wanted) != 0) {
        return Fail();
    }
    return true;
}

bool ClearArchiveAttribute(const std::string& path, const TFileStamp& stamp) {
    THostPath host;
    struct stat info;
    if (!StatHostForWriting(path, host, info) || !S_ISREG(info.st_mode))
        return false;
    if (StampOf(info) != stamp) {
        SetLastError(ERROR_SUCCESS);
        return false;
    }
    return !ArchiveIsSet(host, info) || WithWriteAccess(host, info, RecordArchiveStamp);
}

bool ReadFileText(const std::string& path, std::string& content, int64_t maxBytes) {
    THostPath host;
    return HostPathOf(path, host) && hostfs::ReadWholeFile(host, content, maxBytes);
}

bool WriteFileAtomically(const std::string& path, const std::string& content) {
    THostPath host;
    return HostPathForWriting(path, host) && hostfs::WriteWholeFile(host, content);
}

bool CreateUniqueFile(const std::string& folder, const std::string& prefix, std::string& name) {
    name.clear();
    THostPath hostFolder, host;
    int fd = -1;
    if (!HostPathForWriting(folder, hostFolder) ||
        !hostfs::CreateWorkFile(hostFolder, prefix, host, fd))
        return false;
    ::close(fd);
    name = PathInFolder(folder, host.Name());
    return true;
}

int RemoveStaleWorkFiles(const std::string& folder, const std::string& prefix) {
    THostPath hostFolder;
    if (!HostPathForWriting(folder, hostFolder))
        return 0;
    return hostfs::RemoveStaleWorkFiles(hostFolder, prefix);
}

bool SyncFileSystemOf(const std::string& folder) {
    THostPath host;
    if (!HostPathOf(folder, host))
        return false;
    int fd = ::open(host.CStr(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return Fail();
    bool synced = ::syncfs(fd) == 0;
    if (!synced)
        SetLastErrorFromErrno();
    ::close(fd);
    return synced;
}

// ---- Folder search ----

bool MatchesWildcard(const std::string& name, const std::string& pattern) {
    if (pattern == "*.*" || pattern == "*")
        return true;
    // Iterative match with one step of backtracking for the last "*".
    size_t n = 0, p = 0, starP = std::string::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    // What is left of the pattern may stand for nothing: "*" always, "?" at the name's end.
    while (p < pattern.size() && (pattern[p] == '*' || pattern[p] == '?'))
        ++p;
    return p == pattern.size();
}

bool TFileSearch::TakeRegularFile(const std::string& name) {
    int attr = !name.empty() && name[0] == '.' ? faHidden : 0;
    if ((attr & ~AttrMask) != 0)
        return false;
    Entry = {name, 0, 0, attr, false};
    HasEntry = true;
    SetLastError(ERROR_SUCCESS);
    return true;
}

TFileSearch::TFileSearch(const std::string& pattern, int attrMask, TSearchDetail detail)
    : AttrMask(attrMask), Detail(detail) {
    size_t nameStart = NameStartOf(pattern);
    Folder = pattern.substr(0, nameStart);
    NamePattern = pattern.substr(nameStart);
    if (!HostPathOf(Folder, HostFolder)) {
        NoteError(GetLastError());
        return;
    }
    if (IsFolderMadeUnreadable(HostFolder)) {
        NoteError(ERROR_ACCESS_DENIED);
        SetLastError(ERROR_ACCESS_DENIED);
        return;
    }
    Handle = ::opendir(HostFolder.CStr());
    if (!Handle) {
        // A folder that is not there is a missing path, not a missing file.
        NoteError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(errno));
        Fail();
        return;
    }
    Next();
}

void TFileSearch::NoteError(int error) {
    if (FolderError == 0)
        FolderError = error != 0 ? error : ERROR_GEN_FAILURE;
}

TFileSearch::~TFileSearch() {
    if (Handle)
        ::closedir(static_cast<DIR*>(Handle));
}

void TFileSearch::Next() {
    HasEntry = false;
    if (!Handle)
        return;
    auto map = CurrentDriveMap();
    for (;;) {
        errno = 0;
        dirent* entry = ::readdir(static_cast<DIR*>(Handle));
        if (!entry) {
            if (errno != 0)
                NoteError(ErrorFromErrno(errno));
            break;
        }
        std::string name = entry->d_name;
        if (name == "." || name == ".." || !MatchesWildcard(name, NamePattern))
            continue;
        if (Detail == sdKinds && entry->d_type == DT_REG && TakeRegularFile(name))
            return;
        THostPath host = HostFolder / name;
        struct stat link, info;
        if (::lstat(host.CStr(), &link) != 0) {
            // An entry that went away meanwhile is no fault; one that cannot be looked at
            // (a folder readable without search permission) is.
            if (errno != ENOENT)
                NoteError(ErrorFromErrno(errno));
            continue;
        }
        if (S_ISLNK(link.st_mode)) {
            // A link is listed only when it leads to a regular file.
            if (::stat(host.CStr(), &info) != 0 || !S_ISREG(info.st_mode))
                continue;
        } else {
            info = link;
        }
        if (!S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode))
            continue;
        if (S_ISDIR(info.st_mode)) {
            const TDriveEntry* drive = map->FindByHostPath(host);
            if (drive && drive->HostFolder == host)
                continue;  // another drive's root
        }
        int attr = AttributesOf(host, info, (AttrMask & faArchive) != 0);
        int filtered = attr & (faHidden | faSysFile | faDirectory | faVolumeID);
        if ((filtered & ~AttrMask) != 0)
            continue;
        Entry = {name, S_ISREG(info.st_mode) ? static_cast<int64_t>(info.st_size) : 0,
                 DosTimeOf(info), attr, S_ISLNK(link.st_mode)};
        HasEntry = true;
        SetLastError(ERROR_SUCCESS);
        return;
    }
    SetLastError(ERROR_FILE_NOT_FOUND);
}
