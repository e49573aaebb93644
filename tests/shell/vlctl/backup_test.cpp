// vlctl backup beside other processes and in a hostile world: a second run of one target,
// folders that cannot be read, a target that is a link into its source, and runs that are
// interrupted or killed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <ostream>
#include <set>
#include <thread>

#include "platform/filelock.h"
#include "runprogram.h"
#include "sandboxdata.h"

namespace fs = std::filesystem;

namespace {

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The regular files below folder, relative to it.
std::set<std::string> FilesBelow(const fs::path& folder) {
    std::set<std::string> files;
    if (!fs::exists(folder))
        return files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file())
            files.insert(fs::relative(entry.path(), folder).generic_string());
    }
    return files;
}

class VlctlBackup : public testing::Test {
  protected:
    void SetUp() override {
        const char* temp = std::getenv("TMPDIR");
        SavedTemp = temp ? temp : "";
        setenv("TMPDIR", Temp.Path().c_str(), 1);
    }
    void TearDown() override { setenv("TMPDIR", SavedTemp.c_str(), 1); }

    TRunResult Vlctl(const std::vector<std::string>& arguments) {
        return RunProgram(VLCTL_PROGRAM, arguments);
    }
    void AddProfile(const std::string& source, const std::string& target) {
        TRunResult added = Vlctl({"profile", "add", "--title", "P", "--source", source, "--target",
                                  target, "--versions", "3"});
        ASSERT_EQ(added.ExitCode, 0) << added.Err;
    }
    std::string Log() const { return ReadTextFile(Data.Dir().Path() / "Vaultaire 2000.log"); }

    TFreshDataFolder Data;
    TTempDir World;
    TTempDir Temp;  // the system's temporary folder of the runs
    std::string SavedTemp;
};

// ---- A second run of one target ----

TEST_F(VlctlBackup, ASecondRunOfOneTargetIsRefusedAndTouchesNothing) {
    UseDriveMap("detect off\nC: fixed " + World / "c" + "\nE: fixed " + World / "e" + "\n");
    WriteTextFile(World / "c/Data/a.txt", "a");
    WriteTextFile(World / "e/Vaultaire/VLNEW___.77-abcdef", "the first run's copy on its way");
    AddProfile("C:\\Data", "E:\\");
    std::set<std::string> before = FilesBelow(World / "e");

    TFileLock firstRun(TFileLock::NameForFolder(THostPath(World / "e/Vaultaire")));
    ASSERT_TRUE(firstRun.Locked());
    TRunResult second = Vlctl({"backup", "P"});

    EXPECT_EQ(second.ExitCode, 1);
    EXPECT_TRUE(Contains(second.Err,
                         "Another backup to this target is running; this backup did not start."))
        << second.Err;
    EXPECT_EQ(FilesBelow(World / "e"), before);
    EXPECT_TRUE(Contains(Log(), "Another backup to this target is running")) << Log();
}

// ---- Folders that cannot be read ----

TEST_F(VlctlBackup, AFolderThatCannotBeReadFailsTheRun) {
    UseDriveMap("detect off\nC: fixed " + World / "c" + "\nE: fixed " + World / "e" + "\n");
    WriteTextFile(World / "c/Data/a.txt", "a");
    WriteTextFile(World / "c/Data/Locked/b.txt", "b");
    fs::create_directories(World / "e");
    AddProfile("C:\\Data,C:\\Gone", "E:\\");

    setenv("VAULTAIRE_UNREADABLE_FOLDERS", (World / "c/Data/Locked").c_str(), 1);
    TRunResult run = Vlctl({"backup"});
    unsetenv("VAULTAIRE_UNREADABLE_FOLDERS");

    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_TRUE(Contains(run.Err, "2 folders could not be read; the log tells why")) << run.Err;
    EXPECT_TRUE(Contains(Log(), "Error reading folder: C:\\Data\\Locked. Access is denied"))
        << Log();
    EXPECT_TRUE(Contains(Log(),
                         "Error reading folder: C:\\Gone. The system cannot find the "
                         "path specified"))
        << Log();
    EXPECT_EQ(FilesBelow(World / "e/Vaultaire"), std::set<std::string>{"C/Data/a.txt.VL001"});
}

// ---- A target that is a link into its source ----

TEST_F(VlctlBackup, ATargetLinkedIntoTheSourceGetsNoCopiesOfCopies) {
    UseDriveMap("detect off\nC: fixed " + World / "home" + "\n");
    WriteTextFile(World / "home/src/a.txt", "a");
    fs::create_directories(World / "home/src/bk");
    fs::create_symlink(World / "home/src/bk", World / "home/tlink");
    AddProfile("C:\\src", "C:\\tlink");

    for (int run = 1; run <= 3; ++run)
        ASSERT_EQ(Vlctl({"backup"}).ExitCode, 0) << "run " << run;

    EXPECT_EQ(FilesBelow(World / "home/src/bk"),
              (std::set<std::string>{"Vaultaire/C/src/a.txt.VL001", "Vaultaire/C/src/a.txt.VL002",
                                     "Vaultaire/C/src/a.txt.VL003"}));
}

TEST_F(VlctlBackup, ATargetThatLeadsToASourceFolderIsRefused) {
    UseDriveMap("detect off\nC: fixed " + World / "home" + "\n");
    fs::create_directories(World / "home/src");
    fs::create_symlink(World / "home/src", World / "home/tlink");

    TRunResult added =
        Vlctl({"profile", "add", "--title", "P", "--source", "C:\\src", "--target", "C:\\tlink"});

    EXPECT_EQ(added.ExitCode, 1);
    EXPECT_TRUE(Contains(added.Err, "is one of the folders selected to monitor")) << added.Err;
}

// ---- Interrupted and killed runs ----

struct TSignalCase {
    const char* Name;
    int Signal;
    int ExitCode;
};

void PrintTo(const TSignalCase& c, std::ostream* out) {
    *out << c.Name;
}

class VlctlBackupStopped : public VlctlBackup, public testing::WithParamInterface<TSignalCase> {};

// The run is stopped while a compressed copy waits in its temporary file for a diskette
// with room. Interrupted, it cleans up and exits 2; killed, it cannot, and the next run
// removes what it left. Neither leaves a work file on the diskette.
TEST_P(VlctlBackupStopped, LeavesNothingAfterTheNextRun) {
    const TSignalCase& c = GetParam();
    UseDriveMap("detect off\nC: fixed " + World / "c" + "\nA: removable " + World / "a" +
                " capacity=10000 simulated\n");
    WriteTextFile(World / "c/Data/one.dat", Incompressible(6000, 1));
    WriteTextFile(World / "c/Data/two.dat", Incompressible(6000, 2));
    WriteTextFile(World / "a/.vaultaire/volume", "serial=1111-AAAA\nlabel=\n");
    AddProfile("C:\\Data", "A:\\");

    {
        TBackgroundProgram run(VLCTL_PROGRAM, {"backup"}, World.Path());
        ASSERT_TRUE(run.WaitUntil([&] {
            return Contains(run.Output(), "is full") && !FilesBelow(Temp.Path()).empty();
        })) << run.Output();
        run.Signal(c.Signal);
        EXPECT_EQ(run.Wait(), c.ExitCode) << run.Output();
        if (c.Signal == SIGKILL) {
            EXPECT_EQ(FilesBelow(Temp.Path()).size(), 1u) << "a killed run cannot clean up";
        } else {
            EXPECT_TRUE(FilesBelow(Temp.Path()).empty());
            EXPECT_TRUE(Contains(run.Errors(), "Backup operation cancelled.")) << run.Errors();
        }
    }
    // The next run finds no room either and is cancelled by the end of its input.
    Vlctl({"backup"});

    EXPECT_TRUE(FilesBelow(Temp.Path()).empty());
    for (const std::string& file : FilesBelow(World / "a"))
        EXPECT_FALSE(Contains(file, "VLNEW___")) << file;
}

INSTANTIATE_TEST_SUITE_P(, VlctlBackupStopped,
                         testing::Values(TSignalCase{"Terminated", SIGTERM, 2},
                                         TSignalCase{"Interrupted", SIGINT, 2},
                                         TSignalCase{"Killed", SIGKILL, 128 + SIGKILL}),
                         [](const testing::TestParamInfo<TSignalCase>& info) {
                             return info.param.Name;
                         });

}  // namespace
