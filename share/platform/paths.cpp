#include "platform/paths.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "ascii.h"
#include "platform/drivemap.h"
#include "platform/faults.h"
#include "platform/hostfs.h"
#include "platform/syserror.h"

namespace {

bool Fail(int error) {
    SetLastError(error);
    return false;
}

std::vector<std::string> SplitComponents(const std::string& text, const char* separators) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of(separators, start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start)
            parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

bool HasWildcard(const std::string& name) {
    return name.find_first_of("*?") != std::string::npos;
}

bool HoldsNul(const std::string& text) {
    return text.find('\0') != std::string::npos;
}

// The entry of the drive whose folder holds the host path, comparing real paths so that a
// symbolic link into a drive's folder counts as that drive.
const TDriveEntry* DriveHoldingHostPath(const TDriveMap& map, const THostPath& hostPath) {
    THostPath real = hostfs::Canonical(hostPath.Normalised());
    const TDriveEntry* best = nullptr;
    size_t bestLength = 0;
    for (const TDriveEntry& entry : map.Entries()) {
        if (entry.HostFolder.IsEmpty())
            continue;
        THostPath folder = hostfs::Canonical(entry.HostFolder);
        if (real.IsInside(folder) && (!best || folder.Text().size() > bestLength)) {
            best = &entry;
            bestLength = folder.Text().size();
        }
    }
    return best;
}

const TDriveEntry* DriveHolding(const TDriveMap& map, const std::string& path) {
    if (IsDrivePath(path))
        return map.Find(path[0]);
    THostPath host;
    if (IsHostPath(path) && HostPathOf(path, host))
        return DriveHoldingHostPath(map, host);
    return nullptr;
}

}  // namespace

bool IsHostPath(const std::string& path) {
    return !path.empty() && path[0] == '/';
}

bool IsDrivePath(const std::string& path) {
    return path.size() >= 2 && path[1] == ':' && IsAsciiLetter(path[0]);
}

char SeparatorOf(const std::string& path) {
    return IsHostPath(path) ? '/' : '\\';
}

std::string PathInFolder(const std::string& folder, const std::string& name) {
    bool endsWithSeparator = !folder.empty() && (folder.back() == '/' || folder.back() == '\\');
    return endsWithSeparator ? folder + name : folder + SeparatorOf(folder) + name;
}

size_t NameStartOf(const std::string& path) {
    size_t separator = path.find_last_of(IsHostPath(path) ? "/" : "\\/");
    if (separator != std::string::npos)
        return separator + 1;
    return IsDrivePath(path) ? 2 : 0;
}

std::string PathIdentity(const std::string& path) {
    // A drive letter names the same drive in either case; the names after it are told
    // apart as the host tells them apart.
    if (!IsDrivePath(path))
        return path;
    std::string identity = path;
    identity[0] = AsciiUpper(path[0]);
    return identity;
}

bool SamePath(const std::string& a, const std::string& b) {
    return a.size() == b.size() && PathIdentity(a) == PathIdentity(b);
}

bool HostPathOf(const std::string& path, THostPath& host) {
    host = THostPath();
    if (HoldsNul(path))
        return Fail(ERROR_INVALID_NAME);
    if (IsHostPath(path)) {
        host = THostPath(path);
        return true;
    }
    if (!IsDrivePath(path))
        return Fail(ERROR_PATH_NOT_FOUND);
    const auto map = CurrentDriveMap();
    const TDriveEntry* drive = map->Find(path[0]);
    if (!drive)
        return Fail(ERROR_PATH_NOT_FOUND);
    // A medium can only be missing from a drive that takes media out; elsewhere a missing
    // folder is reported by the operation itself.
    bool takesMedia = drive->Type == DRIVE_REMOVABLE || drive->Type == DRIVE_CDROM;
    if (drive->HostFolder.IsEmpty() || (takesMedia && !hostfs::IsDirectory(drive->HostFolder))) {
        return Fail(ERROR_NOT_READY);
    }
    std::vector<std::string> kept;
    for (const std::string& part : SplitComponents(path.substr(2), "\\/")) {
        if (part == ".")
            continue;
        if (part == "..") {
            if (kept.empty())
                return Fail(ERROR_BAD_PATHNAME);
            kept.pop_back();
            continue;
        }
        if (HasWildcard(part))
            return Fail(ERROR_INVALID_NAME);
        kept.push_back(part);
    }
    THostPath mapped = drive->HostFolder;
    for (const std::string& part : kept)
        mapped = mapped / part;
    host = std::move(mapped);
    return true;
}

bool HostPathForWriting(const std::string& path, THostPath& host) {
    BeforeFileSystemChange();
    if (!HostPathOf(path, host))
        return false;
    auto map = CurrentDriveMap();
    bool anyProtected = std::any_of(map->Entries().begin(), map->Entries().end(),
                                    [](const TDriveEntry& e) { return e.WriteProtected; });
    if (!anyProtected)
        return true;
    const TDriveEntry* drive = DriveHolding(*map, path);
    if (drive && drive->WriteProtected) {
        host = THostPath();
        return Fail(ERROR_WRITE_PROTECT);
    }
    return true;
}

char DriveLetterOf(const std::string& path) {
    auto map = CurrentDriveMap();
    const TDriveEntry* drive = DriveHolding(*map, path);
    return drive ? drive->Letter : 0;
}

bool LeavesItsDrive(const std::string& path) {
    if (!IsDrivePath(path))
        return false;
    const auto map = CurrentDriveMap();
    const TDriveEntry* drive = map->Find(path[0]);
    THostPath host;
    if (!drive || drive->HostFolder.IsEmpty() || !HostPathOf(path, host))
        return false;
    if (host == drive->HostFolder.Normalised())
        return false;  // the drive's root: no folder on the way
    THostPath folder = hostfs::Canonical(host.Parent());
    return !folder.IsInside(hostfs::Canonical(drive->HostFolder));
}

bool DrivePathOf(const THostPath& hostPath, std::string& path) {
    path.clear();
    if (hostPath.IsEmpty())
        return Fail(ERROR_PATH_NOT_FOUND);
    THostPath normal = hostPath.Normalised();
    auto map = CurrentDriveMap();
    const TDriveEntry* drive = map->FindByHostPath(normal);
    if (!drive) {
        // The path may reach a drive's folder through a symbolic link.
        normal = hostfs::Canonical(normal);
        drive = map->FindByHostPath(normal);
        if (!drive) {
            for (const TDriveEntry& entry : map->Entries()) {
                if (entry.HostFolder.IsEmpty())
                    continue;
                THostPath folder = hostfs::Canonical(entry.HostFolder);
                if (normal.IsInside(folder)) {
                    normal = THostPath(entry.HostFolder.Text() +
                                       normal.Text().substr(folder.Text().size()));
                    drive = map->FindByHostPath(normal);
                    break;
                }
            }
        }
    }
    if (!drive)
        return Fail(ERROR_PATH_NOT_FOUND);
    const std::string& folder = drive->HostFolder.Text();
    std::string rest = folder == "/" ? normal.Text() : normal.Text().substr(folder.size());
    std::string result = std::string(1, drive->Letter) + ":";
    for (const std::string& part : SplitComponents(rest, "/")) {
        if (part.find('\\') != std::string::npos || HasWildcard(part)) {
            return Fail(ERROR_INVALID_NAME);
        }
        result += "\\" + part;
    }
    path = result.size() == 2 ? result + "\\" : result;
    return true;
}
