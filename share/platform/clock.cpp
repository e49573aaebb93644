#include "platform/clock.h"

#include <chrono>
#include <ctime>
#include <mutex>

namespace {

std::mutex SourceLock;
std::function<uint32_t()> TickSource;

}  // namespace

uint32_t GetTickCount() {
    {
        std::lock_guard guard(SourceLock);
        if (TickSource)
            return TickSource();
    }
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<uint32_t>(ms.count());
}

void SetTickSource(std::function<uint32_t()> source) {
    std::lock_guard guard(SourceLock);
    TickSource = std::move(source);
}

TDateTime UnixToLocalDateTime(int64_t seconds) {
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
    localtime_r(&t, &local);
    return EncodeDateTime({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                           local.tm_min, local.tm_sec, 0});
}

int64_t LocalDateTimeToUnix(TDateTime value) {
    TDateTimeParts p = DecodeDateTime(value);
    std::tm local{};
    local.tm_year = p.Year - 1900;
    local.tm_mon = p.Month - 1;
    local.tm_mday = p.Day;
    local.tm_hour = p.Hour;
    local.tm_min = p.Minute;
    local.tm_sec = p.Second;
    local.tm_isdst = -1;
    return static_cast<int64_t>(std::mktime(&local));
}

TDateTime Now() {
    auto now = std::chrono::system_clock::now();
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
    TDateTimeParts p = DecodeDateTime(UnixToLocalDateTime(ms / 1000));
    p.Millisecond = static_cast<int>(ms % 1000);
    return EncodeDateTime(p);
}
