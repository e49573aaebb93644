#pragma once

#include <cstdint>
#include <string>

#include "vlshare_export.h"

// The results of a media check, used as a set: bit n stands for the value n.
enum TMediaResult : uint8_t {
    mdNoDrive = 0,      // the drive does not exist
    mdBadVolumeId = 1,  // serial number 0: the medium must be formatted
    mdFixed = 2,        // the drive is not removable
    mdNoMedia = 3,      // no medium, or it cannot be read
    mdWriteProtected = 4,
    mdChanged = 5,  // serial number or label differ from the remembered ones
};

class TMediaResults {
  public:
    void Clear() { Bits = 0; }
    void Include(TMediaResult r) { Bits = static_cast<uint8_t>(Bits | (1u << r)); }
    bool Contains(TMediaResult r) const { return (Bits & (1u << r)) != 0; }
    uint8_t Raw() const { return Bits; }

  private:
    uint8_t Bits = 0;
};

// The kinds of question Prompt asks.
enum TPromptType : int {
    ptNotEmpty = 2,
    ptWriteProtected = 3,
    ptNotReady = 4,
    ptFormat = 5,
    ptFull = 6,
    ptNoSpace = 7,
    ptNoCapacity = 8,
    ptCustom = 9,
};

// What Format gives back when it did not format: it failed, the user said no, or the drive
// cannot be formatted (not a removable drive).
enum : uint32_t {
    SHFMT_NOFORMAT = 0xFFFFFFFD,
    SHFMT_CANCEL = 0xFFFFFFFE,
    SHFMT_ERROR = 0xFFFFFFFF,
};

// A drive letter and the medium in it: its kind, whether a usable medium is there, the
// medium's serial number and label, space, write protection, folders, erasing and
// formatting, and the standard questions about it. The object remembers the serial number
// and label of the medium it last looked at (Update); another medium reports mdChanged.
// Questions go through the interaction interface; a Cancel answer to a drive question
// raises EAbort with "Operation cancelled".
class VLSHARE_EXPORT TVDrive {
  public:
    static constexpr uint32_t NoSerial = 0xFFFFFFFF;  // no medium, or nothing remembered

    // Raises ERangeError("Invalid drive letter") for a character that is not a letter.
    // Letters are kept in upper case.
    explicit TVDrive(char letter);

    char GetLetter() const { return FLetter; }
    void SetLetter(char letter);  // ignores a non-letter; a new letter forgets the medium
    void Reset();                 // forget the remembered medium
    int GetError() const { return FError; }
    void SetError(int code);  // -1: the calling thread's last system error

    std::string RootPath() const;  // "A:\"
    std::string GetPath() const { return RootPath(); }
    std::string GetDisplayName() const;
    int GetType() const;
    bool IsRemovable() const;  // removable or CD-ROM

    // Serial number of the medium now in the drive (-1 when there is none), with its label.
    uint32_t GetSerialNumber(std::string* label = nullptr);
    std::string GetLabel();
    // Nothing is written when the label is the remembered one and the medium in the drive
    // already carries it.
    bool SetLabel(const std::string& label);
    bool Update();

    bool IsMediaValid(TMediaResults& results);
    // No entry in the root but dot-folders. False when there is no medium to look at.
    bool IsEmpty() const;
    int64_t GetFreeBytes() { return GetBytes(1); }
    int64_t GetCapacity() { return GetBytes(0); }
    int64_t GetBytes(int kind);
    bool IsWriteProtected();
    bool SetCurrentDir(const std::string& path, bool create);
    const std::string& GetCurrentDir() const { return FCurrentDir; }
    bool CreateDir(const std::string& path);
    // Asks for room for size bytes; false when the user wants another drive.
    bool PrepareForWrite(int64_t size);
    int PromptForDiskette(int number);
    // Kinds ptFormat and ptCustom have no text of their own: a call without one raises.
    int Prompt(int kind, const std::string& text = "", int flags = -1);
    int ShowError(int attempt);
    std::string FormatException(int kind) const;
    // Asks, then erases the medium and gives it a new serial number and an empty label.
    // Only removable drives can be formatted. True when formatted, with the low 16 bits of
    // the new serial number in result; else false with SHFMT_NOFORMAT, SHFMT_CANCEL or
    // SHFMT_ERROR in result.
    bool Format(uint32_t& result);
    // Erases every file and folder of the medium (not its dot-folders); true when empty.
    bool Clean();

    std::string FCaption;  // caption of every box the object shows

  private:
    bool IsFixedOrRemote() const;
    int Ask(int id, const std::string& text, unsigned style) const;
    // After a failed format: IDRETRY to try again, IDCANCEL or IDOK (failure shown) to stop.
    int AskAfterFormatFailure();

    char FLetter = 0;
    int FError = 0;
    uint32_t FSerial = 0xFFFFFFFF;
    std::string FLabel;
    std::string FCurrentDir;
};
