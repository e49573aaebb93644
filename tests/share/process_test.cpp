#include "platform/process.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "platform/syserror.h"
#include "testenv.h"

namespace fs = std::filesystem;

namespace {

// Waits until path exists, at most 10 seconds.
bool AppearsSoon(const fs::path& path) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!fs::exists(path) && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return fs::exists(path);
}

TEST(StartDetachedProgram, RunsTheProgramWithItsArgumentsAndNoneOfOurFiles) {
    TTempDir folder;
    const fs::path script = folder.Path() / "viewer";
    const fs::path report = folder.Path() / "report";
    // Reports its first two arguments and whether the descriptor its third names is open.
    WriteTextFile(script,
                  "#!/bin/sh\n"
                  "if [ -e /proc/$$/fd/$3 ]; then open=inherited; else open=closed; fi\n"
                  "echo \"$1 $2 $open\" > \"" +
                      report.string() +
                      ".part\"\n"
                      "mv \"" +
                      report.string() + ".part\" \"" + report.string() + "\"\n");
    fs::permissions(script, fs::perms::owner_all);
    // A descriptor of ours (not closed on exec) that a careless start would hand on.
    int ours = ::open(script.c_str(), O_RDONLY);
    ASSERT_GE(ours, 0);

    std::string error;
    ASSERT_TRUE(StartDetachedProgram(THostPath(script.string()),
                                     {"583104927", "two words", std::to_string(ours)}, error))
        << error;
    ::close(ours);
    ASSERT_TRUE(AppearsSoon(report));
    EXPECT_EQ(ReadTextFile(report), "583104927 two words closed\n");
}

TEST(StartDetachedProgram, SaysWhyAProgramCouldNotStart) {
    TTempDir folder;
    std::string error;
    EXPECT_FALSE(StartDetachedProgram(THostPath((folder.Path() / "missing").string()), {}, error));
    EXPECT_EQ(error, std::strerror(ENOENT));

    const fs::path notRunnable = folder.Path() / "text";
    WriteTextFile(notRunnable, "just text\n");
    fs::permissions(notRunnable, fs::perms::owner_read | fs::perms::owner_write);
    // Not even root runs a file without an execute bit.
    EXPECT_FALSE(StartDetachedProgram(THostPath(notRunnable.string()), {}, error));
    EXPECT_EQ(error, std::strerror(EACCES));
}

}  // namespace
