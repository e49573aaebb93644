#include "vlmon.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <set>
#include <thread>

#include "platform/files.h"
#include "testenv.h"

namespace fs = std::filesystem;

namespace {

// Waits until done() holds, at most ten seconds (the events come from the kernel's own
// thread of work, so they arrive a little after the change).
bool Eventually(const std::function<bool()>& done) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// A driver watching C:\src (C: being a sandbox folder), with a ring this test reads as the
// program would.
class Driver : public testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(Dir.Path() / "c/src");
        UseDriveMap("detect off\nC: fixed " + Dir / "c" + "\n");
    }
    void TearDown() override {
        Device.reset();
        UseDefaultTestDriveMap();
        unsetenv("VAULTAIRE_WATCH_LIMIT");
        unsetenv("VAULTAIRE_WATCH_OVERFLOW_AFTER");
    }

    void Start(uint32_t rescanMs = TVLMon::kDefaultRescanMs) {
        Device = TVLMon::Open(rescanMs);
        ASSERT_TRUE(Device);
        ASSERT_TRUE(Device->DeviceIoControl(VLMON_SET_DRIVES, Drives.c_str(), Drives.size() + 1));
        TRingRequest ring{&Event, Ring};
        ASSERT_TRUE(Device->DeviceIoControl(VLMON_SET_RING, &ring, sizeof ring));
        ASSERT_TRUE(
            Device->DeviceIoControl(VLMON_SET_FOLDERS, Folders.c_str(), Folders.size() + 1));
        // The watches are made on the driver's thread; a file written in the first moments
        // may come before them, so wait until a probe file is seen.
        ASSERT_TRUE(Eventually([&] {
            Write("src/probe", "x");
            return Event.WaitFor(10) == wrSignaled;
        }));
        ReadRing();
    }

    std::string Host(const std::string& below) { return Dir / ("c/" + below); }
    void Write(const std::string& below, const std::string& content) {
        WriteTextFile(Host(below), content);
    }

    int32_t& Index(size_t offset) { return *reinterpret_cast<int32_t*>(Ring + offset); }
    int Unread() {
        return (Index(kLastWrittenOffset) - Index(kLastReadOffset) + kRingSlots) % kRingSlots;
    }

    // Reads what the driver wrote, as the change monitor thread does, and lets the driver go
    // on with what it held back.
    void ReadRing() {
        int32_t written = std::atomic_ref<int32_t>(Index(kLastWrittenOffset)).load();
        for (int32_t slot = Index(kLastReadOffset); slot != written;) {
            slot = (slot + 1) % kRingSlots;
            const char* text = Ring + kSlotsOffset + kSlotBytes * slot;
            std::string path = text[0] == kLongPathMark ? Device->TakeLongPath(text) : text;
            if (path != "C:\\src\\probe")
                Seen.insert(path);
        }
        std::atomic_ref<int32_t>(Index(kLastReadOffset)).store(written);
        TRingRequest ring{&Event, Ring};
        Device->DeviceIoControl(VLMON_SET_RING, &ring, sizeof ring);
    }
    bool SeenAll(const std::set<std::string>& paths) {
        return Eventually([&] {
            ReadRing();
            for (const std::string& path : paths) {
                if (!Seen.count(path))
                    return false;
            }
            return true;
        });
    }

    // What Start hands the driver: the drives whose roots it watches ('a'), none by default,
    // and the source folders.
    std::string Drives = std::string(26, 'x');
    std::string Folders = "C:\\src";
    TTempDir Dir;
    alignas(int32_t) char Ring[kRingBytes] = {};
    TEvent Event;
    std::unique_ptr<TVLMon> Device;
    std::set<std::string> Seen;
};

TEST_F(Driver, AFullRingHoldsTheRestBackUntilThereIsRoom) {
    Start();
    std::set<std::string> expected;
    for (int i = 0; i < 450; ++i) {
        Write("src/f" + std::to_string(i), "x");
        expected.insert("C:\\src\\f" + std::to_string(i));
    }
    // Nothing is read meanwhile: the ring fills up to 200 unread slots and stops there.
    ASSERT_TRUE(Eventually([&] { return Unread() == kRingSlots - 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(Unread(), kRingSlots - 1) << "a slot that was not read was written over";
    EXPECT_FALSE(Device->Delivered());
    EXPECT_TRUE(SeenAll(expected));  // reading across the wrap from slot 200 to 0
    EXPECT_EQ(Seen.size(), expected.size());
    EXPECT_TRUE(Device->Delivered());
}

TEST_F(Driver, NewFoldersAndWhatWasWrittenInThemBeforeTheirWatchAreReported) {
    Start();
    std::set<std::string> expected;
    for (int i = 0; i < 20; ++i) {
        std::string folder = "src/new" + std::to_string(i) + "/deep/er";
        fs::create_directories(Host(folder));
        Write(folder + "/a.txt", "x");
        expected.insert("C:\\src\\new" + std::to_string(i) + "\\deep\\er\\a.txt");
    }
    EXPECT_TRUE(SeenAll(expected));
    // The new folders are watched from now on.
    Write("src/new3/deep/later.txt", "x");
    EXPECT_TRUE(SeenAll({"C:\\src\\new3\\deep\\later.txt"}));
}

TEST_F(Driver, ASourceThatIsAWatchedDriveRootTakesInItsNewFolders) {
    // The root is watched once as the drive's and once as the source, with its sub-folders.
    Drives[2] = 'a';
    Folders = "C:\\";
    Start();
    fs::create_directories(Host("newtop/deep"));
    Write("newtop/deep/a.txt", "x");
    EXPECT_TRUE(SeenAll({"C:\\newtop\\deep\\a.txt"}));
    Write("newtop/later.txt", "x");
    EXPECT_TRUE(SeenAll({"C:\\newtop\\later.txt"}));
}

TEST_F(Driver, ASourceFolderRenamedAwayAndMadeAgainIsWatchedAgain) {
    Drives[2] = 'a';  // C:\ is watched for itself, C:\src with its sub-folders
    Start(200);
    fs::rename(Host("src"), Host("src.old"));
    Write("src.old/gone.txt", "x");  // no longer the source
    // Made again at once (seen as a new folder of the root) and after a while (found by the
    // search for folders that are not watched).
    fs::create_directories(Host("src/deep"));
    Write("src/deep/a.txt", "x");
    EXPECT_TRUE(SeenAll({"C:\\src\\deep\\a.txt"}));
    Write("src/deep/later.txt", "x");
    EXPECT_TRUE(SeenAll({"C:\\src\\deep\\later.txt"}));
    EXPECT_EQ(Seen.count("C:\\src.old\\gone.txt"), 0u);
}

TEST_F(Driver, FoldersMovedInAreReportedWholeAndFoldersMovedOutAreForgotten) {
    for (int i = 0; i < 50; ++i)
        Write("outside/in/" + std::to_string(i), "x");
    Write("src/leaving/a", "x");
    Start();
    fs::rename(Host("outside/in"), Host("src/in"));
    fs::rename(Host("src/leaving"), Host("outside/left"));
    std::set<std::string> expected;
    for (int i = 0; i < 50; ++i)
        expected.insert("C:\\src\\in\\" + std::to_string(i));
    EXPECT_TRUE(SeenAll(expected));

    Write("outside/left/b", "x");  // no longer below a watched folder
    Write("src/in/after", "x");
    EXPECT_TRUE(SeenAll({"C:\\src\\in\\after"}));
    EXPECT_EQ(Seen.count("C:\\src\\leaving\\b"), 0u);
}

TEST_F(Driver, AFileRenamedOverAnotherIsReportedUnderItsNewName) {
    Write("src/a.txt", "new");
    Write("src/b.txt", "old");
    Start();
    fs::rename(Host("src/a.txt"), Host("src/b.txt"));
    EXPECT_TRUE(SeenAll({"C:\\src\\b.txt"}));
}

TEST_F(Driver, APathLongerThanASlotArrivesWhole) {
    Start();
    std::string name(200, 'n');
    fs::create_directories(Host("src/" + name));
    Write("src/" + name + "/" + name, "x");
    std::string path = "C:\\src\\" + name + "\\" + name;
    ASSERT_GT(path.size(), kMaxSlotPath);
    EXPECT_TRUE(SeenAll({path}));
}

TEST_F(Driver, AfterAnOverflowTheChangedFilesAreFoundByASearch) {
    Write("src/kept/backed-up.txt", "x");
    ASSERT_TRUE(SetFileAttributes("C:\\src\\kept\\backed-up.txt", 0));  // as after a backup
    setenv("VAULTAIRE_WATCH_OVERFLOW_AFTER", "3", 1);
    Start();  // the probe is the first event
    std::set<std::string> expected;
    for (int i = 0; i < 30; ++i) {
        Write("src/kept/f" + std::to_string(i), "x");
        expected.insert("C:\\src\\kept\\f" + std::to_string(i));
    }
    EXPECT_TRUE(SeenAll(expected));
    EXPECT_EQ(Seen.count("C:\\src\\kept\\backed-up.txt"), 0u) << "its archive attribute is clear";
    auto notices = Device->TakeNotices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find("faster"), std::string::npos) << notices[0];
}

TEST_F(Driver, FoldersBeyondTheWatchLimitAreSearchedAtAnInterval) {
    for (const char* folder : {"src/a", "src/b", "src/c"})
        fs::create_directories(Host(folder));
    setenv("VAULTAIRE_WATCH_LIMIT", "2", 1);  // src and one sub-folder
    Start(200);
    Write("src/a/1", "x");
    Write("src/b/1", "x");
    Write("src/c/1", "x");
    EXPECT_TRUE(SeenAll({"C:\\src\\a\\1", "C:\\src\\b\\1", "C:\\src\\c\\1"}));
    auto notices = Device->TakeNotices();
    ASSERT_EQ(notices.size(), 1u) << "the limit is told once";
    EXPECT_NE(notices[0].find("fs.inotify.max_user_watches"), std::string::npos) << notices[0];
}

TEST_F(Driver, WhatTheKernelHeldAtTheStopIsStillDelivered) {
    Start();
    std::set<std::string> expected;
    for (int i = 0; i < 300; ++i) {
        Write("src/s" + std::to_string(i), "x");
        expected.insert("C:\\src\\s" + std::to_string(i));
    }
    ASSERT_TRUE(Device->DeviceIoControl(VLMON_STOP, nullptr, 0));
    EXPECT_TRUE(SeenAll(expected));
}

}  // namespace
