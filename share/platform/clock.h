#pragma once

#include <cstdint>
#include <functional>

#include "datetime.h"
#include "vlshare_export.h"

// Milliseconds of a monotonic clock as a 32-bit count that wraps about every 49.7 days.
VLSHARE_EXPORT uint32_t GetTickCount();

// Replaces the tick source (tests use it to step time or to reach the wrap-around); an
// empty function restores the clock.
VLSHARE_EXPORT void SetTickSource(std::function<uint32_t()> source);

// The current local date-time.
VLSHARE_EXPORT TDateTime Now();

// Local date-time of a host time stamp (seconds since the epoch), and back.
VLSHARE_EXPORT TDateTime UnixToLocalDateTime(int64_t seconds);
VLSHARE_EXPORT int64_t LocalDateTimeToUnix(TDateTime value);
