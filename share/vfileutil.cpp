#include "vfileutil.h"

#include <cctype>
#include <vector>

#include "exceptions.h"
#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/paths.h"
#include "platform/syserror.h"
#include "platform/volume.h"
#include "strtable.h"

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

bool IsDriveRoot(const std::string& path) {
    return path.size() == 3 && IsDrivePath(path) && IsSeparator(path[2]);
}

// The drive form of a host folder when a drive holds it, else the host folder itself.
std::string ProgramFolder(const THostPath& hostFolder, bool withSlash) {
    std::string folder;
    if (!DrivePathOf(hostFolder, folder))
        folder = hostFolder.Text();
    return withSlash ? AppendSlash(folder) : RemoveSlash(folder);
}

std::string LastName(const std::string& path) {
    return ExtractFileName(RemoveSlash(path));
}

bool PathExists(const std::string& path) {
    return FileExists(path) || DirectoryExists(path);
}

// One argument of a desktop entry's Exec line, quoted, with the value's own escapes.
std::string ExecArgument(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        if (c == '%')
            quoted += '%';
        quoted += c;
    }
    quoted += '"';
    std::string escaped;
    for (char c : quoted)
        escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return escaped;
}

std::string DesktopValue(const std::string& text) {
    std::string value;
    for (char c : text) {
        if (c == '\n')
            value += "\\n";
        else if (c == '\\')
            value += "\\\\";
        else
            value += c;
    }
    return value;
}

}  // namespace

std::string AppendSlash(const std::string& path) {
    // Only a bare drive ("C:") ends in a colon that needs no separator: a colon at the
    // end of a longer path belongs to a folder's name ("C:\\src\\report:").
    bool bareDrive = path.size() == 2 && IsDrivePath(path);
    if (path.empty() || bareDrive || path.back() == '\\')
        return path;
    if (IsHostPath(path) && path.back() == '/')
        return path;
    if (path.size() == 1 && IsAsciiLetter(path[0]))
        return path + ":\\";
    return path + SeparatorOf(path);
}

std::string RemoveSlash(const std::string& path) {
    if (path.empty())
        return path;
    bool trailing = path.back() == '\\' || (IsHostPath(path) && path.back() == '/' && path != "/");
    return trailing ? path.substr(0, path.size() - 1) : path;
}

std::string ExtractFilePath(const std::string& path) {
    return path.substr(0, NameStartOf(path));
}

std::string ExtractFileName(const std::string& path) {
    return path.substr(NameStartOf(path));
}

std::string NormalisePath(const std::string& path) {
    if (!IsDrivePath(path))
        return path;
    std::vector<std::string> parts;
    size_t start = 2;
    while (start <= path.size()) {
        size_t end = path.find_first_of("\\/", start);
        if (end == std::string::npos)
            end = path.size();
        std::string part = path.substr(start, end - start);
        if (part == ".." && !parts.empty() && parts.back() != "..")
            parts.pop_back();
        else if (!part.empty() && part != ".")
            parts.push_back(part);
        start = end + 1;
    }
    std::string result(1, AsciiUpper(path[0]));
    result += ":";
    for (const std::string& part : parts)
        result += "\\" + part;
    return parts.empty() ? result + "\\" : result;
}

std::string GetExeDir(bool withSlash) {
    return ProgramFolder(ExeFolderHost(), withSlash);
}

std::string GetExeName() {
    return GetExeDir(true) + ExeFileHost().Name();
}

std::string GetDataDir(bool withSlash) {
    return ProgramFolder(DataFolderHost(), withSlash);
}

std::string GetTempDir() {
    return ProgramFolder(TempFolderHost(), true);
}

int GetTempFile(std::string& name, const std::string& prefix) {
    if (CreateUniqueFile(GetTempDir(), prefix, name))
        return 0;
    int error = GetLastError();
    return error != 0 ? error : ERROR_GEN_FAILURE;
}

std::string GetDisplayName(const std::string& path) {
    std::string full = AppendSlash(path);
    if (IsDriveRoot(full)) {
        TVolumeInfo volume;
        std::string name = GetVolumeInformation(full, volume) && !volume.Label.empty()
                               ? volume.Label
                               : DefaultDriveName(full[0]);
        if (name.empty())
            return {};
        return name + " (" + AsciiUpper(full[0]) + ":)";
    }
    return PathExists(path) ? LastName(path) : std::string();
}

std::string ShortToLongFileName(const std::string& path) {
    return PathExists(path) ? LastName(path) : std::string();
}

std::string ShortToLongPath(const std::string& path) {
    // Every name on the host is its own long name, so the path already is its long form.
    return path;
}

namespace {

// The desktop entry CreateShortcut writes for name in the special folder; empty for an
// unknown folder.
THostPath ShortcutFile(const std::string& name, int folder) {
    THostPath special = SpecialFolderHost(folder);
    if (special.IsEmpty())
        return {};
    return special / (name.substr(0, name.find('.')) + ".desktop");
}

}  // namespace

std::string ShortcutFileName(const std::string& name, int folder) {
    return ShortcutFile(name, folder).Text();
}

void CreateShortcut(const std::string& target, const std::string& name, int folder) {
    THostPath shortcut = ShortcutFile(name, folder);
    if (shortcut.IsEmpty())
        throw Exception("The special folder " + std::to_string(folder) + " does not exist.");
    THostPath host;
    if (!HostPathOf(target, host)) {
        throw Exception("Cannot make a shortcut to \"" + target + "\". " +
                        SysErrorMessage(GetLastError()));
    }
    std::string entry = "[Desktop Entry]\nType=Application\nName=" + DesktopValue(name) +
                        "\nExec=" + ExecArgument(host.Text()) +
                        "\nPath=" + DesktopValue(host.Parent().Text()) +
                        "\nTerminal=false\nX-GNOME-Autostart-enabled=true\n";
    // The special folders may lie under no drive: their files are named by host path.
    const std::string file = shortcut.Text();
    if (!ForceDirectories(shortcut.Parent().Text()) || !WriteFileAtomically(file, entry)) {
        throw Exception("Cannot write the shortcut \"" + file + "\". " +
                        SysErrorMessage(GetLastError()));
    }
}

void DeleteShortcut(const std::string& name, int folder) {
    std::string file = ShortcutFileName(name, folder);
    if (file.empty() || !FileExists(file))
        return;
    if (!DeleteFile(file)) {
        throw Exception("Cannot delete the shortcut \"" + file + "\". " +
                        SysErrorMessage(GetLastError()));
    }
}

namespace {

constexpr const char* kTrayProgram = "vaultaire";
constexpr int StrProductName = 101;

}  // namespace

std::string GetTrayProgramName() {
    return GetExeDir(true) + kTrayProgram;
}

void UpdateStartupShortcut(bool startWithWindows) {
    if (startWithWindows)
        CreateShortcut(GetTrayProgramName(), LoadStr(StrProductName), CSIDL_STARTUP);
    else
        DeleteShortcut(LoadStr(StrProductName), CSIDL_STARTUP);
}
