#include "platform/filelock.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "platform/syserror.h"
#include "testenv.h"

namespace fs = std::filesystem;

TEST(FileLock, IsHeldAgainstOthersUntilReleased) {
    {
        TFileLock first("unit");
        ASSERT_TRUE(first.Locked());
        TFileLock second("unit", TFileLock::lwTry);
        EXPECT_FALSE(second.Locked());
        EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
        TFileLock other("another", TFileLock::lwTry);
        EXPECT_TRUE(other.Locked());
    }
    TFileLock again("unit", TFileLock::lwTry);
    EXPECT_TRUE(again.Locked());
}

TEST(FileLock, ADeadProcessLeavesNoLockBehind) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        TFileLock held("crash");
        _exit(held.Locked() ? 0 : 1);  // ends without running any destructor
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    TFileLock after("crash", TFileLock::lwTry);
    EXPECT_TRUE(after.Locked());
}

TEST(FileLock, OneFolderHasOneNameHoweverSpelled) {
    TTempDir dir;
    fs::create_directories(dir.Path() / "target");
    fs::create_directory_symlink(dir.Path() / "target", dir.Path() / "link");
    std::string name = TFileLock::NameForFolder(THostPath(dir / "target"));
    EXPECT_EQ(TFileLock::NameForFolder(THostPath(dir / "link")), name);
    EXPECT_EQ(TFileLock::NameForFolder(THostPath(dir / "target/./")), name);
    EXPECT_NE(TFileLock::NameForFolder(THostPath(dir / "other")), name);
}
