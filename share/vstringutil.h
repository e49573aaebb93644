#pragma once

#include <string>

#include "vlshare_export.h"

// s with every occurrence of c removed.
VLSHARE_EXPORT std::string DeleteChars(const std::string& s, char c);
// s without its blanks.
VLSHARE_EXPORT std::string DeleteSpaces(const std::string& s);
// s without the blanks and control characters at both ends.
VLSHARE_EXPORT std::string Trim(const std::string& s);

// Texts are UTF-8. Where a byte is not part of a valid UTF-8 sequence it stands for the
// character whose code point is the byte's value (as in Latin-1), so that no input is
// rejected and every byte counts as one character.
VLSHARE_EXPORT std::u32string DecodeUtf8Lenient(const std::string& s);
VLSHARE_EXPORT std::string EncodeUtf8(char32_t codePoint);

// The upper case of one character: a-z, and the Latin-1 letters U+00E0..U+00FE except
// U+00F7, move down by 0x20; U+00FF becomes U+0178; every other character stays.
VLSHARE_EXPORT char32_t UpperCaseChar(char32_t c);

// s with every validly encoded character upper-cased by UpperCaseChar and re-encoded;
// bytes that are not valid UTF-8 stay as they were.
VLSHARE_EXPORT std::string AnsiUpperCase(const std::string& s);
// Equal when their AnsiUpperCase forms are.
VLSHARE_EXPORT bool SameText(const std::string& a, const std::string& b);

// The first count characters of s (UTF-8 code points, stray bytes counting as one each);
// all of s when it is shorter.
VLSHARE_EXPORT std::string LeftChars(const std::string& s, size_t count);
