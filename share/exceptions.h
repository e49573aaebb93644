#pragma once

#include <exception>
#include <string>

#include "vlshare_export.h"

// Failures inside the model, the formats and the engine are exceptions of this family.
class VLSHARE_EXPORT Exception : public std::exception {
  public:
    explicit Exception(std::string message) : Message(std::move(message)) {}
    const char* what() const noexcept override { return Message.c_str(); }

    std::string Message;
};

// The silent abort: the user cancelled. Callers treat it as a cancel, not as an error.
class VLSHARE_EXPORT EAbort : public Exception {
  public:
    explicit EAbort(std::string message = "Operation aborted") : Exception(std::move(message)) {}
};

class VLSHARE_EXPORT ERangeError : public Exception {
  public:
    using Exception::Exception;
};

// A failed system call; ErrorCode is the system error number (see platform/syserror.h).
class VLSHARE_EXPORT EOSError : public Exception {
  public:
    EOSError(int errorCode, std::string message)
        : Exception(std::move(message)), ErrorCode(errorCode) {}
    int ErrorCode;
};

class VLSHARE_EXPORT EStreamError : public Exception {
  public:
    using Exception::Exception;
};

class VLSHARE_EXPORT EReadError : public EStreamError {
  public:
    explicit EReadError(std::string message = "Stream read error")
        : EStreamError(std::move(message)) {}
};

class VLSHARE_EXPORT EWriteError : public EStreamError {
  public:
    explicit EWriteError(std::string message = "Stream write error")
        : EStreamError(std::move(message)) {}
};

// Opening or creating a file failed; ErrorCode is the system error number.
class VLSHARE_EXPORT EFOpenError : public EStreamError {
  public:
    EFOpenError(int errorCode, std::string message)
        : EStreamError(std::move(message)), ErrorCode(errorCode) {}
    int ErrorCode;
};

class VLSHARE_EXPORT EFCreateError : public EFOpenError {
  public:
    using EFOpenError::EFOpenError;
};
