#include "autobackup.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "enginefixture.h"
#include "errorcodes.h"
#include "platform/files.h"
#include "platform/messages.h"

namespace fs = std::filesystem;

namespace {

// Automatic backup of C:\Data to E:\ with the controller every front end uses.
class AutoBackup : public TBackupRunTest {
  protected:
    void SetUp() override {
        UseDrives({Drive('C', "fixed", "c"), Drive('E', "fixed", "e")});
        fs::create_directories(Host("c/Data"));
        fs::create_directories(Host("e"));
        UseProfile({"C:\\Data"}, "E:\\");
        Log = std::make_unique<TLogFile>(500, ltBoth, true);
        ReadLogOf(*Log);
        Auto = std::make_unique<TAutoBackup>(ProfileManager(), *Log);
        Auto->OnMonitorError = [this](int error) { MonitorError = error; };
    }
    void TearDown() override {
        Auto.reset();
        TBackupRunTest::TearDown();
    }

    // Enables automatic backup and waits until a change is backed up: the watches are made
    // on the driver's thread, a moment after Enable.
    void Enable(bool catchUp = false) {
        ASSERT_TRUE(Auto->Enable(catchUp));
        int probes = 0;
        auto lastProbe = std::chrono::steady_clock::now() - std::chrono::seconds(1);
        ASSERT_TRUE(Within(20, [&] {
            if (std::chrono::steady_clock::now() - lastProbe > std::chrono::milliseconds(200)) {
                WriteFile("c/Data/probe" + std::to_string(probes++) + ".txt", "probe");
                lastProbe = std::chrono::steady_clock::now();
            }
            return fs::exists(Host("e/Vaultaire/C/Data")) &&
                   !fs::is_empty(Host("e/Vaultaire/C/Data"));
        }));
    }
    // Serves events until done holds, at most seconds long.
    bool Within(int seconds, const std::function<bool()>& done) {
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        ServeMessagesUntil([&] { return done() || std::chrono::steady_clock::now() > until; });
        return done();
    }
    std::string Copy(const std::string& name) { return "e/Vaultaire/C/Data/" + name + ".VL001"; }

    std::unique_ptr<TLogFile> Log;
    std::unique_ptr<TAutoBackup> Auto;
    int MonitorError = 0;
};

TEST_F(AutoBackup, ChangedFilesAreBackedUpOnceTheySettle) {
    Enable();
    WriteFile("c/Data/a.txt", "one");
    WriteFile("c/Data/a.txt", "two");  // changed again: one copy, of the last content
    EXPECT_TRUE(Within(20, [&] { return Exists(Copy("a.txt")); }));
    EXPECT_EQ(ReadArchive(Copy("a.txt")).Content, "two");
    EXPECT_FALSE(Exists("e/Vaultaire/C/Data/a.txt.VL002"));
    EXPECT_FALSE(ArchiveAttributeSet("C:\\Data\\a.txt"));
    // The log is flushed at every wake, not only when automatic backup ends.
    EXPECT_TRUE(Within(5, [&] {
        for (const std::string& line : LogLines()) {
            if (line.find("Saving file: C:\\Data\\a.txt") != std::string::npos)
                return true;
        }
        return false;
    }));
}

TEST_F(AutoBackup, FilesNotCoveredOrAlreadyBackedUpAreDroppedWithoutALogEntry) {
    Enable();
    WriteFile("c/Data/skip.tmp", "excluded by the profile's masks");
    WriteFile("c/Data/done.txt", "x");
    ASSERT_TRUE(SetFileAttributes("C:\\Data\\done.txt", 0));  // as another program would
    WriteFile("c/Data/last.txt", "x");
    ASSERT_TRUE(Within(20, [&] { return Exists(Copy("last.txt")); }));
    Auto->Disable(true);
    EXPECT_FALSE(Exists(Copy("skip.tmp")));
    EXPECT_FALSE(Exists(Copy("done.txt")));
    for (const std::string& line : LogLines()) {
        EXPECT_EQ(line.find("skip.tmp"), std::string::npos) << line;
        EXPECT_EQ(line.find("done.txt"), std::string::npos) << line;
    }
}

TEST_F(AutoBackup, DisablingWithTheWaitBacksUpEveryChangeMadeBeforeIt) {
    Enable();
    for (int i = 0; i < 500; ++i)
        WriteFile("c/Data/f" + std::to_string(i), "content " + std::to_string(i));
    Auto->Disable(true);  // at once: the changes are in the kernel, the ring and the queue
    int missing = 0;
    for (int i = 0; i < 500; ++i)
        missing += !Exists(Copy("f" + std::to_string(i)));
    EXPECT_EQ(missing, 0);
    std::vector<std::string> lines = LogLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.back().find("Vaultaire disabled."), std::string::npos) << lines.back();
}

TEST_F(AutoBackup, TheShutdownNoticeStaysAtLeastTwoSeconds) {
    struct TNotice : TShutdownNotice {
        void Show() override { ShownAt = std::chrono::steady_clock::now(); }
        void Hide() override { HiddenAt = std::chrono::steady_clock::now(); }
        std::chrono::steady_clock::time_point ShownAt, HiddenAt;
    } notice;
    ASSERT_TRUE(Auto->Enable());
    Auto->Disable(true, &notice);  // nothing queued
    EXPECT_GE(notice.HiddenAt - notice.ShownAt, std::chrono::milliseconds(1990));
}

TEST_F(AutoBackup, AMissingTargetEndsAutomaticBackupWithItsMessage) {
    Profile().Target = "Q:\\";  // no such drive
    SaveProfile();
    ASSERT_TRUE(Auto->Enable());
    EXPECT_TRUE(Within(10, [&] { return MonitorError != 0; }));
    EXPECT_EQ(MonitorError, ERR_TARGETNOTFOUND);
    EXPECT_EQ(MonitorErrorMessage(MonitorError), 364);
    EXPECT_FALSE(Auto->Monitoring());
}

TEST_F(AutoBackup, CatchUpBacksUpWhatChangedWhileNothingWatched) {
    WriteFile("c/Data/old.txt", "backed up before");
    ASSERT_TRUE(SetFileAttributes("C:\\Data\\old.txt", 0));
    WriteFile("c/Data/changed.txt", "changed while nothing watched");
    Enable(true);
    EXPECT_TRUE(Within(10, [&] { return Exists(Copy("changed.txt")); }));
    EXPECT_FALSE(Exists(Copy("old.txt")));
}

TEST_F(AutoBackup, LogSettingsAreTakenUpAtTheNextWake) {
    ASSERT_TRUE(Auto->Enable());
    ProfileManager().MaxLogEntries = 1234;
    Auto->LogSettingsChanged();
    EXPECT_TRUE(Within(10, [&] { return Log->MaxEntries == 1234; }));
}

TEST_F(AutoBackup, SwitchingOnAndOffLeavesNoThreadOrDescriptorBehind) {
    ASSERT_TRUE(Auto->Enable());
    Auto->Disable(false);
    size_t descriptors = OpenDescriptors();
    size_t threads = RunningThreads();
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(Auto->Enable());
        Auto->Disable(false);
    }
    EXPECT_EQ(OpenDescriptors(), descriptors);
    EXPECT_EQ(RunningThreads(), threads);
}

}  // namespace
