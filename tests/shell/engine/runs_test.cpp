// Backup runs beside other processes: one run per backup root at a time, however the root
// is named; what a killed run left behind is removed by the next; a cancelled run ends
// cleanly.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <ostream>

#include "backupmessages.h"
#include "enginefixture.h"
#include "errorcodes.h"
#include "interaction.h"
#include "platform/filelock.h"

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
