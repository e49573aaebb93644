// vlctl watch end to end: the real program in the background while the test changes files,
// stopped by a signal.
#include <gtest/gtest.h>
#include <signal.h>
#include <string.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "runprogram.h"
#include "sandboxdata.h"
#include "testenv.h"

namespace fs = std::filesystem;

namespace {

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

    // Starts vlctl watch with arguments, waits until it watches, makes the changes, stops
    // it with signal and reports how it ended.
    TRunResult Watch(const std::vector<std::string>& arguments,
                     const std::function<void()>& changes, int signal = SIGTERM) {
        std::vector<std::string> words{"watch"};
        words.insert(words.end(), arguments.begin(), arguments.end());
        TRunResult result;
        {
            TBackgroundProgram run(VLCTL_PROGRAM, words, Root.Path());
            EXPECT_TRUE(run.WaitUntil([&] {
                return run.Output().find("Vaultaire enabled.") != std::string::npos;
            })) << run.Output();
            changes();
            run.Signal(signal);
            result.ExitCode = run.Wait();
        }
        result.Out = ReadTextFile(Root.Path() / "out");
        result.Err = ReadTextFile(Root.Path() / "err");
        return result;
    }
    void Write(const std::string& below, const std::string& content) {
        WriteTextFile(Root.Path() / "c" / below, content);
    }
    bool Copied(const std::string& below) {
        return fs::exists(Root.Path() / "d/Vaultaire/C/src" / (below + ".VL001"));
    }

    TFreshDataFolder Data;
    TTempDir Root;
};

TEST_F(VlctlWatch, AStopBacksUpEveryChangeMadeBeforeItAndEndsWell) {
    for (int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(strsignal(signal));
        TRunResult run = Watch(
            {},
            [&] {
                Write("src/a.txt", "one");
                Write("src/new/deep/b.txt", "two");
                Write("outside.txt", "three");
                fs::rename(Root.Path() / "c/outside.txt", Root.Path() / "c/src/moved.txt");
            },
            signal);
        EXPECT_EQ(run.ExitCode, 0) << run.Out << run.Err;
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
    TRunResult run = Watch({"--catch-up", "--quiet"}, [] {});
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_TRUE(Copied("before.txt"));
    EXPECT_EQ(run.Out.find("Saving file:"), std::string::npos) << run.Out;
}

TEST_F(VlctlWatch, ATargetThatCannotBeFoundEndsItWithTheMessage) {
    UseDriveMap("detect off\nC: fixed \"" + Root / "c" + "\"\n");  // D: is gone
    TRunResult run = Watch({}, [] { std::this_thread::sleep_for(std::chrono::seconds(1)); });
    EXPECT_EQ(run.ExitCode, 1) << run.Out << run.Err;
    EXPECT_NE(run.Err.find("The target drive specified in this profile cannot be found"),
              std::string::npos)
        << run.Err;
}

}  // namespace
