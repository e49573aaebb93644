#pragma once

#include <string>

#include "platform/hostpath.h"
#include "vlshare_export.h"

// Host folders (absolute, without trailing slash) where the program and its files live.
// ExeFileHost and ExeFolderHost are empty when the system cannot say where the program is.
VLSHARE_EXPORT THostPath ExeFileHost();
VLSHARE_EXPORT THostPath ExeFolderHost();
VLSHARE_EXPORT THostPath HomeFolderHost();
// The folder for the profiles file, the log, the settings and the drive map:
// $VAULTAIRE_HOME when set, else the program's folder when it is writable, else
// $XDG_DATA_HOME/Vaultaire 2000. Created when missing.
VLSHARE_EXPORT THostPath DataFolderHost();
// $TMPDIR when set and a folder, else /tmp.
VLSHARE_EXPORT THostPath TempFolderHost();
// The folder of the help pages for a program in programFolder: beside the programs' folder,
// in share/vaultaire/help, alike in the build tree (build/bin, build/share/vaultaire/help)
// and when installed (PREFIX/bin, PREFIX/share/vaultaire/help). Empty for an empty folder.
VLSHARE_EXPORT THostPath HelpFolderFor(const THostPath& programFolder);
// HelpFolderFor the running program's folder; empty when the system cannot say where the
// program is.
VLSHARE_EXPORT THostPath HelpFolderHost();
// $XDG_CONFIG_HOME/autostart, or ~/.config/autostart.
VLSHARE_EXPORT THostPath AutostartFolderHost();
// The host folder of a special folder number (0 desktop, 2 programs menu, 7 startup), or
// empty for a number without one.
VLSHARE_EXPORT THostPath SpecialFolderHost(int folder);
// A path given by the user in host form, made absolute against the current folder and
// normalised (no ".", "..", doubled slashes); an absolute path is only normalised.
VLSHARE_EXPORT THostPath AbsoluteHostPath(const std::string& path);
