// The settings file read from arbitrary input: what the reader accepts, written again and
// read back, holds the same keys with the same values; every value decodes, and a text or
// binary value encoded and decoded again is what it was.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/inifile.h"

namespace {

[[noreturn]] void Fail(const char* what, const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", what, text.c_str());
    std::abort();
}

void CheckFile(const std::string& text) {
    std::optional<TIniFile> ini = TIniFile::Parse(text);
    if (!ini)
        return;
    const std::string written = ini->Text();
    std::optional<TIniFile> again = TIniFile::Parse(written);
    // Keys are written section by section: the order may change, the keys may not.
    std::vector<std::string> keys = ini->Keys();
    std::vector<std::string> keysAgain = again ? again->Keys() : std::vector<std::string>();
    std::sort(keys.begin(), keys.end());
    std::sort(keysAgain.begin(), keysAgain.end());
    if (!again || keysAgain != keys)
        Fail("keys did not read back", written);
    for (const std::string& key : ini->Keys()) {
        const TIniValue before = DecodeIniValue(*ini->Find(key));
        const TIniValue after = DecodeIniValue(*again->Find(key));
        if (before.Kind != after.Kind || before.Text != after.Text || before.Items != after.Items)
            Fail("a value did not read back", written);
        IniValueInteger(before);
    }
}

void CheckValues(const std::string& text) {
    TIniValue value = DecodeIniValue(EncodeIniText(text));
    if (value.Kind != TIniValue::ivText || value.Text != text)
        Fail("text did not read back", EncodeIniText(text));
    value = DecodeIniValue(EncodeIniBinary({text.begin(), text.end()}));
    if (value.Kind != TIniValue::ivBinary || value.Text != text)
        Fail("binary data did not read back", EncodeIniBinary({text.begin(), text.end()}));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    CheckFile(text);
    CheckValues(text);
    return 0;
}
