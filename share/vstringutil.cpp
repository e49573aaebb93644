#include "vstringutil.h"

#include <algorithm>
#include <cstdint>

namespace {

bool IsBlankOrControl(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

bool IsContinuationByte(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

// One character read from a UTF-8 text.
struct TUtf8Char {
    char32_t CodePoint;
    size_t Length;  // bytes taken from the text
    bool Valid;     // false: a lone byte that is not part of a valid sequence
};

// Reads the character at s[pos]. Overlong forms, surrogates and values above U+10FFFF
// are not valid sequences; their first byte is then taken alone.
TUtf8Char DecodeAt(const std::string& s, size_t pos) {
    const auto lead = static_cast<unsigned char>(s[pos]);
    const TUtf8Char lone{lead, 1, false};
    if (lead < 0x80)
        return {lead, 1, true};

    size_t length;
    char32_t value;
    char32_t smallest;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, value = lead & 0x1F, smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, value = lead & 0x0F, smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, value = lead & 0x07, smallest = 0x10000;
    } else {
        return lone;
    }
    if (pos + length > s.size())
        return lone;
    for (size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(s[pos + i]);
        if (!IsContinuationByte(next))
            return lone;
        value = (value << 6) | (next & 0x3F);
    }
    const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
    if (value < smallest || surrogate || value > 0x10FFFF)
        return lone;
    return {value, length, true};
}

}  // namespace

std::string DeleteChars(const std::string& s, char c) {
    std::string result = s;
    std::erase(result, c);
    return result;
}

std::string DeleteSpaces(const std::string& s) {
    return DeleteChars(s, ' ');
}

std::string Trim(const std::string& s) {
    auto first = std::find_if_not(s.begin(), s.end(), IsBlankOrControl);
    auto last = std::find_if_not(s.rbegin(), s.rend(), IsBlankOrControl).base();
    return first < last ? std::string(first, last) : std::string();
}

std::u32string DecodeUtf8Lenient(const std::string& s) {
    std::u32string result;
    for (size_t pos = 0; pos < s.size();) {
        TUtf8Char c = DecodeAt(s, pos);
        result.push_back(c.CodePoint);
        pos += c.Length;
    }
    return result;
}

std::string EncodeUtf8(char32_t codePoint) {
    std::string out;
    auto put = [&out](uint32_t byte) { out.push_back(static_cast<char>(byte)); };
    const uint32_t cp = codePoint;
    if (cp < 0x80) {
        put(cp);
    } else if (cp < 0x800) {
        put(0xC0 | (cp >> 6));
        put(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        put(0xE0 | (cp >> 12));
        put(0x80 | ((cp >> 6) & 0x3F));
        put(0x80 | (cp & 0x3F));
    } else {
        put(0xF0 | ((cp >> 18) & 0x07));
        put(0x80 | ((cp >> 12) & 0x3F));
        put(0x80 | ((cp >> 6) & 0x3F));
        put(0x80 | (cp & 0x3F));
    }
    return out;
}

char32_t UpperCaseChar(char32_t c) {
    if (c >= U'a' && c <= U'z')
        return c - 0x20;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return c - 0x20;
    if (c == 0xFF)
        return 0x178;
    return c;
}

std::string AnsiUpperCase(const std::string& s) {
    std::string result;
    result.reserve(s.size());
    for (size_t pos = 0; pos < s.size();) {
        TUtf8Char c = DecodeAt(s, pos);
        if (c.Valid)
            result += EncodeUtf8(UpperCaseChar(c.CodePoint));
        else
            result.push_back(s[pos]);
        pos += c.Length;
    }
    return result;
}

bool SameText(const std::string& a, const std::string& b) {
    return AnsiUpperCase(a) == AnsiUpperCase(b);
}

std::string LeftChars(const std::string& s, size_t count) {
    size_t pos = 0;
    for (size_t taken = 0; taken < count && pos < s.size(); ++taken)
        pos += DecodeAt(s, pos).Length;
    return s.substr(0, pos);
}
