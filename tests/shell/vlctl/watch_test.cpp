// vlctl watch end to end: the real program in the background, changed by a script, stopped
// by a signal.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "runprogram.h"
#include "sandboxdata.h"
#include "testenv.h"

namespace fs = std::filesystem;

namespace {

constexpr int kTimeLimit = 120;

// A profile "P" of C:\src to D:\, both folders of the test.
class VlctlWatch : public testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(Root.Path() / "c/src");
        fs::create_directories(Root.Path() / "d");
        UseDriveMap("detect off\nC: fixed \"" + Root / "c" + "\"\nD: fixed \"" + Root / "d" +
                    "\"\n");
        TRunResult add = RunProgram(VLCTL_PROGRAM, {"profile", "add", "--title", "P", "--source",
                                                    "C:\\src", "--target", "D:\\"});
        ASSERT_EQ(add.ExitCode, 0) << add.Err;
    }

    // Starts vlctl watch with arguments, waits until it watches, runs changes (shell
    // commands in the folder C:), stops it with signal and reports how it ended.
    TRunResult Watch(const std::string& arguments, const std::string& changes,
                     const std::string& signal = "TERM") {
        // The output files go first: an old "enabled" line must not stand for the new run.
        std::string script = "cd \"" + Root / "c" +
                             "\" || exit 99\nrm -f ../out ../err\n\"" VLCTL_PROGRAM "\" watch " +
                             arguments + " > ../out 2> ../err &\n" +
                             "pid=$!\n"
                             "until grep -q 'Vaultaire enabled.' ../out; do\n"
                             "  kill -0 $pid 2>/dev/null || break; sleep 0.05\n"
                             "done\n" +
                             changes + "\nkill -" + signal + " $pid 2>/dev/null\nwait $pid\n";
        TRunResult run = RunProgram("/bin/sh", {"-c", script}, "", kTimeLimit);
        run.Out = ReadTextFile(Root.Path() / "out");
        run.Err = ReadTextFile(Root.Path() / "err");
        return run;
    }
    bool Copied(const std::string& below) {
        return fs::exists(Root.Path() / "d/Vaultaire/C/src" / (below + ".VL001"));
    }

    TFreshDataFolder Data;
    TTempDir Root;
};

TEST_F(VlctlWatch, AStopBacksUpEveryChangeMadeBeforeItAndEndsWell) {
    for (const char* signal : {"TERM", "INT"}) {
        SCOPED_TRACE(signal);
        TRunResult run = Watch("",
                               "echo one > src/a.txt\n"
                               "mkdir -p src/new/deep && echo two > src/new/deep/b.txt\n"
                               "echo three > outside.txt && mv outside.txt src/moved.txt",
                               signal);
        EXPECT_EQ(run.ExitCode, 0) << run.Out << run.Err;
        EXPECT_FALSE(run.TimedOut);
        for (const char* file : {"a.txt", "new/deep/b.txt", "moved.txt"})
            EXPECT_TRUE(Copied(file)) << file << "\n" << run.Out;
        for (const char* line :
             {"Vaultaire enabled.\n", "Please wait. Backing up outstanding files...\n",
              "Saving file: C:\\src\\new\\deep\\b.txt\n", "Vaultaire disabled.\n"})
            EXPECT_NE(run.Out.find(line), std::string::npos) << line << "\n" << run.Out;
        fs::remove_all(Root.Path() / "d/Vaultaire");
    }
}

TEST_F(VlctlWatch, QuietPrintsNoFileLinesAndCatchUpTakesWhatChangedBefore) {
    WriteTextFile(Root.Path() / "c/src/before.txt", "changed while nothing watched");
    TRunResult run = Watch("--catch-up --quiet", "");
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_TRUE(Copied("before.txt"));
    EXPECT_EQ(run.Out.find("Saving file:"), std::string::npos) << run.Out;
}

TEST_F(VlctlWatch, ATargetThatCannotBeFoundEndsItWithTheMessage) {
    UseDriveMap("detect off\nC: fixed \"" + Root / "c" + "\"\n");  // D: is gone
    TRunResult run = Watch("", "sleep 1");
    EXPECT_EQ(run.ExitCode, 1) << run.Out << run.Err;
    EXPECT_NE(run.Err.find("The target drive specified in this profile cannot be found"),
              std::string::npos)
        << run.Err;
}

}  // namespace
