#include "platform/filestream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "datetime.h"
#include "platform/clock.h"
#include "platform/drivemap.h"
#include "platform/faults.h"
#include "platform/hostfs.h"
#include "platform/paths.h"
#include "platform/syserror.h"
#include "platform/volume.h"

namespace {

int OpenFlags(unsigned mode) {
    if (mode == fmCreate)
        return O_RDWR | O_CREAT | O_TRUNC;
    switch (mode & 3) {
        case fmOpenWrite:
            return O_WRONLY;
        case fmOpenReadWrite:
            return O_RDWR;
        default:
            return O_RDONLY;
    }
}

bool OpensForWriting(unsigned mode) {
    return mode == fmCreate || (mode & 3) != fmOpenRead;
}

// How large a file of currentSize bytes may grow on the medium it lies on: a drive with a
// capacity in the drive map has room for what its other files leave; -1 for no limit
// beyond the file system's own.
int64_t SizeLimitOnMedium(const std::string& fileName, int64_t currentSize) {
    auto map = CurrentDriveMap();
    bool anyCapacity = std::any_of(map->Entries().begin(), map->Entries().end(),
                                   [](const TDriveEntry& e) { return e.Capacity > 0; });
    if (!anyCapacity)
        return -1;
    const TDriveEntry* drive = map->Find(DriveLetterOf(fileName));
    if (!drive || drive->Capacity <= 0)
        return -1;
    int64_t total = 0, available = 0;
    GetDiskFreeSpace(std::string(1, drive->Letter) + ":\\", total, available);
    return currentSize + available;
}

// Why what lies at a path cannot be opened as a file; empty for a regular file.
std::string NotAFileReason(const struct stat& info) {
    if (S_ISREG(info.st_mode))
        return {};
    if (S_ISDIR(info.st_mode))
        return "It is a folder, not a file.";
    return "It is a pipe, device or socket, not a file.";
}

[[noreturn]] void RaiseDiskFull() {
    SetLastError(ERROR_DISK_FULL);
    throw EWriteError(SysErrorMessage(ERROR_DISK_FULL));
}

}  // namespace

TFileStream::TFileStream(const std::string& fileName, unsigned mode) : FileName(fileName) {
    THostPath host;
    bool writing = OpensForWriting(mode);
    bool mapped = writing ? HostPathForWriting(fileName, host) : HostPathOf(fileName, host);
    if (mapped) {
        // Without O_NONBLOCK, a named pipe put where a file was would block the open until
        // another process opened its other end.
        Handle = ::open(host.CStr(), OpenFlags(mode) | O_CLOEXEC | O_NONBLOCK, 0666);
        if (Handle < 0)
            SetLastErrorFromErrno();
    }
    std::string reason;
    if (Handle >= 0) {
        struct stat info {};
        bool known = ::fstat(Handle, &info) == 0;
        if (known && S_ISREG(info.st_mode)) {
            ::fcntl(Handle, F_SETFL, ::fcntl(Handle, F_GETFL) & ~O_NONBLOCK);
            OpenedStamp = {
                static_cast<int64_t>(info.st_size),
                static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
            OpenedDate = DateTimeToFileDate(UnixToLocalDateTime(info.st_mtim.tv_sec));
            if (writing)
                MaxSize = SizeLimitOnMedium(fileName, static_cast<int64_t>(info.st_size));
            Letter = DriveLetterOf(fileName);
            return;
        }
        // Only regular files are opened: never a folder, a device or a pipe.
        if (known)
            reason = NotAFileReason(info);
        ::close(Handle);
        Handle = -1;
        SetLastError(ERROR_ACCESS_DENIED);
    } else if (mapped) {
        // Opening for writing fails by itself on a folder, or on a pipe without a reader.
        struct stat info;
        if (::stat(host.CStr(), &info) == 0)
            reason = NotAFileReason(info);
        if (!reason.empty())
            SetLastError(ERROR_ACCESS_DENIED);
    }
    if (reason.empty())
        reason = SysErrorMessage(GetLastError());
    if (mode == fmCreate) {
        throw EFCreateError(GetLastError(), "Cannot create file \"" + fileName + "\". " + reason);
    }
    throw EFOpenError(GetLastError(), "Cannot open file \"" + fileName + "\". " + reason);
}

TFileStream::TFileStream(const std::string& fileName, int handle)
    : FileName(fileName),
      Handle(handle),
      MaxSize(SizeLimitOnMedium(fileName, 0)),
      Letter(DriveLetterOf(fileName)) {}

std::unique_ptr<TFileStream> TFileStream::CreateUnique(const std::string& folder,
                                                       const std::string& prefix) {
    THostPath hostFolder, host;
    int handle = -1;
    if (!HostPathForWriting(folder, hostFolder) ||
        !hostfs::CreateWorkFile(hostFolder, prefix, host, handle)) {
        throw EFCreateError(GetLastError(), "Cannot create a file in \"" + folder + "\". " +
                                                SysErrorMessage(GetLastError()));
    }
    return std::unique_ptr<TFileStream>(new TFileStream(PathInFolder(folder, host.Name()), handle));
}

std::unique_ptr<TFileStream> TFileStream::CreateUnnamed(const std::string& folder) {
    // LinkAs names the file through /proc; without it the file could never be named.
    static const bool canBeNamed = ::access("/proc/self/fd", F_OK) == 0;
    if (!canBeNamed)
        return nullptr;
    THostPath hostFolder;
    if (!HostPathForWriting(folder, hostFolder)) {
        throw EFCreateError(GetLastError(), "Cannot create a file in \"" + folder + "\". " +
                                                SysErrorMessage(GetLastError()));
    }
    int handle = ::open(hostFolder.CStr(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (handle < 0) {
        if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)
            return nullptr;  // a file system (or kernel) without unnamed files
        SetLastErrorFromErrno();
        throw EFCreateError(GetLastError(), "Cannot create a file in \"" + folder + "\". " +
                                                SysErrorMessage(GetLastError()));
    }
    return std::unique_ptr<TFileStream>(new TFileStream(folder, handle));
}

bool TFileStream::LinkAs(const std::string& fileName) {
    THostPath host;
    if (!HostPathForWriting(fileName, host))
        return false;
    // The unnamed file is reached through this process's descriptor of it.
    const std::string descriptor = "/proc/self/fd/" + std::to_string(Handle);
    if (::linkat(AT_FDCWD, descriptor.c_str(), AT_FDCWD, host.CStr(), AT_SYMLINK_FOLLOW) != 0) {
        SetLastErrorFromErrno();
        return false;
    }
    FileName = fileName;
    return true;
}

TFileStream::~TFileStream() {
    if (Handle >= 0)
        ::close(Handle);
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
    int64_t done = 0;
    while (done < count) {
        ssize_t n = ::pread(Handle, static_cast<char*>(buffer) + done, count - done,
                            static_cast<off_t>(Position + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            SetLastErrorFromErrno();
            throw EReadError(SysErrorMessage(GetLastError()));
        }
        if (n == 0)
            break;
        done += n;
    }
    Position += done;
    return done;
}

int64_t TFileStream::Fitting(int64_t count) const {
    if (MaxSize < 0)
        return count;
    return std::clamp<int64_t>(MaxSize - Position, 0, count);
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
    BeforeFileSystemChange();
    int64_t fitting = Fitting(count);
    int64_t injectedRoom = InjectedRoomOnDrive(Letter);
    if (injectedRoom >= 0)
        fitting = std::min(fitting, injectedRoom);
    int64_t done = 0;
    while (done < fitting) {
        ssize_t n = ::pwrite(Handle, static_cast<const char*>(buffer) + done, fitting - done,
                             static_cast<off_t>(Position + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            SetLastErrorFromErrno();
            Position += done;
            throw EWriteError(SysErrorMessage(GetLastError()));
        }
        done += n;
    }
    Position += done;
    CountBytesWritten(Letter, done);
    if (WriteBehind)
        HandOnWritten();
    if (fitting < count)
        RaiseDiskFull();
    return done;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    // The position is kept here and every read and write names its offset: finding or
    // setting it costs no call to the system.
    int64_t base = Position;
    if (origin == TSeekOrigin::soBeginning) {
        base = 0;
    } else if (origin == TSeekOrigin::soEnd) {
        struct stat info;
        if (::fstat(Handle, &info) != 0) {
            SetLastErrorFromErrno();
            throw EStreamError(SysErrorMessage(GetLastError()));
        }
        base = static_cast<int64_t>(info.st_size);
    }
    if (offset < 0 && base + offset < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);  // as the system refuses a seek before the start
        throw EStreamError(SysErrorMessage(GetLastError()));
    }
    Position = base + offset;
    return Position;
}

void TFileStream::SetSize(int64_t size) {
    if (MaxSize >= 0 && size > MaxSize)
        RaiseDiskFull();
    if (::ftruncate(Handle, static_cast<off_t>(size)) != 0) {
        SetLastErrorFromErrno();
        throw EWriteError(SysErrorMessage(GetLastError()));
    }
    if (GetPosition() > size)
        SetPosition(size);
}

int32_t TFileStream::GetFileDate() const {
    struct stat info;
    if (::fstat(Handle, &info) != 0)
        return -1;
    return DateTimeToFileDate(UnixToLocalDateTime(info.st_mtim.tv_sec));
}

void TFileStream::SetFileDate(int32_t fileDate) {
    timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = static_cast<time_t>(LocalDateTimeToUnix(FileDateToDateTime(fileDate)));
    times[1].tv_nsec = 0;
    if (::futimens(Handle, times) != 0) {
        SetLastErrorFromErrno();
        throw EWriteError(SysErrorMessage(GetLastError()));
    }
}

void TFileStream::HandOnWritten() {
    constexpr int64_t kStep = int64_t{8} << 20;
    if (Position < HandedOn)
        HandedOn = Position;  // rewritten from an earlier place on
    if (Position - HandedOn < kStep)
        return;
    // Only starts the writing; a failure shows at the sync that follows.
    ::sync_file_range(Handle, static_cast<off_t>(HandedOn), static_cast<off_t>(Position - HandedOn),
                      SYNC_FILE_RANGE_WRITE);
    HandedOn = Position;
}

void TFileStream::Flush() {
    if (::fsync(Handle) != 0) {
        SetLastErrorFromErrno();
        throw EWriteError(SysErrorMessage(GetLastError()));
    }
}

void TFileStream::Close() {
    if (Handle < 0)
        return;
    int result = ::close(Handle);
    Handle = -1;
    if (result != 0) {
        SetLastErrorFromErrno();
        throw EWriteError(SysErrorMessage(GetLastError()));
    }
}
