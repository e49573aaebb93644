#pragma once

// Small helpers on host paths, for the platform layer's own use. They set the last
// system error (syserror.h) when they fail.

#include <cstdint>
#include <string>

#include "platform/hostpath.h"

namespace hostfs {

bool Exists(const THostPath& path);
bool IsDirectory(const THostPath& path);
// The most ReadWholeFile reads unless told otherwise.
constexpr int64_t kReadLimit = int64_t{64} << 20;
// Reads the whole of a regular file (a link to one is followed), of at most maxBytes. It
// never blocks and never opens anything else: a folder (ERROR_DIRECTORY_NOT_SUPPORTED), a
// pipe, socket or device (ERROR_BAD_FILE_TYPE), a larger file (ERROR_FILE_TOO_LARGE) and a
// link that leads nowhere (ERROR_CANT_RESOLVE_FILENAME) fail.
bool ReadWholeFile(const THostPath& path, std::string& content, int64_t maxBytes = kReadLimit);
// Writes content to a work file beside the file, flushes it to disk and renames it over
// the file; a failure leaves the old file as it was. When path is a symbolic link to a
// regular file, that file is written and the link stays. The new file keeps the permission
// bits of the regular file it replaces (0644 when there is none). The work file's name
// carries this process's id, and those that killed processes left beside the file are
// removed first.
bool WriteWholeFile(const THostPath& path, const std::string& content);
// Creates path and its missing parents.
bool MakeFolders(const THostPath& path);
// realpath of path; for a path that does not exist, that of its deepest existing folder
// followed by the rest of path.
THostPath Canonical(const THostPath& path);

// Creates a new, empty file in folder named prefix, this process's id, "-" and six
// characters that make it unique ("VLD4711-a8Zk2p"); file := its path, fd := an open
// descriptor (close-on-exec) for reading and writing.
bool CreateWorkFile(const THostPath& folder, const std::string& prefix, THostPath& file, int& fd);
// Removes the regular files of folder that CreateWorkFile made with prefix for a process
// that no longer runs; the files of running processes stay. Returns how many were removed.
int RemoveStaleWorkFiles(const THostPath& folder, const std::string& prefix);

}  // namespace hostfs
