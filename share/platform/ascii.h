#pragma once

// Case of ASCII letters alone, the same in every locale: drive letters and the program's own
// words must not change with the user's locale, and a byte above 127 is never a letter here
// (in a Latin-1 locale std::toupper would turn 0xE9 into 0xC9 and call it a letter).

constexpr bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

constexpr char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

constexpr char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
