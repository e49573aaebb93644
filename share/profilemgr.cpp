#include "profilemgr.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "commatext.h"
#include "display.h"
#include "interaction.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/syserror.h"
#include "strtable.h"
#include "vfileutil.h"
#include "vstringutil.h"

namespace {

constexpr size_t kTitleClashLength = 7;

}  // namespace

TProfileMgr::TProfileMgr() {
    TProfile::Manager = this;
    try {
        ReadRegistry();
        RegistryOnDisk = ReadRegistryValues();
        ReadProfiles();
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
}

TProfileMgr::~TProfileMgr() {
    // Other processes (vlctl commands, the tray program) share the profiles file and the
    // registry settings, and a manager may live long (a backup waiting for a drive).
    // Writing back everything here would undo what they saved meanwhile, so only what
    // differs from what this manager last read or wrote is written.
    if (ProfilesChanged())
        WriteProfiles();
    if (RegistryValues() != RegistryOnDisk)
        WriteRegistry();
    Profiles.clear();
    TProfile::Manager = nullptr;
    TProfile::ProfileCopy = nullptr;
}

std::string TProfileMgr::ProfilesFileName() {
    return GetDataDir(true) + LoadStr(114);
}

std::string TProfileMgr::RegistryKey() {
    return LoadStr(104) + LoadStr(101);
}

void TProfileMgr::ReadProfiles() {
    std::string file = ProfilesFileName();
    ProfilesOnDisk.reset();
    std::string content;
    if (!ReadFileText(file, content)) {
        // No file yet is normal. One that is there but cannot be read (a folder, a pipe or
        // device, no permission, too large) is not damaged: it stays as it is, and nothing
        // is written over profiles that were never read.
        int error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return;
        throw EOSError(error,
                       "Cannot read the profiles file \"" + file + "\". " + SysErrorMessage(error));
    }
    try {
        ProfilesOnDisk = content;
        TMemoryStream stream(std::vector<uint8_t>(content.begin(), content.end()));
        auto count = stream.ReadValue<int32_t>();
        for (int32_t i = 0; i < count; ++i)
            Profiles.push_back(std::make_unique<TProfile>(stream));
    } catch (const std::exception&) {
        Profiles.clear();
        ProfilesOnDisk.reset();
        MoveDamagedFileAside(file);
        DisplayMessage(363, MB_ICONSTOP);
    }
}

void TProfileMgr::MoveDamagedFileAside(const std::string& file) {
    if (!ReplaceFile(file, file + ".damaged"))
        DeleteFile(file);
}

std::string TProfileMgr::ProfilesContent() {
    TMemoryStream stream;
    stream.WriteValue<int32_t>(Count());
    for (const auto& profile : Profiles)
        profile->Write(stream);
    return {stream.Data.begin(), stream.Data.end()};
}

bool TProfileMgr::ProfilesChanged() {
    bool unsaved = std::any_of(Profiles.begin(), Profiles.end(), [](const auto& profile) {
        return profile->Modified || profile->IsNew;
    });
    return unsaved || ProfilesContent() != ProfilesOnDisk;
}

void TProfileMgr::WriteProfiles() {
    std::vector<std::pair<bool, bool>> flags;
    for (const auto& profile : Profiles)
        flags.emplace_back(profile->Modified, profile->IsNew);
    try {
        std::string content = ProfilesContent();
        if (!WriteFileAtomically(ProfilesFileName(), content)) {
            throw Exception("Cannot write the profiles file \"" + ProfilesFileName() + "\". " +
                            SysErrorMessage(GetLastError()));
        }
        ProfilesOnDisk = std::move(content);
    } catch (const std::exception& e) {
        // Nothing was saved: the profiles keep their marks of unsaved changes.
        for (size_t i = 0; i < Profiles.size(); ++i) {
            Profiles[i]->Modified = flags[i].first;
            Profiles[i]->IsNew = flags[i].second;
        }
        ShowException(e);
    }
}

TProfileMgr::TSettings TProfileMgr::StoredSettings() const {
    TSettings settings;
    settings.CurrentIndex = CurrentIndex;
    settings.StartWithWindows = StartWithWindows ? 1 : 0;
    settings.CreateLog = CreateLog ? 1 : 0;
    settings.MaxLogEntries = MaxLogEntries;
    settings.LogType = LogType;
    std::memcpy(settings.Reserved, Reserved, sizeof Reserved);
    return settings;
}

void TProfileMgr::ReadRegistry() {
    try {
        TRegistry registry;
        registry.OpenKey(RegistryKey(), true);
        if (registry.ValueExists("Settings")) {
            std::vector<uint8_t> data = registry.ReadBinaryData("Settings");
            if (data.size() != sizeof(TSettings)) {
                throw ERegistryException("The stored settings have the wrong size.");
            }
            TSettings settings;
            std::memcpy(&settings, data.data(), sizeof settings);
            CurrentIndex = settings.CurrentIndex;
            StartWithWindows = settings.StartWithWindows != 0;
            CreateLog = settings.CreateLog != 0;
            // Another program or a damaged record may hold values the log cannot use.
            MaxLogEntries = std::clamp<int32_t>(settings.MaxLogEntries, 1, 32000);
            LogType = std::min<uint8_t>(settings.LogType, 2);
            std::memcpy(Reserved, settings.Reserved, sizeof Reserved);
        }
        registry.CloseKey();
    } catch (const std::exception& e) {
        Interaction().MessageBox({0, e.what(), "", MB_OK});
    }
}

TProfileMgr::TRegistryValues TProfileMgr::RegistryValues() const {
    TRegistryValues values;
    if (!Profiles.empty()) {
        TSettings settings = StoredSettings();
        auto bytes = reinterpret_cast<const uint8_t*>(&settings);
        values.Settings.emplace(bytes, bytes + sizeof settings);
    }
    values.ProgramDir = GetExeDir(true);
    values.Version = TProfile::kVersion;
    return values;
}

TProfileMgr::TRegistryValues TProfileMgr::ReadRegistryValues() {
    TRegistryValues values;
    try {
        TRegistry registry;
        if (!registry.OpenKey(RegistryKey(), false))
            return values;
        if (registry.ValueExists("Settings"))
            values.Settings = registry.ReadBinaryData("Settings");
        if (registry.ValueExists("ProgramDir"))
            values.ProgramDir = registry.ReadString("ProgramDir");
        if (registry.ValueExists("Version"))
            values.Version = registry.ReadInteger("Version");
    } catch (const std::exception&) {
        // ReadRegistry has reported it; empty settings differ from any that are written.
        values.Settings.emplace();
    }
    return values;
}

void TProfileMgr::WriteRegistry() {
    try {
        TRegistryValues values = RegistryValues();
        TRegistry registry;
        registry.OpenKey(RegistryKey(), true);
        if (values.Settings)
            registry.WriteBinaryData("Settings", *values.Settings);
        else
            registry.DeleteValue("Settings");
        registry.WriteString("ProgramDir", *values.ProgramDir);
        registry.WriteInteger("Version", *values.Version);
        registry.CloseKey();
        RegistryOnDisk = std::move(values);
    } catch (const std::exception& e) {
        Interaction().MessageBox({0, e.what(), "", MB_OK});
    }
}

TProfile* TProfileMgr::GetCurrentProfile() const {
    if (Profiles.empty() || CurrentIndex < 0 || CurrentIndex >= Count())
        return nullptr;
    return Profiles[CurrentIndex].get();
}

std::string TProfileMgr::GetTitles() const {
    std::vector<std::string> titles;
    for (const auto& profile : Profiles)
        titles.push_back(profile->Title);
    return ToCommaText(titles);
}

int TProfileMgr::IndexOfTitle(const std::string& title) const {
    for (int i = 0; i < Count(); ++i) {
        if (SameText(Profiles[i]->Title, title))
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
        *Copy = *Profiles[index];
    } else {
        Copy = std::make_unique<TProfile>(*Profiles[index]);
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

void TProfileMgr::SaveCurrentProfile() {
    WriteProfiles();
    TProfile* current = GetCurrentProfile();
    if (current && Copy)
        *Copy = *current;
}

bool TProfileMgr::DeleteCurrentProfile() {
    if (Count() < 2 || !GetCurrentProfile())
        return false;
    Profiles.erase(Profiles.begin() + CurrentIndex);
    return Open(GetTitle(0));
}

int TProfileMgr::AddNewProfile(std::unique_ptr<TProfile> profile) {
    Profiles.push_back(std::move(profile));
    WriteProfiles();
    int index = Count() - 1;
    if (Count() == 1)
        Open(GetTitle(0));
    return index;
}

bool TProfileMgr::IsValidTitle(const TProfile* self, const std::string& title) const {
    for (const auto& profile : Profiles) {
        if (profile.get() == self)
            continue;
        // A title clashes with another whose leading characters it shares, up to the
        // length of the shorter one and at most the length that names a diskette series.
        size_t count = std::min({DecodeUtf8Lenient(profile->Title).size(),
                                 DecodeUtf8Lenient(title).size(), kTitleClashLength});
        if (SameText(LeftChars(profile->Title, count), LeftChars(title, count)))
            return false;
    }
    return true;
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
