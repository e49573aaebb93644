// Backups to a series of diskettes in drive A: labelling the first one, going on to the
// next when one is full, the wrong diskette and what the user chooses to do about it,
// write protection, and a file that does not fit on any diskette.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <ostream>

#include "backupmessages.h"
#include "driveanswers.h"
#include "enginefixture.h"
#include "errorcodes.h"
#include "interaction.h"

namespace fs = std::filesystem;

namespace {

class Diskettes : public TBackupRunTest {
  protected:
    // Drive A: takes diskettes of capacity bytes; C: holds the sources.
    void UseDiskDrive(int64_t capacity, const std::string& options = "") {
        std::string all = "capacity=" + std::to_string(capacity) + " simulated";
        UseDrives({Drive('C', "fixed", "c"),
                   Drive('A', "removable", "a", options.empty() ? all : all + " " + options)});
    }

    // A profile of C:\Data to drive A whose series is at diskette labelNumber, as stored.
    void UseSeries(int labelNumber) {
        UseProfile({"C:\\Data"}, "A:\\", 3);
        Profile().Header.LabelNumber = labelNumber;
        SaveProfile();
    }
};

TEST_F(Diskettes, EmptyDisketteStartsTheSeries) {
    WriteFile("c/Data/a.txt", "a");
    MakeDiskette("blank", 0x1111AAAA, "");
    InsertDiskette("blank");
    UseDiskDrive(1457664);
    UseSeries(0);

    TRunOutcome run = RunBackup();

    ASSERT_TRUE(run.Done) << "error " << run.Error;
    EXPECT_TRUE(run.Questions.empty());
    EXPECT_EQ(LabelOf("a"), "Letters-001");
    EXPECT_EQ(StoredProfile().Header.LabelNumber, 1);
    EXPECT_EQ(FilesBelow("a"), std::set<std::string>{"Vaultaire/C/Data/a.txt.VL001"});
}

TEST_F(Diskettes, ForeignDisketteIsErasedWhenTheUserAgrees) {
    WriteFile("c/Data/a.txt", "a");
    MakeDiskette("holiday", 0x2222BBBB, "HOLIDAY");
    WriteFile("holiday/photo.jpg", "someone's photo");
    InsertDiskette("holiday");
    UseDiskDrive(1457664);
    UseSeries(0);
    Script.ExpectText("is not empty", IDYES);

    TRunOutcome run = RunBackup();

    ASSERT_TRUE(run.Done) << "error " << run.Error;
    EXPECT_EQ(run.Questions, std::vector<uint32_t>{WM_DISKNOTEMPTY});
    EXPECT_EQ(LabelOf("a"), "Letters-001");
    EXPECT_EQ(FilesBelow("a"), std::set<std::string>{"Vaultaire/C/Data/a.txt.VL001"});
}

// A file that does not fit on an empty diskette is logged and passed over; the run goes on.
TEST_F(Diskettes, FileLargerThanTheDisketteIsSkipped) {
    WriteFile("c/Data/big.dat", RandomBytes(5000, 3));
    WriteFile("c/Data/small.txt", "small");
    MakeDiskette("disk1", 0x1111AAAA, "Letters-001");
    InsertDiskette("disk1");
    UseDiskDrive(3000);
    UseSeries(1);

    TRunOutcome run = RunBackup();

    ASSERT_TRUE(run.Done) << "error " << run.Error;
    EXPECT_TRUE(run.Questions.empty());
    EXPECT_EQ(FilesBelow("a"), std::set<std::string>{"Vaultaire/C/Data/small.txt.VL001"});
    EXPECT_TRUE(ArchiveAttributeSet("C:\\Data\\big.dat"));
    std::vector<std::string> log = LogLines();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_TRUE(log[0].ends_with("Backup operation started.")) << log[0];
    std::vector<std::string> files = {log[1], log[2]};
    std::sort(files.begin(), files.end(), [](const std::string& a, const std::string& b) {
        return a.find("Error") != std::string::npos && b.find("Error") == std::string::npos;
    });
    EXPECT_TRUE(files[0].ends_with(
        "Error saving file: C:\\Data\\big.dat. File size exceeds target drive capacity."))
        << files[0];
    EXPECT_TRUE(files[1].ends_with("Saving file: C:\\Data\\small.txt")) << files[1];
    EXPECT_TRUE(log[3].ends_with("Backup operation ended.")) << log[3];
}

// Two files that do not fit on one diskette together: when the first diskette is full the
// user puts in an empty one, which becomes the next of the series.
TEST_F(Diskettes, SeriesGoesOnToTheNextDiskette) {
    WriteFile("c/Data/one.dat", RandomBytes(6000, 4));
    WriteFile("c/Data/two.dat", RandomBytes(6000, 5));
    MakeDiskette("disk1", 0x1111AAAA, "");
    MakeDiskette("disk2", 0x2222BBBB, "");
    InsertDiskette("disk1");
    UseDiskDrive(10000);
    UseSeries(0);
    BeforeAnswer = [this](uint32_t message) {
        if (message == WM_DRIVEFULL)
            InsertDiskette("disk2");
    };
    Script.Expect(32007, IDOK);

    TRunOutcome run = RunBackup();

    ASSERT_TRUE(run.Done) << "error " << run.Error;
    EXPECT_EQ(run.Questions, std::vector<uint32_t>{WM_DRIVEFULL});
    EXPECT_EQ(LabelOf("disk1"), "Letters-001");
    EXPECT_EQ(LabelOf("a"), "Letters-002");
    EXPECT_EQ(StoredProfile().Header.LabelNumber, 2);
    std::set<std::string> first = FilesBelow("disk1/Vaultaire");
    std::set<std::string> second = FilesBelow("a/Vaultaire");
    ASSERT_EQ(first.size(), 1u);
    ASSERT_EQ(second.size(), 1u);
    first.merge(second);
    EXPECT_EQ(first, (std::set<std::string>{"C/Data/one.dat.VL001", "C/Data/two.dat.VL001"}));
}

// The file is changed while the run waits for the next diskette: the copy holds the state
// that was read, and the file stays marked for the next backup.
TEST_F(Diskettes, FileChangedWhileWaitingForADisketteStaysMarked) {
    const std::string content = RandomBytes(6000, 6);
    WriteFile("c/Data/one.dat", content);
    MakeDiskette("disk1", 0x1111AAAA, "Letters-001");
    WriteFile("disk1/filler", RandomBytes(6000, 7));
    MakeDiskette("disk2", 0x2222BBBB, "");
    InsertDiskette("disk1");
    UseDiskDrive(10000);
    UseSeries(1);
    BeforeAnswer = [this](uint32_t message) {
        if (message != WM_DRIVEFULL)
            return;
        std::ofstream(Host("c/Data/one.dat"), std::ios::app) << "more";
        InsertDiskette("disk2");
    };
    Script.Expect(32007, IDOK);

    TRunOutcome run = RunBackup();

    ASSERT_TRUE(run.Done) << "error " << run.Error;
    TArchived copy = ReadArchive("a/Vaultaire/C/Data/one.dat.VL001");
    ASSERT_TRUE(copy.Valid);
    EXPECT_EQ(copy.Content, content);
    EXPECT_TRUE(ArchiveAttributeSet("C:\\Data\\one.dat"));
}

// ---- The wrong diskette ----

struct TWrongDiskCase {
    const char* Name;
    int Answer;
    int Choice;
    bool InsertsTheRightOne;  // the user puts diskette 3 in before pressing OK
    int Error;
    const char* LabelInDrive;
    int LabelNumber;  // as stored after the run
    std::set<std::string> FilesInDrive;
};

void PrintTo(const TWrongDiskCase& c, std::ostream* out) {
    *out << c.Name;
}

class WrongDiskette : public Diskettes, public testing::WithParamInterface<TWrongDiskCase> {};

// The series is at diskette 3, and diskette 2, with a copy on it, is in the drive.
TEST_P(WrongDiskette, DoesWhatTheUserChose) {
    const TWrongDiskCase& c = GetParam();
    WriteFile("c/Data/a.txt", "a");
    MakeDiskette("disk2", 0x2222BBBB, "Letters-002");
    WriteFile("disk2/Vaultaire/C/Data/old.txt.VL001", "copy on diskette 2");
    MakeDiskette("disk3", 0x3333CCCC, "Letters-003");
    InsertDiskette("disk2");
    UseDiskDrive(1457664);
    UseSeries(3);
    BeforeAnswer = [&](uint32_t message) {
        if (message == WM_WRONGDISK && c.InsertsTheRightOne)
            InsertDiskette("disk3");
    };
    Script.ExpectDiskette(c.Answer, c.Choice);

    TRunOutcome run = RunBackup();

    EXPECT_EQ(run.Done, c.Error == 0);
    EXPECT_EQ(run.Error, c.Error);
    EXPECT_EQ(run.Questions, std::vector<uint32_t>{WM_WRONGDISK});
    EXPECT_EQ(LabelOf("a"), c.LabelInDrive);
    EXPECT_EQ(FilesBelow("a"), c.FilesInDrive);
    EXPECT_EQ(StoredProfile().Header.LabelNumber, c.LabelNumber);
    if (c.InsertsTheRightOne) {
        EXPECT_EQ(LabelOf("disk2"), "Letters-002");
        EXPECT_EQ(FilesBelow("disk2"), std::set<std::string>{"Vaultaire/C/Data/old.txt.VL001"});
    }
}

const std::set<std::string> kOnlyTheNewCopy = {"Vaultaire/C/Data/a.txt.VL001"};

INSTANTIATE_TEST_SUITE_P(
    , WrongDiskette,
    testing::Values(TWrongDiskCase{"InsertTheExpectedOne", IDOK, gdInsert, true, 0, "Letters-003",
                                   3, kOnlyTheNewCopy},
                    TWrongDiskCase{"RestartTheSeries", IDOK, gdRestart, false, 0, "Letters-001", 1,
                                   kOnlyTheNewCopy},
                    TWrongDiskCase{"MakeItTheExpectedOne", IDOK, gdRenumber, false, 0,
                                   "Letters-003", 3, kOnlyTheNewCopy},
                    TWrongDiskCase{"SkipToTheNextNumber", IDOK, gdSkip, false, 0, "Letters-004", 4,
                                   kOnlyTheNewCopy},
                    TWrongDiskCase{"Cancel",
                                   IDCANCEL,
                                   gdInsert,
                                   false,
                                   ERR_CANCELLED,
                                   "Letters-002",
                                   3,
                                   {"Vaultaire/C/Data/old.txt.VL001"}}),
    [](const testing::TestParamInfo<TWrongDiskCase>& info) { return info.param.Name; });

// ---- Write protection ----

TEST_F(Diskettes, WriteProtectedDisketteIsUsedOnceTheProtectionIsOff) {
    WriteFile("c/Data/a.txt", "a");
    MakeDiskette("disk1", 0x1111AAAA, "Letters-001");
    InsertDiskette("disk1");
    UseDiskDrive(1457664, "write-protected");
    UseSeries(1);
    BeforeAnswer = [this](uint32_t message) {
        if (message == WM_WRITEPROTECTED)
            UseDiskDrive(1457664);
    };
    Script.Expect(32004, IDRETRY);

    TRunOutcome run = RunBackup();

    ASSERT_TRUE(run.Done) << "error " << run.Error;
    EXPECT_EQ(run.Questions, std::vector<uint32_t>{WM_WRITEPROTECTED});
    EXPECT_EQ(FilesBelow("a"), std::set<std::string>{"Vaultaire/C/Data/a.txt.VL001"});
}

TEST_F(Diskettes, WriteProtectedDisketteCancelled) {
    WriteFile("c/Data/a.txt", "a");
    MakeDiskette("disk1", 0x1111AAAA, "Letters-001");
    InsertDiskette("disk1");
    UseDiskDrive(1457664, "write-protected");
    UseSeries(1);
    Script.Expect(32004, IDCANCEL);

    TRunOutcome run = RunBackup();

    EXPECT_FALSE(run.Done);
    EXPECT_EQ(run.Error, ERR_CANCELLED);
    EXPECT_TRUE(FilesBelow("a").empty());
    EXPECT_TRUE(ArchiveAttributeSet("C:\\Data\\a.txt"));
}

}  // namespace
