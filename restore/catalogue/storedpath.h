#pragma once

#include <string>

// Checks of the path a backed-up copy's header names: a copy is restored only to the place
// its own place in the backup tree stands for, so that a damaged or planted header cannot
// send a file anywhere else.

// The source path that a copy's place below the backup root stands for: the drive folder,
// the folders and the copy's name less its version suffix
// ("...\Vaultaire\C\Data\a.txt.VL001" is "C:\Data\a.txt"). False when copyPath does not lie
// in a drive folder below rootPath or its name is too short to carry a file name.
bool SourcePathOfCopy(const std::string& rootPath, const std::string& copyPath,
                      std::string& sourcePath);

// Why the stored path of a copy at copyPath may not be restored, in words for the user and
// the log; empty when it may. It must be in drive form, hold no control character and no
// empty, "." or ".." step, and be the path that the copy's place stands for.
std::string StoredPathFault(const std::string& rootPath, const std::string& copyPath,
                            const std::string& storedPath);

// Where a file backed up from sourcePath (a checked stored path) goes: sourcePath itself
// for its original location (destination empty), else the same folders and name below the
// folder destination, joined in destination's form ("C:\Data\a.txt" to "E:\Old" is
// "E:\Old\Data\a.txt").
std::string RestoreTargetOf(const std::string& sourcePath, const std::string& destination);
