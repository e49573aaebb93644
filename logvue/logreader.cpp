#include "logreader.h"

#include <algorithm>
#include <utility>

#include "exceptions.h"
#include "logfile.h"
#include "platform/filelock.h"
#include "platform/filestream.h"
#include "platform/syserror.h"

namespace {

constexpr int64_t kReadChunk = int64_t{1} << 20;

bool IsMissing(int error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// A size in words: "300 KB", "80 MB".
std::string SizeText(int64_t bytes) {
    constexpr int64_t kKilobyte = 1024, kMegabyte = kKilobyte * 1024;
    if (bytes < kMegabyte)
        return std::to_string((bytes + kKilobyte - 1) / kKilobyte) + " KB";
    return std::to_string((bytes + kMegabyte / 2) / kMegabyte) + " MB";
}

std::string Quoted(const std::string& name) {
    return "\"" + name + "\"";
}

std::string CannotRead(const std::string& name, const std::string& reason) {
    return "Cannot read the file " + Quoted(name) + ": " + reason;
}

}  // namespace

TLogReader::TLogReader(std::string logName, std::string backupName, int64_t maxBytes)
    : MaxBytes(maxBytes) {
    Log.Name = std::move(logName);
    Backup.Name = std::move(backupName);
}

TLogChange TLogReader::Refresh() {
    AppendedCount = 0;
    if (ReadOnce && !ChangedOnDisk())
        return lgUnchanged;
    TFileRead backup, log;
    {
        // Without the lock (a data folder that cannot hold the lock file) the files are
        // still read: a move to the backup file caught midway shows twice only until the
        // next refresh.
        TFileLock lock(LogLockName(), TFileLock::lwTry);
        if (!lock.Locked() && GetLastError() == ERROR_SHARING_VIOLATION) {
            // A writer is at work, for a moment: the next refresh looks again. A writer
            // that holds the lock for longer (stuck on a slow disk) keeps the files from
            // being shown no longer.
            if (++BusyRefreshes <= kMaxBusyRefreshes)
                return lgUnchanged;
        }
        BusyRefreshes = 0;
        backup = ReadFile(Backup.Name);
        log = ReadFile(Log.Name);
    }
    if (ReadOnce && SameContent(backup, Backup) && SameContent(log, Log)) {
        Backup.Stamp = backup.Stamp;
        Log.Stamp = log.Stamp;
        return lgUnchanged;
    }
    if (ReadOnce && SameContent(backup, Backup) && ContinuesLog(log, Log)) {
        Backup.Stamp = backup.Stamp;
        Append(std::move(log));
        return lgAppended;
    }
    Replace(std::move(log), std::move(backup));
    return lgReplaced;
}

TLogReader::TFileRead TLogReader::ReadFile(const std::string& name) const {
    TFileRead read;
    read.Name = name;
    // Taken before the read: a change meanwhile shows as one at the next refresh.
    GetFileStamp(name, read.Stamp);
    if (ReadFileText(name, read.Text, MaxBytes)) {
        read.Exists = true;
        return read;
    }
    int error = GetLastError();
    if (IsMissing(error))
        return read;
    read.Exists = true;
    if (error == ERROR_FILE_TOO_LARGE)
        ReadNewestPart(read);
    else
        read.Problem = CannotRead(name, SysErrorMessage(error));
    return read;
}

// Reads the last MaxBytes of the file, from the first line that begins in them.
void TLogReader::ReadNewestPart(TFileRead& read) const {
    read.Text.clear();
    try {
        TFileStream stream(read.Name, fmOpenRead);
        read.Stamp = stream.GetOpenedStamp();
        int64_t start = std::max<int64_t>(0, read.Stamp.Size - MaxBytes);
        stream.Seek(start, TSeekOrigin::soBeginning);
        // A file that grows while it is read is held to the limit as well.
        while (static_cast<int64_t>(read.Text.size()) < MaxBytes) {
            size_t had = read.Text.size();
            int64_t want = std::min<int64_t>(kReadChunk, MaxBytes - static_cast<int64_t>(had));
            read.Text.resize(had + static_cast<size_t>(want));
            int64_t got = stream.Read(read.Text.data() + had, want);
            read.Text.resize(had + static_cast<size_t>(got));
            if (got < want)
                break;
        }
        size_t newline = read.Text.find('\n');
        size_t partial = newline == std::string::npos ? read.Text.size() : newline + 1;
        if (start > 0) {
            read.Text.erase(0, partial);
            read.Skipped = start + static_cast<int64_t>(partial);
        }
    } catch (const EFOpenError& e) {
        read.Text.clear();
        read.Problem = e.what();
    } catch (const EStreamError& e) {
        read.Text.clear();
        read.Skipped = 0;
        read.Problem = CannotRead(read.Name, e.what());
    }
}

bool TLogReader::ChangedOnDisk() const {
    for (const TFileRead* file : {&Log, &Backup}) {
        // A file that could not be read may become readable without being written.
        if (!file->Problem.empty())
            return true;
        TFileStamp stamp;
        bool exists = GetFileStamp(file->Name, stamp);
        if (exists != file->Exists || (exists && stamp != file->Stamp))
            return true;
    }
    return false;
}

bool TLogReader::SameContent(const TFileRead& a, const TFileRead& b) {
    return a.Exists == b.Exists && a.Text == b.Text && a.Skipped == b.Skipped &&
           a.Problem == b.Problem;
}

// Whether log is last's text with lines added to its end: the log was not moved to the
// backup file, rewritten or cut anew meanwhile.
bool TLogReader::ContinuesLog(const TFileRead& log, const TFileRead& last) {
    bool lastEndsWithLine = last.Text.empty() || last.Text.back() == '\n';
    return log.Problem.empty() && last.Problem.empty() && log.Skipped == last.Skipped &&
           lastEndsWithLine && log.Text.size() >= last.Text.size() &&
           log.Text.compare(0, last.Text.size(), last.Text) == 0;
}

void TLogReader::Replace(TFileRead log, TFileRead backup) {
    AllEntries.clear();
    DamagedCount = 0;
    AddEntries(backup.Text, 0, true);
    AddEntries(log.Text, 0, false);
    Log = std::move(log);
    Backup = std::move(backup);
    ReadOnce = true;
    DescribeFiles();
}

void TLogReader::Append(TFileRead log) {
    size_t before = AllEntries.size();
    AddEntries(log.Text, Log.Text.size(), false);
    AppendedCount = AllEntries.size() - before;
    Log = std::move(log);
    DescribeFiles();
}

void TLogReader::AddEntries(const std::string& text, size_t from, bool fromBackup) {
    size_t start = from;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string_view line(text.data() + start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        start = end + 1;
        if (line.empty())
            continue;
        TLogEntry entry = ParseLogLine(line);
        entry.FromBackup = fromBackup;
        if (entry.Damaged)
            ++DamagedCount;
        AllEntries.push_back(std::move(entry));
    }
}

void TLogReader::DescribeFiles() {
    Notes.clear();
    for (const TFileRead* file : {&Log, &Backup}) {
        if (!file->Problem.empty())
            Notes.push_back(file->Problem);
        if (file->Skipped > 0) {
            Notes.push_back("The file " + Quoted(file->Name) + " holds " +
                            SizeText(file->Skipped + static_cast<int64_t>(file->Text.size())) +
                            "; only its newest " +
                            SizeText(static_cast<int64_t>(file->Text.size())) + " are shown.");
        }
    }
    if (DamagedCount == 1) {
        Notes.push_back("1 line is not an entry of the log; it is shown without a time.");
    } else if (DamagedCount > 1) {
        Notes.push_back(std::to_string(DamagedCount) +
                        " lines are not entries of the log; they are shown without a time.");
    }
    if (!Log.Exists && !Backup.Exists)
        Notes.push_back("Nothing has been logged yet: there is no log file " + Quoted(Log.Name) +
                        ".");
}
