#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/hostpath.h"
#include "vlshare_export.h"

// Drive types as the rest of the program knows them.
enum : int {
    DRIVE_UNKNOWN = 0,
    DRIVE_NO_ROOT_DIR = 1,
    DRIVE_REMOVABLE = 2,
    DRIVE_FIXED = 3,
    DRIVE_REMOTE = 4,
    DRIVE_CDROM = 5,
    DRIVE_RAMDISK = 6,
};

// One drive letter and the host folder behind it.
struct VLSHARE_EXPORT TDriveEntry {
    char Letter = 0;  // 'A' ... 'Z'
    int Type = DRIVE_FIXED;
    THostPath HostFolder;  // without trailing slash; empty: no medium
    std::string Uuid;      // file-system UUID of a remembered medium, else empty
    int64_t Capacity = 0;  // capacity of a simulated medium in bytes; 0: the file system's
    bool WriteProtected = false;
    bool Simulated = false;  // a folder standing in for a medium (tests, demonstrations)

    bool operator==(const TDriveEntry&) const = default;
};

// Letters and host folders. The default map makes the home folder C: and gives each
// mounted removable, optical, network or RAM file system a letter from D: on; a map file
// in the data folder can change or add letters (see FormatDriveMapHelp for its form).
class VLSHARE_EXPORT TDriveMap {
  public:
    // The entry of letter (either case), or null.
    const TDriveEntry* Find(char letter) const;
    // The entry whose host folder is the longest prefix of hostPath (at a folder
    // boundary), or null.
    const TDriveEntry* FindByHostPath(const THostPath& hostPath) const;
    // Adds or replaces the entry of its letter.
    void Set(const TDriveEntry& entry);
    void Remove(char letter);

    // Bit n set for each letter 'A' + n that exists.
    uint32_t LogicalDrives() const;

    const std::vector<TDriveEntry>& Entries() const { return Drives; }
    bool DetectMedia = true;  // add mounted media to the letters of the file

  private:
    std::vector<TDriveEntry> Drives;  // sorted by letter
};

struct TDriveMapError {
    int Line = 0;
    std::string Message;
};

// Reads the text of a map file. On the first bad line, error names it and false is returned.
VLSHARE_EXPORT bool ParseDriveMap(const std::string& text, TDriveMap& map, TDriveMapError& error);
// The text of a map file for map, with the explanatory comment at its top.
VLSHARE_EXPORT std::string FormatDriveMap(const TDriveMap& map);
VLSHARE_EXPORT std::string FormatDriveMapHelp();

// A file system the host has mounted, as the default map judges it.
struct TMountedMedium {
    THostPath MountPoint;
    std::string FileSystem;
    std::string Uuid;
    int Type = DRIVE_UNKNOWN;  // DRIVE_UNKNOWN: not a medium that gets a letter
};

// Gives each medium a letter: a remembered one (by UUID), else the next free letter from
// D:. Returns true when a new UUID was remembered in map.
VLSHARE_EXPORT bool AssignMediaLetters(TDriveMap& map, const std::vector<TMountedMedium>& media);

// Why the map file cannot be used: the file, the line at fault (0 when the file as a whole
// cannot be read: a folder, a pipe or device, no permission, too large) and what is wrong.
struct TDriveMapProblem {
    THostPath File;
    int Line = 0;
    std::string Text;
};

// The map in use, loaded on first use from the map file; without one, the default map.
// A map file that cannot be used is never written, and no letter it may mean is guessed:
// a damaged file gives the default map less every letter it names, an unreadable one
// gives no letters at all; neither hands letters to mounted media.
VLSHARE_EXPORT std::shared_ptr<const TDriveMap> CurrentDriveMap();
// Reads the map file and the mounted media again.
VLSHARE_EXPORT void ReloadDriveMap();
// The problem of the map file in use, if it has one.
VLSHARE_EXPORT std::optional<TDriveMapProblem> CurrentDriveMapProblem();

// Receives the problem of a map file each time the file is loaded, to tell the user: this
// layer shows nothing itself. It is called once the map is in place and without the map's
// lock held, so it may ask for the map.
using TDriveMapProblemHandler = void (*)(const TDriveMapProblem& problem);
VLSHARE_EXPORT void SetDriveMapProblemHandler(TDriveMapProblemHandler handler);
// Path of the map file.
VLSHARE_EXPORT THostPath DriveMapFileName();

// The word for a drive type in the map file and in listings ("removable", "fixed", ...);
// "unknown" for a type that has none.
VLSHARE_EXPORT const char* DriveTypeName(int type);

// The drive type of a root such as "C:\" (DRIVE_NO_ROOT_DIR for a letter without a drive).
VLSHARE_EXPORT int GetDriveType(const std::string& root);
VLSHARE_EXPORT uint32_t GetLogicalDrives();
