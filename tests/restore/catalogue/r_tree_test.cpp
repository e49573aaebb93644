#include <unistd.h>

#include <fstream>

#include "catalogue_fixture.h"
#include "platform/files.h"
#include "zstream.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> BatchNames(const std::vector<std::string>& batch) {
    std::vector<std::string> names;
    for (const std::string& path : batch)
        names.push_back(path.substr(path.find("Vaultaire") + 10));
    return names;
}

}  // namespace

TEST_F(TCatalogueTest, DrivesAreTheSingleLettersInLetterOrder) {
    fs::create_directories(RootHost() / "D");
    fs::create_directories(RootHost() / "C");
    fs::create_directories(RootHost() / "CC");
    fs::create_directories(RootHost() / "c");
    WriteTextFile(RootHost() / "E", "a file named E");
    Tree.SetLocation(Root);
    ASSERT_NE(Tree.Root(), nullptr);
    EXPECT_EQ(ChildNames(Tree.Root()), (std::vector<std::string>{"C", "D", "E"}));
    EXPECT_EQ(Tree.Root()->GetText(), "My Computer");
    EXPECT_EQ(Tree.Root()->FirstChild->GetText(), "(C)");
    EXPECT_EQ(Tree.Root()->FirstChild->GetKind(), nkDrive);
    EXPECT_EQ(Tree.Root()->FirstChild->GetPath(), "E:\\Vaultaire\\C");
    EXPECT_FALSE(Tree.LoadChildren(Child(Tree.Root(), "E"))) << "a file has no folder to read";
}

TEST_F(TCatalogueTest, TwoVersionsShowAsOneFileAndTheNewerIsRestored) {
    std::string older = Backup("Data\\report.doc", "old", 2, 60);
    std::string newer = Backup("Data\\report.doc", "new", 1, 0);
    Tree.SetLocation(Root);
    TRestoreNode* data = Open(Open(Tree.Root(), "C"), "Data");
    ASSERT_NE(data, nullptr);
    ASSERT_TRUE(Tree.LoadChildren(data));
    std::vector<std::string> texts;
    for (TRestoreNode* child = data->FirstChild; child; child = child->NextSibling) {
        texts.push_back(child->GetText());
        EXPECT_EQ(child->GetKind(), nkFile);
        EXPECT_EQ(child->GetSize(), 3);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"report.doc", "report.doc"}));

    data->SetCheck(ctCheck);
    EXPECT_EQ(Tree.CountSelected(), 1);
    std::vector<std::string> batch;
    TDirStack folders;
    Tree.GetNextFiles(batch, folders, true);
    EXPECT_EQ(batch, std::vector<std::string>{newer});

    // Both versions checked one by one: still one file, the newer one.
    data->SetCheck(ctUncheck);
    for (TRestoreNode* child = data->FirstChild; child; child = child->NextSibling)
        child->SetCheck(ctCheck);
    EXPECT_EQ(data->CheckState, csChecked);
    EXPECT_EQ(Tree.CountSelected(), 1);
    Tree.GetNextFiles(batch, folders, true);
    EXPECT_EQ(batch, std::vector<std::string>{newer});
    EXPECT_TRUE(IsNewer(newer, older));
    EXPECT_FALSE(IsNewer(older, newer));
}

// Backups less than two seconds apart give copies of one time: their numbers tell.
TEST_F(TCatalogueTest, VersionsOfEqualTimeAreToldApartByTheirNumbers) {
    Backup("Data\\same.txt", "two", 2, 5);
    Backup("Data\\same.txt", "one", 1, 5);
    WriteTextFile(RootHost() / "C/Data/same.txt.old", "no number");
    WriteTextFile(RootHost() / "C/Data/same.txt.new", "no number");
    for (const char* name : {"same.txt.VL001", "same.txt.VL002", "same.txt.old", "same.txt.new"})
        fs::last_write_time(RootHost() / "C/Data" / name,
                            fs::last_write_time(RootHost() / "C/Data"));
    Tree.SetLocation(Root);
    TRestoreNode* data = Open(Open(Tree.Root(), "C"), "Data");
    Tree.LoadChildren(data);
    std::string firstUnnumbered;
    for (TRestoreNode* child = data->FirstChild; child && firstUnnumbered.empty();
         child = child->NextSibling) {
        if (child->Name == "same.txt.old" || child->Name == "same.txt.new")
            firstUnnumbered = child->GetPath();
    }
    data->SetCheck(ctCheck);
    std::vector<std::string> batch;
    TDirStack folders;
    Tree.GetNextFiles(batch, folders, true);
    std::sort(batch.begin(), batch.end());
    EXPECT_EQ(batch,
              (std::vector<std::string>{"E:\\Vaultaire\\C\\Data\\same.txt.VL001", firstUnnumbered}))
        << "of two unnumbered copies of one time the first found stays";
}

TEST_F(TCatalogueTest, VersionHelpersFollowTheirRules) {
    std::vector<std::string> list{"X:\\a.txt.VL001", "X:\\b.txt.VL001"};
    EXPECT_EQ(FindVersion("X:\\b.txt.VL007", list), 1);
    EXPECT_EQ(FindVersion("X:\\B.txt.VL007", list), -1) << "letter case counts";
    EXPECT_EQ(FindVersion("X:\\c.txt.VL001", list), -1);
    EXPECT_TRUE(AddVersion("X:\\c.txt.VL001", list, true));
    EXPECT_EQ(list.size(), 3u);
    EXPECT_FALSE(AddVersion("X:\\a.txt.VL002", list, false));
    EXPECT_EQ(list[0], "X:\\a.txt.VL001");
}

TEST_F(TCatalogueTest, NamesOfSixCharactersOrFewerHaveNoText) {
    Backup("Data\\keep.me", "x");
    WriteTextFile(RootHost() / "C/Data/ab.txt", "not an archive");
    WriteTextFile(RootHost() / "C/Data/a.txt", "not an archive");
    Tree.SetLocation(Root);
    TRestoreNode* data = Open(Open(Tree.Root(), "C"), "Data");
    Tree.LoadChildren(data);
    EXPECT_EQ(Child(data, "ab.txt")->GetText(), "");
    EXPECT_EQ(Child(data, "a.txt")->GetText(), "");
    EXPECT_EQ(Child(data, "keep.me.VL001")->GetText(), "keep.me");
    EXPECT_EQ(static_cast<TRestoreFileNode*>(Child(data, "keep.me.VL001"))->VersionNumber(), 1);
}

TEST_F(TCatalogueTest, AnUnreadableHeaderGivesSizeZeroAndTheDamagedMark) {
    Backup("Data\\good.txt", "twelve bytes");
    WriteTextFile(RootHost() / "C/Data/bad.txt.VL001", "not an archive at all");
    Tree.SetLocation(Root);
    TRestoreNode* data = Open(Open(Tree.Root(), "C"), "Data");
    Tree.LoadChildren(data);
    auto* good = static_cast<TRestoreFileNode*>(Child(data, "good.txt.VL001"));
    auto* bad = static_cast<TRestoreFileNode*>(Child(data, "bad.txt.VL001"));
    ASSERT_TRUE(good && bad);
    EXPECT_FALSE(good->Damaged);
    EXPECT_EQ(good->GetSize(), 12);
    EXPECT_EQ(good->OriginalPath, "C:\\Data\\good.txt");
    EXPECT_TRUE(bad->Damaged);
    EXPECT_EQ(bad->GetSize(), 0);
}

TEST_F(TCatalogueTest, WorkFilesBesideCopiesAreNoCopies) {
    Backup("Data\\a.txt", "a");
    WriteTextFile(RootHost() / "C/Data/.VLR4711-a8Zk2p", "half a restore");
    WriteTextFile(RootHost() / "C/Data/.VLA4711-b8Zk2p", "half an archive");
    Tree.SetLocation(Root);
    TRestoreNode* data = Open(Open(Tree.Root(), "C"), "Data");
    Tree.LoadChildren(data);
    EXPECT_EQ(ChildNames(data), std::vector<std::string>{"a.txt.VL001"});
    Open(Tree.Root(), "C")->SetCheck(ctCheck);
    EXPECT_EQ(Tree.CountSelected(), 1);
}

TEST_F(TCatalogueTest, ChecksPropagateBothWays) {
    Backup("Data\\a.txt", "a");
    Backup("Data\\b.txt", "b");
    Backup("Data\\c.txt", "c");
    Tree.SetLocation(Root);
    TRestoreNode* drive = Open(Tree.Root(), "C");
    TRestoreNode* data = Open(drive, "Data");
    Tree.LoadChildren(data);
    TRestoreNode* a = Child(data, "a.txt.VL001");

    a->SetCheck(ctCheck);
    EXPECT_EQ(data->CheckState, csPartial);
    EXPECT_EQ(drive->CheckState, csPartial);
    EXPECT_EQ(Tree.Root()->CheckState, csPartial);

    Child(data, "b.txt.VL001")->SetCheck(ctCheck);
    Child(data, "c.txt.VL001")->SetCheck(ctToggle);
    EXPECT_EQ(data->CheckState, csChecked);
    EXPECT_EQ(drive->CheckState, csChecked);
    EXPECT_EQ(Tree.Root()->CheckState, csChecked);

    data->SetCheck(ctUncheck);
    for (TRestoreNode* child = data->FirstChild; child; child = child->NextSibling)
        EXPECT_EQ(child->CheckState, csUnchecked);
    EXPECT_EQ(Tree.Root()->CheckState, csUnchecked);

    a->SetCheck(ctCheck);
    data->SetCheck(ctToggle);  // partial: unchecks everything below
    EXPECT_EQ(data->CheckState, csUnchecked);
    EXPECT_EQ(a->CheckState, csUnchecked);
    EXPECT_EQ(Tree.Root()->CheckState, csUnchecked);
}

TEST_F(TCatalogueTest, ChildrenLoadedLaterTakeTheCheckOfTheirFolder) {
    Backup("Data\\a.txt", "a");
    Tree.SetLocation(Root);
    TRestoreNode* drive = Child(Tree.Root(), "C");
    drive->SetCheck(ctCheck);
    TRestoreNode* data = Open(drive, "Data");
    EXPECT_EQ(data->CheckState, csChecked);
    Tree.LoadChildren(data);
    EXPECT_EQ(data->FirstChild->CheckState, csChecked);
}

TEST_F(TCatalogueTest, ACheckedFolderNeverLoadedIsRestoredFromTheDisk) {
    Backup("Data\\a.txt", "a");
    Backup("Data\\Sub\\b.txt", "b", 1, 10);
    Backup("Data\\Sub\\b.txt", "b0", 2, 20);
    Tree.SetLocation(Root);
    TRestoreNode* drive = Child(Tree.Root(), "C");
    drive->SetCheck(ctCheck);
    EXPECT_EQ(drive->FirstChild, nullptr);
    EXPECT_EQ(Tree.CountSelected(), 2);
    EXPECT_EQ(Tree.CountFolderFiles(drive), 2);
    std::vector<std::string> batch;
    TDirStack folders;
    std::vector<std::vector<std::string>> batches;
    for (Tree.GetNextFiles(batch, folders, true); !batch.empty();
         Tree.GetNextFiles(batch, folders, false)) {
        batches.push_back(BatchNames(batch));
    }
    EXPECT_EQ(batches, (std::vector<std::vector<std::string>>{{"C\\Data\\a.txt.VL001"},
                                                              {"C\\Data\\Sub\\b.txt.VL001"}}));
}

TEST_F(TCatalogueTest, BatchesComeCheckedFilesFirstThenFoldersBreadthFirst) {
    // Only sub-folders in Top: it gives no batch of its own.
    Backup("Top\\One\\Deep\\d.txt", "d");
    Backup("Top\\One\\o.txt", "o");
    Backup("Top\\Two\\t.txt", "t");
    Backup("Loose\\l.txt", "l");
    Backup("Loose\\m.txt", "m");
    Tree.SetLocation(Root);
    TRestoreNode* drive = Open(Tree.Root(), "C");
    Open(drive, "Top")->SetCheck(ctCheck);
    TRestoreNode* loose = Open(drive, "Loose");
    Tree.LoadChildren(loose);
    Child(loose, "m.txt.VL001")->SetCheck(ctCheck);
    EXPECT_EQ(Tree.CountSelected(), 4);

    std::vector<std::string> batch;
    TDirStack folders;
    std::vector<std::vector<std::string>> batches;
    for (Tree.GetNextFiles(batch, folders, true); !batch.empty();
         Tree.GetNextFiles(batch, folders, false)) {
        auto names = BatchNames(batch);
        std::sort(names.begin(), names.end());
        batches.push_back(names);
    }
    ASSERT_EQ(batches.size(), 4u);
    EXPECT_EQ(batches[0], std::vector<std::string>{"C\\Loose\\m.txt.VL001"});
    // One and Two are at the same depth, in the folder's order; Deep comes after both.
    std::vector<std::string> second{batches[1][0], batches[2][0]};
    std::sort(second.begin(), second.end());
    EXPECT_EQ(second,
              (std::vector<std::string>{"C\\Top\\One\\o.txt.VL001", "C\\Top\\Two\\t.txt.VL001"}));
    EXPECT_EQ(batches[3], std::vector<std::string>{"C\\Top\\One\\Deep\\d.txt.VL001"});
}

TEST_F(TCatalogueTest, AnEmptyFolderIsReadEveryTimeItIsOpened) {
    fs::create_directories(RootHost() / "C/Empty");
    Tree.SetLocation(Root);
    TRestoreNode* empty = Open(Open(Tree.Root(), "C"), "Empty");
    ASSERT_NE(empty, nullptr);
    EXPECT_FALSE(empty->HasSubFolders());
    EXPECT_FALSE(Tree.LoadChildren(empty));
    Backup("Empty\\now.txt", "n");
    EXPECT_TRUE(Tree.LoadChildren(empty)) << "read again";
    EXPECT_FALSE(empty->HasSubFolders()) << "files do not count";
}

TEST_F(TCatalogueTest, VanishedFoldersAreFoundAndRemoved) {
    Backup("Gone\\g.txt", "g");
    Tree.SetLocation(Root);
    TRestoreNode* drive = Open(Tree.Root(), "C");
    EXPECT_TRUE(drive->HasSubFolders()) << "from the disk";
    Tree.LoadChildren(drive);
    EXPECT_TRUE(drive->HasSubFolders()) << "from the children";
    TRestoreNode* gone = Child(drive, "Gone");
    EXPECT_TRUE(Tree.NodeExists(gone));
    fs::remove_all(RootHost() / "C/Gone");
    EXPECT_FALSE(Tree.NodeExists(gone));
    EXPECT_FALSE(Tree.RemoveNode(drive)) << "only folders are removed";
    EXPECT_TRUE(Tree.RemoveNode(gone));
    EXPECT_EQ(drive->FirstChild, nullptr);
    EXPECT_FALSE(Tree.RemoveNode(nullptr));
}

TEST_F(TCatalogueTest, ScansLeaveTheCurrentFolderAlone) {
    Backup("Data\\a.txt", "a");
    const fs::path before = fs::current_path();
    Tree.SetLocation(Root);
    TRestoreNode* drive = Open(Tree.Root(), "C");
    drive->HasSubFolders();
    Tree.LoadChildren(Child(drive, "Data"));
    drive->SetCheck(ctCheck);
    Tree.CountSelected();
    EXPECT_EQ(fs::current_path(), before);
}

TEST_F(TCatalogueTest, AVersionFilterPicksOneVersionOfEachFile) {
    Backup("Data\\a.txt", "a1", 1, 0);
    Backup("Data\\a.txt", "a2", 2, 10);
    Backup("Data\\b.txt", "b1", 1, 0);
    Tree.SetLocation(Root);
    Child(Tree.Root(), "C")->SetCheck(ctCheck);
    Tree.SetVersionFilter(2);
    EXPECT_EQ(Tree.CountSelected(), 1);
    std::vector<std::string> batch;
    TDirStack folders;
    Tree.GetNextFiles(batch, folders, true);
    EXPECT_EQ(BatchNames(batch), std::vector<std::string>{"C\\Data\\a.txt.VL002"});
}

TEST(TDirStackTest, IsFirstInFirstOut) {
    TDirStack stack;
    stack.Push("a");
    stack.Push("b");
    EXPECT_EQ(stack.Count(), 2);
    EXPECT_EQ(stack.Pop(), "a");
    EXPECT_EQ(stack.Pop(), "b");
    EXPECT_TRUE(stack.Empty());
    EXPECT_EQ(stack.Pop(), "");
}
