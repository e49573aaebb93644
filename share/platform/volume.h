#pragma once

#include <cstdint>
#include <string>

#include "vlshare_export.h"

// Volume serial numbers and labels. A simulated medium, and any medium the program has
// labelled or formatted, keeps them in the file ".vaultaire/volume" at its root; a medium
// without that file falls back to its file system's UUID and label, and a simulated one
// without it has serial 0 (not formatted).

struct TVolumeInfo {
    uint32_t Serial = 0;
    std::string Label;
};

// Reads the volume information of the drive of root ("A:\"). Fails (false, last error
// set) when the drive does not exist (15) or holds no medium (21).
VLSHARE_EXPORT bool GetVolumeInformation(const std::string& root, TVolumeInfo& info);

// Writes label as the volume label of the medium in the drive of root, keeping its serial
// number (a medium without a volume file gets one, with the serial GetVolumeInformation
// reports). Fails (false, last error set) for no drive (15), no medium (21), a
// write-protected medium (19) or a label holding control characters (123).
VLSHARE_EXPORT bool SetVolumeLabel(const std::string& root, const std::string& label);

// Erases everything on the medium in the drive of root, dot-folders included, and gives it
// a new random serial number (never 0 and never the old one) and an empty label. Fails
// (false, last error set) as SetVolumeLabel does; a failure part way leaves the medium
// partly erased, as a failed format would.
VLSHARE_EXPORT bool FormatVolume(const std::string& root, uint32_t& newSerial);

// Size and room of the medium in the drive of root, in bytes. For a drive with a capacity
// in the drive map, total is that capacity and available what its files leave of it (no
// more than the file system holding them has free). Fails (false, last error set) for no
// drive (15) or no medium (21).
VLSHARE_EXPORT bool GetDiskFreeSpace(const std::string& root, int64_t& total, int64_t& available);

// The name the desktop would give the drive when its medium has no label.
VLSHARE_EXPORT std::string DefaultDriveName(char letter);
