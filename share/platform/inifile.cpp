#include "platform/inifile.h"

#include <algorithm>
#include <charconv>
#include <initializer_list>
#include <unordered_map>

namespace {

constexpr std::string_view kByteArrayPrefix = "@ByteArray(";
// A text that holds a NUL character.
constexpr std::string_view kStringPrefix = "@String(";
constexpr std::string_view kInvalidValue = "@Invalid()";
constexpr std::string_view kGeneralSection = "General";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
// Typed values of other writers: kept as they stand, never read as text.
constexpr std::string_view kTypedPrefixes[] = {"@Variant(", "@DateTime(", "@Rect(", "@Size(",
                                               "@Point("};

constexpr uint32_t kReplacementChar = 0xFFFD;
constexpr uint32_t kLastLatin1Char = 0xFF;
constexpr uint32_t kEscapedCharMask = 0xFFFF;  // an escape stands for one UTF-16 unit
constexpr char kUnmappableByte = '?';

// ---- characters ----

std::string Joined(std::initializer_list<std::string_view> parts) {
    std::string text;
    for (std::string_view part : parts)
        text.append(part);
    return text;
}

bool IsLineSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsWhitespace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool IsOctal(char c) {
    return c >= '0' && c <= '7';
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsWhitespace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsWhitespace(text.back()))
        text.remove_suffix(1);
    return text;
}

void AppendUtf8(std::string& out, uint32_t code) {
    if (code >= 0xD800 && code <= 0xDFFF)
        code = kReplacementChar;  // half of a pair alone
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// The next character of UTF-8 text at pos; a byte that starts no valid sequence is returned
// as itself with valid := false.
uint32_t NextUtf8(std::string_view text, size_t& pos, bool& valid) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    valid = true;
    int length = lead < 0x80           ? 1
                 : (lead >> 5) == 0x6  ? 2
                 : (lead >> 4) == 0xE  ? 3
                 : (lead >> 3) == 0x1E ? 4
                                       : 0;
    if (length == 1) {
        ++pos;
        return lead;
    }
    if (length == 0 || pos + length > text.size()) {
        valid = false;
        ++pos;
        return lead;
    }
    uint32_t code = lead & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[pos + i]);
        if ((next & 0xC0) != 0x80) {
            valid = false;
            ++pos;
            return lead;
        }
        code = (code << 6) | (next & 0x3F);
    }
    constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        valid = false;
        ++pos;
        return lead;
    }
    pos += length;
    return code;
}

// Text whose characters all lie within Latin-1 as the bytes they stand for; others become
// "?" (so does a byte that is no UTF-8).
std::string Latin1Bytes(std::string_view text) {
    std::string bytes;
    for (size_t pos = 0; pos < text.size();) {
        bool valid = false;
        uint32_t code = NextUtf8(text, pos, valid);
        bytes += valid && code <= kLastLatin1Char ? static_cast<char>(code) : kUnmappableByte;
    }
    return bytes;
}

// ---- keys ----

bool IsPlainKeyChar(uint32_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '.';
}

void AppendHex(std::string& out, uint32_t value, int digits) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        out += kDigits[(value >> shift) & 0xF];
}

// "a//b/" and "/a/b" name the key "a/b".
std::string NormalizedKey(std::string_view key) {
    std::string result;
    for (char c : key) {
        if (c == '/' && (result.empty() || result.back() == '/'))
            continue;
        result += c;
    }
    if (!result.empty() && result.back() == '/')
        result.pop_back();
    return result;
}

std::string SectionOf(const std::string& key) {
    size_t slash = key.find('/');
    return slash == std::string::npos ? std::string() : key.substr(0, slash);
}

std::string NameInSection(const std::string& key) {
    size_t slash = key.find('/');
    return slash == std::string::npos ? key : key.substr(slash + 1);
}

std::string SectionLine(const std::string& section) {
    if (section.empty())
        return "[General]";
    if (EqualsIgnoringCase(section, kGeneralSection))
        return Joined({"[%", section, "]"});
    return Joined({"[", EscapeIniKey(section), "]"});
}

// The section a "[...]" line names, as the first part of its keys' names ("" for General).
std::string SectionName(std::string_view name) {
    if (EqualsIgnoringCase(name, kGeneralSection))
        return {};
    if (name.size() == kGeneralSection.size() + 1 && name.front() == '%' &&
        EqualsIgnoringCase(name.substr(1), kGeneralSection))
        return std::string(name.substr(1));
    return UnescapeIniKey(name);
}

// ---- lines ----

// One logical line of the file: what follows the spaces at pos up to the end of the line,
// a ";" comment outside quotes, or past line ends inside quotes or after a backslash.
// Comment lines are passed over. Returns false at the end of the text.
struct TLine {
    size_t Start = 0;
    size_t Length = 0;
    size_t Equals = std::string_view::npos;  // the first "=" outside quotes
};

bool NextLine(std::string_view text, size_t& pos, TLine& line) {
    const size_t size = text.size();
    bool inQuotes = false;
    line.Equals = std::string_view::npos;
    size_t start = pos;
    while (start < size && IsLineSpace(text[start]))
        ++start;
    size_t i = start;
    bool ended = false;
    while (i < size && !ended) {
        const char c = text[i++];
        switch (c) {
            case '=':
                if (!inQuotes && line.Equals == std::string_view::npos)
                    line.Equals = i - 1;
                break;
            case '\n':
            case '\r':
                if (i == start + 1) {
                    ++start;
                } else if (!inQuotes) {
                    --i;
                    ended = true;
                }
                break;
            case '\\':
                // The escaped character belongs to the line, a line end too (with its pair).
                if (i < size) {
                    const char escaped = text[i++];
                    if (i < size && ((escaped == '\n' && text[i] == '\r') ||
                                     (escaped == '\r' && text[i] == '\n')))
                        ++i;
                }
                break;
            case '"':
                inQuotes = !inQuotes;
                break;
            case ';':
                if (i == start + 1) {
                    while (i < size && text[i] != '\n' && text[i] != '\r')
                        ++i;
                    while (i < size && IsLineSpace(text[i]))
                        ++i;
                    start = i;
                } else if (!inQuotes) {
                    --i;
                    ended = true;
                }
                break;
            default:
                break;
        }
    }
    pos = i;
    line.Start = start;
    line.Length = i - start;
    return line.Length > 0;
}

// ---- values ----

struct TEscapeCode {
    char Letter;
    char Stands;
};
constexpr TEscapeCode kEscapeCodes[] = {{'a', '\a'}, {'b', '\b'},  {'f', '\f'}, {'n', '\n'},
                                        {'r', '\r'}, {'t', '\t'},  {'v', '\v'}, {'"', '"'},
                                        {'?', '?'},  {'\'', '\''}, {'\\', '\\'}};

// Takes a value text apart into its items: quotes removed, escapes resolved, unquoted
// spaces around items dropped. More than one item only where unquoted commas part them.
class TValueReader {
  public:
    explicit TValueReader(std::string_view text) : Text(text) {}

    // True when the value is a list (Items); otherwise Current holds it.
    bool Read() {
        SkipBlanks();
        while (Pos < Text.size()) {
            const char c = Text[Pos];
            if (c == '\\')
                ReadEscape();
            else if (c == '"')
                ToggleQuotes();
            else if (c == ',' && !InQuotes)
                EndItem();
            else
                CopyRun();
        }
        if (!Quoted)
            ChopTrailingBlanks();
        if (IsList)
            Items.push_back(std::move(Current));
        return IsList;
    }

    std::string Current;
    std::vector<std::string> Items;

  private:
    void SkipBlanks() {
        while (Pos < Text.size() && IsBlank(Text[Pos]))
            ++Pos;
        KeepBlanksFrom = Current.size();
    }

    void ChopTrailingBlanks() {
        while (Current.size() > KeepBlanksFrom && IsBlank(Current.back()))
            Current.pop_back();
    }

    void ReadEscape() {
        ++Pos;
        KeepBlanksFrom = Current.size();
        if (Pos >= Text.size())
            return;  // an escape of nothing at the very end keeps the blanks before it
        const char letter = Text[Pos++];
        for (const TEscapeCode& code : kEscapeCodes) {
            if (letter == code.Letter) {
                Current += code.Stands;
                KeepBlanksFrom = Current.size();
                return;
            }
        }
        if (letter == 'x') {
            if (Pos < Text.size() && HexValue(Text[Pos]) >= 0)
                AppendUtf8(Current, ReadNumber(16) & kEscapedCharMask);
        } else if (IsOctal(letter)) {
            --Pos;
            AppendUtf8(Current, ReadNumber(8) & kEscapedCharMask);
        } else if (letter == '\n' || letter == '\r') {
            // A line continued: the line end goes, with its pair.
            if (Pos < Text.size() && (Text[Pos] == '\n' || Text[Pos] == '\r') &&
                Text[Pos] != letter)
                ++Pos;
        }
        // any other escaped character is dropped
        KeepBlanksFrom = Current.size();
    }

    uint32_t ReadNumber(int base) {
        uint32_t value = 0;
        while (Pos < Text.size()) {
            int digit = base == 16           ? HexValue(Text[Pos])
                        : IsOctal(Text[Pos]) ? Text[Pos] - '0'
                                             : -1;
            if (digit < 0)
                break;
            value = (value * static_cast<uint32_t>(base) + static_cast<uint32_t>(digit)) &
                    0xFFFFFF;  // long runs of digits keep their last ones
            ++Pos;
        }
        return value;
    }

    void ToggleQuotes() {
        ++Pos;
        Quoted = true;
        InQuotes = !InQuotes;
        if (!InQuotes)
            SkipBlanks();
    }

    void EndItem() {
        if (!Quoted)
            ChopTrailingBlanks();
        IsList = true;
        Items.push_back(std::move(Current));
        Current.clear();
        Quoted = false;
        ++Pos;
        SkipBlanks();
    }

    void CopyRun() {
        size_t end = Pos + 1;
        while (end < Text.size() && Text[end] != '\\' && Text[end] != '"' && Text[end] != ',')
            ++end;
        Current.append(Text.substr(Pos, end - Pos));
        Pos = end;
    }

    std::string_view Text;
    size_t Pos = 0;
    size_t KeepBlanksFrom = 0;  // blanks before this place were quoted or escaped
    bool InQuotes = false;
    bool Quoted = false;
    bool IsList = false;
};

// One item's meaning: "@ByteArray(...)" is binary, "@@..." text starting with "@".
TIniValue ItemValue(const std::string& item) {
    TIniValue value;
    value.Kind = TIniValue::ivText;
    const std::string_view text = item;
    if (!text.starts_with('@')) {
        value.Text = item;
        return value;
    }
    if (text.ends_with(')')) {
        if (text.starts_with(kByteArrayPrefix) && text.size() > kByteArrayPrefix.size()) {
            value.Kind = TIniValue::ivBinary;
            value.Text = Latin1Bytes(
                text.substr(kByteArrayPrefix.size(), text.size() - kByteArrayPrefix.size() - 1));
            return value;
        }
        if (text.starts_with(kStringPrefix)) {
            value.Text = text.substr(kStringPrefix.size(), text.size() - kStringPrefix.size() - 1);
            return value;
        }
        if (text == kInvalidValue) {
            value.Kind = TIniValue::ivNone;
            return value;
        }
        for (std::string_view prefix : kTypedPrefixes) {
            if (text.starts_with(prefix)) {
                value.Kind = TIniValue::ivTyped;
                value.Text = item;
                return value;
            }
        }
    }
    value.Text = text.starts_with("@@") ? item.substr(1) : item;
    return value;
}

// "\x" and the byte in lower-case hex digits, without leading zeros.
void AppendHexEscape(std::string& out, unsigned char byte) {
    constexpr char kDigits[] = "0123456789abcdef";
    out += "\\x";
    if (byte >= 0x10)
        out += kDigits[byte >> 4];
    out += kDigits[byte & 0xF];
}

std::string EncodeValue(std::string_view text, bool escapeNonAscii) {
    std::string out;
    bool needsQuotes = false;
    bool escapeNextIfHex = false;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == ';' || c == ',' || c == '=')
            needsQuotes = true;
        // "\x1" followed by "a" would read as "\x1a": a hex digit after a number is escaped.
        if (escapeNextIfHex && HexValue(c) >= 0) {
            AppendHexEscape(out, byte);
            continue;
        }
        escapeNextIfHex = false;
        switch (c) {
            case '\0':
                out += "\\0";
                escapeNextIfHex = true;
                break;
            case '\a':
                out += "\\a";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\v':
                out += "\\v";
                break;
            case '"':
            case '\\':
                out += '\\';
                out += c;
                break;
            default:
                if (byte <= 0x1F || (byte >= 0x7F && escapeNonAscii)) {
                    AppendHexEscape(out, byte);
                    escapeNextIfHex = true;
                } else {
                    out += c;
                }
        }
    }
    if (needsQuotes || (!out.empty() && (out.front() == ' ' || out.back() == ' ')))
        return Joined({"\"", out, "\""});
    return out;
}

// Whether a value text, written as it stands with a line end after it, would reach into
// the next line: a quote left open, or an escape or a line continuation at its very end.
// Only the last line of a file can hold such a value.
bool ReachesPastItsLine(std::string_view value) {
    bool inQuotes = false;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '"') {
            inQuotes = !inQuotes;
        } else if (value[i] == '\\') {
            if (i + 1 == value.size())
                return true;
            ++i;
            const bool lineEnd = value[i] == '\n' || value[i] == '\r';
            if (lineEnd && value.find_first_not_of("\r\n", i) == std::string_view::npos)
                return true;
        }
    }
    return inQuotes;
}

// The value text that means what value does and stays on its line.
std::string ReencodedValue(std::string_view valueText) {
    const TIniValue value = DecodeIniValue(valueText);
    switch (value.Kind) {
        case TIniValue::ivText:
            return EncodeIniText(value.Text);
        case TIniValue::ivBinary:
            return EncodeIniBinary({value.Text.begin(), value.Text.end()});
        case TIniValue::ivList: {
            std::string list;
            for (const std::string& item : value.Items) {
                if (!list.empty())
                    list += ", ";
                list += EncodeValue(item, false);
            }
            return list;
        }
        case TIniValue::ivNone:
            return std::string(kInvalidValue);
        case TIniValue::ivTyped:
            return EncodeValue(Latin1Bytes(value.Text), true);
    }
    return std::string(kInvalidValue);
}

}  // namespace

// ---- TIniFile ----

std::optional<TIniFile> TIniFile::Parse(std::string_view text) {
    if (text.starts_with(kUtf8Bom))
        text.remove_prefix(kUtf8Bom.size());
    TIniFile file;
    bool damaged = false;
    std::string section;
    // Where each key stands in Entries: a file of many keys is read in one pass.
    std::unordered_map<std::string, size_t> places;
    size_t pos = 0;
    TLine line;
    while (NextLine(text, pos, line)) {
        const std::string_view content = text.substr(line.Start, line.Length);
        if (content.front() == '[') {
            size_t close = content.find(']');
            if (close == std::string_view::npos) {
                damaged = true;
                close = content.size();
            }
            section = SectionName(Trimmed(content.substr(1, close - 1)));
            continue;
        }
        if (line.Equals == std::string_view::npos) {
            damaged = true;
            continue;
        }
        const size_t equals = line.Equals - line.Start;
        std::string name = UnescapeIniKey(Trimmed(content.substr(0, equals)));
        std::string key = NormalizedKey(section.empty() ? name : section + "/" + name);
        if (key.empty())
            continue;  // no name to reach it by
        std::string value(content.substr(equals + 1));
        if (ReachesPastItsLine(value))
            value = ReencodedValue(value);
        auto [place, added] = places.try_emplace(key, file.Entries.size());
        if (added)
            file.Entries.push_back({std::move(key), std::move(value)});
        else
            file.Entries[place->second].Value = std::move(value);
    }
    if (damaged)
        return std::nullopt;
    return file;
}

std::string TIniFile::Text() const {
    // The sections in the order their first keys came, each with its keys in their order.
    std::vector<std::string> sections;
    std::vector<std::vector<const TEntry*>> keysOf;
    std::unordered_map<std::string, size_t> sectionIndex;
    for (const TEntry& entry : Entries) {
        std::string section = SectionOf(entry.Key);
        auto [place, added] = sectionIndex.try_emplace(section, sections.size());
        if (added) {
            sections.push_back(std::move(section));
            keysOf.emplace_back();
        }
        keysOf[place->second].push_back(&entry);
    }
    std::string text;
    for (size_t i = 0; i < sections.size(); ++i) {
        if (!text.empty())
            text += '\n';
        text += SectionLine(sections[i]);
        text += '\n';
        for (const TEntry* entry : keysOf[i])
            text += EscapeIniKey(NameInSection(entry->Key)) + "=" + entry->Value + "\n";
    }
    return text;
}

const std::string* TIniFile::Find(const std::string& key) const {
    const std::string name = NormalizedKey(key);
    for (const TEntry& entry : Entries) {
        if (entry.Key == name)
            return &entry.Value;
    }
    return nullptr;
}

void TIniFile::Set(const std::string& key, const std::string& valueText) {
    std::string name = NormalizedKey(key);
    for (TEntry& entry : Entries) {
        if (entry.Key == name) {
            entry.Value = valueText;
            return;
        }
    }
    Entries.push_back({std::move(name), valueText});
}

bool TIniFile::Remove(const std::string& key) {
    const std::string name = NormalizedKey(key);
    return std::erase_if(Entries, [&](const TEntry& entry) { return entry.Key == name; }) > 0;
}

bool TIniFile::HasGroup(const std::string& group) const {
    const std::string prefix = NormalizedKey(group) + "/";
    return std::any_of(Entries.begin(), Entries.end(),
                       [&](const TEntry& entry) { return entry.Key.starts_with(prefix); });
}

std::vector<std::string> TIniFile::Keys() const {
    std::vector<std::string> keys;
    for (const TEntry& entry : Entries)
        keys.push_back(entry.Key);
    return keys;
}

// ---- values ----

TIniValue DecodeIniValue(std::string_view valueText) {
    TValueReader reader(valueText);
    if (!reader.Read())
        return ItemValue(reader.Current);
    TIniValue list;
    list.Kind = TIniValue::ivList;
    list.Items = std::move(reader.Items);
    return list;
}

std::string IniValueText(const TIniValue& value) {
    return value.Kind == TIniValue::ivText || value.Kind == TIniValue::ivBinary ? value.Text
                                                                                : std::string();
}

std::optional<int32_t> IniValueInteger(const TIniValue& value) {
    if (value.Kind != TIniValue::ivText && value.Kind != TIniValue::ivBinary)
        return std::nullopt;
    std::string_view digits = Trimmed(value.Text);
    const bool plus = digits.starts_with('+');
    if (plus)
        digits.remove_prefix(1);
    if (plus && digits.starts_with('-'))
        return std::nullopt;
    int32_t number = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (error != std::errc() || end != digits.data() + digits.size())
        return std::nullopt;
    return number;
}

std::string EncodeIniText(std::string_view text) {
    if (text.find('\0') != std::string_view::npos)
        return EncodeValue(Joined({kStringPrefix, text, ")"}), false);
    // A text starting with "@" is told from typed values by a second "@".
    if (text.starts_with('@'))
        return EncodeValue(Joined({"@", text}), false);
    return EncodeValue(text, false);
}

std::string EncodeIniBinary(const std::vector<uint8_t>& bytes) {
    std::string text(kByteArrayPrefix);
    text.append(bytes.begin(), bytes.end());
    text += ')';
    return EncodeValue(text, true);
}

std::string EncodeIniInteger(int32_t value) {
    return std::to_string(value);
}

// ---- keys ----

std::string EscapeIniKey(std::string_view key) {
    std::string out;
    for (size_t pos = 0; pos < key.size();) {
        bool valid = false;
        const uint32_t code = NextUtf8(key, pos, valid);
        if (code == '/') {
            out += '\\';
        } else if (IsPlainKeyChar(code)) {
            out += static_cast<char>(code);
        } else if (code <= kLastLatin1Char || !valid) {
            out += '%';
            AppendHex(out, code, 2);
        } else if (code < 0x10000) {
            out += "%U";
            AppendHex(out, code, 4);
        } else {
            const uint32_t offset = code - 0x10000;
            out += "%U";
            AppendHex(out, 0xD800 + (offset >> 10), 4);
            out += "%U";
            AppendHex(out, 0xDC00 + (offset & 0x3FF), 4);
        }
    }
    return out;
}

std::string UnescapeIniKey(std::string_view key) {
    std::string out;
    uint32_t highHalf = 0;  // the first half of a pair, waiting for the second
    auto flushHalf = [&] {
        if (highHalf != 0)
            AppendUtf8(out, kReplacementChar);
        highHalf = 0;
    };
    size_t i = 0;
    while (i < key.size()) {
        const char c = key[i];
        if (c == '\\' || c != '%' || i + 1 == key.size()) {
            flushHalf();
            // A byte that stands unescaped is a Latin-1 character, as it always was read.
            if (c == '\\')
                out += '/';
            else
                AppendUtf8(out, static_cast<unsigned char>(c));
            ++i;
            continue;
        }
        size_t first = i + 1;
        int digits = 2;
        if (key[first] == 'U') {
            ++first;
            digits = 4;
        }
        uint32_t code = 0;
        bool ok = first + digits <= key.size();
        for (int d = 0; ok && d < digits; ++d) {
            int value = HexValue(key[first + d]);
            ok = value >= 0;
            code = code * 16 + static_cast<uint32_t>(value);
        }
        if (!ok) {
            flushHalf();
            out += '%';
            ++i;
            continue;
        }
        i = first + digits;
        if (code >= 0xDC00 && code <= 0xDFFF && highHalf != 0) {
            AppendUtf8(out, 0x10000 + ((highHalf - 0xD800) << 10) + (code - 0xDC00));
            highHalf = 0;
            continue;
        }
        flushHalf();
        if (code >= 0xD800 && code <= 0xDBFF)
            highHalf = code;
        else
            AppendUtf8(out, code);
    }
    flushHalf();
    return out;
}
