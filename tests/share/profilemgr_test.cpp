#include "profilemgr.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <functional>
#include <optional>

#include "platform/registry.h"
#include "scriptedinteraction.h"
#include "testenv.h"

namespace fs = std::filesystem;

namespace {

std::string Int32Bytes(int32_t value) {
    return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

// The stored records of a profiles file's content, or none when it does not read.
std::optional<std::vector<std::string>> RecordsOf(const std::string& content) {
    try {
        std::vector<std::string> records;
        for (const auto& profile : ReadProfilesContent(content))
            records.push_back(RecordOf(*profile));
        return records;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

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
    fs::path SettingsFile() const { return Data.Path() / "Vaultaire 2000.ini"; }
    // The name of the number-th copy kept of a damaged file.
    static fs::path Kept(const fs::path& file, int number = 1) {
        std::string name = file.string() + ".damaged";
        return number == 1 ? name : name + "-" + std::to_string(number);
    }

    // Runs what another process does while a manager of this one lives: a manager of its
    // own, ended before this one goes on.
    static void InAnotherProcess(TProfileMgr& mine, const std::function<void(TProfileMgr&)>& act) {
        {
            TProfileMgr other;
            act(other);
        }
        TProfile::Manager = &mine;
    }

    // Edits the profile titled title through the manager, as the profile editor does, and
    // saves it.
    static void Edit(TProfileMgr& manager, const std::string& title,
                     const std::function<void(TProfile&)>& change) {
        ASSERT_TRUE(manager.Open(title)) << title;
        TProfile edited = *manager.GetCurrentProfile();
        change(edited);
        manager.UpdateCurrentProfile(&edited);
        manager.SaveCurrentProfile();
    }
    static void Delete(TProfileMgr& manager, const std::string& title) {
        ASSERT_TRUE(manager.Open(title)) << title;
        ASSERT_TRUE(manager.DeleteCurrentProfile());
    }
    static TProfile* Find(TProfileMgr& manager, const std::string& title) {
        int index = manager.IndexOfTitle(title);
        return index < 0 ? nullptr : manager.Items(index);
    }

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
    EXPECT_TRUE(manager.SaveCurrentProfile());
    EXPECT_EQ(TProfile::ProfileCopy->Target, "E:\\Backups");
    EXPECT_FALSE(manager.GetCurrentProfile()->Modified);
}

// A save that fails leaves the copy as it was, so undoing the edits still goes back to what
// the file holds.
TEST_F(ProfileManager, ASaveOfTheCurrentProfileThatFailsSaysSoAndKeepsTheCopy) {
    SaveProfiles({"Documents"});
    TProfileMgr manager;
    TProfile* current = manager.GetCurrentProfile();
    ASSERT_EQ(current->UpdateTarget("E:\\Backups"), 0);
    fs::remove(ProfilesFile());
    fs::create_directories(ProfilesFile() / "in-the-way");
    Script.ExpectText("Vaultaire.vlp", IDOK);
    EXPECT_FALSE(manager.SaveCurrentProfile());
    EXPECT_EQ(TProfile::ProfileCopy->Target, "");
    EXPECT_TRUE(current->Modified);
    current->UndoChanges();
    EXPECT_EQ(current->Target, "");
    fs::remove_all(ProfilesFile());
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

// A profiles file is exactly a count and that many good records. Anything else is kept
// aside as it is, reported once, and neither the file nor the settings are written over.
TEST_F(ProfileManager, EveryFormOfDamageIsKeptAsideAsItIsAndNeverWrittenOver) {
    SaveProfiles({"Documents", "Pictures"});
    const std::string good = ReadTextFile(ProfilesFile());
    const std::vector<uint8_t> settings = ReadSettings();
    auto records = RecordsOf(good);
    ASSERT_TRUE(records && records->size() == 2);
    const std::string first = (*records)[0];
    const std::string second = (*records)[1];
    ASSERT_EQ(good, Int32Bytes(2) + first + second);
    std::string badMagic = good;
    badMagic[4 + first.size() + 40] ^= 0x01;  // the second record's Magic2
    std::string badVersion = good;
    badVersion[4 + 4] = 0x03;  // the first record's version: 515

    struct Case {
        const char* Name;
        std::string Content;
    };
    const Case cases[] = {
        {"an empty file", ""},
        {"part of the count", good.substr(0, 3)},
        {"a count below zero", Int32Bytes(-1) + first + second},
        {"a count of zero with records behind it", Int32Bytes(0) + first + second},
        {"a count larger than the records", Int32Bytes(3) + first + second},
        {"a byte behind the last record", good + std::string(1, '\0')},
        {"a whole record behind the last", Int32Bytes(1) + first + second},
        {"a short last record", good.substr(0, good.size() - 5)},
        {"a damaged magic number", badMagic},
        {"a version no program wrote", badVersion},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        WriteTextFile(ProfilesFile(), c.Content);
        const size_t asked = Script.Asked().size();
        Script.Expect(363, IDOK);
        {
            TProfileMgr manager;
            EXPECT_EQ(manager.Count(), 0);
            EXPECT_EQ(manager.CurrentIndex, -1);
            EXPECT_TRUE(manager.FoundDamagedProfiles());
            EXPECT_EQ(manager.KeptDamagedFiles(),
                      std::vector<std::string>{Kept(ProfilesFile()).string()});
        }
        EXPECT_EQ(Script.Asked().size(), asked + 1) << "reported once";
        EXPECT_FALSE(fs::exists(ProfilesFile())) << "no empty file in its place";
        EXPECT_EQ(ReadTextFile(Kept(ProfilesFile())), c.Content);
        EXPECT_EQ(ReadSettings(), settings) << "the settings are left as they were";
        fs::remove(Kept(ProfilesFile()));
    }
}

TEST_F(ProfileManager, EachDamagedFileIsKeptUnderANewName) {
    SaveProfiles({"Documents", "Pictures"});
    const std::string firstDamage = Int32Bytes(-1) + ReadTextFile(ProfilesFile()).substr(4);
    WriteTextFile(ProfilesFile(), firstDamage);
    Script.Expect(363, IDOK);
    { TProfileMgr manager; }

    SaveProfiles({"Music"});
    const std::string secondDamage = ReadTextFile(ProfilesFile()) + "x";
    WriteTextFile(ProfilesFile(), secondDamage);
    Script.Expect(363, IDOK);
    { TProfileMgr manager; }

    // A name taken by something else is passed over too.
    WriteTextFile(Kept(ProfilesFile(), 3), "the user's own file");
    WriteTextFile(ProfilesFile(), "");
    Script.Expect(363, IDOK);
    {
        TProfileMgr manager;
        EXPECT_EQ(manager.KeptDamagedFiles(),
                  std::vector<std::string>{Kept(ProfilesFile(), 4).string()});
    }
    EXPECT_EQ(ReadTextFile(Kept(ProfilesFile(), 1)), firstDamage);
    EXPECT_EQ(ReadTextFile(Kept(ProfilesFile(), 2)), secondDamage);
    EXPECT_EQ(ReadTextFile(Kept(ProfilesFile(), 3)), "the user's own file");
    EXPECT_EQ(ReadTextFile(Kept(ProfilesFile(), 4)), "");
}

// Every single-bit flip of a file of two profiles: the file either still reads as the same
// two profiles, or it is kept aside with exactly the flipped bytes. None is lost.
TEST_F(ProfileManager, NoBitFlipLosesProfilesWithoutAKeptCopy) {
    SaveProfiles({"Documents", "Pictures"});
    const std::string good = ReadTextFile(ProfilesFile());
    int read = 0, kept = 0, lost = 0;
    for (size_t bit = 0; bit < good.size() * 8; ++bit) {
        std::string flipped = good;
        flipped[bit / 8] = static_cast<char>(flipped[bit / 8] ^ (1 << (bit % 8)));
        WriteTextFile(ProfilesFile(), flipped);
        TScriptedInteraction answers;  // answers 363 when it is asked
        SetInteraction(&answers);
        { TProfileMgr manager; }
        SetInteraction(&Script);
        std::optional<std::vector<std::string>> before = RecordsOf(flipped);
        if (fs::exists(ProfilesFile()) && before && before->size() == 2 &&
            RecordsOf(ReadTextFile(ProfilesFile())) == before && answers.Asked().empty()) {
            ++read;
        } else if (!fs::exists(ProfilesFile()) && ReadTextFile(Kept(ProfilesFile())) == flipped &&
                   answers.Asked().size() == 1) {
            ++kept;
        } else {
            ++lost;
            ADD_FAILURE() << "bit " << bit;
        }
        fs::remove(Kept(ProfilesFile()));
    }
    EXPECT_EQ(lost, 0);
    EXPECT_GT(read, 0);
    EXPECT_GT(kept, 0);
    RecordProperty("read", read);
    RecordProperty("kept", kept);
}

// Something in the profiles file's place that is no regular file is never read (a pipe
// would wait for ever) and never written over.
TEST_F(ProfileManager, SomethingElseInTheProfilesFilesPlaceIsLeftAlone) {
    struct Case {
        const char* Name;
        std::function<void(const fs::path&)> Make;
        std::function<bool(const fs::path&)> StillThere;
    };
    const Case cases[] = {
        {"a pipe", [](const fs::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); },
         [](const fs::path& p) { return fs::is_fifo(p); }},
        {"a folder", [](const fs::path& p) { fs::create_directory(p); },
         [](const fs::path& p) { return fs::is_directory(p); }},
        {"a link to a device", [](const fs::path& p) { fs::create_symlink("/dev/zero", p); },
         [](const fs::path& p) { return fs::read_symlink(p) == "/dev/zero"; }},
        {"a link to nothing", [](const fs::path& p) { fs::create_symlink("missing", p); },
         [](const fs::path& p) { return fs::read_symlink(p) == "missing"; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        c.Make(ProfilesFile());
        Script.ExpectText("cannot be read", IDOK);
        Script.ExpectText("cannot be read (", IDOK);  // when the new profile is saved
        Script.ExpectText("cannot be read (", IDOK);  // at the end
        {
            TProfileMgr manager;
            EXPECT_TRUE(manager.FoundDamagedProfiles());
            EXPECT_TRUE(manager.KeptDamagedFiles().empty());
            auto profile = std::make_unique<TProfile>();
            TProfile* added = profile.get();
            manager.AddNewProfile(std::move(profile));
            EXPECT_TRUE(added->IsNew) << "not saved";
        }
        EXPECT_TRUE(c.StillThere(ProfilesFile()));
        EXPECT_FALSE(fs::exists(Kept(ProfilesFile())));
        fs::remove(ProfilesFile());
    }
}

// A profile added when the profiles file cannot be written can be taken back, leaving the
// manager as it was; one that was saved cannot.
TEST_F(ProfileManager, OnlyANewProfileThatWasNotSavedCanBeWithdrawn) {
    struct Case {
        const char* Name;
        std::vector<std::string> Before;
    };
    const Case cases[] = {{"first profile", {}}, {"another profile", {"Documents", "Pictures"}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        fs::remove_all(ProfilesFile());
        if (!c.Before.empty())
            SaveProfiles(c.Before, 1);
        const std::vector<uint8_t> before =
            fs::exists(ProfilesFile()) ? ReadBinaryFile(ProfilesFile()) : std::vector<uint8_t>{};
        TProfileMgr manager;
        const int current = manager.CurrentIndex;
        fs::remove(ProfilesFile());
        fs::create_directory(ProfilesFile());
        Script.ExpectText("Vaultaire.vlp", IDOK);
        auto profile = std::make_unique<TProfile>();
        profile->Title = "Music";
        const int index = manager.AddNewProfile(std::move(profile));
        ASSERT_EQ(index, static_cast<int>(c.Before.size()));
        ASSERT_TRUE(manager.Items(index)->IsNew) << "not saved";
        EXPECT_FALSE(manager.WithdrawNewProfile(index + 1));
        EXPECT_FALSE(manager.WithdrawNewProfile(-1));
        EXPECT_TRUE(manager.WithdrawNewProfile(index));
        EXPECT_EQ(manager.Count(), index);
        EXPECT_EQ(manager.CurrentIndex, current);
        EXPECT_EQ(TProfile::ProfileCopy != nullptr, current >= 0);
        if (index > 0) {
            EXPECT_FALSE(manager.WithdrawNewProfile(0)) << "a saved profile stays";
            EXPECT_EQ(manager.Count(), index);
        }
        fs::remove(ProfilesFile());
        if (!before.empty())
            WriteTextFile(ProfilesFile(), std::string(before.begin(), before.end()));
        EXPECT_EQ(Script.Pending(), 0u);
    }
}

// Found damaged when saving, the file is kept aside and replaced by what this manager
// read, with its change.
TEST_F(ProfileManager, ADamagedFileFoundWhenSavingIsReplacedByWhatTheManagerKnows) {
    SaveProfiles({"Documents", "Pictures"});
    TProfileMgr manager;
    WriteTextFile(ProfilesFile(), "damaged meanwhile");
    Script.Expect(363, IDOK);
    auto music = std::make_unique<TProfile>();
    music->Title = "Music";
    EXPECT_EQ(manager.AddNewProfile(std::move(music)), 2);
    EXPECT_EQ(ReadTextFile(Kept(ProfilesFile())), "damaged meanwhile");
    TProfileMgr reader;
    EXPECT_EQ(reader.GetTitles(), "Documents,Pictures,Music");
}

// Another process saves while this manager lives; then this one changes its own, older
// view and saves. Only what each changed is applied, so neither loses the other's work.
TEST_F(ProfileManager, ChangesOfTwoProcessesAreBothKept) {
    struct Case {
        const char* Name;
        std::function<void(TProfileMgr&)> Other;
        std::function<void(TProfileMgr&)> This;
        const char* Titles;
        std::function<void(TProfileMgr&)> Check;
    };
    const Case cases[] = {
        {"both add",
         [](TProfileMgr& m) {
             auto p = std::make_unique<TProfile>();
             p->Title = "Letters";
             EXPECT_EQ(m.AddNewProfile(std::move(p)), 3);
         },
         [](TProfileMgr& m) {
             auto p = std::make_unique<TProfile>();
             p->Title = "Mail";
             EXPECT_EQ(m.AddNewProfile(std::move(p)), 3);
         },
         "Documents,Pictures,Music,Letters,Mail", nullptr},
        {"both edit other fields of one profile",
         [](TProfileMgr& m) { Edit(m, "Pictures", [](TProfile& p) { p.UpdateTarget("E:\\"); }); },
         [](TProfileMgr& m) { Find(m, "Pictures")->SetNumVersions(5); }, "Documents,Pictures,Music",
         [](TProfileMgr& m) {
             EXPECT_EQ(Find(m, "Pictures")->Target, "E:\\");
             EXPECT_EQ(Find(m, "Pictures")->Header.NumVersions, 5);
         }},
        {"the other renames a profile this one edits",
         [](TProfileMgr& m) { Edit(m, "Pictures", [](TProfile& p) { p.UpdateTitle("Photos"); }); },
         [](TProfileMgr& m) { Find(m, "Pictures")->UpdateTarget("F:\\"); },
         "Documents,Photos,Music",
         [](TProfileMgr& m) { EXPECT_EQ(Find(m, "Photos")->Target, "F:\\"); }},
        {"the other deletes a profile this one does not touch",
         [](TProfileMgr& m) { Delete(m, "Music"); },
         [](TProfileMgr& m) { Find(m, "Documents")->UpdateSource({"C:\\Work"}); },
         "Documents,Pictures",
         [](TProfileMgr& m) { EXPECT_EQ(Find(m, "Documents")->Source, "C:\\Work"); }},
        {"the other deletes a profile this one edits: the deletion stands",
         [](TProfileMgr& m) { Delete(m, "Music"); },
         [](TProfileMgr& m) { Find(m, "Music")->SetNumVersions(9); }, "Documents,Pictures",
         nullptr},
        {"this one deletes a profile the other renamed",
         [](TProfileMgr& m) { Edit(m, "Music", [](TProfile& p) { p.UpdateTitle("Songs"); }); },
         [](TProfileMgr& m) { Delete(m, "Music"); }, "Documents,Pictures", nullptr},
        {"both change other settings", [](TProfileMgr& m) { m.MaxLogEntries = 900; },
         [](TProfileMgr& m) { m.LogType = 1; }, "Documents,Pictures,Music",
         [](TProfileMgr& m) {
             EXPECT_EQ(m.MaxLogEntries, 900);
             EXPECT_EQ(m.LogType, 1);
             EXPECT_EQ(m.GetCurrentProfile()->Title, "Pictures");
         }},
        {"the other deletes a profile before the current one",
         [](TProfileMgr& m) { Delete(m, "Documents"); },
         [](TProfileMgr& m) { m.CreateLog = false; }, "Pictures,Music",
         [](TProfileMgr& m) {
             EXPECT_FALSE(m.CreateLog);
             EXPECT_EQ(m.GetCurrentProfile()->Title, "Pictures") << "still the same profile";
         }},
        {"the other opens a profile, this one adds one", [](TProfileMgr& m) { m.Open("Music"); },
         [](TProfileMgr& m) {
             auto p = std::make_unique<TProfile>();
             p->Title = "Mail";
             m.AddNewProfile(std::move(p));
         },
         "Documents,Pictures,Music,Mail",
         [](TProfileMgr& m) { EXPECT_EQ(m.GetCurrentProfile()->Title, "Music"); }},
        {"both open a profile: the later save wins", [](TProfileMgr& m) { m.Open("Music"); },
         [](TProfileMgr& m) { m.Open("Documents"); }, "Documents,Pictures,Music",
         [](TProfileMgr& m) { EXPECT_EQ(m.GetCurrentProfile()->Title, "Documents"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        fs::remove(ProfilesFile());
        fs::remove(SettingsFile());
        SaveProfiles({"Documents", "Pictures", "Music"}, 1);
        {
            TProfileMgr mine;
            InAnotherProcess(mine, c.Other);
            c.This(mine);
            EXPECT_TRUE(mine.WriteProfiles());
        }
        TProfileMgr reader;
        EXPECT_EQ(reader.GetTitles(), c.Titles);
        if (c.Check)
            c.Check(reader);
    }
}

// A backup holds its own copy of the profile for hours and saves it at each new diskette:
// only the diskette number it changed reaches the file.
TEST_F(ProfileManager, ABackupsSavesChangeOnlyWhatTheBackupChanged) {
    SaveProfiles({"Documents", "Pictures"});
    TProfileMgr backup;
    TProfile running = *backup.GetCurrentProfile();
    InAnotherProcess(backup, [](TProfileMgr& m) {
        Edit(m, "Documents", [](TProfile& p) {
            p.UpdateTitle("Letters");
            p.UpdateTarget("E:\\Elsewhere");
        });
        auto music = std::make_unique<TProfile>();
        music->Title = "Music";
        m.AddNewProfile(std::move(music));
    });
    running.GetNextLabel(true);
    backup.UpdateCurrentProfile(&running);
    backup.SaveCurrentProfile();
    InAnotherProcess(backup, [](TProfileMgr& m) {
        Edit(m, "Letters", [](TProfile& p) { p.SetNumVersions(7); });
    });
    running.GetNextLabel(true);
    backup.UpdateCurrentProfile(&running);
    backup.SaveCurrentProfile();

    TProfileMgr reader;
    EXPECT_EQ(reader.GetTitles(), "Letters,Pictures,Music");
    const TProfile& saved = *Find(reader, "Letters");
    EXPECT_EQ(saved.Header.LabelNumber, 2);
    EXPECT_EQ(saved.Target, "E:\\Elsewhere");
    EXPECT_EQ(saved.Header.NumVersions, 7);
}

// Titles must stay apart in the file as it is when saving, not only in a manager's own
// list read a while ago.
TEST_F(ProfileManager, ATitleSavedMeanwhileByAnotherProcessIsNotTakenTwice) {
    struct Case {
        const char* Saved;
        const char* Added;
    };
    const Case cases[] = {
        {"Alpha", "Alpha"},
        {"Alpha", "ALPHABET"},     // the same first seven characters
        {"Untitled", "Untitled"},  // the proposed title of two new profiles
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Added);
        fs::remove(ProfilesFile());
        TProfileMgr mine;
        auto profile = std::make_unique<TProfile>();
        ASSERT_EQ(profile->UpdateTitle(c.Added), 0);
        InAnotherProcess(mine, [&](TProfileMgr& m) {
            auto saved = std::make_unique<TProfile>();
            saved->Title = c.Saved;
            m.AddNewProfile(std::move(saved));
        });
        EXPECT_EQ(mine.AddNewProfile(std::move(profile)), TProfileMgr::kTitleTaken);
        EXPECT_EQ(mine.Count(), 0);
        TProfileMgr reader;
        EXPECT_EQ(reader.GetTitles(), c.Saved);
    }
}

TEST_F(ProfileManager, ARenameToATitleSavedMeanwhileIsRefusedAndLeftUnsaved) {
    SaveProfiles({"Documents", "Pictures"});
    {
        TProfileMgr mine;
        ASSERT_TRUE(mine.Open("Pictures"));
        TProfile edited = *mine.GetCurrentProfile();
        ASSERT_EQ(edited.UpdateTitle("Gallery"), 0);
        ASSERT_EQ(edited.UpdateTarget("E:\\"), 0);
        InAnotherProcess(mine, [](TProfileMgr& m) {
            auto saved = std::make_unique<TProfile>();
            saved->Title = "Gallery";
            m.AddNewProfile(std::move(saved));
        });
        mine.UpdateCurrentProfile(&edited);
        Script.Expect(768, IDOK);
        mine.SaveCurrentProfile();
        EXPECT_TRUE(mine.GetCurrentProfile()->Modified) << "left unsaved";
        ASSERT_EQ(mine.GetCurrentProfile()->UpdateTitle("Photos"), 0);
    }
    TProfileMgr reader;
    EXPECT_EQ(reader.GetTitles(), "Documents,Photos,Gallery");
    EXPECT_EQ(Find(reader, "Photos")->Target, "E:\\");
}

// Two profiles made at the same moment by two processes still stay two profiles.
TEST_F(ProfileManager, ProfilesAddedAtTheSameMomentAreToldApart) {
    TProfileMgr first;
    TProfileMgr second;
    auto alpha = std::make_unique<TProfile>();
    alpha->Title = "Alpha";
    auto beta = std::make_unique<TProfile>();
    beta->Title = "Beta";
    beta->Header.Created = alpha->Header.Created;
    first.AddNewProfile(std::move(alpha));
    second.AddNewProfile(std::move(beta));
    EXPECT_NE(second.Items(0)->Header.Created, first.Items(0)->Header.Created);
    Edit(second, "Beta", [](TProfile& p) { p.UpdateTarget("E:\\Beta"); });
    TProfile::Manager = &second;
    TProfileMgr reader;
    EXPECT_EQ(reader.GetTitles(), "Alpha,Beta");
    EXPECT_EQ(Find(reader, "Alpha")->Target, "");
    EXPECT_EQ(Find(reader, "Beta")->Target, "E:\\Beta");
}

// A damaged settings file is kept aside as it is before anything writes the settings anew.
TEST_F(ProfileManager, ADamagedSettingsFileIsKeptAsideBeforeTheSettingsAreWritten) {
    struct Case {
        const char* Name;
        std::function<void()> Damage;
    };
    const Case cases[] = {
        {"not in the settings form",
         [this] { WriteTextFile(SettingsFile(), "[Software\nSettings=1\n"); }},
        {"settings of the wrong size", [] { WriteSettings(std::vector<uint8_t>(27, 1)); }},
        {"settings that are no binary data",
         [] {
             TRegistry registry;
             registry.OpenKey(TProfileMgr::RegistryKey(), true);
             registry.WriteString("Settings", "twenty-eight");
             registry.CloseKey();
         }},
        {"a file far too large",
         [this] { WriteTextFile(SettingsFile(), std::string(2 << 20, '#')); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        fs::remove(ProfilesFile());
        fs::remove(SettingsFile());
        SaveProfiles({"Documents", "Pictures"}, 1);
        c.Damage();
        const std::string damaged = ReadTextFile(SettingsFile());
        Script.ExpectText("is damaged; it was kept as", IDOK);
        {
            TProfileMgr manager;
            EXPECT_EQ(manager.Count(), 2);
            EXPECT_EQ(manager.CurrentIndex, 0) << "the settings start anew";
            manager.MaxLogEntries = 700;
        }
        EXPECT_EQ(ReadTextFile(Kept(SettingsFile())), damaged);
        TProfileMgr reader;
        EXPECT_EQ(reader.MaxLogEntries, 700);
        EXPECT_EQ(ReadSettings().size(), 28u);
        fs::remove(Kept(SettingsFile()));
    }
}

TEST_F(ProfileManager, EachDamagedSettingsFileIsKeptUnderANewName) {
    SaveProfiles({"Documents"});
    for (const char* damage : {"[first\n", "[second\n"}) {
        WriteTextFile(SettingsFile(), damage);
        Script.ExpectText("is damaged; it was kept as", IDOK);
        TProfileMgr manager;
    }
    EXPECT_EQ(ReadTextFile(Kept(SettingsFile(), 1)), "[first\n");
    EXPECT_EQ(ReadTextFile(Kept(SettingsFile(), 2)), "[second\n");
}

// Something in the settings file's place that is no regular file is neither read (a pipe
// would wait for ever, a device read without end) nor written through.
TEST_F(ProfileManager, SomethingElseInTheSettingsFilesPlaceIsLeftAlone) {
    struct Case {
        const char* Name;
        std::function<void(const fs::path&)> Make;
        std::function<bool(const fs::path&)> StillThere;
    };
    const Case cases[] = {
        {"a pipe", [](const fs::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); },
         [](const fs::path& p) { return fs::is_fifo(p); }},
        {"a folder", [](const fs::path& p) { fs::create_directory(p); },
         [](const fs::path& p) { return fs::is_directory(p) && fs::is_empty(p); }},
        {"a link to a device", [](const fs::path& p) { fs::create_symlink("/dev/zero", p); },
         [](const fs::path& p) { return fs::read_symlink(p) == "/dev/zero"; }},
    };
    SaveProfiles({"Documents", "Pictures"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        fs::remove(SettingsFile());
        c.Make(SettingsFile());
        Script.ExpectText("is not a regular file", IDOK);
        {
            TProfileMgr manager;
            EXPECT_EQ(manager.Count(), 2) << "the profiles are there";
        }
        Script.ExpectText("is not a regular file", IDOK);  // once, not again when saving
        {
            TProfileMgr manager;
            manager.CreateLog = false;
            EXPECT_FALSE(manager.WriteRegistry());
        }
        EXPECT_TRUE(c.StillThere(SettingsFile()));
        EXPECT_FALSE(fs::exists(Kept(SettingsFile())));
    }
}
