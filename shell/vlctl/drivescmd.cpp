// vlctl drives: the drive letters and what stands behind them.
#include <cstdio>

#include "commands.h"
#include "platform/drivemap.h"
#include "platform/volume.h"

int RunDrives(const TArgs&) {
    auto map = CurrentDriveMap();
    std::printf("Drive map: %s\n", DriveMapFileName().CStr());
    std::printf("%-6s %-10s %-14s %12s %12s  %s\n", "drive", "type", "label", "free", "total",
                "folder");
    for (const TDriveEntry& drive : map->Entries()) {
        std::string root = std::string(1, drive.Letter) + ":\\";
        TVolumeInfo volume;
        int64_t total = 0, available = 0;
        bool medium =
            GetVolumeInformation(root, volume) && GetDiskFreeSpace(root, total, available);
        std::string folder = drive.HostFolder.IsEmpty() ? "(medium " + drive.Uuid + " not mounted)"
                                                        : drive.HostFolder.Text();
        if (medium) {
            std::printf("%-6s %-10s %-14s %12s %12s  %s\n",
                        (std::string(1, drive.Letter) + ":").c_str(), DriveTypeName(drive.Type),
                        volume.Label.c_str(), HumanBytes(available).c_str(),
                        HumanBytes(total).c_str(), folder.c_str());
        } else {
            std::printf("%-6s %-10s %-14s %12s %12s  %s\n",
                        (std::string(1, drive.Letter) + ":").c_str(), DriveTypeName(drive.Type), "",
                        "no medium", "", folder.c_str());
        }
    }
    // The letters listed are not those the user's map file meant: the listing is no success.
    return CurrentDriveMapProblem() ? kExitError : kExitOk;
}
