#include "platform/syserror.h"

#include <cerrno>
#include <cstring>

#include "exceptions.h"

namespace {

thread_local int LastError = 0;

struct TErrorText {
    int Error;
    const char* Text;
};

constexpr TErrorText kTexts[] = {
    {ERROR_SUCCESS, "The operation completed successfully."},
    {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified."},
    {ERROR_PATH_NOT_FOUND, "The system cannot find the path specified."},
    {ERROR_TOO_MANY_OPEN_FILES, "The system cannot open the file."},
    {ERROR_ACCESS_DENIED, "Access is denied."},
    {ERROR_NOT_ENOUGH_MEMORY, "Not enough storage is available to process this command."},
    {ERROR_INVALID_DRIVE, "The system cannot find the drive specified."},
    {ERROR_NOT_SAME_DEVICE, "The system cannot move the file to a different disk drive."},
    {ERROR_WRITE_PROTECT, "The media is write protected."},
    {ERROR_NOT_READY, "The device is not ready."},
    {ERROR_READ_FAULT, "The system cannot read from the specified device."},
    {ERROR_GEN_FAILURE, "A device attached to the system is not functioning."},
    {ERROR_SHARING_VIOLATION,
     "The process cannot access the file because it is being used by another process."},
    {ERROR_HANDLE_DISK_FULL, "The disk is full."},
    {ERROR_NOT_SUPPORTED, "The request is not supported."},
    {ERROR_FILE_EXISTS, "The file exists."},
    {ERROR_INVALID_PARAMETER, "The parameter is incorrect."},
    {ERROR_DISK_FULL, "There is not enough space on the disk."},
    {ERROR_INVALID_NAME, "The filename, directory name, or volume label syntax is incorrect."},
    {ERROR_DIR_NOT_EMPTY, "The directory is not empty."},
    {ERROR_BAD_PATHNAME, "The specified path is invalid."},
    {ERROR_ALREADY_EXISTS, "Cannot create a file when that file already exists."},
    {ERROR_FILENAME_EXCED_RANGE, "The filename or extension is too long."},
    {ERROR_BAD_FILE_TYPE, "The file is a pipe, socket or device, not a regular file."},
    {ERROR_FILE_TOO_LARGE, "The file size exceeds the limit allowed."},
    {ERROR_DIRECTORY, "The directory name is invalid."},
    {ERROR_DIRECTORY_NOT_SUPPORTED, "An operation is not supported on a directory."},
    {ERROR_CANT_RESOLVE_FILENAME, "The name of the file cannot be resolved by the system."},
};

}  // namespace

int ErrorFromErrno(int hostErrno) {
    switch (hostErrno) {
        case 0:
            return ERROR_SUCCESS;
        case ENOENT:
            return ERROR_FILE_NOT_FOUND;
        case ENOTDIR:
            return ERROR_PATH_NOT_FOUND;
        case EMFILE:
        case ENFILE:
            return ERROR_TOO_MANY_OPEN_FILES;
        case EACCES:
        case EPERM:
        case EISDIR:
            return ERROR_ACCESS_DENIED;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        case ENODEV:
            return ERROR_INVALID_DRIVE;
        case EXDEV:
            return ERROR_NOT_SAME_DEVICE;
        case EROFS:
            return ERROR_WRITE_PROTECT;
        case ENXIO:
        case ENOMEDIUM:
            return ERROR_NOT_READY;
        case EIO:
            return ERROR_READ_FAULT;
        case EBUSY:
        case ETXTBSY:
            return ERROR_SHARING_VIOLATION;
        case ENOTSUP:
            return ERROR_NOT_SUPPORTED;
        case EEXIST:
            return ERROR_ALREADY_EXISTS;
        case EINVAL:
            return ERROR_INVALID_PARAMETER;
        case ENOSPC:
        case EDQUOT:
            return ERROR_DISK_FULL;
        case ENOTEMPTY:
            return ERROR_DIR_NOT_EMPTY;
        case ENAMETOOLONG:
            return ERROR_FILENAME_EXCED_RANGE;
        case EFBIG:
            return ERROR_FILE_TOO_LARGE;
        case ELOOP:
            return ERROR_CANT_RESOLVE_FILENAME;
        default:
            return ERROR_GEN_FAILURE;
    }
}

int GetLastError() {
    return LastError;
}

void SetLastError(int error) {
    LastError = error;
}

int SetLastErrorFromErrno() {
    LastError = ErrorFromErrno(errno);
    return LastError;
}

std::string SysErrorMessage(int error) {
    for (const TErrorText& entry : kTexts) {
        if (entry.Error == error)
            return entry.Text;
    }
    return "System error " + std::to_string(error) + ".";
}

void RaiseLastOSError() {
    int error = GetLastError();
    throw EOSError(
        error, "System Error.  Code: " + std::to_string(error) + ".\n" + SysErrorMessage(error));
}
