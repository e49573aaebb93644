#include "versions.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "platform/files.h"
#include "vfileutil.h"

namespace {

constexpr int kHighestNumber = 999;
// Every entry; whether a copy's archive attribute is set does not matter here.
constexpr int kAnyFileNoArchive = faAnyFile & ~faArchive;

// The version number in a name that ends in ".VL" and three digits, or 0.
int VersionNumberOf(const std::string& name) {
    if (name.size() < 6)
        return 0;
    std::string suffix = name.substr(name.size() - 6);
    if (suffix.compare(0, 3, ".VL") != 0)
        return 0;
    for (size_t i = 3; i < 6; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(suffix[i])))
            return 0;
    }
    return std::stoi(suffix.substr(3));
}

void SortByNumber(std::vector<TStoredVersion>& versions) {
    std::sort(versions.begin(), versions.end(),
              [](const TStoredVersion& a, const TStoredVersion& b) { return a.Number < b.Number; });
}

}  // namespace

std::string VersionName(const std::string& targetName, int number) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".VL%03d", number);
    return targetName + suffix;
}

std::vector<TStoredVersion> ListVersions(const std::string& targetName) {
    std::vector<TStoredVersion> versions;
    std::string folder = ExtractFilePath(targetName);
    for (TFileSearch search(targetName + ".VL???", kAnyFileNoArchive); search.Found();
         search.Next()) {
        if (search.IsDirectory())
            continue;
        int number = VersionNumberOf(search.Rec().Name);
        if (number > 0)
            versions.push_back({folder + search.Rec().Name, number});
    }
    SortByNumber(versions);
    return versions;
}

bool PlaceNewVersion(const std::string& workFile, const std::string& targetName, int numVersions) {
    std::vector<TStoredVersion> versions = ListVersions(targetName);
    return PlaceNewVersion(workFile, targetName, numVersions, versions);
}

bool PlaceNewVersion(const std::string& workFile, const std::string& targetName, int numVersions,
                     std::vector<TStoredVersion>& versions) {
    int keep = std::clamp(numVersions, 1, kHighestNumber);
    int count = static_cast<int>(versions.size());

    // Keeping one version, the new copy takes the old one's place in a single step:
    // there is a version under .VL001 at every moment.
    if (keep == 1) {
        if (!ReplaceFile(workFile, VersionName(targetName, 1)))
            return false;
        std::vector<TStoredVersion> left{{VersionName(targetName, 1), 1}};
        for (const TStoredVersion& version : versions) {
            if (version.Number != 1 && !DeleteFile(version.Path))
                left.push_back(version);
        }
        versions = std::move(left);
        return true;
    }

    // Close the gaps downwards: each move goes to a free, lower number, so the order of
    // the numbers stays the order of age.
    for (int i = 0; i < count; ++i) {
        if (versions[i].Number == i + 1)
            continue;
        if (!RenameFile(versions[i].Path, VersionName(targetName, i + 1)))
            return false;
        versions[i] = {VersionName(targetName, i + 1), i + 1};
    }
    // With every number taken, the oldest version cannot move up; it is one that goes
    // anyway once the new copy is in place.
    if (count == kHighestNumber) {
        if (!DeleteFile(VersionName(targetName, count)))
            return false;
        --count;
    }
    // Make room for the new copy: each version moves up one, the oldest first.
    for (int number = count; number >= 1; --number) {
        if (!RenameFile(VersionName(targetName, number), VersionName(targetName, number + 1))) {
            return false;
        }
    }
    if (!RenameFile(workFile, VersionName(targetName, 1)))
        return false;
    // Only now that the new copy is in place do versions beyond the kept number go.
    std::vector<TStoredVersion> left;
    for (int number = count + 1; number >= 1; --number) {
        if (number <= keep || !DeleteFile(VersionName(targetName, number)))
            left.push_back({VersionName(targetName, number), number});
    }
    versions.assign(left.rbegin(), left.rend());
    return true;
}

std::vector<TStoredVersion>& TVersionFolder::VersionsOf(const std::string& targetName) {
    std::string folder = ExtractFilePath(targetName);
    if (folder != Folder) {
        Forget();
        for (TFileSearch search(folder + "*.VL???", kAnyFileNoArchive); search.Found();
             search.Next()) {
            const std::string& name = search.Rec().Name;
            int number = search.IsDirectory() ? 0 : VersionNumberOf(name);
            if (number > 0) {
                Versions[folder + name.substr(0, name.size() - 6)].push_back(
                    {folder + name, number});
            }
        }
        for (auto& [name, versions] : Versions)
            SortByNumber(versions);
        Folder = folder;
    }
    return Versions[targetName];
}

void TVersionFolder::Forget() {
    Folder.clear();
    Versions.clear();
}
