#include "logfile.h"

#include <cstdio>

#include "errorcodes.h"
#include "exceptions.h"
#include "platform/clock.h"
#include "platform/filelock.h"
#include "platform/files.h"
#include "platform/syserror.h"
#include "strtable.h"
#include "vfileutil.h"

namespace {

constexpr int StrProductName = 101;
constexpr int StrLogExtension = 401;
constexpr int StrBackupExtension = 402;
constexpr int StrCancelled = 413;
constexpr int StrUnexpectedError = 414;
constexpr int StrSavingFile = 407;
constexpr int StrRestoringFile = 410;
constexpr int StrErrorSavingFile = 415;
constexpr int StrErrorRestoringFile = 416;
constexpr int StrTargetFull = 417;
constexpr int StrFileTooLarge = 418;
constexpr int StrErrorReadingFolder = 921;
constexpr int StrTargetBusy = 922;

// Texts of lcStart ... lcBackupEnd, in the order of the codes.
constexpr int kCodeTexts[] = {403, 404, 405, 406, 408, 409, 411, 412};

std::string TimeStamp() {
    return FormatDateTime("dd/mm/yyyy hh:mm:ss am/pm'. '", Now());
}

bool IsControlCharacter(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

// The second byte of a control character of the range U+0080 to U+009F, which UTF-8 writes
// as 0xC2 and one of these; some terminals obey them as they obey escape sequences.
bool IsSecondByteOfC1Control(unsigned char c) {
    return c >= 0x80 && c <= 0x9F;
}

// An entry is one line of plain text. Host file names may hold any control character: a
// line break or vertical tab would split the entry and let a name pose as an entry of its
// own, an escape sequence would rewrite what a terminal shows of the log. Each becomes "?".
std::string PlainLine(const std::string& entry) {
    std::string line;
    line.reserve(entry.size());
    for (size_t i = 0; i < entry.size(); ++i) {
        auto c = static_cast<unsigned char>(entry[i]);
        if (IsControlCharacter(c)) {
            line += '?';
        } else if (c == 0xC2 && i + 1 < entry.size() &&
                   IsSecondByteOfC1Control(static_cast<unsigned char>(entry[i + 1]))) {
            line += '?';
            ++i;
        } else {
            line += entry[i];
        }
    }
    return line;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        size_t stop = end > start && text[end - 1] == '\r' ? end - 1 : end;
        lines.push_back(text.substr(start, stop - start));
        start = end + 1;
    }
    return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

// The system's text for error without the full stop and line break it ends with.
std::string SystemErrorText(int error) {
    std::string text = SysErrorMessage(error);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\n' || text.back() == '\r' ||
                             text.back() == '.')) {
        text.pop_back();
    }
    return text;
}

[[noreturn]] void RaiseFileError(const std::string& action, const std::string& fileName) {
    int error = GetLastError();
    throw EOSError(error,
                   "Cannot " + action + " file \"" + fileName + "\". " + SysErrorMessage(error));
}

// Empties the work list when a rewrite ends, also by an exception.
struct TEmptiedOnExit {
    std::vector<std::string>& List;
    ~TEmptiedOnExit() { List.clear(); }
};

}  // namespace

std::string LogFileName() {
    return GetDataDir(true) + LoadStr(StrProductName) + LoadStr(StrLogExtension);
}

std::string LogBackupFileName() {
    return LogFileName() + LoadStr(StrBackupExtension);
}

const char* LogLockName() {
    return "log";
}

TLogFile::TLogFile(int maxEntries, TLogType type, bool enabled)
    : FileName(LogFileName()), MaxEntries(maxEntries), LogType(type), Enabled(enabled) {
    if (Enabled)
        Start();
}

TLogFile::~TLogFile() {
    try {
        Flush();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "The log could not be written: %s\n", e.what());
    }
}

std::string TLogFile::BackupFileName() const {
    return FileName + LoadStr(StrBackupExtension);
}

void TLogFile::Start() {
    // Pending holds entries only when switching off could not write them: they stay.
    TEmptiedOnExit work{Lines};
    LoadLines();
    FileCount = static_cast<int>(Lines.size());
}

void TLogFile::Update(TLogType type, int maxEntries, bool enabled) {
    LogType = type;
    MaxEntries = maxEntries;
    if (enabled == Enabled)
        return;
    Enabled = enabled;
    if (Enabled)
        Start();
    else
        Flush();
}

void TLogFile::AddEntry(const std::string& entry) {
    Pending.push_back(PlainLine(entry));
    if (static_cast<int>(Pending.size()) + FileCount < MaxEntries)
        return;
    TFileLock lock(LogLockName());
    RequireLock(lock);
    TEmptiedOnExit work{Lines};
    LoadLines();
    Lines.insert(Lines.end(), Pending.begin(), Pending.end());
    if (static_cast<int>(Lines.size()) < MaxEntries) {
        // The file shrank meanwhile: there is still room in it.
        SaveLines(FileName);
        FileCount = static_cast<int>(Lines.size());
    } else {
        SaveLines(BackupFileName());
        DeleteLog();
        FileCount = 0;
    }
    Pending.clear();
}

void TLogFile::Flush() {
    if (Pending.empty())
        return;
    TFileLock lock(LogLockName());
    RequireLock(lock);
    TEmptiedOnExit work{Lines};
    LoadLines();
    Lines.insert(Lines.end(), Pending.begin(), Pending.end());
    SaveLines(FileName);
    FileCount = static_cast<int>(Lines.size());
    Pending.clear();
}

void TLogFile::WriteEntry(TLogCode code, const std::string& fileName, int error, bool flush) {
    if (!Enabled)
        return;
    if (code != lcSaveFile && code != lcRestoreFile && code != lcReadFolder) {
        WriteEntry(code, error, flush);
        return;
    }
    std::string entry = TimeStamp();
    if (code == lcReadFolder) {
        if (LogType == ltSuccess)
            return;
        entry += LoadStr(StrErrorReadingFolder) + fileName;
        AddErrorMsg(entry, error);
    } else if (error == 0) {
        if (LogType == ltErrors)
            return;
        entry += LoadStr(code == lcSaveFile ? StrSavingFile : StrRestoringFile) + fileName;
    } else {
        if (LogType == ltSuccess)
            return;
        entry +=
            LoadStr(code == lcSaveFile ? StrErrorSavingFile : StrErrorRestoringFile) + fileName;
        AddErrorMsg(entry, error);
    }
    AddEntry(entry);
    if (flush)
        Flush();
}

void TLogFile::WriteEntry(TLogCode code, int error, bool flush) {
    if (!Enabled)
        return;
    std::string entry = TimeStamp();
    if (code <= lcBackupEnd) {
        entry += LoadStr(kCodeTexts[code]);
    } else if (code == lcError) {
        if (LogType == ltSuccess)
            return;
        AddErrorMsg(entry, error);
    }
    AddEntry(entry);
    if (flush)
        Flush();
}

void TLogFile::WriteNotice(const std::string& text, bool flush) {
    if (!Enabled)
        return;
    AddEntry(TimeStamp() + text);
    if (flush)
        Flush();
}

void TLogFile::AddErrorMsg(std::string& entry, int error) {
    if (error < ERR_UNEXPECTED) {
        entry += ". " + SystemErrorText(error);
        return;
    }
    switch (error) {
        case ERR_UNEXPECTED:
            entry += LoadStr(StrUnexpectedError);
            break;
        case ERR_TARGETFULL:
            entry += LoadStr(StrTargetFull);
            break;
        case ERR_CANCELLED:
            entry += LoadStr(StrCancelled);
            break;
        case ERR_TARGETBUSY:
            entry += LoadStr(StrTargetBusy);
            break;
        case ERR_FILETOOLARGE:
            entry += ". " + LoadStr(StrFileTooLarge);
            break;
        case ERR_FILECHANGED:
            entry += ". " + LoadStr(903);
            break;
        default:
            break;
    }
}

void TLogFile::RequireLock(const TFileLock& lock) const {
    if (!lock.Locked())
        RaiseFileError("lock", FileName);
}

void TLogFile::LoadLines() {
    Lines.clear();
    std::string text;
    if (ReadFileText(FileName, text)) {
        Lines = SplitLines(text);
        return;
    }
    // A missing log is normal: the next rewrite creates it.
    int error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
        RaiseFileError("read", FileName);
}

void TLogFile::SaveLines(const std::string& fileName) {
    if (!WriteFileAtomically(fileName, JoinLines(Lines)))
        RaiseFileError("write", fileName);
}

void TLogFile::DeleteLog() {
    if (!DeleteFile(FileName) && GetLastError() != ERROR_FILE_NOT_FOUND)
        RaiseFileError("delete", FileName);
}
