// The log viewer program as the tray program and a user start it.
#include <gtest/gtest.h>

#include "logfolder.h"
#include "runprogram.h"

namespace fs = std::filesystem;

namespace {

constexpr int kTimeLimit = 60;

class LogvueProgram : public TLogFolderTest {};

TEST_F(LogvueProgram, DrawsItsWindowWithAndWithoutTheToken) {
    WriteTextFile(LogPath(), Joined({Line("Starting Vaultaire 2000"), Line("Saving file: C:\\a")}));
    const std::vector<std::vector<std::string>> starts = {{"583104927"}, {}};
    for (const std::vector<std::string>& start : starts) {
        fs::path shot = Dir.Path() / "shot.png";
        std::vector<std::string> arguments = start;
        arguments.insert(arguments.end(), {"--screenshot", shot.string()});
        TRunResult run = RunProgram(LOGVUE_PROGRAM, arguments, "", kTimeLimit);
        std::string described = testing::PrintToString(arguments);
        EXPECT_EQ(run.ExitCode, 0) << described << run.Err;
        ASSERT_TRUE(fs::exists(shot)) << described;
        EXPECT_EQ(ReadTextFile(shot).substr(0, 4), "\x89PNG") << described;
        fs::remove(shot);
    }
}

TEST_F(LogvueProgram, RefusesArgumentsItDoesNotKnow) {
    TRunResult run = RunProgram(LOGVUE_PROGRAM, {"583104927", "--follow"}, "", kTimeLimit);
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_NE(run.Err.find("unknown argument \"--follow\""), std::string::npos) << run.Err;
    EXPECT_NE(run.Err.find("Usage: logvue"), std::string::npos) << run.Err;

    TRunResult help = RunProgram(LOGVUE_PROGRAM, {"--help"}, "", kTimeLimit);
    EXPECT_EQ(help.ExitCode, 0);
    EXPECT_NE(help.Out.find("Usage: logvue"), std::string::npos) << help.Out;
}

TEST_F(LogvueProgram, SaysWhenItCannotWriteTheScreenshot) {
    fs::path shot = Dir.Path() / "no such folder" / "shot.png";
    TRunResult run = RunProgram(LOGVUE_PROGRAM, {"--screenshot", shot.string()}, "", kTimeLimit);
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_NE(run.Err.find("cannot write"), std::string::npos) << run.Err;
}

}  // namespace
