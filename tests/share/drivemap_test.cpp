#include "platform/drivemap.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "platform/hostfs.h"
#include "scriptedinteraction.h"
#include "specialfiles.h"
#include "testenv.h"

namespace {

struct TBadLine {
    const char* Text;
    int Line;
    const char* MessagePart;
};

TDriveEntry Drive(char letter, int type, std::string folder, std::string uuid = "") {
    return {.Letter = letter,
            .Type = type,
            .HostFolder = folder.empty() ? THostPath() : THostPath(folder),
            .Uuid = std::move(uuid)};
}

}  // namespace

TEST(DriveMapFile, ReadsEntriesOptionsAndQuotedFolders) {
    TDriveMap map;
    TDriveMapError error;
    ASSERT_TRUE(
        ParseDriveMap("# comment\n"
                      "\n"
                      "detect off\n"
                      "a: removable \"/tmp/my floppy\" capacity=1440K simulated\n"
                      "E: cdrom /media/cd write-protected\n"
                      "F: removable uuid=1234-ABCD\n"
                      "G: remote /mnt/share/../share2/\n",
                      map, error))
        << error.Line << ": " << error.Message;
    EXPECT_FALSE(map.DetectMedia);
    ASSERT_NE(map.Find('A'), nullptr);
    EXPECT_EQ(*map.Find('a'), (TDriveEntry{'A', DRIVE_REMOVABLE, THostPath("/tmp/my floppy"), "",
                                           1440 * 1024, false, true}));
    EXPECT_TRUE(map.Find('E')->WriteProtected);
    EXPECT_EQ(map.Find('F')->Uuid, "1234-ABCD");
    EXPECT_EQ(map.Find('F')->HostFolder, THostPath());
    EXPECT_EQ(map.Find('G')->HostFolder, THostPath("/mnt/share2"));
    EXPECT_EQ(map.Find('C'), nullptr) << "C: none takes the default C: away";
    EXPECT_EQ(map.LogicalDrives(), (1u << 0) | (1u << 4) | (1u << 5) | (1u << 6));
}

TEST(DriveMapFile, NamesTheLineOfEachMistake) {
    const TBadLine cases[] = {
        {"C: fixed /home/x\nCC: fixed /x\n", 2, "not a drive letter"},
        {"C: floppy /x\n", 1, "unknown drive type"},
        {"C: fixed\n", 1, "folder is missing"},
        {"C: fixed relative/path\n", 1, "not an absolute path"},
        {"C: fixed ~ann/x\n", 1, "not an absolute path"},
        {"# ok\nC: fixed \"/x\n", 2, "not closed"},
        {"C: fixed /x\nc: fixed /y\n", 2, "given twice"},
        {"A: removable /x capacity=lots\n", 1, "not a capacity"},
        {"A: removable /x capacity=0\n", 1, "not a capacity"},
        {"A: removable /x capacity=9999999999G\n", 1, "not a capacity"},
        {"A: removable /x capacity=999999999999999M\n", 1, "not a capacity"},
        {"A: removable /x uuid=12\n", 1, "not both"},
        {"A: removable /x /y\n", 1, "not understood"},
        {"detect maybe\n", 1, "detect off"},
    };
    for (const TBadLine& c : cases) {
        TDriveMap map;
        map.Set(Drive('Z', DRIVE_FIXED, "/z"));
        TDriveMapError error;
        EXPECT_FALSE(ParseDriveMap(c.Text, map, error)) << c.Text;
        EXPECT_EQ(error.Line, c.Line) << c.Text;
        EXPECT_NE(error.Message.find(c.MessagePart), std::string::npos)
            << c.Text << " gave: " << error.Message;
        EXPECT_EQ(map.Entries().size(), 1u) << "a refused file leaves the map as it was";
    }
}

TEST(DriveMapFile, FormattedMapReadsBackTheSame) {
    TDriveMap map;
    map.DetectMedia = false;
    map.Set(Drive('C', DRIVE_FIXED, "/home/ann"));
    map.Set({'A', DRIVE_REMOVABLE, THostPath("/tmp/a \"quoted\" folder"), "", 1457664, true, true});
    map.Set(Drive('E', DRIVE_REMOVABLE, "", "1234-ABCD"));
    TDriveMap back;
    TDriveMapError error;
    ASSERT_TRUE(ParseDriveMap(FormatDriveMap(map), back, error)) << error.Message;
    EXPECT_EQ(back.Entries(), map.Entries());
    EXPECT_FALSE(back.DetectMedia);
}

TEST(DriveMapMedia, KeepsRememberedLettersAndGivesNewOnesFromD) {
    TDriveMap map;
    map.Set(Drive('C', DRIVE_FIXED, "/home/ann"));
    map.Set(Drive('D', DRIVE_REMOVABLE, "/media/ann/stick"));
    map.Set(Drive('F', DRIVE_REMOVABLE, "", "AAAA-1111"));
    std::vector<TMountedMedium> media = {
        {THostPath("/media/ann/stick"), "vfat", "BBBB-2222", DRIVE_REMOVABLE},  // by folder
        {THostPath("/media/ann/old"), "vfat", "AAAA-1111", DRIVE_REMOVABLE},    // by UUID
        {THostPath("/media/ann/new"), "vfat", "CCCC-3333", DRIVE_REMOVABLE},
        {THostPath("/mnt/nas"), "nfs4", "", DRIVE_REMOTE},
    };
    EXPECT_TRUE(AssignMediaLetters(map, media));
    EXPECT_EQ(map.Find('F')->HostFolder, THostPath("/media/ann/old"));
    EXPECT_EQ(map.Find('E')->HostFolder, THostPath("/media/ann/new"));
    EXPECT_EQ(map.Find('E')->Uuid, "CCCC-3333");
    EXPECT_EQ(map.Find('G')->Type, DRIVE_REMOTE);
    EXPECT_FALSE(AssignMediaLetters(map, media)) << "nothing new the second time";
}

TEST(DriveMapMedia, LongestFolderPrefixWinsAtFolderBoundaries) {
    TDriveMap map;
    map.Set(Drive('C', DRIVE_FIXED, "/home/ann"));
    map.Set(Drive('D', DRIVE_REMOVABLE, "/home/ann/stick"));
    EXPECT_EQ(map.FindByHostPath(THostPath("/home/ann/stick/x"))->Letter, 'D');
    EXPECT_EQ(map.FindByHostPath(THostPath("/home/ann/stick"))->Letter, 'D');
    EXPECT_EQ(map.FindByHostPath(THostPath("/home/ann/sticky"))->Letter, 'C');
    EXPECT_EQ(map.FindByHostPath(THostPath("/home/annie")), nullptr);
}

TEST(DriveMapInUse, DamagedFileIsReportedAndTheDefaultMapUsed) {
    const std::string damaged = "detect off\nC: fixed /x\nQ: sideways /y\n";
    TScriptedInteraction script;
    script.Expect(901, IDOK);
    TInteraction* previous = SetInteraction(&script);
    UseDriveMap(damaged);
    SetInteraction(previous);

    ASSERT_EQ(script.Asked().size(), 1u);
    EXPECT_NE(script.Asked()[0].find(DriveMapFileName().Text()), std::string::npos);
    EXPECT_NE(script.Asked()[0].find("line 3"), std::string::npos);
    EXPECT_EQ(script.Pending(), 0u);
    auto map = CurrentDriveMap();
    EXPECT_EQ(map->Find('C'), nullptr)
        << "C: meant another folder in the file: it is not guessed as the home folder";
    EXPECT_EQ(map->Find('Q'), nullptr);
    EXPECT_EQ(ReadTextFile(DriveMapFileName().Text()), damaged)
        << "the user's file stays as it was";
    UseDefaultTestDriveMap();
}

namespace {

// Asks for the map in use while the damaged-map message is on screen, as a dialog on
// another thread would.
class TMapReadingInteraction : public TScriptedInteraction {
  public:
    int MessageBox(const TMessageRequest& request) override {
        MapWhileShown = CurrentDriveMap();
        return TScriptedInteraction::MessageBox(request);
    }
    std::shared_ptr<const TDriveMap> MapWhileShown;
};

}  // namespace

TEST(DriveMapInUse, DamagedFileMessageComesOnceTheMapIsInPlace) {
    TMapReadingInteraction script;
    script.Expect(901, IDOK);
    TInteraction* previous = SetInteraction(&script);
    UseDriveMap("detect off\nQ: sideways /y\n");
    SetInteraction(previous);
    EXPECT_EQ(script.Pending(), 0u);
    ASSERT_NE(script.MapWhileShown, nullptr);
    EXPECT_EQ(script.MapWhileShown, CurrentDriveMap()) << "the message shows with the new map";
    UseDefaultTestDriveMap();
}

TEST(DriveMapInUse, DamagedFileKeepsTheDefaultLettersItDoesNotMention) {
    TScriptedInteraction script;
    script.Expect(901, IDOK);
    TInteraction* previous = SetInteraction(&script);
    UseDriveMap("A: removable /x simulated\nB: sideways /y\n");
    SetInteraction(previous);
    auto map = CurrentDriveMap();
    ASSERT_NE(map->Find('C'), nullptr);
    EXPECT_EQ(map->Find('C')->HostFolder.Text(), (TestSandbox() / "home").string());
    EXPECT_EQ(map->Find('A'), nullptr);
    EXPECT_FALSE(map->DetectMedia) << "no letter is handed to a medium while the map is damaged";
    UseDefaultTestDriveMap();
}

TEST(DriveMapInUse, DriveTypesAndLetters) {
    TTempDir dir;
    UseDriveMap("detect off\nC: fixed " + (TestSandbox() / "home").string() + "\nA: removable " +
                dir / "floppy" + " simulated\nR: ramdisk " + dir.Path().string() + "\n");
    EXPECT_EQ(GetDriveType("C:\\"), DRIVE_FIXED);
    EXPECT_EQ(GetDriveType("a:\\"), DRIVE_REMOVABLE) << "no medium, but the drive is there";
    EXPECT_EQ(GetDriveType("R:\\"), DRIVE_RAMDISK);
    EXPECT_EQ(GetDriveType("Q:\\"), DRIVE_NO_ROOT_DIR);
    EXPECT_EQ(GetDriveType("\\\\server\\share"), DRIVE_NO_ROOT_DIR);
    EXPECT_EQ(GetLogicalDrives(), (1u << 0) | (1u << 2) | (1u << ('R' - 'A')));
    UseDefaultTestDriveMap();
}

TEST(DriveMapInUse, MapFileThatCannotBeReadGivesNoLettersAndStaysAsItIs) {
    const std::string file = DriveMapFileName().Text();
    for (const TSpecialFile& special : SpecialFiles()) {
        SCOPED_TRACE(special.Name);
        if (!MakeSpecialFile(file, special.Kind, 1 << 20)) {
            std::printf("[   NOTE   ] %s cannot be made by this user: not checked\n", special.Name);
            continue;
        }
        std::string before = DescribeFile(file);
        TScriptedInteraction script;
        script.Expect(901, IDOK);
        TInteraction* previous = SetInteraction(&script);
        EXPECT_TRUE(EndsWithoutAWriter(ReloadDriveMap, file)) << "loading waited for a writer";
        SetInteraction(previous);

        ASSERT_EQ(script.Asked().size(), 1u);
        EXPECT_NE(script.Asked()[0].find(file), std::string::npos) << script.Asked()[0];
        EXPECT_NE(script.Asked()[0].find(special.ReasonPart), std::string::npos)
            << script.Asked()[0];
        auto map = CurrentDriveMap();
        EXPECT_TRUE(map->Entries().empty())
            << "what the file meant by each letter is unknown: none is guessed, C: neither";
        EXPECT_FALSE(map->DetectMedia);
        ASSERT_TRUE(CurrentDriveMapProblem().has_value());
        EXPECT_EQ(CurrentDriveMapProblem()->File.Text(), file);
        EXPECT_EQ(CurrentDriveMapProblem()->Line, 0);
        EXPECT_EQ(DescribeFile(file), before) << "the file is neither replaced nor written";
        RemoveSpecialFile(file);
    }
    UseDefaultTestDriveMap();
    EXPECT_FALSE(CurrentDriveMapProblem().has_value());
}

TEST(DriveMapInUse, MapFileReachedThroughALinkIsRead) {
    TTempDir dir;
    const std::string file = DriveMapFileName().Text();
    WriteTextFile(dir / "drives.map", "detect off\nR: ramdisk " + dir.Path().string() + "\n");
    std::filesystem::remove(file);
    std::filesystem::create_symlink(dir / "drives.map", file);
    ReloadDriveMap();
    EXPECT_EQ(GetDriveType("R:\\"), DRIVE_RAMDISK);
    EXPECT_FALSE(CurrentDriveMapProblem().has_value());
    std::filesystem::remove(file);
    UseDefaultTestDriveMap();
}

TEST(DriveMapInUse, MissingMapFileIsNoProblem) {
    std::filesystem::remove(DriveMapFileName().Text());
    ReloadDriveMap();
    EXPECT_FALSE(CurrentDriveMapProblem().has_value());
    ASSERT_NE(CurrentDriveMap()->Find('C'), nullptr) << "the default map";
    UseDefaultTestDriveMap();
}
