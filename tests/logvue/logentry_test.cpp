#include "logentry.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "errorcodes.h"
#include "logfile.h"
#include "logfolder.h"
#include "platform/syserror.h"

namespace {

struct TLineCase {
    std::string Line;
    TLogEntryKind Kind;
    std::string Time;  // empty: a damaged line
    std::string Text;
};

const std::string kTime = "05/12/2026 11:20:58 pm";

TEST(LogEntry, TakesLinesApart) {
    const TLineCase cases[] = {
        {kTime + ". Saving file: C:\\Work\\Plan.doc", lkSaved, kTime,
         "Saving file: C:\\Work\\Plan.doc"},
        {kTime + ". Restoring file: C:\\Work\\Plan.doc", lkRestored, kTime,
         "Restoring file: C:\\Work\\Plan.doc"},
        {kTime + ". Error saving file: C:\\a.txt. Access is denied", lkError, kTime,
         "Error saving file: C:\\a.txt. Access is denied"},
        {kTime + ". Error restoring file: C:\\a.txt", lkError, kTime,
         "Error restoring file: C:\\a.txt"},
        {kTime + ". Error reading folder: C:\\Private. Access is denied", lkError, kTime,
         "Error reading folder: C:\\Private. Access is denied"},
        {kTime + ". Operation cancelled.", lkError, kTime, "Operation cancelled."},
        {kTime + ". . The system cannot find the path specified", lkError, kTime,
         ". The system cannot find the path specified"},
        // An error without a text of its own leaves the time stamp alone, also when an
        // editor took the blank after it away.
        {kTime + ". ", lkError, kTime, ""},
        {kTime + ".", lkError, kTime, ""},
        {kTime + ". Starting Vaultaire 2000", lkStartStop, kTime, "Starting Vaultaire 2000"},
        {kTime + ". Vaultaire disabled.", lkStartStop, kTime, "Vaultaire disabled."},
        {kTime + ". Starting Vaultaire 2000 again", lkOther, kTime,
         "Starting Vaultaire 2000 again"},
        {kTime + ". Changes came faster than the system could report them.", lkOther, kTime,
         "Changes came faster than the system could report them."},
        // The system's own date and time separators.
        {"05.12.2026 11.20.58 am. Saving file: C:\\x", lkSaved, "05.12.2026 11.20.58 am",
         "Saving file: C:\\x"},
        {"01/01/1999 12:00:00 am. Vaultaire enabled.", lkStartStop, "01/01/1999 12:00:00 am",
         "Vaultaire enabled."},
        // Lines that are no entries are kept whole.
        {"Saving file: C:\\x", lkOther, "", "Saving file: C:\\x"},
        {"32/12/2026 11:20:58 pm. Saving file: C:\\x", lkOther, "",
         "32/12/2026 11:20:58 pm. Saving file: C:\\x"},
        {"05/13/2026 11:20:58 pm. x", lkOther, "", "05/13/2026 11:20:58 pm. x"},
        {"05/12/2026 13:20:58 pm. x", lkOther, "", "05/12/2026 13:20:58 pm. x"},
        {"05/12/2026 00:20:58 pm. x", lkOther, "", "05/12/2026 00:20:58 pm. x"},
        {"05/12/2026 11:60:58 pm. x", lkOther, "", "05/12/2026 11:60:58 pm. x"},
        {"05/12/2026 11:20:58 PM. x", lkOther, "", "05/12/2026 11:20:58 PM. x"},
        {"05/12/2026 11:20:58 pm- x", lkOther, "", "05/12/2026 11:20:58 pm- x"},
        {"05/12/2026 11:20:58 pm.x", lkOther, "", "05/12/2026 11:20:58 pm.x"},
        {"05/12/2026 11:2", lkOther, "", "05/12/2026 11:2"},
        {"5/12/2026 11:20:58 pm. x", lkOther, "", "5/12/2026 11:20:58 pm. x"},
        {"05 12 2026 11:20:58 pm. x", lkOther, "", "05 12 2026 11:20:58 pm. x"},
        // Control characters (a damaged file, a name written by hand) show as "?".
        {kTime + ". Saving file: C:\\a\x1b[2Jb\tc", lkSaved, kTime, "Saving file: C:\\a?[2Jb?c"},
        {std::string("\0\x01\x02zip", 6), lkOther, "", "???zip"},
        // So do those that turn the writing direction, with which a name could pose as
        // another, and the C1 controls; other characters stay as they are.
        {kTime + ". Saving file: C:\\\xE2\x80\xAE"
                 "cod.exe",
         lkSaved, kTime, "Saving file: C:\\?cod.exe"},
        {kTime + ". Saving file: C:\\a\xE2\x81\xA6"
                 "b\xC2\x9B"
                 "1m",
         lkSaved, kTime, "Saving file: C:\\a?b?1m"},
        {kTime + ". Saving file: C:\\Caf\xC3\xA9 \xE2\x80\x94 \xD7\xA9\xD7\x9C", lkSaved, kTime,
         "Saving file: C:\\Caf\xC3\xA9 \xE2\x80\x94 \xD7\xA9\xD7\x9C"},
    };
    for (const TLineCase& c : cases) {
        TLogEntry entry = ParseLogLine(c.Line);
        EXPECT_EQ(entry.Kind, c.Kind) << c.Line;
        EXPECT_EQ(entry.Time, c.Time) << c.Line;
        EXPECT_EQ(entry.Text, c.Text) << c.Line;
        EXPECT_EQ(entry.Damaged, c.Time.empty()) << c.Line;
        EXPECT_FALSE(entry.Shortened) << c.Line;
    }
}

TEST(LogEntry, KeepsTheBeginningOfAVeryLongLineWholeCharacters) {
    // "é" takes two bytes: the cut must not split one.
    std::string name;
    while (name.size() < kMaxEntryText * 2)
        name += "\xC3\xA9";
    TLogEntry entry = ParseLogLine(kTime + ". Saving file: C:\\x" + name);
    EXPECT_EQ(entry.Kind, lkSaved);
    EXPECT_TRUE(entry.Shortened);
    EXPECT_LE(entry.Text.size(), kMaxEntryText);
    EXPECT_GE(entry.Text.size(), kMaxEntryText - 1);
    EXPECT_EQ(entry.Text.substr(entry.Text.size() - 2), "\xC3\xA9");

    TLogEntry damaged = ParseLogLine(std::string(kMaxEntryText * 3, 'x'));
    EXPECT_TRUE(damaged.Damaged);
    EXPECT_TRUE(damaged.Shortened);
    EXPECT_EQ(damaged.Text.size(), kMaxEntryText);
}

// The kinds of what the program's own log writes, entry by entry.
class LogEntryOfWriter : public TLogFolderTest {};

TEST_F(LogEntryOfWriter, TellsEveryKindTheLogWrites) {
    struct TWritten {
        std::function<void(TLogFile&)> Write;
        TLogEntryKind Kind;
        const char* What;
    };
    const std::string file = "C:\\Work\\Plan.doc";
    const TWritten written[] = {
        {[](TLogFile& log) { log.WriteEntry(lcStart, 0, false); }, lkStartStop, "start"},
        {[](TLogFile& log) { log.WriteEntry(lcClose, 0, false); }, lkStartStop, "close"},
        {[](TLogFile& log) { log.WriteEntry(lcEnabled, 0, false); }, lkStartStop, "enabled"},
        {[](TLogFile& log) { log.WriteEntry(lcDisabled, 0, false); }, lkStartStop, "disabled"},
        {[](TLogFile& log) { log.WriteEntry(lcRestoreStart, 0, false); }, lkStartStop,
         "restore start"},
        {[](TLogFile& log) { log.WriteEntry(lcRestoreEnd, 0, false); }, lkStartStop, "restore end"},
        {[](TLogFile& log) { log.WriteEntry(lcBackupStart, 0, false); }, lkStartStop,
         "backup start"},
        {[](TLogFile& log) { log.WriteEntry(lcBackupEnd, 0, false); }, lkStartStop, "backup end"},
        {[&](TLogFile& log) { log.WriteEntry(lcSaveFile, file, 0, false); }, lkSaved, "saved"},
        {[&](TLogFile& log) { log.WriteEntry(lcRestoreFile, file, 0, false); }, lkRestored,
         "restored"},
        {[&](TLogFile& log) { log.WriteEntry(lcSaveFile, file, ERROR_ACCESS_DENIED, false); },
         lkError, "save failed"},
        {[&](TLogFile& log) { log.WriteEntry(lcSaveFile, file, ERR_FILETOOLARGE, false); }, lkError,
         "file too large"},
        {[&](TLogFile& log) { log.WriteEntry(lcSaveFile, file, ERR_FILECHANGED, false); }, lkError,
         "file changed"},
        {[&](TLogFile& log) { log.WriteEntry(lcRestoreFile, file, ERROR_DISK_FULL, false); },
         lkError, "restore failed"},
        {[&](TLogFile& log) { log.WriteEntry(lcReadFolder, "C:\\Private", 5, false); }, lkError,
         "folder unreadable"},
        {[](TLogFile& log) { log.WriteEntry(lcError, ERROR_PATH_NOT_FOUND, false); }, lkError,
         "system error"},
        {[](TLogFile& log) { log.WriteEntry(lcError, ERR_UNEXPECTED, false); }, lkError,
         "unexpected"},
        {[](TLogFile& log) { log.WriteEntry(lcError, ERR_TARGETFULL, false); }, lkError,
         "target full"},
        {[](TLogFile& log) { log.WriteEntry(lcError, ERR_TARGETNOTFOUND, false); }, lkError,
         "target not found"},
        {[](TLogFile& log) { log.WriteEntry(lcError, ERR_CANCELLED, false); }, lkError,
         "cancelled"},
        {[](TLogFile& log) { log.WriteEntry(lcError, ERR_TARGETBUSY, false); }, lkError,
         "target busy"},
        {[](TLogFile& log) {
             log.WriteNotice("The change monitor cannot watch every folder.", false);
         },
         lkOther, "notice"},
    };
    {
        TLogFile log(1000, ltBoth, true);
        for (const TWritten& w : written)
            w.Write(log);
        log.Flush();
    }
    std::istringstream text(ReadTextFile(LogPath()));
    std::vector<std::string> lines;
    for (std::string line; std::getline(text, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), std::size(written));
    for (size_t i = 0; i < lines.size(); ++i) {
        TLogEntry entry = ParseLogLine(lines[i]);
        EXPECT_FALSE(entry.Damaged) << written[i].What << ": " << lines[i];
        EXPECT_EQ(entry.Kind, written[i].Kind) << written[i].What << ": " << lines[i];
        EXPECT_EQ(lines[i].substr(0, entry.Time.size()), entry.Time) << written[i].What;
    }
}

}  // namespace
