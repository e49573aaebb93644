// Reading the program's own files (profiles file, log, drive map, password files): only
// regular files, never waiting, never more than a limit.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "platform/files.h"
#include "platform/syserror.h"
#include "specialfiles.h"
#include "testenv.h"

namespace fs = std::filesystem;

namespace {

constexpr int64_t kLimit = 1000;

struct TReadResult {
    bool Read = false;
    std::string Content;
    int Error = 0;
};

TReadResult ReadWithLimit(const fs::path& path, int64_t limit = kLimit) {
    TReadResult result;
    result.Read = ReadFileText(path.string(), result.Content, limit);
    result.Error = result.Read ? 0 : GetLastError();
    return result;
}

}  // namespace

TEST(ProgramFiles, AnythingButARegularFileIsRefusedAtOnceAndLeftAsItIs) {
    TTempDir dir;
    fs::path file = dir.Path() / "own.file";
    for (const TSpecialFile& special : SpecialFiles()) {
        SCOPED_TRACE(special.Name);
        if (!MakeSpecialFile(file, special.Kind, kLimit)) {
            std::printf("[   NOTE   ] %s cannot be made by this user: not checked\n", special.Name);
            continue;
        }
        std::string before = DescribeFile(file);
        TReadResult result;
        EXPECT_TRUE(EndsWithoutAWriter([&] { result = ReadWithLimit(file); }, file))
            << "the read waited for a writer";
        EXPECT_FALSE(result.Read);
        EXPECT_TRUE(result.Content.empty());
        EXPECT_NE(SysErrorMessage(result.Error).find(special.ReasonPart), std::string::npos)
            << SysErrorMessage(result.Error);
        EXPECT_EQ(DescribeFile(file), before);
        RemoveSpecialFile(file);
    }
}

TEST(ProgramFiles, RegularFilesAndLinksToThemAreReadUpToTheLimit) {
    TTempDir dir;
    const std::string full(kLimit, 'x');
    WriteTextFile(dir.Path() / "full", full);
    WriteTextFile(dir.Path() / "empty", "");
    fs::create_symlink(dir.Path() / "full", dir.Path() / "link");
    fs::create_symlink("link", dir.Path() / "link-to-link");

    for (const char* name : {"full", "link", "link-to-link"}) {
        TReadResult result = ReadWithLimit(dir.Path() / name);
        EXPECT_TRUE(result.Read) << name << ": " << SysErrorMessage(result.Error);
        EXPECT_EQ(result.Content, full) << name;
    }
    TReadResult empty = ReadWithLimit(dir.Path() / "empty");
    EXPECT_TRUE(empty.Read);
    EXPECT_EQ(empty.Content, "");

    TReadResult tooSmall = ReadWithLimit(dir.Path() / "link", kLimit - 1);
    EXPECT_FALSE(tooSmall.Read);
    EXPECT_EQ(tooSmall.Error, ERROR_FILE_TOO_LARGE);

    TReadResult missing = ReadWithLimit(dir.Path() / "missing");
    EXPECT_FALSE(missing.Read);
    EXPECT_EQ(missing.Error, ERROR_FILE_NOT_FOUND) << "a missing file is told from a bad one";
}

TEST(ProgramFiles, FilesThatTellNoSizeAreHeldToTheLimitToo) {
    // The files of /proc say they are empty; what they hold is counted as it is read.
    const fs::path status = "/proc/self/status";
    ASSERT_EQ(fs::file_size(status), 0u);
    TReadResult whole = ReadWithLimit(status, kProgramFileLimit);
    ASSERT_TRUE(whole.Read) << SysErrorMessage(whole.Error);
    ASSERT_GT(whole.Content.size(), 16u);
    TReadResult cut = ReadWithLimit(status, 16);
    EXPECT_FALSE(cut.Read);
    EXPECT_EQ(cut.Error, ERROR_FILE_TOO_LARGE);
    EXPECT_TRUE(cut.Content.empty());
}
