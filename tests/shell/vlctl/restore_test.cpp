#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iostream>
#include <thread>

#include "runprogram.h"
#include "sandboxdata.h"

namespace fs = std::filesystem;

namespace {

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// C: holds the sources, E: the backups; the profile keeps three versions.
class VlctlRestore : public testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(Drives.Path() / "c/Data");
        fs::create_directories(Drives.Path() / "e");
        UseDriveMap("detect off\nC: fixed " + Drives / "c" + "\nE: fixed " + Drives / "e" + "\n");
    }

    TRunResult Vlctl(const std::vector<std::string>& arguments, const std::string& input = "") {
        return RunProgram(VLCTL_PROGRAM, arguments, input, 120);
    }
    void AddProfile(std::vector<std::string> extra = {}) {
        std::vector<std::string> arguments{"profile",    "add",      "--title",  "P",
                                           "--source",   "C:\\Data", "--target", "E:\\",
                                           "--versions", "3"};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        TRunResult added = Vlctl(arguments);
        ASSERT_EQ(added.ExitCode, 0) << added.Err;
    }
    void BackUp() {
        TRunResult run = Vlctl({"backup"});
        ASSERT_EQ(run.ExitCode, 0) << run.Out << run.Err;
    }
    fs::path Source(const std::string& name) const { return Drives.Path() / "c/Data" / name; }
    fs::path Copy(const std::string& name) const {
        return Drives.Path() / "e/Vaultaire/C/Data" / name;
    }
    // Writes a source file whose time lies seconds back, so that each backup sees a change.
    void WriteSource(const std::string& name, const std::string& content, int secondsAgo) {
        WriteTextFile(Source(name), content);
        fs::last_write_time(Source(name),
                            fs::file_time_type::clock::now() - std::chrono::seconds(secondsAgo));
    }

    TFreshDataFolder Data;
    TTempDir Drives;
};

// Every regular file below folder, relative to it.
std::vector<fs::path> FilesBelow(const fs::path& folder) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file())
            files.push_back(fs::relative(entry.path(), folder));
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

TEST_F(VlctlRestore, ARealTreeComesBackWhole) {
    // The program's own sources, backed up in three versions.
    // Folders whose names begin with a dot are the user's like any other.
    for (const char* part : {"share", "shell", ".ci"}) {
        fs::copy(fs::path(VL_SOURCE_DIR) / part, Source(part),
                 fs::copy_options::recursive | fs::copy_options::skip_symlinks);
    }
    fs::create_directories(Source(".config/editor"));
    WriteSource(".config/editor/settings.ini", "[view]\nwrap=on\n", 50);
    AddProfile();
    const std::vector<fs::path> changed = {"share/zstream.cpp", "shell/vlctl/main.cpp",
                                           "share/platform/files.h"};
    std::string firstZstream = ReadTextFile(Source("share/zstream.cpp"));
    for (int round = 0; round < 3; ++round) {
        for (const fs::path& file : changed) {
            std::ofstream(Source(file.string()), std::ios::app) << "// round " << round << "\n";
            fs::last_write_time(Source(file.string()), fs::file_time_type::clock::now() -
                                                           std::chrono::seconds(100 - 10 * round));
        }
        if (round == 0)
            firstZstream = ReadTextFile(Source("share/zstream.cpp"));
        BackUp();
    }
    ASSERT_TRUE(fs::exists(Copy("share/zstream.cpp.VL003")));

    TRunResult restore = Vlctl({"restore", "--to", Drives / "out"});
    ASSERT_EQ(restore.ExitCode, 0) << restore.Out << restore.Err;
    const fs::path restored = Drives.Path() / "out/Data";
    const std::vector<fs::path> files = FilesBelow(Source(""));
    ASSERT_EQ(FilesBelow(restored), files);
    int differences = 0;
    for (const fs::path& file : files) {
        const auto original = fs::last_write_time(Source("") / file);
        const auto back = fs::last_write_time(restored / file);
        // Copies keep times to two seconds.
        bool sameTime = back <= original && original - back < std::chrono::seconds(2);
        if (ReadBinaryFile(Source("") / file) != ReadBinaryFile(restored / file) || !sameTime) {
            ++differences;
            ADD_FAILURE() << file << (sameTime ? ": other bytes" : ": another time") << " "
                          << original.time_since_epoch().count() << " "
                          << back.time_since_epoch().count();
        }
    }
    std::cout << "[ figures  ] round trip of " << files.size()
              << " files in 3 versions: differences " << differences << "\n";
    EXPECT_EQ(differences, 0);
    EXPECT_TRUE(Contains(restore.Out, "Restored " + std::to_string(files.size()) + " files"))
        << restore.Out;

    // The oldest version of one file, back to its own place over the newer one.
    TRunResult oldest = Vlctl(
        {"restore", "C:\\Data\\share\\zstream.cpp", "--version", "3", "--overwrite", "always"});
    ASSERT_EQ(oldest.ExitCode, 0) << oldest.Err;
    EXPECT_EQ(ReadTextFile(Source("share/zstream.cpp")), firstZstream);
}

TEST_F(VlctlRestore, ListAndVersionsShowWhatIsThere) {
    AddProfile();
    WriteSource("a.txt", "first", 60);
    WriteTextFile(Source("Sub/b.txt"), "b");
    BackUp();
    WriteSource("a.txt", "second!", 30);
    BackUp();

    TRunResult list = Vlctl({"list"});
    ASSERT_EQ(list.ExitCode, 0) << list.Err;
    EXPECT_TRUE(Contains(list.Out, "C:\\")) << list.Out;
    list = Vlctl({"list", "E:", "C:\\Data"});
    ASSERT_EQ(list.ExitCode, 0) << list.Err;
    EXPECT_TRUE(Contains(list.Out, "Sub\\")) << list.Out;
    EXPECT_TRUE(Contains(list.Out, "a.txt")) << list.Out;
    EXPECT_TRUE(Contains(list.Out, "7 bytes")) << list.Out;

    TRunResult versions = Vlctl({"versions", (Drives.Path() / "c/Data/a.txt").string()});
    ASSERT_EQ(versions.ExitCode, 0) << versions.Err;
    const size_t newest = versions.Out.find("a.txt.VL001");
    const size_t older = versions.Out.find("a.txt.VL002");
    ASSERT_NE(newest, std::string::npos) << versions.Out;
    ASSERT_NE(older, std::string::npos) << versions.Out;
    EXPECT_LT(newest, older) << "newest first";
    EXPECT_TRUE(Contains(versions.Out, "5 bytes")) << versions.Out;

    TRunResult missing = Vlctl({"versions", "C:\\Data\\nothing.txt"});
    EXPECT_EQ(missing.ExitCode, 1);
    EXPECT_TRUE(Contains(missing.Err, "nothing at")) << missing.Err;
}

TEST_F(VlctlRestore, ExistingFilesAreKeptUnlessTheRuleSaysOtherwise) {
    AddProfile();
    WriteSource("a.txt", "backed up", 60);
    BackUp();
    WriteSource("a.txt", "edited later", 0);

    TRunResult never = Vlctl({"restore", "C:\\Data"});
    EXPECT_EQ(never.ExitCode, 0) << never.Err;
    EXPECT_TRUE(Contains(never.Out, "Restored 0 files, skipped 1")) << never.Out;
    EXPECT_TRUE(Contains(never.Err, "kept")) << never.Err;
    EXPECT_EQ(ReadTextFile(Source("a.txt")), "edited later");

    TRunResult older = Vlctl({"restore", "C:\\Data", "--overwrite", "older"});
    EXPECT_EQ(older.ExitCode, 0);
    EXPECT_EQ(ReadTextFile(Source("a.txt")), "edited later") << "the file is newer";

    TRunResult ask = Vlctl({"restore", "--overwrite", "ask"}, "yes\n");
    EXPECT_EQ(ask.ExitCode, 0) << ask.Err;
    EXPECT_EQ(ReadTextFile(Source("a.txt")), "backed up");

    TRunResult bad = Vlctl({"restore", "--overwrite", "sometimes"});
    EXPECT_EQ(bad.ExitCode, 1);
    EXPECT_TRUE(Contains(bad.Err, "--overwrite takes")) << bad.Err;
}

TEST_F(VlctlRestore, PasswordsComeFromTheFileOrTheTerminal) {
    WriteTextFile(Drives.Path() / "password", "Sesame\n");
    WriteTextFile(Drives.Path() / "wrong", "Wrong\n");
    AddProfile({"--password-file", Drives / "password"});
    WriteSource("a.txt", "secret a", 30);
    WriteSource("b.txt", "secret b", 30);
    BackUp();

    TRunResult wrong =
        Vlctl({"restore", "--to", Drives / "w", "--password-file", Drives / "wrong"});
    EXPECT_EQ(wrong.ExitCode, 1);
    EXPECT_TRUE(Contains(wrong.Out, "Restored 0 files, skipped 2")) << wrong.Out;
    EXPECT_FALSE(fs::exists(Drives.Path() / "w/Data/a.txt"));

    TRunResult right =
        Vlctl({"restore", "--to", Drives / "r", "--password-file", Drives / "password"});
    EXPECT_EQ(right.ExitCode, 0) << right.Err;
    EXPECT_EQ(ReadTextFile(Drives.Path() / "r/Data/b.txt"), "secret b");

    // Asked once for both copies; a wrong answer is asked again.
    TRunResult typed = Vlctl({"restore", "--to", Drives / "t"}, "nope\nSesame\n");
    EXPECT_EQ(typed.ExitCode, 0) << typed.Err;
    EXPECT_EQ(ReadTextFile(Drives.Path() / "t/Data/a.txt"), "secret a");

    TRunResult none = Vlctl({"restore", "--to", Drives / "n"}, "");
    EXPECT_EQ(none.ExitCode, 2) << "no answer cancels";
    EXPECT_TRUE(Contains(none.Err, "Restore operation cancelled.")) << none.Err;
}

TEST_F(VlctlRestore, DamagedAndPlantedCopiesAreNamedAndNotRestored) {
    AddProfile();
    WriteSource("good.txt", "good", 30);
    WriteSource("cut.txt", std::string(4000, 'c'), 30);
    BackUp();
    fs::resize_file(Copy("cut.txt.VL001"), fs::file_size(Copy("cut.txt.VL001")) - 3);
    // A copy moved to another place still names its old one.
    fs::copy_file(Copy("good.txt.VL001"), Copy("moved.txt.VL001"));

    TRunResult verify = Vlctl({"verify", (Drives.Path() / "e").string()});
    EXPECT_EQ(verify.ExitCode, 1);
    EXPECT_TRUE(Contains(verify.Out, "cut.txt.VL001")) << verify.Out;
    EXPECT_TRUE(Contains(verify.Out, "moved.txt.VL001")) << verify.Out;
    EXPECT_TRUE(Contains(verify.Out, "3 of 3 copies verified, 2 damaged.")) << verify.Out;

    TRunResult restore =
        Vlctl({"restore", (Drives.Path() / "e/Vaultaire").string(), "--to", Drives / "out"});
    EXPECT_EQ(restore.ExitCode, 1);
    EXPECT_TRUE(Contains(restore.Out, "Restored 1 file, skipped 2 (1 damaged, 1 refused"))
        << restore.Out;
    EXPECT_TRUE(Contains(restore.Err, "refused: ")) << restore.Err;
    EXPECT_TRUE(Contains(restore.Err, "damaged: ")) << restore.Err;
    EXPECT_EQ(FilesBelow(Drives.Path() / "out"), std::vector<fs::path>{"Data/good.txt"});
    const std::string log = ReadTextFile(Data.Dir().Path() / "Vaultaire 2000.log");
    EXPECT_TRUE(Contains(log, "is not the path the copy's place stands for")) << log;

    fs::remove(Copy("cut.txt.VL001"));
    fs::remove(Copy("moved.txt.VL001"));
    TRunResult sound = Vlctl({"verify"});
    EXPECT_EQ(sound.ExitCode, 0) << sound.Out;
}

TEST_F(VlctlRestore, PathsThatNameNothingAreRefused) {
    AddProfile();
    WriteSource("a.txt", "a", 30);
    BackUp();
    TRunResult nothing = Vlctl({"restore", "C:\\Data\\zzz.txt"});
    EXPECT_EQ(nothing.ExitCode, 1);
    EXPECT_TRUE(Contains(nothing.Err, "nothing at")) << nothing.Err;
    TRunResult version = Vlctl({"restore", "C:\\Data\\a.txt", "--version", "2"});
    EXPECT_EQ(version.ExitCode, 1);
    EXPECT_TRUE(Contains(version.Err, "no version 2")) << version.Err;
    TRunResult badVersion = Vlctl({"restore", "--version", "0"});
    EXPECT_EQ(badVersion.ExitCode, 1);
    TRunResult noBackup = Vlctl({"list", (Drives.Path() / "c").string(), "C:\\Data"});
    EXPECT_EQ(noBackup.ExitCode, 1) << "C: holds no backup: both are paths, one too many";
}

// A restore ended at every change it makes to the file system, as a crash would end it:
// each file is either as it was or whole, and the next restore finishes the work.
TEST_F(VlctlRestore, ACrashAtAnyStepLeavesEveryFileWholeOrAsItWas) {
    AddProfile();
    const std::string big = std::string(300000, 'b') + "end";
    WriteSource("new.txt", "new file", 60);
    WriteSource("big.bin", big, 60);
    WriteSource("replaced.txt", "backed up", 60);
    BackUp();
    fs::remove(Source("new.txt"));
    fs::remove(Source("big.bin"));
    WriteSource("replaced.txt", "edited", 0);

    int crashed = 0;
    for (int step = 1; step < 200; ++step) {
        SCOPED_TRACE(step);
        setenv("VAULTAIRE_CRASH_AFTER_STEPS", std::to_string(step).c_str(), 1);
        TRunResult run = Vlctl({"restore", "--overwrite", "always"});
        unsetenv("VAULTAIRE_CRASH_AFTER_STEPS");
        for (const auto& [name, content] : std::vector<std::pair<std::string, std::string>>{
                 {"new.txt", "new file"}, {"big.bin", big}}) {
            if (fs::exists(Source(name))) {
                EXPECT_EQ(ReadTextFile(Source(name)), content) << name;
            }
        }
        const std::string replaced = ReadTextFile(Source("replaced.txt"));
        EXPECT_TRUE(replaced == "edited" || replaced == "backed up") << replaced;
        if (run.ExitCode != 86) {
            EXPECT_EQ(run.ExitCode, 0) << run.Err;
            break;
        }
        ++crashed;
        fs::remove(Source("new.txt"));
        fs::remove(Source("big.bin"));
        WriteSource("replaced.txt", "edited", 0);
    }
    std::cout << "[ figures  ] restore ended by a crash at " << crashed
              << " steps: every file whole or as it was\n";
    EXPECT_GT(crashed, 3) << "the crash came at several steps";
    TRunResult finish = Vlctl({"restore", "--overwrite", "always"});
    EXPECT_EQ(finish.ExitCode, 0) << finish.Err;
    EXPECT_EQ(ReadTextFile(Source("replaced.txt")), "backed up");
    for (const auto& entry : fs::directory_iterator(Source("")))
        EXPECT_NE(entry.path().filename().string().rfind(".VLR", 0), 0u) << "work file left";
}

TEST_F(VlctlRestore, AFullDiskLeavesNoHalfFile) {
    AddProfile();
    WriteSource("big.bin", std::string(300000, 'b'), 60);
    WriteSource("old.txt", std::string(100000, 'o'), 60);
    BackUp();
    fs::remove(Source("big.bin"));
    WriteSource("old.txt", "kept when the disk is full", 0);
    setenv("VAULTAIRE_DISK_FULL_AFTER", "C:50000", 1);
    TRunResult full = Vlctl({"restore", "--overwrite", "always"});
    unsetenv("VAULTAIRE_DISK_FULL_AFTER");
    EXPECT_EQ(full.ExitCode, 1) << full.Out << full.Err;
    EXPECT_TRUE(Contains(full.Err, "not enough space")) << full.Err;
    EXPECT_FALSE(fs::exists(Source("big.bin")));
    EXPECT_EQ(ReadTextFile(Source("old.txt")), "kept when the disk is full");
    for (const auto& entry : fs::directory_iterator(Source("")))
        EXPECT_NE(entry.path().filename().string().rfind(".VLR", 0), 0u) << "work file left";
}
