#include "sourcethread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "platform/clock.h"
#include "testenv.h"

namespace fs = std::filesystem;

namespace {

class SourceThread : public testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(Dir.Path() / "c/src");
        UseDriveMap("detect off\nC: fixed " + Dir / "c" + "\n");
    }
    void TearDown() override { UseDefaultTestDriveMap(); }

    std::unique_ptr<TSourceThread> Started() {
        auto thread = std::make_unique<TSourceThread>(Queue, nullptr);
        std::string drives = std::string(2, 'x') + "a" + std::string(23, 'x');  // C:
        EXPECT_TRUE(thread->Start(drives, "C:\\src"));
        return thread;
    }
    // Every path in the queue, taken at a time when all are due.
    std::set<std::string> Taken() {
        uint32_t later = GetTickCount() + 2 * PathDelay;
        SetTickSource([later] { return later; });
        std::set<std::string> paths;
        for (std::string path; !(path = Queue.Take()).empty();)
            paths.insert(path);
        SetTickSource({});
        return paths;
    }

    TTempDir Dir;
    TSourcePathList Queue;
};

TEST_F(SourceThread, ChangesMadeBeforeTheStopAreAllInTheQueueAfterIt) {
    auto thread = Started();
    // Let the watches be made before writing (they are made on the driver's thread).
    do {
        WriteTextFile(Dir / "c/src/probe", "x");
    } while (Queue.PathEvent.WaitFor(20) != wrSignaled);

    std::set<std::string> expected{"C:\\src\\probe"};
    for (int i = 0; i < 2000; ++i) {
        WriteTextFile(Dir / ("c/src/f" + std::to_string(i)), "x");
        expected.insert("C:\\src\\f" + std::to_string(i));
    }
    thread.reset();  // at once: most changes are still in the kernel, the driver or the ring
    EXPECT_EQ(Taken(), expected);
}

TEST_F(SourceThread, StartingAndStoppingLeavesNoThreadOrDescriptorBehind) {
    Started().reset();  // the first start loads what stays loaded
    size_t descriptors = OpenDescriptors();
    size_t threads = RunningThreads();
    for (int i = 0; i < 200; ++i)
        Started().reset();
    EXPECT_EQ(OpenDescriptors(), descriptors);
    EXPECT_EQ(RunningThreads(), threads);
}

}  // namespace
