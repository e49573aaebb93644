// The program's shared texts: ids 101-658 and 32000-32021, plus our own from 901. Texts
// are kept byte for byte as the program has always shown them, odd spelling and missing
// full stops included; "%c" is a drive letter, "%d" a number, "%s" a text.

#include "strtable.h"

static constexpr TStringEntry kSharedStrings[] = {
    // Product and file names.
    {101, "Vaultaire 2000"},
    {102, "Logvue"},
    {104, "\\Software\\Orvanet\\"},
    {109, "Vaultaire"},
    {111, "Untitled"},
    {112, "Untitled %d"},
    {113, "SPLASH.BMP"},
    {114, "Vaultaire.vlp"},

    // Wizard buttons and guidance.
    {151, "&Next >"},
    {152, "&Finish"},
    {153, "Click \"Next\" to continue."},
    {154, "Click \"Finish\" to save your changes."},

    // Tray menu and hints.
    {201, "Enable &Auto-Backup"},
    {202, "Disable &Auto-Backup"},
    {203, "Automatic backup is enabled"},
    {204, "Automatic backup is DISABLED"},
    {205, "Backing up files"},
    {206, "Restoring files"},

    // Main controller: progress window, diskette questions, messages.
    {251, "Creating file list. Please wait..."},
    {252, "Backing up files..."},
    {253,
     "The diskette in drive \"%c\" is a backup diskette from this series. Please insert "
     "another diskette."},
    {254,
     "The diskette you have inserted in drive \"%c\" is not empty. If you continue, all "
     "current files on this disk will be erased. Are you sure you want to continue?"},
    {255,
     "The diskette in drive \"%c\" has an invalid volume ID and must be reformatted.\n"
     "Select \"Yes\" to reformat or insert another diskette and select \"No\""},
    {256, "Would you like to begin monitoring your files, using the new profile?"},
    {258, "Vaultaire 2000 has been disabled."},
    {259, "Are you sure you want to cancel the backup operation?"},
    {260, "Backup operation cancelled."},
    {261, "Backup operation complete."},
    {262,
     "Welcome to Vaultaire 2000. As this is the first time you have run Vaultaire 2000, "
     "the Profile Wizard will now start. Once you have created a profile, Vaultaire 2000 "
     "can begin protecting your file system. Please press the OK button to continue."},
    {264, "You are about to delete the current profile. Are you sure?"},

    // Select-profile dialog.
    {301, "Select Vaultaire 2000 Profile"},
    {302, "Select the desired profile and press OK."},

    // Errors.
    {351, "Error reading profile - file corrupted"},
    {352, "An error has occurred while reading the Windows Registry."},
    {355,
     "Vaultaire 2000 cannot monitor and backup files without at least one profile.\n"
     "To create a profile, select \"New Profile\" from the main menu."},
    {356, "Error: Vaultaire 2000 is already running!"},
    {357,
     "An error has occurred while backing up your files and Vaultaire 2000 has been "
     "disabled.\n\nIf you need to change any settings, please right click on the task bar "
     "icon and select \"Edit Profile\" from the tray menu"},
    {358, "Backup operation halted due to error."},
    {359, "A required file is missing or corrupted. Please reinstall Vaultaire 2000."},
    {363,
     "The Profiles are missing or have beed damaged. You will have to create new profiles "
     "to replace them."},
    {364,
     "The target drive specified in this profile cannot be found. To continue, please "
     "select \"Edit Profile\" from the main menu and choose another target drive."},

    // Log file.
    {401, ".log"},
    {402, ".BAK"},
    {403, "Starting Vaultaire 2000"},
    {404, "Vaultaire 2000 closing"},
    {405, "Vaultaire enabled."},
    {406, "Vaultaire disabled."},
    {407, "Saving file: "},
    {408, "Restore operation started."},
    {409, "Restore operation ended."},
    {410, "Restoring file: "},
    {411, "Backup operation started."},
    {412, "Backup operation ended."},
    {413, "Operation cancelled."},
    {414, "An error has occurred. Shutting down."},
    {415, "Error saving file: "},
    {416, "Error restoring file: "},
    {417, "Target drive full. Shutting down"},
    {418, "File size exceeds target drive capacity."},

    // Shutdown window.
    {601, "Please wait. Backing up outstanding files..."},

    // Diskette request dialog.
    {651, "The current diskette for this profile is number"},
    {652, "Please select one of the following options and press OK when ready."},
    {653, "Insert diskette number %d."},
    {654, "Use the current diskette and restart numbering at 1"},
    {655, "Make the current diskette number %d."},
    {656, "Skip diskette number %d and label this diskette number %d."},
    {657, "Warning: If you select this item,"},
    {658, "All data on the current diskette will be erased"},

    // Drive and diskette media.
    // Texts of our own, for situations the older texts do not cover.
    {901,
     "The drive map \"%s\" cannot be used: %s.\n"
     "Until it is mended, no drive letter it may name is used and mounted media get no "
     "letters."},
    {902, "Formatting will erase all data on the disk in drive \"%c\". Format it now?"},
    {903, "The file changed while it was being saved; it will be saved at its next change."},
    {921, "Error reading folder: "},
    {922, "Another backup to this target is running; this backup did not start."},
    {923,
     "The folder you chose lies on none of the program's drives, so it cannot be used. "
     "Choose a folder on one of the listed drives, or give its drive a letter in the drive "
     "map."},
    {924, "The log viewer could not be started: "},
    {951, "There is no help for this item (help context %d)."},
    {952, "The help cannot be found, because the folder of Vaultaire 2000 is not known."},
    {953, "The help page \"%s\" is missing. Please reinstall Vaultaire 2000."},
    {954,
     "The help page \"%s\" could not be opened: this desktop has no program set to show web "
     "pages."},
    {32000, "Please insert a diskette in drive \"%c\""},
    {32001, "Please insert a blank diskette in drive \"%c\""},
    {32002, "Please insert disk # %d in drive \"%c\""},
    {32003,
     "The diskette you have inserted in drive \"%c\" is not empty. Would you like to "
     "erase all files on this diskette?"},
    {32004,
     "The disk in drive \"%c\" is write protected.\n"
     "Remove the write protection or use another disk."},
    {32005,
     "Unable to read from drive \"%c.\"\n\n"
     "Either the drive bay is empty or the diskette is damaged.\n\n"
     "Please try another diskette."},
    {32006,
     "You have run out of space on drive %c. Please delete unnecessary files or select "
     "another drive."},
    {32007, "The diskette in drive \"%c\" is full. Please insert an empty diskette."},
    {32008,
     "Drive \"%c\" does not have enough free space for this operation. Please delete "
     "unnecessary files or select another drive."},
    {32009,
     "The diskette in drive \"%c\" does not have enough free space for this operation. "
     "Please insert an empty diskette."},
    {32010,
     "Drive \"%c\" does not have the capacity to for this operation. You will be "
     "prompted to select another drive."},
    {32011,
     "The diskette in drive \"%c\" does not have the capacity to for this operation. You "
     "will be prompted to select another drive."},
    {32017, "Error # \"%d\" in module TTargetDrive.\nPlease report this to the author."},
    {32018, "Operation cancelled"},
    {32019, "Drive \"%c\" is not a removeable drive"},
    {32020, "Insufficient space on drive \"%c\""},
    {32021, "Drive \"%c\" is not supported. Please contact the author."},
};

std::span<const TStringEntry> SharedStringTable() {
    return kSharedStrings;
}
