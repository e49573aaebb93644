#include "vfileutil.h"

#include <gtest/gtest.h>

#include "exceptions.h"
#include "platform/files.h"
#include "testenv.h"
#include "vexeversion.h"

namespace fs = std::filesystem;

TEST(PathForms, AppendAndRemoveSlash) {
    struct Case {
        const char* Path;
        const char* Appended;
        const char* Removed;
    };
    const Case cases[] = {
        {"C", "C:\\", "C"},
        {"c", "c:\\", "c"},
        {"C:", "C:", "C:"},
        {"C:\\", "C:\\", "C:"},
        {"C:\\Data", "C:\\Data\\", "C:\\Data"},
        {"C:\\Data\\", "C:\\Data\\", "C:\\Data"},
        {"", "", ""},
        {"1", "1\\", "1"},
        {"/opt/vaultaire", "/opt/vaultaire/", "/opt/vaultaire"},
        {"/opt/vaultaire/", "/opt/vaultaire/", "/opt/vaultaire"},
        {"/", "/", "/"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AppendSlash(c.Path), c.Appended) << c.Path;
        EXPECT_EQ(RemoveSlash(c.Path), c.Removed) << c.Path;
    }
}

TEST(PathForms, AColonSeparatesOnlyAsTheDrivesOwn) {
    struct Case {
        const char* Path;
        const char* Folder;
        const char* Name;
    };
    const Case cases[] = {
        {"C:\\Data\\a.txt", "C:\\Data\\", "a.txt"},
        {"C:a.txt", "C:", "a.txt"},
        {"C:", "C:", ""},
        {"C:\\", "C:\\", ""},
        {"a.txt", "", "a.txt"},
        {"C:\\src\\report:v2.txt", "C:\\src\\", "report:v2.txt"},
        {"C:\\src\\:lead.txt", "C:\\src\\", ":lead.txt"},
        {"C:\\src\\trail:", "C:\\src\\", "trail:"},
        {"C:\\src\\:", "C:\\src\\", ":"},
        {"C:\\src\\a::b:c", "C:\\src\\", "a::b:c"},
        {"C:\\x:y\\a.txt", "C:\\x:y\\", "a.txt"},
        {"C:\\x:\\:y\\a:b", "C:\\x:\\:y\\", "a:b"},
        {"C:/x:y/a:b", "C:/x:y/", "a:b"},
        {"report:v2.txt", "", "report:v2.txt"},
        {"/home/ann/report:v2.txt", "/home/ann/", "report:v2.txt"},
        {"/home/x:y/a\\b", "/home/x:y/", "a\\b"},
        {"/home/ann/trail:", "/home/ann/", "trail:"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ExtractFilePath(c.Path), c.Folder) << c.Path;
        EXPECT_EQ(ExtractFileName(c.Path), c.Name) << c.Path;
    }
    // A colon at the end of a longer path belongs to a folder's name.
    EXPECT_EQ(AppendSlash("C:\\src\\report:"), "C:\\src\\report:\\");
    EXPECT_EQ(AppendSlash("/home/ann/x:"), "/home/ann/x:/");
    EXPECT_EQ(RemoveSlash("C:\\src\\report:\\"), "C:\\src\\report:");
}

TEST(ProgramFolders, DataAndTemporaryFoldersFollowTheEnvironmentInEitherForm) {
    // The sandbox's data folder lies under no drive: it keeps its host form.
    EXPECT_EQ(GetDataDir(true), (TestSandbox() / "data").string() + "/");
    EXPECT_EQ(GetDataDir(false), (TestSandbox() / "data").string());
    EXPECT_EQ(GetTempDir(), (TestSandbox() / "tmp").string() + "/");

    // Under a drive, the same folders are given in drive form.
    UseDriveMap("detect off\nT: fixed " + TestSandbox().string() + "\n");
    EXPECT_EQ(GetDataDir(true), "T:\\data\\");
    EXPECT_EQ(GetTempDir(), "T:\\tmp\\");
    std::string name;
    ASSERT_EQ(GetTempFile(name, "VLD"), 0);
    EXPECT_EQ(name.rfind("T:\\tmp\\VLD", 0), 0u) << name;
    EXPECT_TRUE(FileExists(name));
    EXPECT_EQ(GetFileSize(name), 0);
    EXPECT_TRUE(DeleteFile(name));
    UseDefaultTestDriveMap();
}

TEST(ProgramFolders, TempFileFailureGivesTheSystemError) {
    const char* saved = std::getenv("TMPDIR");
    TTempDir dir;
    fs::create_directories(dir.Path() / "ro");
    fs::permissions(dir.Path() / "ro", fs::perms::owner_read | fs::perms::owner_exec);
    setenv("TMPDIR", (dir / "ro").c_str(), 1);
    std::string name = "left over";
    int error = GetTempFile(name, "VLD");
    if (geteuid() != 0) {  // root may write anywhere
        EXPECT_EQ(error, 5);
        EXPECT_EQ(name, "");
    }
    setenv("TMPDIR", saved, 1);
}

TEST(DisplayNames, DriveRootsShowLabelAndLetterOtherPathsTheirName) {
    TTempDir dir;
    fs::create_directories(dir.Path() / "floppy/.vaultaire");
    WriteTextFile(dir.Path() / "floppy/.vaultaire/volume", "serial=1234-ABCD\nlabel=Letters-004\n");
    WriteTextFile(dir.Path() / "home/Documents/a.txt", "a");
    UseDriveMap("detect off\nC: fixed " + (TestSandbox() / "home").string() + "\nA: removable " +
                dir / "floppy" + " simulated\nE: removable " + dir / "empty" + " simulated\n");
    EXPECT_EQ(GetDisplayName("A:\\"), "Letters-004 (A:)");
    EXPECT_EQ(GetDisplayName("A"), "Letters-004 (A:)");
    EXPECT_EQ(GetDisplayName("C:\\"), "Home (C:)");
    EXPECT_EQ(GetDisplayName("E:\\"), "Removable Disk (E:)") << "no medium: the drive's kind";
    EXPECT_EQ(GetDisplayName("Q:\\"), "");
    UseDefaultTestDriveMap();
}

TEST(LongNames, PathsAreTheirOwnLongForms) {
    WriteTextFile(TestSandbox() / "home/Long Folder Name/file name.txt", "x");
    EXPECT_EQ(ShortToLongPath("C:\\Long Folder Name\\file name.txt"),
              "C:\\Long Folder Name\\file name.txt");
    EXPECT_EQ(ShortToLongFileName("C:\\Long Folder Name"), "Long Folder Name");
    EXPECT_EQ(ShortToLongFileName("C:\\missing"), "");
    EXPECT_EQ(ShortToLongPath("C:\\"), "C:\\");
    EXPECT_EQ(ShortToLongPath("C:\\missing\\x"), "C:\\missing\\x") << "names kept when absent";
}

TEST(Shortcuts, StartupEntryIsCreatedReplacedAndDeleted) {
    std::string file = ShortcutFileName("Vaultaire 2000", CSIDL_STARTUP);
    EXPECT_EQ(file, (TestSandbox() / "config/autostart/Vaultaire 2000.desktop").string());
    WriteTextFile(TestSandbox() / "home/Program Dir/vaultaire", "#!/bin/sh\n");

    CreateShortcut("C:\\Program Dir\\vaultaire", "Vaultaire 2000", CSIDL_STARTUP);
    CreateShortcut("C:\\Program Dir\\vaultaire", "Vaultaire 2000", CSIDL_STARTUP);
    std::string entry = ReadTextFile(file);
    EXPECT_NE(entry.find("[Desktop Entry]\nType=Application\nName=Vaultaire 2000\n"),
              std::string::npos);
    std::string host = (TestSandbox() / "home/Program Dir/vaultaire").string();
    EXPECT_NE(entry.find("Exec=\"" + host + "\"\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("Path=" + (TestSandbox() / "home/Program Dir").string() + "\n"),
              std::string::npos);

    DeleteShortcut("Vaultaire 2000", CSIDL_STARTUP);
    EXPECT_FALSE(fs::exists(file));
    EXPECT_NO_THROW(DeleteShortcut("Vaultaire 2000", CSIDL_STARTUP));
    EXPECT_THROW(CreateShortcut("C:\\x", "Name", 99), Exception);
}

TEST(VersionInformation, RunningProgramCarriesFileVersion2020) {
    TVExeVersion version;
    EXPECT_TRUE(version.GetUseCurrentApplication());
    EXPECT_EQ(version.GetFilename(), GetExeName());
    EXPECT_EQ(version.GetFileVersion(), "2.0.2.0");
    EXPECT_EQ(version.GetMajorVersion(), "2");
    EXPECT_EQ(version.GetRelease(), "2");
    EXPECT_EQ(version.GetBuild(), "0");
    EXPECT_EQ(version.GetShortVersion(), "2.02");
    EXPECT_EQ(version.GetProductName(), "Vaultaire 2000");

    version.SetFilename("/bin/sh");
    EXPECT_FALSE(version.GetUseCurrentApplication());
    EXPECT_EQ(version.GetFileVersion(), "");
    EXPECT_EQ(version.GetShortVersion(), "");
}
