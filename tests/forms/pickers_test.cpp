#include "pickers.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <filesystem>
#include <memory>

#include "interaction.h"
#include "profile.h"
#include "qtenvironment.h"
#include "scriptedinteraction.h"
#include "testenv.h"

namespace {

constexpr int StrNoNetworkDrives = 778;
constexpr int StrNoRamDrives = 779;
constexpr int StrFolderUnderNoDrive = 923;

// Drives of every kind the pickers tell apart, each a folder of the test's own.
class Pickers_ : public testing::Test {
  protected:
    void SetUp() override {
        TQtEnvironment::App();
        BoxHolder = std::make_unique<QComboBox>();
        Box = BoxHolder.get();
        for (const char* name : {"c", "d", "n", "r", "outside/sub"})
            std::filesystem::create_directories(Dir.Path() / name);
        UseDriveMap("detect off\nC: fixed " + Dir / "c" + "\nD: removable " + Dir / "d" +
                    "\nN: remote " + Dir / "n" + "\nR: ramdisk " + Dir / "r" + "\n");
        Previous = SetInteraction(&Script);
        PreviousDialog = SetFolderDialog([this](QWidget*, const std::string& caption) {
            Captions.push_back(caption);
            return Chosen;
        });
    }
    void TearDown() override {
        SetFolderDialog(PreviousDialog);
        SetInteraction(Previous);
        EXPECT_TRUE(Script.Unexpected().empty()) << Script.Unexpected().front();
        EXPECT_EQ(Script.Pending(), 0u);
        UseDefaultTestDriveMap();
    }

    std::vector<std::string> Items() const {
        std::vector<std::string> items;
        for (int i = 0; i < Box->count(); ++i)
            items.push_back(Box->itemText(i).toStdString());
        return items;
    }

    TTempDir Dir;
    std::unique_ptr<QComboBox> BoxHolder;
    QComboBox* Box = nullptr;
    TScriptedInteraction Script;
    TInteraction* Previous = nullptr;
    TFolderDialog PreviousDialog;
    std::optional<std::string> Chosen;
    std::vector<std::string> Captions;
};

TEST_F(Pickers_, DriveListLeavesOutRamDisksAndNetworkDrivesUnlessAllowed) {
    TProfile profile;
    EXPECT_EQ(BuildDriveList(Box, &profile, false), -1);
    ASSERT_EQ(Box->count(), 2);
    EXPECT_EQ(AttachedDriveLetter(Box, 0), 'C');
    EXPECT_EQ(AttachedDriveLetter(Box, 1), 'D');
    EXPECT_EQ(Box->currentIndex(), -1) << "no target, nothing selected";

    BuildDriveList(Box, &profile, true);
    ASSERT_EQ(Box->count(), 3) << "the list is emptied first";
    EXPECT_EQ(AttachedDriveLetter(Box, 2), 'N');
    EXPECT_NE(Box->itemText(2).toStdString().find("N:"), std::string::npos) << Items()[2];
}

TEST_F(Pickers_, DriveListSelectsTheTargetsDriveOrAddsTheTarget) {
    TProfile profile;
    profile.Target = "d:\\Backups";
    EXPECT_EQ(BuildDriveList(Box, &profile, false), 1);
    EXPECT_EQ(Box->currentIndex(), 1);

    profile.Target = "Q:\\Backups";
    EXPECT_EQ(BuildDriveList(Box, &profile, false), -1);
    ASSERT_EQ(Box->count(), 3);
    EXPECT_EQ(Box->currentIndex(), 2);
    EXPECT_EQ(Box->currentText().toStdString(), "Q:\\Backups");
    EXPECT_EQ(AttachedDriveLetter(Box, 2), 0);
}

TEST_F(Pickers_, BrowsingSelectsADriveRootAndAddsAFolderOnce) {
    BuildDriveList(Box, nullptr, false);
    Chosen = (Dir.Path() / "d").string();
    EXPECT_TRUE(BrowseForFolder(Box, "Pick one", false));
    EXPECT_EQ(Box->currentIndex(), 1) << "a drive root selects its drive";
    EXPECT_EQ(Captions, std::vector<std::string>{"Pick one"});

    std::filesystem::create_directories(Dir.Path() / "c/Old Files");
    Chosen = (Dir.Path() / "c/Old Files").string();
    EXPECT_TRUE(BrowseForFolder(Box, "Pick one", false));
    ASSERT_EQ(Box->count(), 3);
    EXPECT_EQ(Box->currentText().toStdString(), "C:\\Old Files");
    EXPECT_EQ(AttachedDriveLetter(Box, 2), 0);

    Box->setCurrentIndex(0);
    EXPECT_TRUE(BrowseForFolder(Box, "Pick one", false));
    EXPECT_EQ(Box->count(), 3) << "a listed folder is not added again";
    EXPECT_EQ(Box->currentIndex(), 0) << "and the selection stays";
}

TEST_F(Pickers_, BrowsingRefusesFoldersItCannotUse) {
    struct TCase {
        const char* What;
        std::string Folder;
        bool AllowNetwork;
        int Message;  // 0: accepted
    };
    const TCase cases[] = {
        {"network drive", (Dir.Path() / "n").string(), false, StrNoNetworkDrives},
        {"network drive allowed", (Dir.Path() / "n").string(), true, 0},
        {"RAM disk", (Dir.Path() / "r").string(), true, StrNoRamDrives},
        {"folder under no drive", (Dir.Path() / "outside/sub").string(), true,
         StrFolderUnderNoDrive},
        {"not a host path", "relative/folder", true, StrFolderUnderNoDrive},
    };
    for (const TCase& c : cases) {
        BuildDriveList(Box, nullptr, true);
        Box->setCurrentIndex(0);
        Chosen = c.Folder;
        if (c.Message != 0)
            Script.Expect(c.Message, IDOK);
        EXPECT_EQ(BrowseForFolder(Box, "Pick", c.AllowNetwork), c.Message == 0) << c.What;
        if (c.Message != 0) {
            EXPECT_EQ(Box->count(), 3) << c.What << ": nothing is added";
            EXPECT_EQ(Box->currentIndex(), 0) << c.What;
        }
    }
}

TEST_F(Pickers_, NoChoiceChangesNothing) {
    BuildDriveList(Box, nullptr, false);
    Box->setCurrentIndex(1);
    Chosen.reset();
    EXPECT_FALSE(BrowseForFolder(Box, "Pick", false));
    EXPECT_EQ(Box->count(), 2);
    EXPECT_EQ(Box->currentIndex(), 1);
    EXPECT_EQ(ChooseFolder(nullptr, "Pick"), std::nullopt);
}

TEST(IsValidChar, RefusesCarriageReturnAndEverythingFromColonTo127) {
    for (int code = 0; code < 256; ++code) {
        const bool refused = code == 13 || (code >= ':' && code <= 127);
        EXPECT_EQ(IsValidChar(static_cast<char>(code)), !refused) << "character " << code;
    }
}

}  // namespace
