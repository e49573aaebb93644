#pragma once

#include <memory>
#include <string>
#include <vector>

#include "profile.h"
#include "vlshare_export.h"

// The profiles file's content, and what it takes to lay one process's changes to the
// profiles over what another process saved meanwhile.

using TProfileList = std::vector<std::unique_ptr<TProfile>>;

// The profiles held in content: an int32 count and exactly that many good profile records,
// nothing before or behind. Raises Exception "Error reading profile - file corrupted" for
// a negative count or bytes behind the last record, and what TProfile's reading raises
// for a short or damaged record (an empty content is short).
VLSHARE_EXPORT TProfileList ReadProfilesContent(const std::string& content);
// The content that holds profiles, in their order. Writing clears each profile's marks of
// unsaved changes.
VLSHARE_EXPORT std::string ProfilesContent(const TProfileList& profiles);
// A profile's stored record.
VLSHARE_EXPORT std::string RecordOf(const TProfile& profile);

// Whether two titles name the same diskette series: their first characters, up to the
// length of the shorter one and at most seven, are equal ignoring case.
VLSHARE_EXPORT bool TitlesClash(const std::string& a, const std::string& b);

// A profile keeps its creation time for life, while its title may change: the creation
// time tells which profile of another process's list is the one this process read as
// base. Where several share it (files written by hand or by older versions), the title
// tells them apart, else the first. Profiles already taken (taken[i]) are passed over.
// Returns the index in list, or -1 when the profile is no longer there.
VLSHARE_EXPORT int FindSameProfile(const TProfile& base, const TProfileList& list,
                                   const std::vector<bool>& taken);
VLSHARE_EXPORT bool SameCreationTime(const TProfile& a, const TProfile& b);

// Lays over theirs every field in which mine differs from base: what one process changed
// in a profile, and nothing else of what it holds.
VLSHARE_EXPORT void ApplyChangedFields(const TProfile& base, const TProfile& mine,
                                       TProfile& theirs);
