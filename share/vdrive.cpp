#include "vdrive.h"

#include <vector>

#include "exceptions.h"
#include "interaction.h"
#include "platform/drivemap.h"
#include "platform/files.h"
#include "platform/syserror.h"
#include "platform/volume.h"
#include "strtable.h"
#include "vfileutil.h"
#include "vstringutil.h"

namespace {

constexpr size_t kMaxLabelLength = 50;

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

char UpperLetter(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// text with "%c" replaced by the drive letter and "%d" by number ("%%" gives "%"). Done by
// hand rather than by printf, so that a caller's text cannot ask for arguments that are
// not there.
std::string FillIn(const std::string& text, char letter, int number = 0) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char code = i + 1 < text.size() && text[i] == '%' ? text[i + 1] : 0;
        if (code == 'c' || code == 'd' || code == '%') {
            out += code == 'c'   ? std::string(1, letter)
                   : code == 'd' ? std::to_string(number)
                                 : std::string("%");
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Errors that mean the medium is missing or cannot be read.
bool IsNotReadyError(int error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
           error == ERROR_INVALID_DRIVE || error == ERROR_NOT_READY || error == ERROR_GEN_FAILURE;
}

// Errors that mean the medium refuses to be written.
bool IsWriteProtectError(int error) {
    return error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT ||
           error == ERROR_READ_FAULT;
}

struct TPromptKind {
    int Kind;
    int FixedText;  // string id for fixed and remote drives; 0: the caller gives the text
    int OtherText;  // string id for the other drives
    unsigned Style;
};

constexpr TPromptKind kPromptKinds[] = {
    {ptNotEmpty, 32003, 32003, MB_YESNOCANCEL | MB_ICONEXCLAMATION},
    {ptWriteProtected, 32004, 32004, MB_RETRYCANCEL | MB_ICONSTOP},
    {ptNotReady, 32005, 32005, MB_RETRYCANCEL | MB_ICONSTOP},
    {ptFormat, 0, 0, MB_YESNOCANCEL | MB_ICONQUESTION},
    {ptFull, 32006, 32007, MB_OKCANCEL | MB_ICONSTOP},
    {ptNoSpace, 32008, 32009, MB_OKCANCEL | MB_ICONSTOP},
    {ptNoCapacity, 32010, 32011, MB_OKCANCEL | MB_ICONSTOP},
    {ptCustom, 0, 0, MB_OK},
};

const TPromptKind* FindPromptKind(int kind) {
    for (const TPromptKind& entry : kPromptKinds) {
        if (entry.Kind == kind)
            return &entry;
    }
    return nullptr;
}

[[noreturn]] void RaiseCancelled() {
    throw EAbort(LoadStr(32018));
}

// Deletes the files below folder (a path ending in "\"), each subfolder's before the
// folder's own, and adds every folder below the root to emptied, deepest first. Folders
// whose names begin with "." are left alone. Returns 0, or the error that stopped it:
// access denied or write-protected; other failures are passed over.
int DeleteFilesBelow(const std::string& folder, bool isRoot, std::vector<std::string>& emptied) {
    for (TFileSearch search(folder + "*.*", faAnyFile); search.Found(); search.Next()) {
        if (search.IsDirectory() && !search.IsDotDirectory()) {
            int error = DeleteFilesBelow(search.FullName() + "\\", false, emptied);
            if (error != 0)
                return error;
        }
    }
    for (TFileSearch search(folder + "*.*", faAnyFile); search.Found(); search.Next()) {
        if (search.IsDirectory())
            continue;
        std::string file = search.FullName();
        // Attributes set through a link would change the file it leads to, perhaps off the
        // medium; the link itself goes without them.
        if (EntryKindOf(file) != ekLink)
            SetFileAttributes(file, search.Rec().Attr & ~(faReadOnly | faHidden | faSysFile));
        if (!DeleteFile(file)) {
            int error = GetLastError();
            if (error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT)
                return error;
        }
    }
    if (!isRoot)
        emptied.push_back(folder.substr(0, folder.size() - 1));
    return 0;
}

}  // namespace

TVDrive::TVDrive(char letter) {
    if (!IsLetter(letter))
        throw ERangeError("Invalid drive letter");
    SetLetter(letter);
}

void TVDrive::SetLetter(char letter) {
    if (!IsLetter(letter) || UpperLetter(letter) == FLetter)
        return;
    FLetter = UpperLetter(letter);
    Reset();
}

void TVDrive::Reset() {
    FSerial = NoSerial;
    FLabel.clear();
}

void TVDrive::SetError(int code) {
    FError = code == -1 ? GetLastError() : code;
}

std::string TVDrive::RootPath() const {
    return std::string(1, FLetter) + ":\\";
}

std::string TVDrive::GetDisplayName() const {
    std::string name = ::GetDisplayName(RootPath());
    return name.empty() ? GetPath() : name;
}

int TVDrive::GetType() const {
    return GetDriveType(RootPath());
}

bool TVDrive::IsRemovable() const {
    int type = GetType();
    return type == DRIVE_REMOVABLE || type == DRIVE_CDROM;
}

bool TVDrive::IsFixedOrRemote() const {
    int type = GetType();
    return type == DRIVE_FIXED || type == DRIVE_REMOTE;
}

// ---- The medium: serial number and label ----

uint32_t TVDrive::GetSerialNumber(std::string* label) {
    TVolumeInfo info;
    bool read = GetVolumeInformation(RootPath(), info);
    SetError(-1);
    if (label)
        *label = read ? LeftChars(info.Label, kMaxLabelLength) : std::string();
    return read ? info.Serial : NoSerial;
}

std::string TVDrive::GetLabel() {
    std::string label;
    GetSerialNumber(&label);
    return label;
}

bool TVDrive::SetLabel(const std::string& label) {
    if (label == FLabel) {
        // The remembered label may belong to a medium that has been taken out since.
        std::string current;
        if (GetSerialNumber(&current) != NoSerial && current == label)
            return true;
    }
    if (!SetVolumeLabel(RootPath(), label)) {
        SetError(-1);
        return false;
    }
    FError = 0;
    FLabel = label;
    return true;
}

bool TVDrive::Update() {
    int type = GetType();
    if (type == DRIVE_UNKNOWN || type == DRIVE_NO_ROOT_DIR)
        return false;
    std::string label;
    uint32_t serial = GetSerialNumber(&label);
    if (serial == NoSerial) {
        Reset();
        return false;
    }
    FSerial = serial;
    FLabel = label;
    return true;
}

bool TVDrive::IsMediaValid(TMediaResults& results) {
    results.Clear();
    int type = GetType();
    if (type == DRIVE_UNKNOWN || type == DRIVE_NO_ROOT_DIR) {
        results.Include(mdNoDrive);
        return false;
    }
    if (!IsRemovable()) {
        results.Include(mdFixed);
        return true;
    }
    std::string label;
    uint32_t serial = GetSerialNumber(&label);
    if (serial == NoSerial) {
        results.Include(mdNoMedia);
        return false;
    }
    if (IsWriteProtected())
        results.Include(mdWriteProtected);
    if (serial != FSerial || label != FLabel)
        results.Include(mdChanged);
    if (serial == 0) {
        results.Include(mdBadVolumeId);
        return false;
    }
    return true;
}

bool TVDrive::IsEmpty() const {
    if (!DirectoryExists(RootPath()))
        return false;
    for (TFileSearch search(RootPath() + "*.*", faAnyFile); search.Found(); search.Next()) {
        if (!search.IsDotDirectory())
            return false;
    }
    return true;
}

// ---- Space, write protection and folders ----

int64_t TVDrive::GetBytes(int kind) {
    if (kind != 0 && kind != 1)
        return 0;
    int64_t total = 0, available = 0;
    for (int attempt = 1; !GetDiskFreeSpace(RootPath(), total, available); ++attempt) {
        SetError(-1);
        ShowError(attempt);
    }
    FError = 0;
    return kind == 0 ? total : available;
}

bool TVDrive::IsWriteProtected() {
    std::string probe;
    while (!CreateUniqueFile(RootPath(), "VLW", probe)) {
        SetError(-1);
        if (FError == ERROR_WRITE_PROTECT)
            return true;
        ShowError(0);
    }
    FError = 0;
    DeleteFile(probe);
    return false;
}

bool TVDrive::SetCurrentDir(const std::string& path, bool create) {
    if (path.empty() || UpperLetter(path[0]) != FLetter)
        return false;
    if (!DirectoryExists(path) && !(create && CreateDir(path)))
        return false;
    FCurrentDir = path;
    return true;
}

bool TVDrive::CreateDir(const std::string& path) {
    std::string full = !path.empty() && path.back() == '\\' ? path : path + "\\";
    for (size_t i = 3; i < full.size(); ++i) {
        if (full[i] != '\\')
            continue;
        std::string folder = full.substr(0, i);
        if (DirectoryExists(folder))
            continue;
        while (!::CreateDir(folder)) {
            SetError(-1);
            ShowError(0);
        }
    }
    return true;
}

bool TVDrive::PrepareForWrite(int64_t size) {
    for (;;) {
        if (IsWriteProtected()) {
            if (Prompt(ptWriteProtected) == IDCANCEL)
                RaiseCancelled();
            continue;
        }
        if (GetFreeBytes() >= size)
            return true;
        if (GetCapacity() < size) {
            if (Prompt(ptNoCapacity) == IDCANCEL)
                RaiseCancelled();
            return false;
        }
        if (GetFreeBytes() < size) {
            if (Prompt(ptNoSpace) == IDCANCEL)
                RaiseCancelled();
            if (IsFixedOrRemote())
                return false;
        }
    }
}

// ---- Questions ----

int TVDrive::Ask(int id, const std::string& text, unsigned style) const {
    return Interaction().MessageBox({id, text, FCaption, style});
}

int TVDrive::PromptForDiskette(int number) {
    if (!IsRemovable())
        throw Exception(FillIn(LoadStr(32019), FLetter));
    int id = number > 0 ? 32002 : number == 0 ? 32001 : 32000;
    return Ask(id, FillIn(LoadStr(id), FLetter, number), MB_OKCANCEL | MB_ICONINFORMATION);
}

int TVDrive::Prompt(int kind, const std::string& text, int flags) {
    const TPromptKind* entry = FindPromptKind(kind);
    if (!entry)
        return IDOK;
    int id = 0;
    if (text.empty()) {
        id = IsFixedOrRemote() ? entry->FixedText : entry->OtherText;
        if (id == 0)
            throw Exception("A drive question of kind " + std::to_string(kind) +
                            " needs the text of its caller.");
    }
    unsigned style = entry->Style;
    if (flags != -1)
        style = (kind == ptCustom ? 0 : style) | static_cast<unsigned>(flags);
    return Ask(id, FillIn(id != 0 ? LoadStr(id) : text, FLetter), style);
}

int TVDrive::ShowError(int attempt) {
    int answer;
    if (IsNotReadyError(FError))
        answer = attempt == 1 ? PromptForDiskette(-1) : Prompt(ptNotReady);
    else if (IsWriteProtectError(FError))
        answer = Prompt(ptWriteProtected);
    else
        throw EOSError(FError, SysErrorMessage(FError));
    if (answer == IDCANCEL)
        RaiseCancelled();
    return answer;
}

std::string TVDrive::FormatException(int kind) const {
    if (kind == 1)
        return FillIn(LoadStr(32020), FLetter);
    if (kind == 2)
        return FillIn(LoadStr(32021), FLetter);
    return FillIn(LoadStr(32017), FLetter, FError);
}

// ---- Erasing and formatting ----

bool TVDrive::Format(uint32_t& result) {
    if (GetType() != DRIVE_REMOVABLE) {
        result = SHFMT_NOFORMAT;
        return false;
    }
    if (Ask(902, FillIn(LoadStr(902), FLetter), MB_YESNO | MB_ICONQUESTION) != IDYES) {
        result = SHFMT_CANCEL;
        return false;
    }
    uint32_t serial = 0;
    while (!FormatVolume(RootPath(), serial)) {
        SetError(-1);
        int answer = AskAfterFormatFailure();
        if (answer != IDRETRY) {
            result = answer == IDCANCEL ? SHFMT_CANCEL : SHFMT_ERROR;
            return false;
        }
    }
    FError = 0;
    result = serial & 0xFFFF;
    return true;
}

int TVDrive::AskAfterFormatFailure() {
    if (IsWriteProtectError(FError))
        return Prompt(ptWriteProtected);
    if (IsNotReadyError(FError))
        return Prompt(ptNotReady);
    Prompt(ptCustom, SysErrorMessage(FError), MB_OK | MB_ICONSTOP);
    return IDOK;
}

bool TVDrive::Clean() {
    for (;;) {
        std::vector<std::string> emptied;
        int error = DeleteFilesBelow(RootPath(), true, emptied);
        if (error == 0) {
            for (const std::string& folder : emptied)
                RemoveDir(folder);
            break;
        }
        FError = error;
        ShowError(0);
    }
    return IsEmpty();
}
