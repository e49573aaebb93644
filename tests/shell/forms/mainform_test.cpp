#include "mainform.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>
#include <functional>

#include "enginefixture.h"
#include "errorcodes.h"
#include "foldertreeclicks.h"
#include "formtest.h"
#include "platform/files.h"
#include "profilemgr.h"
#include "qtenvironment.h"
#include "scriptedinteraction.h"
#include "selectprofile.h"
#include "shutdown.h"
#include "strtable.h"
#include "vfileutil.h"
#include "vloadform.h"
#include "vtrayicon.h"

namespace fs = std::filesystem;

namespace {

enum : int {
    StrEnable = 201,
    StrDisable = 202,
    StrWelcome = 262,
    StrBeginMonitoring = 256,
    StrCancelBackup = 259,
    StrBackupCancelled = 260,
    StrBackupComplete = 261,
    StrDisabled = 258,
    StrNeedProfile = 355,
    StrMonitorError = 357,
    StrBackupHalted = 358,
    StrMissingFile = 359,
    StrWizardIncomplete = 753,
    StrTargetNotFound = 364,
};

// Counts the shutdown windows shown while it lives: each one means automatic backup was
// switched off with the wait.
class TShutdownWindowCounter : public QObject {
  public:
    TShutdownWindowCounter() { qApp->installEventFilter(this); }
    ~TShutdownWindowCounter() override { qApp->removeEventFilter(this); }
    int Shown = 0;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && qobject_cast<TShutdownForm*>(watched))
            ++Shown;
        return false;
    }
};

// The tray program's controller on C:\Data with its copies on E:\, the user's answers
// scripted. The data folder is fresh for every test.
class MainForm : public TSimulatedDrives {
  protected:
    MainForm() { TQtEnvironment::App(); }

    void SetUp() override {
        UseDrives({Drive('C', "fixed", "c"), Drive('E', "fixed", "e")});
        fs::create_directories(Host("c/Data"));
        fs::create_directories(Host("e"));
        // The dialog modules built beside the tests are not this program's: each test
        // starts without them.
        fs::create_directories(Host("no-modules"));
        SetModuleFolder(Host("no-modules"));
        Saved = SetInteraction(&Script);
    }
    void TearDown() override {
        Form.reset();
        SetModuleFolder({});
        SetInteraction(Saved);
        for (const std::string& question : Script.Unexpected())
            ADD_FAILURE() << "unscripted question: " << question;
        EXPECT_EQ(Script.Pending(), 0u) << "scripted questions that were never asked";
    }

    // Stores profiles of these titles (each C:\Data -> E:\), the first current, and marks
    // the program as started before.
    void MakeProfiles(const std::vector<std::string>& titles) {
        {
            TProfileMgr manager;
            for (const std::string& title : titles) {
                auto profile = std::make_unique<TProfile>();
                profile->Title = title;
                profile->UpdateSource({"C:\\Data"});
                profile->Target = "E:\\";
                ASSERT_GE(manager.AddNewProfile(std::move(profile)), 0);
            }
            if (!titles.empty()) {
                ASSERT_TRUE(manager.Open(titles.front()));
            }
        }
        WriteTextFile(TMainForm::FirstStartMarker(), "started\n");
    }

    TMainForm& Open() {
        Form = std::make_unique<TMainForm>();
        return *Form;
    }
    // Opens the form with automatic backup on.
    TMainForm& OpenMonitoring() {
        Open().EnableAutoBackup();
        EXPECT_EQ(Form->State(), asMonitoring);
        return *Form;
    }

    QAction* Item(const char* name) { return Form->TrayMenu()->findChild<QAction*>(name); }

    // Files for a full backup that takes a moment.
    void MakeFiles(int count) {
        for (int i = 0; i < count; ++i)
            WriteFile("c/Data/f" + std::to_string(i) + ".txt", RandomBytes(20000, i));
    }

    // Runs the dialog that opens next through answer, then goes on.
    void WhenDialogOpens(const std::function<void(QWidget&)>& answer) {
        QTimer::singleShot(0, [answer] {
            QWidget* modal = QApplication::activeModalWidget();
            ASSERT_NE(modal, nullptr);
            answer(*modal);
        });
    }

    bool ServeUntil(const std::function<bool()>& done) {
        return ServeEventsUntil(done, std::chrono::seconds(30));
    }

    TScriptedInteraction Script;
    TInteraction* Saved = nullptr;
    std::unique_ptr<TMainForm> Form;
};

// ---- The tray menu ----

struct TMenuCase {
    const char* Name;
    std::vector<std::string> Profiles;
    bool Monitoring;
    int EnableCaption;
    bool BackupEnabled, EditEnabled, EnableEnabled, SelectEnabled, DeleteEnabled;
};

class TrayMenuStates : public MainForm, public testing::WithParamInterface<TMenuCase> {};

TEST_P(TrayMenuStates, EnablingAndCaptionsFollowTheState) {
    const TMenuCase& c = GetParam();
    MakeProfiles(c.Profiles);
    if (c.Monitoring)
        OpenMonitoring();
    else
        Open();
    Form->TrayMenuPopup();
    EXPECT_EQ(Item("TrayMenuEnable")->text().toStdString(), LoadStr(c.EnableCaption));
    EXPECT_EQ(Item("TrayMenuFullBackup")->isEnabled(), c.BackupEnabled);
    EXPECT_EQ(Item("TrayMenuEditProfile")->isEnabled(), c.EditEnabled);
    EXPECT_EQ(Item("TrayMenuEnable")->isEnabled(), c.EnableEnabled);
    EXPECT_EQ(Item("TrayMenuSelectProfile")->isEnabled(), c.SelectEnabled);
    EXPECT_EQ(Item("TrayMenuDeleteProfile")->isEnabled(), c.DeleteEnabled);
    for (const char* always :
         {"TrayMenuAbout", "TrayMenuHelp", "TrayMenuRestore", "TrayMenuShowLog",
          "TrayMenuNewProfile", "TrayMenuOptions", "TrayMenuExit"})
        EXPECT_TRUE(Item(always)->isEnabled()) << always;
}

INSTANTIATE_TEST_SUITE_P(
    MainForm, TrayMenuStates,
    testing::Values(
        TMenuCase{"NoProfile", {}, false, StrEnable, false, false, false, false, false},
        TMenuCase{"OneProfileIdle", {"Work"}, false, StrEnable, false, true, true, false, false},
        TMenuCase{
            "OneProfileMonitoring", {"Work"}, true, StrDisable, true, true, true, false, false},
        TMenuCase{
            "TwoProfilesIdle", {"Work", "Home"}, false, StrEnable, false, true, true, true, true},
        TMenuCase{"TwoProfilesMonitoring",
                  {"Work", "Home"},
                  true,
                  StrDisable,
                  true,
                  true,
                  true,
                  true,
                  true}),
    [](const testing::TestParamInfo<TMenuCase>& info) { return std::string(info.param.Name); });

TEST_F(MainForm, TheMenuHoldsItsItemsInOrder) {
    Open();
    std::vector<std::string> names;
    for (QAction* action : Form->TrayMenu()->actions())
        names.push_back(action->isSeparator() ? "-" : action->objectName().toStdString());
    EXPECT_EQ(names, (std::vector<std::string>{
                         "TrayMenuAbout", "TrayMenuHelp", "-", "TrayMenuFullBackup",
                         "TrayMenuRestore", "TrayMenuShowLog", "-", "TrayMenuEnable", "-",
                         "TrayMenuNewProfile", "TrayMenuEditProfile", "TrayMenuSelectProfile",
                         "TrayMenuDeleteProfile", "-", "TrayMenuOptions", "-", "TrayMenuExit"}));
    EXPECT_EQ(Item("TrayMenuAbout")->text(), "Ab&out...");
    EXPECT_EQ(Item("TrayMenuExit")->text(), "E&xit");
}

TEST_F(MainForm, TheTrayHintAndIconFollowTheState) {
    MakeProfiles({"Work"});
    Open();
    Form->UpdateTrayIcon();
    EXPECT_EQ(Form->TrayIcon()->Hint().toStdString(), LoadStr(204));
    Form->EnableAutoBackup();
    EXPECT_EQ(Form->TrayIcon()->Hint().toStdString(), LoadStr(203));
    EXPECT_FALSE(Form->TrayIcon()->Icon().isNull());
}

// ---- The progress window ----

TEST_F(MainForm, ProgressHandlersFillTheWindow) {
    MakeProfiles({"Work"});
    MakeFiles(3);
    OpenMonitoring();
    Form->TrayMenuFullBackupClick();
    ASSERT_EQ(Form->State(), asFullBackup);
    EXPECT_TRUE(Form->isVisible());
    EXPECT_EQ(LabelText(*Form, "Label1").toStdString(), LoadStr(251));
    EXPECT_EQ(LabelText(*Form, "TotalFilesText"), "0");
    EXPECT_EQ(LabelText(*Form, "ProgressLabel"), "");

    // The thread's messages wait in the event loop; the handlers are called here first.
    Form->TotalFilesFound(8);
    EXPECT_EQ(LabelText(*Form, "Label1").toStdString(), LoadStr(252));
    EXPECT_EQ(LabelText(*Form, "TotalFilesText"), "8");
    Form->FilesProcessed(3);
    EXPECT_EQ(LabelText(*Form, "ProcessedText"), "3");
    EXPECT_EQ(LabelText(*Form, "ProgressLabel"), "37% completed.");
    auto* bar = Child<QProgressBar>(*Form, "ProgressBar1");
    EXPECT_EQ(bar->maximum(), 8);
    EXPECT_EQ(bar->value(), 3);

    Script.Expect(StrBackupComplete, IDOK);
    ASSERT_TRUE(ServeUntil([&] { return Form->State() != asFullBackup; }));
    EXPECT_EQ(Form->State(), asMonitoring);  // automatic backup is on again
    EXPECT_FALSE(Form->isVisible());
    EXPECT_EQ(Form->TrayIcon()->Hint().toStdString(), LoadStr(203));
    EXPECT_TRUE(Exists("e/Vaultaire/C/Data/f2.txt.VL001"));
}

TEST_F(MainForm, ATotalOfNoFilesNeverDividesByZero) {
    MakeProfiles({"Work"});
    OpenMonitoring();
    Form->TrayMenuFullBackupClick();
    Form->TotalFilesFound(0);
    EXPECT_EQ(LabelText(*Form, "TotalFilesText"), "0");
    auto* bar = Child<QProgressBar>(*Form, "ProgressBar1");
    EXPECT_GT(bar->maximum(), bar->minimum());  // a position, not the busy indicator
    Form->FilesProcessed(1);                    // a file that appeared after the count
    EXPECT_EQ(LabelText(*Form, "ProcessedText"), "1");
    EXPECT_EQ(LabelText(*Form, "ProgressLabel"), "100% completed.");
    EXPECT_EQ(bar->value(), bar->maximum());
    Script.Expect(StrBackupComplete, IDOK);
    ASSERT_TRUE(ServeUntil([&] { return Form->State() != asFullBackup; }));
}

TEST(ProgressPercent, IsTruncatedAndNeverAboveTheWhole) {
    struct TCase {
        long Processed, Total;
        unsigned Percent;
    };
    for (const TCase& c :
         {TCase{0, 0, 0}, TCase{1, 0, 100}, TCase{0, 7, 0}, TCase{1, 3, 33}, TCase{2, 3, 66},
          TCase{3, 3, 100}, TCase{9, 3, 100}, TCase{2'000'000'000, 4'000'000'000, 50}})
        EXPECT_EQ(ProgressPercent(c.Processed, c.Total), c.Percent)
            << c.Processed << " of " << c.Total;
}

TEST_F(MainForm, CancelAnsweredNoGoesOnAndYesStops) {
    MakeProfiles({"Work"});
    MakeFiles(40);
    OpenMonitoring();
    Form->TrayMenuFullBackupClick();
    ASSERT_EQ(Form->State(), asFullBackup);

    Script.Expect(StrCancelBackup, IDNO);
    Child<QPushButton>(*Form, "CancelButton")->click();
    EXPECT_EQ(Form->State(), asFullBackup);
    EXPECT_TRUE(Form->isVisible());

    // Closing the window asks the same and never closes it by itself.
    Script.Expect(StrCancelBackup, IDNO);
    EXPECT_FALSE(Form->close());
    EXPECT_TRUE(Form->isVisible());

    Script.Expect(StrCancelBackup, IDYES);
    Script.Expect(StrBackupCancelled, IDOK);
    Child<QPushButton>(*Form, "CancelButton")->click();
    EXPECT_FALSE(Form->isVisible());
    EXPECT_EQ(Form->State(), asMonitoring);  // a cancelled backup switches auto-backup on
}

// ---- The error handlers ----

struct TErrorCase {
    const char* Name;
    int Error;
    int Message;
};

class FullBackupErrors : public MainForm, public testing::WithParamInterface<TErrorCase> {};

TEST_P(FullBackupErrors, AreToldByCodeAndLeaveAutoBackupOff) {
    MakeProfiles({"Work"});
    OpenMonitoring();
    Form->TrayMenuFullBackupClick();
    Script.Expect(GetParam().Message, IDOK);
    Form->BackupEnded({GetParam().Error, 0, 0});
    EXPECT_EQ(Form->State(), asIdle);
    EXPECT_FALSE(Form->isVisible());
    EXPECT_EQ(Form->LastError(), GetParam().Error);
    // A later message of the ended run changes nothing.
    Form->FilesProcessed(5);
    EXPECT_EQ(LabelText(*Form, "ProcessedText"), "0");
}

INSTANTIATE_TEST_SUITE_P(
    MainForm, FullBackupErrors,
    testing::Values(TErrorCase{"TargetFull", ERR_TARGETFULL, StrBackupCancelled},
                    TErrorCase{"Cancelled", ERR_CANCELLED, StrBackupCancelled},
                    TErrorCase{"TargetNotFound", ERR_TARGETNOTFOUND, StrTargetNotFound},
                    TErrorCase{"Unexpected", ERR_UNEXPECTED, StrBackupHalted},
                    TErrorCase{"SystemError", 5, StrBackupHalted}),
    [](const testing::TestParamInfo<TErrorCase>& info) { return std::string(info.param.Name); });

class MonitorErrors : public MainForm, public testing::WithParamInterface<TErrorCase> {};

TEST_P(MonitorErrors, AreToldByCodeAndLeaveAutoBackupOff) {
    MakeProfiles({"Work"});
    OpenMonitoring();
    Script.Expect(GetParam().Message, IDOK);
    Form->MonitorError(GetParam().Error);
    EXPECT_EQ(Form->State(), asIdle);
    EXPECT_EQ(Form->TrayIcon()->Hint().toStdString(), LoadStr(204));
}

INSTANTIATE_TEST_SUITE_P(
    MainForm, MonitorErrors,
    testing::Values(TErrorCase{"TargetNotFound", ERR_TARGETNOTFOUND, StrTargetNotFound},
                    TErrorCase{"Cancelled", ERR_CANCELLED, StrDisabled},
                    TErrorCase{"TargetFull", ERR_TARGETFULL, StrMonitorError},
                    TErrorCase{"SystemError", 5, StrMonitorError}),
    [](const testing::TestParamInfo<TErrorCase>& info) { return std::string(info.param.Name); });

// ---- Profiles ----

TEST_F(MainForm, SelectingTheSameProfileRestartsNothing) {
    MakeProfiles({"Work", "Home"});
    OpenMonitoring();
    TShutdownWindowCounter shutdowns;
    WhenDialogOpens([](QWidget& dialog) {
        ASSERT_NE(qobject_cast<TSelectProfileForm*>(&dialog), nullptr);
        Child<QPushButton>(dialog, "OkButton")->click();
    });
    Form->TrayMenuSelectProfileClick();
    EXPECT_EQ(shutdowns.Shown, 0);
    EXPECT_EQ(Form->State(), asMonitoring);
    EXPECT_EQ(Form->ProfileManager()->GetCurrentProfile()->Title, "Work");
}

TEST_F(MainForm, SelectingAnotherProfileRestartsAutoBackupWithIt) {
    MakeProfiles({"Work", "Home"});
    OpenMonitoring();
    TShutdownWindowCounter shutdowns;
    WhenDialogOpens([](QWidget& dialog) {
        auto* titles = Child<QComboBox>(dialog, "Titles");
        titles->setCurrentIndex(titles->findText("Home"));
        Child<QPushButton>(dialog, "OkButton")->click();
    });
    Form->TrayMenuSelectProfileClick();
    EXPECT_EQ(shutdowns.Shown, 1);
    EXPECT_EQ(Form->State(), asMonitoring);
    EXPECT_EQ(Form->ProfileManager()->GetCurrentProfile()->Title, "Home");
}

TEST_F(MainForm, CommandsOfAMissingModuleSayAFileIsMissing) {
    MakeProfiles({"Work"});
    OpenMonitoring();
    Script.Expect(StrMissingFile, IDOK);
    Form->TrayMenuEditProfileClick();
    EXPECT_EQ(Form->State(), asMonitoring);  // back on after the command
    Script.Expect(StrMissingFile, IDOK);
    Form->TrayMenuRestoreClick();
    EXPECT_EQ(Form->State(), asMonitoring);
    Script.Expect(StrMissingFile, IDOK);
    Form->TrayMenuOptionsClick();
    EXPECT_EQ(Form->State(), asMonitoring);
    EXPECT_TRUE(Form->TrayIcon()->AutoPopup());  // the menu is on again
}

// ---- Start-up ----

TEST_F(MainForm, FirstStartWithoutTheProfileModuleEnds) {
    Open();
    ASSERT_EQ(Form->State(), asFirstStart);
    Script.Expect(StrWelcome, IDOK);
    Script.Expect(StrMissingFile, IDOK);
    Script.Expect(StrNeedProfile, IDOK);
    Form->StartUp({});
    EXPECT_TRUE(Form->Terminated());
    EXPECT_EQ(Form->ExitCode(), kExitError);
    // The welcome is shown once per machine.
    EXPECT_TRUE(FileExists(TMainForm::FirstStartMarker()));
    EXPECT_FALSE(FileExists(ShortcutFileName(LoadStr(101), CSIDL_STARTUP)));
}

// The program's own dialog module: its profile wizard, driven as the user drives it.
class MainFormWithWizard : public MainForm {
  protected:
    void SetUp() override {
        MainForm::SetUp();
        // A second folder on C:, so that C:\Data alone is a choice of its own.
        fs::create_directories(Host("c/Music"));
        SetModuleFolder(PROFILE_MODULE_FOLDER);
    }

    // When the wizard opens: C:\Data to E:\ under title, then Finish; or, with finish
    // false, closed on its first page. The program may serve events before it opens the
    // wizard (switching automatic backup off does): the wizard is looked for until it is
    // there, without holding up the program meanwhile.
    void WhenWizardOpens(const std::string& title, bool finish = true) {
        WizardTitle = title;
        FinishWizard = finish;
        LookForWizard();
    }
    void LookForWizard() {
        QTimer::singleShot(10, [this] {
            QWidget* wizard = QApplication::activeModalWidget();
            if (wizard && wizard->inherits("TProfileWizardForm"))
                Drive(*wizard);
            else
                LookForWizard();
        });
    }
    void Drive(QWidget& wizard) {
        if (!FinishWizard) {
            wizard.close();
            return;
        }
        auto* next = Child<QPushButton>(wizard, "NextButton");
        next->click();
        auto* tree = Child<QTreeWidget>(wizard, "SourceTree");
        ClickCheckBox(*tree, OpenedFolderItem(*tree, "(C:)", "Data"));
        next->click();
        auto* targets = Child<QComboBox>(wizard, "TargetPath");
        targets->setCurrentIndex(targets->findText("(E:)", Qt::MatchEndsWith));
        for (int page = 2; page < 6; ++page)
            next->click();
        Child<QLineEdit>(wizard, "Title")->setText(QString::fromStdString(WizardTitle));
        next->click();
        EXPECT_FALSE(wizard.isVisible()) << "Finish closes the wizard";
    }

    std::string WizardTitle;
    bool FinishWizard = true;
};

TEST_F(MainFormWithWizard, FirstStartMakesTheFirstProfileWithTheWizard) {
    Open();
    ASSERT_EQ(Form->State(), asFirstStart);
    Script.Expect(StrWelcome, IDOK);
    WhenWizardOpens("Work");
    Script.Expect(StrBeginMonitoring, IDYES);
    Form->StartUp({});
    EXPECT_FALSE(Form->Terminated());
    EXPECT_EQ(Form->State(), asMonitoring);
    ASSERT_EQ(Form->ProfileManager()->Count(), 1);
    const TProfile* profile = Form->ProfileManager()->GetCurrentProfile();
    ASSERT_NE(profile, nullptr);
    EXPECT_EQ(profile->Title, "Work");
    EXPECT_EQ(profile->Source, "C:\\Data");
    EXPECT_EQ(profile->Target, "E:\\");
}

TEST_F(MainFormWithWizard, FirstStartWithTheWizardGivenUpEnds) {
    Open();
    Script.Expect(StrWelcome, IDOK);
    WhenWizardOpens("", false);
    Script.Expect(StrWizardIncomplete, IDYES);
    Script.Expect(StrNeedProfile, IDOK);
    Form->StartUp({});
    EXPECT_TRUE(Form->Terminated());
    EXPECT_EQ(Form->ExitCode(), kExitError);
    EXPECT_EQ(Form->ProfileManager()->Count(), 0);
}

TEST_F(MainFormWithWizard, NewProfileAddsTheProfileAndMonitorsWithIt) {
    MakeProfiles({"Work"});
    OpenMonitoring();
    WhenWizardOpens("Home");
    Script.Expect(StrBeginMonitoring, IDYES);
    Form->TrayMenuNewProfileClick();
    EXPECT_EQ(Form->State(), asMonitoring);
    ASSERT_EQ(Form->ProfileManager()->Count(), 2);
    EXPECT_EQ(Form->ProfileManager()->GetCurrentProfile()->Title, "Home");
    EXPECT_TRUE(Form->TrayIcon()->AutoPopup());
}

TEST_F(MainForm, StartUpOpensTheNamedProfileAndWritesTheAutostartEntry) {
    MakeProfiles({"Work", "Home"});
    Open();
    Form->StartUp({"Home"});  // after the splash, which closes itself
    EXPECT_FALSE(Form->Terminated());
    EXPECT_EQ(Form->State(), asMonitoring);
    EXPECT_EQ(Form->ProfileManager()->GetCurrentProfile()->Title, "Home");
    const std::string entry = ShortcutFileName(LoadStr(101), CSIDL_STARTUP);
    ASSERT_TRUE(fs::exists(entry)) << entry;
    EXPECT_NE(ReadTextFile(entry).find("Exec="), std::string::npos);
}

TEST_F(MainForm, ExitBacksUpWhatIsQueuedAndEnds) {
    MakeProfiles({"Work"});
    OpenMonitoring();
    TShutdownWindowCounter shutdowns;
    Form->TrayMenuExitClick();
    EXPECT_EQ(shutdowns.Shown, 1);
    EXPECT_EQ(Form->State(), asIdle);
    EXPECT_TRUE(Form->Terminated());
    EXPECT_EQ(Form->ExitCode(), kExitOk);
}

TEST_F(MainForm, SuspendWhileMonitoringResumesIt) {
    MakeProfiles({"Work"});
    OpenMonitoring();
    Form->Suspend();
    EXPECT_EQ(Form->State(), asIdle);
    Form->Resume();
    EXPECT_EQ(Form->State(), asMonitoring);
}

TEST_F(MainForm, SuspendWhileIdleLeavesAutoBackupOff) {
    MakeProfiles({"Work"});
    Open();
    Form->Suspend();
    Form->Resume();
    EXPECT_EQ(Form->State(), asIdle);
}

}  // namespace
