#include "platform/realpath.h"

#include "platform/hostfs.h"
#include "platform/paths.h"

bool RealHostPath(const std::string& path, std::string& real) {
    std::string host;
    if (!HostPathOf(path, host))
        return false;
    real = hostfs::Canonical(hostfs::Normalise(host));
    return true;
}

bool IsRealPathInside(const std::string& real, const std::string& realFolder) {
    return !real.empty() && !realFolder.empty() && hostfs::IsInside(real, realFolder);
}

bool LeadToTheSamePlace(const std::string& path, const std::string& other) {
    std::string real, otherReal;
    return RealHostPath(path, real) && RealHostPath(other, otherReal) && real == otherReal;
}
