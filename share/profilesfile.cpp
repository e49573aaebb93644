#include "profilesfile.h"

#include <algorithm>
#include <cstring>

#include "strtable.h"
#include "vstringutil.h"

namespace {

constexpr size_t kTitleClashLength = 7;

template <typename T>
void TakeIfChanged(const T& base, const T& mine, T& theirs) {
    if (!(mine == base))
        theirs = mine;
}

template <size_t N>
void TakeBytesIfChanged(const uint8_t (&base)[N], const uint8_t (&mine)[N], uint8_t (&theirs)[N]) {
    if (std::memcmp(base, mine, N) != 0)
        std::memcpy(theirs, mine, N);
}

}  // namespace

TProfileList ReadProfilesContent(const std::string& content) {
    TMemoryStream stream(std::vector<uint8_t>(content.begin(), content.end()));
    auto count = stream.ReadValue<int32_t>();
    if (count < 0)
        throw Exception(LoadStr(351));
    TProfileList profiles;
    for (int32_t i = 0; i < count; ++i)
        profiles.push_back(std::make_unique<TProfile>(stream));
    if (stream.GetPosition() != stream.GetSize())
        throw Exception(LoadStr(351));
    return profiles;
}

std::string ProfilesContent(const TProfileList& profiles) {
    TMemoryStream stream;
    stream.WriteValue<int32_t>(static_cast<int32_t>(profiles.size()));
    for (const auto& profile : profiles)
        profile->Write(stream);
    return {stream.Data.begin(), stream.Data.end()};
}

std::string RecordOf(const TProfile& profile) {
    TProfile copy = profile;
    TMemoryStream stream;
    copy.Write(stream);
    return {stream.Data.begin(), stream.Data.end()};
}

bool TitlesClash(const std::string& a, const std::string& b) {
    size_t count =
        std::min({DecodeUtf8Lenient(a).size(), DecodeUtf8Lenient(b).size(), kTitleClashLength});
    return SameText(LeftChars(a, count), LeftChars(b, count));
}

bool SameCreationTime(const TProfile& a, const TProfile& b) {
    // Compared as stored: bit for bit, so that even a time that is no number matches.
    return std::memcmp(&a.Header.Created, &b.Header.Created, sizeof a.Header.Created) == 0;
}

int FindSameProfile(const TProfile& base, const TProfileList& list,
                    const std::vector<bool>& taken) {
    int first = -1;
    int sameTitleIgnoringCase = -1;
    for (size_t i = 0; i < list.size(); ++i) {
        if (taken[i] || !SameCreationTime(base, *list[i]))
            continue;
        if (list[i]->Title == base.Title)
            return static_cast<int>(i);
        if (sameTitleIgnoringCase < 0 && SameText(list[i]->Title, base.Title))
            sameTitleIgnoringCase = static_cast<int>(i);
        if (first < 0)
            first = static_cast<int>(i);
    }
    return sameTitleIgnoringCase >= 0 ? sameTitleIgnoringCase : first;
}

void ApplyChangedFields(const TProfile& base, const TProfile& mine, TProfile& theirs) {
    const TProfileHeader& b = base.Header;
    const TProfileHeader& m = mine.Header;
    TProfileHeader& t = theirs.Header;
    TakeIfChanged(b.Key, m.Key, t.Key);
    TakeIfChanged(b.NumVersions, m.NumVersions, t.NumVersions);
    TakeIfChanged(b.Compression, m.Compression, t.Compression);
    TakeBytesIfChanged(b.Padding1, m.Padding1, t.Padding1);
    TakeIfChanged(b.LabelNumber, m.LabelNumber, t.LabelNumber);
    if (!SameCreationTime(base, mine))
        t.Created = m.Created;
    TakeBytesIfChanged(b.Reserved, m.Reserved, t.Reserved);
    TakeBytesIfChanged(b.Padding2, m.Padding2, t.Padding2);
    TakeIfChanged(base.Title, mine.Title, theirs.Title);
    TakeIfChanged(base.Source, mine.Source, theirs.Source);
    TakeIfChanged(base.Target, mine.Target, theirs.Target);
    TakeIfChanged(base.Masks.Includes, mine.Masks.Includes, theirs.Masks.Includes);
    TakeIfChanged(base.Masks.Excludes, mine.Masks.Excludes, theirs.Masks.Excludes);
}
