#include <gtest/gtest.h>

#include "runprogram.h"
#include "sandboxdata.h"

namespace fs = std::filesystem;

namespace {

// C: and E: are folders of the test; a.txt on C: is the file to back up.
class VlctlArchive : public testing::Test {
  protected:
    void SetUp() override {
        UseDriveMap("detect off\nC: fixed " + Drives / "c" + "\nE: fixed " + Drives / "e" + "\n");
        WriteTextFile(Drives.Path() / "c/Data/a.txt", Original);
        fs::create_directories(Drives.Path() / "e");
        WriteTextFile(Drives.Path() / "password", "Open Sesame\n");
    }

    TRunResult Vlctl(const std::vector<std::string>& arguments, const std::string& input = "") {
        return RunProgram(VLCTL_PROGRAM, arguments, input);
    }

    // Makes E:\a.vla from C:\Data\a.txt.
    void CreateArchive(std::vector<std::string> extra = {}) {
        std::vector<std::string> arguments{"archive", "create", "C:\\Data\\a.txt",
                                           Drives / "e/a.vla"};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        TRunResult run = Vlctl(arguments);
        ASSERT_EQ(run.ExitCode, 0) << run.Err;
    }

    std::string Original = std::string(5000, 'x') + "the end\n";
    TFreshDataFolder Data;
    TTempDir Drives;
};

}  // namespace

TEST_F(VlctlArchive, CreateInfoAndExtractRoundTrip) {
    CreateArchive();
    TRunResult info = Vlctl({"archive", "info", "E:\\a.vla"});
    EXPECT_EQ(info.ExitCode, 0) << info.Err;
    EXPECT_NE(info.Out.find("valid:         yes\n"), std::string::npos) << info.Out;
    EXPECT_NE(info.Out.find("original path: C:\\Data\\a.txt\n"), std::string::npos) << info.Out;
    EXPECT_NE(info.Out.find("original size: 5008 bytes\n"), std::string::npos);
    EXPECT_NE(info.Out.find("method:        deflated\n"), std::string::npos);
    EXPECT_NE(info.Out.find("password:      none\n"), std::string::npos);

    TRunResult extract = Vlctl({"archive", "extract", "E:\\a.vla", Drives / "restored"});
    ASSERT_EQ(extract.ExitCode, 0) << extract.Err;
    EXPECT_EQ(ReadTextFile(Drives.Path() / "restored"), Original);

    fs::create_directories(Drives.Path() / "into");
    extract = Vlctl({"archive", "extract", "E:\\a.vla", Drives / "into"});
    ASSERT_EQ(extract.ExitCode, 0) << extract.Err;
    EXPECT_EQ(ReadTextFile(Drives.Path() / "into/a.txt"), Original) << "a folder takes the name";
}

TEST_F(VlctlArchive, ExtractToTheOriginalPlaceObeysTheOverwriteRule) {
    CreateArchive({"--store"});
    const fs::path original = Drives.Path() / "c/Data/a.txt";
    WriteTextFile(original, "edited since");

    TRunResult never = Vlctl({"archive", "extract", "E:\\a.vla", "--overwrite", "never"});
    EXPECT_EQ(never.ExitCode, 1);
    EXPECT_NE(never.Err.find("left as it is"), std::string::npos) << never.Err;
    EXPECT_EQ(ReadTextFile(original), "edited since");

    TRunResult declined = Vlctl({"archive", "extract", "E:\\a.vla"}, "no\n");
    EXPECT_EQ(declined.ExitCode, 2);
    EXPECT_NE(declined.Err.find("already exists"), std::string::npos) << declined.Err;
    EXPECT_EQ(ReadTextFile(original), "edited since");

    TRunResult noAnswer = Vlctl({"archive", "extract", "E:\\a.vla"});
    EXPECT_EQ(noAnswer.ExitCode, 2) << "the end of input answers no";
    EXPECT_EQ(ReadTextFile(original), "edited since");

    TRunResult accepted = Vlctl({"archive", "extract", "E:\\a.vla", "--overwrite=ask"}, "yes\n");
    EXPECT_EQ(accepted.ExitCode, 0) << accepted.Err;
    EXPECT_EQ(ReadTextFile(original), Original);

    fs::remove(original);
    TRunResult restored = Vlctl({"archive", "extract", "E:\\a.vla", "--overwrite", "never"});
    EXPECT_EQ(restored.ExitCode, 0) << restored.Err;
    EXPECT_EQ(ReadTextFile(original), Original);
}

TEST_F(VlctlArchive, StoredPathUnderNoDriveIsRefusedWithoutWritingAnywhere) {
    CreateArchive();
    UseDriveMap("detect off\nC: none\nE: fixed " + Drives / "e" + "\n");
    TRunResult run = Vlctl({"archive", "extract", "E:\\a.vla", "--overwrite", "always"});
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_NE(run.Err.find("maps to no drive"), std::string::npos) << run.Err;
}

TEST_F(VlctlArchive, ProtectedCopiesNeedTheirPassword) {
    CreateArchive({"--password-file", Drives / "password"});
    EXPECT_NE(Vlctl({"archive", "info", "E:\\a.vla"}).Out.find("password:      protected"),
              std::string::npos);
    TRunResult without = Vlctl({"archive", "extract", "E:\\a.vla", Drives / "out"});
    EXPECT_EQ(without.ExitCode, 1);
    EXPECT_NE(without.Err.find("password-protected"), std::string::npos);

    WriteTextFile(Drives.Path() / "wrong", "Open Barley\n");
    TRunResult wrong = Vlctl(
        {"archive", "extract", "E:\\a.vla", Drives / "out", "--password-file", Drives / "wrong"});
    EXPECT_EQ(wrong.ExitCode, 1);
    EXPECT_FALSE(fs::exists(Drives.Path() / "out"));

    TRunResult right = Vlctl({"archive", "extract", "E:\\a.vla", Drives / "out", "--password-file",
                              Drives / "password"});
    EXPECT_EQ(right.ExitCode, 0) << right.Err;
    EXPECT_EQ(ReadTextFile(Drives.Path() / "out"), Original);
}

TEST_F(VlctlArchive, RefusesBadInputAndLosesNothing) {
    WriteTextFile(Drives.Path() / "e/not-an-archive", "just text");
    TRunResult info = Vlctl({"archive", "info", "E:\\not-an-archive"});
    EXPECT_EQ(info.ExitCode, 1);
    EXPECT_NE(info.Out.find("valid:         no"), std::string::npos);
    TRunResult extract = Vlctl({"archive", "extract", "E:\\not-an-archive", Drives / "x"});
    EXPECT_EQ(extract.ExitCode, 1);
    EXPECT_NE(extract.Err.find("not a valid backed-up copy"), std::string::npos) << extract.Err;

    CreateArchive();
    TRunResult again = Vlctl({"archive", "create", "C:\\Data\\a.txt", "E:\\a.vla"});
    EXPECT_EQ(again.ExitCode, 1) << "an existing archive is not replaced";
    EXPECT_NE(again.Err.find("already exists"), std::string::npos);

    TRunResult missing = Vlctl({"archive", "create", "C:\\Data\\none.txt", "E:\\b.vla"});
    EXPECT_EQ(missing.ExitCode, 1);
    TRunResult outside = Vlctl({"archive", "create", "/etc/hostname", "E:\\c.vla"});
    EXPECT_EQ(outside.ExitCode, 1);
    EXPECT_NE(outside.Err.find("lies under no drive"), std::string::npos) << outside.Err;
    EXPECT_FALSE(fs::exists(Drives.Path() / "e/c.vla"));
}
