#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "datetime.h"
#include "masks.h"
#include "streams.h"
#include "vlshare_export.h"

class TProfileMgr;

// The fixed part of a stored profile, 48 bytes, written and read as one block.
struct TProfileHeader {
    int32_t Magic1 = 0;
    int32_t Version = 0;
    int32_t Key = 0;          // password key; 0: no password
    int32_t NumVersions = 0;  // versions of each file to keep
    uint8_t Compression = 0;  // 0/1; kept as a byte, since a stored record may hold anything
    uint8_t Padding1[3] = {};
    int32_t LabelNumber = 0;  // current diskette of the series; 0: none started
    TDateTime Created = 0;
    uint8_t Reserved[8] = {};
    int32_t Magic2 = 0;
    uint8_t Padding2[4] = {};
};
static_assert(sizeof(TProfileHeader) == 48);
static_assert(offsetof(TProfileHeader, Compression) == 16);
static_assert(offsetof(TProfileHeader, LabelNumber) == 20);
static_assert(offsetof(TProfileHeader, Created) == 24);
static_assert(offsetof(TProfileHeader, Magic2) == 40);

// One backup profile: what to guard (source folders and masks), where to (target), and
// how (versions, compression, password, diskette series).
//
// The editing operations (UpdateTitle ... UndoChanges) validate and return 0 or the id of
// the message the calling dialog or command shows; they show nothing themselves, apart
// from the questions of AddMask. The profile dialogs and the command line both edit
// profiles through them.
class VLSHARE_EXPORT TProfile {
  public:
    static constexpr int32_t kMagic1 = 0x734C;
    static constexpr int32_t kMagic2 = 0x3E6D;
    static constexpr int32_t kVersion = 514;

    // A new profile with default masks and a title the manager proposes.
    TProfile();
    // A profile read from stream (raises as Read does).
    explicit TProfile(TStream& stream);

    bool operator==(const TProfile& other) const;

    void Write(TStream& stream);
    // Raises Exception "Error reading profile - file corrupted" for a damaged record and
    // EReadError for a short one; the profile is changed only when the record was good.
    void Read(TStream& stream);

    // Editing operations.
    int UpdateTitle(const std::string& title);
    int UpdatePassword(const std::string& password);
    int UpdateSource(const std::vector<std::string>& folders);
    int UpdateTarget(const std::string& target);
    bool AddMask(const std::string& mask, bool include);
    bool DeleteMask(const std::string& mask, bool include);
    void SetCompression(bool compression);
    void SetNumVersions(int numVersions);
    bool IsPassword(const std::string& password) const;
    bool DeletePassword();
    std::string GetIncludeMasks() const { return Masks.GetIncludeMasks(); }
    std::string GetExcludeMasks() const { return Masks.GetExcludeMasks(); }
    void UndoChanges();

    // Diskette series.
    std::string GetLabel() const;
    std::string GetNextLabel(bool commit);
    void StartNewSeries();
    static bool IsLabel(const std::string& s);
    bool IsLabelValid(const std::string& label) const;

    // Coverage.
    std::string GetSourceDrives() const;
    bool DoesFileNameMatch(const std::string& fileName) const;
    std::vector<std::string> GetSourceFolders() const;

    TProfileHeader Header;
    TMasks Masks;
    std::string Source;  // comma text of the source folders
    std::string Target;
    std::string Title;
    bool Modified = false;
    bool IsNew = false;

    static TProfileMgr* Manager;
    static TProfile* ProfileCopy;

  private:
    std::string LabelFor(int number) const;
};
