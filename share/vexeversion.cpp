#include "vexeversion.h"

#include <vector>

#include "platform/paths.h"
#include "vfileutil.h"

#define VL_STRINGIFY2(x) #x
#define VL_STRINGIFY(x) VL_STRINGIFY2(x)

namespace {

struct TVersionString {
    const char* Key;
    const char* Value;
};

// The version information every program of the product is built with.
constexpr TVersionString kVersionInfo[] = {
    {"CompanyName", "Orvanet"},
    {"FileDescription", "Vaultaire 2000 backup utility"},
    {"FileVersion",
     VL_STRINGIFY(VL_VERSION_MAJOR) "." VL_STRINGIFY(VL_VERSION_MINOR) "." VL_STRINGIFY(
         VL_VERSION_PATCH) "." VL_STRINGIFY(VL_VERSION_TWEAK)},
    {"InternalName", "vaultaire"},
    {"LegalCopyright", "Copyright (C) Orvanet"},
    {"LegalTrademarks", ""},
    {"OriginalFilename", "vaultaire"},
    {"ProductName", "Vaultaire 2000"},
    {"ProductVersion", VL_STRINGIFY(VL_VERSION_MAJOR) "." VL_STRINGIFY(
                           VL_VERSION_MINOR) "." VL_STRINGIFY(VL_VERSION_PATCH)},
    {"Comments", ""},
};

}  // namespace

TVExeVersion::TVExeVersion() {
    SetUseCurrent(true);
}

void TVExeVersion::SetFilename(const std::string& fileName) {
    Filename = fileName;
    UseCurrentApplication = SamePath(fileName, GetExeName());
}

void TVExeVersion::SetUseCurrent(bool useCurrent) {
    UseCurrentApplication = useCurrent;
    if (useCurrent)
        Filename = GetExeName();
}

std::string TVExeVersion::GetInfo(const std::string& key) const {
    if (!UseCurrentApplication)
        return {};
    for (const TVersionString& entry : kVersionInfo) {
        if (key == entry.Key)
            return entry.Value;
    }
    return {};
}

std::string TVExeVersion::VersionPart(int index) const {
    std::string version = GetFileVersion();
    size_t start = 0;
    for (int i = 0; i < index; ++i) {
        start = version.find('.', start);
        if (start == std::string::npos)
            return {};
        ++start;
    }
    return version.substr(start, version.find('.', start) - start);
}

std::string TVExeVersion::GetShortVersion() const {
    if (GetFileVersion().empty())
        return {};
    return GetMajorVersion() + "." + GetMinorVersion() + GetRelease();
}
