#pragma once

#include <string>

#include "platform/hostpath.h"
#include "vlshare_export.h"

// An advisory lock shared by every process of the user that keeps its files in the same
// data folder: the tray program, vlctl commands and a vlctl watch service. It is a lock
// file in the data folder's "locks" folder, locked with flock, so the kernel drops it when
// the process ends, also by a crash or kill -9: a dead process never blocks the next.
//
// A lock is not re-entrant: a thread that takes a lock it already holds through another
// TFileLock object waits for ever (or, trying, fails).
class VLSHARE_EXPORT TFileLock {
  public:
    enum TWaitMode { lwWait, lwTry };

    // Takes the lock named name ("profiles"); with lwWait blocks until it is free, with
    // lwTry gives up at once when another holds it. Locked() tells which.
    explicit TFileLock(const std::string& name, TWaitMode mode = lwWait);
    ~TFileLock();
    TFileLock(const TFileLock&) = delete;
    TFileLock& operator=(const TFileLock&) = delete;

    // True while this object holds the lock. False when another process held it (lwTry)
    // or the lock file could not be opened; the last system error says which (32 for a
    // lock held elsewhere).
    bool Locked() const { return Handle >= 0; }

    // The name of the lock that stands for a host folder: the same for every spelling of
    // the folder, links resolved ("backup-" and a hash of its real path).
    static std::string NameForFolder(const THostPath& hostFolder);

  private:
    int Handle = -1;
};
