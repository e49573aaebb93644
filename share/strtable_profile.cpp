// The texts of the profile dialogs: ids 751-781, kept byte for byte.

#include "strtable.h"

static constexpr TStringEntry kProfileStrings[] = {
    // Captions, appended to string 101.
    {751, " Profile Wizard"},
    {752, " Edit Profile - "},

    // Closing the wizard and the editor.
    {753, "Are you sure you want to cancel? The current profile is incomplete."},
    {754, "Do you want to save your changes?"},

    // Locations page.
    {756, "Select target drive/folder"},
    {757, "There are no folders selected to guard."},
    {758, "There is no target drive/folder selected."},
    {759,
     "The target folder you have selected is one of the folders selected to monitor. "
     "Please select another target folder."},

    // File types.
    {760, "There are no files types selected to monitor."},
    {761, "The file type you have chosen cannot be added to the excluded list."},
    {762,
     "This profile is already configured to monitor \"All Files.\" No other file types may "
     "be added."},

    // Passwords and titles.
    {763,
     "\"Password\" and \"Confirm Password\" fields do not match. Please re-enter your "
     "password."},
    {764,
     "You have not entered a password. If you do not want the backed-up files to be "
     "password-protected, please uncheck the \"Password Protect\" box."},
    {765, "That is not the correct password."},
    {766, "Your password has been successfully changed."},
    {767, "This profile is no longer password protected."},
    {768, "That name already exists. Please enter another name."},
    {769, "You have not entered a title."},

    // Moving a mask between the lists.
    {770,
     "This file type is contained in the included file types list. If you choose Yes, it "
     "will be deleted from the included file list. Are You Sure?"},
    {771,
     "This file type is contained in the excluded file types list. If you choose Yes, it "
     "will be deleted from the excluded file list. Are You Sure?"},

    // Summary page.
    {772, "Drives"},
    {773, "Drive"},
    {774, " (All Folders)"},
    {775, " (Selected Folders)"},
    {776, "yes"},
    {777, "no"},

    // Folder picker. 778 continues in our own words after its first sentence.
    {778,
     "Vaultaire 2000 does not perform backups to network drives. Please choose a folder on "
     "a local or removable drive."},  // own wording after the first sentence
    {779, "Vaultaire 2000 does not support backups to RAM drives."},

    // Options and password dialogs.
    {780, " Options"},
    {781, "Please enter old password:"},
};

std::span<const TStringEntry> ProfileStringTable() {
    return kProfileStrings;
}
