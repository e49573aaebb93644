#include "masks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commatext.h"
#include "exceptions.h"
#include "interaction.h"
#include "scriptedinteraction.h"
#include "strtable.h"

namespace {

using TList = std::vector<std::string>;

TMasks MasksOf(const std::string& includes, const std::string& excludes) {
    TMasks masks;
    masks.Includes = FromCommaText(includes);
    masks.Excludes = FromCommaText(excludes);
    return masks;
}

}  // namespace

TEST(Masks, DecidesWhichFilesAreCovered) {
    struct Case {
        const char* Includes;
        const char* Excludes;
        const char* FileName;
        bool Covered;
    };
    const std::string defaultIncludes = TMasks::DefaultIncludeMasks;
    const std::string defaultExcludes = TMasks::DefaultExcludeMasks;
    const Case cases[] = {
        // A new set covers every file but .bak and .tmp, also files without extension.
        {".*", ".bak,.tmp", "report.DOC", true},
        {".*", ".bak,.tmp", "a.Bak", false},
        {".*", ".bak,.tmp", "C:\\Data\\x.TMP", false},
        {".*", ".bak,.tmp", "Makefile", true},
        {".*", ".bak,.tmp", "C:\\Dir.d\\Makefile", true},
        // No extension: only an include list of just ".*" covers it, whatever is excluded.
        {".doc,.xls", "", "Makefile", false},
        {".doc,.xls", "", "C:\\Data\\sheet.xls", true},
        {".*", ".doc,.*", "C:\\Data\\Makefile", true},
        {".*,.doc", "", "Makefile", false},
        // The extension follows the last backslash or colon.
        {".txt", "", "C:name.txt", true},
        {".txt", "", "C:\\a.txt\\name", false},
        // '*' ends the comparison with success.
        {".h*", "", "x.h", true},
        {".h*", "", "x.hpp", true},
        {".h*", "", "x.htm", true},
        {".h*", "", "x.c", false},
        // '?' takes exactly one character.
        {".?", "", "x.c", true},
        {".?", "", "x.h", true},
        {".?", "", "x.cpp", false},
        {".htm?", "", "page.html", true},
        {".htm?", "", "page.htmls", false},
        // An extension that is a beginning of the mask matches; a longer one does not.
        {".doc", "", "x.d", true},
        {".doc", "", "x.do", true},
        {".doc", "", "x.doc", true},
        {".doc", "", "x.docx", false},
        {".doc", "", "x.dot", false},
        // Case does not matter, also for Latin-1 letters.
        {".DoC", "", "x.dOc", true},
        {".\xC3\xA9t\xC3\xA9", "", "x.\xC3\x89T\xC3\x89", true},
        // '?' is one character, also when it takes several bytes.
        {".?", "", "x.\xC3\xA9", true},
        // A name ending in a dot has the extension "." and matches every longer mask.
        {".doc", "", "name.", true},
        {".*", ".bak,.tmp", "name.", false},
    };
    EXPECT_EQ(defaultIncludes, ".*");
    EXPECT_EQ(defaultExcludes, ".bak,.tmp");
    for (const Case& c : cases) {
        TMasks masks = MasksOf(c.Includes, c.Excludes);
        EXPECT_EQ(masks.DoesFileNameMatch(c.FileName), c.Covered)
            << c.FileName << " with includes " << c.Includes << " and excludes " << c.Excludes;
    }
}

TEST(Masks, NewMasksHoldTheDefaultLists) {
    TMasks masks;
    EXPECT_EQ(masks.Includes, TList{".*"});
    EXPECT_EQ(masks.Excludes, (TList{".bak", ".tmp"}));
    EXPECT_EQ(masks.GetIncludeMasks(), ".*");
    EXPECT_EQ(masks.GetExcludeMasks(), ".bak,.tmp");
}

class MasksAdd : public testing::Test {
  protected:
    void SetUp() override { Previous = SetInteraction(&Script); }
    void TearDown() override {
        SetInteraction(Previous);
        EXPECT_TRUE(Script.Unexpected().empty());
        EXPECT_EQ(Script.Pending(), 0u);
    }

    TScriptedInteraction Script;
    TInteraction* Previous = nullptr;
};

TEST_F(MasksAdd, StoresTheMaskWithItsDot) {
    TMasks masks = MasksOf(".txt", ".bak");
    EXPECT_TRUE(masks.Add("doc", true));
    EXPECT_TRUE(masks.Add(".old", false));
    EXPECT_EQ(masks.Includes, (TList{".txt", ".doc"}));
    EXPECT_EQ(masks.Excludes, (TList{".bak", ".old"}));
    EXPECT_FALSE(masks.Add("", true)) << "an empty mask is refused without a word";
    EXPECT_EQ(masks.Includes, (TList{".txt", ".doc"}));
}

TEST_F(MasksAdd, AllFilesCannotBeExcluded) {
    Script.Expect(761, IDOK);
    TMasks masks;
    EXPECT_FALSE(masks.Add(".*", false));
    EXPECT_EQ(masks.Excludes, (TList{".bak", ".tmp"}));
}

TEST_F(MasksAdd, AllFilesReplacesEveryIncludeAndThenRefusesMore) {
    Script.Expect(762, IDOK);
    Script.Expect(762, IDOK);
    TMasks masks = MasksOf(".doc,.xls", ".bak");
    EXPECT_TRUE(masks.Add("*", true));
    EXPECT_EQ(masks.Includes, TList{".*"});
    EXPECT_FALSE(masks.Add(".txt", true));
    EXPECT_FALSE(masks.Add(".bak", true)) << "refused before the exclude list is looked at";
    EXPECT_EQ(masks.Includes, TList{".*"});
    EXPECT_EQ(masks.Excludes, TList{".bak"});
}

TEST_F(MasksAdd, MovingAnExcludedMaskAsksFirst) {
    Script.Expect(771, IDNO);
    Script.Expect(771, IDYES);
    TMasks masks = MasksOf(".doc", ".bak,.tmp");
    EXPECT_FALSE(masks.Add(".BAK", true));
    EXPECT_EQ(masks.Includes, TList{".doc"});
    EXPECT_EQ(masks.Excludes, (TList{".bak", ".tmp"}));
    EXPECT_TRUE(masks.Add(".BAK", true));
    EXPECT_EQ(masks.Includes, (TList{".doc", ".BAK"}));
    EXPECT_EQ(masks.Excludes, TList{".tmp"});
}

TEST_F(MasksAdd, MovingAnIncludedMaskAsksFirst) {
    Script.Expect(770, IDYES);
    TMasks masks = MasksOf(".doc,.xls", "");
    EXPECT_TRUE(masks.Add("DOC", false));
    EXPECT_EQ(masks.Includes, TList{".xls"});
    EXPECT_EQ(masks.Excludes, TList{".DOC"});
}

TEST_F(MasksAdd, MovingAMaskTakesEveryCopyFromTheOtherList) {
    Script.Expect(771, IDYES);
    TMasks masks = MasksOf(".doc", ".bak,.tmp,.Bak");
    EXPECT_TRUE(masks.Add(".bak", true));
    EXPECT_EQ(masks.Excludes, TList{".tmp"});
    EXPECT_TRUE(masks.DoesFileNameMatch("old.bak"));
}

TEST_F(MasksAdd, RefusedAllFilesLeavesTheIncludesAsTheyWere) {
    Script.Expect(771, IDNO);
    TMasks masks = MasksOf(".doc,.xls", ".*");  // as a stored record may hold it
    EXPECT_FALSE(masks.Add(".*", true));
    EXPECT_EQ(masks.Includes, (TList{".doc", ".xls"}));
}

TEST(Masks, DeleteIgnoresCase) {
    TMasks masks = MasksOf(".doc,.xls", ".bak,.tmp");
    EXPECT_TRUE(masks.Delete(".DOC", true));
    EXPECT_EQ(masks.Includes, TList{".xls"});
    EXPECT_FALSE(masks.Delete(".doc", true));
    EXPECT_FALSE(masks.Delete(".xls", false)) << "only the list asked for is searched";
    EXPECT_TRUE(masks.Delete(".Tmp", false));
    EXPECT_EQ(masks.Excludes, TList{".bak"});
}

TEST(Masks, WriteThenReadRestoresBothLists) {
    TMasks written = MasksOf(".doc,.h*,\".a b\"", ".bak");
    TMemoryStream stream;
    written.Write(stream);

    const std::vector<uint8_t> expectedStart = {0x4C, 0x73, 0, 0, 4, '.', 'b', 'a', 'k'};
    ASSERT_GE(stream.Data.size(), expectedStart.size());
    EXPECT_EQ(std::vector<uint8_t>(stream.Data.begin(), stream.Data.begin() + 9), expectedStart)
        << "the exclude list comes first";
    const std::vector<uint8_t> expectedEnd = {0x6D, 0x3E, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(stream.Data.end() - 4, stream.Data.end()), expectedEnd);

    stream.SetPosition(0);
    TMasks read;
    read.Read(stream);
    EXPECT_EQ(read.Includes, written.Includes);
    EXPECT_EQ(read.Excludes, written.Excludes);
    EXPECT_EQ(stream.GetPosition(), stream.GetSize());
}

TEST(Masks, CorruptedRecordLeavesTheListsUntouched) {
    TMemoryStream good;
    MasksOf(".doc", ".old").Write(good);
    const std::vector<uint8_t> record = good.Data;

    for (size_t magicAt : {size_t{0}, record.size() - 4}) {
        TMemoryStream stream(record);
        stream.Data[magicAt] ^= 0x01;
        TMasks masks;
        try {
            masks.Read(stream);
            ADD_FAILURE() << "a damaged magic number at " << magicAt << " was accepted";
        } catch (const EReadError&) {
            ADD_FAILURE() << "a damaged magic number is no read error";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message, LoadStr(351));
        }
        EXPECT_EQ(stream.GetPosition(), stream.GetSize()) << "all four fields are read";
        EXPECT_EQ(masks.GetIncludeMasks(), TMasks::DefaultIncludeMasks);
        EXPECT_EQ(masks.GetExcludeMasks(), TMasks::DefaultExcludeMasks);
    }

    for (size_t length = 0; length < record.size(); ++length) {
        TMemoryStream stream(std::vector<uint8_t>(record.begin(), record.begin() + length));
        TMasks masks;
        EXPECT_THROW(masks.Read(stream), EReadError) << "record cut at " << length;
        EXPECT_EQ(masks.GetIncludeMasks(), TMasks::DefaultIncludeMasks);
        EXPECT_EQ(masks.GetExcludeMasks(), TMasks::DefaultExcludeMasks);
    }
}
