#include "crypt.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Repeat(const std::string& part, int count) {
    std::string result;
    for (int i = 0; i < count; ++i)
        result += part;
    return result;
}

const std::string LowerEAcute = "\xC3\xA9";  // é
const std::string UpperEAcute = "\xC3\x89";  // É

}  // namespace

TEST(Crypt, WorkedValues) {
    EXPECT_EQ(static_cast<uint32_t>(MakeKey("abc")), 0xC8C0D881u);
    EXPECT_EQ(static_cast<uint32_t>(MakeKey("")), 0xFFFFFFFFu ^ 0x2468BDF0u);
}

TEST(Crypt, KeyIgnoresCaseUnderscoreAndOrder) {
    const std::vector<std::vector<std::string>> sameKey = {
        {"abc", "ABC", "cba", "bCa"},
        {"my_pass", "my pass", "MY PASS", "ssap_ym"},
        {"caf" + LowerEAcute, "CAF" + UpperEAcute, LowerEAcute + "fac"},
        {"\xC3\xBF", "\xC5\xB8"},  // ÿ and its capital Ÿ
        // A byte that is no valid UTF-8 stands for the character of its value.
        {"\xE9", LowerEAcute, UpperEAcute},
    };
    for (const auto& group : sameKey) {
        const int32_t key = MakeKey(group[0]);
        for (const std::string& password : group) {
            EXPECT_EQ(MakeKey(password), key) << password;
            EXPECT_TRUE(CheckKey(password, key)) << password;
        }
    }
}

TEST(Crypt, DifferentCharactersGiveDifferentKeys) {
    const std::vector<std::pair<std::string, std::string>> pairs = {
        {"abc", "abd"},
        {"e", LowerEAcute},
        {"\xC3\xB7", "\xC3\x97"},  // ÷ and × are no letters: no case to ignore
        {"a", "aa"},
    };
    for (const auto& [first, second] : pairs) {
        EXPECT_NE(MakeKey(first), MakeKey(second)) << first << " / " << second;
        EXPECT_FALSE(CheckKey(first, MakeKey(second))) << first << " / " << second;
    }
}

TEST(Crypt, PasswordsOf128CharactersAreRefused) {
    for (const std::string& unit : {std::string("a"), LowerEAcute}) {
        const std::string longest = Repeat(unit, 127);
        const std::string tooLong = Repeat(unit, 128);
        EXPECT_NE(MakeKey(longest), -1);
        EXPECT_TRUE(CheckKey(longest, MakeKey(longest)));
        EXPECT_EQ(MakeKey(tooLong), -1);
        EXPECT_FALSE(CheckKey(tooLong, -1));
        EXPECT_FALSE(CheckKey(tooLong, MakeKey(tooLong)));
    }
}

TEST(Crypt, CheckKeyOfEmptyPasswordAndOfNoPassword) {
    EXPECT_TRUE(CheckKey("", MakeKey("")));
    for (const char* password : {"", "a", "abc", "secret password", "_"})
        EXPECT_FALSE(CheckKey(password, 0)) << password;
}
