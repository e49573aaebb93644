#include "logreader.h"

#include <gtest/gtest.h>

#include "logfile.h"
#include "logfolder.h"
#include "platform/filelock.h"
#include "specialfiles.h"

namespace fs = std::filesystem;

namespace {

class LogReader : public TLogFolderTest {
  protected:
    TLogReader MakeReader(int64_t maxBytes = TLogReader::kDefaultMaxBytes) {
        return TLogReader(LogFileName(), LogBackupFileName(), maxBytes);
    }
    static std::vector<std::string> TextsOf(const TLogReader& reader) {
        std::vector<std::string> texts;
        for (const TLogEntry& entry : reader.Entries())
            texts.push_back(entry.Text);
        return texts;
    }
    static std::string AllMessages(const TLogReader& reader) {
        std::string all;
        for (const std::string& message : reader.Messages())
            all += message + "\n";
        return all;
    }
    void WriteSaved(TLogFile& log, int count, int from = 0) {
        for (int i = from; i < from + count; ++i)
            log.WriteEntry(lcSaveFile, "C:\\f" + std::to_string(i), 0, false);
    }
};

using Texts = std::vector<std::string>;

TEST_F(LogReader, ReadsTheBackupFileBeforeTheLog) {
    WriteTextFile(BackupPath(),
                  Joined({Line("Saving file: C:\\old1"), Line("Saving file: C:\\old2")}));
    WriteTextFile(LogPath(),
                  Joined({Line("Saving file: C:\\new1"), "", Line("Vaultaire enabled.")}));
    TLogReader reader = MakeReader();
    EXPECT_EQ(reader.Refresh(), lgReplaced);
    EXPECT_EQ(TextsOf(reader), (Texts{"Saving file: C:\\old1", "Saving file: C:\\old2",
                                      "Saving file: C:\\new1", "Vaultaire enabled."}));
    std::vector<bool> fromBackup;
    for (const TLogEntry& entry : reader.Entries())
        fromBackup.push_back(entry.FromBackup);
    EXPECT_EQ(fromBackup, (std::vector<bool>{true, true, false, false}));
    EXPECT_TRUE(reader.Messages().empty()) << AllMessages(reader);
    EXPECT_EQ(reader.Refresh(), lgUnchanged);
}

TEST_F(LogReader, SaysSoWhenNothingWasLogged) {
    TLogReader reader = MakeReader();
    EXPECT_EQ(reader.Refresh(), lgReplaced);
    EXPECT_TRUE(reader.Entries().empty());
    EXPECT_NE(AllMessages(reader).find("Nothing has been logged yet"), std::string::npos);
    EXPECT_NE(AllMessages(reader).find(LogFileName()), std::string::npos);

    // A log moved to the backup file, its successor not yet begun, is no missing log.
    WriteTextFile(BackupPath(), Joined({Line("Vaultaire enabled.")}));
    EXPECT_EQ(reader.Refresh(), lgReplaced);
    EXPECT_EQ(TextsOf(reader), (Texts{"Vaultaire enabled."}));
    EXPECT_TRUE(reader.Messages().empty()) << AllMessages(reader);
}

TEST_F(LogReader, AddsWhatTheLogGainedAndReadsAMovedLogAnew) {
    TLogReader reader = MakeReader();
    {
        TLogFile log(5, ltBoth, true);
        WriteSaved(log, 2);
        log.Flush();
        EXPECT_EQ(reader.Refresh(), lgReplaced);
        EXPECT_EQ(reader.Entries().size(), 2u);

        WriteSaved(log, 2, 2);
        log.Flush();
        EXPECT_EQ(reader.Refresh(), lgAppended);
        EXPECT_EQ(reader.Appended(), 2u);
        EXPECT_EQ(TextsOf(reader), (Texts{"Saving file: C:\\f0", "Saving file: C:\\f1",
                                          "Saving file: C:\\f2", "Saving file: C:\\f3"}));
        EXPECT_EQ(reader.Refresh(), lgUnchanged);

        // The fifth entry fills the log: all of it moves to the backup file.
        WriteSaved(log, 1, 4);
        ASSERT_TRUE(fs::exists(BackupPath()));
        ASSERT_FALSE(fs::exists(LogPath()));
        EXPECT_EQ(reader.Refresh(), lgReplaced);
        EXPECT_EQ(reader.Entries().size(), 5u);

        // The new log begins after it.
        WriteSaved(log, 1, 5);
        log.Flush();
        EXPECT_EQ(reader.Refresh(), lgAppended);
        EXPECT_EQ(reader.Appended(), 1u);
    }
    EXPECT_EQ(TextsOf(reader),
              (Texts{"Saving file: C:\\f0", "Saving file: C:\\f1", "Saving file: C:\\f2",
                     "Saving file: C:\\f3", "Saving file: C:\\f4", "Saving file: C:\\f5"}));
    EXPECT_TRUE(reader.Messages().empty()) << AllMessages(reader);
}

TEST_F(LogReader, ReadsARewrittenLogAnew) {
    struct TRewrite {
        const char* What;
        std::string Before, After;
        Texts Expected;
    };
    const TRewrite rewrites[] = {
        {"lines removed",
         Joined({Line("Saving file: C:\\a"), Line("Saving file: C:\\b")}),
         Joined({Line("Saving file: C:\\b")}),
         {"Saving file: C:\\b"}},
        {"the last line completed",
         Joined({Line("Saving file: C:\\a")}) + Line("Saving fi"),
         Joined({Line("Saving file: C:\\a"), Line("Saving file: C:\\b")}),
         {"Saving file: C:\\a", "Saving file: C:\\b"}},
        {"log deleted", Joined({Line("Saving file: C:\\a")}), "", {}},
    };
    for (const TRewrite& rewrite : rewrites) {
        WriteTextFile(LogPath(), rewrite.Before);
        TLogReader reader = MakeReader();
        reader.Refresh();
        if (rewrite.After.empty())
            fs::remove(LogPath());
        else
            WriteTextFile(LogPath(), rewrite.After);
        EXPECT_EQ(reader.Refresh(), lgReplaced) << rewrite.What;
        EXPECT_EQ(TextsOf(reader), rewrite.Expected) << rewrite.What;
    }
}

TEST_F(LogReader, WaitsWhileAWriterRewritesTheLog) {
    WriteTextFile(LogPath(), Joined({Line("Vaultaire enabled.")}));
    TLogReader reader = MakeReader();
    EXPECT_EQ(reader.Refresh(), lgReplaced);
    {
        TFileLock writer(LogLockName());
        ASSERT_TRUE(writer.Locked());
        // Half of a move to the backup file: the backup file written, the log not yet gone.
        WriteTextFile(BackupPath(),
                      Joined({Line("Vaultaire enabled."), Line("Vaultaire disabled.")}));
        EXPECT_EQ(reader.Refresh(), lgUnchanged);
        fs::remove(LogPath());
    }
    EXPECT_EQ(reader.Refresh(), lgReplaced);
    EXPECT_EQ(TextsOf(reader), (Texts{"Vaultaire enabled.", "Vaultaire disabled."}));
}

TEST_F(LogReader, ReadsWithoutTheLockWhenItCannotBeHad) {
    WriteTextFile(LogPath(), Joined({Line("Vaultaire enabled.")}));
    TLogReader reader = MakeReader();
    {
        // A writer that keeps the lock: the reader waits a few refreshes, then reads.
        TFileLock writer(LogLockName());
        ASSERT_TRUE(writer.Locked());
        for (int i = 0; i < TLogReader::kMaxBusyRefreshes; ++i)
            EXPECT_EQ(reader.Refresh(), lgUnchanged) << i;
        EXPECT_EQ(reader.Refresh(), lgReplaced);
        EXPECT_EQ(TextsOf(reader), (Texts{"Vaultaire enabled."}));
    }
    // A data folder where no lock file can be made.
    fs::remove_all(Dir.Path() / "locks");
    WriteTextFile(Dir.Path() / "locks", "not a folder");
    WriteTextFile(LogPath(), Joined({Line("Vaultaire enabled."), Line("Vaultaire disabled.")}));
    EXPECT_EQ(reader.Refresh(), lgAppended);
    EXPECT_EQ(TextsOf(reader), (Texts{"Vaultaire enabled.", "Vaultaire disabled."}));
}

TEST_F(LogReader, ShowsWhatItCanOfFilesItCannotRead) {
    for (const TSpecialFile& special : SpecialFiles()) {
        if (special.Kind == TSpecialKind::Oversized)
            continue;  // a large log is read in part (below)
        WriteTextFile(BackupPath(), Joined({Line("Vaultaire enabled.")}));
        if (!MakeSpecialFile(LogPath(), special.Kind, 0))
            continue;  // the superuser reads every file
        TLogReader reader = MakeReader();
        bool ended = EndsWithoutAWriter([&] { reader.Refresh(); }, LogPath());
        EXPECT_TRUE(ended) << special.Name;
        EXPECT_EQ(TextsOf(reader), (Texts{"Vaultaire enabled."})) << special.Name;
        std::string messages = AllMessages(reader);
        EXPECT_NE(messages.find(LogFileName()), std::string::npos) << special.Name << messages;
        EXPECT_NE(messages.find(special.ReasonPart), std::string::npos)
            << special.Name << ": " << messages;
        // Still unreadable: nothing to show anew.
        EXPECT_EQ(reader.Refresh(), lgUnchanged) << special.Name;

        RemoveSpecialFile(LogPath());
        WriteTextFile(LogPath(), Joined({Line("Vaultaire disabled.")}));
        EXPECT_EQ(reader.Refresh(), lgReplaced) << special.Name;
        EXPECT_EQ(TextsOf(reader), (Texts{"Vaultaire enabled.", "Vaultaire disabled."}))
            << special.Name;
        EXPECT_TRUE(reader.Messages().empty()) << special.Name << ": " << AllMessages(reader);
        fs::remove(LogPath());
    }
}

TEST_F(LogReader, ReadsTheNewestPartOfAVeryLargeLog) {
    std::vector<std::string> lines;
    for (int i = 0; i < 100; ++i)
        lines.push_back(Line("Saving file: C:\\file" + std::to_string(1000 + i)));
    WriteTextFile(LogPath(), Joined(lines));
    const int64_t maxBytes = 1000;
    TLogReader reader = MakeReader(maxBytes);
    reader.Refresh();
    const std::vector<TLogEntry>& entries = reader.Entries();
    ASSERT_FALSE(entries.empty());
    ASSERT_LT(entries.size(), lines.size());
    // Whole entries only, up to the newest.
    for (const TLogEntry& entry : entries)
        EXPECT_FALSE(entry.Damaged) << entry.Text;
    EXPECT_EQ(entries.back().Text, "Saving file: C:\\file1099");
    size_t first = lines.size() - entries.size();
    EXPECT_EQ(entries.front().Text, "Saving file: C:\\file" + std::to_string(1000 + first));
    EXPECT_NE(AllMessages(reader).find("only its newest"), std::string::npos)
        << AllMessages(reader);
}

TEST_F(LogReader, CountsLinesThatAreNoEntries) {
    std::string garbage("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
    WriteTextFile(LogPath(), Joined({Line("Vaultaire enabled."), "not an entry"}) + garbage);
    TLogReader reader = MakeReader();
    reader.Refresh();
    // The picture's bytes hold three line ends of their own (one after a carriage return).
    ASSERT_EQ(reader.Entries().size(), 5u);
    EXPECT_FALSE(reader.Entries()[0].Damaged);
    for (size_t i = 1; i < 5; ++i)
        EXPECT_TRUE(reader.Entries()[i].Damaged) << reader.Entries()[i].Text;
    EXPECT_EQ(reader.Entries()[4].Text, "????IHDR");
    EXPECT_NE(AllMessages(reader).find("4 lines are not entries"), std::string::npos)
        << AllMessages(reader);
}

}  // namespace
