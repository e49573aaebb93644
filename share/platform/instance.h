#pragma once

#include <string>

#include "vlshare_export.h"

// The lock that keeps a second copy of the program from running for the same user: a lock
// file in the user's runtime folder, locked with flock and never unlocked, so only the end
// of the process (also by a crash or kill -9) releases it.
enum TInstanceLockResult {
    ilTaken,        // this process holds the lock now
    ilHeld,         // another process, or an earlier call in this one, holds it
    ilUnavailable,  // the runtime folder or the lock file cannot be used (see the last error)
};

// Takes the lock named name ("Vaultaire 2000") for the rest of the process's life.
VLSHARE_EXPORT TInstanceLockResult TakeInstanceLock(const std::string& name);

// The folder that holds the instance locks: $XDG_RUNTIME_DIR when it is a private folder
// of the user, else a private "vaultaire-<uid>" folder made in the temporary folder.
// Empty when neither can be used.
VLSHARE_EXPORT std::string InstanceLockFolder();
