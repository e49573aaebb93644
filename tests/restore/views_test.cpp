#include <gtest/gtest.h>

#include <QCheckBox>
#include <QTest>

#include "restorefixture.h"

namespace fs = std::filesystem;

namespace {

// A DOS date-time on 7 March 2024 at hour:05.
int32_t At(int hour) {
    return ((2024 - 1980) << 25) | (3 << 21) | (7 << 16) | (hour << 11) | (5 << 5);
}

class Views_ : public TRestoreFixture {
  protected:
    QTreeWidget* Tree() const { return Child<QTreeWidget>("TreeView"); }
    QTreeWidget* List() const { return Child<QTreeWidget>("FileList"); }
    void Select(const QString& text) {
        QTreeWidgetItem* item = Find(Tree(), text);
        ASSERT_NE(item, nullptr) << text.toStdString();
        Tree()->setCurrentItem(item);
    }
    // The texts of one column of the list, in order.
    std::vector<std::string> ListColumn(int column) const {
        std::vector<std::string> texts;
        for (int i = 0; i < List()->topLevelItemCount(); ++i)
            texts.push_back(List()->topLevelItem(i)->text(column).toStdString());
        return texts;
    }
    // Whether item shows a placeholder child: an expand button whose folders are not read.
    static bool HasPlaceholder(QTreeWidgetItem* item) {
        return item->childCount() == 1 && item->child(0)->text(0).isEmpty();
    }
};

TEST_F(Views_, FoldersAreReadWhenOpenedAndShowButtonsOnlyWithSubFolders) {
    Backup("C:\\Deep\\Inner\\a.txt", "a", 1);
    Backup("C:\\Flat\\b.txt", "b", 1);
    OpenFilesPage();
    QTreeWidgetItem* drive = Find(Tree(), "(C)");
    ASSERT_NE(drive, nullptr);
    EXPECT_TRUE(HasPlaceholder(drive)) << "an expand button before the drive is read";

    Expand(drive);
    ASSERT_EQ(drive->childCount(), 2);
    EXPECT_EQ(drive->child(0)->text(0), "Deep");
    EXPECT_EQ(drive->child(1)->text(0), "Flat");
    EXPECT_TRUE(HasPlaceholder(drive->child(0))) << "sub-folders on disk only";
    EXPECT_EQ(drive->child(1)->childCount(), 0) << "files alone give no button";

    Expand(Find(Tree(), "Deep"));
    ASSERT_NE(Find(Tree(), "Inner"), nullptr);
    EXPECT_EQ(Find(Tree(), "a.txt"), nullptr) << "files are listed, not put in the tree";
}

TEST_F(Views_, FoldersAreInAlphabeticalOrderWithoutRegardToCase) {
    for (const char* name : {"cherry", "Banana", "apple", "Date"})
        Backup(std::string("C:\\Fruit\\") + name + "\\f.txt", "f", 1);
    OpenFilesPage();
    Expand(Find(Tree(), "(C)"));
    QTreeWidgetItem* fruit = Find(Tree(), "Fruit");
    Expand(fruit);
    std::vector<std::string> order;
    for (int i = 0; i < fruit->childCount(); ++i)
        order.push_back(fruit->child(i)->text(0).toStdString());
    EXPECT_EQ(order, (std::vector<std::string>{"apple", "Banana", "cherry", "Date"}));
}

TEST_F(Views_, CheckMarksPropagateBothWaysAndSurviveCollapsing) {
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
        Backup(std::string("C:\\Data\\") + name, name, 1);
    OpenFilesPage();
    Expand(Find(Tree(), "(C)"));
    Select("Data");
    ASSERT_EQ(ListColumn(0), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));

    ClickState(List(), List()->topLevelItem(0));
    EXPECT_EQ(State(List()->topLevelItem(0)), StateChecked);
    EXPECT_EQ(State(Find(Tree(), "Data")), StatePartial);
    EXPECT_EQ(State(Find(Tree(), "(C)")), StatePartial);
    EXPECT_EQ(State(Find(Tree(), "My Computer")), StatePartial);

    ClickState(List(), List()->topLevelItem(1));
    List()->setCurrentItem(List()->topLevelItem(2));
    QTest::keyClick(List(), Qt::Key_Space);
    EXPECT_EQ(State(Find(Tree(), "Data")), StateChecked);
    EXPECT_EQ(State(Find(Tree(), "My Computer")), StateChecked);

    Find(Tree(), "(C)")->setExpanded(false);
    Expand(Find(Tree(), "(C)"));
    EXPECT_EQ(State(Find(Tree(), "Data")), StateChecked) << "reopened, the marks are kept";

    Tree()->setCurrentItem(Find(Tree(), "(C)"));
    QTest::keyClick(Tree(), Qt::Key_Space);
    EXPECT_EQ(State(Find(Tree(), "Data")), StateUnchecked) << "toggling a checked drive";
    Select("Data");
    for (int i = 0; i < List()->topLevelItemCount(); ++i)
        EXPECT_EQ(State(List()->topLevelItem(i)), StateUnchecked);
    EXPECT_EQ(State(Find(Tree(), "My Computer")), StateUnchecked);
}

TEST_F(Views_, TheListShowsTheNewestVersionOrAllOfThem) {
    Backup("C:\\Docs\\report.doc", "older", 2, 0, At(9));
    Backup("C:\\Docs\\report.doc", "newer", 1, 0, At(14));
    OpenFilesPage();
    Expand(Find(Tree(), "(C)"));
    Select("Docs");
    ASSERT_EQ(ListColumn(0), std::vector<std::string>{"report.doc"});
    EXPECT_EQ(ListColumn(2), std::vector<std::string>{"3/7/24 2:05 PM"});

    Child<QCheckBox>("AllVersions")->click();
    EXPECT_EQ(ListColumn(0), (std::vector<std::string>{"report.doc", "report.doc"}));

    // A box clicked in the list leaves the folder partial, shown versions or hidden alike.
    ClickState(List(), List()->topLevelItem(0));
    EXPECT_EQ(State(Find(Tree(), "Docs")), StatePartial);
    Child<QCheckBox>("AllVersions")->click();
    EXPECT_EQ(State(Find(Tree(), "Docs")), StatePartial);
}

TEST_F(Views_, SizesAreWholeKilobytesWithSeparators) {
    Backup("C:\\Sizes\\empty.bin", "", 1);
    Backup("C:\\Sizes\\small.bin", std::string(1500, 'x'), 1);
    Backup("C:\\Sizes\\large.bin", std::string(5 << 20, 'y'), 1);
    OpenFilesPage();
    Expand(Find(Tree(), "(C)"));
    Select("Sizes");
    ASSERT_EQ(ListColumn(0), (std::vector<std::string>{"empty.bin", "large.bin", "small.bin"}));
    EXPECT_EQ(ListColumn(1), (std::vector<std::string>{"0KB", "5,120KB", "1KB"}));
}

TEST_F(Views_, SwapFilesShowNoCheckBoxAfterAChange) {
    Backup("C:\\Work\\notes.txt", "n", 1);
    Backup("C:\\Work\\edit.SWP", "s", 1);
    OpenFilesPage();
    Expand(Find(Tree(), "(C)"));
    Select("Work");
    ClickState(Tree(), Find(Tree(), "Work"));
    QTreeWidgetItem* swap = Find(List(), "edit.SWP");
    ASSERT_NE(swap, nullptr);
    EXPECT_EQ(State(swap), StateNone);
    EXPECT_EQ(State(Find(List(), "notes.txt")), StateChecked);
}

TEST_F(Views_, AFolderThatVanishedLeavesTheTreeAndTheSelectionStays) {
    Backup("C:\\Keep\\a.txt", "a", 1);
    Backup("C:\\Gone\\b.txt", "b", 1);
    Backup("C:\\Keep\\Sub\\c.txt", "c", 1);
    OpenFilesPage();
    Expand(Find(Tree(), "(C)"));
    Select("Keep");
    fs::remove_all(Dir.Path() / "d/Vaultaire/C/Gone");
    Select("Gone");
    EXPECT_TRUE(ServeEventsUntil([&] { return Find(Tree(), "Gone") == nullptr; }));
    ASSERT_NE(Tree()->currentItem(), nullptr);
    EXPECT_EQ(Tree()->currentItem()->text(0), "Keep");
    EXPECT_EQ(ListColumn(0), std::vector<std::string>{"a.txt"});

    // A folder that goes while its files are listed, opened again: it leaves the tree, and
    // the list lets go of its files.
    Expand(Find(Tree(), "Keep"));
    Select("Sub");
    ASSERT_EQ(ListColumn(0), std::vector<std::string>{"c.txt"});
    Find(Tree(), "Keep")->setExpanded(false);
    fs::remove_all(Dir.Path() / "d/Vaultaire/C/Keep");
    Expand(Find(Tree(), "Keep"));
    EXPECT_TRUE(ServeEventsUntil([&] { return Find(Tree(), "Keep") == nullptr; }));
    EXPECT_TRUE(ListColumn(0).empty()) << ListColumn(0).front();
}

}  // namespace
