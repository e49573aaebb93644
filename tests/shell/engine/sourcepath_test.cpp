#include "sourcepath.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/clock.h"

namespace {

// The queue against a clock the test moves by hand.
class SourcePaths : public testing::Test {
  protected:
    void SetUp() override {
        SetTickSource([this] { return Now; });
    }
    void TearDown() override { SetTickSource({}); }

    bool EventSet() { return Queue.PathEvent.WaitFor(0) == wrSignaled; }

    uint32_t Now = 1000000;
    TSourcePathList Queue;
};

TEST_F(SourcePaths, APathIsHandedOutOnlyAfterItsDelay) {
    Queue.Add("C:\\a.txt");
    EXPECT_TRUE(EventSet());
    EXPECT_EQ(Queue.Take(), "");
    Now += PathDelay;
    EXPECT_EQ(Queue.Take(), "");  // not before the delay has passed
    Now += 1;
    EXPECT_EQ(Queue.Take(), "C:\\a.txt");
    EXPECT_EQ(Queue.Take(), "");
}

TEST_F(SourcePaths, AReportedAgainPathMovesToTheFrontAndWaitsAgain) {
    Queue.Add("C:\\a.txt");
    Now += 1000;
    Queue.Add("C:\\b.txt");
    ASSERT_TRUE(EventSet());
    Now += 1000;
    Queue.Add("C:\\a.txt");  // a again: now changed after b
    EXPECT_FALSE(EventSet()) << "a refreshed path does not signal again";
    EXPECT_EQ(Queue.Count(), 2);
    Now += PathDelay - 999;  // b is due, a not yet
    EXPECT_EQ(Queue.Take(), "C:\\b.txt");
    EXPECT_EQ(Queue.Take(), "");
    Now += 1000;
    EXPECT_EQ(Queue.Take(), "C:\\a.txt");
}

TEST_F(SourcePaths, PathsAreHandedOutInTheOrderOfTheirLastReport) {
    for (const char* path : {"C:\\1", "C:\\2", "C:\\3"}) {
        Queue.Add(path);
        Now += 1000;
    }
    Now += PathDelay;
    EXPECT_EQ(Queue.Take(), "C:\\1");
    EXPECT_EQ(Queue.Take(), "C:\\2");
    EXPECT_EQ(Queue.Take(), "C:\\3");
}

TEST_F(SourcePaths, NamesThatDifferInCaseAreTwoFilesButDriveLettersAreNot) {
    Queue.Add("C:\\Data\\Report.doc");
    Queue.Add("C:\\Data\\report.doc");
    Queue.Add("c:\\Data\\report.doc");  // the same file as the one before
    EXPECT_EQ(Queue.Count(), 2);
}

TEST_F(SourcePaths, TheDrainEventIsSetWhenTheQueueIsOrBecomesEmpty) {
    TEvent drained;
    Queue.SetDrainEvent(&drained);
    EXPECT_EQ(Queue.Take(), "");
    EXPECT_EQ(drained.WaitFor(0), wrSignaled);

    Queue.Add("C:\\a");
    Queue.Add("C:\\b");
    Queue.SetDrainEvent(&drained);
    Now += PathDelay + 1;
    EXPECT_EQ(Queue.Take(), "C:\\a");
    EXPECT_EQ(drained.WaitFor(0), wrTimeout) << "a path is still queued";
    EXPECT_EQ(Queue.Take(), "C:\\b");
    EXPECT_EQ(drained.WaitFor(0), wrSignaled);
    EXPECT_EQ(Queue.Take(), "");
    EXPECT_EQ(drained.WaitFor(0), wrTimeout) << "the event is forgotten once set";
}

TEST_F(SourcePaths, TheTickCounterWrapChangesNothing) {
    // Reported just before the 32-bit counter wraps: due after it.
    struct TCase {
        uint32_t ReportedAt;
        uint32_t TooEarly;
    } cases[] = {{0xFFFFFFFFu - 100, 0xFFFFFFFFu - 100 + 3000},
                 {0xFFFFFFFFu, 4999},
                 {2, 5001}};  // the first seconds after the system starts
    for (const TCase& c : cases) {
        Now = c.ReportedAt;
        Queue.Add("C:\\a");
        Now = c.TooEarly;
        EXPECT_EQ(Queue.Take(), "") << c.ReportedAt;
        Now = c.ReportedAt + PathDelay + 1;
        EXPECT_EQ(Queue.Take(), "C:\\a") << c.ReportedAt;
    }
}

TEST(SourcePathsThreads, AWaitingConsumerWakesForANewPath) {
    TSourcePathList queue;
    std::thread producer([&] { queue.Add("C:\\a"); });
    EXPECT_EQ(queue.PathEvent.WaitFor(10000), wrSignaled);
    producer.join();
    EXPECT_EQ(queue.PathEvent.WaitFor(10), wrTimeout) << "one wake per Set";
}

}  // namespace
