#include "platform/realpath.h"

#include <sys/stat.h>

#include "platform/hostfs.h"
#include "platform/paths.h"

bool RealHostPath(const std::string& path, THostPath& real) {
    THostPath host;
    if (!HostPathOf(path, host))
        return false;
    real = hostfs::Canonical(host.Normalised());
    return true;
}

THostPath RealPathInFolder(const THostPath& realFolder, const std::string& name) {
    THostPath entry = realFolder / name;
    struct stat info;
    // Only a link leads elsewhere; anything else (also nothing) is where it is named.
    if (::lstat(entry.CStr(), &info) == 0 && S_ISLNK(info.st_mode))
        return hostfs::Canonical(entry);
    return entry;
}

bool IsRealPathInside(const THostPath& real, const THostPath& realFolder) {
    return real.IsInside(realFolder);
}

bool LeadToTheSamePlace(const std::string& path, const std::string& other) {
    THostPath real, otherReal;
    return RealHostPath(path, real) && RealHostPath(other, otherReal) && real == otherReal;
}
