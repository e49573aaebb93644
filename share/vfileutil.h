#pragma once

#include <string>

#include "vlshare_export.h"

// Path forms, the program's folders, temporary files, display names and shortcuts.
// Paths are in drive form ("C:\Data"); the program's own folders are in host form
// ("/opt/vaultaire/") when they lie under no drive, and these helpers then keep "/"
// as the separator.

// path with a trailing separator: unchanged when empty, a bare drive ("C:") or ending in
// a separator; a single letter becomes a drive root (C becomes C:\).
VLSHARE_EXPORT std::string AppendSlash(const std::string& path);
// path without a trailing separator (C:\ becomes C:).
VLSHARE_EXPORT std::string RemoveSlash(const std::string& path);

// A drive path in its one written form: the letter in upper case, backslashes only, no
// doubled separators, no "." or ".." steps ("C:\a\..\b" is "C:\b"; a ".." above the root
// stays, for the file functions to refuse), no trailing separator but at a drive root
// ("C:" is "C:\"). Any other path comes back unchanged.
VLSHARE_EXPORT std::string NormalisePath(const std::string& path);

// The folder part of path with its separator ("C:\\Data\\" for "C:\\Data\\a.txt"), and the
// name after it ("a.txt"); host paths split at "/" only. A colon splits only as a drive's
// own ("C:a.txt"): "C:\\src\\report:v2.txt" is the name "report:v2.txt" in "C:\\src\\".
VLSHARE_EXPORT std::string ExtractFilePath(const std::string& path);
VLSHARE_EXPORT std::string ExtractFileName(const std::string& path);

// The running program's folder.
VLSHARE_EXPORT std::string GetExeDir(bool withSlash);
// The running program's file.
VLSHARE_EXPORT std::string GetExeName();
// The folder of the profiles file, the log, the settings and the drive map.
VLSHARE_EXPORT std::string GetDataDir(bool withSlash);
// The temporary folder, with a trailing separator.
VLSHARE_EXPORT std::string GetTempDir();
// Creates a new, empty, uniquely named file in GetTempDir whose name begins with prefix;
// name := its path and 0 is returned. On failure name := "" and the system error number
// is returned.
VLSHARE_EXPORT int GetTempFile(std::string& name, const std::string& prefix);

// The name the desktop shows for a path: "Label (C:)" for a drive root, the last name
// otherwise; empty for a drive that does not exist.
VLSHARE_EXPORT std::string GetDisplayName(const std::string& path);

// Long names: the host keeps no second, short name for a file, so a path's names are
// already its long names. Both give empty for a path that does not exist.
VLSHARE_EXPORT std::string ShortToLongFileName(const std::string& path);
VLSHARE_EXPORT std::string ShortToLongPath(const std::string& path);

// Special folders that can hold shortcuts.
enum : int {
    CSIDL_DESKTOP = 0,
    CSIDL_PROGRAMS = 2,
    CSIDL_STARTUP = 7,
};

// Creates (or replaces) a desktop entry for target in the special folder: its file name
// is name up to its first dot followed by ".desktop". Raises Exception on failure.
VLSHARE_EXPORT void CreateShortcut(const std::string& target, const std::string& name, int folder);
// Deletes the entry CreateShortcut made for name; a missing entry is no error.
VLSHARE_EXPORT void DeleteShortcut(const std::string& name, int folder);
// The file CreateShortcut writes (host path), or empty for an unknown folder.
VLSHARE_EXPORT std::string ShortcutFileName(const std::string& name, int folder);

// The tray program's file, in the running program's folder: what the Startup folder's
// shortcut starts, whichever of the programs (the tray program, vlctl, a dialog module's
// host) makes the shortcut.
VLSHARE_EXPORT std::string GetTrayProgramName();
// Makes the Startup folder's shortcut "Vaultaire 2000" follow the setting: an entry that
// starts the tray program at login, or none. Raises Exception on failure.
VLSHARE_EXPORT void UpdateStartupShortcut(bool startWithWindows);
