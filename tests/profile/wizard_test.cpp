// The profile wizard, loaded from the module by name as the program loads it.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTest>
#include <QTreeWidget>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "commatext.h"
#include "foldertreeclicks.h"
#include "pickers.h"
#include "profiledialogtest.h"

namespace fs = std::filesystem;

namespace {

enum : int {
    StrIncomplete = 753,
    StrSaveChanges = 754,
    StrNoSources = 757,
    StrNoTarget = 758,
    StrTargetIsSource = 759,
    StrNoIncludes = 760,
    StrPasswordsDiffer = 763,
    StrTitleExists = 768,
    StrNoTitle = 769,
};

enum : unsigned {
    kWarningFlags = 48,
    kQuestionFlags = 35,
};

enum TPage : int {
    Intro = 0,
    Source = 1,
    Target = 2,
    Include = 3,
    Exclude = 4,
    Security = 5,
    TitlePage = 6,
};

// The wizard over a data folder of its own that holds the profiles Documents (current)
// and Pictures, and over the drives C: (with the folders Data and Mail) and E:, both fixed.
// Questions are answered by a script that every test checks at its end.
class ProfileWizard : public TProfileDialogTest {
  protected:
    void SetUp() override {
        TProfileDialogTest::SetUp();
        fs::create_directories(Drives.Path() / "c" / "Data");
        fs::create_directories(Drives.Path() / "c" / "Mail");
        fs::create_directories(Drives.Path() / "e");
        UseDriveMap("detect off\nC: fixed \"" + (Drives / "c") + "\"\nE: fixed \"" +
                    (Drives / "e") + "\"\n");
        {
            TProfileMgr manager;
            AddSampleProfiles(manager, {"Documents", "Pictures"}, "E:\\");
        }
        ProfilesBefore = ProfilesFile();
    }
    void TearDown() override {
        SetFolderDialog({});
        TProfileDialogTest::TearDown();
        // The wizard's own messages, by their ids: warnings and questions.
        for (const auto& style : Script.Styles) {
            if (style.Id == 0)
                continue;
            const bool question = style.Id == StrIncomplete || style.Id == StrSaveChanges;
            EXPECT_EQ(style.Flags, question ? kQuestionFlags : kWarningFlags)
                << "message " << style.Id;
        }
    }

    void Open() { TProfileDialogTest::Open("TProfileWizardForm"); }
    // Closes the wizard as Cancel does, answering its question.
    void CloseAnswering(int question, int answer) {
        Script.Expect(question, answer);
        Dialog->reject();
    }

    std::string ProfilesFile() const {
        const fs::path file = Data.Dir().Path() / "Vaultaire.vlp";
        return fs::exists(file) ? ReadTextFile(file) : std::string();
    }
    int Page() const { return Child<QStackedWidget>("Book")->currentIndex(); }
    // Clicks a button the user can see.
    void Click(const char* button) {
        QAbstractButton* pushButton = Child<QAbstractButton>(button);
        ASSERT_NE(pushButton, nullptr);
        ASSERT_TRUE(pushButton->isVisible()) << button;
        TProfileDialogTest::Click(button);
    }
    void Next() { Click("NextButton"); }
    QWidget* Focused() const { return QApplication::focusWidget(); }
    bool HasFocus(const char* name) const {
        return ServeEventsUntil([&] { return Focused() && Focused()->objectName() == name; });
    }

    // Ticks a folder of C: as the user does, with a click on its box.
    void CheckSource(const QString& folder) {
        QTreeWidget* tree = Child<QTreeWidget>("SourceTree");
        ASSERT_NE(tree, nullptr);
        QTreeWidgetItem* item = OpenedFolderItem(*tree, "(C:)", folder);
        ASSERT_NE(item, nullptr) << folder.toStdString();
        ClickCheckBox(*tree, item);
    }
    // Chooses the target entry of drive letter.
    void ChooseTargetDrive(char letter) {
        QComboBox* targets = Child<QComboBox>("TargetPath");
        for (int i = 0; i < targets->count(); ++i) {
            if (AttachedDriveLetter(targets, i) == letter) {
                targets->setCurrentIndex(i);
                return;
            }
        }
        ADD_FAILURE() << "no entry for drive " << letter;
    }
    // Browses to a host folder of the drives.
    void BrowseTo(const std::string& hostFolder) {
        SetFolderDialog([hostFolder](QWidget*, const std::string&) {
            return std::optional<std::string>(hostFolder);
        });
        Click("BrowseButton");
    }

    // From the first page up to page, each page filled in as it must be: C:\Data to E:\.
    void GoTo(int page) {
        ASSERT_EQ(Page(), Intro);
        Next();
        if (page == Source)
            return;
        CheckSource("Data");
        Next();
        if (page == Target)
            return;
        ChooseTargetDrive('E');
        while (Page() < page)
            Next();
        ASSERT_EQ(Page(), page);
    }
    // Next is refused: the wizard stays on the title page with the title cleared and
    // focused.
    void NextIsRefusedOnTheTitlePage() {
        Next();
        EXPECT_TRUE(Dialog->isVisible());
        EXPECT_EQ(Page(), TitlePage);
        EXPECT_EQ(Child<QLineEdit>("Title")->text(), "");
        EXPECT_TRUE(HasFocus("Title"));
    }
    void SetPasswords(const char* first, const char* second) {
        Child<QLineEdit>("Password1")->setText(first);
        Child<QLineEdit>("Password2")->setText(second);
    }

    TTempDir Drives;
    std::string ProfilesBefore;
};

TEST_F(ProfileWizard, StartsOnItsFirstPageWithANewProfile) {
    Open();
    EXPECT_EQ(Dialog->windowTitle(), "Vaultaire 2000 Profile Wizard");
    EXPECT_EQ(Page(), Intro);
    EXPECT_FALSE(Child<QPushButton>("BackButton")->isEnabled());
    EXPECT_EQ(Child<QPushButton>("BackButton")->text(), "< &Prev");
    EXPECT_EQ(Child<QPushButton>("NextButton")->text(), "&Next >");
    EXPECT_EQ(Child<QLabel>("NextLabel")->text(), "Click \"Next\" to continue.");
    EXPECT_FALSE(Child<QLabel>("IntroImage")->pixmap().isNull());
    EXPECT_EQ(Child<QLineEdit>("Title")->text(), "Untitled");
    EXPECT_EQ(Child<QLineEdit>("Title")->maxLength(), 255);
    QListWidget* titles = Child<QListWidget>("Titles");
    ASSERT_EQ(titles->count(), 2);
    EXPECT_EQ(titles->item(0)->text(), "Documents");
    EXPECT_EQ(titles->item(1)->text(), "Pictures");
    EXPECT_FALSE(Child<QCheckBox>("Password")->isChecked());
    for (const char* edit : {"Password1", "Password2"}) {
        SCOPED_TRACE(edit);
        EXPECT_FALSE(Child<QLineEdit>(edit)->isEnabled());
        EXPECT_EQ(Child<QLineEdit>(edit)->echoMode(), QLineEdit::Password);
        EXPECT_EQ(Child<QLineEdit>(edit)->maxLength(), 32);
    }
    EXPECT_EQ(Child<QSpinBox>("Versions")->value(), 1);
    EXPECT_EQ(Child<QComboBox>("TargetPath")->currentIndex(), -1) << "no target yet";
    EXPECT_EQ(Child<QComboBox>("TargetPath")->count(), 2) << "the drives C: and E:";
    EXPECT_EQ(Manager->Count(), 2) << "nothing is added before Finish";
}

// What each page shows as the user arrives: its focus, its help topic, and what the
// button that moves on says.
TEST_F(ProfileWizard, EachPageTakesTheFocusAndNamesItsHelpAndNextStep) {
    Open();
    struct Case {
        int Page;
        const char* Focus;  // empty: not looked at
        int Help;
        const char* NextCaption;
        const char* NextText;
        int NextHelp;
    };
    const char* const clickNext = "Click \"Next\" to continue.";
    const Case cases[] = {
        {Intro, "", 330, "&Next >", clickNext, 5440},
        {Source, "SourceTree", 340, "&Next >", clickNext, 5440},
        {Target, "TargetPath", 350, "&Next >", clickNext, 5440},
        {Include, "IncludeMasks", 360, "&Next >", clickNext, 5440},
        {Exclude, "ExcludeMasks", 370, "&Next >", clickNext, 5440},
        {Security, "Password", 380, "&Next >", clickNext, 5440},
        {TitlePage, "Title", 390, "&Finish", "Click \"Finish\" to save your changes.", 5450},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Page);
        if (c.Page == Source + 1)
            CheckSource("Data");
        if (c.Page == Target + 1)
            ChooseTargetDrive('E');
        if (c.Page != Intro)
            Next();
        ASSERT_EQ(Page(), c.Page);
        if (*c.Focus) {
            EXPECT_TRUE(HasFocus(c.Focus))
                << (Focused() ? Focused()->objectName().toStdString() : std::string("nothing"));
        }
        EXPECT_EQ(Child<QStackedWidget>("Book")->currentWidget()->property("HelpContext").toInt(),
                  c.Help);
        EXPECT_EQ(Child<QPushButton>("NextButton")->text(), c.NextCaption);
        EXPECT_EQ(Child<QLabel>("NextLabel")->text(), c.NextText);
        EXPECT_EQ(Child<QPushButton>("NextButton")->property("HelpContext").toInt(), c.NextHelp);
        EXPECT_EQ(Child<QPushButton>("BackButton")->isEnabled(), c.Page != Intro);
    }
    Click("BackButton");
    EXPECT_EQ(Child<QPushButton>("NextButton")->text(), "&Next >");
    EXPECT_EQ(Child<QPushButton>("NextButton")->property("HelpContext").toInt(), 5440);
}

TEST_F(ProfileWizard, NoFolderToGuardKeepsTheSourcePage) {
    Open();
    GoTo(Source);
    Script.Expect(StrNoSources, IDOK);
    Next();
    EXPECT_EQ(Page(), Source);
    CheckSource("Data");
    Next();
    EXPECT_EQ(Page(), Target);
}

// The target page's checks: each fault keeps the page, tells why and puts the focus on
// the list of targets.
TEST_F(ProfileWizard, ATargetThatCannotBeUsedKeepsTheTargetPage) {
    struct Case {
        const char* Name;
        const char* Browsed;  // the folder of C: browsed to; none: nothing chosen
        int Message;
    };
    const Case cases[] = {
        {"nothing chosen", nullptr, StrNoTarget},
        {"the guarded folder itself", "Data", StrTargetIsSource},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Open();
        GoTo(Target);
        if (c.Browsed)
            BrowseTo((Drives.Path() / "c" / c.Browsed).string());
        Child<QPushButton>("NextButton")->setFocus();
        Script.Expect(c.Message, IDOK);
        Next();
        EXPECT_EQ(Page(), Target);
        EXPECT_TRUE(HasFocus("TargetPath"));
        EXPECT_TRUE(Dialog->isVisible());
        CloseAnswering(StrIncomplete, IDYES);
        UnloadForm(Module);
    }
}

TEST_F(ProfileWizard, NoIncludedTypeKeepsTheIncludePage) {
    Open();
    GoTo(Include);
    QListWidget* masks = Child<QListWidget>("IncludeMasks");
    ASSERT_TRUE(HasFocus("IncludeMasks"));
    ASSERT_EQ(masks->count(), 1);
    masks->setCurrentRow(0);
    Click("IncludeDeleteButton");
    ASSERT_EQ(masks->count(), 0);
    Script.Expect(StrNoIncludes, IDOK);
    Next();
    EXPECT_EQ(Page(), Include);
    Click("IncludeDefButton");
    EXPECT_EQ(masks->count(), 1);
    Next();
    EXPECT_EQ(Page(), Exclude);
    CloseAnswering(StrSaveChanges, IDNO);
}

// The custom-type edits of the wizard take no character that cannot stand in an extension.
TEST_F(ProfileWizard, TheCustomEditsDropCharactersNoExtensionHolds) {
    Open();
    GoTo(Include);
    for (const char* edit : {"IncludeCustom", "ExcludeCustom"}) {
        SCOPED_TRACE(edit);
        if (Page() == Include && std::string(edit) == "ExcludeCustom")
            Next();
        QLineEdit* custom = Child<QLineEdit>(edit);
        custom->setFocus();
        QTest::keyClicks(custom, "a.b<c>d:e\"f/g\\h|i");
        EXPECT_EQ(custom->text(), "abcdefghi");
    }
    CloseAnswering(StrSaveChanges, IDNO);
}

TEST_F(ProfileWizard, ABrowsedFolderBecomesTheTarget) {
    fs::create_directories(Drives.Path() / "e" / "Copies");
    Open();
    GoTo(Target);
    BrowseTo((Drives.Path() / "e" / "Copies").string());
    EXPECT_EQ(Child<QComboBox>("TargetPath")->currentText(), "E:\\Copies");
    Next();
    EXPECT_EQ(Page(), Include);
    CloseAnswering(StrSaveChanges, IDNO);
}

TEST_F(ProfileWizard, ThePasswordFieldsMustAgree) {
    struct Case {
        const char* First;
        const char* Second;
        int Message;          // 0: the page passes
        bool ProtectedAfter;  // "Password Protect" still checked
    };
    const Case cases[] = {
        {"Secret", "secret", StrPasswordsDiffer, true},  // the case counts
        {"Secret", "", StrPasswordsDiffer, true},
        {"", "Secret", StrPasswordsDiffer, true},
        {"", "", 0, false},  // nothing typed: no password
        {"Secret", "Secret", 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.First) + "/" + c.Second);
        Open();
        GoTo(Security);
        Child<QCheckBox>("Password")->click();
        EXPECT_TRUE(Child<QLineEdit>("Password1")->isEnabled());
        SetPasswords(c.First, c.Second);
        if (c.Message)
            Script.Expect(c.Message, IDOK);
        Next();
        EXPECT_EQ(Page(), c.Message ? Security : TitlePage);
        EXPECT_EQ(Child<QCheckBox>("Password")->isChecked(), c.ProtectedAfter);
        EXPECT_EQ(Child<QLineEdit>("Password1")->isEnabled(), c.ProtectedAfter);
        // Closing checks the page again: a page that fails its check leaves the profile
        // incomplete.
        if (c.Message)
            Script.Expect(StrIncomplete, IDYES);
        else
            Script.Expect(StrSaveChanges, IDNO);
        Dialog->reject();
        UnloadForm(Module);
    }
}

TEST_F(ProfileWizard, UncheckingThePasswordAsksNothingAndForgetsIt) {
    Open();
    GoTo(Security);
    Child<QCheckBox>("Password")->click();
    SetPasswords("Secret", "Secret");
    Next();
    ASSERT_EQ(Page(), TitlePage);
    Click("BackButton");
    Child<QCheckBox>("Password")->click();
    EXPECT_EQ(Child<QLineEdit>("Password1")->text(), "");
    EXPECT_EQ(Child<QLineEdit>("Password2")->text(), "");
    EXPECT_FALSE(Child<QLineEdit>("Password1")->isEnabled());
    EXPECT_FALSE(Child<QLineEdit>("Password2")->isEnabled());
    Next();
    Child<QLineEdit>("Title")->setText("Letters");
    Next();
    ASSERT_EQ(Dialog->result(), QDialog::Accepted);
    EXPECT_EQ(Reread()->Items(2)->Header.Key, 0) << "the profile has no password";
}

TEST_F(ProfileWizard, TheVersionsFieldTakesNumbersFromOneToTen) {
    Open();
    GoTo(Security);
    QSpinBox* field = Child<QSpinBox>("Versions");
    QLineEdit* edit = field->findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    struct Case {
        const char* Typed;
        const char* Shown;
        int Kept;  // the versions the page writes into the profile
    };
    const Case cases[] = {
        {"3", "3", 3}, {"1a0", "10", 10}, {"7:", "7", 7}, {"99", "99", 10}, {"0", "0", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Typed);
        Retype(field, c.Typed);
        EXPECT_EQ(edit->text(), c.Shown);
        Next();
        ASSERT_EQ(Page(), TitlePage);
        Click("BackButton");
        EXPECT_EQ(field->value(), c.Kept);
    }
}

// The title page's checks: a fault is told, the title cleared and focused.
TEST_F(ProfileWizard, AnEmptyOrClashingTitleIsRefusedAndCleared) {
    Open();
    GoTo(TitlePage);
    struct Case {
        const char* Typed;
        int Message;
    };
    const Case cases[] = {
        {"", StrNoTitle},
        {"  ", StrNoTitle},
        {"pictures", StrTitleExists},
        {"Documentation", StrTitleExists},  // the first seven characters name diskettes
        {"Doc", StrTitleExists},            // a leading part of another title
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Typed);
        Child<QLineEdit>("Title")->setText(c.Typed);
        Child<QPushButton>("NextButton")->setFocus();
        Script.Expect(c.Message, IDOK);
        NextIsRefusedOnTheTitlePage();
    }
    EXPECT_EQ(Manager->Count(), 2);
    EXPECT_EQ(ProfilesFile(), ProfilesBefore);
    CloseAnswering(StrIncomplete, IDYES);
}

TEST_F(ProfileWizard, BackMovesWithoutAnyCheck) {
    Open();
    GoTo(Target);
    Click("BackButton");  // nothing chosen on the target page: no message
    EXPECT_EQ(Page(), Source);
    Click("BackButton");
    EXPECT_EQ(Page(), Intro);
    EXPECT_FALSE(Child<QPushButton>("BackButton")->isEnabled());
    Next();
    EXPECT_EQ(Page(), Source);
    Next();  // the folder ticked before is still ticked
    EXPECT_EQ(Page(), Target);
    CloseAnswering(StrIncomplete, IDYES);
}

TEST_F(ProfileWizard, FinishHandsTheProfileOverAsChosen) {
    Open();
    GoTo(Target);
    ChooseTargetDrive('E');
    Next();
    Next();
    ASSERT_EQ(Page(), Exclude);
    QLineEdit* custom = Child<QLineEdit>("ExcludeCustom");
    custom->setFocus();
    QTest::keyClicks(custom, "log");
    Click("ExcludeInsertButton");
    EXPECT_EQ(Child<QListWidget>("ExcludeMasks")->count(), 3);
    Next();
    ASSERT_EQ(Page(), Security);
    Child<QCheckBox>("Password")->click();
    SetPasswords("Secret", "Secret");
    Child<QSpinBox>("Versions")->setValue(3);
    Next();
    Child<QLineEdit>("Title")->setText("Letters");
    Next();
    EXPECT_FALSE(Dialog->isVisible());
    EXPECT_EQ(Dialog->result(), QDialog::Accepted);
    ASSERT_EQ(Manager->Count(), 3);
    EXPECT_EQ(Manager->GetCurrentProfile()->Title, "Documents") << "the current one stays";

    auto saved = Reread();
    ASSERT_EQ(saved->Count(), 3);
    const TProfile& profile = *saved->Items(2);
    EXPECT_EQ(profile.Title, "Letters");
    EXPECT_EQ(profile.GetSourceFolders(), std::vector<std::string>{"C:\\Data"});
    EXPECT_EQ(profile.Target, "E:\\");
    EXPECT_EQ(profile.Header.NumVersions, 3);
    EXPECT_TRUE(profile.Header.Compression);
    EXPECT_TRUE(profile.IsPassword("Secret"));
    EXPECT_FALSE(profile.IsPassword("Other"));
    EXPECT_EQ(profile.GetIncludeMasks(), TMasks::DefaultIncludeMasks);
    EXPECT_EQ(profile.GetExcludeMasks(), ".bak,.tmp,.log");
    EXPECT_FALSE(profile.Modified);
}

TEST_F(ProfileWizard, TheFirstProfileBecomesTheCurrentOne) {
    fs::remove(Data.Dir().Path() / "Vaultaire.vlp");
    Open();
    ASSERT_EQ(Manager->Count(), 0);
    EXPECT_EQ(Child<QListWidget>("Titles")->count(), 0);
    GoTo(TitlePage);
    Next();
    EXPECT_EQ(Dialog->result(), QDialog::Accepted);
    ASSERT_EQ(Manager->Count(), 1);
    ASSERT_NE(Manager->GetCurrentProfile(), nullptr);
    EXPECT_EQ(Manager->GetCurrentProfile()->Title, "Untitled");
}

// Another process saves a profile of the same title while the wizard is open: Finish tells
// the user, the title is cleared and the wizard keeps everything else for another title.
TEST_F(ProfileWizard, ATitleTakenMeanwhileIsRefusedAndTheProfileKept) {
    Open();
    GoTo(TitlePage);
    Child<QLineEdit>("Title")->setText("Letters");
    {
        TProfileMgr other;
        auto profile = std::make_unique<TProfile>();
        profile->Title = "Letters from abroad";
        profile->UpdateSource({"C:\\Mail"});
        profile->UpdateTarget("E:\\");
        ASSERT_GE(other.AddNewProfile(std::move(profile)), 0);
    }
    Script.Expect(StrTitleExists, IDOK);
    NextIsRefusedOnTheTitlePage();
    EXPECT_EQ(Manager->Count(), 2);

    Child<QLineEdit>("Title")->setText("Memos");
    Next();
    EXPECT_EQ(Dialog->result(), QDialog::Accepted);
    auto saved = Reread();
    ASSERT_EQ(saved->Count(), 4);
    EXPECT_EQ(saved->GetTitles(), "Documents,Pictures,\"Letters from abroad\",Memos");
    EXPECT_EQ(saved->Items(3)->Target, "E:\\");
}

// The profiles file cannot be written when Finish saves the profile: the user is told, and
// the wizard keeps the profile for another try once the file can be written again.
TEST_F(ProfileWizard, AProfileThatCannotBeSavedStaysInTheWizard) {
    Open();
    GoTo(TitlePage);
    Child<QLineEdit>("Title")->setText("Letters");
    const fs::path file = Data.Dir().Path() / "Vaultaire.vlp";
    fs::remove(file);
    fs::create_directory(file);
    Script.ExpectText("Vaultaire.vlp", IDOK);
    Next();
    EXPECT_TRUE(Dialog->isVisible());
    EXPECT_EQ(Page(), TitlePage);
    EXPECT_EQ(Child<QLineEdit>("Title")->text(), "Letters");
    EXPECT_EQ(Manager->Count(), 2) << "not in the manager's list either";
    EXPECT_EQ(Manager->GetCurrentProfile()->Title, "Documents");

    fs::remove(file);
    WriteTextFile(file, ProfilesBefore);
    Next();
    EXPECT_EQ(Dialog->result(), QDialog::Accepted);
    EXPECT_EQ(Reread()->GetTitles(), "Documents,Pictures,Letters");
}

// Closing before the profile has folders and a target: the user is asked whether to give
// it up.
TEST_F(ProfileWizard, ClosingAnIncompleteProfileAsksWhetherToCancel) {
    struct Case {
        int Answer;
        bool Closes;
    };
    const Case cases[] = {{IDNO, false}, {IDCANCEL, false}, {IDYES, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Answer);
        Open();
        GoTo(Target);  // folders chosen, no target
        Script.Expect(StrIncomplete, c.Answer);
        Dialog->close();
        QCoreApplication::processEvents();
        EXPECT_EQ(Dialog->isVisible(), !c.Closes);
        EXPECT_EQ(Page(), Target);
        if (!c.Closes) {
            Script.Expect(StrIncomplete, IDYES);
            QTest::keyClick(Dialog, Qt::Key_Escape);
            EXPECT_FALSE(Dialog->isVisible());
        }
        EXPECT_EQ(Dialog->result(), QDialog::Rejected);
        EXPECT_EQ(Manager->Count(), 2);
        EXPECT_EQ(ProfilesFile(), ProfilesBefore);
        UnloadForm(Module);
        Manager.reset();
    }
}

// Closing once the profile has folders and a target: the user is asked whether to keep it.
TEST_F(ProfileWizard, ClosingACompleteProfileAsksWhetherToSaveIt) {
    struct Case {
        int Answer;
        bool Closes;
        int Profiles;  // in the profiles file afterwards
    };
    const Case cases[] = {{IDCANCEL, false, 2}, {IDNO, true, 2}, {IDYES, true, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Answer);
        Open();
        GoTo(Exclude);
        Script.Expect(StrSaveChanges, c.Answer);
        Dialog->close();
        QCoreApplication::processEvents();
        EXPECT_EQ(Dialog->isVisible(), !c.Closes);
        if (c.Closes) {
            EXPECT_EQ(Dialog->result(), c.Answer == IDYES ? QDialog::Accepted : QDialog::Rejected);
        } else {
            EXPECT_EQ(Page(), Exclude);
            CloseAnswering(StrSaveChanges, IDNO);
        }
        EXPECT_EQ(Manager->Count(), c.Profiles);
        auto saved = Reread();
        EXPECT_EQ(saved->Count(), c.Profiles);
        if (c.Profiles == 3) {
            EXPECT_EQ(saved->GetTitle(2), "Untitled");
            EXPECT_EQ(saved->Items(2)->Source, "C:\\Data");
            EXPECT_EQ(saved->Items(2)->Target, "E:\\");
        }
        saved.reset();
        UnloadForm(Module);
        fs::remove(Data.Dir().Path() / "Vaultaire.vlp");
        WriteTextFile(Data.Dir().Path() / "Vaultaire.vlp", ProfilesBefore);
    }
}

// A wizard never handed a manager has nothing to ask about.
TEST_F(ProfileWizard, WithoutAManagerItClosesWithoutAQuestion) {
    TPackageForm* form = LoadForm(Module, "TProfileWizardForm", "vledtprf");
    ASSERT_NE(form, nullptr) << LastLoadFormError();
    Dialog = form;
    Dialog->show();
    ASSERT_TRUE(ServeEventsUntil([&] { return Dialog->isVisible(); }));
    Dialog->close();
    QCoreApplication::processEvents();
    EXPECT_FALSE(Dialog->isVisible());
}

}  // namespace
