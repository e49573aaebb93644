#pragma once

#include <string>
#include <unordered_map>
#include <vector>

// The stored versions of one file: targetName.VL001 is the newest copy, .VL002 the one
// before it, and so on.

struct TStoredVersion {
    std::string Path;
    int Number = 0;
};

// The versions of targetName, lowest number first. Only names ending in ".VL" and three
// digits count.
std::vector<TStoredVersion> ListVersions(const std::string& targetName);

// The name of version number of targetName ("x.doc.VL003").
std::string VersionName(const std::string& targetName, int number);

// Moves the finished copy workFile into place as targetName.VL001, the older versions
// becoming .VL002 and up in their order, gaps closed, and keeps at most numVersions
// (at least 1) versions. Every step is a single rename or, once the new copy is in place,
// the removal of a version beyond numVersions: a failure or crash at any point leaves
// every version that existed before under a version name, in the order of their age.
// False (last system error set) when the new copy could not be put in place; workFile is
// then left where it was.
bool PlaceNewVersion(const std::string& workFile, const std::string& targetName, int numVersions);

// The same, with the versions of targetName already known (as ListVersions gives them);
// versions becomes the versions there are afterwards. After a failure it is unknown what
// is left: list them again.
bool PlaceNewVersion(const std::string& workFile, const std::string& targetName, int numVersions,
                     std::vector<TStoredVersion>& versions);

// The versions of the files of one target folder, read with one listing of the folder and
// kept up to date by PlaceNewVersion, for a run that places many copies in one folder
// (listing the folder for each of them would cost time in the square of its size). Only
// right while nobody else changes the folder: the backup root's lock sees to that.
class TVersionFolder {
  public:
    // The versions of targetName; the folder is listed when it is not the one known.
    std::vector<TStoredVersion>& VersionsOf(const std::string& targetName);
    // What is known of the folder is no longer right (a placement failed).
    void Forget();

  private:
    std::string Folder;  // with its trailing separator; empty: nothing known
    std::unordered_map<std::string, std::vector<TStoredVersion>> Versions;  // by target name
};
