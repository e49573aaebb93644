#include "profile.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "commatext.h"
#include "crypt.h"
#include "platform/ascii.h"
#include "platform/clock.h"
#include "platform/realpath.h"
#include "profilemgr.h"
#include "strtable.h"
#include "varchive.h"
#include "vstringutil.h"

TProfileMgr* TProfile::Manager = nullptr;
TProfile* TProfile::ProfileCopy = nullptr;

namespace {

// The first characters of a title name the diskettes of its series.
constexpr size_t kLabelPrefixLength = 7;

[[noreturn]] void RaiseCorrupted() {
    throw Exception(LoadStr(351));
}

bool IsBlankText(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c == ' '; });
}

}  // namespace

TProfile::TProfile() {
    Title = Manager ? Manager->GetNewTitle() : LoadStr(111);
    Header.Version = kVersion;
    Header.NumVersions = 1;
    Header.Compression = 1;
    Header.Created = Now();
    Modified = true;
    IsNew = true;
}

TProfile::TProfile(TStream& stream) {
    Read(stream);
}

bool TProfile::operator==(const TProfile& o) const {
    const TProfileHeader& a = Header;
    const TProfileHeader& b = o.Header;
    return a.Magic1 == b.Magic1 && a.Version == b.Version && a.Key == b.Key &&
           a.NumVersions == b.NumVersions && (a.Compression != 0) == (b.Compression != 0) &&
           a.LabelNumber == b.LabelNumber && a.Created == b.Created && a.Magic2 == b.Magic2 &&
           Title == o.Title && Source == o.Source && Target == o.Target &&
           GetIncludeMasks() == o.GetIncludeMasks() && GetExcludeMasks() == o.GetExcludeMasks() &&
           Modified == o.Modified && IsNew == o.IsNew;
}

void TProfile::Write(TStream& stream) {
    Header.Magic1 = kMagic1;
    Header.Version = kVersion;
    Header.Magic2 = kMagic2;
    stream.WriteValue(Header);
    stream << Title << Source << Target;
    Masks.Write(stream);
    Modified = false;
    IsNew = false;
}

void TProfile::Read(TStream& stream) {
    auto header = stream.ReadValue<TProfileHeader>();
    if (header.Magic1 != kMagic1 || header.Magic2 != kMagic2)
        RaiseCorrupted();
    std::string title, source, target;
    stream >> title >> source >> target;
    TMasks masks;
    masks.Read(stream);
    bool upgraded = header.Version == 256 || header.Version == 513;
    if (!upgraded && header.Version != kVersion)
        RaiseCorrupted();
    header.Version = kVersion;
    Header = header;
    Title = title;
    Source = source;
    Target = target;
    Masks = masks;
    Modified = upgraded;
    IsNew = false;
}

int TProfile::UpdateTitle(const std::string& title) {
    if (IsBlankText(title))
        return 769;
    if (SameText(title, Title))
        return 0;
    if (Manager && !Manager->IsValidTitle(this, title))
        return 768;
    Title = title;
    Modified = true;
    return 0;
}

int TProfile::UpdatePassword(const std::string& password) {
    if (password.empty())
        return 764;
    int32_t key = MakeKey(password);
    if (key != Header.Key) {
        Header.Key = key;
        Modified = true;
    }
    return 0;
}

int TProfile::UpdateSource(const std::vector<std::string>& folders) {
    if (folders.empty())
        return 757;
    std::string text = ToCommaText(folders);
    if (text != Source) {
        Source = text;
        Modified = true;
    }
    return 0;
}

int TProfile::UpdateTarget(const std::string& target) {
    if (target.empty())
        return 758;
    // The same folder may be written in another letter case, or reached through a link or
    // through another drive letter.
    for (const std::string& folder : GetSourceFolders()) {
        if (SameText(folder, target) || LeadToTheSamePlace(folder, target))
            return 759;
    }
    if (target != Target) {
        Target = target;
        Modified = true;
    }
    return 0;
}

bool TProfile::AddMask(const std::string& mask, bool include) {
    bool added = Masks.Add(mask, include);
    if (added)
        Modified = true;
    return added;
}

bool TProfile::DeleteMask(const std::string& mask, bool include) {
    bool deleted = Masks.Delete(mask, include);
    if (deleted)
        Modified = true;
    return deleted;
}

void TProfile::SetCompression(bool compression) {
    if ((Header.Compression != 0) != compression) {
        Header.Compression = compression ? 1 : 0;
        Modified = true;
    }
}

void TProfile::SetNumVersions(int numVersions) {
    if (Header.NumVersions != numVersions) {
        Header.NumVersions = numVersions;
        Modified = true;
    }
}

bool TProfile::IsPassword(const std::string& password) const {
    return CheckKey(password, Header.Key);
}

bool TProfile::DeletePassword() {
    if (Header.Key != 0) {
        Header.Key = 0;
        Modified = true;
    }
    return true;
}

void TProfile::UndoChanges() {
    if (ProfileCopy && ProfileCopy != this)
        *this = *ProfileCopy;
}

std::string TProfile::LabelFor(int number) const {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "-%03d", number);
    return LeftChars(Title, kLabelPrefixLength) + suffix;
}

std::string TProfile::GetLabel() const {
    return Header.LabelNumber == 0 ? std::string() : LabelFor(Header.LabelNumber);
}

std::string TProfile::GetNextLabel(bool commit) {
    std::string label = LabelFor(Header.LabelNumber + 1);
    if (commit) {
        ++Header.LabelNumber;
        Modified = true;
    }
    return label;
}

void TProfile::StartNewSeries() {
    if (Header.LabelNumber != 0) {
        Header.LabelNumber = 0;
        Modified = true;
    }
}

bool TProfile::IsLabel(const std::string& s) {
    if (s.size() < 5 || s[s.size() - 4] != '-')
        return false;
    return std::all_of(s.end() - 3, s.end(),
                       [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

bool TProfile::IsLabelValid(const std::string& label) const {
    if (!IsLabel(label))
        return false;
    std::string prefix = label.substr(0, label.size() - 4);
    int number = std::stoi(label.substr(label.size() - 3));
    return SameText(prefix, LeftChars(Title, kLabelPrefixLength)) && number <= Header.LabelNumber;
}

std::vector<std::string> TProfile::GetSourceFolders() const {
    return FromCommaText(Source);
}

std::string TProfile::GetSourceDrives() const {
    std::string drives(26, 'x');
    for (const std::string& folder : GetSourceFolders()) {
        if (folder.empty() || !IsAsciiLetter(folder[0]))
            continue;
        drives[AsciiUpper(folder[0]) - 'A'] = 'a';
    }
    return drives;
}

bool TProfile::DoesFileNameMatch(const std::string& fileName) const {
    if (Source.empty())
        return false;
    std::vector<std::string> folders = GetSourceFolders();
    size_t slash = fileName.find_last_of('\\');
    std::string folder =
        slash == std::string::npos ? std::string("\\") : fileName.substr(0, slash + 1);
    if (folder.size() == 3) {
        for (const std::string& source : folders) {
            if (!source.empty() && !fileName.empty() &&
                AsciiUpper(source[0]) == AsciiUpper(fileName[0])) {
                return Masks.DoesFileNameMatch(fileName);
            }
        }
        return false;
    }
    for (const std::string& source : folders) {
        if (!source.empty() && fileName.find(source) != std::string::npos) {
            return Masks.DoesFileNameMatch(fileName);
        }
    }
    return false;
}
