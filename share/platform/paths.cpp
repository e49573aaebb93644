#include "platform/paths.h"

#include <algorithm>
#include <cctype>
#include <vector>

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

// The entry of the drive whose folder holds the host path, comparing real paths so that a
// symbolic link into a drive's folder counts as that drive.
const TDriveEntry* DriveHoldingHostPath(const TDriveMap& map, const std::string& hostPath) {
    std::string real = hostfs::Canonical(hostfs::Normalise(hostPath));
    const TDriveEntry* best = nullptr;
    size_t bestLength = 0;
    for (const TDriveEntry& entry : map.Entries()) {
        if (entry.HostFolder.empty())
            continue;
        std::string folder = hostfs::Canonical(entry.HostFolder);
        if (hostfs::IsInside(real, folder) && (!best || folder.size() > bestLength)) {
            best = &entry;
            bestLength = folder.size();
        }
    }
    return best;
}

const TDriveEntry* DriveHolding(const TDriveMap& map, const std::string& path) {
    if (IsDrivePath(path))
        return map.Find(path[0]);
    if (IsHostPath(path))
        return DriveHoldingHostPath(map, path);
    return nullptr;
}

}  // namespace

bool IsHostPath(const std::string& path) {
    return !path.empty() && path[0] == '/';
}

bool IsDrivePath(const std::string& path) {
    return path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]));
}

char SeparatorOf(const std::string& path) {
    return IsHostPath(path) ? '/' : '\\';
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
    identity[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
    return identity;
}

bool SamePath(const std::string& a, const std::string& b) {
    return a.size() == b.size() && PathIdentity(a) == PathIdentity(b);
}

bool HostPathOf(const std::string& path, std::string& host) {
    host.clear();
    if (IsHostPath(path)) {
        host = path;
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
    if (drive->HostFolder.empty() || (takesMedia && !hostfs::IsDirectory(drive->HostFolder))) {
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
    std::string mapped = drive->HostFolder == "/" ? std::string() : drive->HostFolder;
    for (const std::string& part : kept)
        mapped += "/" + part;
    host = mapped.empty() ? std::string("/") : std::move(mapped);
    return true;
}

bool HostPathForWriting(const std::string& path, std::string& host) {
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
        host.clear();
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
    std::string host;
    if (!drive || drive->HostFolder.empty() || !HostPathOf(path, host))
        return false;
    if (host == hostfs::Normalise(drive->HostFolder))
        return false;  // the drive's root: no folder on the way
    std::string folder = hostfs::Canonical(hostfs::Parent(host));
    return !hostfs::IsInside(folder, hostfs::Canonical(drive->HostFolder));
}

bool DrivePathOf(const std::string& hostPath, std::string& path) {
    path.clear();
    if (!IsHostPath(hostPath))
        return Fail(ERROR_PATH_NOT_FOUND);
    std::string normal = hostfs::Normalise(hostPath);
    auto map = CurrentDriveMap();
    const TDriveEntry* drive = map->FindByHostPath(normal);
    if (!drive) {
        // The path may reach a drive's folder through a symbolic link.
        normal = hostfs::Canonical(normal);
        drive = map->FindByHostPath(normal);
        if (!drive) {
            for (const TDriveEntry& entry : map->Entries()) {
                std::string folder = hostfs::Canonical(entry.HostFolder);
                if (!entry.HostFolder.empty() && hostfs::IsInside(normal, folder)) {
                    normal = entry.HostFolder + normal.substr(folder.size());
                    drive = map->FindByHostPath(normal);
                    break;
                }
            }
        }
    }
    if (!drive)
        return Fail(ERROR_PATH_NOT_FOUND);
    std::string rest = drive->HostFolder == "/" ? normal : normal.substr(drive->HostFolder.size());
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
