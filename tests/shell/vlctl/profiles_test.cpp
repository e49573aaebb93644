#include <gtest/gtest.h>
#include <sys/stat.h>

#include <thread>

#include "profilemgr.h"
#include "runprogram.h"
#include "sandboxdata.h"

TEST(VlctlProfiles, SaysSoWhenThereAreNone) {
    TFreshDataFolder data;
    TRunResult run = RunProgram(VLCTL_PROGRAM, {"profiles"});
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_NE(run.Out.find("There are no profiles"), std::string::npos);
}

TEST(VlctlProfiles, ListsEachProfileAndMarksTheCurrentOne) {
    TFreshDataFolder data;
    {
        TProfileMgr manager;
        auto documents = std::make_unique<TProfile>();
        documents->Title = "Documents";
        documents->UpdateSource({"C:\\Work", "D:\\My Files"});
        documents->UpdateTarget("E:\\Backups");
        documents->UpdatePassword("secret");
        documents->SetNumVersions(3);
        manager.AddNewProfile(std::move(documents));
        auto pictures = std::make_unique<TProfile>();
        pictures->Title = "Pictures";
        pictures->SetCompression(false);
        manager.AddNewProfile(std::move(pictures));
        manager.Open("Pictures");
    }
    TRunResult run = RunProgram(VLCTL_PROGRAM, {"profiles"});
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_NE(run.Out.find("  Documents\n"
                           "    sources:     C:\\Work, D:\\My Files\n"
                           "    target:      E:\\Backups\n"
                           "    versions:    3\n"
                           "    compression: on\n"
                           "    password:    yes\n"),
              std::string::npos)
        << run.Out;
    EXPECT_NE(run.Out.find("* Pictures\n"), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("    compression: off\n    password:    no\n"), std::string::npos);
}

TEST(VlctlCommandLine, RefusesWhatItDoesNotKnow) {
    struct Case {
        std::vector<std::string> Arguments;
        const char* ErrorPart;
    };
    const Case cases[] = {
        {{"frobnicate"}, "unknown command"},
        {{"profiles", "extra"}, "usage: vlctl profiles"},
        {{"profiles", "--all"}, "unknown option --all"},
        {{"archive"}, "usage"},
        {{"archive", "info"}, "usage: vlctl archive info"},
        {{"archive", "extract", "a", "--overwrite"}, "needs a value"},
    };
    for (const Case& c : cases) {
        TRunResult run = RunProgram(VLCTL_PROGRAM, c.Arguments);
        EXPECT_EQ(run.ExitCode, 1) << c.Arguments[0];
        EXPECT_NE(run.Err.find(c.ErrorPart), std::string::npos) << run.Err;
    }
    EXPECT_EQ(RunProgram(VLCTL_PROGRAM, {"help"}).ExitCode, 0);
    EXPECT_NE(RunProgram(VLCTL_PROGRAM, {"version"}).Out.find("2.02"), std::string::npos);
}

namespace {

// The file's identity on disk: a rewrite replaces the file, so its inode changes.
ino_t InodeOf(const std::filesystem::path& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_ino;
}

}  // namespace

TEST(VlctlProfiles, ListingLeavesTheProfilesFileAsItIs) {
    TFreshDataFolder data;
    ASSERT_EQ(RunProgram(VLCTL_PROGRAM, {"profile", "add", "--title", "Documents", "--source",
                                         "C:\\Work", "--target", "E:\\Backups"})
                  .ExitCode,
              0);
    const std::filesystem::path file = data.Dir().Path() / "Vaultaire.vlp";
    const ino_t inode = InodeOf(file);
    const std::string bytes = ReadTextFile(file);
    TRunResult run = RunProgram(VLCTL_PROGRAM, {"profiles"});
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_NE(run.Out.find("* Documents\n"), std::string::npos) << run.Out;
    EXPECT_EQ(InodeOf(file), inode);
    EXPECT_EQ(ReadTextFile(file), bytes);
}

// A long-running command (a backup waiting at a drive question) holds a manager while
// another command adds a profile; ending it must not lose that profile.
TEST(VlctlProfiles, AProfileAddedMeanwhileSurvivesAManagerThatChangedNothing) {
    TFreshDataFolder data;
    ASSERT_EQ(RunProgram(VLCTL_PROGRAM, {"profile", "add", "--title", "First", "--source",
                                         "C:\\Work", "--target", "E:\\Backups"})
                  .ExitCode,
              0);
    {
        TProfileMgr longLived;
        ASSERT_EQ(longLived.GetTitles(), "First");
        TRunResult add = RunProgram(VLCTL_PROGRAM, {"profile", "add", "--title", "Second",
                                                    "--source", "C:\\Mail", "--target", "E:\\"});
        ASSERT_EQ(add.ExitCode, 0) << add.Err;
    }
    TRunResult run = RunProgram(VLCTL_PROGRAM, {"profiles"});
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_NE(run.Out.find("* First\n"), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("  Second\n"), std::string::npos) << run.Out;
}

// A damaged profiles file is reported, kept aside as it is, and the listing fails.
TEST(VlctlProfiles, ADamagedFileIsKeptAsideAndTheListingFails) {
    TFreshDataFolder data;
    for (const char* title : {"First", "Second"}) {
        ASSERT_EQ(RunProgram(VLCTL_PROGRAM, {"profile", "add", "--title", title, "--source",
                                             "C:\\Work", "--target", "E:\\Backups"})
                      .ExitCode,
                  0);
    }
    const std::filesystem::path file = data.Dir().Path() / "Vaultaire.vlp";
    std::string damaged = ReadTextFile(file);
    damaged.replace(0, 4, "\xff\xff\xff\xff");
    WriteTextFile(file, damaged);
    TRunResult run = RunProgram(VLCTL_PROGRAM, {"profiles"});
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_NE(run.Err.find("The Profiles are missing or have beed damaged."), std::string::npos)
        << run.Err;
    EXPECT_NE(run.Err.find("kept as " + file.string() + ".damaged"), std::string::npos) << run.Err;
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_EQ(ReadTextFile(file.string() + ".damaged"), damaged);
}

namespace {

// Runs the two commands at once and returns their results.
std::pair<TRunResult, TRunResult> RunTogether(const std::vector<std::string>& first,
                                              const std::vector<std::string>& second) {
    TRunResult one;
    std::thread other([&] { one = RunProgram(VLCTL_PROGRAM, first); });
    TRunResult two = RunProgram(VLCTL_PROGRAM, second);
    other.join();
    return {one, two};
}

std::vector<std::string> AddCommand(const std::string& title) {
    return {"profile", "add", "--title", title, "--source", "C:\\Work", "--target", "E:\\"};
}

}  // namespace

TEST(VlctlProfile, TwoAddsAtOnceKeepBothProfiles) {
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        TFreshDataFolder data;
        auto [alpha, beta] = RunTogether(AddCommand("Alpha"), AddCommand("Beta"));
        EXPECT_EQ(alpha.ExitCode, 0) << alpha.Err;
        EXPECT_EQ(beta.ExitCode, 0) << beta.Err;
        TProfileMgr manager;
        EXPECT_EQ(manager.Count(), 2) << manager.GetTitles();
        EXPECT_NE(manager.IndexOfTitle("Alpha"), -1);
        EXPECT_NE(manager.IndexOfTitle("Beta"), -1);
    }
}

TEST(VlctlProfile, TwoAddsOfOneTitleAtOnceAddItOnce) {
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        TFreshDataFolder data;
        auto [first, second] = RunTogether(AddCommand("Alpha"), AddCommand("alpha"));
        EXPECT_EQ(first.ExitCode + second.ExitCode, 1) << first.Err << second.Err;
        EXPECT_NE((first.Err + second.Err).find("That name already exists."), std::string::npos);
        TProfileMgr manager;
        EXPECT_EQ(manager.Count(), 1) << manager.GetTitles();
    }
}

// A pipe or a device in the settings file's place neither stops the commands nor is
// written through; a choice that cannot be saved is not reported as made.
TEST(VlctlProfiles, SomethingElseInTheSettingsFilesPlaceIsLeftAlone) {
    TFreshDataFolder data;
    ASSERT_EQ(RunProgram(VLCTL_PROGRAM, AddCommand("First")).ExitCode, 0);
    const std::filesystem::path settings = data.Dir().Path() / "Vaultaire 2000.ini";
    std::filesystem::remove(settings);
    ASSERT_EQ(::mkfifo(settings.c_str(), 0600), 0);
    TRunResult list = RunProgram(VLCTL_PROGRAM, {"profiles"});
    EXPECT_EQ(list.ExitCode, 0) << list.Err;
    EXPECT_NE(list.Out.find("* First\n"), std::string::npos) << list.Out;
    EXPECT_NE(list.Err.find("is not a regular file"), std::string::npos) << list.Err;
    EXPECT_TRUE(std::filesystem::is_fifo(settings));

    std::filesystem::remove(settings);
    std::filesystem::create_symlink("/dev/zero", settings);
    TRunResult select = RunProgram(VLCTL_PROGRAM, {"profile", "select", "First"});
    EXPECT_EQ(select.ExitCode, 1);
    EXPECT_NE(select.Err.find("was not saved"), std::string::npos) << select.Err;
    EXPECT_EQ(std::filesystem::read_symlink(settings), "/dev/zero");
}
