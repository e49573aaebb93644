#pragma once

#include <string>

#include "platform/hostpath.h"
#include "vlshare_export.h"

// Where paths really lead. Two paths may name one folder through symbolic links or through
// drive letters whose folders lie inside one another; whether one lies inside another is
// therefore decided on real paths.

// The real host path of path (drive form or host form): every symbolic link resolved. Of a
// path whose end does not exist yet, the part that exists is resolved and the rest kept
// as written. Fails (false, last error set) for a path that leads to no host folder (a
// letter without a drive, a drive without a medium, ...).
VLSHARE_EXPORT bool RealHostPath(const std::string& path, THostPath& real);

// The real host path of the entry name of a folder whose real path is realFolder: the same
// as RealHostPath of the entry, with one look at the entry instead of one per step of the
// path, for walks that meet many entries of one folder.
VLSHARE_EXPORT THostPath RealPathInFolder(const THostPath& realFolder, const std::string& name);

// Whether real (a real host path) is realFolder or lies below it; false when either is
// empty.
VLSHARE_EXPORT bool IsRealPathInside(const THostPath& real, const THostPath& realFolder);

// Whether path and other (either form) lead to the same place. False when either leads
// nowhere.
VLSHARE_EXPORT bool LeadToTheSamePlace(const std::string& path, const std::string& other);
