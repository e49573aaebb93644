#include "profilemgr.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "commatext.h"
#include "display.h"
#include "exceptions.h"
#include "platform/filelock.h"
#include "platform/files.h"
#include "platform/keptfiles.h"
#include "platform/registry.h"
#include "platform/syserror.h"
#include "strtable.h"
#include "vfileutil.h"
#include "vstringutil.h"

namespace {

// The one lock under which the profiles file and the settings are read and changed: the
// current profile is stored in the settings as an index into the file's list.
constexpr const char* kProfilesLock = "profiles";

constexpr const char* kSettingsValue = "Settings";
constexpr const char* kProgramDirValue = "ProgramDir";
constexpr const char* kVersionValue = "Version";

constexpr int kMaxLogEntriesLimit = 32000;
constexpr uint8_t kLastLogType = 2;

// A profiles file holds a few short records; one far larger is not a profiles file.

// A TDateTime counts days.
constexpr double kOneMillisecond = 1.0 / (24.0 * 60 * 60 * 1000);

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// A system error's text without its closing full stop, to stand inside a sentence.
std::string TrimmedMessage(int error) {
    std::string text = SysErrorMessage(error);
    if (!text.empty() && text.back() == '.')
        text.pop_back();
    return text;
}

TMessageRequest MessageReport(int id, unsigned flags) {
    return {id, LoadStr(id), LoadStr(101), flags};
}

// As ShowException shows it.
TMessageRequest ExceptionReport(const std::exception& e) {
    return {0, e.what(), LoadStr(101), MB_OK | MB_ICONSTOP};
}

// As a registry failure is shown: a plain box with the exception's text.
TMessageRequest RegistryReport(const std::exception& e) {
    return {0, e.what(), "", MB_OK};
}

void Show(const std::vector<TMessageRequest>& reports) {
    for (const TMessageRequest& report : reports)
        Interaction().MessageBox(report);
}

// The settings record without the current profile's index, which is compared apart.
bool SameSettingsValues(TProfileMgr::TSettings a, TProfileMgr::TSettings b) {
    a.CurrentIndex = b.CurrentIndex = 0;
    return std::memcmp(&a, &b, sizeof a) == 0;
}

template <typename T>
void TakeIfChanged(const T& base, const T& mine, T& theirs) {
    if (!(mine == base))
        theirs = mine;
}

}  // namespace

// The profiles file as a look under the lock found it.
struct TProfileMgr::TProfilesOnDisk {
    TProfileList Profiles;
    std::optional<std::string> Content;  // none: no file (also once kept aside)
    bool Damaged = false;                // the file was found damaged (and kept aside)
    // False when something stands in the file's place that must not be written over (a
    // damaged file that could not be kept aside, something that is no regular file); the
    // text says what.
    bool Writable = true;
    std::string Problem;
};

// The settings as a look under the lock found them.
struct TProfileMgr::TSettingsOnDisk {
    std::optional<TSettings> Record;
    TRegistryValues Values;
    // False when the settings file must not be written (see TProfilesOnDisk).
    bool Writable = true;
};

// The profiles and settings to save: what is on disk with this manager's changes laid over.
struct TProfileMgr::TMerged {
    TProfileList Profiles;
    // For each merged profile, this manager's entry it stands for, if any.
    std::vector<const TEntry*> Mine;
    TSettings Settings;
};

TProfileMgr::TProfileMgr() {
    TProfile::Manager = this;
    TReports reports;
    try {
        Load(reports);
    } catch (...) {
        TProfile::Manager = nullptr;
        throw;
    }
    if (Profiles.empty()) {
        CurrentIndex = -1;
    } else {
        if (CurrentIndex < 0 || CurrentIndex >= Count())
            CurrentIndex = 0;
        Copy = std::make_unique<TProfile>(*GetCurrentProfile());
        TProfile::ProfileCopy = Copy.get();
    }
    BaseCurrent = GetCurrentProfile();
    Show(reports);
}

TProfileMgr::~TProfileMgr() {
    if (ProfilesChanged() || SettingsChanged())
        SaveReporting();
    Profiles.clear();
    Deleted.clear();
    TProfile::Manager = nullptr;
    TProfile::ProfileCopy = nullptr;
}

std::string TProfileMgr::ProfilesFileName() {
    return GetDataDir(true) + LoadStr(114);
}

std::string TProfileMgr::RegistryKey() {
    return LoadStr(104) + LoadStr(101);
}

void TProfileMgr::Load(TReports& reports) {
    TSettingsOnDisk settings;
    TProfilesOnDisk profiles;
    {
        // Without the lock (no lock file in a read-only data folder) reading goes on.
        TFileLock lock(kProfilesLock);
        settings = ReadSettings(reports);
        profiles = ReadProfilesFile(rpLoad, reports);
    }
    RegistryOnDisk = settings.Values;
    SettingsWritable = settings.Writable;
    if (settings.Record)
        TakeSettings(*settings.Record);
    BaseSettings = OwnSettings();
    ProfilesFileFound = profiles.Content.has_value();
    for (auto& profile : profiles.Profiles) {
        auto base = std::make_unique<TProfile>(*profile);
        Profiles.push_back({std::move(profile), std::move(base)});
    }
}

TProfileMgr::TProfilesOnDisk TProfileMgr::ReadProfilesFile(TReadPurpose purpose,
                                                           TReports& reports) {
    TProfilesOnDisk onDisk;
    const std::string file = ProfilesFileName();
    int64_t size = 0;
    TFileKind kind = FileKindOf(file, size);
    if (kind == fkMissing)
        return onDisk;
    std::string content;
    if (!ReadFileText(file, content)) {
        // Not damaged, only out of reach (something that is no regular file, too large, no
        // permission, an input error): it stays as it is, and nothing is written over
        // profiles that were never read.
        onDisk.Writable = false;
        onDisk.Problem = "The profiles file " + Quoted(file) + " cannot be read (" +
                         TrimmedMessage(GetLastError()) + ")";
        if (purpose == rpLoad) {
            FoundDamage = true;
            reports.push_back({0, onDisk.Problem + ".", LoadStr(101), MB_OK | MB_ICONSTOP});
        }
        return onDisk;
    }
    try {
        onDisk.Profiles = ReadProfilesContent(content);
        onDisk.Content = std::move(content);
        return onDisk;
    } catch (const std::exception&) {
        // damaged: kept aside below
    }
    FoundDamage = true;
    onDisk.Damaged = true;
    reports.push_back(MessageReport(363, MB_ICONSTOP));
    std::string keptAs;
    if (KeepDamagedFile(file, keptAs)) {
        KeptProfilesFiles.push_back(keptAs);
    } else {
        onDisk.Writable = false;
        onDisk.Problem = "The profiles file " + Quoted(file) +
                         " is damaged and could not be kept aside (" +
                         SysErrorMessage(GetLastError()) + ")";
    }
    return onDisk;
}

TProfileMgr::TSettingsOnDisk TProfileMgr::ReadSettings(TReports& reports) {
    TSettingsOnDisk onDisk;
    bool recordDamaged = false;
    try {
        TRegistry registry;
        if (!registry.OpenKey(RegistryKey(), false))
            return onDisk;
        if (registry.ValueExists(kProgramDirValue))
            onDisk.Values.ProgramDir = registry.ReadString(kProgramDirValue);
        if (registry.ValueExists(kVersionValue)) {
            try {
                onDisk.Values.Version = registry.ReadInteger(kVersionValue);
            } catch (const ERegistryException&) {
                // Not read by the program: it is written anew with the settings.
            }
        }
        if (registry.ValueExists(kSettingsValue)) {
            try {
                std::vector<uint8_t> data = registry.ReadBinaryData(kSettingsValue);
                recordDamaged = data.size() != sizeof(TSettings);
                if (!recordDamaged) {
                    TSettings settings;
                    std::memcpy(&settings, data.data(), sizeof settings);
                    onDisk.Record = settings;
                    onDisk.Values.Settings = std::move(data);
                }
            } catch (const ERegistryException&) {
                recordDamaged = true;  // not binary data
            }
        }
    } catch (const ERegistryDamaged& e) {
        reports.push_back(RegistryReport(e));
        onDisk.Writable = e.KeptAside;
        return onDisk;
    } catch (const std::exception& e) {
        // Something that stays in the file's place: told once, not at every save.
        if (e.what() != SettingsProblemShown) {
            SettingsProblemShown = e.what();
            reports.push_back(RegistryReport(e));
        }
        onDisk.Writable = false;
        return onDisk;
    }
    if (recordDamaged) {
        ERegistryDamaged kept = TRegistry::KeepDamagedFile();
        reports.push_back(RegistryReport(kept));
        onDisk = TSettingsOnDisk();
        onDisk.Writable = kept.KeptAside;
    }
    return onDisk;
}

void TProfileMgr::TakeSettings(const TSettings& settings) {
    CurrentIndex = settings.CurrentIndex;
    StartWithWindows = settings.StartWithWindows != 0;
    CreateLog = settings.CreateLog != 0;
    // Another program or a damaged record may hold values the log cannot use.
    MaxLogEntries = std::clamp<int32_t>(settings.MaxLogEntries, 1, kMaxLogEntriesLimit);
    LogType = std::min<uint8_t>(settings.LogType, kLastLogType);
    std::memcpy(Reserved, settings.Reserved, sizeof Reserved);
}

TProfileMgr::TSettings TProfileMgr::OwnSettings() const {
    TSettings settings;
    settings.CurrentIndex = CurrentIndex;
    settings.StartWithWindows = StartWithWindows ? 1 : 0;
    settings.CreateLog = CreateLog ? 1 : 0;
    settings.MaxLogEntries = MaxLogEntries;
    settings.LogType = LogType;
    std::memcpy(settings.Reserved, Reserved, sizeof Reserved);
    return settings;
}

TProfileMgr::TRegistryValues TProfileMgr::ValuesFor(
    const std::optional<TSettings>& settings) const {
    TRegistryValues values;
    if (settings) {
        auto bytes = reinterpret_cast<const uint8_t*>(&*settings);
        values.Settings.emplace(bytes, bytes + sizeof *settings);
    }
    values.ProgramDir = GetExeDir(true);
    values.Version = TProfile::kVersion;
    return values;
}

bool TProfileMgr::ProfilesChanged() const {
    // The first manager of an installation leaves a profiles file, even an empty one.
    if (!ProfilesFileFound && !FoundDamage)
        return true;
    bool deletedSaved = std::any_of(Deleted.begin(), Deleted.end(),
                                    [](const TEntry& entry) { return entry.Base != nullptr; });
    if (deletedSaved)
        return true;
    return std::any_of(Profiles.begin(), Profiles.end(), [](const TEntry& entry) {
        return !entry.Base || entry.Profile->Modified || entry.Profile->IsNew ||
               RecordOf(*entry.Profile) != RecordOf(*entry.Base);
    });
}

bool TProfileMgr::SettingsChanged() const {
    if (!SameSettingsValues(OwnSettings(), BaseSettings) || GetCurrentProfile() != BaseCurrent)
        return true;
    // The program's folder and version are brought up to date where they can be written.
    return SettingsWritable && (RegistryOnDisk.ProgramDir != GetExeDir(true) ||
                                RegistryOnDisk.Version != TProfile::kVersion);
}

bool TProfileMgr::WriteProfiles() {
    return SaveReporting();
}

bool TProfileMgr::WriteRegistry() {
    return SaveReporting();
}

bool TProfileMgr::SaveReporting(const TProfile** titleTakenOut) {
    const TProfile* titleTaken = nullptr;
    TCommitResult result = Commit(titleTaken);
    if (titleTakenOut)
        *titleTakenOut = titleTaken;
    else if (result == crTitleTaken)
        DisplayMessage(768, MB_OK | MB_ICONEXCLAMATION);
    return result == crSaved;
}

TProfileMgr::TCommitResult TProfileMgr::Commit(const TProfile*& titleTaken) {
    titleTaken = nullptr;
    TReports reports;
    TCommitResult result = crSaved;
    {
        TFileLock lock(kProfilesLock);
        if (!lock.Locked()) {
            reports.push_back(ExceptionReport(Exception("Cannot lock the profiles file " +
                                                        Quoted(ProfilesFileName()) + ". " +
                                                        SysErrorMessage(GetLastError()))));
            result = crFailed;
        } else {
            TSettingsOnDisk settings = ReadSettings(reports);
            SettingsWritable = settings.Writable;
            TProfilesOnDisk profiles = ReadProfilesFile(rpSave, reports);
            if (profiles.Damaged)
                profiles.Profiles = SavedProfiles();
            // A file that cannot be read now holds profiles nobody can see: merging with it
            // would take them all for deleted and drop this manager's changes as saved.
            const bool outOfReach = !profiles.Writable && !profiles.Damaged;
            if (outOfReach && ProfilesChanged()) {
                reports.push_back(
                    ExceptionReport(Exception(profiles.Problem + "; nothing was saved.")));
                Show(reports);
                return crFailed;
            }
            TMerged merged = Merge(profiles, settings);
            titleTaken = FindTitleClash(merged);
            if (titleTaken) {
                result = crTitleTaken;
            } else {
                try {
                    WriteProfilesFile(profiles, merged);
                    MarkProfilesSaved(merged);
                    if (!WriteSettings(settings, merged, reports))
                        result = crFailed;
                } catch (const std::exception& e) {
                    reports.push_back(ExceptionReport(e));
                    result = crFailed;
                }
            }
        }
    }
    Show(reports);
    return result;
}

TProfileList TProfileMgr::SavedProfiles() const {
    TProfileList saved;
    for (const TEntry& entry : Profiles) {
        if (entry.Base)
            saved.push_back(std::make_unique<TProfile>(*entry.Base));
    }
    return saved;
}

TProfileMgr::TMerged TProfileMgr::Merge(const TProfilesOnDisk& profiles,
                                        const TSettingsOnDisk& settings) {
    TMerged merged;
    const size_t theirCount = profiles.Profiles.size();
    for (const auto& profile : profiles.Profiles) {
        merged.Profiles.push_back(std::make_unique<TProfile>(*profile));
        merged.Mine.push_back(nullptr);
    }
    // Profiles this manager read: its changes to each, unless another process deleted it.
    std::vector<bool> taken(theirCount, false);
    for (const TEntry& entry : Profiles) {
        if (!entry.Base)
            continue;
        int i = FindSameProfile(*entry.Base, merged.Profiles, taken);
        if (i < 0)
            continue;
        taken[i] = true;
        merged.Mine[i] = &entry;
        ApplyChangedFields(*entry.Base, *entry.Profile, *merged.Profiles[i]);
    }
    // Profiles it deleted, where they are still there; the last profile always stays.
    std::vector<bool> removed(theirCount, false);
    for (const TEntry& entry : Deleted) {
        if (!entry.Base)
            continue;
        int i = FindSameProfile(*entry.Base, merged.Profiles, taken);
        if (i >= 0)
            taken[i] = removed[i] = true;
    }
    if (theirCount > 0 && std::all_of(removed.begin(), removed.end(), [](bool r) { return r; }))
        removed[0] = false;
    std::vector<int> mergedIndexOfTheirs(theirCount, -1);
    TProfileList kept;
    std::vector<const TEntry*> keptMine;
    for (size_t i = 0; i < theirCount; ++i) {
        if (removed[i])
            continue;
        mergedIndexOfTheirs[i] = static_cast<int>(kept.size());
        kept.push_back(std::move(merged.Profiles[i]));
        keptMine.push_back(merged.Mine[i]);
    }
    merged.Profiles = std::move(kept);
    merged.Mine = std::move(keptMine);
    // Profiles it added, each with a creation time of its own.
    for (const TEntry& entry : Profiles) {
        if (entry.Base)
            continue;
        auto added = std::make_unique<TProfile>(*entry.Profile);
        auto sameTime = [&](const auto& other) { return SameCreationTime(*other, *added); };
        while (std::any_of(merged.Profiles.begin(), merged.Profiles.end(), sameTime))
            added->Header.Created += kOneMillisecond;
        merged.Profiles.push_back(std::move(added));
        merged.Mine.push_back(&entry);
    }

    // The current profile: this manager's choice when it made one, else the one on disk.
    auto mergedIndexOfMine = [&](const TProfile* profile) {
        for (size_t i = 0; i < merged.Mine.size(); ++i) {
            if (profile && merged.Mine[i] && merged.Mine[i]->Profile.get() == profile)
                return static_cast<int>(i);
        }
        return -1;
    };
    const TProfile* current = GetCurrentProfile();
    int currentIndex = current != BaseCurrent || profiles.Damaged ? mergedIndexOfMine(current) : -1;
    if (currentIndex < 0 && theirCount > 0) {
        int theirs = settings.Record ? settings.Record->CurrentIndex : 0;
        if (theirs < 0 || static_cast<size_t>(theirs) >= theirCount)
            theirs = 0;
        currentIndex = mergedIndexOfTheirs[theirs];
    }
    if (currentIndex < 0)
        currentIndex = mergedIndexOfMine(current);
    if (currentIndex < 0 && !merged.Profiles.empty())
        currentIndex = 0;

    // The settings: those on disk with the values this manager changed. Without a record
    // on disk this manager's are the best there are.
    const TSettings mine = OwnSettings();
    TSettings& result = merged.Settings;
    result = settings.Record ? *settings.Record : mine;
    TakeIfChanged(BaseSettings.StartWithWindows, mine.StartWithWindows, result.StartWithWindows);
    TakeIfChanged(BaseSettings.CreateLog, mine.CreateLog, result.CreateLog);
    TakeIfChanged(BaseSettings.MaxLogEntries, mine.MaxLogEntries, result.MaxLogEntries);
    TakeIfChanged(BaseSettings.LogType, mine.LogType, result.LogType);
    if (std::memcmp(BaseSettings.Reserved, mine.Reserved, sizeof mine.Reserved) != 0)
        std::memcpy(result.Reserved, mine.Reserved, sizeof mine.Reserved);
    result.CurrentIndex = currentIndex;
    return merged;
}

const TProfile* TProfileMgr::FindTitleClash(const TMerged& merged) const {
    for (size_t i = 0; i < merged.Profiles.size(); ++i) {
        const TEntry* entry = merged.Mine[i];
        if (!entry || (entry->Base && entry->Base->Title == entry->Profile->Title))
            continue;
        const std::string& title = entry->Profile->Title;
        // A title this manager's own list lets pass (IsValidTitle) must pass the list as
        // it is now. One it did not check (a proposed "Untitled 1" beside "Untitled") is
        // still never the whole title of another profile.
        const bool checkedHere = IsValidTitle(entry->Profile.get(), title);
        for (size_t j = 0; j < merged.Profiles.size(); ++j) {
            const std::string& other = merged.Profiles[j]->Title;
            if (j != i && (SameText(title, other) || (checkedHere && TitlesClash(title, other))))
                return entry->Profile.get();
        }
    }
    return nullptr;
}

void TProfileMgr::WriteProfilesFile(const TProfilesOnDisk& onDisk, TMerged& merged) {
    const std::string content = ProfilesContent(merged.Profiles);
    bool needed = onDisk.Content ? content != *onDisk.Content
                                 : !merged.Profiles.empty() || (!ProfilesFileFound && !FoundDamage);
    if (!needed)
        return;
    if (!onDisk.Writable)
        throw Exception(onDisk.Problem + "; nothing was saved.");
    if (!WriteFileAtomically(ProfilesFileName(), content)) {
        throw Exception("Cannot write the profiles file " + Quoted(ProfilesFileName()) + ". " +
                        SysErrorMessage(GetLastError()));
    }
    ProfilesFileFound = true;
}

void TProfileMgr::MarkProfilesSaved(const TMerged& merged) {
    // A profile added here is known by the creation time it was saved with.
    for (size_t i = 0; i < merged.Profiles.size(); ++i) {
        const TEntry* entry = merged.Mine[i];
        if (entry && !entry->Base)
            entry->Profile->Header.Created = merged.Profiles[i]->Header.Created;
    }
    for (TEntry& entry : Profiles) {
        entry.Profile->Modified = false;
        entry.Profile->IsNew = false;
        entry.Base = std::make_unique<TProfile>(*entry.Profile);
    }
    for (const TEntry& entry : Deleted) {
        if (BaseCurrent == entry.Profile.get())
            BaseCurrent = nullptr;
    }
    Deleted.clear();
}

bool TProfileMgr::WriteSettings(const TSettingsOnDisk& onDisk, const TMerged& merged,
                                TReports& reports) {
    std::optional<TSettings> settings;
    if (!merged.Profiles.empty())
        settings = merged.Settings;
    TRegistryValues values = ValuesFor(settings);
    if (values != onDisk.Values) {
        if (!onDisk.Writable)
            return false;  // reported when read
        try {
            TRegistry registry;
            registry.OpenKey(RegistryKey(), true);
            if (values.Settings)
                registry.WriteBinaryData(kSettingsValue, *values.Settings);
            else
                registry.DeleteValue(kSettingsValue);
            registry.WriteString(kProgramDirValue, *values.ProgramDir);
            registry.WriteInteger(kVersionValue, *values.Version);
            registry.CloseKey();
        } catch (const std::exception& e) {
            reports.push_back(RegistryReport(e));
            return false;
        }
    }
    RegistryOnDisk = std::move(values);
    BaseSettings = OwnSettings();
    BaseCurrent = GetCurrentProfile();
    return true;
}

TProfile* TProfileMgr::GetCurrentProfile() const {
    if (Profiles.empty() || CurrentIndex < 0 || CurrentIndex >= Count())
        return nullptr;
    return Items(CurrentIndex);
}

std::string TProfileMgr::GetTitles() const {
    std::vector<std::string> titles;
    for (const TEntry& entry : Profiles)
        titles.push_back(entry.Profile->Title);
    return ToCommaText(titles);
}

int TProfileMgr::IndexOfTitle(const std::string& title) const {
    for (int i = 0; i < Count(); ++i) {
        if (SameText(Items(i)->Title, title))
            return i;
    }
    return -1;
}

bool TProfileMgr::Open(const std::string& title) {
    if (Profiles.empty() || title.empty())
        return false;
    int index = IndexOfTitle(title);
    if (index < 0)
        return false;
    CurrentIndex = index;
    if (Copy) {
        *Copy = *Items(index);
    } else {
        Copy = std::make_unique<TProfile>(*Items(index));
    }
    TProfile::ProfileCopy = Copy.get();
    return true;
}

bool TProfileMgr::OpenMRU() {
    if (Profiles.empty())
        return false;
    return Open(GetTitle(CurrentIndex < 0 ? 0 : CurrentIndex));
}

bool TProfileMgr::UpdateCurrentProfile(const TProfile* profile) {
    TProfile* current = GetCurrentProfile();
    if (!profile || !current)
        return false;
    if (profile != current)
        *current = *profile;
    return true;
}

bool TProfileMgr::SaveCurrentProfile() {
    if (!WriteProfiles())
        return false;
    TProfile* current = GetCurrentProfile();
    if (current && Copy)
        *Copy = *current;
    return true;
}

bool TProfileMgr::DeleteCurrentProfile() {
    if (Count() < 2 || !GetCurrentProfile())
        return false;
    // Kept until saved: the deletion is laid over the file then, and the object stays
    // where the last saved current profile points.
    Deleted.push_back(std::move(Profiles[CurrentIndex]));
    Profiles.erase(Profiles.begin() + CurrentIndex);
    return Open(GetTitle(0));
}

int TProfileMgr::AddNewProfile(std::unique_ptr<TProfile> profile) {
    const TProfile* added = profile.get();
    Profiles.push_back({std::move(profile), nullptr});
    const TProfile* titleTaken = nullptr;
    SaveReporting(&titleTaken);
    if (titleTaken == added) {
        Profiles.pop_back();
        return kTitleTaken;
    }
    if (titleTaken)
        DisplayMessage(768, MB_OK | MB_ICONEXCLAMATION);
    int index = Count() - 1;
    if (Count() == 1)
        Open(GetTitle(0));
    return index;
}

bool TProfileMgr::WithdrawNewProfile(int index) {
    if (index < 0 || index >= Count())
        return false;
    const TEntry& entry = Profiles[index];
    if (entry.Base || !entry.Profile->IsNew)
        return false;
    Profiles.erase(Profiles.begin() + index);
    if (CurrentIndex == index) {
        CurrentIndex = -1;
        Copy.reset();
        TProfile::ProfileCopy = nullptr;
    } else if (CurrentIndex > index) {
        --CurrentIndex;
    }
    return true;
}

bool TProfileMgr::IsValidTitle(const TProfile* self, const std::string& title) const {
    return std::none_of(Profiles.begin(), Profiles.end(), [&](const TEntry& entry) {
        return entry.Profile.get() != self && TitlesClash(entry.Profile->Title, title);
    });
}

std::string TProfileMgr::GetNewTitle() const {
    std::string title = LoadStr(111);
    if (IndexOfTitle(title) < 0)
        return title;
    for (int i = 1;; ++i) {
        char numbered[64];
        std::snprintf(numbered, sizeof numbered, LoadStr(112).c_str(), i);
        if (IndexOfTitle(numbered) < 0)
            return numbered;
    }
}
