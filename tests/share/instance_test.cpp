#include "platform/instance.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "testenv.h"

namespace fs = std::filesystem;

namespace {

// Each test uses a lock name of its own, so no test finds another's lock taken.
std::string UniqueName(const char* test) {
    return std::string("Vaultaire test ") + test + " " + std::to_string(::getpid());
}

// Runs take in a child process and tells what it gave.
TInstanceLockResult InChild(const std::string& name) {
    pid_t child = ::fork();
    if (child == 0)
        ::_exit(static_cast<int>(TakeInstanceLock(name)));
    int status = 0;
    ::waitpid(child, &status, 0);
    return static_cast<TInstanceLockResult>(WEXITSTATUS(status));
}

// Sets an environment variable for the life of the object.
class TScopedEnv {
  public:
    TScopedEnv(const char* name, const std::string& value) : Name(name) {
        if (const char* old = std::getenv(name))
            Saved = old, HadValue = true;
        setenv(name, value.c_str(), 1);
    }
    ~TScopedEnv() {
        if (HadValue)
            setenv(Name, Saved.c_str(), 1);
        else
            unsetenv(Name);
    }

  private:
    const char* Name;
    std::string Saved;
    bool HadValue = false;
};

TEST(InstanceLock, TheSecondTakerInTheSameProcessFindsItHeld) {
    std::string name = UniqueName("same process");
    EXPECT_EQ(TakeInstanceLock(name), ilTaken);
    EXPECT_EQ(TakeInstanceLock(name), ilHeld);
    EXPECT_EQ(InChild(name), ilHeld);
}

TEST(InstanceLock, AKilledHolderReleasesIt) {
    std::string name = UniqueName("killed holder");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid_t holder = ::fork();
    if (holder == 0) {
        char taken = TakeInstanceLock(name) == ilTaken ? 'y' : 'n';
        (void)::write(ready[1], &taken, 1);
        ::pause();
        ::_exit(0);
    }
    char taken = 0;
    ASSERT_EQ(::read(ready[0], &taken, 1), 1);
    ASSERT_EQ(taken, 'y');
    EXPECT_EQ(InChild(name), ilHeld);

    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);

    EXPECT_EQ(InChild(name), ilTaken);
}

TEST(InstanceLock, NamesStayInsideTheLockFolder) {
    std::string name = "../escape/" + UniqueName("odd name");
    EXPECT_EQ(TakeInstanceLock(name), ilTaken);
    fs::path folder = InstanceLockFolder();
    EXPECT_TRUE(fs::exists(folder / ("_._escape_" + UniqueName("odd name") + ".lock")));
    EXPECT_FALSE(fs::exists(folder.parent_path() / "escape"));
}

TEST(InstanceLock, WithoutARuntimeFolderAPrivateFolderInTheTemporaryFolderServes) {
    TScopedEnv runtime("XDG_RUNTIME_DIR", "");
    std::string name = UniqueName("fallback");

    EXPECT_EQ(TakeInstanceLock(name), ilTaken);

    fs::path folder = InstanceLockFolder();
    EXPECT_EQ(folder,
              fs::path(std::getenv("TMPDIR")) / ("vaultaire-" + std::to_string(::getuid())));
    EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_EQ(TakeInstanceLock(name), ilHeld);
}

// A runtime folder others may write to, or a lock file that is a link, is not used: a
// link could make the program write to a file of the attacker's choosing.
TEST(InstanceLock, RefusesFoldersOthersCanWriteAndLinkedLockFiles) {
    TTempDir shared;
    fs::permissions(shared.Path(), fs::perms::all, fs::perm_options::replace);
    {
        TScopedEnv runtime("XDG_RUNTIME_DIR", shared.Path().string());
        EXPECT_NE(InstanceLockFolder(), shared.Path().string());
    }

    std::string name = UniqueName("linked");
    fs::path target = fs::path(std::getenv("HOME")) / "target-of-link";
    WriteTextFile(target, "keep me");
    fs::create_symlink(target, fs::path(InstanceLockFolder()) / (name + ".lock"));

    EXPECT_EQ(TakeInstanceLock(name), ilUnavailable);
    EXPECT_EQ(ReadTextFile(target), "keep me");
}

}  // namespace
