// The tray program run for real (offscreen), its questions asked on the terminal.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "profilemgr.h"
#include "runprogram.h"
#include "sandboxdata.h"
#include "strtable.h"
#include "testenv.h"

namespace fs = std::filesystem;

namespace {

const std::string kProgram = VAULTAIRE_PROGRAM;

enum : int {
    StrAlreadyRunning = 356,
    StrWelcome = 262,
};

bool Holds(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class Program : public testing::Test {
  protected:
    void SetUp() override {
        setenv("VAULTAIRE_ASK_ON_TERMINAL", "1", 1);
        UseDriveMap("detect off\nC: fixed \"" + (World / "c") + "\"\nE: fixed \"" +
                    (World / "e") + "\"\n");
        fs::create_directories(World / "c/Data");
        fs::create_directories(World / "e");
    }
    void TearDown() override { unsetenv("VAULTAIRE_ASK_ON_TERMINAL"); }

    void MakeProfile() {
        TProfileMgr manager;
        auto profile = std::make_unique<TProfile>();
        profile->Title = "Work";
        profile->UpdateSource({"C:\\Data"});
        profile->Target = "E:\\";
        ASSERT_GE(manager.AddNewProfile(std::move(profile)), 0);
        ASSERT_TRUE(manager.Open("Work"));
    }

    TFreshDataFolder Data;
    TTempDir World;
    TTempDir Output;
};

TEST_F(Program, ASecondCopySaysSoAndEndsWhileTheFirstRunsOn) {
    // The first copy starts for the first time and waits at its welcome.
    TBackgroundProgram first(kProgram, {}, Output.Path());
    ASSERT_TRUE(first.WaitUntil([&] { return Holds(first.Errors(), LoadStr(StrWelcome)); }))
        << first.Output();

    TRunResult second = RunProgram(kProgram, {}, "", 60);
    EXPECT_EQ(second.ExitCode, 1);
    EXPECT_TRUE(Holds(second.Err, LoadStr(StrAlreadyRunning))) << second.Err;
    EXPECT_FALSE(Holds(second.Err, LoadStr(StrWelcome)));

    // The first copy was not disturbed: it still runs, still at its question.
    EXPECT_FALSE(Holds(first.Errors(), LoadStr(StrAlreadyRunning)));
    first.Signal(SIGKILL);
    EXPECT_EQ(first.Wait(), 128 + SIGKILL);
}

TEST_F(Program, SigtermBacksUpWhatIsQueuedAndClosesAsTheSessionEnd) {
    MakeProfile();
    TBackgroundProgram program(kProgram, {}, Output.Path());
    // Automatic backup is on once a changed file is saved (after the splash).
    int probes = 0;
    auto lastProbe = std::chrono::steady_clock::now() - std::chrono::seconds(1);
    ASSERT_TRUE(program.WaitUntil(
        [&] {
            if (std::chrono::steady_clock::now() - lastProbe > std::chrono::milliseconds(300)) {
                WriteTextFile(World / ("c/Data/probe" + std::to_string(probes++) + ".txt"), "p");
                lastProbe = std::chrono::steady_clock::now();
            }
            return fs::exists(World / "e/Vaultaire/C/Data/probe0.txt.VL001");
        },
        30))
        << program.Output();

    // A file written just before the end is still saved: the queue is emptied first.
    WriteTextFile(World / "c/Data/last.txt", "last words");
    // The change monitor takes what the system reported every 250 ms.
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    program.Signal(SIGTERM);
    EXPECT_EQ(program.Wait(), 0) << program.Output();
    EXPECT_TRUE(fs::exists(World / "e/Vaultaire/C/Data/last.txt.VL001"));
    const std::string log = ReadTextFile(Data.Dir().Path() / "Vaultaire 2000.log");
    EXPECT_TRUE(Holds(log, "Starting Vaultaire 2000")) << log;
    EXPECT_TRUE(Holds(log, "Vaultaire 2000 closing")) << log;
}

}  // namespace
