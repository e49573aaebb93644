// The texts of the restore wizard: ids 701-711, kept byte for byte.

#include "strtable.h"

static constexpr TStringEntry kRestoreStrings[] = {
    {701, " Restore Wizard"},
    {702, "Click \"Finish\" to restore your files."},
    {703, "Original locations"},
    {704, "Select alternate location"},
    {705, "Select source location"},
    {706, "There is no source drive/folder selected."},
    {707, "Unable to find any backed up files at the location specified."},
    {708, "There are no files selected to restore."},
    {709, "Are you sure you want to cancel the current operation?"},
    {710, "Restore operation cancelled."},
    {711, "An error has occurred while restoring files. The application will terminate."},
};

std::span<const TStringEntry> RestoreStringTable() {
    return kRestoreStrings;
}
