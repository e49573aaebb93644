#include "ct_views.h"

#include <gtest/gtest.h>

#include <QHBoxLayout>
#include <QTest>
#include <QWidget>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/drivemap.h"
#include "qtenvironment.h"
#include "testenv.h"

namespace fs = std::filesystem;
using TPaths = std::vector<std::string>;

namespace {

// A folder tree and its file list side by side, over drives of their own: C: and D: are
// fixed, E: a removable drive without a medium, F: a network drive. C: holds
//   Data\A\a.txt, Data\B\b.txt, Data\B\Deep\deep.txt, Data\two.bin (2048 bytes),
//   Data\empty.txt, Data\x.swp, Photos\2023\p.jpg, Photos\2024\q.jpg and the empty
//   folder Empty,
// and D: holds Music\song.mp3.
class TCheckedTreeTest : public testing::Test {
  protected:
    void SetUp() override {
        TQtEnvironment::App();
        WriteTextFile(Host("C:\\Data\\A\\a.txt"), "a");
        WriteTextFile(Host("C:\\Data\\B\\Deep\\deep.txt"), "deep");
        WriteTextFile(Host("C:\\Data\\B\\b.txt"), "b");
        WriteTextFile(Host("C:\\Photos\\2023\\p.jpg"), "p");
        WriteTextFile(Host("C:\\Photos\\2024\\q.jpg"), "q");
        WriteTextFile(Host("C:\\Data\\two.bin"), std::string(2048, 'x'));
        WriteTextFile(Host("C:\\Data\\empty.txt"), "");
        WriteTextFile(Host("C:\\Data\\x.swp"), "swap");
        fs::create_directories(Host("C:\\Empty"));
        WriteTextFile(Host("D:\\Music\\song.mp3"), "la");
        fs::create_directories(Dir.Path() / "f");
        UseDriveMap("detect off\nC: fixed " + Dir / "c" + "\nD: fixed " + Dir / "d" +
                    "\nE: removable " + Dir / "no-medium" + " simulated\nF: remote " + Dir / "f" +
                    "\n");
    }
    void TearDown() override {
        unsetenv("VAULTAIRE_UNREADABLE_FOLDERS");
        Window.reset();
        UseDefaultTestDriveMap();
    }

    // The host path of a path on C: or D:.
    fs::path Host(const std::string& drivePath) const {
        std::string rest = drivePath.substr(3);
        for (char& c : rest)
            c = c == '\\' ? '/' : c;
        const std::string drive(1, static_cast<char>(std::tolower(drivePath[0])));
        return rest.empty() ? Dir.Path() / drive : Dir.Path() / drive / rest;
    }

    // Makes the tree (showing driveTypes) with its list beside it in a small window.
    TCheckedDirTreeView* MakeViews(TDriveTypes driveTypes = 0) {
        Window = std::make_unique<QWidget>();
        auto* layout = new QHBoxLayout(Window.get());
        Tree = new TCheckedDirTreeView(Window.get(), driveTypes);
        Tree->setObjectName("FolderTree");
        List = new TCheckedFileListView(Window.get());
        List->setObjectName("FileList");
        layout->addWidget(Tree);
        layout->addWidget(List);
        Tree->SetFileList(List);
        Window->resize(640, 400);
        Window->show();
        return Tree;
    }

    QTreeWidgetItem* Item(const QString& text) const { return Find(Tree, text); }
    static QTreeWidgetItem* Find(QTreeWidget* view, const QString& text) {
        for (QTreeWidgetItemIterator it(view); *it; ++it) {
            if ((*it)->text(0) == text)
                return *it;
        }
        return nullptr;
    }
    static int State(const QTreeWidgetItem* item) {
        return item ? item->data(0, StateImageRole).toInt() : -1;
    }
    // The drive item of letter ("Home (C:)", "(D:)", ...).
    QTreeWidgetItem* DriveItem(char letter) const {
        const QString tail = QStringLiteral("(%1:)").arg(QChar(letter));
        for (QTreeWidgetItemIterator it(Tree); *it; ++it) {
            if ((*it)->text(0).endsWith(tail))
                return *it;
        }
        return nullptr;
    }
    void Expand(QTreeWidgetItem* item) {
        ASSERT_NE(item, nullptr);
        item->setExpanded(true);
    }
    void Select(QTreeWidgetItem* item) {
        ASSERT_NE(item, nullptr);
        Tree->setCurrentItem(item);
    }
    void ClickState(QTreeWidget* view, QTreeWidgetItem* item) {
        ASSERT_NE(item, nullptr);
        view->scrollToItem(item);
        const QRect cell = view->visualItemRect(item);
        const QPoint box(cell.left() + 2 + 6, cell.center().y());
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, box);
    }
    // The folders of the tree's marks, in order of their names (the tree keeps the disk's).
    TPaths Folders(bool checkedOnly = true) const {
        TPaths folders = Tree->GetFolders(checkedOnly);
        std::sort(folders.begin(), folders.end());
        return folders;
    }
    QStringList ListedNames() const {
        QStringList names;
        for (int i = 0; i < List->topLevelItemCount(); ++i)
            names << List->topLevelItem(i)->text(0);
        return names;
    }

    TTempDir Dir;
    std::unique_ptr<QWidget> Window;
    TCheckedDirTreeView* Tree = nullptr;
    TCheckedFileListView* List = nullptr;
};

struct TRoundTrip {
    const char* Name;
    TPaths Sources;
    TPaths Folders;  // what GetFolders(true) gives back
};

TEST_F(TCheckedTreeTest, SourceListsComeBackAsTheSmallestSetOfFolders) {
    const TRoundTrip cases[] = {
        {"a drive checked whole", {"C:\\"}, {"C:\\"}},
        {"one folder", {"C:\\Data"}, {"C:\\Data"}},
        {"a folder partly checked",
         {"C:\\Data\\A", "C:\\Data\\B\\Deep"},
         {"C:\\Data\\A", "C:\\Data\\B\\Deep"}},
        {"a source inside another", {"C:\\Data", "C:\\Data\\A"}, {"C:\\Data"}},
        {"every sub-folder of a folder without files",
         {"C:\\Photos\\2023", "C:\\Photos\\2024"},
         {"C:\\Photos"}},
        {"two drives", {"D:\\Music", "C:\\Data\\A"}, {"C:\\Data\\A", "D:\\"}},
        {"a folder with a drive", {"C:\\Data\\B\\Deep", "C:\\"}, {"C:\\"}},
        {"nothing", {}, {}},
    };
    MakeViews();
    for (const TRoundTrip& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(Tree->BuildFromList(c.Sources), TPaths{});
        EXPECT_EQ(Folders(), c.Folders);
        // Shown again, the folders give themselves back.
        EXPECT_EQ(Tree->BuildFromList(Tree->GetFolders(true)), TPaths{});
        EXPECT_EQ(Folders(), c.Folders);
    }
}

TEST_F(TCheckedTreeTest, MarksShownFromAListAreThoseOfTheTree) {
    MakeViews();
    Tree->BuildFromList({"C:\\Data\\A"});
    EXPECT_EQ(State(Tree->RootItem()), siPartial);
    EXPECT_EQ(State(DriveItem('C')), siPartial);
    Expand(DriveItem('C'));
    Expand(Item("Data"));
    EXPECT_EQ(State(Item("Data")), siPartial);
    EXPECT_EQ(State(Item("A")), siChecked);
    EXPECT_EQ(State(Item("B")), siUnchecked);
    // Without checkedOnly every loaded drive and folder is named.
    EXPECT_EQ(Folders(false), (TPaths{"C:\\", "C:\\Data", "C:\\Data\\A", "C:\\Data\\B", "C:\\Empty",
                                      "C:\\Photos", "D:\\", "E:\\", "F:\\"}));
}

TEST_F(TCheckedTreeTest, SourcesThatCannotBeFoundAreReturnedAndLeftUnchecked) {
    MakeViews();
    const TPaths missing = {"C:\\Data\\Old", "Q:\\Nowhere", "C:\\Data\\two.bin", "C:"};
    EXPECT_EQ(Tree->BuildFromList(
                  {"C:\\Data\\Old", "Q:\\Nowhere", "C:\\Data\\two.bin", "C:", "C:\\Data\\A"}),
              missing);
    EXPECT_EQ(Folders(), TPaths{"C:\\Data\\A"});
    // C:\Data was read on the way to Old, and stays unchecked apart from A.
    TDirTreeNode* data = Tree->Model()->Drive('C')->FindChild("Data");
    ASSERT_NE(data, nullptr);
    EXPECT_NE(data->FirstChild, nullptr);
    EXPECT_EQ(data->CheckState, csPartial);
}

TEST_F(TCheckedTreeTest, DriveLetterOfASourceMatchesInEitherCase) {
    MakeViews();
    EXPECT_EQ(Tree->BuildFromList({"c:\\Data"}), TPaths{});
    EXPECT_EQ(Folders(), TPaths{"C:\\Data"});
}

TEST_F(TCheckedTreeTest, OnlyTheListModeChangesTheTree) {
    MakeViews();
    Tree->BuildFromList({"C:\\Data"});
    EXPECT_EQ(Tree->BuildFromList({"D:\\"}, 2), TPaths{});
    EXPECT_EQ(Folders(), TPaths{"C:\\Data"});
    Tree->Build();
    EXPECT_EQ(Folders(), TPaths{});
}

TEST_F(TCheckedTreeTest, FoldersAreReadOnlyWhenOpened) {
    MakeViews();
    Tree->Build();
    TDriveNode* c = Tree->Model()->Drive('C');
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->FirstChild, nullptr);
    ASSERT_NE(DriveItem('C'), nullptr);
    EXPECT_EQ(DriveItem('C')->childCount(), 1) << "a placeholder gives the drive its button";
    Expand(DriveItem('C'));
    ASSERT_NE(Item("Data"), nullptr);
    EXPECT_EQ(Item("Data")->childCount(), 1);
    EXPECT_EQ(c->FindChild("Data")->FirstChild, nullptr);
    // A folder without sub-folders has no button.
    EXPECT_EQ(Item("Empty")->childCount(), 0);

    // A folder never opened lists no files; opened and selected again, it does.
    Select(Item("Data"));
    EXPECT_TRUE(ListedNames().isEmpty());
    Expand(Item("Data"));
    Select(Item("Empty"));
    Select(Item("Data"));
    EXPECT_EQ(ListedNames(), (QStringList{"empty.txt", "two.bin", "x.swp"}));
    // Folders come before nothing else and in order of their names.
    EXPECT_EQ(Item("Data")->child(0)->text(0), "A");
    EXPECT_EQ(Item("Data")->child(1)->text(0), "B");
}

TEST_F(TCheckedTreeTest, MarksSpreadDownToLoadedAndLaterLoadedFoldersAndUpToTheRoot) {
    MakeViews();
    Tree->Build();
    ClickState(Tree, DriveItem('C'));
    EXPECT_EQ(State(DriveItem('C')), siChecked);
    EXPECT_EQ(State(Tree->RootItem()), siPartial) << "D: is unchecked";
    // Folders read after the check take their drive's mark.
    Expand(DriveItem('C'));
    Expand(Item("Data"));
    EXPECT_EQ(State(Item("A")), siChecked);
    Select(Item("Data"));
    QTreeWidgetItem* two = Find(List, "two.bin");
    ClickState(List, two);
    EXPECT_EQ(State(two), siUnchecked);
    EXPECT_EQ(State(Item("Data")), siPartial);
    EXPECT_EQ(State(DriveItem('C')), siPartial);
    EXPECT_EQ(Folders(), (TPaths{"C:\\Data\\A", "C:\\Data\\B", "C:\\Empty", "C:\\Photos"}));
    // Ticking the only unchecked file again makes the folder and its drive whole.
    ClickState(List, Find(List, "two.bin"));
    EXPECT_EQ(State(Item("Data")), siChecked);
    EXPECT_EQ(State(DriveItem('C')), siChecked);
    // The space bar toggles the selected folder.
    Tree->setFocus();
    QTest::keyClick(Tree, Qt::Key_Space);
    EXPECT_EQ(State(Item("Data")), siUnchecked);
    EXPECT_EQ(State(Find(List, "empty.txt")), siUnchecked);
    EXPECT_EQ(State(DriveItem('C')), siPartial);
    // The swap file shows no box, though its node follows the folder.
    EXPECT_EQ(State(Find(List, "x.swp")), siBlank);
}

TEST_F(TCheckedTreeTest, ChecksOfAWholeDriveTouchNothingUnread) {
    MakeViews();
    Tree->Build();
    TDriveNode* c = Tree->Model()->Drive('C');
    ClickState(Tree, DriveItem('C'));
    ClickState(Tree, DriveItem('C'));
    EXPECT_EQ(c->FirstChild, nullptr);
    EXPECT_EQ(State(DriveItem('C')), siUnchecked);
    EXPECT_EQ(State(Tree->RootItem()), siUnchecked);
}

TEST_F(TCheckedTreeTest, DrivesShownAreThoseOfTheKindsAskedFor) {
    MakeViews();
    Tree->Build();
    EXPECT_NE(DriveItem('C'), nullptr);
    EXPECT_EQ(DriveItem('E'), nullptr);
    EXPECT_EQ(DriveItem('F'), nullptr);

    MakeViews(DriveTypeBit(DRIVE_REMOVABLE) | DriveTypeBit(DRIVE_FIXED) |
              DriveTypeBit(DRIVE_REMOTE));
    Tree->Build();
    ASSERT_NE(DriveItem('E'), nullptr);
    EXPECT_NE(DriveItem('F'), nullptr);
    // The removable drive has a button without its medium being read; opening it without
    // a medium opens nothing and fails nothing.
    EXPECT_EQ(DriveItem('E')->childCount(), 1);
    EXPECT_EQ(Tree->Model()->Drive('E')->ReadError, 0);
    Expand(DriveItem('E'));
    EXPECT_FALSE(DriveItem('E')->isExpanded());
    EXPECT_EQ(DriveItem('E')->childCount(), 0);
    // An empty network drive has no sub-folder, so no button.
    EXPECT_EQ(DriveItem('F')->childCount(), 0);
    // A source on a drive that is not shown stays in the list.
    MakeViews();
    EXPECT_EQ(Tree->BuildFromList({"F:\\"}), TPaths{});
    EXPECT_EQ(Folders(), TPaths{"F:\\"});
}

TEST_F(TCheckedTreeTest, AnUnreadableFolderIsShownAsSuchAndKeptAsASource) {
    setenv("VAULTAIRE_UNREADABLE_FOLDERS", Host("C:\\Data\\B").c_str(), 1);
    MakeViews();
    EXPECT_EQ(Tree->BuildFromList({"C:\\Data\\B", "C:\\Data\\B\\Deep"}),
              TPaths{"C:\\Data\\B\\Deep"});
    Expand(DriveItem('C'));
    Expand(Item("Data"));
    QTreeWidgetItem* b = Item("B");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(State(b), siChecked);
    EXPECT_TRUE(b->toolTip(0).startsWith("This folder cannot be read"))
        << b->toolTip(0).toStdString();
    EXPECT_EQ(b->childCount(), 0);
    Expand(b);
    Select(b);
    EXPECT_TRUE(ListedNames().isEmpty());
    EXPECT_EQ(Folders(), TPaths{"C:\\Data\\B"});
    EXPECT_TRUE(Item("A")->toolTip(0).isEmpty());
}

TEST_F(TCheckedTreeTest, AFolderThatVanishedIsShownAsSuchOrLeavesTheTree) {
    MakeViews();
    Tree->Build();
    Expand(DriveItem('C'));
    Expand(Item("Data"));
    Select(Item("Data"));
    fs::remove_all(Host("C:\\Data\\B"));
    // Without live update the disk is not looked at again until the folder is opened.
    Expand(Item("B"));
    ASSERT_NE(Item("B"), nullptr);
    EXPECT_FALSE(Item("B")->isExpanded());
    EXPECT_EQ(Item("B")->toolTip(0), "This folder is no longer there.");
    EXPECT_EQ(Item("B")->childCount(), 0);

    // With live update, selecting a vanished folder removes it and keeps the selection.
    Tree->SetLiveUpdate(true);
    fs::remove_all(Host("C:\\Data\\A"));
    Select(Item("A"));
    QTest::qWait(0);
    QCoreApplication::processEvents();
    EXPECT_EQ(Item("A"), nullptr);
    EXPECT_EQ(Tree->currentItem(), Item("Data"));
    EXPECT_EQ(ListedNames(), (QStringList{"empty.txt", "two.bin", "x.swp"}));
    EXPECT_EQ(Tree->Model()->Drive('C')->FindChild("Data")->FindChild("A"), nullptr);
}

TEST_F(TCheckedTreeTest, FileListShowsSizesInKilobytesInTwoColumns) {
    MakeViews();
    Tree->BuildFromList({"C:\\Data"});
    Expand(DriveItem('C'));
    Expand(Item("Data"));
    Select(Item("Data"));
    ASSERT_EQ(List->columnCount(), 2);
    EXPECT_EQ(List->headerItem()->text(0), "Name");
    EXPECT_EQ(List->headerItem()->text(1), "Size");
    EXPECT_EQ(Find(List, "two.bin")->text(1), "2KB");
    EXPECT_EQ(Find(List, "empty.txt")->text(1), "0KB");
    EXPECT_EQ(State(Find(List, "two.bin")), siChecked);
    EXPECT_TRUE(List->AutoSizeColumns());
    EXPECT_EQ(List->columnWidth(0), List->viewport()->width() * 3 / 4);
}

TEST_F(TCheckedTreeTest, ListLetsGoOfNodesWhenTheTreeIsRebuilt) {
    MakeViews();
    Tree->BuildFromList({"C:\\Data"});
    Expand(DriveItem('C'));
    Expand(Item("Data"));
    Select(Item("Data"));
    ASSERT_GT(List->topLevelItemCount(), 0);
    Tree->Build();
    EXPECT_EQ(List->topLevelItemCount(), 0);
}

}  // namespace
