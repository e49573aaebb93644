#pragma once

#include <cstdint>
#include <string>

#include "vlshare_export.h"

// Date-times as stored in profiles: days since 30 December 1899, the fraction being the
// time of day, in local time.
using TDateTime = double;

struct TDateTimeParts {
    int Year = 1899, Month = 12, Day = 30;
    int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
};

VLSHARE_EXPORT TDateTime EncodeDateTime(const TDateTimeParts& parts);
VLSHARE_EXPORT TDateTimeParts DecodeDateTime(TDateTime value);
// 1 = Sunday ... 7 = Saturday.
VLSHARE_EXPORT int DayOfWeek(TDateTime value);

// DOS packed date-time: date in the high 16 bits (years since 1980, month, day), time in
// the low 16 bits (hours, minutes, seconds / 2).
VLSHARE_EXPORT TDateTime FileDateToDateTime(int32_t fileDate);
VLSHARE_EXPORT int32_t DateTimeToFileDate(TDateTime value);

// Formats value with a pattern of these elements: d dd ddd dddd, m mm mmm mmmm (minutes
// when they follow an hour), yy yyyy, h hh, n nn, s ss, am/pm, AM/PM, a/p, '/' (date
// separator), ':' (time separator) and text in single or double quotes, copied as it stands.
VLSHARE_EXPORT std::string FormatDateTime(const std::string& pattern, TDateTime value);
