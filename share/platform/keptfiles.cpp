#include "platform/keptfiles.h"

#include <sys/stat.h>

#include <cerrno>

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/syserror.h"

namespace {

// Far more kept copies than anyone keeps; past it something else is wrong.
constexpr int kMaxKeptCopies = 10000;

std::string KeptName(const std::string& path, int number) {
    std::string name = path + ".damaged";
    return number == 1 ? name : name + "-" + std::to_string(number);
}

}  // namespace

TFileKind FileKindOf(const std::string& path, int64_t& size) {
    size = 0;
    THostPath host;
    if (!HostPathOf(path, host))
        return fkOther;
    struct stat info;
    if (::stat(host.CStr(), &info) == 0) {
        if (!S_ISREG(info.st_mode))
            return fkOther;
        size = info.st_size;
        return fkRegular;
    }
    bool missing = errno == ENOENT;
    SetLastErrorFromErrno();
    if (!missing)
        return fkOther;
    // A link whose target is missing still stands in the file's place.
    return ::lstat(host.CStr(), &info) == 0 ? fkOther : fkMissing;
}

bool KeepDamagedFile(const std::string& path, std::string& keptAs) {
    for (int number = 1; number <= kMaxKeptCopies; ++number) {
        keptAs = KeptName(path, number);
        if (RenameFile(path, keptAs))
            return true;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    keptAs.clear();
    return false;
}
