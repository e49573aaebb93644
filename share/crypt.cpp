#include "crypt.h"

#include "vstringutil.h"

namespace {

constexpr uint32_t StartValue = 0xFFFFFFFF;
constexpr uint32_t CharConstant = 0x13579ACE;
constexpr uint32_t FinalConstant = 0x2468BDF0;
constexpr size_t MaxPasswordLength = 127;

// How a password's characters enter the key. The password is UTF-8 and is decoded into
// code points; a byte that is not part of a valid UTF-8 sequence counts as the code point
// of its value. A "character" (also for the length limit) is one code point. Each is
// upper-cased by UpperCaseChar (a-z and the Latin-1 letters, so "é" and "É" agree) and
// widened as an unsigned 32-bit value. Making and checking keys must agree on this in
// every program that reads the keys, so it lives in this one place.
std::u32string KeyCharacters(const std::string& password) {
    std::u32string characters = DecodeUtf8Lenient(password);
    for (char32_t& c : characters)
        c = UpperCaseChar(c == U'_' ? U' ' : c);
    return characters;
}

uint32_t Mix(uint32_t k, char32_t c) {
    return k ^ (static_cast<uint32_t>(c) ^ CharConstant);
}

}  // namespace

int32_t MakeKey(const std::string& password) {
    std::u32string characters = KeyCharacters(password);
    if (characters.size() > MaxPasswordLength)
        return -1;
    uint32_t k = StartValue;
    for (char32_t c : characters)
        k = Mix(k, c);
    return static_cast<int32_t>(k ^ FinalConstant);
}

bool CheckKey(const std::string& password, int32_t key) {
    std::u32string characters = KeyCharacters(password);
    if (characters.size() > MaxPasswordLength)
        return false;
    uint32_t k = static_cast<uint32_t>(key) ^ FinalConstant;
    for (auto c = characters.rbegin(); c != characters.rend(); ++c)
        k = Mix(k, *c);
    return k == StartValue;
}
