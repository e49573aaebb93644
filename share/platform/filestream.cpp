#include "platform/filestream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "datetime.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/syserror.h"

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

}  // namespace

TFileStream::TFileStream(const std::string& fileName, unsigned mode) : FileName(fileName) {
    std::string host;
    bool mapped = HostPathOf(fileName, host);
    if (mapped) {
        Handle = ::open(host.c_str(), OpenFlags(mode) | O_CLOEXEC, 0666);
        if (Handle < 0)
            SetLastErrorFromErrno();
    }
    if (Handle >= 0) {
        struct stat info;
        if (::fstat(Handle, &info) == 0 && S_ISREG(info.st_mode))
            return;
        // Only regular files are opened: never a folder, a device or a pipe.
        ::close(Handle);
        Handle = -1;
        SetLastError(ERROR_ACCESS_DENIED);
    }
    std::string reason = SysErrorMessage(GetLastError());
    if (mode == fmCreate) {
        throw EFCreateError(GetLastError(), "Cannot create file \"" + fileName + "\". " + reason);
    }
    throw EFOpenError(GetLastError(), "Cannot open file \"" + fileName + "\". " + reason);
}

TFileStream::~TFileStream() {
    if (Handle >= 0)
        ::close(Handle);
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
    int64_t done = 0;
    while (done < count) {
        ssize_t n = ::read(Handle, static_cast<char*>(buffer) + done, count - done);
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
    return done;
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
    int64_t done = 0;
    while (done < count) {
        ssize_t n = ::write(Handle, static_cast<const char*>(buffer) + done, count - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            SetLastErrorFromErrno();
            throw EWriteError(SysErrorMessage(GetLastError()));
        }
        done += n;
    }
    return done;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET
                 : origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                    : SEEK_END;
    off_t result = ::lseek(Handle, static_cast<off_t>(offset), whence);
    if (result < 0) {
        SetLastErrorFromErrno();
        throw EStreamError(SysErrorMessage(GetLastError()));
    }
    return static_cast<int64_t>(result);
}

void TFileStream::SetSize(int64_t size) {
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
