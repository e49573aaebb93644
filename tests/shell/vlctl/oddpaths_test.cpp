// Paths spelled in unusual ways and names that drive paths cannot hold: the backup must
// neither copy its own copies, nor put copies where a restore would not find them, nor
// pass over a file in silence.
#include <gtest/gtest.h>

#include "runprogram.h"
#include "sandboxdata.h"

namespace fs = std::filesystem;

namespace {

class OddPaths : public testing::Test {
  protected:
    void SetUp() override {
        UseDriveMap("detect off\nC: fixed " + Drives / "c" + "\n");
        WriteTextFile(Drives.Path() / "c/Data/f.txt", "f");
        WriteTextFile(Drives.Path() / "c/root.txt", "r");
    }

    TRunResult Vlctl(const std::vector<std::string>& arguments) {
        return RunProgram(VLCTL_PROGRAM, arguments);
    }

    std::vector<std::string> FilesBelow(const std::string& folder) {
        std::vector<std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(Drives.Path() / "c" / folder)) {
            if (entry.is_regular_file()) {
                files.push_back(fs::relative(entry.path(), Drives.Path() / "c").string());
            }
        }
        std::sort(files.begin(), files.end());
        return files;
    }

    TFreshDataFolder Data;
    TTempDir Drives;
};

}  // namespace

TEST_F(OddPaths, ATargetInsideTheSourceIsNeverBackedUpHoweverItIsSpelled) {
    for (const char* target : {"C:\\Data/bk", "c:\\Data\\\\bk\\", "C:\\Data\\.\\bk"}) {
        fs::remove_all(Drives.Path() / "c/Data/bk");
        fs::remove_all(Data.Dir().Path() / "Vaultaire.vlp");
        ASSERT_EQ(
            Vlctl({"profile", "add", "--title", "Odd", "--source", "C:\\Data", "--target", target})
                .ExitCode,
            0)
            << target;
        for (int run = 0; run < 3; ++run)
            ASSERT_EQ(Vlctl({"backup"}).ExitCode, 0) << target;
        EXPECT_EQ(FilesBelow("Data/bk"),
                  (std::vector<std::string>{"Data/bk/Vaultaire/C/Data/f.txt.VL001",
                                            "Data/bk/Vaultaire/C/root.txt.VL001"}))
            << target;
    }
}

TEST_F(OddPaths, ABareDriveLetterAsSourceKeepsTheLayoutRestoreReads) {
    fs::create_directories(Drives.Path() / "t");
    UseDriveMap("detect off\nC: fixed " + Drives / "c" + "\nT: fixed " + Drives / "t" + "\n");
    ASSERT_EQ(
        Vlctl({"profile", "add", "--title", "Bare", "--source", "c:", "--target", "T:"}).ExitCode,
        0);
    ASSERT_EQ(Vlctl({"backup"}).ExitCode, 0);
    EXPECT_TRUE(fs::exists(Drives.Path() / "t/Vaultaire/C/Data/f.txt.VL001"));
    EXPECT_TRUE(fs::exists(Drives.Path() / "t/Vaultaire/C/root.txt.VL001"));
}

TEST_F(OddPaths, NamesThatDrivePathsCannotHoldAreReportedNotWalked) {
    WriteTextFile(Drives.Path() / "c/Data/what?.txt", "w");
    WriteTextFile(Drives.Path() / "c/Data/x\\y.txt", "x");
    fs::create_directories(Drives.Path() / "c/Data/sub/a\\..\\..");
    WriteTextFile(Drives.Path() / "c/Data/x/y.txt", "the other file");
    fs::create_directories(Drives.Path() / "t");
    UseDriveMap("detect off\nC: fixed " + Drives / "c" + "\nT: fixed " + Drives / "t" + "\n");
    ASSERT_EQ(
        Vlctl({"profile", "add", "--title", "Names", "--source", "C:\\Data", "--target", "T:"})
            .ExitCode,
        0);
    TRunResult run = Vlctl({"backup"});
    EXPECT_EQ(run.ExitCode, 1) << "files that could not be saved are reported: " << run.Err;
    EXPECT_NE(run.Err.find("3 files could not be saved"), std::string::npos) << run.Err;
    std::string log = ReadTextFile(Data.Dir().Path() / "Vaultaire 2000.log");
    for (const char* name :
         {"C:\\Data\\what?.txt", "C:\\Data\\x\\y.txt. The filename", "C:\\Data\\sub\\a\\..\\.."}) {
        EXPECT_NE(log.find(std::string("Error saving file: ") + name), std::string::npos)
            << name << " in\n"
            << log;
    }
    EXPECT_EQ(ReadTextFile(Drives.Path() / "c/Data/x/y.txt"), "the other file");
    EXPECT_TRUE(fs::exists(Drives.Path() / "t/Vaultaire/C/Data/x/y.txt.VL001"))
        << "the real x\\y.txt is backed up once, as itself";
}

TEST_F(OddPaths, AColonInANameIsPartOfTheName) {
    const char* const names[] = {"report:v2.txt", ":lead.txt", "trail:", "a::b:c", "x:y/in.txt"};
    fs::remove_all(Drives.Path() / "c/Data");
    for (const char* name : names)
        WriteTextFile(Drives.Path() / "c/Data" / name, std::string("content of ") + name);
    WriteTextFile(Drives.Path() / "c/v2.txt", "unrelated");
    WriteTextFile(Drives.Path() / "c/in.txt", "unrelated");
    fs::create_directories(Drives.Path() / "t");
    UseDriveMap("detect off\nC: fixed " + Drives / "c" + "\nT: fixed " + Drives / "t" + "\n");
    ASSERT_EQ(Vlctl({"profile", "add", "--title", "Colons", "--source", "C:\\Data", "--target",
                     "T:", "--versions", "3"})
                  .ExitCode,
              0);
    TRunResult backup = Vlctl({"backup"});
    ASSERT_EQ(backup.ExitCode, 0) << backup.Err;
    std::vector<std::string> copies;
    for (const auto& entry : fs::recursive_directory_iterator(Drives.Path() / "t"))
        copies.push_back(fs::relative(entry.path(), Drives.Path() / "t").string());
    std::sort(copies.begin(), copies.end());
    EXPECT_EQ(copies, (std::vector<std::string>{
                          "Vaultaire", "Vaultaire/C", "Vaultaire/C/Data",
                          "Vaultaire/C/Data/:lead.txt.VL001", "Vaultaire/C/Data/a::b:c.VL001",
                          "Vaultaire/C/Data/report:v2.txt.VL001", "Vaultaire/C/Data/trail:.VL001",
                          "Vaultaire/C/Data/x:y", "Vaultaire/C/Data/x:y/in.txt.VL001",
                          // the source drive's root files come along
                          "Vaultaire/C/in.txt.VL001", "Vaultaire/C/root.txt.VL001",
                          "Vaultaire/C/v2.txt.VL001"}))
        << "no stray folders beside the copies";

    // A second run finds the first run's copies under the same names and renumbers them.
    TRunResult again = Vlctl({"backup"});
    ASSERT_EQ(again.ExitCode, 0) << again.Err;
    for (const char* name : names) {
        EXPECT_TRUE(
            fs::exists(Drives.Path() / "t/Vaultaire/C/Data" / (std::string(name) + ".VL002")))
            << name;
    }

    fs::remove_all(Drives.Path() / "c/Data");
    for (const char* name : names) {
        std::string copy = "T:\\Vaultaire\\C\\Data\\" + std::string(name) + ".VL001";
        std::replace(copy.begin(), copy.end(), '/', '\\');
        TRunResult toPlace = Vlctl({"archive", "extract", copy});
        EXPECT_EQ(toPlace.ExitCode, 0) << name << ": " << toPlace.Err;
        EXPECT_EQ(ReadTextFile(Drives.Path() / "c/Data" / name), std::string("content of ") + name);
        TRunResult toFolder = Vlctl({"archive", "extract", copy, "C:\\", "--overwrite", "always"});
        EXPECT_EQ(toFolder.ExitCode, 0) << name << ": " << toFolder.Err;
        std::string restoredName = fs::path(name).filename().string();
        EXPECT_EQ(ReadTextFile(Drives.Path() / "c" / restoredName),
                  std::string("content of ") + name);
    }
    EXPECT_EQ(ReadTextFile(Drives.Path() / "c/v2.txt"), "unrelated");
    EXPECT_EQ(ReadTextFile(Drives.Path() / "c/in.txt"), "content of x:y/in.txt")
        << "in.txt is the one name here that the copy really had";
}
