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

// The name the desktop would give the drive when its medium has no label.
VLSHARE_EXPORT std::string DefaultDriveName(char letter);
