#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>

#include "platform/faults.h"
#include "platform/filestream.h"
#include "runprogram.h"
#include "sandboxdata.h"
#include "zstream.h"

namespace fs = std::filesystem;

namespace {

constexpr int64_t GiB = int64_t{1} << 30;

// The names in folder, sorted.
std::vector<std::string> NamesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Waits (at most 20 s) until a file whose name begins with prefix is in folder.
bool WaitForFile(const fs::path& folder, const std::string& prefix) {
    for (int i = 0; i < 4000; ++i) {
        for (const std::string& name : NamesIn(folder)) {
            if (name.rfind(prefix, 0) == 0)
                return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

// Makes path a file of size bytes that takes no room on the disk, or says why it cannot.
bool MakeSparseFile(const fs::path& path, int64_t size, std::string& why) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::app).close();
    struct stat info;
    if (::truncate(path.c_str(), size) != 0 || ::stat(path.c_str(), &info) != 0) {
        why = "the file system refuses a sparse file";
        return false;
    }
    if (info.st_blocks * 512 > 1024 * 1024) {
        why = "the file system does not keep files sparse";
        return false;
    }
    return true;
}

// C: and E: are folders of the test; a.txt on C: is the file to back up.
class VlctlArchive : public testing::Test {
  protected:
    void SetUp() override {
        UseDriveMap("detect off\nC: fixed " + Drives / "c" + "\nE: fixed " + Drives / "e" + "\n");
        WriteTextFile(Drives.Path() / "c/Data/a.txt", Original);
        fs::create_directories(Drives.Path() / "e");
        WriteTextFile(Drives.Path() / "password", "Open Sesame\n");
    }

    TRunResult Vlctl(const std::vector<std::string>& arguments, const std::string& input = "") {
        return RunProgram(VLCTL_PROGRAM, arguments, input);
    }

    // Makes E:\a.vla from C:\Data\a.txt.
    void CreateArchive(std::vector<std::string> extra = {}) {
        std::vector<std::string> arguments{"archive", "create", "C:\\Data\\a.txt",
                                           Drives / "e/a.vla"};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        TRunResult run = Vlctl(arguments);
        ASSERT_EQ(run.ExitCode, 0) << run.Err;
    }

    std::string Original = std::string(5000, 'x') + "the end\n";
    TFreshDataFolder Data;
    TTempDir Drives;
};

}  // namespace

TEST_F(VlctlArchive, CreateInfoAndExtractRoundTrip) {
    CreateArchive();
    TRunResult info = Vlctl({"archive", "info", "E:\\a.vla"});
    EXPECT_EQ(info.ExitCode, 0) << info.Err;
    EXPECT_NE(info.Out.find("valid:         yes\n"), std::string::npos) << info.Out;
    EXPECT_NE(info.Out.find("original path: C:\\Data\\a.txt\n"), std::string::npos) << info.Out;
    EXPECT_NE(info.Out.find("original size: 5008 bytes\n"), std::string::npos);
    EXPECT_NE(info.Out.find("method:        deflated\n"), std::string::npos);
    EXPECT_NE(info.Out.find("password:      none\n"), std::string::npos);

    TRunResult extract = Vlctl({"archive", "extract", "E:\\a.vla", Drives / "restored"});
    ASSERT_EQ(extract.ExitCode, 0) << extract.Err;
    EXPECT_EQ(ReadTextFile(Drives.Path() / "restored"), Original);

    fs::create_directories(Drives.Path() / "into");
    extract = Vlctl({"archive", "extract", "E:\\a.vla", Drives / "into"});
    ASSERT_EQ(extract.ExitCode, 0) << extract.Err;
    EXPECT_EQ(ReadTextFile(Drives.Path() / "into/a.txt"), Original) << "a folder takes the name";
}

TEST_F(VlctlArchive, ExtractToTheOriginalPlaceObeysTheOverwriteRule) {
    CreateArchive({"--store"});
    const fs::path original = Drives.Path() / "c/Data/a.txt";
    WriteTextFile(original, "edited since");

    TRunResult never = Vlctl({"archive", "extract", "E:\\a.vla", "--overwrite", "never"});
    EXPECT_EQ(never.ExitCode, 1);
    EXPECT_NE(never.Err.find("left as it is"), std::string::npos) << never.Err;
    EXPECT_EQ(ReadTextFile(original), "edited since");

    TRunResult declined = Vlctl({"archive", "extract", "E:\\a.vla"}, "no\n");
    EXPECT_EQ(declined.ExitCode, 2);
    EXPECT_NE(declined.Err.find("already exists"), std::string::npos) << declined.Err;
    EXPECT_EQ(ReadTextFile(original), "edited since");

    TRunResult noAnswer = Vlctl({"archive", "extract", "E:\\a.vla"});
    EXPECT_EQ(noAnswer.ExitCode, 2) << "the end of input answers no";
    EXPECT_EQ(ReadTextFile(original), "edited since");

    TRunResult accepted = Vlctl({"archive", "extract", "E:\\a.vla", "--overwrite=ask"}, "yes\n");
    EXPECT_EQ(accepted.ExitCode, 0) << accepted.Err;
    EXPECT_EQ(ReadTextFile(original), Original);

    fs::remove(original);
    TRunResult restored = Vlctl({"archive", "extract", "E:\\a.vla", "--overwrite", "never"});
    EXPECT_EQ(restored.ExitCode, 0) << restored.Err;
    EXPECT_EQ(ReadTextFile(original), Original);
}

TEST_F(VlctlArchive, StoredPathUnderNoDriveIsRefusedWithoutWritingAnywhere) {
    CreateArchive();
    UseDriveMap("detect off\nC: none\nE: fixed " + Drives / "e" + "\n");
    TRunResult run = Vlctl({"archive", "extract", "E:\\a.vla", "--overwrite", "always"});
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_NE(run.Err.find("maps to no drive"), std::string::npos) << run.Err;
}

TEST_F(VlctlArchive, ProtectedCopiesNeedTheirPassword) {
    CreateArchive({"--password-file", Drives / "password"});
    EXPECT_NE(Vlctl({"archive", "info", "E:\\a.vla"}).Out.find("password:      protected"),
              std::string::npos);
    TRunResult without = Vlctl({"archive", "extract", "E:\\a.vla", Drives / "out"});
    EXPECT_EQ(without.ExitCode, 1);
    EXPECT_NE(without.Err.find("password-protected"), std::string::npos);

    WriteTextFile(Drives.Path() / "wrong", "Open Barley\n");
    TRunResult wrong = Vlctl(
        {"archive", "extract", "E:\\a.vla", Drives / "out", "--password-file", Drives / "wrong"});
    EXPECT_EQ(wrong.ExitCode, 1);
    EXPECT_FALSE(fs::exists(Drives.Path() / "out"));

    TRunResult right = Vlctl({"archive", "extract", "E:\\a.vla", Drives / "out", "--password-file",
                              Drives / "password"});
    EXPECT_EQ(right.ExitCode, 0) << right.Err;
    EXPECT_EQ(ReadTextFile(Drives.Path() / "out"), Original);
}

TEST_F(VlctlArchive, RefusesBadInputAndLosesNothing) {
    WriteTextFile(Drives.Path() / "e/not-an-archive", "just text");
    TRunResult info = Vlctl({"archive", "info", "E:\\not-an-archive"});
    EXPECT_EQ(info.ExitCode, 1);
    EXPECT_NE(info.Out.find("valid:         no"), std::string::npos);
    TRunResult extract = Vlctl({"archive", "extract", "E:\\not-an-archive", Drives / "x"});
    EXPECT_EQ(extract.ExitCode, 1);
    EXPECT_NE(extract.Err.find("not a valid backed-up copy"), std::string::npos) << extract.Err;

    CreateArchive();
    TRunResult again = Vlctl({"archive", "create", "C:\\Data\\a.txt", "E:\\a.vla"});
    EXPECT_EQ(again.ExitCode, 1) << "an existing archive is not replaced";
    EXPECT_NE(again.Err.find("already exists"), std::string::npos);

    TRunResult missing = Vlctl({"archive", "create", "C:\\Data\\none.txt", "E:\\b.vla"});
    EXPECT_EQ(missing.ExitCode, 1);
    TRunResult outside = Vlctl({"archive", "create", "/etc/hostname", "E:\\c.vla"});
    EXPECT_EQ(outside.ExitCode, 1);
    EXPECT_NE(outside.Err.find("lies under no drive"), std::string::npos) << outside.Err;
    EXPECT_FALSE(fs::exists(Drives.Path() / "e/c.vla"));
}

TEST_F(VlctlArchive, ExtractNeverWritesThroughALink) {
    CreateArchive();
    const fs::path outside = Drives.Path() / "outside";
    WriteTextFile(outside / "victim.txt", "victim");
    fs::create_directories(Drives.Path() / "c/out");
    fs::create_symlink(outside / "victim.txt", Drives.Path() / "c/out/a.txt");

    TRunResult run = Vlctl({"archive", "extract", "E:\\a.vla", "C:\\out", "--overwrite", "always"});
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_EQ(ReadTextFile(outside / "victim.txt"), "victim");
    EXPECT_FALSE(fs::is_symlink(Drives.Path() / "c/out/a.txt")) << "the link itself is replaced";
    EXPECT_EQ(ReadTextFile(Drives.Path() / "c/out/a.txt"), Original);

    fs::create_directory_symlink(outside, Drives.Path() / "c/away");
    for (const char* target : {"C:\\away", "C:\\away\\a.txt", "C:\\away\\new\\"}) {
        SCOPED_TRACE(target);
        TRunResult refused =
            Vlctl({"archive", "extract", "E:\\a.vla", target, "--overwrite", "always"});
        EXPECT_EQ(refused.ExitCode, 1);
        EXPECT_NE(refused.Err.find("Its folder leads out of drive C: through a symbolic link."),
                  std::string::npos)
            << refused.Err;
    }
    EXPECT_EQ(NamesIn(outside), std::vector<std::string>{"victim.txt"});
    EXPECT_EQ(ReadTextFile(outside / "victim.txt"), "victim");
}

TEST_F(VlctlArchive, ATrailingSeparatorMakesTheTargetAFolder) {
    CreateArchive();
    struct Case {
        std::string Target;
        fs::path Restored;
    };
    const Case cases[] = {
        {Drives / "newdir/", Drives.Path() / "newdir/a.txt"},
        {Drives / "one/two/", Drives.Path() / "one/two/a.txt"},
        {"C:\\newdir\\", Drives.Path() / "c/newdir/a.txt"},
        {"C:\\slash/", Drives.Path() / "c/slash/a.txt"},
        {Drives / "plain", Drives.Path() / "plain"},
    };
    for (const Case& c : cases) {
        TRunResult run = Vlctl({"archive", "extract", "E:\\a.vla", c.Target});
        EXPECT_EQ(run.ExitCode, 0) << c.Target << ": " << run.Err;
        EXPECT_TRUE(fs::is_regular_file(c.Restored)) << c.Target;
        EXPECT_EQ(ReadTextFile(c.Restored), Original) << c.Target;
    }
}

TEST_F(VlctlArchive, DamagedCopiesAreReportedAndChangeNothing) {
    for (bool store : {true, false}) {
        SCOPED_TRACE(store ? "stored" : "deflated");
        fs::remove(Drives.Path() / "e/a.vla");
        CreateArchive(store ? std::vector<std::string>{"--store"} : std::vector<std::string>{});
        TRunResult info = Vlctl({"archive", "info", "E:\\a.vla"});
        EXPECT_NE(info.Out.find("checksum:      "), std::string::npos) << info.Out;
        EXPECT_EQ(info.Out.find("checksum:      none"), std::string::npos) << info.Out;

        std::vector<uint8_t> bytes = ReadBinaryFile(Drives.Path() / "e/a.vla");
        bytes[bytes.size() - 6] ^= 0x04;  // in the content, before any checksum of zlib
        WriteTextFile(Drives.Path() / "e/a.vla", std::string(bytes.begin(), bytes.end()));
        WriteTextFile(Drives.Path() / "t/a.txt", "precious");
        TRunResult run =
            Vlctl({"archive", "extract", "E:\\a.vla", Drives / "t/a.txt", "--overwrite", "always"});
        EXPECT_EQ(run.ExitCode, 1);
        EXPECT_NE(run.Err.find("is damaged"), std::string::npos) << run.Err;
        EXPECT_EQ(ReadTextFile(Drives.Path() / "t/a.txt"), "precious");
        EXPECT_EQ(NamesIn(Drives.Path() / "t"), std::vector<std::string>{"a.txt"});
    }
}

TEST_F(VlctlArchive, WhatCannotBeAnArchiveOrAFileNameIsSaidInWords) {
    fs::create_directories(Drives.Path() / "e/folder");
    ASSERT_EQ(mkfifo((Drives / "e/pipe").c_str(), 0644), 0);
    struct Case {
        std::vector<std::string> Arguments;
        const char* Message;
    };
    const Case cases[] = {
        {{"info", "E:\\folder"}, "Cannot open file \"E:\\folder\". It is a folder, not a file."},
        {{"extract", "E:\\folder"}, "Cannot open file \"E:\\folder\". It is a folder, not a file."},
        {{"info", "E:\\pipe"},
         "Cannot open file \"E:\\pipe\". It is a pipe, device or socket, not a file."},
        {{"extract", "E:\\pipe", Drives / "x"},
         "Cannot open file \"E:\\pipe\". It is a pipe, device or socket, not a file."},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments{"archive"};
        arguments.insert(arguments.end(), c.Arguments.begin(), c.Arguments.end());
        TRunResult run = Vlctl(arguments);
        EXPECT_EQ(run.ExitCode, 1) << c.Arguments[1];
        EXPECT_NE(run.Err.find(c.Message), std::string::npos) << run.Err;
    }

    // Stored paths that name no file: one ending in a folder step, one with a NUL.
    auto craft = [&](const std::string& name, const std::string& path) {
        TVZStreamHeader header;
        header.OriginalPath = path;
        header.OriginalSize = 2;
        TFileStream file(Drives / ("e/" + name), fmCreate);
        header.Write(file);
        file.WriteBuffer("ok", 2);
    };
    craft("dots.vla", "C:\\Data\\..");
    craft("nul.vla", std::string("C:\\Data\\a.txt\0..\\..\\evil", 23));
    TRunResult toPlace = Vlctl({"archive", "extract", "E:\\dots.vla", "--overwrite", "always"});
    EXPECT_EQ(toPlace.ExitCode, 1);
    EXPECT_NE(toPlace.Err.find("The path ends in a folder, not in a file name."), std::string::npos)
        << toPlace.Err;
    TRunResult toFolder = Vlctl({"archive", "extract", "E:\\dots.vla", Drives / "t/"});
    EXPECT_EQ(toFolder.ExitCode, 1);
    EXPECT_NE(toFolder.Err.find("has no file name"), std::string::npos) << toFolder.Err;
    TRunResult nul = Vlctl({"archive", "extract", "E:\\nul.vla", "--overwrite", "always"});
    EXPECT_EQ(nul.ExitCode, 1);
    EXPECT_NE(nul.Err.find("not a valid backed-up copy"), std::string::npos) << nul.Err;
    EXPECT_EQ(NamesIn(Drives.Path() / "c"), std::vector<std::string>{"Data"});
    EXPECT_EQ(NamesIn(Drives.Path() / "c/Data"), std::vector<std::string>{"a.txt"});
}

// Interrupts and kills while a large copy is restored or written: what the run made is
// removed by the run itself when it is asked to stop, and by the next run into the same
// folder when it was killed.
class VlctlArchiveInterrupts : public VlctlArchive {
  protected:
    void SetUp() override {
        VlctlArchive::SetUp();
        std::string why;
        if (!MakeSparseFile(Drives.Path() / "c/Data/big.bin", 8 * GiB, why))
            GTEST_SKIP() << why;
        // A stored copy of 8 GiB of zeros that takes no room: the header, then a hole.
        TVZStreamHeader header;
        header.OriginalPath = "C:\\Data\\big.bin";
        header.OriginalSize = 8 * GiB;
        {
            TFileStream archive(Drives / "e/big.vla", fmCreate);
            header.Write(archive);
        }
        ASSERT_EQ(::truncate((Drives / "e/big.vla").c_str(), header.StoredSize() + 8 * GiB), 0);
        fs::create_directories(Drives.Path() / "t");
        WriteTextFile(Drives.Path() / "t/big.bin", "precious");
    }

    // Starts arguments, waits for its work file (prefix) in folder, then sends signal.
    int RunUntilWorkFileThenSignal(const std::vector<std::string>& arguments,
                                   const fs::path& folder, const std::string& prefix, int signal) {
        TBackgroundProgram run(VLCTL_PROGRAM, arguments, Drives.Path());
        EXPECT_TRUE(WaitForFile(folder, prefix)) << "no work file appeared";
        run.Signal(signal);
        return run.Wait();
    }

    const std::vector<std::string> Extract = {
        "archive", "extract", "E:\\big.vla", Drives / "t/big.bin", "--overwrite", "always"};
    const std::vector<std::string> Create = {"archive", "create", "C:\\Data\\big.bin",
                                             "E:\\new.vla", "--store"};
    const fs::path Errors = Drives.Path() / "err";  // where the background run writes it
};

TEST_F(VlctlArchiveInterrupts, AnInterruptStopsExtractAndCreateAndRemovesTheirWork) {
    for (int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(strsignal(signal));
        EXPECT_EQ(RunUntilWorkFileThenSignal(Extract, Drives.Path() / "t", ".VLR", signal), 2);
        EXPECT_NE(ReadTextFile(Errors).find("interrupted"), std::string::npos)
            << ReadTextFile(Errors);
        EXPECT_EQ(NamesIn(Drives.Path() / "t"), std::vector<std::string>{"big.bin"});
        EXPECT_EQ(ReadTextFile(Drives.Path() / "t/big.bin"), "precious");

        EXPECT_EQ(RunUntilWorkFileThenSignal(Create, Drives.Path() / "e", ".VLA", signal), 2);
        EXPECT_NE(ReadTextFile(Errors).find("interrupted"), std::string::npos)
            << ReadTextFile(Errors);
        EXPECT_EQ(NamesIn(Drives.Path() / "e"), std::vector<std::string>{"big.vla"});
    }
    TRunResult next = Vlctl({"archive", "create", "C:\\Data\\a.txt", "E:\\new.vla"});
    EXPECT_EQ(next.ExitCode, 0) << "nothing blocks the next create: " << next.Err;
}

TEST_F(VlctlArchiveInterrupts, WhatAKilledRunLeftIsRemovedByTheNextRunInThatFolder) {
    CreateArchive();
    EXPECT_EQ(RunUntilWorkFileThenSignal(Extract, Drives.Path() / "t", ".VLR", SIGKILL),
              128 + SIGKILL);
    EXPECT_EQ(RunUntilWorkFileThenSignal(Create, Drives.Path() / "e", ".VLA", SIGKILL),
              128 + SIGKILL);
    EXPECT_EQ(NamesIn(Drives.Path() / "t").size(), 2u) << "the killed run's work file is left";
    std::vector<std::string> left = NamesIn(Drives.Path() / "e");
    ASSERT_EQ(left.size(), 3u);
    ASSERT_EQ(left[0].rfind(".VLA", 0), 0u);
    EXPECT_EQ(Vlctl({"archive", "info", "E:\\" + left[0]}).Out.find("valid:         yes"),
              std::string::npos)
        << "an archive cut short is never valid";

    TRunResult extract = Vlctl({"archive", "extract", "E:\\a.vla", Drives / "t/a.txt"});
    EXPECT_EQ(extract.ExitCode, 0) << extract.Err;
    EXPECT_EQ(NamesIn(Drives.Path() / "t"), (std::vector<std::string>{"a.txt", "big.bin"}));
    TRunResult create = Vlctl({"archive", "create", "C:\\Data\\a.txt", "E:\\b.vla"});
    EXPECT_EQ(create.ExitCode, 0) << create.Err;
    EXPECT_EQ(NamesIn(Drives.Path() / "e"),
              (std::vector<std::string>{"a.vla", "b.vla", "big.vla"}));
    EXPECT_EQ(ReadTextFile(Drives.Path() / "t/big.bin"), "precious");
}

TEST_F(VlctlArchive, ACrashAtAnyStepLeavesNothingAfterTheNextRun) {
    const std::string content = std::string(100000, 'y');
    WriteTextFile(Drives.Path() / "c/Data/b.txt", content);
    CreateArchive({"--store"});
    WriteTextFile(Drives.Path() / "t/a.txt", "precious");
    struct Run {
        const char* What;
        std::vector<std::string> Arguments;
        fs::path Folder;
        std::vector<std::string> Before, After;
    };
    const Run runs[] = {
        {"extract",
         {"archive", "extract", "E:\\a.vla", Drives / "t/a.txt", "--overwrite", "always"},
         Drives.Path() / "t",
         {"a.txt"},
         {"a.txt"}},
        {"create",
         {"archive", "create", "C:\\Data\\b.txt", "E:\\b.vla"},
         Drives.Path() / "e",
         {"a.vla"},
         {"a.vla", "b.vla"}},
    };
    for (const Run& run : runs) {
        for (int step = 1;; ++step) {
            SCOPED_TRACE(std::string(run.What) + " ended at step " + std::to_string(step));
            ASSERT_LT(step, 100);
            setenv("VAULTAIRE_CRASH_AFTER_STEPS", std::to_string(step).c_str(), 1);
            TRunResult crashed = Vlctl(run.Arguments);
            unsetenv("VAULTAIRE_CRASH_AFTER_STEPS");
            if (crashed.ExitCode == 0)
                break;
            ASSERT_EQ(crashed.ExitCode, kCrashExitCode) << crashed.Err;
            // Apart from the crashed run's work file, the file is there whole or not at all.
            std::vector<std::string> names = NamesIn(run.Folder);
            std::erase_if(names, [](const std::string& name) { return name.rfind(".VL", 0) == 0; });
            EXPECT_TRUE(names == run.Before || names == run.After);
            // The next run, into the same folder, finds what the crash left.
            fs::remove(Drives.Path() / "e/b.vla");
            TRunResult next = Vlctl(run.Arguments);
            EXPECT_EQ(next.ExitCode, 0) << next.Err;
            EXPECT_EQ(NamesIn(run.Folder), run.After);
            if (std::string(run.What) == "create")
                fs::remove(Drives.Path() / "e/b.vla");
        }
    }
    EXPECT_EQ(ReadTextFile(Drives.Path() / "t/a.txt"), Original);
}
