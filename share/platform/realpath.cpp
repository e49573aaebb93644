#include "platform/realpath.h"

#include "platform/hostfs.h"
#include "platform/paths.h"

bool RealHostPath(const std::string& path, THostPath& real) {
    THostPath host;
    if (!HostPathOf(path, host))
        return false;
    real = hostfs::Canonical(host.Normalised());
    return true;
}

bool IsRealPathInside(const THostPath& real, const THostPath& realFolder) {
    return real.IsInside(realFolder);
}

bool LeadToTheSamePlace(const std::string& path, const std::string& other) {
    THostPath real, otherReal;
    return RealHostPath(path, real) && RealHostPath(other, otherReal) && real == otherReal;
}
