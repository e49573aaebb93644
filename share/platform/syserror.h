#pragma once

#include <string>

#include "vlshare_export.h"

// System error numbers as the rest of the program knows them (the numbers its messages and
// log texts are keyed to), mapped from the host's errno values.
enum : int {
    ERROR_SUCCESS = 0,
    ERROR_FILE_NOT_FOUND = 2,
    ERROR_PATH_NOT_FOUND = 3,
    ERROR_TOO_MANY_OPEN_FILES = 4,
    ERROR_ACCESS_DENIED = 5,
    ERROR_NOT_ENOUGH_MEMORY = 8,
    ERROR_INVALID_DRIVE = 15,
    ERROR_NOT_SAME_DEVICE = 17,
    ERROR_WRITE_PROTECT = 19,
    ERROR_NOT_READY = 21,
    ERROR_READ_FAULT = 30,
    ERROR_GEN_FAILURE = 31,
    ERROR_SHARING_VIOLATION = 32,
    ERROR_HANDLE_DISK_FULL = 39,
    ERROR_NOT_SUPPORTED = 50,
    ERROR_FILE_EXISTS = 80,
    ERROR_INVALID_PARAMETER = 87,
    ERROR_DISK_FULL = 112,
    ERROR_INVALID_NAME = 123,
    ERROR_DIR_NOT_EMPTY = 145,
    ERROR_BAD_PATHNAME = 161,
    ERROR_ALREADY_EXISTS = 183,
    ERROR_FILENAME_EXCED_RANGE = 206,
    ERROR_BAD_FILE_TYPE = 222,
    ERROR_FILE_TOO_LARGE = 223,
    ERROR_DIRECTORY = 267,
    ERROR_DIRECTORY_NOT_SUPPORTED = 336,
    ERROR_CANT_RESOLVE_FILENAME = 1921,
};

// The error number for a host errno value.
VLSHARE_EXPORT int ErrorFromErrno(int hostErrno);

// The calling thread's last system error, as set by the platform functions.
VLSHARE_EXPORT int GetLastError();
VLSHARE_EXPORT void SetLastError(int error);
// Sets the last error from errno and returns it.
VLSHARE_EXPORT int SetLastErrorFromErrno();

// The message text of an error number ("Access is denied." for 5).
VLSHARE_EXPORT std::string SysErrorMessage(int error);

// Raises EOSError for the last error.
[[noreturn]] VLSHARE_EXPORT void RaiseLastOSError();
