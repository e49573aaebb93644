// A target that fills up in the middle of a copy: the platform layer's debug switch
// VAULTAIRE_DISK_FULL_AFTER lets only a few bytes reach the target drive, while the free
// space it reports stays as it was, as when another program fills the disk meanwhile.
#include <gtest/gtest.h>

#include "runprogram.h"
#include "sandboxdata.h"

namespace fs = std::filesystem;

TEST(DiskFull, AFailedCopyKeepsTheOldVersionsAndLeavesNoWorkFile) {
    TFreshDataFolder data;
    TTempDir drives;
    UseDriveMap("detect off\nC: fixed " + drives / "c" + "\nE: fixed " + drives / "e" + "\n");
    fs::create_directories(drives.Path() / "e");
    const fs::path source = drives.Path() / "c/Data/big.bin";
    const std::string first = Incompressible(20000, 1);
    WriteTextFile(source, first);
    ASSERT_EQ(RunProgram(VLCTL_PROGRAM, {"profile", "add", "--title", "Full", "--source",
                                         "C:\\Data", "--target", "E:\\", "--versions", "1"})
                  .ExitCode,
              0);
    ASSERT_EQ(RunProgram(VLCTL_PROGRAM, {"backup"}).ExitCode, 0);
    const fs::path version = drives.Path() / "e/Vaultaire/C/Data/big.bin.VL001";
    const std::vector<uint8_t> before = ReadBinaryFile(version);

    WriteTextFile(source, Incompressible(20000, 2));
    setenv("VAULTAIRE_DISK_FULL_AFTER", "E:5000", 1);
    TRunResult run = RunProgram(VLCTL_PROGRAM, {"backup"});
    unsetenv("VAULTAIRE_DISK_FULL_AFTER");

    EXPECT_EQ(run.ExitCode, 1) << run.Err;
    EXPECT_NE(run.Out.find("Backup operation complete."), std::string::npos)
        << "a file that cannot be saved does not end the run";
    EXPECT_NE(run.Err.find("1 file could not be saved"), std::string::npos) << run.Err;
    EXPECT_EQ(ReadBinaryFile(version), before) << "the only version is kept";
    for (const auto& entry : fs::directory_iterator(drives.Path() / "e/Vaultaire")) {
        EXPECT_TRUE(entry.is_directory()) << "left behind: " << entry.path();
    }
    std::string log = ReadTextFile(data.Dir().Path() / "Vaultaire 2000.log");
    EXPECT_NE(
        log.find("Error saving file: C:\\Data\\big.bin. There is not enough space on the disk"),
        std::string::npos)
        << log;
}
