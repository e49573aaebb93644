// Stops a backup run at every file-system step in turn (the platform layer's debug switch
// VAULTAIRE_CRASH_AFTER_STEPS ends the process at once, as a crash would) and checks that
// no version of any file is lost and that the next run puts everything in order.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>

#include "platform/faults.h"
#include "platform/filestream.h"
#include "runprogram.h"
#include "sandboxdata.h"
#include "zstream.h"

namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kFiles = {"one.txt", "two.txt"};

class CrashSweep : public testing::Test {
  protected:
    void SetUp() override {
        UseDriveMap("detect off\nC: fixed " + Drives / "c" + "\nE: fixed " + Drives / "e" + "\n");
        fs::create_directories(Drives.Path() / "e");
        ASSERT_EQ(Vlctl({"profile", "add", "--title", "Sweep", "--source", "C:\\Data", "--target",
                         "E:\\", "--versions", "3"})
                      .ExitCode,
                  0);
    }

    TRunResult Vlctl(const std::vector<std::string>& arguments) {
        return RunProgram(VLCTL_PROGRAM, arguments);
    }

    void WriteRound(int round) {
        for (const std::string& file : kFiles) {
            WriteTextFile(Drives.Path() / "c/Data" / file,
                          file + " round " + std::to_string(round));
        }
    }

    // Round number of every version of file, by version number.
    std::map<int, int> Versions(const std::string& file) {
        std::map<int, int> rounds;
        fs::path folder = Drives.Path() / "e/Vaultaire/C/Data";
        if (!fs::exists(folder))
            return rounds;
        for (const auto& entry : fs::directory_iterator(folder)) {
            std::string name = entry.path().filename().string();
            if (name.rfind(file + ".VL", 0) != 0)
                continue;
            rounds[std::stoi(name.substr(file.size() + 3))] = RoundIn(entry.path());
        }
        return rounds;
    }

    int RoundIn(const fs::path& archive) {
        TVUnzipStream copy(archive.string());
        fs::path out = Drives.Path() / "extracted";
        {
            TFileStream target(out.string(), fmCreate);
            copy >> &target;
        }
        std::string text = ReadTextFile(out);
        return std::stoi(text.substr(text.rfind(' ') + 1));
    }

    std::vector<std::string> WorkFilesLeft() {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(Drives.Path() / "e/Vaultaire")) {
            if (entry.is_regular_file())
                names.push_back(entry.path().filename().string());
        }
        return names;
    }

    void Snapshot(const fs::path& to) {
        fs::remove_all(to);
        fs::create_directories(to);
        fs::copy(Drives.Path() / "e", to / "e", fs::copy_options::recursive);
        fs::copy(Data.Dir().Path(), to / "data", fs::copy_options::recursive);
    }

    void Restore(const fs::path& from) {
        for (const fs::path& place : {Drives.Path() / "e", Data.Dir().Path()}) {
            for (const auto& entry : fs::directory_iterator(place))
                fs::remove_all(entry.path());
        }
        fs::copy(from / "e", Drives.Path() / "e", fs::copy_options::recursive);
        fs::copy(from / "data", Data.Dir().Path(), fs::copy_options::recursive);
    }

    TFreshDataFolder Data;
    TTempDir Drives;
    TTempDir Snapshots;
};

}  // namespace

TEST_F(CrashSweep, NoVersionIsLostAtAnyStepOfARenumberingRun) {
    for (int round = 1; round <= 3; ++round) {
        WriteRound(round);
        ASSERT_EQ(Vlctl({"backup"}).ExitCode, 0);
    }
    for (const std::string& file : kFiles) {
        ASSERT_EQ(Versions(file), (std::map<int, int>{{1, 3}, {2, 2}, {3, 1}})) << file;
    }
    WriteRound(4);
    fs::path before = Snapshots.Path() / "before";
    Snapshot(before);

    int pointsTried = 0, versionsLost = 0;
    for (int step = 1;; ++step) {
        Restore(before);
        setenv("VAULTAIRE_CRASH_AFTER_STEPS", std::to_string(step).c_str(), 1);
        TRunResult crashed = Vlctl({"backup"});
        unsetenv("VAULTAIRE_CRASH_AFTER_STEPS");
        if (crashed.ExitCode != kCrashExitCode) {
            ASSERT_EQ(crashed.ExitCode, 0) << crashed.Err;
            break;
        }
        ++pointsTried;
        for (const std::string& file : kFiles) {
            std::map<int, int> versions = Versions(file);
            std::set<int> rounds;
            int previous = 5;
            for (const auto& [number, round] : versions) {
                EXPECT_LE(round, previous) << file << " at step " << step << ": out of order";
                previous = round;
                rounds.insert(round);
            }
            // Until the new copy is in place every old version stays; afterwards only the
            // oldest may go, since three versions are kept.
            std::set<int> needed =
                rounds.count(4) ? std::set<int>{2, 3, 4} : std::set<int>{1, 2, 3};
            for (int round : needed) {
                if (!rounds.count(round)) {
                    ++versionsLost;
                    ADD_FAILURE() << file << " lost round " << round << " at step " << step;
                }
            }
        }
        TRunResult recovered = Vlctl({"backup"});
        ASSERT_EQ(recovered.ExitCode, 0) << "at step " << step << ": " << recovered.Err;
        for (const std::string& file : kFiles) {
            std::map<int, int> versions = Versions(file);
            ASSERT_EQ(versions.size(), 3u) << file << " after step " << step;
            EXPECT_EQ(versions.begin()->first, 1);
            EXPECT_EQ(versions.rbegin()->first, 3);
            EXPECT_EQ(versions[1], 4) << file << " after step " << step;
        }
        EXPECT_TRUE(WorkFilesLeft().empty()) << "after step " << step;
    }
    std::printf("Crash sweep: %d points tried, %d versions lost\n", pointsTried, versionsLost);
    EXPECT_GT(pointsTried, 10) << "the switch stopped the run too rarely to be a sweep";
    EXPECT_EQ(versionsLost, 0);
}
