// The options, "Save Profile As" and old-password dialogs, loaded from the module by name.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <chrono>
#include <functional>
#include <memory>

#include "profiledialogtest.h"

namespace fs = std::filesystem;

namespace {

constexpr int StrTitleExists = 768;
constexpr int StrNoTitle = 769;

fs::path AutostartEntry() {
    return TestSandbox() / "config" / "autostart" / "Vaultaire 2000.desktop";
}

// A module dialog over a data folder of its own with the profiles Documents (current) and
// Pictures. Questions are answered by a script that every test checks at its end.
class TProfileDialogs : public TProfileDialogTest {
  protected:
    void SetUp() override {
        TProfileDialogTest::SetUp();
        fs::remove_all(AutostartEntry().parent_path());
        TProfileMgr manager;
        AddSampleProfiles(manager, {"Documents", "Pictures"}, "C:\\Backups");
    }
    void TearDown() override {
        TProfileDialogTest::TearDown();
        fs::remove_all(AutostartEntry().parent_path());
    }
};

class OptionsForm_ : public TProfileDialogs {
  protected:
    void OpenWith(bool startWithWindows, bool createLog, int maxLogEntries, uint8_t logType) {
        {
            TProfileMgr manager;
            manager.StartWithWindows = startWithWindows;
            manager.CreateLog = createLog;
            manager.MaxLogEntries = maxLogEntries;
            manager.LogType = logType;
        }
        Open("TOptionsForm");
    }
    QSpinBox* MaxLogEntries() const { return Child<QSpinBox>("MaxLogEntries"); }
    std::string SettingsBytes() const {
        return ReadTextFile(Data.Dir().Path() / "Vaultaire 2000.ini");
    }
};

TEST_F(OptionsForm_, ShowsTheManagersSettings) {
    OpenWith(false, true, 1200, 1);
    EXPECT_EQ(Dialog->windowTitle(), "Vaultaire 2000 Options");
    EXPECT_FALSE(Child<QCheckBox>("Autoload")->isChecked());
    EXPECT_EQ(Child<QCheckBox>("Autoload")->text(), "Load Vaultaire 2000 with Windows");
    EXPECT_TRUE(Child<QCheckBox>("LogFile")->isChecked());
    EXPECT_TRUE(Child<QRadioButton>("LogEntryType1")->isChecked());
    EXPECT_EQ(Child<QRadioButton>("LogEntryType0")->text(), "only successful operations");
    EXPECT_EQ(MaxLogEntries()->value(), 1200);
    EXPECT_EQ(MaxLogEntries()->text(), "1200");
    EXPECT_EQ(MaxLogEntries()->singleStep(), 10);
}

TEST_F(OptionsForm_, CreateLogFileEnablesTheLogControls) {
    OpenWith(true, true, 500, 2);
    auto logControlsEnabled = [&](bool enabled) {
        EXPECT_EQ(Child<QGroupBox>("LogEntryType")->isEnabled(), enabled);
        EXPECT_EQ(MaxLogEntries()->isEnabled(), enabled);
        EXPECT_EQ(Child<QLabel>("MaxLogEntriesLabel")->isEnabled(), enabled);
    };
    logControlsEnabled(true);
    Child<QCheckBox>("LogFile")->click();
    logControlsEnabled(false);
    Child<QCheckBox>("LogFile")->click();
    logControlsEnabled(true);
}

TEST_F(OptionsForm_, TheMaximumTakesDigitsOnlyAndStaysWithinItsLimits) {
    OpenWith(true, true, 500, 2);
    QSpinBox* field = MaxLogEntries();
    QLineEdit* edit = field->findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    struct Case {
        const char* Typed;
        const char* Shown;     // while typing: refused keys are dropped
        const char* WhenLeft;  // after the field is left
    };
    const Case cases[] = {
        {"12a3", "123", "123"},
        {"4:5;6", "456", "456"},
        {"", "", "1"},
        {"0", "0", "1"},
        {"99999", "99999", "32000"},
        {"123456", "12345", "12345"},
        {"32000", "32000", "32000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Typed);
        Retype(field, c.Typed);
        EXPECT_EQ(edit->text(), c.Shown);
        Leave(field);
        EXPECT_EQ(edit->text(), c.WhenLeft);
    }
}

TEST_F(OptionsForm_, OkWritesTheSettingsAndTheLoginEntry) {
    OpenWith(false, true, 500, 2);
    ASSERT_FALSE(fs::exists(AutostartEntry()));
    Child<QCheckBox>("Autoload")->setChecked(true);
    Child<QCheckBox>("LogFile")->setChecked(false);
    Child<QRadioButton>("LogEntryType0")->setChecked(true);
    MaxLogEntries()->setValue(250);
    Click("OkButton");
    EXPECT_EQ(Dialog->result(), QDialog::Accepted);
    EXPECT_FALSE(Dialog->isVisible());
    EXPECT_TRUE(fs::exists(AutostartEntry()));
    {
        auto saved = Reread();
        EXPECT_TRUE(saved->StartWithWindows);
        EXPECT_FALSE(saved->CreateLog);
        EXPECT_EQ(saved->LogType, 0);
        EXPECT_EQ(saved->MaxLogEntries, 250);
        EXPECT_EQ(saved->GetCurrentProfile()->Title, "Documents");
    }
    UnloadForm(Module);

    Open("TOptionsForm");
    Child<QCheckBox>("Autoload")->setChecked(false);
    Click("OkButton");
    EXPECT_FALSE(fs::exists(AutostartEntry()));
    EXPECT_FALSE(Reread()->StartWithWindows);
}

TEST_F(OptionsForm_, CancelChangesNothing) {
    OpenWith(false, true, 700, 1);
    const std::string settings = SettingsBytes();
    Child<QCheckBox>("Autoload")->setChecked(true);
    Child<QCheckBox>("LogFile")->setChecked(false);
    Child<QRadioButton>("LogEntryType2")->setChecked(true);
    MaxLogEntries()->setValue(9000);
    Click("CancelButton");
    EXPECT_EQ(Dialog->result(), QDialog::Rejected);
    EXPECT_FALSE(Manager->StartWithWindows);
    EXPECT_TRUE(Manager->CreateLog);
    EXPECT_EQ(Manager->MaxLogEntries, 700);
    EXPECT_EQ(Manager->LogType, 1);
    EXPECT_FALSE(fs::exists(AutostartEntry()));
    Manager.reset();
    EXPECT_EQ(SettingsBytes(), settings);
}

// A login entry that cannot be written: the user is told, nothing is saved and the dialog
// stays open with the choices made.
TEST_F(OptionsForm_, AnEntryThatCannotBeWrittenSaysSoAndKeepsTheChoices) {
    OpenWith(false, true, 500, 2);
    const std::string settings = SettingsBytes();
    WriteTextFile(AutostartEntry().parent_path(), "a file where the folder belongs");
    Child<QCheckBox>("Autoload")->setChecked(true);
    MaxLogEntries()->setValue(40);
    Script.ExpectText("Vaultaire 2000.desktop", IDOK);
    Click("OkButton");
    EXPECT_TRUE(Dialog->isVisible());
    EXPECT_TRUE(Child<QCheckBox>("Autoload")->isChecked());
    EXPECT_EQ(MaxLogEntries()->value(), 40);
    EXPECT_FALSE(Manager->StartWithWindows);
    EXPECT_EQ(Manager->MaxLogEntries, 500);
    EXPECT_EQ(SettingsBytes(), settings);
}

// Settings that cannot be written: the same, and the login entry is put back.
TEST_F(OptionsForm_, SettingsThatCannotBeWrittenSayItAndKeepTheChoices) {
    const fs::path settings = Data.Dir().Path() / "Vaultaire 2000.ini";
    fs::remove(settings);
    fs::create_directory(settings);
    Script.ExpectText("Vaultaire 2000.ini", IDOK);
    Open("TOptionsForm");
    Child<QCheckBox>("Autoload")->setChecked(false);
    Child<QCheckBox>("LogFile")->setChecked(false);
    Script.ExpectText("The options could not be saved.", IDOK);
    Click("OkButton");
    EXPECT_TRUE(Dialog->isVisible());
    EXPECT_FALSE(Child<QCheckBox>("Autoload")->isChecked());
    EXPECT_FALSE(Child<QCheckBox>("LogFile")->isChecked());
    EXPECT_TRUE(Manager->StartWithWindows);
    EXPECT_TRUE(Manager->CreateLog);
    EXPECT_TRUE(fs::exists(AutostartEntry())) << "the entry follows the settings on disk";
    EXPECT_TRUE(fs::is_directory(settings));
}

class ProfileTitleForm_ : public TProfileDialogs {
  protected:
    QLineEdit* Title() const { return Child<QLineEdit>("Title"); }
};

TEST_F(ProfileTitleForm_, ShowsTheTitlesInUseAndTheCurrentOne) {
    Open("TProfileTitleForm");
    EXPECT_EQ(Dialog->windowTitle(), "Save Profile As");
    QListWidget* titles = Child<QListWidget>("Titles");
    ASSERT_EQ(titles->count(), 2);
    EXPECT_EQ(titles->item(0)->text(), "Documents");
    EXPECT_EQ(titles->item(1)->text(), "Pictures");
    EXPECT_EQ(titles->currentRow(), 0);
    EXPECT_EQ(Title()->text(), "Documents");
    EXPECT_TRUE(Child<QPushButton>("SaveButton")->isDefault());
}

TEST_F(ProfileTitleForm_, ATitleThatClashesIsRefusedAndCleared) {
    Open("TProfileTitleForm");
    struct Case {
        const char* Typed;
        int Message;
    };
    const Case cases[] = {
        {"", StrNoTitle},
        {"   ", StrNoTitle},
        {"pictures", StrTitleExists},
        {"Picture frames", StrTitleExists},  // the first seven characters name diskettes
        {"Pic", StrTitleExists},             // a leading part of another title
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Typed);
        Title()->setText(c.Typed);
        Script.Expect(c.Message, IDOK);
        Click("SaveButton");
        EXPECT_TRUE(Dialog->isVisible());
        EXPECT_EQ(Title()->text(), "");
        EXPECT_EQ(Manager->GetCurrentProfile()->Title, "Documents");
    }
}

TEST_F(ProfileTitleForm_, TheOwnTitleOrANewOneIsAccepted) {
    Open("TProfileTitleForm");
    Title()->setText("DOCUMENTS");
    Click("SaveButton");
    EXPECT_EQ(Dialog->result(), QDialog::Accepted);
    EXPECT_EQ(Manager->GetCurrentProfile()->Title, "Documents") << "the same title, no change";
    UnloadForm(Module);

    Open("TProfileTitleForm");
    Title()->setText("Letters");
    Click("SaveButton");
    EXPECT_EQ(Dialog->result(), QDialog::Accepted);
    EXPECT_EQ(Manager->GetCurrentProfile()->Title, "Letters");
    EXPECT_TRUE(Manager->GetCurrentProfile()->Modified) << "the caller saves it";
}

TEST_F(ProfileTitleForm_, CancelKeepsTheTitle) {
    Open("TProfileTitleForm");
    Title()->setText("Letters");
    Click("CancelButton");
    EXPECT_EQ(Dialog->result(), QDialog::Rejected);
    EXPECT_EQ(Manager->GetCurrentProfile()->Title, "Documents");
    EXPECT_FALSE(Manager->GetCurrentProfile()->Modified);
}

TEST_F(TProfileDialogs, ThePasswordDialogAsksForTheOldPassword) {
    Open("TPasswordDlg");
    EXPECT_EQ(Dialog->windowTitle(), "Vaultaire 2000");
    EXPECT_EQ(Child<QLabel>("Label1")->text(), "Please enter old password:");
    QLineEdit* password = Child<QLineEdit>("Password");
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
    EXPECT_EQ(password->maxLength(), 32);
    EXPECT_TRUE(ServeEventsUntil([&] { return password->hasFocus(); }));
    EXPECT_FALSE(Dialog->windowFlags() & Qt::WindowCloseButtonHint);
    QTest::keyClicks(password, "Secret");
    QTest::keyClick(password, Qt::Key_Return);
    EXPECT_EQ(Dialog->result(), QDialog::Accepted) << "OK is the default button";
    EXPECT_EQ(password->text(), "Secret");
    UnloadForm(Module);

    Open("TPasswordDlg");
    QTest::keyClick(Child<QLineEdit>("Password"), Qt::Key_Escape);
    EXPECT_EQ(Dialog->result(), QDialog::Rejected);
}

}  // namespace
