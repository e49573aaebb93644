#include "storedpath.h"

#include <gtest/gtest.h>

namespace {

constexpr const char* kRoot = "E:\\Vaultaire";
constexpr const char* kCopy = "E:\\Vaultaire\\C\\Data\\a.txt.VL001";

struct TStoredCase {
    const char* Stored;
    const char* Fault;  // a part of the reason, or empty for a path that may be restored
};

}  // namespace

TEST(StoredPath, OnlyThePathTheCopysPlaceStandsForPasses) {
    const TStoredCase cases[] = {
        {"C:\\Data\\a.txt", ""},
        {"c:\\Data\\a.txt", ""},
        {"", "no path"},
        {"C:\\Data\\a\x01.txt", "control characters"},
        {"C:\\Data\\a.txt\n", "control characters"},
        {"C:\\Data\\a\x7F.txt", "control characters"},
        {"/etc/passwd", "not in drive form"},
        {"C:Data\\a.txt", "not in drive form"},
        {"\\\\server\\share\\a.txt", "not in drive form"},
        {"C:\\", "not in drive form"},
        {"C:\\..\\a.txt", "\"..\""},
        {"C:\\Data\\..\\a.txt", "\"..\""},
        {"C:\\Data\\..", "\"..\""},
        {"C:\\Data/../../a.txt", "\"..\""},
        {"C:\\Data\\.\\a.txt", "\".\" step"},
        {"C:\\Data\\\\a.txt", "\".\" step"},
        {"D:\\Data\\a.txt", "not the path"},
        {"C:\\Data\\b.txt", "not the path"},
        {"C:\\data\\a.txt", "not the path"},
        {"C:\\Data/a.txt", "not the path"},
        {"C:\\Data\\a.txt.VL001", "not the path"},
    };
    for (const TStoredCase& c : cases) {
        std::string fault = StoredPathFault(kRoot, kCopy, c.Stored);
        if (*c.Fault == 0) {
            EXPECT_EQ(fault, "") << c.Stored;
        } else {
            EXPECT_NE(fault.find(c.Fault), std::string::npos) << c.Stored << ": " << fault;
        }
    }
}

TEST(StoredPath, ACopyOutsideADriveFolderStandsForNothing) {
    std::string source;
    EXPECT_FALSE(SourcePathOfCopy(kRoot, "E:\\Vaultaire\\a.txt.VL001", source));
    EXPECT_FALSE(SourcePathOfCopy(kRoot, "E:\\Vaultaire\\CC\\a.txt.VL001", source));
    EXPECT_FALSE(SourcePathOfCopy(kRoot, "E:\\Vaultaire\\C\\ab.txt", source)) << "no name left";
    EXPECT_FALSE(SourcePathOfCopy(kRoot, "E:\\Other\\C\\a.txt.VL001", source));
    EXPECT_NE(StoredPathFault(kRoot, "E:\\Vaultaire\\C\\ab.txt", "C:\\"), "");
    ASSERT_TRUE(SourcePathOfCopy("/mnt/x/Vaultaire", "/mnt/x/Vaultaire/D/A b/c.VL002", source));
    EXPECT_EQ(source, "D:\\A b\\c");
}

TEST(StoredPath, TargetsKeepTheSourceFoldersBelowTheDestination) {
    EXPECT_EQ(RestoreTargetOf("C:\\Data\\a.txt", ""), "C:\\Data\\a.txt");
    EXPECT_EQ(RestoreTargetOf("C:\\Data\\a.txt", "E:\\Old"), "E:\\Old\\Data\\a.txt");
    EXPECT_EQ(RestoreTargetOf("C:\\Data\\a.txt", "E:\\"), "E:\\Data\\a.txt");
    EXPECT_EQ(RestoreTargetOf("C:\\Data\\a.txt", "/tmp/out"), "/tmp/out/Data/a.txt");
}
