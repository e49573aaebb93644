#pragma once

#include <cstdint>
#include <string>

#include "vlshare_export.h"

// The program's own files that it finds damaged (the profiles file, the settings file)
// are never overwritten or removed: they are kept for the user under a new name beside
// them, and the program starts anew without them. Paths are in the program's form (drive
// form or host path, paths.h).

enum TFileKind { fkMissing, fkRegular, fkOther };

// What stands at path, links followed: nothing, a regular file (size := its size), or
// something that is no regular file (a folder, a pipe, a device, a socket, a link that
// leads nowhere) or cannot be looked at (last error set).
VLSHARE_EXPORT TFileKind FileKindOf(const std::string& path, int64_t& size);

// Renames the file path to a name beside it that nothing has yet: path + ".damaged",
// else path + ".damaged-2", "-3", ...; an earlier kept copy is never replaced. keptAs :=
// the new name. False (last error set) when the file could not be renamed.
VLSHARE_EXPORT bool KeepDamagedFile(const std::string& path, std::string& keptAs);
