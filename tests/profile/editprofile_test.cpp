// The profile editor, loaded from the module by name as the program loads it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialog>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "ct_views.h"
#include "help.h"
#include "pickers.h"
#include "profiledialogtest.h"
#include "testenv.h"

namespace fs = std::filesystem;

namespace {

enum TPage { pgSummary, pgLocations, pgInclude, pgExclude, pgSecurity };

constexpr int StrSaveChanges = 754;
constexpr int StrNoFolders = 757;
constexpr int StrNoTarget = 758;
constexpr int StrTargetIsSource = 759;
constexpr int StrNoFileTypes = 760;
constexpr int StrPasswordsDiffer = 763;
constexpr int StrNoPassword = 764;
constexpr int StrWrongPassword = 765;
constexpr int StrPasswordChanged = 766;
constexpr int StrPasswordRemoved = 767;
constexpr int StrTitleExists = 768;

template <typename T>
T* ChildOf(const QWidget& parent, const char* name) {
    T* child = parent.findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
}

// Answers the dialogs the editor shows modally (the old password, "Save Profile As"): each
// time one is shown, the next step is run on it once its own event loop runs. A dialog
// shown with no step left is cancelled and recorded.
class TDialogSteps : public QObject {
  public:
    using TStep = std::function<void(QDialog&)>;

    ~TDialogSteps() override {
        if (qApp)
            qApp->removeEventFilter(this);
    }
    // Watches the dialogs the application shows from now on.
    void Watch() { qApp->installEventFilter(this); }

    void Then(TStep step) { Steps.push_back(std::move(step)); }
    size_t Pending() const { return Steps.size(); }
    const std::vector<std::string>& Unexpected() const { return UnexpectedDialogs; }

    // Types text into the edit field and presses button.
    static TStep Type(const char* field, std::string text, const char* button) {
        return [field, text, button](QDialog& dialog) {
            if (auto* edit = ChildOf<QLineEdit>(dialog, field))
                edit->setText(QString::fromStdString(text));
            Press(dialog, button);
        };
    }
    static TStep Press(const char* button) {
        return [button](QDialog& dialog) { Press(dialog, button); };
    }
    static void Press(QDialog& dialog, const char* button) {
        if (auto* push = ChildOf<QPushButton>(dialog, button))
            push->click();
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        auto* dialog = qobject_cast<QDialog*>(watched);
        if (e->type() != QEvent::Show || !dialog || watched->objectName() == "TEditProfileForm")
            return false;
        QPointer<QDialog> shown(dialog);
        QTimer::singleShot(0, this, [this, shown] {
            if (!shown || !shown->isVisible())
                return;
            if (Steps.empty()) {
                UnexpectedDialogs.push_back(shown->objectName().toStdString());
                shown->reject();
                return;
            }
            TStep step = std::move(Steps.front());
            Steps.pop_front();
            step(*shown);
        });
        return false;
    }

  private:
    std::deque<TStep> Steps;
    std::vector<std::string> UnexpectedDialogs;
};

// The editor over a data folder of its own with the profiles Documents (current: guards
// C:\Documents, backs up to C:\Backups) and Pictures. C: and D: are fixed drives of the
// test's own. Message boxes are answered by a script, the modal dialogs by steps; every
// test checks both at its end.
class EditProfileForm_ : public TProfileDialogTest {
  public:
    // Public: the tables of cases hold steps that act on the fixture.
    void SetUp() override {
        TProfileDialogTest::SetUp();
        Dialogs.Watch();
        for (const char* folder : {"c/Documents/Letters", "c/Pictures", "c/Backups", "d/Music"})
            fs::create_directories(Drives.Path() / folder);
        UseDriveMap("detect off\nC: fixed " + Drives / "c" + "\nD: fixed " + Drives / "d" + "\n");
        SaveProfiles([](TProfile&) {});
    }
    void TearDown() override {
        if (Dialog && Dialog->isVisible())
            Cancel();
        TProfileDialogTest::TearDown();
        UseDefaultTestDriveMap();
        EXPECT_TRUE(Dialogs.Unexpected().empty())
            << "unexpected dialog: " << Dialogs.Unexpected().front();
        EXPECT_EQ(Dialogs.Pending(), 0u) << "dialogs that were never shown";
    }

    // Writes the two profiles afresh, Documents changed by change first.
    void SaveProfiles(const std::function<void(TProfile&)>& change) {
        fs::remove(ProfilesFile());
        TProfileMgr manager;
        AddSampleProfiles(manager, {"Documents", "Pictures"}, "C:\\Backups",
                          [&](TProfile& profile) {
                              if (profile.Title == "Documents")
                                  change(profile);
                          });
    }

    void Open() { TProfileDialogTest::Open("TEditProfileForm"); }
    // Closes the dialog leaving everything as it was, for the next open.
    void Cancel() {
        Click("CancelButton");
        UnloadForm(Module);
        Manager.reset();
    }
    TProfile* Profile() const { return Manager->GetCurrentProfile(); }
    // A manager that reads what was saved; the dialog must be closed by then, since it
    // edits the profile of the manager it was given.
    std::unique_ptr<TProfileMgr> Reread() {
        EXPECT_FALSE(Dialog && Dialog->isVisible());
        return TProfileDialogTest::Reread();
    }
    fs::path ProfilesFile() const { return Data.Dir().Path() / "Vaultaire.vlp"; }

    QTabWidget* Pages() const { return Child<QTabWidget>("PageControl"); }
    int Page() const { return Pages()->currentIndex(); }
    // Clicks the page's tab, as the user changes pages.
    void ClickTab(int page) {
        QTabBar* tabs = Pages()->tabBar();
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(page).center());
        QCoreApplication::processEvents();
    }
    QString Summary(const char* field) const { return Child<QLabel>(field)->text(); }
    void ClickSummary(const char* field) {
        QTest::mouseClick(Child<QLabel>(field), Qt::LeftButton);
        QCoreApplication::processEvents();
    }
    // The module's tree: the same class as the one this program compiles in, but with a
    // meta-object of its own, so it is found by its shared base.
    TCheckedDirTreeView* SourceTree() const {
        return static_cast<TCheckedDirTreeView*>(Child<TCheckedItemView>("SourceTree"));
    }
    QComboBox* TargetPath() const { return Child<QComboBox>("TargetPath"); }
    QCheckBox* PasswordBox() const { return Child<QCheckBox>("Password"); }
    void TypePasswords(const char* password, const char* confirmation) {
        Child<QLineEdit>("Password1")->setText(password);
        Child<QLineEdit>("Password2")->setText(confirmation);
    }
    void SelectTarget(const QString& text) {
        QComboBox* box = TargetPath();
        int index = box->findText(text);
        if (index < 0) {
            box->addItem(text);
            index = box->count() - 1;
        }
        box->setCurrentIndex(index);
    }

    TTempDir Drives;
    TDialogSteps Dialogs;
};

TEST_F(EditProfileForm_, ShowsTheCurrentProfileOnItsSummary) {
    Open();
    EXPECT_EQ(Dialog->windowTitle(), "Vaultaire 2000 Edit Profile - Documents");
    EXPECT_EQ(Page(), pgSummary);
    const char* const captions[] = {"S&ummary", "&Locations", "&Include", "E&xclude", "S&ecurity"};
    ASSERT_EQ(Pages()->count(), 5);
    for (int page = pgSummary; page <= pgSecurity; ++page)
        EXPECT_EQ(Pages()->tabText(page), captions[page]);
    EXPECT_EQ(Summary("Title"), "Documents");
    EXPECT_EQ(Summary("SourceSummary"), "Drive C (All Folders)");
    EXPECT_EQ(Summary("TargetSummary"), "C:\\Backups");
    EXPECT_EQ(Summary("IncludeSummary"), ".*");
    EXPECT_EQ(Summary("ExcludeSummary"), ".bak, .tmp");
    EXPECT_EQ(Summary("PasswordSummary"), "no");
    EXPECT_EQ(Summary("VersionsSummary"), "1");
    EXPECT_EQ(Summary("CompressSummary"), "yes");
    EXPECT_EQ(SourceTree()->GetFolders(true), std::vector<std::string>{"C:\\Documents"});
    EXPECT_FALSE(Child<QLineEdit>("Password1")->isEnabled());
    EXPECT_FALSE(Child<QLabel>("EncryptionNote")->text().isEmpty());
    EXPECT_FALSE(Profile()->Modified);
}

TEST_F(EditProfileForm_, TheSummaryShowsWhatTheProfileHolds) {
    struct Case {
        std::vector<std::string> Sources;
        bool Compression;
        const char* Password;  // empty: none
        int Versions;
        const char* Source;
        const char* Compress;
        const char* Protected;
        const char* VersionsText;
    };
    const Case cases[] = {
        {{"C:\\Documents", "D:\\"}, true, "", 3, "Drives C, D (All Folders)", "yes", "no", "3"},
        {{"C:\\Documents", "C:\\Pictures"},
         false,
         "Secret",
         10,
         "Drive C (Selected Folders)",
         "no",
         "yes",
         "10"},
        {{"D:\\Music"}, true, "x", 1, "Drive D (All Folders)", "yes", "yes", "1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Source);
        SaveProfiles([&](TProfile& profile) {
            profile.UpdateSource(c.Sources);
            profile.SetCompression(c.Compression);
            if (*c.Password)
                profile.UpdatePassword(c.Password);
            profile.SetNumVersions(c.Versions);
        });
        Open();
        EXPECT_EQ(Summary("SourceSummary"), c.Source);
        EXPECT_EQ(Summary("CompressSummary"), c.Compress);
        EXPECT_EQ(Summary("PasswordSummary"), c.Protected);
        EXPECT_EQ(Summary("VersionsSummary"), c.VersionsText);
        Cancel();
    }
}

TEST_F(EditProfileForm_, TheSummaryFollowsTheEditsAndLeadsToTheirPages) {
    Open();
    struct Case {
        const char* Field;
        int Page;
        const char* Focused;
    };
    const Case cases[] = {
        {"SourceSummary", pgLocations, "SourceTree"}, {"TargetSummary", pgLocations, "TargetPath"},
        {"CompressSummary", pgLocations, "Compress"}, {"IncludeSummary", pgInclude, nullptr},
        {"ExcludeSummary", pgExclude, nullptr},       {"PasswordSummary", pgSecurity, "Password"},
        {"VersionsSummary", pgSecurity, "Versions"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Field);
        ClickTab(pgSummary);
        ASSERT_EQ(Page(), pgSummary);
        ClickSummary(c.Field);
        EXPECT_EQ(Page(), c.Page);
        if (c.Focused) {
            QWidget* focused = Child<QWidget>(c.Focused);
            EXPECT_TRUE(ServeEventsUntil([&] {
                QWidget* focus = QApplication::focusWidget();
                return focus && (focus == focused || focused->isAncestorOf(focus));
            })) << (QApplication::focusWidget()
                        ? QApplication::focusWidget()->objectName().toStdString()
                        : "nothing focused");
        }
    }
    ClickTab(pgLocations);
    SourceTree()->BuildFromList({"C:\\Documents", "C:\\Pictures", "D:\\"});
    SelectTarget("C:\\Backups\\Daily");
    Child<QCheckBox>("Compress")->setChecked(false);
    ClickTab(pgExclude);
    QListWidget* excluded = Child<QListWidget>("ExcludeMasks");
    excluded->setFocus();
    excluded->setCurrentRow(0);
    QTest::keyClick(excluded, Qt::Key_Delete);
    ClickTab(pgSecurity);
    Child<QSpinBox>("Versions")->setValue(4);
    ClickTab(pgSummary);
    EXPECT_EQ(Summary("ExcludeSummary"), ".tmp");
    EXPECT_EQ(Summary("SourceSummary"), "Drives C, D (Selected Folders)");
    EXPECT_EQ(Summary("TargetSummary"), "C:\\Backups\\Daily");
    EXPECT_EQ(Summary("CompressSummary"), "no");
    EXPECT_EQ(Summary("VersionsSummary"), "4");
}

// Takes the file addresses the desktop would be asked to open.
class TUrlCatcher : public QObject {
    Q_OBJECT

  public:
    TUrlCatcher() { QDesktopServices::setUrlHandler("file", this, "Open"); }
    ~TUrlCatcher() override { QDesktopServices::unsetUrlHandler("file"); }
    std::vector<QUrl> Opened;

  public Q_SLOTS:
    void Open(const QUrl& url) { Opened.push_back(url); }
};

TEST_F(EditProfileForm_, HelpOpensThePageOfTheShownPage) {
    TUrlCatcher urls;
    Open();
    const int contexts[] = {hcEditSummary, hcEditLocations, hcEditInclude, hcEditExclude,
                            hcEditSecurity};
    for (int page = pgSummary; page <= pgSecurity; ++page) {
        SCOPED_TRACE(page);
        ClickTab(page);
        ASSERT_EQ(Page(), page);
        urls.Opened.clear();
        Click("HelpButton");
        ASSERT_EQ(urls.Opened.size(), 1u);
        EXPECT_EQ(urls.Opened.front().toLocalFile().toStdString(),
                  HelpFileFor(contexts[page]).Text());
    }
}

// Each rule of a page keeps the user on it, whether the page is left by its tab or by the
// keyboard; once the fault is mended the page may be left and holds what was chosen.
TEST_F(EditProfileForm_, APageThatBreaksARuleCannotBeLeft) {
    struct Case {
        const char* Rule;
        int Page;
        std::function<void(EditProfileForm_&)> Break;
        int Message;
        std::function<void(EditProfileForm_&)> Mend;
    };
    const Case cases[] = {
        {"no folder", pgLocations, [](auto& t) { t.SourceTree()->BuildFromList({}); }, StrNoFolders,
         [](auto& t) { t.SourceTree()->BuildFromList({"C:\\Pictures"}); }},
        {"no target", pgLocations, [](auto& t) { t.TargetPath()->setCurrentIndex(-1); },
         StrNoTarget, [](auto& t) { t.SelectTarget("D:\\Backups"); }},
        {"target guarded", pgLocations, [](auto& t) { t.SelectTarget("c:\\documents"); },
         StrTargetIsSource, [](auto& t) { t.SelectTarget("D:\\Backups"); }},
        {"no file types", pgInclude,
         [](auto& t) {
             QListWidget* masks = t.template Child<QListWidget>("IncludeMasks");
             masks->setFocus();
             masks->setCurrentRow(0);
             QTest::keyClick(masks, Qt::Key_Delete);
             ASSERT_EQ(masks->count(), 0);
         },
         StrNoFileTypes, [](auto& t) { t.Click("IncludeDefButton"); }},
        {"passwords differ", pgSecurity,
         [](auto& t) {
             t.PasswordBox()->click();
             t.TypePasswords("Secret", "secret");
         },
         StrPasswordsDiffer, [](auto& t) { t.TypePasswords("Secret", "Secret"); }},
        {"no password", pgSecurity,
         [](auto& t) {
             t.PasswordBox()->click();
             t.TypePasswords("", "");
         },
         StrNoPassword, [](auto& t) { t.PasswordBox()->click(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Rule);
        Open();
        Pages()->setCurrentIndex(c.Page);
        ASSERT_EQ(Page(), c.Page);
        c.Break(*this);
        Script.Expect(c.Message, IDOK);
        ClickTab(pgSummary);
        EXPECT_EQ(Page(), c.Page) << "left by its tab";
        Script.Expect(c.Message, IDOK);
        Pages()->setCurrentIndex(pgExclude == c.Page ? pgSummary : pgExclude);
        EXPECT_EQ(Page(), c.Page) << "left by the keyboard";
        c.Mend(*this);
        ClickTab(pgSummary);
        EXPECT_EQ(Page(), pgSummary);
        Cancel();
    }
}

TEST_F(EditProfileForm_, LeavingTheLocationsWritesThemIntoTheProfile) {
    Open();
    ClickTab(pgLocations);
    SourceTree()->BuildFromList({"C:\\Pictures", "C:\\Documents\\Letters"});
    SelectTarget("D:\\Backups");
    Child<QCheckBox>("Compress")->setChecked(false);
    ClickTab(pgSecurity);
    std::vector<std::string> sources = Profile()->GetSourceFolders();
    std::sort(sources.begin(), sources.end());
    EXPECT_EQ(sources, (std::vector<std::string>{"C:\\Documents", "C:\\Pictures"}))
        << "Letters is all of Documents";
    EXPECT_EQ(Profile()->Target, "D:\\Backups");
    EXPECT_EQ(Profile()->Header.Compression, 0);
    EXPECT_TRUE(Profile()->Modified);
}

TEST_F(EditProfileForm_, BrowseAddsTheChosenFolderAsTheTarget) {
    fs::create_directories(Drives.Path() / "d" / "Backups");
    std::string caption;
    const TFolderDialog previous =
        SetFolderDialog([&](QWidget*, const std::string& asked) -> std::optional<std::string> {
            caption = asked;
            return (Drives.Path() / "d" / "Backups").string();
        });
    Open();
    ClickTab(pgLocations);
    Click("BrowseButton");
    SetFolderDialog(previous);
    EXPECT_EQ(caption, "Select target drive/folder");
    EXPECT_EQ(TargetPath()->currentText(), "D:\\Backups");
    ClickTab(pgSummary);
    EXPECT_EQ(Profile()->Target, "D:\\Backups");
    EXPECT_EQ(Summary("TargetSummary"), "D:\\Backups");
}

// Opening the editor and leaving its pages changes nothing: a target folder stays that
// folder (not its drive), and a folder that cannot be found now stays guarded.
TEST_F(EditProfileForm_, LeavingThePagesUnchangedChangesNothing) {
    SaveProfiles([](TProfile& profile) { profile.UpdateSource({"C:\\Documents", "E:\\Camera"}); });
    Open();
    EXPECT_TRUE(Child<QLabel>("MissingSources")->text().contains("E:\\Camera"));
    for (int page : {pgLocations, pgInclude, pgExclude, pgSecurity, pgSummary})
        ClickTab(page);
    EXPECT_EQ(Page(), pgSummary);
    EXPECT_EQ(Profile()->Target, "C:\\Backups");
    EXPECT_EQ(Profile()->GetSourceFolders(),
              (std::vector<std::string>{"C:\\Documents", "E:\\Camera"}));
    EXPECT_FALSE(Profile()->Modified);
    Click("CloseButton");
    EXPECT_FALSE(Dialog->isVisible()) << "nothing to ask about";
}

TEST_F(EditProfileForm_, TheVersionsFieldKeepsOneToTen) {
    Open();
    ClickTab(pgSecurity);
    auto* field = Child<QSpinBox>("Versions");
    QLineEdit* edit = field->findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    struct Case {
        const char* Typed;
        const char* WhenLeft;
        int Versions;
    };
    const Case cases[] = {
        {"0", "1", 1}, {"", "1", 1}, {"99", "10", 10}, {"7", "7", 7}, {"1a", "1", 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Typed);
        Retype(field, c.Typed);
        Leave(field);
        EXPECT_EQ(edit->text(), c.WhenLeft);
        ClickTab(pgSummary);
        EXPECT_EQ(Profile()->Header.NumVersions, c.Versions);
        EXPECT_EQ(Summary("VersionsSummary"), c.WhenLeft);
        ClickTab(pgSecurity);
    }
}

TEST_F(EditProfileForm_, ANewPasswordIsSetWhenThePageIsLeft) {
    Open();
    ClickTab(pgSecurity);
    PasswordBox()->click();
    EXPECT_TRUE(Child<QLineEdit>("Password1")->isEnabled());
    EXPECT_EQ(Child<QLineEdit>("Password1")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(Child<QLineEdit>("Password1")->maxLength(), 32);
    TypePasswords("Secret", "Secret");
    ClickTab(pgSummary);
    EXPECT_EQ(Page(), pgSummary);
    EXPECT_TRUE(Profile()->IsPassword("Secret"));
    EXPECT_EQ(Summary("PasswordSummary"), "yes");
}

// Changing the password of a protected profile asks for the old one first: a wrong one is
// asked again, Cancel keeps the old password and lets the page be left.
TEST_F(EditProfileForm_, ChangingAPasswordAsksForTheOldOne) {
    struct Case {
        const char* Answer;
        std::vector<TDialogSteps::TStep> Steps;
        std::vector<int> Messages;
        const char* PasswordAfter;
    };
    const auto type = [](const char* text) {
        return TDialogSteps::Type("Password", text, "OKBtn");
    };
    const Case cases[] = {
        {"right", {type("Secret")}, {StrPasswordChanged}, "New"},
        {"wrong, then right",
         {type("Wrong"), type("Secret")},
         {StrWrongPassword, StrPasswordChanged},
         "New"},
        {"cancel", {TDialogSteps::Press("CancelBtn")}, {}, "Secret"},
        {"wrong, then cancel",
         {type("Wrong"), TDialogSteps::Press("CancelBtn")},
         {StrWrongPassword},
         "Secret"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Answer);
        SaveProfiles([](TProfile& profile) { profile.UpdatePassword("Secret"); });
        Open();
        ClickTab(pgSecurity);
        EXPECT_TRUE(PasswordBox()->isChecked());
        TypePasswords("New", "New");
        for (const TDialogSteps::TStep& step : c.Steps)
            Dialogs.Then(step);
        for (int message : c.Messages)
            Script.Expect(message, IDOK);
        ClickTab(pgSummary);
        EXPECT_EQ(Page(), pgSummary);
        EXPECT_TRUE(Profile()->IsPassword(c.PasswordAfter));
        EXPECT_TRUE(PasswordBox()->isChecked());
        ClickTab(pgSecurity);
        ClickTab(pgSummary);  // asks nothing more
        Cancel();
    }
}

TEST_F(EditProfileForm_, UncheckingAProtectedProfileAsksForItsPassword) {
    struct Case {
        const char* Answer;
        std::vector<TDialogSteps::TStep> Steps;
        std::vector<int> Messages;
        bool ProtectedAfter;
    };
    const auto type = [](const char* text) {
        return TDialogSteps::Type("Password", text, "OKBtn");
    };
    const Case cases[] = {
        {"right", {type("Secret")}, {StrPasswordRemoved}, false},
        {"wrong, then right",
         {type("Wrong"), type("Secret")},
         {StrWrongPassword, StrPasswordRemoved},
         false},
        {"cancel", {TDialogSteps::Press("CancelBtn")}, {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Answer);
        SaveProfiles([](TProfile& profile) { profile.UpdatePassword("Secret"); });
        Open();
        ClickTab(pgSecurity);
        for (const TDialogSteps::TStep& step : c.Steps)
            Dialogs.Then(step);
        for (int message : c.Messages)
            Script.Expect(message, IDOK);
        PasswordBox()->click();
        EXPECT_EQ(PasswordBox()->isChecked(), c.ProtectedAfter);
        EXPECT_EQ(Child<QLineEdit>("Password1")->isEnabled(), c.ProtectedAfter);
        EXPECT_EQ(Profile()->Header.Key != 0, c.ProtectedAfter);
        if (c.ProtectedAfter) {
            EXPECT_TRUE(Profile()->IsPassword("Secret"));
        }
        ClickTab(pgSummary);
        EXPECT_EQ(Page(), pgSummary);
        Cancel();
    }
}

TEST_F(EditProfileForm_, UncheckingAnUnprotectedProfileAsksNothing) {
    Open();
    ClickTab(pgSecurity);
    PasswordBox()->click();
    TypePasswords("abc", "abc");
    PasswordBox()->click();
    EXPECT_FALSE(Child<QLineEdit>("Password1")->isEnabled());
    EXPECT_EQ(Child<QLineEdit>("Password1")->text(), "");
    ClickTab(pgSummary);
    EXPECT_EQ(Profile()->Header.Key, 0);
}

TEST_F(EditProfileForm_, SaveAsRefusesATitleInUseAndSavesUnderANewOne) {
    Open();
    Dialogs.Then([&](QDialog& titleForm) {
        ChildOf<QLineEdit>(titleForm, "Title")->setText("pictures");
        Script.Expect(StrTitleExists, IDOK);
        TDialogSteps::Press(titleForm, "SaveButton");
        EXPECT_TRUE(titleForm.isVisible());
        TDialogSteps::Press(titleForm, "CancelButton");
    });
    Click("SaveAsButton");
    EXPECT_EQ(Profile()->Title, "Documents");
    EXPECT_EQ(Dialog->windowTitle(), "Vaultaire 2000 Edit Profile - Documents");

    Dialogs.Then(TDialogSteps::Type("Title", "Letters", "SaveButton"));
    Click("SaveAsButton");
    EXPECT_EQ(Dialog->windowTitle(), "Vaultaire 2000 Edit Profile - Letters");
    EXPECT_EQ(Summary("Title"), "Letters");
    EXPECT_FALSE(Profile()->Modified);
    Click("CloseButton");
    EXPECT_FALSE(Dialog->isVisible()) << "saved: nothing to ask about";
    EXPECT_EQ(Reread()->GetTitles(), "Letters,Pictures");
}

TEST_F(EditProfileForm_, SaveWritesTheEditsAndTheDialogStaysOpen) {
    Open();
    ClickTab(pgLocations);
    SelectTarget("D:\\Backups");
    Click("SaveButton");
    EXPECT_TRUE(Dialog->isVisible());
    EXPECT_FALSE(Profile()->Modified);
    Click("CloseButton");
    EXPECT_EQ(Dialog->result(), QDialog::Accepted);
    EXPECT_EQ(Reread()->GetCurrentProfile()->Target, "D:\\Backups");
}

TEST_F(EditProfileForm_, CancelLeavesTheProfilesFileAndTheProfileAsTheyWere) {
    const std::vector<uint8_t> before = ReadBinaryFile(ProfilesFile());
    Open();
    const TProfile opened = *Profile();
    ClickTab(pgLocations);
    SourceTree()->BuildFromList({"D:\\Music"});
    SelectTarget("D:\\Backups");
    Child<QCheckBox>("Compress")->setChecked(false);
    ClickTab(pgInclude);
    QListWidget* included = Child<QListWidget>("IncludeMasks");
    included->setFocus();
    included->setCurrentRow(0);
    QTest::keyClick(included, Qt::Key_Delete);
    QLineEdit* custom = Child<QLineEdit>("IncludeCustom");
    custom->setFocus();
    QTest::keyClicks(custom, "doc");
    Click("IncludeInsertButton");
    ASSERT_EQ(Profile()->GetIncludeMasks(), ".doc");
    ClickTab(pgSecurity);
    Child<QSpinBox>("Versions")->setValue(5);
    PasswordBox()->click();
    TypePasswords("Secret", "Secret");
    ClickTab(pgSummary);
    ASSERT_TRUE(Profile()->Modified);
    Click("CancelButton");
    EXPECT_FALSE(Dialog->isVisible());
    EXPECT_EQ(Dialog->result(), QDialog::Rejected);
    EXPECT_TRUE(*Profile() == opened);
    Manager.reset();
    EXPECT_EQ(ReadBinaryFile(ProfilesFile()), before);
}

// Cancel puts the profile back even on a page that breaks a rule.
TEST_F(EditProfileForm_, CancelClosesOnAPageThatBreaksARule) {
    Open();
    ClickTab(pgLocations);
    SourceTree()->BuildFromList({});
    Click("CancelButton");
    EXPECT_FALSE(Dialog->isVisible());
    EXPECT_EQ(Profile()->GetSourceFolders(), std::vector<std::string>{"C:\\Documents"});
}

TEST_F(EditProfileForm_, ClosingWithoutChangesAsksNothing) {
    const std::vector<uint8_t> before = ReadBinaryFile(ProfilesFile());
    Open();
    ClickTab(pgSecurity);
    Click("CloseButton");
    EXPECT_FALSE(Dialog->isVisible());
    EXPECT_EQ(Dialog->result(), QDialog::Accepted);
    Manager.reset();
    EXPECT_EQ(ReadBinaryFile(ProfilesFile()), before);
}

// Every way of closing asks whether to save changes: Yes saves and closes, No puts the
// profile back and closes, Cancel keeps the dialog open with the edits.
TEST_F(EditProfileForm_, ClosingWithChangesAsksWhetherToSaveThem) {
    struct Way {
        const char* Name;
        std::function<void(EditProfileForm_&)> Close;
    };
    const Way ways[] = {
        {"close button", [](auto& t) { t.Click("CloseButton"); }},
        {"close box", [](auto& t) { t.Dialog->close(); }},
        {"escape", [](auto& t) { QTest::keyClick(t.Dialog.data(), Qt::Key_Escape); }},
    };
    struct Answer {
        int Answer;
        bool StaysOpen;
        bool Saved;
    };
    const Answer answers[] = {{IDYES, false, true}, {IDNO, false, false}, {IDCANCEL, true, false}};
    for (const Way& way : ways) {
        for (const Answer& answer : answers) {
            SCOPED_TRACE(std::string(way.Name) + " " + std::to_string(answer.Answer));
            Open();
            ClickTab(pgLocations);
            Child<QCheckBox>("Compress")->setChecked(false);
            Script.Expect(StrSaveChanges, answer.Answer);
            way.Close(*this);
            EXPECT_EQ(Dialog->isVisible(), answer.StaysOpen);
            if (answer.StaysOpen) {
                EXPECT_FALSE(Child<QCheckBox>("Compress")->isChecked()) << "the edit stays";
                EXPECT_EQ(Profile()->Header.Compression, 0);
                Cancel();
            } else {
                EXPECT_EQ(Profile()->Header.Compression, answer.Saved ? 0 : 1);
                UnloadForm(Module);
            }
            EXPECT_EQ(Reread()->GetCurrentProfile()->Header.Compression, answer.Saved ? 0 : 1);
            Manager.reset();
            SaveProfiles([](TProfile&) {});
        }
    }
}

// A profiles file that cannot be written: the user is told, and the dialog stays open with
// the edits, whether it was Save or Yes to saving on closing.
TEST_F(EditProfileForm_, AProfilesFileThatCannotBeWrittenKeepsTheDialogOpen) {
    struct Case {
        const char* Way;
        std::function<void(EditProfileForm_&)> Save;
    };
    const Case cases[] = {
        {"save",
         [](auto& t) {
             t.Script.ExpectText("Vaultaire.vlp", IDOK);
             t.Click("SaveButton");
         }},
        {"close and save",
         [](auto& t) {
             t.Script.Expect(StrSaveChanges, IDYES);
             t.Script.ExpectText("Vaultaire.vlp", IDOK);
             t.Click("CloseButton");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Way);
        Open();
        ClickTab(pgLocations);
        SelectTarget("D:\\Backups");
        fs::remove(ProfilesFile());
        fs::create_directories(ProfilesFile() / "in-the-way");
        c.Save(*this);
        EXPECT_TRUE(Dialog->isVisible());
        EXPECT_EQ(TargetPath()->currentText(), "D:\\Backups");
        EXPECT_EQ(Profile()->Target, "D:\\Backups");
        EXPECT_TRUE(Profile()->Modified);
        fs::remove_all(ProfilesFile());
        Cancel();
        SaveProfiles([](TProfile&) {});
    }
}

TEST_F(EditProfileForm_, AReadOnlyDataFolderKeepsTheDialogOpen) {
    if (geteuid() == 0)
        GTEST_SKIP() << "a read-only folder does not stop root";
    Open();
    ClickTab(pgLocations);
    SelectTarget("D:\\Backups");
    fs::permissions(Data.Dir().Path(), fs::perms::owner_write, fs::perm_options::remove);
    Script.ExpectText("Vaultaire.vlp", IDOK);
    Click("SaveButton");
    fs::permissions(Data.Dir().Path(), fs::perms::owner_write, fs::perm_options::add);
    EXPECT_TRUE(Dialog->isVisible());
    EXPECT_EQ(Profile()->Target, "D:\\Backups");
    EXPECT_TRUE(Profile()->Modified);
}

}  // namespace

#include "editprofile_test.moc"
