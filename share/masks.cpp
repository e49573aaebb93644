#include "masks.h"

#include <algorithm>

#include "commatext.h"
#include "display.h"
#include "interaction.h"
#include "platform/paths.h"
#include "strtable.h"
#include "varchive.h"
#include "vstringutil.h"

namespace {

constexpr int32_t Magic1 = 0x734C;
constexpr int32_t Magic2 = 0x3E6D;
constexpr int ErrorProfileCorrupted = 351;
constexpr int MsgCannotExcludeAll = 761;
constexpr int MsgAllFilesAlreadyIncluded = 762;
constexpr int MsgMaskIsIncluded = 770;
constexpr int MsgMaskIsExcluded = 771;
const std::string AllFiles = ".*";

bool Contains(const std::vector<std::string>& list, const std::string& mask) {
    return std::any_of(list.begin(), list.end(),
                       [&mask](const std::string& entry) { return SameText(entry, mask); });
}

void RemoveEvery(std::vector<std::string>& list, const std::string& mask) {
    std::erase_if(list, [&mask](const std::string& entry) { return SameText(entry, mask); });
}

// The extension of a file name: from the last dot of its last name, the dot included;
// empty when there is none.
std::string ExtractFileExt(const std::string& fileName) {
    size_t dot = fileName.rfind('.');
    if (dot == std::string::npos || dot < NameStartOf(fileName))
        return {};
    return fileName.substr(dot);
}

}  // namespace

TMasks::TMasks()
    : Includes(FromCommaText(DefaultIncludeMasks)), Excludes(FromCommaText(DefaultExcludeMasks)) {}

std::string TMasks::GetIncludeMasks() const {
    return ToCommaText(Includes);
}

std::string TMasks::GetExcludeMasks() const {
    return ToCommaText(Excludes);
}

bool TMasks::Add(const std::string& mask, bool include) {
    if (include && Contains(Includes, AllFiles)) {
        DisplayMessage(MsgAllFilesAlreadyIncluded, MB_ICONEXCLAMATION);
        return false;
    }
    if (mask.empty())
        return false;
    const std::string normalised = mask[0] == '.' ? mask : "." + mask;

    const bool coversAllFiles = normalised.size() > 1 && normalised[1] == '*';
    if (coversAllFiles && !include) {
        DisplayMessage(MsgCannotExcludeAll, MB_ICONEXCLAMATION);
        return false;
    }

    std::vector<std::string>& list = include ? Includes : Excludes;
    std::vector<std::string>& other = include ? Excludes : Includes;
    if (Contains(other, normalised)) {
        int question = include ? MsgMaskIsExcluded : MsgMaskIsIncluded;
        if (DisplayMessage(question, MB_YESNO | MB_ICONEXCLAMATION) != IDYES)
            return false;
        // Every copy goes: one left behind would keep the mask in both lists.
        RemoveEvery(other, normalised);
    }
    // "All Files" replaces every other include mask; emptied only now, so that a
    // refusal above leaves the list as it was.
    if (coversAllFiles)
        list.clear();
    list.push_back(normalised);
    return true;
}

bool TMasks::Delete(const std::string& mask, bool include) {
    std::vector<std::string>& list = include ? Includes : Excludes;
    auto found = std::find_if(list.begin(), list.end(),
                              [&mask](const std::string& entry) { return SameText(entry, mask); });
    if (found == list.end())
        return false;
    list.erase(found);
    return true;
}

bool TMasks::DoesFileNameMatch(const std::string& fileName) const {
    const std::string ext = ExtractFileExt(fileName);
    // A file without extension is covered only by an include list that is just ".*".
    if (ext.empty())
        return Includes.size() == 1 && CompareExtToMask(AllFiles, Includes[0]);
    return Match(ext, Includes) && !Match(ext, Excludes);
}

bool TMasks::Match(const std::string& ext, const std::vector<std::string>& list) {
    const std::string upperExt = AnsiUpperCase(ext);
    return std::any_of(list.begin(), list.end(), [&upperExt](const std::string& mask) {
        return CompareExtToMask(upperExt, AnsiUpperCase(mask));
    });
}

// Compared character by character (UTF-8 code points), the leading dot skipped: '*' in
// the mask ends the comparison with success, '?' takes any one character. An extension
// shorter than the mask matches when it agrees with the mask's beginning ('.d' matches
// '.doc'); a longer one never matches unless a '*' is reached.
bool TMasks::CompareExtToMask(const std::string& ext, const std::string& mask) {
    if (ext == mask)
        return true;
    const std::u32string e = DecodeUtf8Lenient(ext);
    const std::u32string m = DecodeUtf8Lenient(mask);
    for (size_t i = 1; i < e.size() && i < m.size(); ++i) {
        if (m[i] == U'*')
            return true;
        if (m[i] != U'?' && m[i] != e[i])
            return false;
    }
    return e.size() <= m.size();
}

void TMasks::Read(TStream& stream) {
    auto magic1 = stream.ReadValue<int32_t>();
    std::string excludes, includes;
    stream >> excludes >> includes;
    auto magic2 = stream.ReadValue<int32_t>();
    if (magic1 != Magic1 || magic2 != Magic2)
        throw Exception(LoadStr(ErrorProfileCorrupted));
    Excludes = FromCommaText(excludes);
    Includes = FromCommaText(includes);
}

void TMasks::Write(TStream& stream) const {
    stream.WriteValue(Magic1);
    stream << GetExcludeMasks() << GetIncludeMasks();
    stream.WriteValue(Magic2);
}
