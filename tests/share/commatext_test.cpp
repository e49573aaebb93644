#include "commatext.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using TList = std::vector<std::string>;

TEST(CommaText, WritesEntriesQuotingOnlyWhereNeeded) {
    struct Case {
        TList List;
        std::string Text;
    };
    const Case cases[] = {
        {{}, ""},
        {{""}, R"("")"},
        {{"a"}, "a"},
        {{".doc", ".xls"}, ".doc,.xls"},
        {{"C:\\My Documents", "D:\\Data"}, R"("C:\My Documents",D:\Data)"},
        {{"say \"hi\""}, R"("say ""hi""")"},
        {{"a,b"}, R"("a,b")"},
        {{"tab\there"}, "\"tab\there\""},
        {{"", "a"}, ",a"},
        {{"a", ""}, "a,"},
        {{"a", "", "b"}, "a,,b"},
        {{"caf\xC3\xA9"}, "caf\xC3\xA9"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ToCommaText(c.List), c.Text);
}

TEST(CommaText, ReadsEntriesSeparatedByCommasAndBlanks) {
    struct Case {
        std::string Text;
        TList List;
    };
    const Case cases[] = {
        {"", {}},
        {" \t\r\n", {}},
        {R"("")", {""}},
        {"a,b", {"a", "b"}},
        {"a b", {"a", "b"}},
        {"  a ,  b  ", {"a", "b"}},
        {"\t\na", {"a"}},
        {"a,,b", {"a", "", "b"}},
        {"a,", {"a", ""}},
        {"a, ", {"a", ""}},
        {",", {"", ""}},
        {R"("a ""b"" c",d)", {R"(a "b" c)", "d"}},
        {R"(a"b,c)", {R"(a"b)", "c"}},
        {R"("ab"cd)", {"ab", "cd"}},
        {R"("unterminated, to the end)", {"unterminated, to the end"}},
        {R"("ends in a doubled quote"")", {R"(ends in a doubled quote")"}},
        {"\"", {""}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FromCommaText(c.Text), c.List) << c.Text;
}

TEST(CommaText, WrittenListsReadBackUnchanged) {
    const TList lists[] = {
        {},
        {""},
        {"", ""},
        {"", "a", ""},
        {".bak", ".tmp"},
        {"C:\\Program Files\\App", "C:\\Data", "D:\\"},
        {R"(")", R"("")", R"(a"b)", R"("quoted")"},
        {" leading", "trailing ", "in between", "\ttab", "line\nbreak"},
        {",", ",,", "a,b"},
        {std::string("nul\0inside", 10)},
        {"caf\xC3\xA9", "\xE6\x97\xA5\xE6\x9C\xAC", "\xFF\xFE"},
    };
    for (const TList& list : lists) {
        std::string text = ToCommaText(list);
        EXPECT_EQ(FromCommaText(text), list) << text;
    }
}
