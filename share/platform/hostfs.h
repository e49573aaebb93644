#pragma once

// Small helpers on host paths, for the platform layer's own use. They set the last
// system error (syserror.h) when they fail.

#include <sys/stat.h>

#include <string>

namespace hostfs {

bool Exists(const std::string& path);
bool IsDirectory(const std::string& path);
bool ReadFile(const std::string& path, std::string& content);
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
