#include "vstringutil.h"

#include <gtest/gtest.h>

#include <string>

TEST(VStringUtil, DeleteCharsAndSpaces) {
    struct Case {
        std::string Text;
        char Removed;
        std::string Expected;
    };
    const Case cases[] = {
        {".DOC", '.', "DOC"}, {"a.b.c.", '.', "abc"}, {"abc", 'x', "abc"},
        {"", '.', ""},        {"...", '.', ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DeleteChars(c.Text, c.Removed), c.Expected);
    EXPECT_EQ(DeleteSpaces(" my  profile "), "myprofile");
    EXPECT_EQ(DeleteSpaces("a\tb"), "a\tb");
}

TEST(VStringUtil, TrimRemovesBlanksAndControlsAtBothEnds) {
    struct Case {
        std::string Text;
        std::string Expected;
    };
    const Case cases[] = {
        {"  a b \t\r\n", "a b"}, {"", ""}, {" \t ", ""}, {"x", "x"}, {"\x01x\x1F", "x"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Trim(c.Text), c.Expected);
}

TEST(VStringUtil, DecodesUtf8TakingStrayBytesAsTheirValue) {
    struct Case {
        std::string Text;
        std::u32string Expected;
    };
    const Case cases[] = {
        {"a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", U"a\u00E9\u20AC\U0001F600"},
        {"\xE9x", U"\u00E9x"},                              // Latin-1 byte
        {"\xC3", U"\u00C3"},                                // sequence cut short
        {"\xC0\x81", U"\u00C0\u0081"},                      // overlong form
        {"\xED\xA0\x80", U"\u00ED\u00A0\u0080"},            // surrogate
        {"\xF4\x90\x80\x80", U"\u00F4\u0090\u0080\u0080"},  // above U+10FFFF
        {"\xE2\x82x", U"\u00E2\u0082x"},                    // continuation missing
    };
    for (const Case& c : cases)
        EXPECT_EQ(DecodeUtf8Lenient(c.Text), c.Expected) << c.Text;
}

TEST(VStringUtil, UpperCaseCoversAsciiAndLatin1Letters) {
    struct Case {
        std::string Text;
        std::string Expected;
    };
    const Case cases[] = {
        {"abc.Doc", "ABC.DOC"},
        {"caf\xC3\xA9", "CAF\xC3\x89"},  // é -> É
        {"\xC3\xBF", "\xC5\xB8"},        // ÿ -> Ÿ
        {"stra\xC3\x9F"
         "e",
         "STRA\xC3\x9F"
         "E"},                     // ß has no single capital: kept
        {"\xC3\xB7", "\xC3\xB7"},  // ÷ is no letter
        {"\xD0\xB6", "\xD0\xB6"},  // other scripts stay
        {"a\xE9z", "A\xE9Z"},      // invalid byte kept as it was
        {"\xC3", "\xC3"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AnsiUpperCase(c.Text), c.Expected) << c.Text;

    EXPECT_TRUE(SameText("Docs", "DOCS"));
    EXPECT_TRUE(SameText("\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89"));
    EXPECT_FALSE(SameText("Docs", "Doc"));
}
