#include "varchive.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using TBytes = std::vector<uint8_t>;

std::string TextOfLength(size_t length) {
    std::string text(length, '\0');
    for (size_t i = 0; i < length; ++i)
        text[i] = static_cast<char>('a' + i % 26);
    return text;
}

}  // namespace

TEST(Varchive, LengthPrefixGrowsAtTheBoundaries) {
    struct Case {
        size_t Length;
        TBytes Prefix;
    };
    const Case cases[] = {
        {0, {0x00}},
        {1, {0x01}},
        {254, {0xFE}},
        {255, {0xFF, 0xFF, 0x00}},
        {65533, {0xFF, 0xFD, 0xFF}},
        {65534, {0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}},
        {65535, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00}},
        {100000, {0xFF, 0xFF, 0xFF, 0xA0, 0x86, 0x01, 0x00}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Length);
        const std::string text = TextOfLength(c.Length);
        TMemoryStream stream;
        stream << text;
        ASSERT_EQ(stream.Data.size(), c.Prefix.size() + c.Length);
        EXPECT_EQ(TBytes(stream.Data.begin(), stream.Data.begin() + c.Prefix.size()), c.Prefix);
        EXPECT_EQ(std::string(stream.Data.begin() + c.Prefix.size(), stream.Data.end()), text);

        stream.SetPosition(0);
        std::string back = "old";
        stream >> back;
        EXPECT_EQ(back, text);
        EXPECT_EQ(stream.GetPosition(), stream.GetSize());
    }
}

TEST(Varchive, ReadsConsecutiveTextsAndLongFormsOfShortLengths) {
    TMemoryStream stream(TBytes{0x02, 'h', 'i',                                 // short form
                                0xFF, 0x03, 0x00, 'a', 'b', 'c',                // 16-bit form of 3
                                0xFF, 0xFF, 0xFF, 0x01, 0x00, 0x00, 0x00, 'x',  // 32-bit form
                                0x00});
    std::string first, second, third, fourth = "old";
    stream >> first >> second >> third >> fourth;
    EXPECT_EQ(first, "hi");
    EXPECT_EQ(second, "abc");
    EXPECT_EQ(third, "x");
    EXPECT_EQ(fourth, "");
}

TEST(Varchive, DamagedOrShortInputRaisesReadErrorAndKeepsTheTarget) {
    const TBytes cases[] = {
        {},                                               // no length at all
        {0x05, 'a', 'b'},                                 // fewer bytes than the length
        {0xFF, 0x01},                                     // 16-bit length cut short
        {0xFF, 0x00, 0x01},                               // 256 announced, nothing follows
        {0xFF, 0xFF, 0xFF, 0x01, 0x00},                   // 32-bit length cut short
        {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},       // negative length
        {0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x80},       // most negative length
        {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 'a'},  // 2 GiB announced, one byte there
    };
    for (const TBytes& bytes : cases) {
        TMemoryStream stream(bytes);
        std::string text = "untouched";
        EXPECT_THROW(stream >> text, EReadError) << "input of " << bytes.size() << " bytes";
        EXPECT_EQ(text, "untouched");
    }
}
