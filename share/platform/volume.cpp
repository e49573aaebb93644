#include "platform/volume.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <random>
#include <sstream>
#include <vector>

#include "ascii.h"
#include "platform/drivemap.h"
#include "platform/folders.h"
#include "platform/hostfs.h"
#include "platform/paths.h"
#include "platform/syserror.h"

namespace {

bool Fail(int error) {
    SetLastError(error);
    return false;
}

uint32_t SerialFromText(const std::string& text) {
    uint32_t serial = 0;
    int digits = 0;
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            continue;
        int value =
            std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : AsciiLower(c) - 'a' + 10;
        serial = serial << 4 | static_cast<uint32_t>(value);
        if (++digits == 8)
            break;
    }
    return serial;
}

constexpr const char* kVolumeFolder = ".vaultaire";
constexpr const char* kVolumeFile = ".vaultaire/volume";

bool ReadVolumeFile(const THostPath& folder, TVolumeInfo& info) {
    std::string text;
    if (!hostfs::ReadWholeFile(folder / kVolumeFile, text))
        return false;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("serial=", 0) == 0)
            info.Serial = SerialFromText(line.substr(7));
        if (line.rfind("label=", 0) == 0)
            info.Label = line.substr(6);
    }
    return true;
}

std::string SerialText(uint32_t serial) {
    char text[16];
    std::snprintf(text, sizeof text, "%04X-%04X", serial >> 16, serial & 0xFFFF);
    return text;
}

bool WriteVolumeFile(const THostPath& folder, const TVolumeInfo& info) {
    std::string text = "serial=" + SerialText(info.Serial) + "\nlabel=" + info.Label + "\n";
    return hostfs::MakeFolders(folder / kVolumeFolder) &&
           hostfs::WriteWholeFile(folder / kVolumeFile, text);
}

// The map entry of the drive of root ("A:\", in drive form: a host path names no drive),
// when a medium is in it.
bool FindMedium(const std::string& root, TDriveEntry& drive) {
    auto map = CurrentDriveMap();
    const TDriveEntry* found = IsDrivePath(root) ? map->Find(root[0]) : nullptr;
    if (!found)
        return Fail(ERROR_INVALID_DRIVE);
    if (found->HostFolder.IsEmpty() || !hostfs::IsDirectory(found->HostFolder))
        return Fail(ERROR_NOT_READY);
    drive = *found;
    return true;
}

bool FindWritableMedium(const std::string& root, TDriveEntry& drive) {
    if (!FindMedium(root, drive))
        return false;
    return !drive.WriteProtected || Fail(ERROR_WRITE_PROTECT);
}

bool HasControlCharacter(const std::string& text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

// The names in a folder, without "." and "..".
bool ListNames(const THostPath& folder, std::vector<std::string>& names) {
    names.clear();
    DIR* listing = ::opendir(folder.CStr());
    if (!listing) {
        SetLastErrorFromErrno();
        return false;
    }
    while (dirent* entry = ::readdir(listing)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(listing);
    return true;
}

// Walks stay on the medium: they do not enter another file system mounted on it, nor a
// folder that is another drive's root.
struct TMediumWalk {
    dev_t Device;
    std::shared_ptr<const TDriveMap> Map;

    bool StaysIn(const THostPath& path, const struct stat& info) const {
        if (info.st_dev != Device)
            return false;
        const TDriveEntry* drive = Map->FindByHostPath(path);
        return !drive || drive->HostFolder != path;
    }
};

bool StartWalk(const THostPath& folder, TMediumWalk& walk) {
    struct stat info;
    if (::stat(folder.CStr(), &info) != 0) {
        SetLastErrorFromErrno();
        return false;
    }
    walk = {info.st_dev, CurrentDriveMap()};
    return true;
}

// Bytes held by the regular files below folder.
int64_t BytesUsed(const THostPath& folder, const TMediumWalk& walk) {
    std::vector<std::string> names;
    ListNames(folder, names);
    int64_t used = 0;
    for (const std::string& name : names) {
        THostPath path = folder / name;
        struct stat info;
        if (::lstat(path.CStr(), &info) != 0)
            continue;
        if (S_ISREG(info.st_mode))
            used += static_cast<int64_t>(info.st_size);
        else if (S_ISDIR(info.st_mode) && walk.StaysIn(path, info))
            used += BytesUsed(path, walk);
    }
    return used;
}

// Removes everything inside folder. What the walk may not enter is left, and so are the
// folders that lead to it: kept tells.
bool EraseInside(const THostPath& folder, const TMediumWalk& walk, bool& kept) {
    std::vector<std::string> names;
    if (!ListNames(folder, names))
        return false;
    for (const std::string& name : names) {
        THostPath path = folder / name;
        struct stat info;
        if (::lstat(path.CStr(), &info) != 0)
            continue;
        if (!S_ISDIR(info.st_mode)) {
            if (::unlink(path.CStr()) != 0 && errno != ENOENT) {
                SetLastErrorFromErrno();
                return false;
            }
            continue;
        }
        if (!walk.StaysIn(path, info)) {
            kept = true;
            continue;
        }
        if ((info.st_mode & S_IRWXU) != S_IRWXU)
            ::chmod(path.CStr(), (info.st_mode & 07777) | S_IRWXU);
        bool keptBelow = false;
        if (!EraseInside(path, walk, keptBelow))
            return false;
        kept = kept || keptBelow;
        if (!keptBelow && ::rmdir(path.CStr()) != 0) {
            SetLastErrorFromErrno();
            return false;
        }
    }
    return true;
}

uint32_t NewSerial(uint32_t old) {
    std::random_device random;
    uint32_t serial;
    do {
        serial = random();
    } while (serial == 0 || serial == 0xFFFFFFFF || serial == old);
    return serial;
}

// The name of the /dev/disk/by-... link that leads to the device holding folder.
std::string DeviceLinkName(const std::string& byWhat, const THostPath& folder) {
    struct stat mounted;
    if (::stat(folder.CStr(), &mounted) != 0)
        return {};
    const THostPath links = THostPath("/dev/disk") / byWhat;
    DIR* listing = ::opendir(links.CStr());
    if (!listing)
        return {};
    std::string found;
    while (dirent* entry = ::readdir(listing)) {
        struct stat device;
        if (entry->d_name[0] != '.' && ::stat((links / entry->d_name).CStr(), &device) == 0 &&
            device.st_rdev == mounted.st_dev) {
            found = entry->d_name;
            break;
        }
    }
    ::closedir(listing);
    return found;
}

// Link names escape blanks and other characters as \xHH.
std::string UnescapeLinkName(const std::string& name) {
    std::string out;
    for (size_t i = 0; i < name.size(); ++i) {
        if (name.compare(i, 2, "\\x") == 0 && i + 3 < name.size() &&
            std::isxdigit(static_cast<unsigned char>(name[i + 2])) &&
            std::isxdigit(static_cast<unsigned char>(name[i + 3]))) {
            out += static_cast<char>(std::stoi(name.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            out += name[i];
        }
    }
    return out;
}

}  // namespace

bool GetVolumeInformation(const std::string& root, TVolumeInfo& info) {
    info = {};
    TDriveEntry drive;
    if (!FindMedium(root, drive))
        return false;
    if (ReadVolumeFile(drive.HostFolder, info) || drive.Simulated) {
        SetLastError(ERROR_SUCCESS);
        return true;
    }
    // Serial 0 stands for an unformatted medium, which the program offers to format: a
    // real medium never gets it.
    info.Serial = SerialFromText(DeviceLinkName("by-uuid", drive.HostFolder));
    if (info.Serial == 0)
        info.Serial = SerialFromText(drive.Uuid);
    struct statvfs fileSystem;
    if (info.Serial == 0 && ::statvfs(drive.HostFolder.CStr(), &fileSystem) == 0) {
        const uint64_t id = fileSystem.f_fsid;
        info.Serial = static_cast<uint32_t>(id ^ (id >> 32));
    }
    if (info.Serial == 0)
        info.Serial = 1;
    info.Label = UnescapeLinkName(DeviceLinkName("by-label", drive.HostFolder));
    SetLastError(ERROR_SUCCESS);
    return true;
}

bool SetVolumeLabel(const std::string& root, const std::string& label) {
    TDriveEntry drive;
    if (!FindWritableMedium(root, drive))
        return false;
    if (HasControlCharacter(label))
        return Fail(ERROR_INVALID_NAME);
    TVolumeInfo info;
    if (!GetVolumeInformation(root, info))
        return false;
    info.Label = label;
    if (!WriteVolumeFile(drive.HostFolder, info))
        return false;
    SetLastError(ERROR_SUCCESS);
    return true;
}

bool FormatVolume(const std::string& root, uint32_t& newSerial) {
    newSerial = 0;
    TDriveEntry drive;
    TMediumWalk walk;
    if (!FindWritableMedium(root, drive) || !StartWalk(drive.HostFolder, walk))
        return false;
    TVolumeInfo old;
    GetVolumeInformation(root, old);
    bool kept = false;
    if (!EraseInside(drive.HostFolder, walk, kept))
        return false;
    uint32_t serial = NewSerial(old.Serial);
    if (!WriteVolumeFile(drive.HostFolder, {serial, ""}))
        return false;
    newSerial = serial;
    SetLastError(ERROR_SUCCESS);
    return true;
}

bool GetDiskFreeSpace(const std::string& root, int64_t& total, int64_t& available) {
    total = available = 0;
    TDriveEntry drive;
    if (!FindMedium(root, drive))
        return false;
    struct statvfs space;
    if (::statvfs(drive.HostFolder.CStr(), &space) != 0) {
        SetLastErrorFromErrno();
        return false;
    }
    int64_t fileSystemTotal = static_cast<int64_t>(space.f_blocks) * space.f_frsize;
    int64_t fileSystemFree = static_cast<int64_t>(space.f_bavail) * space.f_frsize;
    if (drive.Capacity <= 0) {
        total = fileSystemTotal;
        available = fileSystemFree;
    } else {
        TMediumWalk walk;
        if (!StartWalk(drive.HostFolder, walk))
            return false;
        int64_t room = drive.Capacity - BytesUsed(drive.HostFolder, walk);
        total = drive.Capacity;
        available = std::max<int64_t>(0, std::min(room, fileSystemFree));
    }
    SetLastError(ERROR_SUCCESS);
    return true;
}

std::string DefaultDriveName(char letter) {
    const auto map = CurrentDriveMap();
    const TDriveEntry* drive = map->Find(letter);
    if (!drive)
        return {};
    if (drive->HostFolder == HomeFolderHost())
        return "Home";
    switch (drive->Type) {
        case DRIVE_REMOVABLE:
            return "Removable Disk";
        case DRIVE_REMOTE:
            return "Network Drive";
        case DRIVE_CDROM:
            return "CD Drive";
        case DRIVE_RAMDISK:
            return "RAM Disk";
        default:
            return "Local Disk";
    }
}
