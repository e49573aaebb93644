#include "platform/paths.h"

#include <gtest/gtest.h>

#include "platform/syserror.h"
#include "testenv.h"

namespace {

class PathMapping : public testing::Test {
  protected:
    void SetUp() override {
        Home = (TestSandbox() / "home").string();
        std::filesystem::create_directories(Dir.Path() / "stick");
        UseDriveMap("detect off\nC: fixed " + Home + "\nD: removable " + Dir / "stick" +
                    "\nA: removable " + Dir / "no-diskette" + " simulated\n");
    }
    void TearDown() override { UseDefaultTestDriveMap(); }

    TTempDir Dir;
    std::string Home;
};

struct TToHost {
    const char* Path;
    const char* HostBelowHome;  // null: refused
    int Error;
};

struct TToDrive {
    std::string Host;
    const char* Path;  // null: refused
    int Error;
};

}  // namespace

TEST_F(PathMapping, DriveFormToHost) {
    const TToHost cases[] = {
        {"C:\\Data\\report.doc", "/Data/report.doc", 0},
        {"c:\\Data\\", "/Data", 0},
        {"C:\\", "", 0},
        {"C:", "", 0},
        {"C:/Data//x", "/Data/x", 0},
        {"C:\\a\\.\\b\\..\\c", "/a/c", 0},
        {"C:\\..\\etc\\passwd", nullptr, ERROR_BAD_PATHNAME},
        {"C:\\a\\..\\..", nullptr, ERROR_BAD_PATHNAME},
        {"Q:\\x", nullptr, ERROR_PATH_NOT_FOUND},
        {"A:\\x", nullptr, ERROR_NOT_READY},
        {"C:\\a*b", nullptr, ERROR_INVALID_NAME},
        {"C:\\dir?\\x", nullptr, ERROR_INVALID_NAME},
        {"relative\\x", nullptr, ERROR_PATH_NOT_FOUND},
        {"", nullptr, ERROR_PATH_NOT_FOUND},
    };
    for (const TToHost& c : cases) {
        THostPath host;
        SetLastError(0);
        bool ok = HostPathOf(c.Path, host);
        if (c.HostBelowHome) {
            EXPECT_TRUE(ok) << c.Path;
            EXPECT_EQ(host.Text(), Home + c.HostBelowHome) << c.Path;
        } else {
            EXPECT_FALSE(ok) << c.Path << " gave " << host;
            EXPECT_EQ(GetLastError(), c.Error) << c.Path;
            EXPECT_TRUE(host.IsEmpty());
        }
    }
    THostPath host;
    EXPECT_TRUE(HostPathOf("/etc/hostname", host)) << "host paths pass as they stand";
    EXPECT_EQ(host.Text(), "/etc/hostname");
    // The system would take a name only up to a NUL: "a<NUL>.txt" would reach the file "a".
    for (const std::string& path :
         {std::string("C:\\a\0.txt", 9), std::string("C:\\x\\a\0\\..\\b", 12),
          std::string("/etc\0/x", 7)}) {
        SetLastError(0);
        EXPECT_FALSE(HostPathOf(path, host)) << "gave " << host;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
        EXPECT_TRUE(host.IsEmpty());
    }
}

TEST_F(PathMapping, HostToDriveForm) {
    const TToDrive cases[] = {
        {Home + "/Data/report.doc", "C:\\Data\\report.doc", 0},
        {Home, "C:\\", 0},
        {Home + "/", "C:\\", 0},
        {Home + "/a/./b/../c", "C:\\a\\c", 0},
        {Dir / "stick" + "/x.txt", "D:\\x.txt", 0},
        {Dir / "stick", "D:\\", 0},
        {Home + "/back\\slash", nullptr, ERROR_INVALID_NAME},
        {Home + "/star*", nullptr, ERROR_INVALID_NAME},
        {Home + "/what?/x", nullptr, ERROR_INVALID_NAME},
        {Home + "x/y", nullptr, ERROR_PATH_NOT_FOUND},
        {"/etc/passwd", nullptr, ERROR_PATH_NOT_FOUND},
    };
    for (const TToDrive& c : cases) {
        std::string path;
        bool ok = DrivePathOf(THostPath(c.Host), path);
        if (c.Path) {
            EXPECT_TRUE(ok) << c.Host;
            EXPECT_EQ(path, c.Path) << c.Host;
        } else {
            EXPECT_FALSE(ok) << c.Host << " gave " << path;
            EXPECT_EQ(GetLastError(), c.Error) << c.Host;
            EXPECT_EQ(path, "");
        }
    }
    std::string path;
    EXPECT_THROW(DrivePathOf(THostPath("C:\\x"), path), EPathKindError)
        << "a drive path is no host path";
}

TEST_F(PathMapping, RoundTripThroughBothForms) {
    for (const char* path : {"C:\\Data\\Letters\\note.txt", "D:\\a b\\c,d.txt", "C:\\x.VL001",
                             "C:\\report:v2.txt", "C:\\x:\\:y\\a::b", "D:\\:"}) {
        THostPath host;
        std::string back;
        ASSERT_TRUE(HostPathOf(path, host)) << path;
        ASSERT_TRUE(DrivePathOf(host, back)) << host;
        EXPECT_EQ(back, path);
    }
}

TEST_F(PathMapping, ColonsInNamesStayInTheirNames) {
    THostPath host;
    ASSERT_TRUE(HostPathOf("C:\\src\\report:v2.txt", host));
    EXPECT_EQ(host.Text(), Home + "/src/report:v2.txt");
    ASSERT_TRUE(HostPathOf("C:\\x:", host));
    EXPECT_EQ(host.Text(), Home + "/x:");
    EXPECT_EQ(DriveLetterOf("C:\\d:\\x"), 'C');
    EXPECT_EQ(DriveLetterOf(Dir / "stick" + "/c:"), 'D');
    EXPECT_FALSE(IsDrivePath("report:v2.txt"));
    EXPECT_FALSE(IsDrivePath("/c:"));
    EXPECT_TRUE(IsDrivePath("C:report"));
    struct Case {
        const char* Path;
        size_t NameStart;
    };
    const Case cases[] = {
        {"C:\\src\\report:v2.txt", 7},
        {"C:report", 2},
        {"C:", 2},
        {"report:v2", 0},
        {"/a/b:c", 3},
        {"/a:/b", 4},
        {"C:\\a:\\b", 6},
        {"", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NameStartOf(c.Path), c.NameStart) << c.Path;
}

TEST_F(PathMapping, ALinkOnTheWayLeavesTheDriveOnlyWhenItLeadsOutOfItsFolder) {
    namespace fs = std::filesystem;
    const std::string c = Dir / "c";
    UseDriveMap("detect off\nC: fixed " + c + "\nD: removable " + Dir / "stick" + "\n");
    fs::create_directories(c + "/real");
    fs::create_directories(Dir.Path() / "outside");
    fs::create_directory_symlink(c + "/real", c + "/in");
    fs::create_directory_symlink(Dir.Path() / "outside", c + "/out");
    fs::create_directory_symlink(Dir.Path() / "stick", c + "/tostick");
    fs::create_symlink(Dir.Path() / "outside/file", c + "/file-link");
    struct Case {
        std::string Path;
        bool Leaves;
    };
    const Case cases[] = {
        {"C:\\a.txt", false},
        {"C:\\", false},
        {"C:\\missing\\deeper\\a.txt", false},
        {"C:\\in\\a.txt", false},
        {"C:\\in\\new\\a.txt", false},
        {"C:\\file-link", false},  // the last name is not looked at
        {"C:\\out\\a.txt", true},
        {"C:\\out\\new\\deeper\\a.txt", true},
        {"C:\\tostick\\a.txt", true},
        {"C:\\in\\..\\out\\a.txt", true},
        {c + "/out/a.txt", false},  // a host path has no drive to leave
        {"Q:\\a.txt", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LeavesItsDrive(c.Path), c.Leaves) << c.Path;
}

TEST_F(PathMapping, SymlinkedHostPathFindsItsDrive) {
    std::filesystem::create_directory_symlink(Dir / "stick", Dir / "link-to-stick");
    std::string path;
    ASSERT_TRUE(DrivePathOf(THostPath(Dir / "link-to-stick" + "/f.txt"), path));
    EXPECT_EQ(path, "D:\\f.txt");
}

TEST(PathIdentity, NamesCountByLetterCaseDriveLettersDoNot) {
    struct Case {
        const char* A;
        const char* B;
        bool Same;
    };
    const Case cases[] = {
        {"C:\\Data\\x.txt", "C:\\Data\\x.txt", true},
        {"c:\\Data\\x.txt", "C:\\Data\\x.txt", true},
        {"C:\\data\\x.txt", "C:\\Data\\x.txt", false},
        {"C:\\Data", "C:\\Data\\", false},
        {"/home/ann", "/home/ann", true},
        {"/home/Ann", "/home/ann", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SamePath(c.A, c.B), c.Same) << c.A << " / " << c.B;
}
