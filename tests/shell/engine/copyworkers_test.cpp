// The copy workers of a run on a fixed target: files copied beside the walk come out in the
// order they went in, each copy reads back as its source, and nothing is left behind when
// a file goes away, the run stops or items are never taken out.
#include "copyworkers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <numeric>

#include "enginefixture.h"
#include "zstream.h"

namespace fs = std::filesystem;

namespace {

// The name of a file in drive form, without its folder.
std::string NameOf(const std::string& drivePath) {
    return drivePath.substr(drivePath.rfind('\\') + 1);
}

class CopyWorkers : public TSimulatedDrives {
  protected:
    void SetUp() override {
        UseDrives({Drive('C', "fixed", "c"), Drive('E', "fixed", "e")});
        fs::create_directories(Host("e/Vaultaire"));
        fs::create_directories(Host("c/Data"));
    }

    static std::unique_ptr<TCopyItem> Item(TCopyItem::TKind kind, int counter,
                                           const std::string& source) {
        auto item = std::make_unique<TCopyItem>();
        item->Kind = kind;
        item->Counter = counter;
        item->SourceName = source;
        return item;
    }

    std::string ContentOf(const std::string& workFile) {
        TVUnzipStream archive(workFile);
        EXPECT_TRUE(archive.Valid) << workFile;
        fs::path out = Host("restored");
        {
            TFileStream target(out.string(), fmCreate);
            archive >> &target;
        }
        return ReadFile("restored");
    }

    const TCopySettings Settings{"E:\\Vaultaire", "VLNEW___.", -1, 0};
};

TEST_F(CopyWorkers, ItemsComeOutInTheOrderTheyWentInAndEachCopyReadsBack) {
    // Large files among small ones finish late: the order must not follow the finishing.
    std::vector<std::string> contents;
    for (int i = 0; i < 120; ++i) {
        contents.push_back(i % 17 == 0 ? RandomBytes(300000, i) : "file " + std::to_string(i));
        WriteFile("c/Data/f" + std::to_string(i), contents.back());
    }
    std::vector<int> counters;
    std::vector<std::string> copied;
    {
        TCopyWorkers workers(Settings, 3, nullptr);
        int counter = 0;
        auto takeReady = [&](bool wait) {
            while (auto item = workers.TakeFirst(wait)) {
                counters.push_back(item->Counter);
                if (item->Kind == TCopyItem::ikCopy) {
                    EXPECT_EQ(item->Error, 0) << item->SourceName;
                    copied.push_back(ContentOf(item->WorkFile));
                    fs::remove(Host("e/Vaultaire/" + NameOf(item->WorkFile)));
                }
                wait = wait && !workers.Empty();
            }
        };
        for (int i = 0; i < 120; ++i) {
            workers.Add(Item(TCopyItem::ikCopy, ++counter, "C:\\Data\\f" + std::to_string(i)));
            if (i % 10 == 0)
                workers.Add(Item(TCopyItem::ikPassedOver, ++counter, "C:\\Data\\other"));
            takeReady(false);
        }
        takeReady(true);
        EXPECT_TRUE(workers.Empty());
    }
    std::vector<int> inOrder(counters.size());
    std::iota(inOrder.begin(), inOrder.end(), 1);
    EXPECT_EQ(counters, inOrder);
    EXPECT_EQ(copied, contents);
}

TEST_F(CopyWorkers, FilesThatGoAwayOrCannotBeCopiedLeaveNoWorkFile) {
    WriteFile("c/Data/here.txt", "here");
    fs::create_directories(Host("c/Data/folder.txt"));
    TCopyItem gone, folder, here;
    gone.SourceName = "C:\\Data\\gone.txt";
    folder.SourceName = "C:\\Data\\folder.txt";
    here.SourceName = "C:\\Data\\here.txt";

    for (TCopyItem* item : {&gone, &folder, &here})
        CopyIntoWorkFile(*item, Settings, nullptr);

    EXPECT_TRUE(gone.Vanished) << "a file gone since the walk is passed over, not failed";
    EXPECT_EQ(gone.Error, 0);
    EXPECT_FALSE(folder.Vanished);
    EXPECT_NE(folder.Error, 0) << "a folder in a file's place fails the file";
    EXPECT_TRUE(folder.WorkFile.empty());
    ASSERT_EQ(here.Error, 0);
    EXPECT_EQ(here.SourceSize, 4);
    EXPECT_EQ(FilesBelow("e/Vaultaire"), std::set<std::string>{NameOf(here.WorkFile)});
}

TEST_F(CopyWorkers, AStopEndsTheCopiesUnderWayAndTheWorkFilesOfUntakenItemsGo) {
    const int files = 12;  // fewer than the workers take on before Add waits
    for (int i = 0; i < files; ++i)
        WriteFile("c/Data/f" + std::to_string(i), RandomBytes(3000000, i));
    std::atomic<bool> stop{false};
    int stopped = 0;
    {
        TCopyWorkers workers(Settings, 2, [&] { return stop.load(); });
        for (int i = 0; i < files; ++i)
            workers.Add(Item(TCopyItem::ikCopy, i + 1, "C:\\Data\\f" + std::to_string(i)));
        auto first = workers.TakeFirst(true);
        ASSERT_TRUE(first);
        fs::remove(Host("e/Vaultaire/" + NameOf(first->WorkFile)));
        stop = true;
        for (int i = 1; i < files / 2; ++i) {
            auto item = workers.TakeFirst(true);
            ASSERT_TRUE(item);
            if (item->Stopped) {
                ++stopped;
                EXPECT_TRUE(item->WorkFile.empty());
            } else {
                fs::remove(Host("e/Vaultaire/" + NameOf(item->WorkFile)));
            }
        }
        // The other items are never taken: their copies go with the workers.
    }
    EXPECT_GT(stopped, 0) << "copies after the stop were not stopped";
    EXPECT_TRUE(FilesBelow("e/Vaultaire").empty());
}

}  // namespace
