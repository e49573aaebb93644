// The page rules the profile editor and the profile wizard share.
#include "pagerules.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <memory>

#include "numberedit.h"
#include "pickers.h"
#include "profilemgr.h"
#include "qtenvironment.h"
#include "sandboxdata.h"

namespace {

TEST(PageRules, TheTargetOfAnEntryIsItsDrivesRootOrItsText) {
    struct Case {
        char Letter;
        const char* Text;
        const char* Target;
    };
    const Case cases[] = {
        {'D', "Backup disk (D:)", "D:\\"},
        {'d', "Backup disk (D:)", "D:\\"},
        {'C', "", "C:\\"},
        {0, "C:\\Backups\\Daily", "C:\\Backups\\Daily"},
        {0, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(TargetOfEntry(c.Letter, c.Text), c.Target);
    }
}

TEST(PageRules, TheSourceSummaryNamesTheDrivesAndWhetherFoldersWereChosen) {
    struct Case {
        std::vector<std::string> Folders;
        const char* Text;
    };
    const Case cases[] = {
        {{"C:\\", "D:\\Work"}, "Drives C, D (All Folders)"},
        {{"C:\\A", "C:\\B"}, "Drive C (Selected Folders)"},
        {{"C:\\"}, "Drive C (All Folders)"},
        {{"d:\\Music"}, "Drive D (All Folders)"},
        {{"C:\\A", "D:\\", "c:\\B", "E:\\"}, "Drives C, D, E (Selected Folders)"},
        {{"E:\\", "C:\\"}, "Drives C, E (All Folders)"},
        {{}, ""},
        {{"", "\\\\server\\share"}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(SourceSummaryText(c.Folders), c.Text);
    }
}

TEST(PageRules, SummaryListsAndAnswers) {
    EXPECT_EQ(MaskSummaryText({".*"}), ".*");
    EXPECT_EQ(MaskSummaryText({".bak", ".tmp", ".~*"}), ".bak, .tmp, .~*");
    EXPECT_EQ(MaskSummaryText({}), "");
    EXPECT_EQ(YesNoText(true), "yes");
    EXPECT_EQ(YesNoText(false), "no");
}

class PageRulesWithProfile : public testing::Test {
  protected:
    void SetUp() override {
        TQtEnvironment::App();
        Manager = std::make_unique<TProfileMgr>();
        Profile = std::make_unique<TProfile>();
    }
    TFreshDataFolder Data;
    std::unique_ptr<TProfileMgr> Manager;
    std::unique_ptr<TProfile> Profile;
};

TEST_F(PageRulesWithProfile, ThePasswordFieldsAreReadAgainstTheProfilesPassword) {
    using enum TPasswordEntry;
    struct Case {
        const char* Stored;  // empty: no password
        const char* Password;
        const char* Confirmation;
        TPasswordEntry Entry;
    };
    const Case cases[] = {
        {"", "Secret", "secret", peMismatch},
        {"", "Secret", "", peMismatch},
        {"", "", "", peEmpty},
        {"", "Secret", "Secret", peNew},
        {"Secret", "Secret", "Secret", peUnchanged},
        {"Secret", "", "", peUnchanged},
        {"Secret", "Other", "Other", peChanged},
        {"Secret", "Tiger", "Tiger", peChanged},
        {"Secret", "SECRET", "SECRET", peUnchanged},  // keys ignore letter case
        {"Secret", "Other", "Secret", peMismatch},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Stored) + "/" + c.Password + "/" + c.Confirmation);
        Profile->DeletePassword();
        if (*c.Stored) {
            ASSERT_EQ(Profile->UpdatePassword(c.Stored), 0);
        }
        EXPECT_EQ(ReadPasswordEntry(*Profile, c.Password, c.Confirmation), c.Entry);
    }
}

TEST_F(PageRulesWithProfile, PasswordFieldsAreMaskedLimitedAndEmptiedWhenDisabled) {
    QLineEdit password;
    QLineEdit confirmation;
    SetUpPasswordField(&password);
    SetUpPasswordField(&confirmation);
    EXPECT_EQ(password.echoMode(), QLineEdit::Password);
    EXPECT_EQ(password.maxLength(), kLongestPassword);
    password.setText("Secret");
    confirmation.setText("Secret");
    EnablePasswordFields(&password, &confirmation, true);
    EXPECT_TRUE(password.isEnabled());
    EXPECT_EQ(password.text(), "Secret");
    EnablePasswordFields(&password, &confirmation, false);
    EXPECT_FALSE(confirmation.isEnabled());
    EXPECT_EQ(password.text(), "");
    EXPECT_EQ(confirmation.text(), "");
}

// The list gives back the profile's target as it is stored: a folder on a drive stays that
// folder, a drive's root selects the drive.
TEST_F(PageRulesWithProfile, TheTargetListGivesBackTheProfilesTarget) {
    const char* const targets[] = {"C:\\Backups", "C:\\", "Q:\\Gone\\Away", ""};
    QComboBox box;
    for (const char* target : targets) {
        SCOPED_TRACE(target);
        Profile->Target = target;
        FillTargetList(&box, Profile.get());
        EXPECT_EQ(SelectedTarget(&box), target);
        FillTargetList(&box, Profile.get());
        EXPECT_EQ(SelectedTarget(&box), target) << "filled again";
    }
    Profile->Target = "C:\\Backups";
    FillTargetList(&box, Profile.get());
    box.setCurrentIndex(0);
    EXPECT_EQ(AttachedDriveLetter(&box, 0), 'C');
    EXPECT_EQ(SelectedTarget(&box), "C:\\");
}

TEST_F(PageRulesWithProfile, ApplyingTheTargetKeepsItsRules) {
    ASSERT_EQ(Profile->UpdateSource({"C:\\Work"}), 0);
    QComboBox box;
    FillTargetList(&box, Profile.get());
    EXPECT_EQ(ApplyTarget(*Profile, &box), 758) << "nothing selected";
    box.addItem("c:\\work");
    box.setCurrentIndex(box.count() - 1);
    EXPECT_EQ(ApplyTarget(*Profile, &box), 759) << "a folder guarded";
    box.addItem("C:\\Backups");
    box.setCurrentIndex(box.count() - 1);
    EXPECT_EQ(ApplyTarget(*Profile, &box), 0);
    EXPECT_EQ(Profile->Target, "C:\\Backups");
}

TEST_F(PageRulesWithProfile, TheVersionsFieldKeepsOneToTen) {
    TNumberEdit field;
    SetUpVersionsField(&field);
    EXPECT_EQ(field.minimum(), kFewestVersions);
    EXPECT_EQ(field.maximum(), kMostVersions);
    field.setValue(99);
    EXPECT_EQ(field.value(), 10);
}

}  // namespace
