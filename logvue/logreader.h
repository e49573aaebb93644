#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "logentry.h"
#include "platform/files.h"

// How the entries changed at a refresh.
enum TLogChange {
    lgUnchanged,  // nothing new (or the log was being rewritten: the next refresh looks again)
    lgAppended,   // new entries follow those read before
    lgReplaced,   // the log was moved to its backup file or rewritten: read anew
};

// Reads the log and its predecessor, the backup file, and follows them while they change.
// Both are read while holding the lock of the log's writers, so that a log being moved to
// the backup file is never seen twice. Of a file larger than maxBytes only the newest
// part is read, whole lines from where it begins.
class TLogReader {
  public:
    static constexpr int64_t kDefaultMaxBytes = int64_t{16} << 20;
    // How many refreshes in a row wait for the writers' lock before the files are read
    // without it.
    static constexpr int kMaxBusyRefreshes = 3;

    TLogReader(std::string logName, std::string backupName, int64_t maxBytes = kDefaultMaxBytes);

    // Reads the files again when either changed since the last read.
    TLogChange Refresh();

    // Every entry, oldest first: those of the backup file, then those of the log.
    const std::vector<TLogEntry>& Entries() const { return AllEntries; }
    // After lgAppended: how many entries at the end of Entries are new.
    size_t Appended() const { return AppendedCount; }
    // What the reader has to say about the files: one that cannot be read, one that was
    // too large to read whole, lines that are no entries, no log at all. Empty when the
    // entries are the whole of both files.
    const std::vector<std::string>& Messages() const { return Notes; }

    const std::string& LogName() const { return Log.Name; }
    const std::string& BackupName() const { return Backup.Name; }

  private:
    // What was read of one of the two files.
    struct TFileRead {
        std::string Name;
        bool Exists = false;
        TFileStamp Stamp;
        std::string Text;     // the file's text from Skipped on
        int64_t Skipped = 0;  // bytes at its beginning left out for its size
        std::string Problem;  // why it could not be read
    };

    TFileRead ReadFile(const std::string& name) const;
    void ReadNewestPart(TFileRead& read) const;
    bool ChangedOnDisk() const;
    static bool SameContent(const TFileRead& a, const TFileRead& b);
    static bool ContinuesLog(const TFileRead& log, const TFileRead& last);
    void Replace(TFileRead log, TFileRead backup);
    void Append(TFileRead log);
    void AddEntries(const std::string& text, size_t from, bool fromBackup);
    void DescribeFiles();

    int64_t MaxBytes;
    TFileRead Log, Backup;
    bool ReadOnce = false;
    int BusyRefreshes = 0;
    std::vector<TLogEntry> AllEntries;
    size_t AppendedCount = 0;
    size_t DamagedCount = 0;
    std::vector<std::string> Notes;
};
