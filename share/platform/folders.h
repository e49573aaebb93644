#pragma once

#include <string>

#include "vlshare_export.h"

// Host folders (absolute, without trailing slash) where the program and its files live.
VLSHARE_EXPORT std::string ExeFileHost();
VLSHARE_EXPORT std::string ExeFolderHost();
VLSHARE_EXPORT std::string HomeFolderHost();
// The folder for the profiles file, the log, the settings and the drive map:
// $VAULTAIRE_HOME when set, else the program's folder when it is writable, else
// $XDG_DATA_HOME/Vaultaire 2000. Created when missing.
VLSHARE_EXPORT std::string DataFolderHost();
// $TMPDIR when set and a folder, else /tmp.
VLSHARE_EXPORT std::string TempFolderHost();
// $XDG_CONFIG_HOME/autostart, or ~/.config/autostart.
VLSHARE_EXPORT std::string AutostartFolderHost();
// The host folder of a special folder number (0 desktop, 2 programs menu, 7 startup), or
// empty for a number without one.
VLSHARE_EXPORT std::string SpecialFolderHost(int folder);
// path made absolute against the current folder and normalised (no ".", "..", doubled
// slashes); an absolute path is only normalised.
VLSHARE_EXPORT std::string AbsoluteHostPath(const std::string& path);
