#include "logentry.h"

#include <array>
#include <cctype>

#include "strtable.h"

namespace {

// The texts the log writes (strtable_shared.cpp), by the kind of entry they begin.
constexpr int StrSavingFile = 407;
constexpr int StrRestoringFile = 410;
constexpr std::array kErrorPrefixes = {
    415,  // "Error saving file: "
    416,  // "Error restoring file: "
    921,  // "Error reading folder: "
    413,  // "Operation cancelled."
    414,  // "An error has occurred. Shutting down."
    417,  // "Target drive full. Shutting down"
    922,  // "Another backup to this target is running; ..."
};
constexpr std::array kStartStopTexts = {403, 404, 405, 406, 408, 409, 411, 412};

// An error of a run that has a system error text follows the time stamp with ". " and the
// text; one without a text (the target not found) leaves the entry at the time stamp.
constexpr std::string_view kSystemErrorLead = ". ";

// "dd/mm/yyyy hh:mm:ss am. ": where each field of the time stamp begins.
constexpr size_t kDayAt = 0, kMonthAt = 3, kYearAt = 6, kHourAt = 11, kMinuteAt = 14,
                 kSecondAt = 17, kHalfDayAt = 20, kStopAt = 22;
constexpr size_t kDateTimeLength = 22;  // up to the full stop
constexpr size_t kStampLength = 24;     // with the full stop and the blank after it

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool StartsWithString(std::string_view text, int id) {
    std::string prefix = LoadStr(id);
    return !prefix.empty() && StartsWith(text, prefix);
}

// The number written with count digits at position at, or -1.
int NumberAt(std::string_view line, size_t at, size_t count) {
    int value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(line[i])))
            return -1;
        value = value * 10 + (line[i] - '0');
    }
    return value;
}

// The date and time separators are the system's own (a slash and a colon by default):
// any mark that is neither a digit, a letter nor a blank is taken.
bool IsSeparator(char c) {
    return std::ispunct(static_cast<unsigned char>(c)) != 0;
}

bool InRange(int value, int low, int high) {
    return value >= low && value <= high;
}

bool HasTimeStamp(std::string_view line) {
    if (line.size() < kDateTimeLength + 1)
        return false;
    std::string_view halfDay = line.substr(kHalfDayAt, 2);
    return InRange(NumberAt(line, kDayAt, 2), 1, 31) && IsSeparator(line[kMonthAt - 1]) &&
           InRange(NumberAt(line, kMonthAt, 2), 1, 12) && IsSeparator(line[kYearAt - 1]) &&
           NumberAt(line, kYearAt, 4) >= 0 && line[kHourAt - 1] == ' ' &&
           InRange(NumberAt(line, kHourAt, 2), 1, 12) && IsSeparator(line[kMinuteAt - 1]) &&
           InRange(NumberAt(line, kMinuteAt, 2), 0, 59) && IsSeparator(line[kSecondAt - 1]) &&
           InRange(NumberAt(line, kSecondAt, 2), 0, 59) && line[kHalfDayAt - 1] == ' ' &&
           (halfDay == "am" || halfDay == "pm") && line[kStopAt] == '.' &&
           (line.size() == kDateTimeLength + 1 || line[kStopAt + 1] == ' ');
}

bool IsControlCharacter(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

// How many bytes at position at of text encode a character that would change how the rest
// of the line shows: a control character of the range U+0080 to U+009F, or one that
// embeds, overrides or isolates the writing direction (U+202A to U+202E, U+2066 to U+2069),
// with which a file name could show as another. 0 for any other character.
size_t HiddenControlLength(std::string_view text, size_t at) {
    auto byte = [&](size_t i) {
        return i < text.size() ? static_cast<unsigned char>(text[i]) : 0u;
    };
    unsigned first = byte(at), second = byte(at + 1), third = byte(at + 2);
    if (first == 0xC2 && second >= 0x80 && second <= 0x9F)
        return 2;
    if (first == 0xE2 && second == 0x80 && third >= 0xAA && third <= 0xAE)
        return 3;
    if (first == 0xE2 && second == 0x81 && third >= 0xA6 && third <= 0xA9)
        return 3;
    return 0;
}

// Whether byte is the first byte of a UTF-8 sequence (or a character of its own).
bool BeginsCharacter(unsigned char byte) {
    return (byte & 0xC0) != 0x80;
}

// At most kMaxEntryText bytes of text, cut before a character; control characters as "?".
std::string ShownText(std::string_view text, bool& shortened) {
    shortened = text.size() > kMaxEntryText;
    if (shortened) {
        size_t end = kMaxEntryText;
        while (end > 0 && !BeginsCharacter(static_cast<unsigned char>(text[end])))
            --end;
        text = text.substr(0, end);
    }
    std::string shown;
    shown.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (size_t length = HiddenControlLength(text, i)) {
            shown += '?';
            i += length - 1;
        } else if (IsControlCharacter(static_cast<unsigned char>(text[i]))) {
            shown += '?';
        } else {
            shown += text[i];
        }
    }
    return shown;
}

}  // namespace

TLogEntryKind KindOfEntryText(std::string_view text) {
    if (StartsWithString(text, StrSavingFile))
        return lkSaved;
    if (StartsWithString(text, StrRestoringFile))
        return lkRestored;
    for (int id : kErrorPrefixes) {
        if (StartsWithString(text, id))
            return lkError;
    }
    if (text.empty() || StartsWith(text, kSystemErrorLead))
        return lkError;
    for (int id : kStartStopTexts) {
        if (text == LoadStr(id))
            return lkStartStop;
    }
    return lkOther;
}

TLogEntry ParseLogLine(std::string_view line) {
    TLogEntry entry;
    if (!HasTimeStamp(line)) {
        entry.Damaged = true;
        entry.Text = ShownText(line, entry.Shortened);
        return entry;
    }
    entry.Time = std::string(line.substr(0, kStopAt));
    std::string_view text = line.size() > kStampLength ? line.substr(kStampLength) : "";
    entry.Kind = KindOfEntryText(text);
    entry.Text = ShownText(text, entry.Shortened);
    return entry;
}
