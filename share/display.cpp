#include "display.h"

#include <cstdio>

#include "interaction.h"
#include "platform/drivemap.h"
#include "platform/messages.h"
#include "strtable.h"

namespace {

constexpr int StrProductName = 101;
constexpr int StrDriveMapUnusable = 901;

// The platform layer shows nothing itself: it hands these boxes what the user must hear.
// They are installed as the library loads, so every program that uses it shows them.
const bool PlatformReportsInstalled = [] {
    SetDriveMapProblemHandler(&ShowDriveMapProblem);
    SetMessageFailureHandler(&ShowException);
    return true;
}();

}  // namespace

int DisplayMessage(int id, unsigned flags) {
    return Interaction().MessageBox({id, LoadStr(id), LoadStr(StrProductName), flags});
}

void ShowException(const std::exception& e) {
    Interaction().MessageBox({0, e.what(), LoadStr(StrProductName), MB_OK | MB_ICONSTOP});
}

void ShowDriveMapProblem(const TDriveMapProblem& problem) {
    std::string what = problem.Line > 0
                           ? "line " + std::to_string(problem.Line) + ": " + problem.Text
                           : problem.Text;
    std::string format = LoadStr(StrDriveMapUnusable);
    const std::string& file = problem.File.Text();
    std::string text(format.size() + file.size() + what.size(), '\0');
    int length =
        std::snprintf(text.data(), text.size() + 1, format.c_str(), file.c_str(), what.c_str());
    text.resize(length > 0 ? static_cast<size_t>(length) : 0);
    Interaction().MessageBox(
        {StrDriveMapUnusable, text, LoadStr(StrProductName), MB_OK | MB_ICONEXCLAMATION});
}
