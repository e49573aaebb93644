#include "platform/hostpath.h"

#include <gtest/gtest.h>

#include <string>
#include <type_traits>

#include "platform/hostfs.h"
#include "platform/paths.h"
#include "platform/realpath.h"

// Neither kind of path turns into the other by itself: each crossing is a call that
// says which way it goes.
static_assert(!std::is_convertible_v<std::string, THostPath>);
static_assert(!std::is_convertible_v<const char*, THostPath>);
static_assert(!std::is_convertible_v<THostPath, std::string>);
static_assert(!std::is_invocable_v<decltype(HostPathOf), const std::string&, std::string&>);
static_assert(!std::is_invocable_v<decltype(DrivePathOf), const std::string&, std::string&>);
static_assert(!std::is_invocable_v<decltype(RealHostPath), const std::string&, std::string&>);
static_assert(
    !std::is_invocable_v<decltype(hostfs::WriteWholeFile), const std::string&, const std::string&>);

TEST(HostPath, OnlyAnAbsolutePathWithoutNulIsAHostPath) {
    for (const char* text : {"/", "/home/ann", "/home/ann/", "/a:b/report:v2.txt", "/C:\\x"}) {
        EXPECT_TRUE(THostPath::IsHostPathText(text)) << text;
        EXPECT_EQ(THostPath(text).Text(), text) << "kept as given";
    }
    const std::string refused[] = {
        "",
        "C:\\Data\\report.doc",
        "C:",
        "c:report",
        "report:v2.txt",
        "relative/path",
        "./x",
        "~/x",
        "\\\\server\\share",
        std::string("/a\0b", 4),
    };
    for (const std::string& text : refused) {
        EXPECT_FALSE(THostPath::IsHostPathText(text)) << text;
        EXPECT_THROW(THostPath{text}, EPathKindError) << text;
    }
    try {
        THostPath("C:\\Data");
        ADD_FAILURE() << "a drive path was taken for a host path";
    } catch (const EPathKindError& e) {
        EXPECT_NE(std::string(e.what()).find("\"C:\\Data\" is not a host path"), std::string::npos)
            << e.what();
    }
    EXPECT_TRUE(THostPath().IsEmpty());
    EXPECT_FALSE(THostPath("/").IsEmpty());
}

TEST(HostPath, JoinsRelativeNamesOnly) {
    struct Case {
        const char* Folder;
        const char* Name;
        const char* Joined;
    };
    const Case cases[] = {
        {"/", "etc", "/etc"},
        {"/home/ann", "Vaultaire.vlp", "/home/ann/Vaultaire.vlp"},
        {"/home/ann/", "x", "/home/ann/x"},
        {"/home/ann", ".config/autostart", "/home/ann/.config/autostart"},
        {"/home/ann", "C:\\x", "/home/ann/C:\\x"},  // a name like any other on the host
        {"/home/ann", "report:v2.txt", "/home/ann/report:v2.txt"},
    };
    for (const Case& c : cases)
        EXPECT_EQ((THostPath(c.Folder) / c.Name).Text(), c.Joined) << c.Folder << " / " << c.Name;
    for (const std::string& name :
         {std::string(), std::string("/etc/passwd"), std::string("/"), std::string("a\0b", 3)}) {
        EXPECT_THROW(THostPath("/home") / name, EPathKindError) << name;
    }
    EXPECT_THROW(THostPath() / "x", EPathKindError) << "nothing to join to";
}

TEST(HostPath, PartsNormalFormAndWhatLiesInside) {
    struct Parts {
        const char* Path;
        const char* Parent;
        const char* Name;
        const char* Normalised;
    };
    const Parts parts[] = {
        {"/a/b/c", "/a/b", "c", "/a/b/c"},
        {"/c", "/", "c", "/c"},
        {"/", "/", "", "/"},
        {"/a//b/./c/", "/a//b/./c", "", "/a/b/c"},
        {"/a/b/../../..", "/a/b/../..", "..", "/"},
        {"/a/link/../b:c", "/a/link/..", "b:c", "/a/b:c"},
    };
    for (const Parts& p : parts) {
        THostPath path(p.Path);
        EXPECT_EQ(path.Parent().Text(), p.Parent) << p.Path;
        EXPECT_EQ(path.Name(), p.Name) << p.Path;
        EXPECT_EQ(path.Normalised().Text(), p.Normalised) << p.Path;
    }
    EXPECT_TRUE(THostPath().Parent().IsEmpty());
    EXPECT_TRUE(THostPath().Normalised().IsEmpty());

    struct Inside {
        const char* Path;
        const char* Folder;
        bool Inside;
    };
    const Inside cases[] = {
        {"/home/ann", "/home/ann", true},
        {"/home/ann/x", "/home/ann", true},
        {"/home/annie", "/home/ann", false},
        {"/home", "/home/ann", false},
        {"/anything", "/", true},
        {"/", "/", true},
    };
    for (const Inside& c : cases) {
        EXPECT_EQ(THostPath(c.Path).IsInside(THostPath(c.Folder)), c.Inside)
            << c.Path << " in " << c.Folder;
    }
    EXPECT_FALSE(THostPath().IsInside(THostPath("/")));
    EXPECT_FALSE(THostPath("/a").IsInside(THostPath()));
}

TEST(HostPath, ComparesByTextAsTheHostTellsNamesApart) {
    EXPECT_EQ(THostPath("/home/ann"), THostPath("/home/ann"));
    EXPECT_NE(THostPath("/home/Ann"), THostPath("/home/ann"));
    EXPECT_NE(THostPath("/home/ann/"), THostPath("/home/ann")) << "spelling is not normalised";
    EXPECT_EQ(THostPath("/home/ann/").Normalised(), THostPath("/home/ann"));
    EXPECT_LT(THostPath("/a"), THostPath("/b"));
    EXPECT_NE(THostPath(), THostPath("/"));
}
