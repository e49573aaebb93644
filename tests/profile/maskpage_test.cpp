// The include and exclude pages of the profile dialogs, placed on a small window of their
// own over a profile; the registered types come from a fixed list.
#include "maskpage.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>
#include <stdexcept>

#include "commatext.h"
#include "profile.h"
#include "profiledialogtest.h"
#include "profilemgr.h"
#include "qtenvironment.h"
#include "sandboxdata.h"
#include "scriptedinteraction.h"

namespace {

constexpr int MsgCannotExcludeAll = 761;
constexpr int MsgAllFilesAlreadyIncluded = 762;
constexpr int MsgMaskIsIncluded = 770;
constexpr int MsgMaskIsExcluded = 771;

std::vector<TFileType> SomeTypes() {
    // Unsorted, and with a backup type of its own, as a desktop may list them.
    return {{".txt", "plain text document"},
            {".doc", "Word document"},
            {".bak", "backup file"},
            {".html", "HTML document"},
            {".c", "C source code"}};
}

std::vector<std::string> SortedIgnoringCase(std::vector<std::string> list) {
    std::sort(list.begin(), list.end(), [](const std::string& a, const std::string& b) {
        return QString::compare(QString::fromStdString(a), QString::fromStdString(b),
                                Qt::CaseInsensitive) < 0;
    });
    return list;
}

std::vector<std::string> Column(const QTreeWidget* view, int column) {
    std::vector<std::string> texts;
    for (int row = 0; row < view->topLevelItemCount(); ++row)
        texts.push_back(view->topLevelItem(row)->text(column).toStdString());
    return texts;
}

// Both pages on a window of tabs, as the dialogs place them, editing a profile whose
// include list is .doc and whose exclude list is the default.
class MaskPage_ : public testing::Test {
  protected:
    void SetUp() override {
        TQtEnvironment::App();
        Previous = SetInteraction(&Script);
        Manager = std::make_unique<TProfileMgr>();
        Profile = std::make_unique<TProfile>();
        Profile->Masks.Includes = {".doc"};
        Profile->Modified = false;
        MakeWindow();
    }
    void MakeWindow() {
        Pages = nullptr;
        Window = std::make_unique<QWidget>();
        Tabs = new QTabWidget(Window.get());
        (new QVBoxLayout(Window.get()))->addWidget(Tabs);
        Window->resize(640, 420);
    }
    void TearDown() override {
        Window.reset();
        Profile.reset();
        Manager.reset();
        SetInteraction(Previous);
        ExpectAllAnswered(Script);
    }

    void Open(TMaskCaptions captions = TMaskCaptions::Editor) {
        Pages = new TMaskPages(captions, Window.get());
        Tabs->addTab(Pages->IncludePage(), "Include");
        Tabs->addTab(Pages->ExcludePage(), "Exclude");
        ASSERT_TRUE(Pages->BuildMaskLists(SomeTypes));
        Pages->SetProfile(Profile.get());
        Window->show();
        QCoreApplication::processEvents();
    }
    TMaskPage* Page(bool include) const {
        return include ? Pages->IncludePage() : Pages->ExcludePage();
    }
    void ShowPage(bool include) {
        Tabs->setCurrentWidget(Page(include));
        QCoreApplication::processEvents();
    }
    // The focus moves into widget as the user's click or Tab moves it.
    static void Enter(QWidget* widget) {
        QFocusEvent in(QEvent::FocusIn, Qt::MouseFocusReason);
        QApplication::sendEvent(widget, &in);
    }
    static void SelectType(TMaskPage* page, const std::string& extension) {
        QTreeWidget* view = page->Source();
        for (int row = 0; row < view->topLevelItemCount(); ++row)
            if (view->topLevelItem(row)->text(0).toStdString() == extension) {
                view->setCurrentItem(view->topLevelItem(row));
                return;
            }
        ADD_FAILURE() << "no registered type " << extension;
    }
    static void SelectMask(TMaskPage* page, const std::string& mask) {
        const int row = page->Masks()->RowOf(mask);
        ASSERT_GE(row, 0) << mask;
        page->Masks()->setCurrentRow(row);
    }
    static void Type(TMaskPage* page, const std::string& text) {
        page->Custom()->clear();
        QTest::keyClicks(page->Custom(), QString::fromStdString(text));
    }
    // Drags data onto page's mask list and drops it, the drop following the drag's entering
    // as the window system delivers them. Whether the list took the drag.
    static bool DragAndDrop(TMaskPage* page, const QMimeData* data) {
        QWidget* target = page->Masks()->viewport();
        const QPoint at = target->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QDropEvent drop(QPointF(at), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        return enter.isAccepted();
    }
    static void Click(QAbstractButton* button) {
        ASSERT_TRUE(button->isVisible()) << button->objectName().toStdString();
        QTest::mouseClick(button, Qt::LeftButton);
        QCoreApplication::processEvents();
    }

    TFreshDataFolder Data;
    TScriptedInteraction Script;
    TInteraction* Previous = nullptr;
    std::unique_ptr<TProfileMgr> Manager;
    std::unique_ptr<TProfile> Profile;
    std::unique_ptr<QWidget> Window;
    QTabWidget* Tabs = nullptr;
    TMaskPages* Pages = nullptr;
};

TEST_F(MaskPage_, TheControlsCarryThePrefixedNamesAndTheDialogsCaptions) {
    struct Case {
        TMaskCaptions Captions;
        bool Include;
        const char* Prefix;
        const char* SourceCaption;
        const char* MasksCaption;
        const char* DefaultsCaption;
    };
    const Case cases[] = {
        {TMaskCaptions::Editor, true, "Include", "Registered File Types", "Included File Types",
         "&Defaults"},
        {TMaskCaptions::Editor, false, "Exclude", "Registered File Types", "Excluded File Types",
         "&Defaults"},
        {TMaskCaptions::Wizard, true, "Include", "&Registered File Types", "&Included File Types",
         "Use &Defaults"},
        {TMaskCaptions::Wizard, false, "Exclude", "&Registered File Types", "&Excluded File Types",
         "Use &Defaults"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Prefix) + c.DefaultsCaption);
        TMaskPages pages(c.Captions, nullptr);
        TMaskPage* page = c.Include ? pages.IncludePage() : pages.ExcludePage();
        const QString prefix = c.Prefix;
        EXPECT_EQ(page->findChild<QTreeWidget*>(prefix + "Source"), page->Source());
        EXPECT_EQ(page->findChild<QLineEdit*>(prefix + "Custom"), page->Custom());
        EXPECT_EQ(page->findChild<QListWidget*>(prefix + "Masks"), page->Masks());
        EXPECT_EQ(page->findChild<QAbstractButton*>(prefix + "InsertButton"), page->InsertButton());
        EXPECT_EQ(page->findChild<QAbstractButton*>(prefix + "DeleteButton"), page->DeleteButton());
        EXPECT_EQ(page->findChild<QPushButton*>(prefix + "DefButton"), page->DefButton());
        EXPECT_EQ(page->DefButton()->text(), c.DefaultsCaption);
        QStringList groupTitles;
        for (const QGroupBox* box : page->findChildren<QGroupBox*>())
            groupTitles << box->title();
        EXPECT_TRUE(groupTitles.contains(c.SourceCaption));
        EXPECT_TRUE(groupTitles.contains(c.MasksCaption));
        EXPECT_TRUE(page->InsertButton()->isHidden());
        EXPECT_TRUE(page->DeleteButton()->isHidden());
    }
}

TEST_F(MaskPage_, RegisteredListsOfferAllFilesFirstThenTheTypesThenBackupAndTemporaryFiles) {
    Open();
    for (bool include : {true, false}) {
        SCOPED_TRACE(include);
        QTreeWidget* view = Page(include)->Source();
        EXPECT_EQ(Column(view, 0),
                  (std::vector<std::string>{".*", ".c", ".doc", ".html", ".txt", ".bak", ".tmp"}));
        EXPECT_EQ(Column(view, 1),
                  (std::vector<std::string>{"All Files", "C source code", "Word document",
                                            "HTML document", "plain text document", "BAK files",
                                            "Temporary files"}));
        EXPECT_EQ(view->currentItem(), view->topLevelItem(0));
        EXPECT_TRUE(view->topLevelItem(0)->isSelected());
        EXPECT_TRUE(view->isHeaderHidden());
        EXPECT_EQ(view->columnWidth(0), TMaskListBox::kMaskColumnWidth);
        EXPECT_EQ(view->editTriggers(), QAbstractItemView::NoEditTriggers);
    }
}

TEST_F(MaskPage_, AFailingTypeListIsReportedWithItsReason) {
    TMaskPages pages(TMaskCaptions::Editor, nullptr);
    Script.ExpectText("shared MIME database is unreadable", IDOK);
    EXPECT_FALSE(pages.BuildMaskLists([]() -> std::vector<TFileType> {
        throw std::runtime_error("shared MIME database is unreadable");
    }));
}

TEST_F(MaskPage_, TheMaskListsShowTheProfilesMasksSorted) {
    Profile->Masks.Includes = {".txt", ".DOC", ".c"};
    Profile->Masks.Excludes = {".tmp", ".bak"};
    Open();
    EXPECT_EQ(Page(true)->Masks()->Masks(), (std::vector<std::string>{".c", ".DOC", ".txt"}));
    EXPECT_EQ(Page(false)->Masks()->Masks(), (std::vector<std::string>{".bak", ".tmp"}));
    EXPECT_EQ(Pages->MasksText(true), ".c,.DOC,.txt");
    EXPECT_EQ(Pages->MasksText(false), ".bak,.tmp");
    EXPECT_FALSE(Pages->IncludeListEmpty());
    EXPECT_FALSE(Profile->Modified) << "showing the masks changes nothing";
}

// Insert from either source on either page, with the questions and refusals of the mask
// rules; both lists then show what the profile holds.
TEST_F(MaskPage_, InsertAddsTheChosenMaskThroughTheProfile) {
    enum TFrom { fromRegistered, fromCustom };
    struct Case {
        const char* Name;
        const char* Includes;  // before
        bool Include;
        TFrom From;
        const char* Mask;  // selected or typed
        int Question;      // 0 for none
        int Answer;
        const char* IncludesAfter;
        const char* ExcludesAfter;
    };
    const Case cases[] = {
        {"registered type", ".doc", true, fromRegistered, ".txt", 0, 0, ".doc,.txt", ".bak,.tmp"},
        {"typed without dot", ".doc", true, fromCustom, "xls", 0, 0, ".doc,.xls", ".bak,.tmp"},
        {"typed with dot and blanks", ".doc", true, fromCustom, "  .Ppt ", 0, 0, ".doc,.Ppt",
         ".bak,.tmp"},
        {"excluded type, moved", ".doc", true, fromRegistered, ".bak", MsgMaskIsExcluded, IDYES,
         ".doc,.bak", ".tmp"},
        {"excluded type, kept", ".doc", true, fromRegistered, ".bak", MsgMaskIsExcluded, IDNO,
         ".doc", ".bak,.tmp"},
        {"included type, moved", ".doc,.c", false, fromCustom, "DOC", MsgMaskIsIncluded, IDYES,
         ".c", ".bak,.tmp,.DOC"},
        {"all files replace the includes", ".doc,.c", true, fromRegistered, ".*", 0, 0, ".*",
         ".bak,.tmp"},
        {"nothing besides all files", ".*", true, fromCustom, "txt", MsgAllFilesAlreadyIncluded,
         IDOK, ".*", ".bak,.tmp"},
        {"all files never excluded", ".doc", false, fromCustom, "*", MsgCannotExcludeAll, IDOK,
         ".doc", ".bak,.tmp"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Profile->Masks.Includes = FromCommaText(c.Includes);
        Profile->Masks.Excludes = {".bak", ".tmp"};
        Profile->Modified = false;
        if (!Pages)
            Open();
        Pages->Refill();
        ShowPage(c.Include);
        TMaskPage* page = Page(c.Include);
        if (c.From == fromRegistered) {
            Enter(page->Source());
            SelectType(page, c.Mask);
        } else {
            Enter(page->Custom());
            Type(page, c.Mask);
        }
        ASSERT_TRUE(page->InsertButton()->isEnabled());
        if (c.Question)
            Script.Expect(c.Question, c.Answer);
        Click(page->InsertButton());
        EXPECT_EQ(Profile->GetIncludeMasks(), c.IncludesAfter);
        EXPECT_EQ(Profile->GetExcludeMasks(), c.ExcludesAfter);
        const bool added =
            Profile->GetIncludeMasks() != c.Includes || Profile->GetExcludeMasks() != ".bak,.tmp";
        EXPECT_EQ(Profile->Modified, added);
        EXPECT_EQ(Page(true)->Masks()->Masks(), SortedIgnoringCase(Profile->Masks.Includes));
        EXPECT_EQ(Page(false)->Masks()->Masks(), SortedIgnoringCase(Profile->Masks.Excludes));
        if (added) {
            EXPECT_FALSE(page->InsertButton()->isEnabled()) << "the mask is listed now";
            EXPECT_TRUE(page->Masks()->currentItem()->isSelected());
        }
        EXPECT_EQ(Script.Pending(), 0u);
    }
}

TEST_F(MaskPage_, InsertedMasksAppearInBothListsAsTheProfileHoldsThem) {
    Open();
    ShowPage(true);
    TMaskPage* include = Page(true);
    Enter(include->Source());
    SelectType(include, ".bak");
    Script.Expect(MsgMaskIsExcluded, IDYES);
    Click(include->InsertButton());
    EXPECT_EQ(include->Masks()->Masks(), (std::vector<std::string>{".bak", ".doc"}));
    EXPECT_EQ(Page(false)->Masks()->Masks(), (std::vector<std::string>{".tmp"}));
    EXPECT_EQ(include->Masks()->currentItem()->text(), ".bak");
}

TEST_F(MaskPage_, DeleteRemovesTheSelectedMaskAndSelectsTheNextOne) {
    Profile->Masks.Includes = {".c", ".doc", ".txt"};
    Open();
    ShowPage(true);
    TMaskPage* page = Page(true);
    Enter(page->Masks());
    SelectMask(page, ".DOC");
    Click(page->DeleteButton());
    EXPECT_EQ(Profile->GetIncludeMasks(), ".c,.txt");
    EXPECT_TRUE(Profile->Modified);
    EXPECT_EQ(page->Masks()->Masks(), (std::vector<std::string>{".c", ".txt"}));
    EXPECT_EQ(page->Masks()->currentItem()->text(), ".txt");
    Click(page->DeleteButton());
    EXPECT_EQ(page->Masks()->currentItem()->text(), ".c") << "the last entry went";
    Click(page->DeleteButton());
    EXPECT_EQ(Profile->GetIncludeMasks(), "");
    EXPECT_TRUE(Pages->IncludeListEmpty());
    EXPECT_TRUE(page->DeleteButton()->isHidden());
}

// The arrows take no focus: the Insert and Delete keys stand in for them.
TEST_F(MaskPage_, TheInsertAndDeleteKeysActAsTheArrows) {
    enum TFocus { onRegistered, onCustom, onMasks };
    struct Case {
        const char* Name;
        TFocus Focus;
        const char* Chosen;  // registered type, typed text or selected mask
        Qt::Key Key;
        const char* IncludesAfter;
    };
    const Case cases[] = {
        {"insert a registered type", onRegistered, ".txt", Qt::Key_Insert, ".c,.doc,.txt"},
        {"insert a typed type", onCustom, "xls", Qt::Key_Insert, ".c,.doc,.xls"},
        {"delete a mask", onMasks, ".doc", Qt::Key_Delete, ".c"},
        {"delete in the edit is the edit's", onCustom, "xls", Qt::Key_Delete, ".c,.doc"},
        {"insert in the list is nothing", onMasks, ".doc", Qt::Key_Insert, ".c,.doc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        MakeWindow();
        Profile->Masks.Includes = {".c", ".doc"};
        Open();
        TMaskPage* page = Page(true);
        QWidget* target = nullptr;
        switch (c.Focus) {
            case onRegistered:
                Enter(page->Source());
                SelectType(page, c.Chosen);
                target = page->Source();
                break;
            case onCustom:
                Enter(page->Custom());
                Type(page, c.Chosen);
                target = page->Custom();
                break;
            case onMasks:
                Enter(page->Masks());
                SelectMask(page, c.Chosen);
                target = page->Masks();
                break;
        }
        QTest::keyClick(target, c.Key);
        EXPECT_EQ(Profile->GetIncludeMasks(), c.IncludesAfter);
    }
}

TEST_F(MaskPage_, DefaultsReplaceThePagesMasksInTheProfileToo) {
    struct Case {
        const char* Name;
        bool Include;
        const char* Includes;
        const char* Excludes;
        const char* IncludesAfter;
        const char* ExcludesAfter;
        bool Modified;
    };
    const Case cases[] = {
        {"include page", true, ".doc,.xls", ".log", ".*", ".log", true},
        {"exclude page", false, ".doc", ".log", ".doc", ".bak,.tmp", true},
        {"a default leaves the other list", false, ".bak,.doc", ".log", ".doc", ".bak,.tmp", true},
        {"already the defaults", true, ".*", ".bak,.tmp", ".*", ".bak,.tmp", false},
    };
    Open();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Profile->Masks.Includes = FromCommaText(c.Includes);
        Profile->Masks.Excludes = FromCommaText(c.Excludes);
        Profile->Modified = false;
        Pages->Refill();
        ShowPage(c.Include);
        TMaskPage* page = Page(c.Include);
        SelectType(page, ".txt");
        page->Custom()->setText("xyz");
        Click(page->DefButton());
        EXPECT_EQ(Profile->GetIncludeMasks(), c.IncludesAfter);
        EXPECT_EQ(Profile->GetExcludeMasks(), c.ExcludesAfter);
        EXPECT_EQ(Profile->Modified, c.Modified);
        EXPECT_EQ(Pages->MasksText(true), c.IncludesAfter);
        EXPECT_EQ(Pages->MasksText(false), c.ExcludesAfter);
        EXPECT_EQ(page->Source()->currentItem(), page->Source()->topLevelItem(0));
        EXPECT_TRUE(page->Custom()->text().isEmpty());
    }
}

// A drop onto the mask list counts only from this page's own sources, in this process, and
// only while there is something to insert.
TEST_F(MaskPage_, TheMaskListTakesDropsOnlyFromItsOwnPagesSources) {
    Open();
    ShowPage(true);
    TMaskPage* include = Page(true);
    TMaskPage* exclude = Page(false);
    Enter(include->Source());
    SelectType(include, ".txt");
    ASSERT_TRUE(include->InsertButton()->isEnabled());

    auto foreignProcess = [] {
        auto* data = new QMimeData;
        data->setData("application/x-vaultaire-mask-source", "1:1:1");
        return data;
    };
    auto plainText = [] {
        auto* data = new QMimeData;
        data->setText(".txt");
        return data;
    };
    struct Case {
        const char* Name;
        std::function<QMimeData*()> Data;
        bool Accepted;
    };
    const Case cases[] = {
        {"the other page's list", [&] { return exclude->MakeDragData(TMaskPage::mcSource); },
         false},
        {"another process", foreignProcess, false},
        {"plain text", plainText, false},
        {"this page's list", [&] { return include->MakeDragData(TMaskPage::mcSource); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        std::unique_ptr<QMimeData> data(c.Data());
        EXPECT_EQ(DragAndDrop(include, data.get()), c.Accepted);
        EXPECT_EQ(Profile->GetIncludeMasks(), c.Accepted ? ".doc,.txt" : ".doc");
    }
    // .txt is listed now: nothing to insert, so a second drop is refused.
    std::unique_ptr<QMimeData> again(include->MakeDragData(TMaskPage::mcSource));
    EXPECT_FALSE(DragAndDrop(include, again.get()));
    EXPECT_EQ(Profile->GetIncludeMasks(), ".doc,.txt");
}

TEST_F(MaskPage_, ADropFromTheCustomEditInsertsItsText) {
    Open();
    ShowPage(false);
    TMaskPage* page = Page(false);
    Enter(page->Source());  // the registered list was used last, before the edit
    Enter(page->Custom());
    Type(page, "log");
    ASSERT_EQ(page->Custom()->text(), "log");
    ASSERT_TRUE(page->InsertButton()->isEnabled());
    std::unique_ptr<QMimeData> data(page->MakeDragData(TMaskPage::mcCustom));
    ASSERT_TRUE(DragAndDrop(page, data.get()));
    EXPECT_EQ(Profile->GetExcludeMasks(), ".bak,.tmp,.log");
}

// Pressing and moving the mouse past the drag distance starts a drag from the registered
// list, and from the custom edit only while there is something to insert.
TEST_F(MaskPage_, DragsStartFromTheRegisteredListAndAFilledCustomEdit) {
    Open();
    ShowPage(true);
    TMaskPage* page = Page(true);
    std::vector<TMaskPage::TMaskControl> started;
    page->ExecDrag = [&](QDrag* drag) { started.push_back(page->DragSourceOf(drag->mimeData())); };
    const int distance = QApplication::startDragDistance() + 2;

    auto dragAcross = [&](QWidget* widget, QPoint from) {
        QTest::mousePress(widget, Qt::LeftButton, Qt::NoModifier, from);
        QMouseEvent move(QEvent::MouseMove, QPointF(from + QPoint(distance, distance)),
                         widget->mapToGlobal(QPointF(from + QPoint(distance, distance))),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &move);
        QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier,
                            from + QPoint(distance, distance));
    };

    QTreeWidget* source = page->Source();
    SelectType(page, ".txt");
    Enter(source);
    const QRect txtRow = source->visualItemRect(source->currentItem());
    dragAcross(source->viewport(), txtRow.center());
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0], TMaskPage::mcSource);

    Enter(page->Custom());
    Type(page, "doc");  // listed already: nothing to insert
    dragAcross(page->Custom(), page->Custom()->rect().center());
    EXPECT_EQ(started.size(), 1u) << "no drag of a listed mask";

    Type(page, "xls");
    dragAcross(page->Custom(), page->Custom()->rect().center());
    ASSERT_EQ(started.size(), 2u);
    EXPECT_EQ(started[1], TMaskPage::mcCustom);
}

TEST_F(MaskPage_, EachMaskIsDrawnWithItsDescription) {
    struct Case {
        const char* Mask;
        const char* Description;
    };
    const Case cases[] = {
        {".doc", "Word document"}, {".HTML", "HTML document"},  {".*", "All Files"},
        {".bak", "BAK files"},     {".tmp", "Temporary files"}, {".xyz", "xyz Files"},
        {".h*", "h* Files"},       {".tar.gz", "targz Files"},
    };
    std::vector<std::string> masks;
    for (const Case& c : cases)
        masks.push_back(c.Mask);
    Profile->Masks.Includes = masks;
    Open();
    const TMaskListBox* list = Page(true)->Masks();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Mask);
        const int row = list->RowOf(c.Mask);
        ASSERT_GE(row, 0);
        EXPECT_EQ(list->item(row)->text().toStdString(), c.Mask);
        EXPECT_EQ(list->DescriptionAt(row), c.Description);
    }
}

TEST_F(MaskPage_, TheWizardsCustomEditsDropTheCharactersNoExtensionHolds) {
    struct Case {
        bool Filtered;
        bool Include;
        const char* Typed;
        const char* Shown;
    };
    const Case cases[] = {
        {true, true, "a.b<c>d:e\"f/g\\h|i", "abcdefghi"},
        {true, false, "..mp3", "mp3"},
        {true, true, "x y-z_1", "x y-z_1"},
        {false, true, ".h<>|", ".h<>|"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Typed);
        TMaskPages pages(TMaskCaptions::Wizard, nullptr);
        pages.SetCustomKeyFilter(c.Filtered);
        QLineEdit* edit = (c.Include ? pages.IncludePage() : pages.ExcludePage())->Custom();
        QTest::keyClicks(edit, c.Typed);
        EXPECT_EQ(edit->text().toStdString(), c.Shown);
    }
}

// Which arrow shows, and whether insert is offered, follows the control that has the focus.
TEST_F(MaskPage_, TheArrowsFollowTheFocus) {
    enum TFocus { onNothing, onRegistered, onCustom, onMasks };
    struct Case {
        const char* Name;
        TFocus Focus;
        const char* Selected;  // registered type, or typed text; "" for none
        bool InsertShown;
        bool InsertEnabled;
        bool DeleteShown;
        const char* SelectedMask;  // "" when none is selected
    };
    const Case cases[] = {
        {"nothing focused", onNothing, "", false, false, false, ""},
        {"a new registered type", onRegistered, ".txt", true, true, false, ""},
        {"a listed registered type", onRegistered, ".doc", true, false, false, ".doc"},
        {"no registered type selected", onRegistered, "", false, false, false, ""},
        {"an empty custom edit", onCustom, "", true, false, false, ""},
        {"a new custom type", onCustom, "txt", true, true, false, ""},
        {"a listed custom type", onCustom, "DOC", true, false, false, ".doc"},
        {"a dot alone", onCustom, ".", true, false, false, ""},
        {"the mask list", onMasks, "", false, false, true, ".c"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        MakeWindow();
        Profile->Masks.Includes = {".c", ".doc"};
        Open();
        TMaskPage* page = Page(true);
        page->Masks()->clearSelection();
        switch (c.Focus) {
            case onNothing:
                break;
            case onRegistered:
                Enter(page->Source());
                if (*c.Selected)
                    SelectType(page, c.Selected);
                else
                    page->Source()->clearSelection();
                break;
            case onCustom:
                Enter(page->Custom());
                Type(page, c.Selected);
                break;
            case onMasks:
                Enter(page->Masks());
                break;
        }
        QCoreApplication::processEvents();
        EXPECT_EQ(page->InsertButton()->isVisible(), c.InsertShown);
        EXPECT_EQ(page->InsertButton()->isEnabled(), c.InsertEnabled);
        EXPECT_EQ(page->DeleteButton()->isVisible(), c.DeleteShown);
        const QListWidgetItem* mask = page->Masks()->currentItem();
        const bool maskSelected = mask && mask->isSelected();
        EXPECT_EQ(maskSelected ? mask->text().toStdString() : std::string(), c.SelectedMask);
    }
}

// The arrow sits beside the entry it acts on, and goes when that entry scrolls away.
TEST_F(MaskPage_, TheArrowStandsBesideItsEntry) {
    Open();
    ShowPage(true);
    TMaskPage* page = Page(true);
    QTreeWidget* source = page->Source();
    auto centreY = [](QWidget* widget, QRect rect) {
        return widget->mapToGlobal(rect.center()).y();
    };
    for (const char* type : {".*", ".html", ".tmp"}) {
        SCOPED_TRACE(type);
        Enter(source);
        SelectType(page, type);
        source->scrollToItem(source->currentItem());
        QCoreApplication::processEvents();
        ASSERT_TRUE(page->InsertButton()->isVisible());
        const int arrowY = centreY(page->InsertButton(), page->InsertButton()->rect());
        const int itemY =
            centreY(source->viewport(), source->visualItemRect(source->currentItem()));
        EXPECT_LE(std::abs(arrowY - itemY), 1);
    }
    Enter(page->Masks());
    SelectMask(page, ".doc");
    const int arrowY = centreY(page->DeleteButton(), page->DeleteButton()->rect());
    const int itemY = centreY(page->Masks()->viewport(),
                              page->Masks()->visualItemRect(page->Masks()->currentItem()));
    EXPECT_LE(std::abs(arrowY - itemY), 1);

    // A short list scrolled past the selected type, and back.
    source->setFixedHeight(source->visualItemRect(source->topLevelItem(0)).height() * 3);
    QCoreApplication::processEvents();
    Enter(source);
    SelectType(page, ".*");
    source->scrollToBottom();
    QCoreApplication::processEvents();
    ASSERT_GT(source->verticalScrollBar()->value(), 0);
    EXPECT_FALSE(page->InsertButton()->isVisible());
    source->scrollToTop();
    QCoreApplication::processEvents();
    EXPECT_TRUE(page->InsertButton()->isVisible());
}

}  // namespace
