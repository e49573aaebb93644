// How a backup run deals with its target on a fixed disk: one that is full, one that is not
// there, one that is no drive at all; what the log says of a run; files that change while
// they are copied; work files a crash left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <thread>

#include "backupmessages.h"
#include "enginefixture.h"
#include "errorcodes.h"
#include "interaction.h"

namespace fs = std::filesystem;

namespace {

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The log lines that contain part.
std::vector<std::string> LinesWith(const std::vector<std::string>& lines, const std::string& part) {
    std::vector<std::string> found;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(found),
                 [&](const std::string& line) { return Contains(line, part); });
    return found;
}

// ---- A fixed target without room ----

struct TFullCase {
    const char* Name;
    int Answer;  // to "You have run out of space on drive E..."
    int Error;
    const char* LogText;
};

void PrintTo(const TFullCase& c, std::ostream* out) {
    *out << c.Name;
}

class FixedTargetFull : public TBackupRunTest, public testing::WithParamInterface<TFullCase> {};

TEST_P(FixedTargetFull, EndsTheRunAndLeavesTheVersions) {
    WriteFile("c/Data/big.dat", RandomBytes(4000, 1));
    WriteFile("e/Vaultaire/C/Data/big.dat.VL001", "the only version");
    UseDrives({Drive('C', "fixed", "c"), Drive('E', "fixed", "e", "capacity=2000")});
    UseProfile({"C:\\Data"}, "E:\\", 1);
    Script.Expect(32006, GetParam().Answer);

    TRunOutcome run = RunBackup();

    EXPECT_FALSE(run.Done);
    EXPECT_EQ(run.Error, GetParam().Error);
    EXPECT_EQ(run.Questions, std::vector<uint32_t>{WM_DRIVEFULL});
    EXPECT_EQ(FilesBelow("e"), std::set<std::string>{"Vaultaire/C/Data/big.dat.VL001"})
        << "no work file is left behind";
    EXPECT_EQ(ReadFile("e/Vaultaire/C/Data/big.dat.VL001"), "the only version");
    EXPECT_TRUE(ArchiveAttributeSet("C:\\Data\\big.dat"));
    std::vector<std::string> log = LogLines();
    EXPECT_EQ(LinesWith(log, "big.dat"), std::vector<std::string>{})
        << "a run that ends at a file does not log the file";
    EXPECT_EQ(LinesWith(log, GetParam().LogText).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    , FixedTargetFull,
    testing::Values(TFullCase{"Told", IDOK, ERR_TARGETFULL, "Target drive full. Shutting down"},
                    TFullCase{"Cancelled", IDCANCEL, ERR_CANCELLED, "Operation cancelled."}),
    [](const testing::TestParamInfo<TFullCase>& info) { return info.param.Name; });

// ---- Targets that cannot be used ----

class UnusableTarget : public TBackupRunTest {
  protected:
    void SetUp() override {
        WriteFile("c/Data/a.txt", "a");
        WriteFile("c/Data/b.txt", "b");
        UseDrives({Drive('C', "fixed", "c")});
    }

    // Nothing of the sources was touched and nothing was copied.
    void ExpectNothingTouched() {
        EXPECT_TRUE(ArchiveAttributeSet("C:\\Data\\a.txt"));
        EXPECT_TRUE(ArchiveAttributeSet("C:\\Data\\b.txt"));
        EXPECT_EQ(FilesBelow("c"), (std::set<std::string>{"Data/a.txt", "Data/b.txt"}));
        EXPECT_EQ(LinesWith(LogLines(), "aving file: ").size(), 0u);
    }
};

TEST_F(UnusableTarget, DriveLetterWithoutADrive) {
    UseProfile({"C:\\Data"}, "Q:\\Backup", 3);

    TRunOutcome run = RunBackup();

    EXPECT_FALSE(run.Done);
    EXPECT_EQ(run.Error, ERR_TARGETNOTFOUND);
    EXPECT_EQ(run.TotalFiles, 2) << "the files are counted before the target is looked at";
    EXPECT_TRUE(run.Processed.empty());
    EXPECT_TRUE(run.Questions.empty());
    ExpectNothingTouched();
}

class TargetWithoutDriveLetter : public UnusableTarget,
                                 public testing::WithParamInterface<const char*> {};

TEST_P(TargetWithoutDriveLetter, IsRefusedByTheDrive) {
    UseProfile({"C:\\Data"}, GetParam(), 3);
    Script.ExpectText("Invalid drive letter", IDOK);

    TRunOutcome run = RunBackup();

    EXPECT_FALSE(run.Done);
    EXPECT_EQ(run.Error, ERR_UNEXPECTED);
    EXPECT_TRUE(run.Processed.empty());
    ExpectNothingTouched();
    EXPECT_EQ(LinesWith(LogLines(), "An error has occurred. Shutting down.").size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(, TargetWithoutDriveLetter,
                         testing::Values("\\\\server\\share", "Backup"));

// ---- The log of a run ----

class RunLog : public TBackupRunTest {};

TEST_F(RunLog, TellsOfEachFileBetweenStartAndEnd) {
    WriteFile("c/Data/a.txt", "a");
    WriteFile("c/Data/skipped.tmp", "not covered: not logged");
    fs::create_directories(Host("e"));
    UseDrives({Drive('C', "fixed", "c"), Drive('E', "fixed", "e")});
    UseProfile({"C:\\Data"}, "E:\\", 3);

    TRunOutcome run = RunBackup();

    ASSERT_TRUE(run.Done) << "error " << run.Error;
    std::vector<std::string> log = LogLines();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_TRUE(log[0].ends_with("Backup operation started.")) << log[0];
    EXPECT_TRUE(log[1].ends_with("Saving file: C:\\Data\\a.txt")) << log[1];
    EXPECT_TRUE(log[2].ends_with("Backup operation ended.")) << log[2];
}

// ---- Files that change while they are copied ----

class ChangingFile : public TBackupRunTest {};

// A file that is written to all the time cannot be copied as one state: after a second
// try it is logged as failed and stays marked for the next backup; the other files are
// copied.
TEST_F(ChangingFile, ThatKeepsChangingIsLoggedAsFailed) {
    WriteFile("c/Data/growing.log", RandomBytes(1 << 20, 2));
    WriteFile("c/Data/still.txt", "still");
    fs::create_directories(Host("e"));
    UseDrives({Drive('C', "fixed", "c"), Drive('E', "fixed", "e")});
    UseProfile({"C:\\Data"}, "E:\\", 3);

    std::atomic<bool> stop{false};
    std::thread writer([&] {
        std::ofstream out(Host("c/Data/growing.log"), std::ios::app | std::ios::binary);
        for (int written = 0; !stop && written < (64 << 20); written += 64) {
            out << std::string(64, 'x') << std::flush;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    TRunOutcome run = RunBackup();
    stop = true;
    writer.join();

    ASSERT_TRUE(run.Done) << "error " << run.Error;
    EXPECT_EQ(FilesBelow("e/Vaultaire"), std::set<std::string>{"C/Data/still.txt.VL001"});
    std::vector<std::string> failed = LinesWith(LogLines(), "Error saving file: ");
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_TRUE(Contains(failed[0],
                         "C:\\Data\\growing.log. The file changed while it was being "
                         "saved"))
        << failed[0];
    EXPECT_TRUE(ArchiveAttributeSet("C:\\Data\\growing.log"));
    EXPECT_FALSE(ArchiveAttributeSet("C:\\Data\\still.txt"));
}

// ---- Work files ----

class WorkFiles : public TBackupRunTest {};

TEST_F(WorkFiles, OfAnInterruptedRunGoOtherFilesInTheRootStay) {
    WriteFile("c/Data/a.txt", "a");
    WriteFile("e/Vaultaire/VLNEW___.x1y2z3", "a copy that never became a version");
    WriteFile("e/Vaultaire/VL______.000", "not ours to remove");
    UseDrives({Drive('C', "fixed", "c"), Drive('E', "fixed", "e")});
    UseProfile({"C:\\Data"}, "E:\\", 3);

    TRunOutcome run = RunBackup();

    ASSERT_TRUE(run.Done) << "error " << run.Error;
    EXPECT_EQ(FilesBelow("e/Vaultaire"),
              (std::set<std::string>{"VL______.000", "C/Data/a.txt.VL001"}));
}

}  // namespace
