#pragma once

#include <functional>
#include <optional>
#include <string>

#include "vlforms_export.h"

class QComboBox;
class QWidget;
class TProfile;

// The drive and folder pickers of the dialogs, and the key filter of their number fields.
// A drive list's items carry the drive letter (upper case) as their attached value, under
// DriveLetterRole; a folder that is not a drive root carries 0.

enum : int {
    DriveLetterRole = 0x0100,  // Qt::UserRole
};

// The letter attached to item index of box, 0 for none or for an index out of range.
VLFORMS_EXPORT char AttachedDriveLetter(const QComboBox* box, int index);

// Fills box with the drives from A to Z that exist, leaving out RAM disks and, unless
// allowNetwork, network drives. Selects the drive of the profile's target and returns its
// index; with no such drive, a non-empty target is added as an item and selected, and -1 is
// returned either way.
VLFORMS_EXPORT int BuildDriveList(QComboBox* box, const TProfile* profile, bool allowNetwork);

// Lets the user choose a folder with the desktop's folder dialog, captioned caption. A
// folder on a network drive (unless allowNetwork) or a RAM disk is refused with a message,
// and so is one that lies under no drive. A drive root selects that drive's item; another
// folder is added and selected unless it is listed already, which leaves the selection as
// it is. True when a folder was chosen and accepted.
VLFORMS_EXPORT bool BrowseForFolder(QComboBox* box, const std::string& caption, bool allowNetwork);

// The desktop's folder dialog alone: the chosen folder in drive form, or none when the user
// chose nothing or a folder under no drive (which is refused with a message).
VLFORMS_EXPORT std::optional<std::string> ChooseFolder(QWidget* owner, const std::string& caption);

// The key filter of number fields: false for carriage return and for every character from
// ":" to 127, true for every other one.
VLFORMS_EXPORT bool IsValidChar(char c);

// What shows the folder dialog: given the owner and the caption, it returns the chosen host
// folder, or none. Tests put a script in its place; SetFolderDialog returns the one it
// replaces, and an empty function restores the desktop's dialog.
using TFolderDialog =
    std::function<std::optional<std::string>(QWidget* owner, const std::string& caption)>;
VLFORMS_EXPORT TFolderDialog SetFolderDialog(TFolderDialog dialog);
