#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vlshare_export.h"

class TFileLock;

// Which entries about files and errors the log records.
enum TLogType : uint8_t {
    ltSuccess = 0,  // only successful operations
    ltErrors = 1,   // only errors
    ltBoth = 2,
};

// What an entry reports.
enum TLogCode : uint8_t {
    lcStart = 0,
    lcClose = 1,
    lcEnabled = 2,
    lcDisabled = 3,
    lcRestoreStart = 4,
    lcRestoreEnd = 5,
    lcBackupStart = 6,
    lcBackupEnd = 7,
    lcSaveFile = 8,
    lcRestoreFile = 9,
    lcError = 10,
    // A folder of a run that could not be read; always an error entry.
    lcReadFolder = 11,
};

// Where the log lives: in the data folder, named after the product ("Vaultaire 2000.log"),
// and its predecessor, the backup file that receives the full log.
VLSHARE_EXPORT std::string LogFileName();
VLSHARE_EXPORT std::string LogBackupFileName();
// The lock (filelock.h) every process holds while it rewrites the log or moves it to the
// backup file. A reader that holds it sees the two files in one state.
VLSHARE_EXPORT const char* LogLockName();

// The program's log: a text file in the data folder, one time-stamped line per entry.
// Entries wait in Pending until the log is flushed. When the file would reach MaxEntries
// lines, all of it moves to the backup file and a new log begins.
//
// Every rewrite re-reads the file (lines another program removed are not written back)
// and replaces it atomically, holding a lock that every process writing the log takes for
// its rewrite: entries that other processes add meanwhile are kept. File errors raise
// EOSError; the entries that could not be written then stay pending for the next attempt.
//
// Control characters in an entry (file names may hold them) are written as "?": an entry is
// one line of plain text.
//
// The object has no lock of its own: only one thread may use it at a time.
class VLSHARE_EXPORT TLogFile {
  public:
    TLogFile(int maxEntries, TLogType type, bool enabled);
    // Flushes what is pending. A failure here can only be reported on standard error:
    // owners that need to know call Flush first.
    ~TLogFile();
    TLogFile(const TLogFile&) = delete;
    TLogFile& operator=(const TLogFile&) = delete;

    // Counts the lines the file holds.
    void Start();
    // Applies changed settings; switching on re-counts the file, switching off flushes.
    void Update(TLogType type, int maxEntries, bool enabled);
    // Queues an entry and moves the log to the backup file when it is full.
    void AddEntry(const std::string& entry);
    // Appends the pending entries to the file.
    void Flush();

    // An entry about one file or folder (lcSaveFile, lcRestoreFile, lcReadFolder); other
    // codes go to the second form without the file name. error is 0, a system error number
    // or an ERR_ code.
    void WriteEntry(TLogCode code, const std::string& fileName, int error, bool flush);
    // An entry about the program or a run (lcStart ... lcBackupEnd, lcError).
    void WriteEntry(TLogCode code, int error, bool flush);
    // An entry in words of the program's own (what the change monitor has to say), written
    // whatever the log type.
    void WriteNotice(const std::string& text, bool flush);
    // Appends the text of error to entry.
    void AddErrorMsg(std::string& entry, int error);

    // The backup file that receives the full log.
    std::string BackupFileName() const;

    std::string FileName;
    std::vector<std::string> Lines;  // the file's lines, only while it is being rewritten
    std::vector<std::string> Pending;
    int MaxEntries;
    int FileCount = 0;  // lines the file held after the last rewrite
    TLogType LogType;
    bool Enabled;

  private:
    void RequireLock(const TFileLock& lock) const;
    void LoadLines();
    void SaveLines(const std::string& fileName);
    void DeleteLog();
};
