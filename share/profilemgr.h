#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "interaction.h"
#include "profile.h"
#include "profilesfile.h"
#include "vlshare_export.h"

// The one owner of every profile in a process: which is current, the profiles file, and
// the program settings kept in the registry. Constructing it loads everything; destroying
// it saves what this manager changed.
//
// Other processes (vlctl commands, the tray program, a backup waiting at a drive) share
// the files and change them while a manager lives. Every save therefore takes the
// profiles lock, reads the files as they are now and lays over them only what this
// manager changed since it read or last saved them: profiles added and deleted, and per
// profile only the fields it changed; in the settings only the values it changed. A
// profile is known across processes by its creation time (profilesfile.h). The manager's
// own list is not refreshed with what others saved: it stays this process's view.
//
// A profiles file that is not exactly a count and that many good records is damaged: it
// is kept aside under a new name, reported (363) and never written over; a damaged
// settings file is kept aside the same way (registry.h). A file missing when saving means
// no profiles; one found damaged when saving is replaced by what this manager knows.
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

    // What AddNewProfile returns when another process has meanwhile saved a profile whose
    // title clashes with the new one's; the caller reports it as it reports its own title
    // check (message 768).
    static constexpr int kTitleTaken = -1;

    TProfileMgr();
    ~TProfileMgr();
    TProfileMgr(const TProfileMgr&) = delete;
    TProfileMgr& operator=(const TProfileMgr&) = delete;

    // The profiles file and the registry key the manager keeps its settings under.
    static std::string ProfilesFileName();
    static std::string RegistryKey();

    // Both save every change of this manager, to the profiles and to the settings alike
    // (the current profile's index depends on the list). True when saved; a failure has
    // been reported and the changes stay unsaved, with their marks.
    bool WriteProfiles();
    bool WriteRegistry();

    int Count() const { return static_cast<int>(Profiles.size()); }
    TProfile* Items(int index) const { return Profiles.at(index).Profile.get(); }
    TProfile* GetCurrentProfile() const;
    std::string GetTitle(int index) const { return Items(index)->Title; }
    std::string GetTitles() const;
    int IndexOfTitle(const std::string& title) const;
    bool Open(const std::string& title);
    bool OpenMRU();
    bool UpdateCurrentProfile(const TProfile* profile);
    // Writes the profiles; only when they were written does the current profile become the
    // one that UndoChanges goes back to. False when not saved (the failure was reported).
    bool SaveCurrentProfile();
    bool DeleteCurrentProfile();
    // Appends profile and saves at once; returns its index, or kTitleTaken (the profile
    // is then dropped).
    int AddNewProfile(std::unique_ptr<TProfile> profile);
    // Takes back the profile at index when it was added and never saved (the save failed
    // and was reported): the list, the current profile and its copy are as before it was
    // added, so that a dialog can keep it and try again. False for any other profile.
    bool WithdrawNewProfile(int index);
    bool IsValidTitle(const TProfile* self, const std::string& title) const;
    std::string GetNewTitle() const;

    // The names under which this manager kept damaged profiles files it found.
    const std::vector<std::string>& KeptDamagedFiles() const { return KeptProfilesFiles; }
    // Whether this manager found the profiles file damaged (and reported it).
    bool FoundDamagedProfiles() const { return FoundDamage; }

    int32_t CurrentIndex = -1;
    bool StartWithWindows = true;
    bool CreateLog = true;
    int32_t MaxLogEntries = 500;
    uint8_t LogType = 2;

  private:
    // A profile of the list and the profile as this manager last read or saved it (none
    // while it was never saved).
    struct TEntry {
        std::unique_ptr<TProfile> Profile;
        std::unique_ptr<TProfile> Base;
    };

    // The registry values the manager keeps: "Settings" (absent when there are no
    // profiles), "ProgramDir" and "Version".
    struct TRegistryValues {
        std::optional<std::vector<uint8_t>> Settings;
        std::optional<std::string> ProgramDir;
        std::optional<int32_t> Version;
        bool operator==(const TRegistryValues&) const = default;
    };

    struct TProfilesOnDisk;
    struct TSettingsOnDisk;
    struct TMerged;
    // Messages gathered while the lock is held, shown once it is released (a lock is
    // never held while the user is asked).
    using TReports = std::vector<TMessageRequest>;
    enum TCommitResult { crSaved, crFailed, crTitleTaken };

    // Reads the settings and the profiles file under the lock.
    void Load(TReports& reports);
    // A damaged profiles file is reported and kept aside whenever it is found; something
    // in its place that is no regular file is reported when loading (a save that cannot
    // write tells it then).
    enum TReadPurpose { rpLoad, rpSave };
    TProfilesOnDisk ReadProfilesFile(TReadPurpose purpose, TReports& reports);
    TSettingsOnDisk ReadSettings(TReports& reports);
    void TakeSettings(const TSettings& settings);
    TSettings OwnSettings() const;
    TRegistryValues ValuesFor(const std::optional<TSettings>& settings) const;

    // Saves this manager's changes; titleTaken := the profile whose new title clashes
    // with one saved meanwhile (nothing is saved then).
    TCommitResult Commit(const TProfile*& titleTaken);
    // A profiles file found damaged when saving is kept aside; what this manager read or
    // last saved is then the best there is to lay its changes over.
    TProfileList SavedProfiles() const;
    TMerged Merge(const TProfilesOnDisk& profiles, const TSettingsOnDisk& settings);
    const TProfile* FindTitleClash(const TMerged& merged) const;
    // Raises when the file could not be written.
    void WriteProfilesFile(const TProfilesOnDisk& onDisk, TMerged& merged);
    void MarkProfilesSaved(const TMerged& merged);
    // False when the settings could not be written (reported).
    bool WriteSettings(const TSettingsOnDisk& onDisk, const TMerged& merged, TReports& reports);
    // Commits and reports a clashing title (768) unless titleTakenOut asks for it.
    bool SaveReporting(const TProfile** titleTakenOut = nullptr);

    bool ProfilesChanged() const;
    bool SettingsChanged() const;

    std::vector<TEntry> Profiles;
    // The profiles deleted here since the last save.
    std::vector<TEntry> Deleted;
    std::unique_ptr<TProfile> Copy;  // what TProfile::ProfileCopy points at
    uint8_t Reserved[12] = {};

    // The settings and the current profile as this manager last read or saved them.
    TSettings BaseSettings;
    const TProfile* BaseCurrent = nullptr;
    // The registry values as last read or written, and whether a profiles file was found
    // (a first manager writes one, even empty).
    TRegistryValues RegistryOnDisk;
    bool ProfilesFileFound = false;
    // False while the settings file must not be written (registry.h), and the text that
    // told the user why.
    bool SettingsWritable = true;
    std::string SettingsProblemShown;

    bool FoundDamage = false;
    std::vector<std::string> KeptProfilesFiles;
};
