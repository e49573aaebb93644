#pragma once

#include <cstdint>
#include <string>

#include "platform/hostpath.h"
#include "vlshare_export.h"

// Switches for reliability checks, read from the environment when first needed:
//   VAULTAIRE_CRASH_AFTER_STEPS=N  ends the process at once (exit code 86, nothing flushed)
//       as it is about to make its Nth change to the file system, as a crash there would.
//   VAULTAIRE_DISK_FULL_AFTER=X:N  lets file streams write only N bytes in all to drive X;
//       later writes fail as on a full disk while the free space reported stays as it is,
//       as when another program fills the disk.
//   VAULTAIRE_UNREADABLE_FOLDERS=DIR[:DIR...]  listing one of these host folders fails as
//       when permission is denied, also for a user who may read every folder (root). Read
//       at every listing.
//   VAULTAIRE_WATCH_LIMIT=N  lets a change watcher watch only N folders at once, as if the
//       system's limit of watches were N.
//   VAULTAIRE_WATCH_OVERFLOW_AFTER=N  makes a change watcher drop the events after its Nth
//       and report an overflow of the kernel's queue instead, once.
// The last two are read when a watcher is made.

constexpr int kCrashExitCode = 86;

// Called before every change to the file system.
VLSHARE_EXPORT void BeforeFileSystemChange();

// Bytes that may still be written to drive letter, or -1 when there is no limit.
VLSHARE_EXPORT int64_t InjectedRoomOnDrive(char letter);
VLSHARE_EXPORT void CountBytesWritten(char letter, int64_t count);

// Whether a listing of hostFolder is to fail.
VLSHARE_EXPORT bool IsFolderMadeUnreadable(const THostPath& hostFolder);

// The limit of watched folders VAULTAIRE_WATCH_LIMIT sets, or -1.
VLSHARE_EXPORT int64_t InjectedWatchLimit();
// After how many events VAULTAIRE_WATCH_OVERFLOW_AFTER makes the watcher overflow, or -1.
VLSHARE_EXPORT int64_t InjectedOverflowAfter();
