#include "platform/folders.h"

#include <unistd.h>

#include <cstdlib>

#include "platform/helplayout.h"
#include "platform/hostfs.h"

namespace {

// An environment variable that names an absolute host path, normalised; empty otherwise.
THostPath FromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value && value[0] == '/' ? THostPath(value).Normalised() : THostPath();
}

THostPath XdgDataHome() {
    THostPath data = FromEnvironment("XDG_DATA_HOME");
    return data.IsEmpty() ? HomeFolderHost() / ".local/share" : data;
}

}  // namespace

THostPath ExeFileHost() {
    char buffer[4096];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 && buffer[0] == '/' ? THostPath(std::string(buffer, static_cast<size_t>(n)))
                                     : THostPath();
}

THostPath ExeFolderHost() {
    return ExeFileHost().Parent();
}

THostPath HomeFolderHost() {
    THostPath home = FromEnvironment("HOME");
    return home.IsEmpty() ? THostPath("/") : home;
}

THostPath DataFolderHost() {
    THostPath folder = FromEnvironment("VAULTAIRE_HOME");
    if (folder.IsEmpty() && !ExeFolderHost().IsEmpty() &&
        ::access(ExeFolderHost().CStr(), W_OK) == 0)
        folder = ExeFolderHost();
    if (folder.IsEmpty())
        folder = XdgDataHome() / "Vaultaire 2000";
    hostfs::MakeFolders(folder);
    return folder;
}

THostPath TempFolderHost() {
    THostPath folder = FromEnvironment("TMPDIR");
    return !folder.IsEmpty() && hostfs::IsDirectory(folder) ? folder : THostPath("/tmp");
}

THostPath HelpFolderFor(const THostPath& programFolder) {
    if (programFolder.IsEmpty())
        return {};
    return (programFolder / VL_HELP_FROM_PROGRAM).Normalised();
}

THostPath HelpFolderHost() {
    return HelpFolderFor(ExeFolderHost());
}

THostPath AutostartFolderHost() {
    THostPath config = FromEnvironment("XDG_CONFIG_HOME");
    if (config.IsEmpty())
        config = HomeFolderHost() / ".config";
    return config / "autostart";
}

THostPath SpecialFolderHost(int folder) {
    switch (folder) {
        case 0:
            return HomeFolderHost() / "Desktop";
        case 2:
            return XdgDataHome() / "applications";
        case 7:
            return AutostartFolderHost();
        default:
            return {};
    }
}

THostPath AbsoluteHostPath(const std::string& path) {
    if (!path.empty() && path[0] == '/')
        return THostPath(path).Normalised();
    char buffer[4096];
    std::string current = ::getcwd(buffer, sizeof buffer) ? buffer : "/";
    return THostPath(current + "/" + path).Normalised();
}
