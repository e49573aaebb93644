#include "selectprofile.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "formtest.h"
#include "profile.h"
#include "profilemgr.h"
#include "qtenvironment.h"
#include "scriptedinteraction.h"
#include "testenv.h"

namespace {

// Each test gets a data folder of its own with the profiles it makes.
class SelectProfileForm : public testing::Test {
  protected:
    void SetUp() override {
        TQtEnvironment::App();
        SavedHome = std::getenv("VAULTAIRE_HOME");
        setenv("VAULTAIRE_HOME", Data.Path().c_str(), 1);
        Previous = SetInteraction(&Script);
    }
    void TearDown() override {
        SetInteraction(Previous);
        setenv("VAULTAIRE_HOME", SavedHome.c_str(), 1);
    }

    std::unique_ptr<TProfileMgr> ManagerWith(const std::vector<std::string>& titles, int current) {
        auto manager = std::make_unique<TProfileMgr>();
        for (const std::string& title : titles) {
            auto profile = std::make_unique<TProfile>();
            profile->Title = title;
            profile->Source = "C:\\Data";
            manager->AddNewProfile(std::move(profile));
        }
        manager->CurrentIndex = current;
        return manager;
    }

    TTempDir Data;
    std::string SavedHome;
    TScriptedInteraction Script;
    TInteraction* Previous = nullptr;
};

TEST_F(SelectProfileForm, ListsTheTitlesWithTheCurrentOneSelected) {
    auto manager = ManagerWith({"Letters", "Photos, 2024", "Accounts"}, 1);
    TSelectProfileForm form(nullptr, *manager);

    EXPECT_EQ(form.windowTitle(), "Select Vaultaire 2000 Profile");
    EXPECT_EQ(LabelText(form, "Label1"), "Select the desired profile and press OK.");
    auto* titles = Child<QComboBox>(form, "Titles");
    ASSERT_NE(titles, nullptr);
    EXPECT_FALSE(titles->isEditable());
    ASSERT_EQ(titles->count(), 3);
    EXPECT_EQ(titles->itemText(0), "Letters");
    EXPECT_EQ(titles->itemText(1), "Photos, 2024");
    EXPECT_EQ(titles->itemText(2), "Accounts");
    EXPECT_EQ(titles->currentIndex(), 1);
    EXPECT_EQ(form.InitialIndex(), 1);
    EXPECT_EQ(titles->property("HelpContext").toInt(), 5900);
    EXPECT_EQ(Child<QPushButton>(form, "OkButton")->property("HelpContext").toInt(), 5910);
}

TEST_F(SelectProfileForm, OkWithoutAChangeReportsNoChange) {
    auto manager = ManagerWith({"Letters", "Photos"}, 0);
    TSelectProfileForm form(nullptr, *manager);
    QTimer::singleShot(0, &form, [&] { Child<QPushButton>(form, "OkButton")->click(); });

    EXPECT_EQ(form.exec(), QDialog::Accepted);
    EXPECT_FALSE(form.SelectionChanged());
    EXPECT_EQ(form.SelectedTitle(), "Letters");
}

TEST_F(SelectProfileForm, OkAfterPickingAnotherTitleNamesIt) {
    auto manager = ManagerWith({"Letters", "Photos"}, 0);
    TSelectProfileForm form(nullptr, *manager);
    QTimer::singleShot(0, &form, [&] {
        Child<QComboBox>(form, "Titles")->setCurrentIndex(1);
        Child<QPushButton>(form, "OkButton")->click();
    });

    EXPECT_EQ(form.exec(), QDialog::Accepted);
    EXPECT_TRUE(form.SelectionChanged());
    EXPECT_EQ(form.SelectedTitle(), "Photos");
}

TEST_F(SelectProfileForm, WithoutACurrentProfileNothingIsSelected) {
    auto manager = ManagerWith({"Letters", "Photos"}, -1);
    TSelectProfileForm form(nullptr, *manager);

    EXPECT_EQ(form.InitialIndex(), -1);
    EXPECT_EQ(Child<QComboBox>(form, "Titles")->currentIndex(), -1);
    EXPECT_FALSE(form.SelectionChanged());
}

TEST_F(SelectProfileForm, SitsInTheCornerOfTheAvailableArea) {
    auto manager = ManagerWith({"Letters", "Photos"}, 0);
    TSelectProfileForm form(nullptr, *manager);
    QRect area = form.screen()->availableGeometry();

    EXPECT_EQ(form.frameGeometry().right(), area.right());
    EXPECT_EQ(form.frameGeometry().bottom(), area.bottom());
}

}  // namespace
