#pragma once

// Small helpers on host paths, for the platform layer's own use. They set the last
// system error (syserror.h) when they fail.

#include <sys/stat.h>

#include <cstdint>
#include <string>

namespace hostfs {

bool Exists(const std::string& path);
bool IsDirectory(const std::string& path);
// The most ReadFile reads unless told otherwise.
constexpr int64_t kReadLimit = int64_t{64} << 20;
// Reads the whole of a regular file (a link to one is followed), of at most maxBytes. It
// never blocks and never opens anything else: a folder (ERROR_DIRECTORY_NOT_SUPPORTED), a
// pipe, socket or device (ERROR_BAD_FILE_TYPE), a larger file (ERROR_FILE_TOO_LARGE) and a
// link that leads nowhere (ERROR_CANT_RESOLVE_FILENAME) fail.
bool ReadFile(const std::string& path, std::string& content, int64_t maxBytes = kReadLimit);
// Writes content to a temporary file in path's folder, flushes it to disk and renames it
// over path; a failure leaves the old file as it was.
bool WriteFileAtomically(const std::string& path, const std::string& content);
// Creates path and its missing parents.
bool MakeFolders(const std::string& path);
// The folder part of path ("/a/b" for "/a/b/c"; "/" for "/c").
std::string Parent(const std::string& path);
// Lexically normalised absolute path: no ".", "..", doubled or trailing slashes.
std::string Normalise(const std::string& path);
// realpath of path; for a path that does not exist, that of its deepest existing folder
// followed by the rest of path.
std::string Canonical(const std::string& path);
// True when path equals folder or lies below it.
bool IsInside(const std::string& path, const std::string& folder);

}  // namespace hostfs
