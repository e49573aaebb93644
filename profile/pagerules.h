#pragma once

#include <string>
#include <vector>

#include "ct_views.h"
#include "platform/drivemap.h"

class QComboBox;
class QLineEdit;
class TNumberEdit;
class TProfile;

// What the profile editor and the profile wizard share about their pages: where the backups
// go, the password fields, the number of versions and the texts that sum a profile up.

// The drives whose folders a profile may guard: floppy, fixed, network and CD-ROM drives.
constexpr TDriveTypes kSourceDriveTypes = DriveTypeBit(DRIVE_REMOVABLE) |
                                          DriveTypeBit(DRIVE_FIXED) | DriveTypeBit(DRIVE_REMOTE) |
                                          DriveTypeBit(DRIVE_CDROM);

// ---- Target ----

// The target an entry of the target list stands for: the root "X:\" of the drive for an
// entry that carries a drive letter, else the entry's own text (a folder).
std::string TargetOfEntry(char driveLetter, const std::string& text);
// The target of the entry selected in box; empty when none is selected.
std::string SelectedTarget(const QComboBox* box);
// Fills box with the drives a backup may go to and selects the profile's target. A target
// folder below a drive's root is listed and selected as a folder of its own, so that the
// list gives back the same folder and never just its drive.
void FillTargetList(QComboBox* box, const TProfile* profile);
// Checks the selected target and gives it to the profile: 0, or the id of the message that
// says why not (758 none, 759 one of the folders guarded).
int ApplyTarget(TProfile& profile, const QComboBox* box);

// ---- Password ----

constexpr int kLongestPassword = 32;

// A password field: at most kLongestPassword characters, shown as one "*" each.
void SetUpPasswordField(QLineEdit* field);
// Makes both password fields usable or not; fields made unusable are emptied.
void EnablePasswordFields(QLineEdit* password, QLineEdit* confirmation, bool enabled);

// What the two password fields ask of a profile while "Password Protect" is checked.
enum class TPasswordEntry {
    peMismatch,   // the fields differ (case counts): message 763
    peEmpty,      // both empty and the profile has no password
    peNew,        // a password for a profile that has none
    peChanged,    // another password than the profile's
    peUnchanged,  // the profile's own password, or empty fields on a protected profile
};
TPasswordEntry ReadPasswordEntry(const TProfile& profile, const std::string& password,
                                 const std::string& confirmation);

// The sentence of the Security pages that says what a password does and does not do.
const char* PasswordProtectionNote();

// ---- Versions ----

constexpr int kFewestVersions = 1;
constexpr int kMostVersions = 10;
constexpr int kVersionsDigits = 2;

// The versions field: digits only, 1 to 10 once it is left.
void SetUpVersionsField(TNumberEdit* field);

// ---- Summary ----

// The drives of the folders guarded, for the summary, in alphabetical order: "Drives C, D
// (All Folders)" when each drive shows up once, "Drive C (Selected Folders)" when a drive
// holds several of them. Empty for no folders.
std::string SourceSummaryText(const std::vector<std::string>& folders);
// A list of masks as the summary shows it: ".doc, .txt".
std::string MaskSummaryText(const std::vector<std::string>& masks);
// "yes" or "no".
std::string YesNoText(bool yes);
