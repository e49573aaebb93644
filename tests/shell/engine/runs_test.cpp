// Backup runs beside other processes: one run per backup root at a time, however the root
// is named; what a killed run left behind is removed by the next; a cancelled run ends
// cleanly.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <numeric>
#include <ostream>

#include "backupmessages.h"
#include "enginefixture.h"
#include "errorcodes.h"
#include "interaction.h"
#include "platform/filelock.h"
#include "platform/files.h"

namespace fs = std::filesystem;

namespace {

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The process number of a process that has ended.
pid_t EndedProcess() {
    pid_t child = fork();
    if (child == 0)
        _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

// ---- One run per backup root ----

struct TBusyCase {
    const char* Name;
    std::string OtherRoot;  // the backup root of the run that holds it, below the world
};

void PrintTo(const TBusyCase& c, std::ostream* out) {
    *out << c.Name;
}

class BackupRootInUse : public TBackupRunTest, public testing::WithParamInterface<TBusyCase> {};

// Another run (another process, here the lock it holds) backs up to the same root: this run
// says so and ends before it touches the target; once the other has ended, it goes through.
TEST_P(BackupRootInUse, RefusesTheSecondRunAndLeavesTheTarget) {
    WriteFile("c/Data/a.txt", "new content");
    WriteFile("e/Vaultaire/C/Data/a.txt.VL001", "the other run's version");
    WriteFile("e/Vaultaire/VLNEW___.4242-abcdef", "the other run's copy on its way in");
    fs::create_symlink(Host("e"), Host("elink"));
    UseDrives({Drive('C', "fixed", "c"), Drive('E', "fixed", "e"), Drive('F', "fixed", "elink")});
    UseProfile({"C:\\Data"}, "E:\\", 3);
    std::set<std::string> before = FilesBelow("e");

    {
        TFileLock other(TFileLock::NameForFolder(THostPath(Host(GetParam().OtherRoot))));
        ASSERT_TRUE(other.Locked());

        TRunOutcome run = RunBackup();

        EXPECT_EQ(run.Error, ERR_TARGETBUSY);
        EXPECT_EQ(run.TotalFiles, -1) << "not even counted";
        EXPECT_TRUE(run.Questions.empty());
        EXPECT_EQ(FilesBelow("e"), before);
        EXPECT_EQ(ReadFile("e/Vaultaire/VLNEW___.4242-abcdef"),
                  "the other run's copy on its way in");
        EXPECT_TRUE(ArchiveAttributeSet("C:\\Data\\a.txt"));
        std::vector<std::string> log = LogLines();
        ASSERT_EQ(log.size(), 3u);
        EXPECT_TRUE(log[1].ends_with(
            "Another backup to this target is running; this backup did not start."))
            << log[1];
    }

    TRunOutcome run = RunBackup();
    ASSERT_TRUE(run.Done) << "error " << run.Error;
    EXPECT_EQ(FilesBelow("e"), (std::set<std::string>{"Vaultaire/C/Data/a.txt.VL001",
                                                      "Vaultaire/C/Data/a.txt.VL002"}));
}

INSTANTIATE_TEST_SUITE_P(, BackupRootInUse,
                         testing::Values(TBusyCase{"SameFolder", "e/Vaultaire"},
                                         TBusyCase{"ThroughALink", "elink/Vaultaire"},
                                         TBusyCase{"WrittenWithDots", "c/../e/./Vaultaire"}),
                         [](const testing::TestParamInfo<TBusyCase>& info) {
                             return info.param.Name;
                         });

// A diskette drive is locked as soon as it holds a diskette: a second run never gets to
// offer to erase the diskette the first one writes to.
class DisketteDriveInUse : public TBackupRunTest {};

TEST_F(DisketteDriveInUse, TheDisketteIsNotErasedByASecondRun) {
    WriteFile("c/Data/a.txt", "a");
    MakeDiskette("a", 0x2222BBBB, "HOLIDAY");
    WriteFile("a/photo.jpg", "someone's photo");
    UseDrives({Drive('C', "fixed", "c"), Drive('A', "removable", "a", "simulated")});
    UseProfile({"C:\\Data"}, "A:\\", 3);
    TFileLock other(TFileLock::NameForFolder(THostPath(Host("a/Vaultaire"))));
    ASSERT_TRUE(other.Locked());

    TRunOutcome run = RunBackup();

    EXPECT_EQ(run.Error, ERR_TARGETBUSY);
    EXPECT_TRUE(run.Questions.empty());
    EXPECT_EQ(ReadFile("a/photo.jpg"), "someone's photo");
    EXPECT_EQ(LabelOf("a"), "HOLIDAY");
}

// ---- What runs leave behind ----

class Leftovers : public TBackupRunTest {
  protected:
    void SetUp() override {
        WriteFile("c/Data/a.txt", "a");
        WriteFile("c/Data/Sub/b.txt", "b");
        fs::create_directories(Host("e"));
        UseTempFolder("tmp");
        UseDrives({Drive('C', "fixed", "c"), Drive('E', "fixed", "e")});
        UseProfile({"C:\\Data"}, "E:\\", 3);
    }
};

// A run that was killed left its temporary file (named by its process): the next run
// removes it. Files of running processes and files that are not the runs' stay.
TEST_F(Leftovers, TemporaryFilesOfKilledRunsAreRemoved) {
    const std::string dead = "VLD" + std::to_string(EndedProcess()) + "-k1lled";
    const std::string running = "VLD" + std::to_string(getppid()) + "-runs00";
    WriteFile("tmp/" + dead, RandomBytes(5000, 7));
    WriteFile("tmp/" + running, "a run of a process that is still there");
    WriteFile("tmp/VLDnotes.txt", "someone else's file");

    TRunOutcome run = RunBackup();

    ASSERT_TRUE(run.Done) << "error " << run.Error;
    EXPECT_EQ(FilesBelow("tmp"), (std::set<std::string>{running, "VLDnotes.txt"}));
}

class CancelledRun : public TBackupRunTest {};

// Cancelled (the user's Cancel, Ctrl+C, SIGTERM) while a copy waits for room, the run stops
// at the next folder and ends as a run ends: its temporary file is gone, no work file is
// left on the target, and the log closes the run.
TEST_F(CancelledRun, LeavesNothingBehind) {
    WriteFile("c/Data/one.dat", RandomBytes(6000, 4));
    WriteFile("c/Data/two.dat", RandomBytes(6000, 5));
    WriteFile("c/Data/Sub/three.dat", RandomBytes(100, 6));
    MakeDiskette("disk1", 0x1111AAAA, "");
    MakeDiskette("disk2", 0x2222BBBB, "");
    InsertDiskette("disk1");
    UseTempFolder("tmp");
    UseDrives({Drive('C', "fixed", "c"), Drive('A', "removable", "a", "capacity=10000 simulated")});
    UseProfile({"C:\\Data"}, "A:\\", 3);
    bool cancel = false;
    BeforeAnswer = [&](uint32_t message) {
        ASSERT_EQ(message, WM_DRIVEFULL);
        EXPECT_EQ(FilesBelow("tmp").size(), 1u) << "the copy waits in the temporary file";
        InsertDiskette("disk2");
        cancel = true;
    };
    CancelWhen = [&] { return cancel; };
    Script.Expect(32007, IDOK);

    TRunOutcome run = RunBackup();

    EXPECT_EQ(run.Error, ERR_CANCELLED);
    EXPECT_TRUE(FilesBelow("tmp").empty());
    for (const char* disk : {"a", "disk1"}) {
        for (const std::string& file : FilesBelow(disk))
            EXPECT_FALSE(Contains(file, "VLNEW___")) << disk << ": " << file;
    }
    std::vector<std::string> log = LogLines();
    ASSERT_FALSE(log.empty());
    EXPECT_TRUE(log.back().ends_with("Backup operation ended.")) << log.back();
}

}  // namespace

namespace {

// ---- Many files on a fixed target ----

class ManyFiles : public TBackupRunTest {
  protected:
    // The files a walk of folder meets, in its order: each folder's files, then its
    // folders' in turn.
    static std::vector<std::string> WalkOrder(const std::string& folder) {
        std::vector<std::string> files;
        std::vector<std::string> folders{folder};
        for (size_t next = 0; next < folders.size(); ++next) {
            for (TFileSearch search(folders[next] + "\\*.*", faAnyFile); search.Found();
                 search.Next()) {
                if (!search.IsDirectory())
                    files.push_back(search.FullName());
                else if (!search.IsDotDirectory())
                    folders.push_back(search.FullName());
            }
        }
        return files;
    }

    std::vector<std::string> SavedFiles() const {
        std::vector<std::string> saved;
        const std::string saving = "Saving file: ";
        for (const std::string& line : LogLines()) {
            size_t at = line.find(saving);
            if (at != std::string::npos)
                saved.push_back(line.substr(at + saving.size()));
        }
        return saved;
    }

    std::map<std::string, std::string> Contents;  // below the world -> content
};

// Files of every size, many to a folder, copied beside the walk: each is reported and
// logged in the order the walk met it, each copy reads back as its source, the older
// versions move up, and no work file is left.
TEST_F(ManyFiles, AreLoggedInTheWalksOrderAndEachCopyReadsBack) {
    UseDrives({Drive('C', "fixed", "c"), Drive('E', "fixed", "e")});
    fs::create_directories(Host("e"));
    UseProfile({"C:\\Data"}, "E:\\", 2);
    for (int round = 1; round <= 2; ++round) {
        for (int i = 0; i < 150; ++i) {
            std::string below = "c/Data/" + std::string(i % 3 == 0 ? "Sub/" : "") + "f" +
                                std::to_string(i) + ".txt";
            std::string content =
                i % 25 == 0 ? RandomBytes(150000, i + round)
                            : "round " + std::to_string(round) + " file " + std::to_string(i);
            if (round == 2)
                Contents[below] = content;
            WriteFile(below, content);
        }

        TRunOutcome run = RunBackup();

        ASSERT_TRUE(run.Done) << "error " << run.Error;
        EXPECT_EQ(run.TotalFiles, 150);
        std::vector<long> oneByOne(150);
        std::iota(oneByOne.begin(), oneByOne.end(), 1);
        EXPECT_EQ(run.Processed, oneByOne);
    }
    std::vector<std::string> saved = SavedFiles();
    ASSERT_EQ(saved.size(), 300u);
    EXPECT_EQ(std::vector<std::string>(saved.begin() + 150, saved.end()), WalkOrder("C:\\Data"));
    for (const auto& [below, content] : Contents) {
        std::string copy = "e/Vaultaire/C" + below.substr(1);
        EXPECT_EQ(ReadArchive(copy + ".VL001").Content, content) << below;
        EXPECT_TRUE(ReadArchive(copy + ".VL002").Valid) << below;
        std::string source = "C:" + below.substr(1);
        std::replace(source.begin(), source.end(), '/', '\\');
        EXPECT_FALSE(ArchiveAttributeSet(source)) << below;
    }
    for (const std::string& file : FilesBelow("e/Vaultaire"))
        EXPECT_FALSE(Contains(file, "VLNEW___")) << file;
}

}  // namespace
