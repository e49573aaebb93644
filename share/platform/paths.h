#pragma once

#include <string>

#include "platform/hostpath.h"
#include "vlshare_export.h"

// The program speaks of files in drive form ("C:\Data\report.doc"); the drive map says
// which host folder stands behind each letter. The program's own path form, in which the
// file functions (files.h, filestream.h) take their paths, is drive form or, for the
// program's own folders that may lie under no drive, a host path: a path that begins with
// "/" is used as it stands. Anything else (a relative name, "report:v2.txt") is neither
// and is refused. Host paths proper, for the system's calls, are THostPath values
// (hostpath.h): a path of the program's form becomes one only through HostPathOf (or
// HostPathForWriting), and one becomes drive form only through DrivePathOf.

// Whether path, in the program's form, is a host path ("/home/ann") or in drive form
// ("C:\Data", "C:name": a letter and a colon as its first two characters).
VLSHARE_EXPORT bool IsHostPath(const std::string& path);
VLSHARE_EXPORT bool IsDrivePath(const std::string& path);

// The host path of path (drive form or host path). Fails (false, host empty, last error
// set) for a path of neither form or a letter without a drive (3), a drive without a
// medium (21), a name holding a wildcard or a NUL (123) or ".." climbing above the
// drive's root (161).
VLSHARE_EXPORT bool HostPathOf(const std::string& path, THostPath& host);

// HostPathOf for a path that is about to be written, created, renamed or removed. Fails
// as well with ERROR_WRITE_PROTECT (19) when the path lies on a drive whose medium the
// drive map marks write-protected, so that such a medium refuses every change.
VLSHARE_EXPORT bool HostPathForWriting(const std::string& path, THostPath& host);

// The letter of the drive path lies on: its own letter in drive form; for a host path, the
// drive whose folder holds it, also when reached through a symbolic link; 0 for none.
VLSHARE_EXPORT char DriveLetterOf(const std::string& path);

// Whether the folders on the way to the drive path path lead out of its drive through a
// symbolic link: their real folder (links followed, as far as they exist) lies outside
// the real folder of the drive. A link inside the drive's folder to another place inside
// it does not leave; the last name of path is not looked at. False for a host path,
// which names no drive to stay on, and for a path that cannot be mapped.
VLSHARE_EXPORT bool LeavesItsDrive(const std::string& path);

// The drive form of a host path, through the drive whose folder is its longest prefix.
// Fails (false, path empty, last error set) for an empty host path or one under no drive
// (3) and for a name that drive form cannot hold: one with a backslash, "*" or "?" (123).
VLSHARE_EXPORT bool DrivePathOf(const THostPath& host, std::string& path);

// Path identity: the host file system tells names apart by letter case, so does this; only
// a drive letter means the same drive in either case.
VLSHARE_EXPORT bool SamePath(const std::string& a, const std::string& b);
// The form of path that SamePath compares: two paths are the same exactly when their
// identities are equal (for keys of sets and maps of paths).
VLSHARE_EXPORT std::string PathIdentity(const std::string& path);

// The separator path uses: "/" for host paths, "\" otherwise.
VLSHARE_EXPORT char SeparatorOf(const std::string& path);

// The path of name in folder, in folder's form: joined with folder's separator unless
// folder already ends in one.
VLSHARE_EXPORT std::string PathInFolder(const std::string& folder, const std::string& name);

// Where the last name of path begins: just after its last separator ("/" in a host path,
// "\" or "/" otherwise) or, with none, after the drive's own colon ("C:name"); 0 when
// there is neither. Only the colon of a drive ("C:", the second character) separates: a
// colon anywhere else is part of a name ("C:\src\report:v2.txt" names "report:v2.txt").
VLSHARE_EXPORT size_t NameStartOf(const std::string& path);
