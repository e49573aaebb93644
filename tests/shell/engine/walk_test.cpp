// Which files a backup run finds and which of them it copies: the walk of the source
// folders with its pass over each source drive's root, and the files that are never
// backed up whatever the masks say.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <numeric>
#include <ostream>

#include "enginefixture.h"
#include "platform/drivemap.h"
#include "profilemgr.h"

namespace fs = std::filesystem;

namespace {

struct TWalkCase {
    const char* Name;
    std::vector<std::string> Sources;
    long TotalFiles;  // every file found, eligible or not
    std::set<std::string> Copies;
};

void PrintTo(const TWalkCase& c, std::ostream* out) {
    *out << c.Name;
}

class Walk : public TBackupRunTest, public testing::WithParamInterface<TWalkCase> {
  protected:
    void SetUp() override {
        WriteFile("c/top.txt", "in the root of C");
        WriteFile("c/top.bak", "in the root, but not covered by the masks");
        WriteFile("c/Other/x.txt", "in a folder that is no source");
        WriteFile("c/Data/a.txt", "a");
        WriteFile("c/Data/Sub/b.txt", "b");
        WriteFile("d/d.txt", "in the root of D");
        WriteFile("d/Docs/e.txt", "e");
        fs::create_directories(Host("e"));
        UseDrives({Drive('C', "fixed", "c"), Drive('D', "fixed", "d"), Drive('E', "fixed", "e")});
    }
};

TEST_P(Walk, FindsAndCopies) {
    const TWalkCase& c = GetParam();
    UseProfile(c.Sources, "E:\\", 3);

    TRunOutcome run = RunBackup();

    ASSERT_TRUE(run.Done) << "error " << run.Error;
    EXPECT_EQ(run.TotalFiles, c.TotalFiles);
    std::vector<long> oneByOne(static_cast<size_t>(c.TotalFiles));
    std::iota(oneByOne.begin(), oneByOne.end(), 1);
    EXPECT_EQ(run.Processed, oneByOne) << "each file found is reported once it is handled";
    EXPECT_EQ(FilesBelow("e/Vaultaire"), c.Copies);
}

INSTANTIATE_TEST_SUITE_P(
    , Walk,
    testing::Values(
        // The root of C is looked at, without entering its other folders.
        TWalkCase{"FolderWithTheRootOfItsDrive",
                  {"C:\\Data"},
                  4,
                  {"C/top.txt.VL001", "C/Data/a.txt.VL001", "C/Data/Sub/b.txt.VL001"}},
        TWalkCase{"WholeDrive",
                  {"C:\\"},
                  5,
                  {"C/top.txt.VL001", "C/Other/x.txt.VL001", "C/Data/a.txt.VL001",
                   "C/Data/Sub/b.txt.VL001"}},
        // The inner folder is walked twice: its files are counted and copied twice.
        TWalkCase{"FolderInsideAnother",
                  {"C:\\Data", "C:\\Data\\Sub"},
                  5,
                  {"C/top.txt.VL001", "C/Data/a.txt.VL001", "C/Data/Sub/b.txt.VL001",
                   "C/Data/Sub/b.txt.VL002"}},
        // Each drive's root is looked at once, before its first source folder.
        TWalkCase{"FoldersOnTwoDrives",
                  {"C:\\Data\\Sub", "D:\\Docs", "C:\\Data"},
                  7,
                  {"C/top.txt.VL001", "C/Data/a.txt.VL001", "C/Data/Sub/b.txt.VL001",
                   "C/Data/Sub/b.txt.VL002", "D/d.txt.VL001", "D/Docs/e.txt.VL001"}}),
    [](const testing::TestParamInfo<TWalkCase>& info) { return info.param.Name; });

// ---- Files that are never backed up ----

class NeverBackedUp : public TBackupRunTest {};

TEST_F(NeverBackedUp, SwapFileTemporaryFilesAndEarlierCopies) {
    WriteFile("c/keep.txt", "kept");
    WriteFile("c/WIN386.SWP", "swap");
    WriteFile("c/Sub/win386.swp", "swap");
    WriteFile("c/Sub/Win386.Swp", "swap");
    WriteFile("c/Sub/other.swp", "a swap file by name only");
    WriteFile("c/Temp/note.txt", "temporary");
    WriteFile("c/Backup/beside.txt", "next to the backup root, not in it");
    WriteFile("c/Backup/Vaultaire/C/old.txt.VL001", "an earlier copy");
    UseTempFolder("c/Temp");
    UseDrives({Drive('C', "fixed", "c")});
    UseProfile({"C:\\"}, "C:\\Backup", 3);

    TRunOutcome run = RunBackup();

    ASSERT_TRUE(run.Done) << "error " << run.Error;
    EXPECT_EQ(FilesBelow("c/Backup/Vaultaire"),
              (std::set<std::string>{"C/keep.txt.VL001", "C/Sub/other.swp.VL001",
                                     "C/Backup/beside.txt.VL001", "C/old.txt.VL001"}));
    EXPECT_EQ(FilesBelow("c/Temp"), (std::set<std::string>{"note.txt"}))
        << "the run's own temporary files are gone";
}

// The target may lie inside a source folder, also when its drive letter is written in the
// other case: the copies of this run are never copied again.
TEST_F(NeverBackedUp, CopiesBelowTheBackupRootWhateverTheCaseOfItsDriveLetter) {
    WriteFile("c/Data/a.txt", "a");
    WriteFile("c/Data/Sub/b.txt", "b");
    UseDrives({Drive('C', "fixed", "c")});
    UseProfile({"C:\\Data"}, "c:\\Data\\Backup", 3);

    TRunOutcome run = RunBackup();

    ASSERT_TRUE(run.Done) << "error " << run.Error;
    EXPECT_EQ(FilesBelow("c/Data/Backup/Vaultaire"),
              (std::set<std::string>{"C/Data/a.txt.VL001", "C/Data/Sub/b.txt.VL001"}));
}

TEST_F(NeverBackedUp, TheLog) {
    // The data folder, with the log in it, is a drive of its own here.
    fs::create_directories(Host("e"));
    UseDrives({Drive('E', "fixed", "e"), "L: fixed \"" + Data.Dir().Path().string() + "\""});
    UseProfile({"L:\\"}, "E:\\", 3);
    const std::string mapName = fs::path(DriveMapFileName().Text()).filename().string();

    TRunOutcome run = RunBackup();

    ASSERT_TRUE(run.Done) << "error " << run.Error;
    ASSERT_EQ(LogFileName(), "L:\\Vaultaire 2000.log");
    std::set<std::string> copies = FilesBelow("e/Vaultaire/L");
    EXPECT_TRUE(copies.contains(mapName + ".VL001")) << "the data folder was walked";
    EXPECT_FALSE(copies.contains("Vaultaire 2000.log.VL001"));
}

TEST_F(NeverBackedUp, TheProgram) {
    // The program lies alone in its folder; only files without an extension are covered, as
    // the program's file is.
    const fs::path program = fs::read_symlink("/proc/self/exe");
    WriteFile("c/README", "no extension");
    fs::create_directories(Host("e"));
    UseDrives({Drive('C', "fixed", "c"), Drive('E', "fixed", "e"),
               "P: fixed \"" + program.parent_path().string() + "\""});
    TProfile& profile = UseProfile({"C:\\", "P:\\"}, "E:\\", 3);
    // A file without an extension is judged by the include list alone.
    profile.Masks.Excludes = {".*"};

    TRunOutcome run = RunBackup();

    ASSERT_TRUE(run.Done) << "error " << run.Error;
    EXPECT_GE(run.TotalFiles, 2);
    EXPECT_EQ(FilesBelow("e/Vaultaire"), (std::set<std::string>{"C/README.VL001"}));
}

}  // namespace

// ---- Folders that cannot be read ----

namespace {

// Makes listings of host folders fail as a folder without read permission does, also for
// root (the platform layer's test switch).
class TUnreadableFolders {
  public:
    explicit TUnreadableFolders(const std::vector<std::string>& hostFolders) {
        std::string list;
        for (const std::string& folder : hostFolders)
            list += (list.empty() ? "" : ":") + folder;
        setenv(kSwitch, list.c_str(), 1);
    }
    ~TUnreadableFolders() { unsetenv(kSwitch); }

  private:
    static constexpr const char* kSwitch = "VAULTAIRE_UNREADABLE_FOLDERS";
};

struct TUnreadableCase {
    const char* Name;
    std::vector<std::string> Sources;
    std::vector<std::string> Unreadable;  // below the world
    std::vector<std::string> Entries;     // the log's entries about folders, in order
    std::set<std::string> Copies;
};

void PrintTo(const TUnreadableCase& c, std::ostream* out) {
    *out << c.Name;
}

class FoldersToRead : public TBackupRunTest {
  protected:
    void SetUp() override {
        WriteFile("c/Data/a.txt", "a");
        WriteFile("c/Data/Locked/secret.txt", "cannot be read");
        WriteFile("c/Other/o.txt", "o");
        fs::create_directories(Host("e"));
        UseDrives({Drive('C', "fixed", "c"), Drive('E', "fixed", "e")});
    }
};

class UnreadableFolder : public FoldersToRead,
                         public testing::WithParamInterface<TUnreadableCase> {};

class FolderWithoutPermissions : public FoldersToRead {};

}  // namespace

// What a folder holds that cannot be read is not backed up: the log names the folder and
// the reason, the run counts it as failed, and the other folders are backed up.
TEST_P(UnreadableFolder, IsLoggedAndFailsTheRun) {
    const TUnreadableCase& c = GetParam();
    std::vector<std::string> hostFolders;
    for (const std::string& below : c.Unreadable)
        hostFolders.push_back(Host(below));
    TUnreadableFolders unreadable(hostFolders);
    UseProfile(c.Sources, "E:\\", 3);

    TRunOutcome run = RunBackup();

    ASSERT_TRUE(run.Done) << "error " << run.Error;
    EXPECT_EQ(run.FailedFolders, static_cast<int>(c.Entries.size()));
    EXPECT_EQ(run.FailedFiles, 0);
    std::vector<std::string> entries;
    for (const std::string& line : LogLines()) {
        size_t at = line.find("Error reading folder: ");
        if (at != std::string::npos)
            entries.push_back(line.substr(at));
    }
    EXPECT_EQ(entries, c.Entries);
    EXPECT_EQ(FilesBelow("e/Vaultaire"), c.Copies);
}

INSTANTIATE_TEST_SUITE_P(
    , UnreadableFolder,
    testing::Values(TUnreadableCase{"SubFolder",
                                    {"C:\\Data"},
                                    {"c/Data/Locked"},
                                    {"Error reading folder: C:\\Data\\Locked. Access is denied"},
                                    {"C/Data/a.txt.VL001"}},
                    TUnreadableCase{"SourceFolder",
                                    {"C:\\Other", "C:\\Data"},
                                    {"c/Other"},
                                    {"Error reading folder: C:\\Other. Access is denied"},
                                    {"C/Data/a.txt.VL001", "C/Data/Locked/secret.txt.VL001"}},
                    TUnreadableCase{
                        "MissingSourceFolder",
                        {"C:\\Gone", "C:\\Other"},
                        {},
                        {"Error reading folder: C:\\Gone. The system cannot find the path "
                         "specified"},
                        {"C/Other/o.txt.VL001"}},
                    // The root of the drive is looked at for files before its source folder.
                    TUnreadableCase{"RootOfTheSourceDrive",
                                    {"C:\\Data\\Locked"},
                                    {"c"},
                                    {"Error reading folder: C:\\. Access is denied"},
                                    {"C/Data/Locked/secret.txt.VL001"}}),
    [](const testing::TestParamInfo<TUnreadableCase>& info) { return info.param.Name; });

// The real thing, for a user who is not allowed to read every folder: a folder without
// read permission cannot be listed, one without search permission lists names whose
// entries cannot be looked at.
TEST_F(FolderWithoutPermissions, CannotBeReadByAUserWhoMayNotReadEveryFolder) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root may read every folder";
    WriteFile("c/Data/NoSearch/hidden.txt", "names only");
    fs::permissions(Host("c/Data/Locked"), fs::perms::none);
    fs::permissions(Host("c/Data/NoSearch"), fs::perms::owner_read);
    UseProfile({"C:\\Data"}, "E:\\", 3);

    TRunOutcome run = RunBackup();

    fs::permissions(Host("c/Data/Locked"), fs::perms::owner_all);
    fs::permissions(Host("c/Data/NoSearch"), fs::perms::owner_all);
    ASSERT_TRUE(run.Done) << "error " << run.Error;
    EXPECT_EQ(run.FailedFolders, 2);
    EXPECT_EQ(FilesBelow("e/Vaultaire"), std::set<std::string>{"C/Data/a.txt.VL001"});
}

// ---- A backup root reached under other names ----

namespace {

struct TLink {
    std::string Below;  // the link, below the world
    std::string To;     // where it leads, below the world
};

struct TReachedCase {
    const char* Name;
    std::vector<TLink> Links;
    std::vector<std::string> OtherDrives;  // "D:c/src": letter and folder below the world
    std::vector<std::string> Sources;
    std::string Target;
    std::string Root;  // the backup root, below the world
    std::set<std::string> Copies;
};

void PrintTo(const TReachedCase& c, std::ostream* out) {
    *out << c.Name;
}

class BackupRootReached : public TBackupRunTest,
                          public testing::WithParamInterface<TReachedCase> {};

}  // namespace

// However the walk reaches the backup root, it never enters it: after two runs there are
// two versions of the one source file and no copies of copies.
TEST_P(BackupRootReached, UnderAnotherNameIsNeverBackedUp) {
    const TReachedCase& c = GetParam();
    WriteFile("c/src/a.txt", "a");
    fs::create_directories(Host("c/src/bk"));
    for (const TLink& link : c.Links)
        fs::create_symlink(Host(link.To), Host(link.Below));
    std::vector<std::string> drives = {Drive('C', "fixed", "c")};
    for (const std::string& drive : c.OtherDrives)
        drives.push_back(Drive(drive[0], "fixed", drive.substr(2)));
    UseDrives(drives);
    UseProfile(c.Sources, c.Target, 3);

    for (int run = 1; run <= 2; ++run) {
        TRunOutcome outcome = RunBackup();
        ASSERT_TRUE(outcome.Done) << "run " << run << ": error " << outcome.Error;
        EXPECT_EQ(outcome.FailedFiles, 0) << "run " << run;
    }
    EXPECT_EQ(FilesBelow(c.Root), c.Copies);
}

INSTANTIATE_TEST_SUITE_P(
    , BackupRootReached,
    testing::Values(
        TReachedCase{"TargetIsALinkIntoTheSource",
                     {{"c/tlink", "c/src/bk"}},
                     {},
                     {"C:\\src"},
                     "C:\\tlink",
                     "c/src/bk/Vaultaire",
                     {"C/src/a.txt.VL001", "C/src/a.txt.VL002"}},
        TReachedCase{"SourceReachedThroughALink",
                     {{"c/slink", "c/src"}},
                     {},
                     {"C:\\slink"},
                     "C:\\src\\bk",
                     "c/src/bk/Vaultaire",
                     {"C/slink/a.txt.VL001", "C/slink/a.txt.VL002"}},
        TReachedCase{"SourceDriveIsAFolderOfTheTargetDrive",
                     {},
                     {"D:c/src"},
                     {"D:\\"},
                     "C:\\src\\bk",
                     "c/src/bk/Vaultaire",
                     {"D/a.txt.VL001", "D/a.txt.VL002"}},
        TReachedCase{"TargetDriveIsAFolderInsideTheSource",
                     {},
                     {"D:c/src/bk"},
                     {"C:\\src"},
                     "D:\\",
                     "c/src/bk/Vaultaire",
                     {"C/src/a.txt.VL001", "C/src/a.txt.VL002"}},
        // The link leads nowhere in the first run, to the first run's copy in the second.
        TReachedCase{"FileLinkToACopy",
                     {{"c/src/copy.txt", "c/src/bk/Vaultaire/C/src/a.txt.VL001"}},
                     {},
                     {"C:\\src"},
                     "C:\\src\\bk",
                     "c/src/bk/Vaultaire",
                     {"C/src/a.txt.VL001", "C/src/a.txt.VL002"}}),
    [](const testing::TestParamInfo<TReachedCase>& info) { return info.param.Name; });
