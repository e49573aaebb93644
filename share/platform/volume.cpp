#include "platform/volume.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cctype>
#include <sstream>

#include "platform/drivemap.h"
#include "platform/folders.h"
#include "platform/hostfs.h"
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
            std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::tolower(c) - 'a' + 10;
        serial = serial << 4 | static_cast<uint32_t>(value);
        if (++digits == 8)
            break;
    }
    return serial;
}

bool ReadVolumeFile(const std::string& folder, TVolumeInfo& info) {
    std::string text;
    if (!hostfs::ReadFile(folder + "/.vaultaire/volume", text))
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

// The name of the /dev/disk/by-... link that leads to the device holding folder.
std::string DeviceLinkName(const std::string& byWhat, const std::string& folder) {
    struct stat mounted;
    if (::stat(folder.c_str(), &mounted) != 0)
        return {};
    std::string links = "/dev/disk/" + byWhat;
    DIR* listing = ::opendir(links.c_str());
    if (!listing)
        return {};
    std::string found;
    while (dirent* entry = ::readdir(listing)) {
        struct stat device;
        std::string path = links + "/" + entry->d_name;
        if (entry->d_name[0] != '.' && ::stat(path.c_str(), &device) == 0 &&
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
    if (root.empty())
        return Fail(ERROR_INVALID_DRIVE);
    const TDriveEntry* drive = CurrentDriveMap()->Find(root[0]);
    if (!drive)
        return Fail(ERROR_INVALID_DRIVE);
    if (drive->HostFolder.empty() || !hostfs::IsDirectory(drive->HostFolder)) {
        return Fail(ERROR_NOT_READY);
    }
    if (ReadVolumeFile(drive->HostFolder, info) || drive->Simulated) {
        SetLastError(ERROR_SUCCESS);
        return true;
    }
    info.Serial = SerialFromText(DeviceLinkName("by-uuid", drive->HostFolder));
    info.Label = UnescapeLinkName(DeviceLinkName("by-label", drive->HostFolder));
    SetLastError(ERROR_SUCCESS);
    return true;
}

std::string DefaultDriveName(char letter) {
    const TDriveEntry* drive = CurrentDriveMap()->Find(letter);
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
