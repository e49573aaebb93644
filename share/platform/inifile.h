#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "vlshare_export.h"

// The text form of the settings file: "[section]" lines and "key=value" lines. A key's full
// name joins its section and its own name with "/": "Software/Orvanet/Vaultaire 2000/Version"
// stands as the line "Orvanet\Vaultaire%202000\Version=200" in the section "[Software]".
// Keys outside any section belong to "[General]". Names are escaped (EscapeIniKey), values
// are escaped and, where they need it, quoted (EncodeIniText); binary data is written as
// "@ByteArray(...)". Lines starting with ";" are comments.
//
// Values are kept as the text that stands in the file, so that a value this program never
// reads or writes (a list, a typed value of another writer) is written back as it was.
class VLSHARE_EXPORT TIniFile {
  public:
    // Empty when text is damaged: a section line without "]" or a line that is neither a
    // comment nor "key=value". Of a key that stands twice the first place and last value hold.
    static std::optional<TIniFile> Parse(std::string_view text);
    // The file's text: one section per first part of the keys' names, in the order the
    // keys came; keys in their order.
    std::string Text() const;

    // The value text of key (full name), or null.
    const std::string* Find(const std::string& key) const;
    // Sets the value text of key; a new key goes after the others.
    void Set(const std::string& key, const std::string& valueText);
    bool Remove(const std::string& key);
    // Whether a key lies below group (a first-level name: "Software").
    bool HasGroup(const std::string& group) const;
    std::vector<std::string> Keys() const;

  private:
    struct TEntry {
        std::string Key;
        std::string Value;
    };
    std::vector<TEntry> Entries;
};

// What a value text holds.
struct TIniValue {
    enum TKind {
        ivText,    // Text
        ivBinary,  // Text holds the bytes
        ivList,    // Items: values separated by unquoted commas
        ivNone,    // "@Invalid()"
        ivTyped,   // a typed value of another writer ("@Variant(...)", "@Rect(...)", ...)
    };
    TKind Kind = ivNone;
    std::string Text;
    std::vector<std::string> Items;
};

VLSHARE_EXPORT TIniValue DecodeIniValue(std::string_view valueText);
// The text of a value read as text: empty for a list, nothing or a typed value.
VLSHARE_EXPORT std::string IniValueText(const TIniValue& value);
// The number a text or binary value holds (decimal, a sign allowed, spaces around it);
// empty when it holds none or one out of range.
VLSHARE_EXPORT std::optional<int32_t> IniValueInteger(const TIniValue& value);

VLSHARE_EXPORT std::string EncodeIniText(std::string_view text);
VLSHARE_EXPORT std::string EncodeIniBinary(const std::vector<uint8_t>& bytes);
VLSHARE_EXPORT std::string EncodeIniInteger(int32_t value);

// A key name as it stands in the file: letters, digits, "_", "-" and "." as they are, "/"
// as "\", other characters as "%XX" (up to U+00FF) or "%UXXXX". Names are UTF-8.
VLSHARE_EXPORT std::string EscapeIniKey(std::string_view key);
VLSHARE_EXPORT std::string UnescapeIniKey(std::string_view key);
