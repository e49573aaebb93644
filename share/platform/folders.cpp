#include "platform/folders.h"

#include <unistd.h>

#include <cstdlib>

#include "platform/hostfs.h"

namespace {

std::string FromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value && value[0] == '/' ? hostfs::Normalise(value) : std::string();
}

}  // namespace

std::string ExeFileHost() {
    char buffer[4096];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

std::string ExeFolderHost() {
    return hostfs::Parent(ExeFileHost());
}

std::string HomeFolderHost() {
    std::string home = FromEnvironment("HOME");
    return home.empty() ? "/" : home;
}

std::string DataFolderHost() {
    std::string folder = FromEnvironment("VAULTAIRE_HOME");
    if (folder.empty() && ::access(ExeFolderHost().c_str(), W_OK) == 0)
        folder = ExeFolderHost();
    if (folder.empty()) {
        std::string data = FromEnvironment("XDG_DATA_HOME");
        if (data.empty())
            data = HomeFolderHost() + "/.local/share";
        folder = data + "/Vaultaire 2000";
    }
    hostfs::MakeFolders(folder);
    return folder;
}

std::string TempFolderHost() {
    std::string folder = FromEnvironment("TMPDIR");
    return !folder.empty() && hostfs::IsDirectory(folder) ? folder : "/tmp";
}

std::string AutostartFolderHost() {
    std::string config = FromEnvironment("XDG_CONFIG_HOME");
    if (config.empty())
        config = HomeFolderHost() + "/.config";
    return config + "/autostart";
}

std::string SpecialFolderHost(int folder) {
    switch (folder) {
        case 0:
            return HomeFolderHost() + "/Desktop";
        case 2: {
            std::string data = FromEnvironment("XDG_DATA_HOME");
            return (data.empty() ? HomeFolderHost() + "/.local/share" : data) + "/applications";
        }
        case 7:
            return AutostartFolderHost();
        default:
            return {};
    }
}

std::string AbsoluteHostPath(const std::string& path) {
    if (!path.empty() && path[0] == '/')
        return hostfs::Normalise(path);
    char buffer[4096];
    std::string current = ::getcwd(buffer, sizeof buffer) ? buffer : "/";
    return hostfs::Normalise(current + "/" + path);
}
