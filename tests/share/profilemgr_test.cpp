#include "profilemgr.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/registry.h"
#include "scriptedinteraction.h"
#include "testenv.h"

namespace fs = std::filesystem;

namespace {

// Each test gets a data folder of its own, so it starts without profiles or settings.
class ProfileManager : public testing::Test {
  protected:
    void SetUp() override {
        SavedHome = std::getenv("VAULTAIRE_HOME");
        setenv("VAULTAIRE_HOME", Data.Path().c_str(), 1);
        Previous = SetInteraction(&Script);
    }
    void TearDown() override {
        SetInteraction(Previous);
        setenv("VAULTAIRE_HOME", SavedHome.c_str(), 1);
        EXPECT_TRUE(Script.Unexpected().empty());
        EXPECT_EQ(Script.Pending(), 0u);
    }

    // Makes a manager holding profiles with these titles, saved to the data folder.
    void SaveProfiles(const std::vector<std::string>& titles, int current = 0) {
        TProfileMgr manager;
        for (const std::string& title : titles) {
            auto profile = std::make_unique<TProfile>();
            profile->Title = title;
            profile->Source = "C:\\" + title;
            manager.AddNewProfile(std::move(profile));
        }
        manager.CurrentIndex = current;
    }

    fs::path ProfilesFile() const { return Data.Path() / "Vaultaire.vlp"; }

    static std::vector<uint8_t> ReadSettings() {
        TRegistry registry;
        registry.OpenKey(TProfileMgr::RegistryKey(), true);
        return registry.ReadBinaryData("Settings");
    }
    static void WriteSettings(const std::vector<uint8_t>& settings) {
        TRegistry registry;
        registry.OpenKey(TProfileMgr::RegistryKey(), true);
        registry.WriteBinaryData("Settings", settings);
        registry.CloseKey();
    }

    TTempDir Data;
    TScriptedInteraction Script;
    TInteraction* Previous = nullptr;
    std::string SavedHome;
};

}  // namespace

TEST_F(ProfileManager, StartsEmptyAndStoresNoSettingsWithoutProfiles) {
    {
        TProfileMgr manager;
        EXPECT_EQ(TProfile::Manager, &manager);
        EXPECT_EQ(manager.Count(), 0);
        EXPECT_EQ(manager.CurrentIndex, -1);
        EXPECT_EQ(manager.GetCurrentProfile(), nullptr);
        EXPECT_FALSE(manager.OpenMRU());
        EXPECT_FALSE(manager.DeleteCurrentProfile());
    }
    EXPECT_EQ(TProfile::Manager, nullptr);
    EXPECT_EQ(ReadBinaryFile(ProfilesFile()), (std::vector<uint8_t>{0, 0, 0, 0}));
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey("\\Software\\Orvanet\\Vaultaire 2000", false));
    EXPECT_FALSE(registry.ValueExists("Settings"));
    EXPECT_EQ(registry.ReadInteger("Version"), 514);
    EXPECT_FALSE(registry.ReadString("ProgramDir").empty());
}

TEST_F(ProfileManager, ProfilesAndSettingsSurviveARestart) {
    SaveProfiles({"Documents", "Pictures", "Music"}, 2);
    {
        TProfileMgr manager;
        ASSERT_EQ(manager.Count(), 3);
        EXPECT_EQ(manager.GetTitles(), "Documents,Pictures,Music");
        EXPECT_EQ(manager.CurrentIndex, 2);
        EXPECT_EQ(manager.GetCurrentProfile()->Source, "C:\\Music");
        ASSERT_NE(TProfile::ProfileCopy, nullptr);
        EXPECT_TRUE(*TProfile::ProfileCopy == *manager.GetCurrentProfile());
        manager.StartWithWindows = false;
        manager.MaxLogEntries = 32000;
        manager.LogType = 1;
    }
    TProfileMgr manager;
    EXPECT_FALSE(manager.StartWithWindows);
    EXPECT_TRUE(manager.CreateLog);
    EXPECT_EQ(manager.MaxLogEntries, 32000);
    EXPECT_EQ(manager.LogType, 1);
}

TEST_F(ProfileManager, SettingsRecordIsTwentyEightBytesAndKeepsItsReservedBytes) {
    SaveProfiles({"Documents"});
    {
        TRegistry registry;
        registry.OpenKey(TProfileMgr::RegistryKey(), true);
        std::vector<uint8_t> settings = registry.ReadBinaryData("Settings");
        ASSERT_EQ(settings.size(), 28u);
        EXPECT_EQ(settings[4], 1) << "start with the desktop";
        EXPECT_EQ(settings[12], 2) << "log type";
        settings[20] = 0x5A;
        settings[0] = 5;  // current index beyond the three profiles
        registry.WriteBinaryData("Settings", settings);
        registry.CloseKey();
    }
    {
        TProfileMgr manager;
        EXPECT_EQ(manager.CurrentIndex, 0) << "an index out of range falls back to the first";
    }
    TRegistry registry;
    registry.OpenKey(TProfileMgr::RegistryKey(), true);
    EXPECT_EQ(registry.ReadBinaryData("Settings")[20], 0x5A);
}

TEST_F(ProfileManager, StoredLogSettingsOutOfRangeAreBroughtIntoIt) {
    SaveProfiles({"Documents"});
    const std::vector<uint8_t> saved = ReadSettings();
    ASSERT_EQ(saved.size(), 28u);
    const std::pair<int32_t, int32_t> cases[] = {{0, 1}, {-5, 1}, {99999, 32000}, {700, 700}};
    for (const auto& [stored, expected] : cases) {
        SCOPED_TRACE(stored);
        std::vector<uint8_t> settings = saved;
        std::memcpy(settings.data() + 8, &stored, 4);
        settings[12] = 7;  // LogType
        settings[20] = 0x5A;
        WriteSettings(settings);
        {
            TProfileMgr manager;
            EXPECT_EQ(manager.MaxLogEntries, expected);
            EXPECT_EQ(manager.LogType, 2);
        }
        EXPECT_EQ(ReadSettings()[20], 0x5A) << "the reserved bytes are kept as they are";
    }
}

TEST_F(ProfileManager, DamagedProfilesFileIsKeptAsideAndReportedOnce) {
    SaveProfiles({"Documents", "Pictures"});
    std::vector<uint8_t> bytes = ReadBinaryFile(ProfilesFile());
    bytes[bytes.size() - 2] ^= 0xFF;  // the second record's closing magic number
    WriteTextFile(ProfilesFile(), std::string(bytes.begin(), bytes.end()));
    Script.Expect(363, IDOK);
    {
        TProfileMgr manager;
        EXPECT_EQ(manager.Count(), 0);
        EXPECT_EQ(manager.CurrentIndex, -1);
        EXPECT_FALSE(fs::exists(ProfilesFile()));
        EXPECT_EQ(ReadBinaryFile(ProfilesFile().string() + ".damaged"), bytes);
    }
    EXPECT_EQ(Script.Asked().size(), 1u);
}

TEST_F(ProfileManager, TitlesClashInTheirFirstSevenCharacters) {
    SaveProfiles({"Documents", "Docs", "Pictures"});
    TProfileMgr manager;
    TProfile* pictures = manager.Items(2);
    struct Case {
        const char* Title;
        bool Valid;
    };
    const Case cases[] = {
        {"DOCUMENTARY", false}, {"Doc", false},     {"Pictures", true}, {"Letters", true},
        {"docs", false},        {"Documen", false}, {"D", false},       {"Music", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(manager.IsValidTitle(pictures, c.Title), c.Valid) << c.Title;
    }
    EXPECT_FALSE(manager.IsValidTitle(nullptr, "Pictures")) << "another profile has it";
    EXPECT_EQ(pictures->UpdateTitle("Docu"), 768);
}

TEST_F(ProfileManager, NewTitlesAreNumberedPastTheTakenOnes) {
    {
        TProfileMgr manager;
        EXPECT_EQ(manager.GetNewTitle(), "Untitled");
        EXPECT_EQ(TProfile().Title, "Untitled");
    }
    SaveProfiles({"Untitled", "Untitled 1"});
    TProfileMgr manager;
    EXPECT_EQ(manager.GetNewTitle(), "Untitled 2");
}

TEST_F(ProfileManager, DeletingKeepsTheLastProfile) {
    SaveProfiles({"Documents"});
    {
        TProfileMgr manager;
        EXPECT_FALSE(manager.DeleteCurrentProfile());
        EXPECT_EQ(manager.Count(), 1);
    }
    SaveProfiles({"Pictures"});
    TProfileMgr manager;
    ASSERT_EQ(manager.Count(), 2);
    ASSERT_TRUE(manager.Open("pictures"));
    EXPECT_EQ(manager.CurrentIndex, 1);
    EXPECT_TRUE(manager.DeleteCurrentProfile());
    EXPECT_EQ(manager.Count(), 1);
    EXPECT_EQ(manager.GetCurrentProfile()->Title, "Documents");
    EXPECT_FALSE(manager.Open("Pictures"));
    EXPECT_FALSE(manager.Open(""));
}

TEST_F(ProfileManager, AddingTheFirstProfileMakesItCurrent) {
    TProfileMgr manager;
    auto first = std::make_unique<TProfile>();
    first->Title = "Documents";
    EXPECT_EQ(manager.AddNewProfile(std::move(first)), 0);
    EXPECT_EQ(manager.CurrentIndex, 0);
    ASSERT_NE(TProfile::ProfileCopy, nullptr);
    EXPECT_EQ(TProfile::ProfileCopy->Title, "Documents");
    EXPECT_FALSE(manager.GetCurrentProfile()->IsNew) << "written at once";

    auto second = std::make_unique<TProfile>();
    second->Title = "Pictures";
    EXPECT_EQ(manager.AddNewProfile(std::move(second)), 1);
    EXPECT_EQ(manager.CurrentIndex, 0);
}

TEST_F(ProfileManager, EditsReachTheFileOnlyWhenSaved) {
    SaveProfiles({"Documents"});
    TProfileMgr manager;
    TProfile edited = *manager.GetCurrentProfile();
    ASSERT_EQ(edited.UpdateTarget("E:\\Backups"), 0);
    EXPECT_TRUE(manager.UpdateCurrentProfile(&edited));
    EXPECT_FALSE(manager.UpdateCurrentProfile(nullptr));
    EXPECT_EQ(TProfile::ProfileCopy->Target, "") << "the copy is the profile as last saved";
    manager.SaveCurrentProfile();
    EXPECT_EQ(TProfile::ProfileCopy->Target, "E:\\Backups");
    EXPECT_FALSE(manager.GetCurrentProfile()->Modified);
}

TEST_F(ProfileManager, AFailedSaveIsReportedAndKeepsTheUnsavedMarks) {
    TProfileMgr manager;
    // A folder in the file's place cannot be replaced by the new file.
    fs::create_directories(ProfilesFile() / "in-the-way");
    Script.ExpectText("Vaultaire.vlp", IDOK);
    auto profile = std::make_unique<TProfile>();
    TProfile* added = profile.get();
    manager.AddNewProfile(std::move(profile));
    EXPECT_TRUE(added->Modified);
    EXPECT_TRUE(added->IsNew);
    fs::remove_all(ProfilesFile());
}

// Other processes share the files: what they write while a manager lives must survive
// that manager when it changed nothing.
TEST_F(ProfileManager, AManagerThatChangesNothingWritesNothing) {
    SaveProfiles({"Documents", "Pictures"}, 1);
    const std::string elsewhere(4, '\0');  // a valid file without profiles
    std::vector<uint8_t> settings;
    {
        TProfileMgr manager;
        EXPECT_EQ(manager.GetTitles(), "Documents,Pictures");
        EXPECT_TRUE(manager.OpenMRU()) << "opening the current profile again changes nothing";
        WriteTextFile(ProfilesFile(), elsewhere);
        settings = ReadSettings();
        settings[8] = 0x77;  // MaxLogEntries
        WriteSettings(settings);
    }
    EXPECT_EQ(ReadTextFile(ProfilesFile()), elsewhere);
    EXPECT_EQ(ReadSettings(), settings);
}

TEST_F(ProfileManager, AProfileAddedByAnotherManagerSurvivesOneThatChangedNothing) {
    SaveProfiles({"Documents"});
    {
        TProfileMgr longLived;
        ASSERT_EQ(longLived.Count(), 1);
        {
            TProfileMgr other;
            auto pictures = std::make_unique<TProfile>();
            pictures->Title = "Pictures";
            other.AddNewProfile(std::move(pictures));
            other.MaxLogEntries = 900;
        }
    }
    TProfileMgr manager;
    EXPECT_EQ(manager.GetTitles(), "Documents,Pictures");
    EXPECT_EQ(manager.MaxLogEntries, 900);
}

TEST_F(ProfileManager, WhatASaveWroteIsNotWrittenAgainAtTheEnd) {
    const std::string elsewhere(4, '\0');
    {
        TProfileMgr manager;
        auto documents = std::make_unique<TProfile>();
        documents->Title = "Documents";
        manager.AddNewProfile(std::move(documents));
        TProfile edited = *manager.GetCurrentProfile();
        ASSERT_EQ(edited.UpdateTarget("E:\\Backups"), 0);
        manager.UpdateCurrentProfile(&edited);
        manager.SaveCurrentProfile();
        WriteTextFile(ProfilesFile(), elsewhere);
    }
    EXPECT_EQ(ReadTextFile(ProfilesFile()), elsewhere);
    EXPECT_EQ(ReadSettings().size(), 28u) << "the first profile's settings are stored";
}

TEST_F(ProfileManager, ChangesLeftUnsavedAreWrittenAtTheEnd) {
    SaveProfiles({"Documents", "Pictures", "Music"});
    {
        TProfileMgr manager;
        ASSERT_TRUE(manager.Open("Pictures"));
    }
    {
        TProfileMgr manager;
        EXPECT_EQ(manager.CurrentIndex, 1) << "the other profile opened";
        TProfile edited = *manager.GetCurrentProfile();
        ASSERT_EQ(edited.UpdateTarget("E:\\Backups"), 0);
        manager.UpdateCurrentProfile(&edited);
    }
    {
        TProfileMgr manager;
        EXPECT_EQ(manager.GetCurrentProfile()->Target, "E:\\Backups") << "an unsaved edit";
        EXPECT_TRUE(manager.DeleteCurrentProfile());
    }
    {
        TProfileMgr manager;
        EXPECT_EQ(manager.GetTitles(), "Documents,Music") << "an unsaved deletion";
        manager.CreateLog = false;
    }
    TProfileMgr manager;
    EXPECT_FALSE(manager.CreateLog) << "a settings change";
}
