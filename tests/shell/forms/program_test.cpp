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
};

bool Holds(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class Program : public testing::Test {
  protected:
    void SetUp() override {
        setenv("VAULTAIRE_ASK_ON_TERMINAL", "1", 1);
        UseDriveMap("detect off\nC: fixed \"" + (World / "c") + "\"\nE: fixed \"" + (World / "e") +
                    "\"\n");
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

    std::string Log() const {
        const fs::path log = Data.Dir().Path() / "Vaultaire 2000.log";
        return fs::exists(log) ? ReadTextFile(log) : std::string();
    }

    TFreshDataFolder Data;
    TTempDir World;
    TTempDir Output;
};

TEST_F(Program, ASecondCopySaysSoAndEndsWhileTheFirstRunsOn) {
    MakeProfile();
    TBackgroundProgram first(kProgram, {}, Output.Path());
    ASSERT_TRUE(first.WaitUntil([&] { return Holds(Log(), "Vaultaire enabled."); }))
        << first.Output();

    TRunResult second = RunProgram(kProgram, {}, "", 60);
    EXPECT_EQ(second.ExitCode, 1);
    EXPECT_TRUE(Holds(second.Err, LoadStr(StrAlreadyRunning))) << second.Err;

    // The first copy was not disturbed: it runs on and ends as asked.
    EXPECT_FALSE(Holds(first.Errors(), LoadStr(StrAlreadyRunning)));
    EXPECT_FALSE(Holds(Log(), "closing"));
    first.Signal(SIGTERM);
    EXPECT_EQ(first.Wait(), 0) << first.Output();
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
            // A probe written before the watch began is never reported: any copy will do.
            const fs::path copies = World / "e/Vaultaire/C/Data";
            return fs::exists(copies) && !fs::is_empty(copies);
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
    const std::string log = Log();
    EXPECT_TRUE(Holds(log, "Starting Vaultaire 2000")) << log;
    EXPECT_TRUE(Holds(log, "Vaultaire 2000 closing")) << log;
}

}  // namespace
