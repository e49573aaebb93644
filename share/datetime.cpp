#include "datetime.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "platform/ascii.h"

namespace {

// Days from 0001-01-01 (proleptic Gregorian) to 1899-12-30.
constexpr int64_t kDeltaDays = 693593;
constexpr int64_t kMsPerDay = 86400000;

const char* const kMonthNames[] = {"January",   "February", "March",    "April",
                                   "May",       "June",     "July",     "August",
                                   "September", "October",  "November", "December"};
const char* const kDayNames[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                 "Thursday", "Friday", "Saturday"};

bool IsLeapYear(int year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

int64_t DaysFromCivil(int year, int month, int day) {
    int64_t y = year - 1;
    int64_t days = y * 365 + y / 4 - y / 100 + y / 400;
    for (int m = 1; m < month; ++m)
        days += DaysInMonth(year, m);
    return days + day - 1;
}

// Whole milliseconds since 1899-12-30 00:00; the fraction of a negative value counts
// forward from its day, as the stored form defines.
int64_t ToMilliseconds(TDateTime value) {
    double days = std::trunc(value);
    double fraction = std::fabs(value - days);
    return static_cast<int64_t>(days) * kMsPerDay + std::llround(fraction * kMsPerDay);
}

std::string Pad(int value, int width) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*d", width, value);
    return buffer;
}

bool StartsWithNoCase(const std::string& s, size_t pos, const char* word) {
    for (size_t i = 0; word[i]; ++i) {
        if (pos + i >= s.size() || AsciiLower(s[pos + i]) != AsciiLower(word[i]))
            return false;
    }
    return true;
}

size_t RunLength(const std::string& s, size_t pos) {
    size_t n = 1;
    while (pos + n < s.size() && AsciiLower(s[pos + n]) == AsciiLower(s[pos]))
        ++n;
    return n;
}

}  // namespace

TDateTime EncodeDateTime(const TDateTimeParts& p) {
    double days = static_cast<double>(DaysFromCivil(p.Year, p.Month, p.Day) - kDeltaDays);
    double time =
        (p.Hour * 3600000.0 + p.Minute * 60000.0 + p.Second * 1000.0 + p.Millisecond) / kMsPerDay;
    return days >= 0 ? days + time : days - time;
}

TDateTimeParts DecodeDateTime(TDateTime value) {
    int64_t ms = ToMilliseconds(value);
    int64_t days = ms / kMsPerDay;
    int64_t timeMs = ms % kMsPerDay;
    if (timeMs < 0) {
        timeMs += kMsPerDay;
        --days;
    }
    int64_t n = days + kDeltaDays;  // days since 0001-01-01
    TDateTimeParts p;
    int64_t y400 = n / 146097;
    n %= 146097;
    int64_t y100 = std::min<int64_t>(n / 36524, 3);
    n -= y100 * 36524;
    int64_t y4 = n / 1461;
    n %= 1461;
    int64_t y1 = std::min<int64_t>(n / 365, 3);
    n -= y1 * 365;
    p.Year = static_cast<int>(y400 * 400 + y100 * 100 + y4 * 4 + y1 + 1);
    p.Month = 1;
    while (n >= DaysInMonth(p.Year, p.Month))
        n -= DaysInMonth(p.Year, p.Month++);
    p.Day = static_cast<int>(n) + 1;
    p.Hour = static_cast<int>(timeMs / 3600000);
    p.Minute = static_cast<int>(timeMs / 60000 % 60);
    p.Second = static_cast<int>(timeMs / 1000 % 60);
    p.Millisecond = static_cast<int>(timeMs % 1000);
    return p;
}

int DayOfWeek(TDateTime value) {
    TDateTimeParts p = DecodeDateTime(value);
    int64_t days = DaysFromCivil(p.Year, p.Month, p.Day);
    // 0001-01-01 was a Monday.
    return static_cast<int>((days + 1) % 7) + 1;
}

TDateTime FileDateToDateTime(int32_t fileDate) {
    auto packed = static_cast<uint32_t>(fileDate);
    TDateTimeParts p;
    p.Year = static_cast<int>((packed >> 25) & 0x7F) + 1980;
    p.Month = static_cast<int>((packed >> 21) & 0x0F);
    p.Day = static_cast<int>((packed >> 16) & 0x1F);
    p.Hour = static_cast<int>((packed >> 11) & 0x1F);
    p.Minute = static_cast<int>((packed >> 5) & 0x3F);
    p.Second = static_cast<int>(packed & 0x1F) * 2;
    if (p.Month < 1 || p.Month > 12 || p.Day < 1 || p.Day > DaysInMonth(p.Year, p.Month) ||
        p.Hour > 23 || p.Minute > 59 || p.Second > 59) {
        return 0;  // not a valid DOS date-time
    }
    return EncodeDateTime(p);
}

int32_t DateTimeToFileDate(TDateTime value) {
    TDateTimeParts p = DecodeDateTime(value);
    if (p.Year < 1980 || p.Year > 2107)
        return 0;
    uint32_t date = static_cast<uint32_t>(((p.Year - 1980) << 9) | (p.Month << 5) | p.Day);
    uint32_t time = static_cast<uint32_t>((p.Hour << 11) | (p.Minute << 5) | (p.Second / 2));
    return static_cast<int32_t>((date << 16) | time);
}

std::string FormatDateTime(const std::string& pattern, TDateTime value) {
    TDateTimeParts p = DecodeDateTime(value);
    bool twelveHour = false;
    for (size_t i = 0; i < pattern.size(); ++i) {
        twelveHour = twelveHour || StartsWithNoCase(pattern, i, "a/p") ||
                     StartsWithNoCase(pattern, i, "am/pm");
    }
    int hour12 = p.Hour % 12 == 0 ? 12 : p.Hour % 12;
    std::string out;
    bool lastWasHour = false;
    for (size_t i = 0; i < pattern.size();) {
        char c = pattern[i];
        char lower = AsciiLower(c);
        if (c == '\'' || c == '"') {
            size_t end = pattern.find(c, i + 1);
            if (end == std::string::npos)
                end = pattern.size();
            out += pattern.substr(i + 1, end - i - 1);
            i = end + 1;
            continue;
        }
        if (StartsWithNoCase(pattern, i, "am/pm")) {
            out += p.Hour < 12 ? (c == 'a' ? "am" : "AM") : (c == 'a' ? "pm" : "PM");
            i += 5;
            continue;
        }
        if (StartsWithNoCase(pattern, i, "a/p")) {
            out += p.Hour < 12 ? (c == 'a' ? "a" : "A") : (c == 'a' ? "p" : "P");
            i += 3;
            continue;
        }
        size_t n = RunLength(pattern, i);
        switch (lower) {
            case 'd':
                if (n >= 4)
                    out += kDayNames[DayOfWeek(value) - 1];
                else if (n == 3)
                    out += std::string(kDayNames[DayOfWeek(value) - 1]).substr(0, 3);
                else
                    out += Pad(p.Day, static_cast<int>(n));
                lastWasHour = false;
                break;
            case 'm':
                if (lastWasHour && n <= 2)
                    out += Pad(p.Minute, static_cast<int>(n));
                else if (n >= 4)
                    out += kMonthNames[p.Month - 1];
                else if (n == 3)
                    out += std::string(kMonthNames[p.Month - 1]).substr(0, 3);
                else
                    out += Pad(p.Month, static_cast<int>(n));
                lastWasHour = false;
                break;
            case 'y':
                out += n <= 2 ? Pad(p.Year % 100, 2) : Pad(p.Year, 4);
                lastWasHour = false;
                break;
            case 'h':
                out += Pad(twelveHour ? hour12 : p.Hour, static_cast<int>(std::min<size_t>(n, 2)));
                lastWasHour = true;
                break;
            case 'n':
                out += Pad(p.Minute, static_cast<int>(std::min<size_t>(n, 2)));
                lastWasHour = false;
                break;
            case 's':
                out += Pad(p.Second, static_cast<int>(std::min<size_t>(n, 2)));
                lastWasHour = false;
                break;
            default:
                out.append(n, c);
                // Separators between an hour and its minutes keep the minutes rule alive.
                if (c != ':' && c != ' ')
                    lastWasHour = false;
                break;
        }
        i += n;
    }
    return out;
}
