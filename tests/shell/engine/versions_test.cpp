// The versions of a file on the target: placing a finished copy as .VL001, the older ones
// moving up with their gaps closed, and what a failed placement leaves behind. Then the
// same through whole backup runs.
#include "versions.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <ostream>

#include "enginefixture.h"
#include "platform/syserror.h"

namespace fs = std::filesystem;

namespace {

using TVersionContents = std::map<int, std::string>;

std::string Old(int number) {
    return "old " + std::to_string(number);
}

std::string VersionSuffix(int number) {
    char suffix[8];
    std::snprintf(suffix, sizeof suffix, ".VL%03d", number);
    return suffix;
}

class PlaceNewVersion : public TSimulatedDrives {
  protected:
    void SetUp() override {
        UseDrives({Drive('E', "fixed", "e")});
        fs::create_directories(Host("e/Data"));
        WriteFile("e/Data/VLNEW___.abc123", "new");
    }

    void MakeVersions(const std::vector<int>& numbers) const {
        for (int number : numbers)
            WriteFile("e/Data/x.txt" + VersionSuffix(number), Old(number));
    }

    // Number -> content of every version of x.txt there is.
    TVersionContents Versions() const {
        TVersionContents contents;
        for (const TStoredVersion& version : ListVersions(kTarget))
            contents[version.Number] = ReadFile("e/Data/x.txt" + VersionSuffix(version.Number));
        return contents;
    }

    // The contents of the versions, newest first.
    std::vector<std::string> ByAge() const {
        std::vector<std::string> contents;
        for (const auto& [number, content] : Versions())
            contents.push_back(content);
        return contents;
    }

    static constexpr const char* kWork = "E:\\Data\\VLNEW___.abc123";
    static constexpr const char* kTarget = "E:\\Data\\x.txt";
};

struct TPlaceCase {
    const char* Name;
    std::vector<int> Existing;
    int Keep;
    TVersionContents Expected;
};

void PrintTo(const TPlaceCase& c, std::ostream* out) {
    *out << c.Name;
}

class PlaceNewVersionCases : public PlaceNewVersion,
                             public testing::WithParamInterface<TPlaceCase> {};

TEST_P(PlaceNewVersionCases, NewCopyBecomesFirstAndOlderOnesMoveUp) {
    const TPlaceCase& c = GetParam();
    MakeVersions(c.Existing);
    // Names that only resemble versions of x.txt are not its versions.
    WriteFile("e/Data/x.txt.VLabc", "not a version");
    WriteFile("e/Data/xx.txt.VL001", "another file");
    WriteFile("e/Data/x.txt.bak.VL001", "another file");

    ASSERT_TRUE(::PlaceNewVersion(kWork, kTarget, c.Keep));

    EXPECT_EQ(Versions(), c.Expected);
    EXPECT_FALSE(Exists("e/Data/VLNEW___.abc123"));
    EXPECT_EQ(FilesBelow("e/Data").size(), c.Expected.size() + 3);
}

// A run that places many copies in one folder lists it once: what it then knows of the
// folder must stay what a listing would say, placement after placement.
TEST_P(PlaceNewVersionCases, TheFolderListedOnceKnowsWhatEachPlacementLeft) {
    const TPlaceCase& c = GetParam();
    MakeVersions(c.Existing);
    WriteFile("e/Data/xx.txt.VL001", "another file");
    WriteFile("e/Data/x.txt.VL01", "not a version");
    auto listed = [](const std::string& target) {
        std::vector<std::pair<std::string, int>> versions;
        for (const TStoredVersion& version : ListVersions(target))
            versions.emplace_back(version.Path, version.Number);
        return versions;
    };
    TVersionFolder folder;

    for (int round = 0; round < 3; ++round) {
        WriteFile("e/Data/VLNEW___.abc123", "new " + std::to_string(round));
        std::vector<TStoredVersion>& known = folder.VersionsOf(kTarget);
        std::vector<std::pair<std::string, int>> before;
        for (const TStoredVersion& version : known)
            before.emplace_back(version.Path, version.Number);
        ASSERT_EQ(before, listed(kTarget)) << "round " << round;
        ASSERT_TRUE(::PlaceNewVersion(kWork, kTarget, c.Keep, known));
    }
    std::vector<std::pair<std::string, int>> after;
    for (const TStoredVersion& version : folder.VersionsOf(kTarget))
        after.emplace_back(version.Path, version.Number);
    EXPECT_EQ(after, listed(kTarget));
    EXPECT_EQ(folder.VersionsOf("E:\\Data\\xx.txt").size(), 1u);
    EXPECT_EQ(ReadFile("e/Data/x.txt.VL001"), "new 2");
}

INSTANTIATE_TEST_SUITE_P(
    , PlaceNewVersionCases,
    testing::Values(
        TPlaceCase{"FirstCopy", {}, 3, {{1, "new"}}},
        TPlaceCase{"ThreeKeptThreeThere", {1, 2, 3}, 3, {{1, "new"}, {2, Old(1)}, {3, Old(2)}}},
        TPlaceCase{"GapsClose", {1, 5}, 3, {{1, "new"}, {2, Old(1)}, {3, Old(5)}}},
        TPlaceCase{"NoFirstVersion", {4, 7}, 5, {{1, "new"}, {2, Old(4)}, {3, Old(7)}}},
        TPlaceCase{"OneKept", {1}, 1, {{1, "new"}}},
        TPlaceCase{"FewerKeptThanThere", {1, 2, 3, 4}, 2, {{1, "new"}, {2, Old(1)}}},
        TPlaceCase{"NoneKeptKeepsOne", {1, 2}, 0, {{1, "new"}}},
        // A damaged profile may ask for any number; no more than 999 can be named.
        TPlaceCase{"AbsurdlyManyKept", {1, 2}, 2147483647, {{1, "new"}, {2, Old(1)}, {3, Old(2)}}},
        TPlaceCase{"NegativeKeptKeepsOne", {1}, -5, {{1, "new"}}}),
    [](const testing::TestParamInfo<TPlaceCase>& info) { return info.param.Name; });

TEST_F(PlaceNewVersion, MakesRoomWhenEveryNumberIsTaken) {
    std::vector<int> all;
    for (int number = 1; number <= 999; ++number)
        all.push_back(number);
    MakeVersions(all);

    ASSERT_TRUE(::PlaceNewVersion(kWork, kTarget, 3));

    EXPECT_EQ(Versions(), (TVersionContents{{1, "new"}, {2, Old(1)}, {3, Old(2)}}));
}

TEST_F(PlaceNewVersion, WithoutItsFolderPlacesNothing) {
    EXPECT_FALSE(::PlaceNewVersion(kWork, "E:\\Missing\\x.txt", 3));
    EXPECT_NE(GetLastError(), 0);
    EXPECT_EQ(ReadFile("e/Data/VLNEW___.abc123"), "new");
    EXPECT_FALSE(Exists("e/Missing"));
}

// Whatever step fails, every version that was there is still there under a version name,
// newest first, and the finished copy has not been lost either.
enum class TObstacle { FolderWhereAVersionMustGo, MediumWriteProtected, FinishedCopyGone };

struct TFailureCase {
    const char* Name;
    TObstacle Obstacle;
    int Keep;
    bool WorkFileRemains;
};

void PrintTo(const TFailureCase& c, std::ostream* out) {
    *out << c.Name;
}

class FailedPlacement : public PlaceNewVersion, public testing::WithParamInterface<TFailureCase> {
  protected:
    void Put(TObstacle obstacle) {
        switch (obstacle) {
            case TObstacle::FolderWhereAVersionMustGo:
                fs::create_directories(Host("e/Data/x.txt.VL003"));
                break;
            case TObstacle::MediumWriteProtected:
                UseDrives({Drive('E', "fixed", "e", "write-protected")});
                break;
            case TObstacle::FinishedCopyGone:
                fs::remove(Host("e/Data/VLNEW___.abc123"));
                break;
        }
    }
};

TEST_P(FailedPlacement, LeavesEveryVersion) {
    // Closing the gap moves .VL004 to .VL002 before .VL002 has to move up.
    MakeVersions({1, 4});
    Put(GetParam().Obstacle);

    EXPECT_FALSE(::PlaceNewVersion(kWork, kTarget, GetParam().Keep));

    EXPECT_NE(GetLastError(), 0);
    EXPECT_EQ(ByAge(), (std::vector<std::string>{Old(1), Old(4)}));
    EXPECT_EQ(Exists("e/Data/VLNEW___.abc123"), GetParam().WorkFileRemains);
}

INSTANTIATE_TEST_SUITE_P(
    , FailedPlacement,
    testing::Values(TFailureCase{"FolderWhereAVersionMustGo", TObstacle::FolderWhereAVersionMustGo,
                                 3, true},
                    TFailureCase{"MediumWriteProtected", TObstacle::MediumWriteProtected, 3, true},
                    TFailureCase{"FinishedCopyGone", TObstacle::FinishedCopyGone, 3, false},
                    // Versions beyond the one kept go only once the new copy is in place.
                    TFailureCase{"FinishedCopyGoneOneKept", TObstacle::FinishedCopyGone, 1, false}),
    [](const testing::TestParamInfo<TFailureCase>& info) { return info.param.Name; });

TEST_F(PlaceNewVersion, PlacingAgainAfterAFailureKeepsTheOrder) {
    MakeVersions({1, 2});
    fs::rename(Host("e/Data/VLNEW___.abc123"), Host("e/Data/finished"));
    ASSERT_FALSE(::PlaceNewVersion(kWork, kTarget, 3));

    fs::rename(Host("e/Data/finished"), Host("e/Data/VLNEW___.abc123"));
    ASSERT_TRUE(::PlaceNewVersion(kWork, kTarget, 3));

    EXPECT_EQ(Versions(), (TVersionContents{{1, "new"}, {2, Old(1)}, {3, Old(2)}}));
}

// ---- The same through backup runs ----

struct TRunCase {
    const char* Name;
    std::vector<int> Existing;
    int Keep;
    // The versions after the run: "source" for the new copy, else the old content.
    TVersionContents Expected;
};

void PrintTo(const TRunCase& c, std::ostream* out) {
    *out << c.Name;
}

class RenumberedByARun : public TBackupRunTest, public testing::WithParamInterface<TRunCase> {};

TEST_P(RenumberedByARun, NewCopyIsFirst) {
    const TRunCase& c = GetParam();
    fs::create_directories(Host("c/Data"));
    fs::create_directories(Host("e/Backup"));
    UseDrives({Drive('C', "fixed", "c"), Drive('E', "fixed", "e")});
    UseProfile({"C:\\Data"}, "E:\\Backup", c.Keep);
    WriteFile("c/Data/x.txt", "source");
    const std::string copies = "e/Backup/Vaultaire/C/Data/x.txt";
    for (int number : c.Existing)
        WriteFile(copies + VersionSuffix(number), Old(number));

    TRunOutcome run = RunBackup();

    ASSERT_TRUE(run.Done) << "error " << run.Error;
    TVersionContents found;
    for (const std::string& name : FilesBelow("e/Backup/Vaultaire/C/Data")) {
        int number = std::stoi(name.substr(name.size() - 3));
        TArchived archived = ReadArchive("e/Backup/Vaultaire/C/Data/" + name);
        if (archived.Valid) {
            EXPECT_EQ(archived.OriginalPath, "C:\\Data\\x.txt");
            found[number] = archived.Content;
        } else {
            found[number] = ReadFile("e/Backup/Vaultaire/C/Data/" + name);
        }
    }
    EXPECT_EQ(found, c.Expected);
    EXPECT_EQ(FilesBelow("e/Backup/Vaultaire").size(), c.Expected.size())
        << "no work file is left in the backup root";
    EXPECT_FALSE(ArchiveAttributeSet("C:\\Data\\x.txt"));
}

INSTANTIATE_TEST_SUITE_P(
    , RenumberedByARun,
    testing::Values(
        TRunCase{"ThreeKeptThreeThere", {1, 2, 3}, 3, {{1, "source"}, {2, Old(1)}, {3, Old(2)}}},
        TRunCase{"GapsClose", {1, 5}, 3, {{1, "source"}, {2, Old(1)}, {3, Old(5)}}},
        TRunCase{"OneKept", {1}, 1, {{1, "source"}}},
        TRunCase{"FewerKeptThanThere", {1, 2, 3, 4}, 2, {{1, "source"}, {2, Old(1)}}}),
    [](const testing::TestParamInfo<TRunCase>& info) { return info.param.Name; });

}  // namespace
