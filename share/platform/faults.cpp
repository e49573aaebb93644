#include "platform/faults.h"

#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cstdlib>
#include <string>

#include "ascii.h"

namespace {

int64_t NumberFromEnvironment(const char* name, const char** rest = nullptr) {
    const char* value = std::getenv(name);
    if (!value)
        return -1;
    if (rest) {
        if (!IsAsciiLetter(value[0]) || value[1] != ':')
            return -1;
        *rest = value;
        value += 2;
    }
    char* end = nullptr;
    long long number = std::strtoll(value, &end, 10);
    return end != value && *end == '\0' && number >= 0 ? number : -1;
}

struct TDiskFullSwitch {
    TDiskFullSwitch() {
        const char* text = nullptr;
        Limit = NumberFromEnvironment("VAULTAIRE_DISK_FULL_AFTER", &text);
        if (Limit >= 0)
            Letter = AsciiUpper(text[0]);
    }
    char Letter = 0;
    int64_t Limit = -1;
    std::atomic<int64_t> Written{0};
};

TDiskFullSwitch& DiskFull() {
    static TDiskFullSwitch instance;
    return instance;
}

}  // namespace

void BeforeFileSystemChange() {
    static const int64_t crashAt = NumberFromEnvironment("VAULTAIRE_CRASH_AFTER_STEPS");
    static std::atomic<int64_t> steps{0};
    if (crashAt > 0 && ++steps >= crashAt)
        ::_exit(kCrashExitCode);
}

int64_t InjectedRoomOnDrive(char letter) {
    TDiskFullSwitch& s = DiskFull();
    if (s.Limit < 0 || AsciiUpper(letter) != s.Letter)
        return -1;
    int64_t room = s.Limit - s.Written.load();
    return room > 0 ? room : 0;
}

void CountBytesWritten(char letter, int64_t count) {
    TDiskFullSwitch& s = DiskFull();
    if (s.Limit >= 0 && AsciiUpper(letter) == s.Letter) {
        s.Written += count;
    }
}

bool IsFolderMadeUnreadable(const THostPath& hostFolder) {
    const char* value = std::getenv("VAULTAIRE_UNREADABLE_FOLDERS");
    if (!value || !*value || hostFolder.IsEmpty())
        return false;
    THostPath folder = hostFolder.Normalised();
    std::string list = value;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(':', start);
        if (end == std::string::npos)
            end = list.size();
        std::string listed = list.substr(start, end - start);
        if (THostPath::IsHostPathText(listed) && THostPath(listed).Normalised() == folder)
            return true;
        start = end + 1;
    }
    return false;
}

int64_t InjectedWatchLimit() {
    return NumberFromEnvironment("VAULTAIRE_WATCH_LIMIT");
}

int64_t InjectedOverflowAfter() {
    return NumberFromEnvironment("VAULTAIRE_WATCH_OVERFLOW_AFTER");
}
