#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "profile.h"
#include "vlshare_export.h"

// The one owner of every profile: which is current, the profiles file, and the program
// settings kept in the registry. Constructing it loads everything; destroying it saves
// what changed since.
class VLSHARE_EXPORT TProfileMgr {
  public:
    // The settings as stored in the registry value "Settings", 28 bytes as they lie here.
    struct TSettings {
        int32_t CurrentIndex = -1;
        uint8_t StartWithWindows = 1;
        uint8_t CreateLog = 1;
        uint8_t Padding1[2] = {};
        int32_t MaxLogEntries = 500;
        uint8_t LogType = 2;  // ltBoth
        uint8_t Padding2[3] = {};
        uint8_t Reserved[12] = {};
    };
    static_assert(sizeof(TSettings) == 28);

    TProfileMgr();
    ~TProfileMgr();
    TProfileMgr(const TProfileMgr&) = delete;
    TProfileMgr& operator=(const TProfileMgr&) = delete;

    // The profiles file and the registry key the manager keeps its settings under.
    static std::string ProfilesFileName();
    static std::string RegistryKey();

    void ReadProfiles();
    void WriteProfiles();
    void ReadRegistry();
    void WriteRegistry();

    int Count() const { return static_cast<int>(Profiles.size()); }
    TProfile* Items(int index) const { return Profiles.at(index).get(); }
    TProfile* GetCurrentProfile() const;
    std::string GetTitle(int index) const { return Items(index)->Title; }
    std::string GetTitles() const;
    int IndexOfTitle(const std::string& title) const;
    bool Open(const std::string& title);
    bool OpenMRU();
    bool UpdateCurrentProfile(const TProfile* profile);
    void SaveCurrentProfile();
    bool DeleteCurrentProfile();
    int AddNewProfile(std::unique_ptr<TProfile> profile);
    bool IsValidTitle(const TProfile* self, const std::string& title) const;
    std::string GetNewTitle() const;

    int32_t CurrentIndex = -1;
    bool StartWithWindows = true;
    bool CreateLog = true;
    int32_t MaxLogEntries = 500;
    uint8_t LogType = 2;

  private:
    // The registry values the manager keeps: "Settings" (absent when there are no
    // profiles), "ProgramDir" and "Version".
    struct TRegistryValues {
        std::optional<std::vector<uint8_t>> Settings;
        std::optional<std::string> ProgramDir;
        std::optional<int32_t> Version;
        bool operator==(const TRegistryValues&) const = default;
    };

    TSettings StoredSettings() const;
    // The values WriteRegistry writes, and the values the registry holds now.
    TRegistryValues RegistryValues() const;
    static TRegistryValues ReadRegistryValues();
    // The profiles file's content for the profiles as they are; like writing it, this
    // clears each profile's marks of unsaved changes.
    std::string ProfilesContent();
    // Whether some profile carries a mark of unsaved changes or the file would differ.
    bool ProfilesChanged();
    // Keeps a damaged profiles file for the user instead of losing it.
    void MoveDamagedFileAside(const std::string& file);

    std::vector<std::unique_ptr<TProfile>> Profiles;
    std::unique_ptr<TProfile> Copy;  // what TProfile::ProfileCopy points at
    uint8_t Reserved[12] = {};
    // The profiles file and the registry values as this manager last read or wrote them
    // (no file: none).
    std::optional<std::string> ProfilesOnDisk;
    TRegistryValues RegistryOnDisk;
};
