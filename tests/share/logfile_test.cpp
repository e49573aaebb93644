#include "logfile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <functional>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "errorcodes.h"
#include "exceptions.h"
#include "testenv.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kStampLength = 24;

// Every test gets a data folder of its own, so that each starts without a log.
class LogFile : public testing::Test {
  protected:
    void SetUp() override {
        const char* home = std::getenv("VAULTAIRE_HOME");
        SavedHome = home ? home : "";
        setenv("VAULTAIRE_HOME", Dir.Path().c_str(), 1);
    }
    void TearDown() override { setenv("VAULTAIRE_HOME", SavedHome.c_str(), 1); }

    fs::path LogPath() const { return Dir.Path() / "Vaultaire 2000.log"; }
    fs::path BackupPath() const { return Dir.Path() / "Vaultaire 2000.log.BAK"; }

    static std::vector<std::string> LinesOf(const fs::path& path) {
        std::vector<std::string> lines;
        if (!fs::exists(path))
            return lines;
        std::istringstream text(ReadTextFile(path));
        for (std::string line; std::getline(text, line);)
            lines.push_back(line);
        return lines;
    }
    // The lines of a file without their time stamps.
    static std::vector<std::string> TextsOf(const fs::path& path) {
        std::vector<std::string> texts;
        for (const std::string& line : LinesOf(path))
            texts.push_back(line.size() >= kStampLength ? line.substr(kStampLength) : "?" + line);
        return texts;
    }

    TTempDir Dir;
    std::string SavedHome;
};

using Texts = std::vector<std::string>;

// Runs action while files may not grow beyond limit bytes, as on a full disk; returns the
// message of the exception it raised, or an empty text.
std::string WithFileSizeLimit(rlim_t limit, const std::function<void()>& action) {
    rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit tight = saved;
    tight.rlim_cur = limit;
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &tight);
    std::string message;
    try {
        action();
    } catch (const EOSError& e) {
        message = e.Message.empty() ? "EOSError" : e.Message;
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    return message;
}

}  // namespace

TEST_F(LogFile, LivesInTheDataFolderAndEveryLineBeginsWithItsTimeStamp) {
    TLogFile log(500, ltBoth, true);
    EXPECT_EQ(fs::path(log.FileName), LogPath());
    EXPECT_EQ(fs::path(log.BackupFileName()), BackupPath());

    log.WriteEntry(lcStart, 0, false);
    log.WriteEntry(lcSaveFile, "C:\\Work\\Plan.doc", 0, true);

    // dd/mm/yyyy hh:mm:ss am. with a 12-hour clock
    const std::regex stamp(
        R"(\d\d/(0[1-9]|1[0-2])/\d{4} (0[1-9]|1[0-2]):[0-5]\d:[0-5]\d (am|pm)\. )");
    std::vector<std::string> lines = LinesOf(LogPath());
    ASSERT_EQ(lines.size(), 2u);
    for (const std::string& line : lines) {
        EXPECT_TRUE(std::regex_match(line.substr(0, kStampLength), stamp)) << line;
    }
    EXPECT_EQ(lines[0].substr(kStampLength), "Starting Vaultaire 2000");
    EXPECT_EQ(lines[1].substr(kStampLength), "Saving file: C:\\Work\\Plan.doc");
    EXPECT_EQ(ReadTextFile(LogPath()).back(), '\n');
}

TEST_F(LogFile, AFullLogMovesToTheBackupFile) {
    TLogFile log(3, ltBoth, true);
    log.WriteEntry(lcEnabled, 0, false);
    log.WriteEntry(lcBackupStart, 0, false);
    EXPECT_EQ(log.Pending.size(), 2u) << "entries wait for the next flush";
    EXPECT_FALSE(fs::exists(LogPath()));

    log.WriteEntry(lcBackupEnd, 0, false);
    EXPECT_EQ(TextsOf(BackupPath()), (Texts{"Vaultaire enabled.", "Backup operation started.",
                                            "Backup operation ended."}));
    EXPECT_FALSE(fs::exists(LogPath()));
    EXPECT_TRUE(log.Pending.empty());
    EXPECT_EQ(log.FileCount, 0);

    log.Flush();
    EXPECT_FALSE(fs::exists(LogPath())) << "nothing was pending";

    log.WriteEntry(lcDisabled, 0, true);
    EXPECT_EQ(TextsOf(LogPath()), (Texts{"Vaultaire disabled."})) << "a new log begins";
    EXPECT_EQ(TextsOf(BackupPath()).size(), 3u);
}

TEST_F(LogFile, ALogThatShrankMeanwhileKeepsItsEntries) {
    WriteTextFile(LogPath(), "one\ntwo\n");
    TLogFile log(4, ltBoth, true);
    EXPECT_EQ(log.FileCount, 2);
    log.WriteEntry(lcStart, 0, false);
    fs::remove(LogPath());  // the log viewer deleted it
    log.WriteEntry(lcClose, 0, false);
    EXPECT_EQ(TextsOf(LogPath()), (Texts{"Starting Vaultaire 2000", "Vaultaire 2000 closing"}));
    EXPECT_FALSE(fs::exists(BackupPath()));
    EXPECT_EQ(log.FileCount, 2);
}

TEST_F(LogFile, TheLogTypeChoosesWhichEntriesAreRecorded) {
    struct Case {
        TLogType Type;
        TLogCode Code;
        const char* FileName;  // null: the entry without a file
        int Error;
        const char* Text;  // null: no entry
    };
    const Case cases[] = {
        {ltErrors, lcSaveFile, "C:\\x.txt", 0, nullptr},
        {ltErrors, lcStart, nullptr, 0, "Starting Vaultaire 2000"},
        {ltErrors, lcBackupEnd, nullptr, ERR_CANCELLED, "Backup operation ended."},
        {ltErrors, lcSaveFile, "C:\\x.txt", 5, "Error saving file: C:\\x.txt. Access is denied"},
        {ltErrors, lcError, nullptr, ERR_TARGETFULL, "Target drive full. Shutting down"},
        {ltSuccess, lcError, nullptr, ERR_CANCELLED, nullptr},
        {ltSuccess, lcRestoreFile, "C:\\x.txt", 2, nullptr},
        {ltSuccess, lcRestoreFile, "C:\\x.txt", 0, "Restoring file: C:\\x.txt"},
        {ltSuccess, lcRestoreStart, nullptr, 0, "Restore operation started."},
        {ltBoth, lcSaveFile, "C:\\x.txt", 0, "Saving file: C:\\x.txt"},
        {ltBoth, lcRestoreFile, "C:\\x.txt", 3,
         "Error restoring file: C:\\x.txt. The system cannot find the path specified"},
        {ltBoth, lcError, nullptr, ERR_UNEXPECTED, "An error has occurred. Shutting down."},
        {ltBoth, lcRestoreEnd, "C:\\x.txt", 0, "Restore operation ended."},
        {ltBoth, lcSaveFile, nullptr, 0, ""},
    };
    for (const Case& c : cases) {
        fs::remove(LogPath());
        TLogFile log(500, c.Type, true);
        if (c.FileName)
            log.WriteEntry(c.Code, c.FileName, c.Error, true);
        else
            log.WriteEntry(c.Code, c.Error, true);
        Texts expected = c.Text ? Texts{c.Text} : Texts{};
        EXPECT_EQ(TextsOf(LogPath()), expected)
            << "type " << int(c.Type) << ", code " << int(c.Code) << ", error " << c.Error;
    }
}

TEST_F(LogFile, ErrorTexts) {
    struct Case {
        int Error;
        const char* Appended;
    };
    const Case cases[] = {
        {5, ". Access is denied"},
        {112, ". There is not enough space on the disk"},
        {ERR_UNEXPECTED, "An error has occurred. Shutting down."},
        {ERR_TARGETFULL, "Target drive full. Shutting down"},
        {ERR_TARGETNOTFOUND, ""},
        {ERR_CANCELLED, "Operation cancelled."},
        {ERR_FILETOOLARGE, ". File size exceeds target drive capacity."},
        {ERR_FILECHANGED,
         ". The file changed while it was being saved; it will be saved at its next change."},
        {0xF0FF, ""},
    };
    TLogFile log(500, ltBoth, false);
    for (const Case& c : cases) {
        std::string entry = "x";
        log.AddErrorMsg(entry, c.Error);
        EXPECT_EQ(entry, std::string("x") + c.Appended) << c.Error;
    }
}

TEST_F(LogFile, ADisabledLogRecordsNothing) {
    TLogFile log(500, ltBoth, false);
    log.WriteEntry(lcStart, 0, true);
    log.WriteEntry(lcSaveFile, "C:\\x.txt", 0, true);
    EXPECT_TRUE(log.Pending.empty());
    EXPECT_FALSE(fs::exists(LogPath()));
}

TEST_F(LogFile, UpdateTouchesTheFileOnlyWhenLoggingIsSwitched) {
    TLogFile log(5, ltBoth, true);
    log.WriteEntry(lcStart, 0, false);
    WriteTextFile(LogPath(), "other\n");

    log.Update(ltErrors, 5, true);
    EXPECT_EQ(log.LogType, ltErrors);
    EXPECT_EQ(log.Pending.size(), 1u) << "the pending entry still waits";
    EXPECT_EQ(ReadTextFile(LogPath()), "other\n");
    EXPECT_EQ(log.FileCount, 0) << "the file is not counted again";

    log.Update(ltBoth, 5, false);
    EXPECT_EQ(TextsOf(LogPath()).size(), 2u) << "switching off flushes";
    EXPECT_TRUE(log.Pending.empty());

    WriteTextFile(LogPath(), "1\n2\n3\n4\n");
    log.Update(ltBoth, 5, true);
    EXPECT_EQ(log.FileCount, 4) << "switching on counts what others wrote";
    log.WriteEntry(lcEnabled, 0, false);
    EXPECT_EQ(LinesOf(BackupPath()).size(), 5u) << "the fifth line fills the log";
    EXPECT_FALSE(fs::exists(LogPath()));
}

TEST_F(LogFile, LinesRemovedByOthersAreNotWrittenBack) {
    TLogFile log(500, ltBoth, true);
    log.WriteEntry(lcStart, 0, true);
    log.WriteEntry(lcEnabled, 0, true);
    std::vector<std::string> lines = LinesOf(LogPath());
    ASSERT_EQ(lines.size(), 2u);
    WriteTextFile(LogPath(), lines[1] + "\n");

    log.WriteEntry(lcDisabled, 0, true);
    EXPECT_EQ(TextsOf(LogPath()), (Texts{"Vaultaire enabled.", "Vaultaire disabled."}));

    fs::remove(LogPath());
    log.WriteEntry(lcClose, 0, true);
    EXPECT_EQ(TextsOf(LogPath()), (Texts{"Vaultaire 2000 closing"}));
    EXPECT_EQ(log.FileCount, 1);
}

TEST_F(LogFile, AFileNameCannotAddALineOfItsOwn) {
    TLogFile log(500, ltBoth, true);
    log.WriteEntry(lcSaveFile, "C:\\a\n05/12/2026 11:20:58 pm. Vaultaire disabled.\r", 0, true);
    EXPECT_EQ(TextsOf(LogPath()),
              (Texts{"Saving file: C:\\a?05/12/2026 11:20:58 pm. Vaultaire disabled.?"}));
}

// Control characters in a name would forge what a terminal or a line-based reader shows of
// the log; text of any other kind stays as it is.
TEST_F(LogFile, ControlCharactersInANameAreWrittenAsQuestionMarks) {
    struct Case {
        const char* Name;
        std::string FileName;
        std::string Written;
    };
    const Case cases[] = {
        {"escape sequence", "C:\\a\x1b[2K\x1b[1Gforged.txt", "C:\\a?[2K?[1Gforged.txt"},
        {"vertical tab and form feed", "C:\\a\vb\fc", "C:\\a?b?c"},
        {"tab, bell, backspace and other low bytes", "C:\\\t\a\b\x01\x1f", "C:\\?????"},
        {"delete", "C:\\x\x7f.txt", "C:\\x?.txt"},
        {"control characters of UTF-8's second range",
         "C:\\\xc2\x9b"
         "31m\xc2\x85x",
         "C:\\?31m?x"},
        {"other text", "C:\\Caf\xc3\xa9\xc2\xa0\xe2\x82\xac \xc2",
         "C:\\Caf\xc3\xa9\xc2\xa0\xe2\x82\xac \xc2"},
    };
    for (const Case& c : cases) {
        fs::remove(LogPath());
        TLogFile log(500, ltBoth, true);
        log.WriteEntry(lcSaveFile, c.FileName, 0, true);
        EXPECT_EQ(TextsOf(LogPath()), Texts{"Saving file: " + c.Written}) << c.Name;
    }
}

// Several processes write the one log (the tray program, vlctl, a second backup): every
// rewrite reads the file anew under a lock, so no writer's entries are lost. Each writer
// here has a log object of its own, as a process of its own would.
TEST_F(LogFile, WritersSideBySideLoseNoEntries) {
    constexpr int kWriters = 3;
    constexpr int kEntries = 150;
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w) {
        writers.emplace_back([w] {
            TLogFile log(32000, ltBoth, true);
            for (int i = 0; i < kEntries; ++i) {
                log.WriteEntry(lcSaveFile, "C:\\w" + std::to_string(w) + "\\" + std::to_string(i),
                               0, i % 3 == 0);
            }
        });
    }
    for (std::thread& writer : writers)
        writer.join();

    std::set<std::string> written;
    for (const std::string& text : TextsOf(LogPath()))
        written.insert(text);
    EXPECT_EQ(written.size(), static_cast<size_t>(kWriters * kEntries));
    for (int w = 0; w < kWriters; ++w) {
        EXPECT_TRUE(written.contains("Saving file: C:\\w" + std::to_string(w) + "\\" +
                                     std::to_string(kEntries - 1)));
    }
}

// The size rule reads the file under the same lock: when another writer filled the log
// since this one last counted it, the backup file receives every writer's entries.
TEST_F(LogFile, AFullLogMovesWithTheEntriesOfEveryWriter) {
    TLogFile mine(4, ltBoth, true);
    mine.WriteEntry(lcStart, 0, true);
    TLogFile other(4, ltBoth, true);
    other.WriteEntry(lcEnabled, 0, true);
    other.WriteEntry(lcBackupStart, 0, true);

    mine.WriteEntry(lcClose, 0, false);
    mine.WriteEntry(lcDisabled, 0, false);
    EXPECT_EQ(mine.Pending.size(), 2u) << "this writer still counts one line in the file";
    mine.WriteEntry(lcBackupEnd, 0, false);

    EXPECT_EQ(TextsOf(BackupPath()),
              (Texts{"Starting Vaultaire 2000", "Vaultaire enabled.", "Backup operation started.",
                     "Vaultaire 2000 closing", "Vaultaire disabled.", "Backup operation ended."}));
    EXPECT_FALSE(fs::exists(LogPath()));
}

TEST_F(LogFile, TheDestructorWritesWhatIsPending) {
    {
        TLogFile log(500, ltBoth, true);
        log.WriteEntry(lcStart, 0, false);
        log.WriteEntry(lcClose, 0, false);
        EXPECT_FALSE(fs::exists(LogPath()));
    }
    EXPECT_EQ(TextsOf(LogPath()), (Texts{"Starting Vaultaire 2000", "Vaultaire 2000 closing"}));
}

TEST_F(LogFile, AFailedRewriteKeepsTheOldLogAndThePendingEntries) {
    const std::string old = "01/01/2026 09:00:00 am. Starting Vaultaire 2000\n";
    struct Case {
        const char* Name;
        int MaxEntries;
        std::function<void(TLogFile&)> Write;  // raises: the disk is full
        std::function<void(TLogFile&)> Retry;  // with room again
    };
    const Case cases[] = {
        {"flush", 500, [](TLogFile& log) { log.Flush(); }, [](TLogFile& log) { log.Flush(); }},
        {"size rule", 2, [](TLogFile&) {}, [](TLogFile& log) { log.Flush(); }},
        {"switching off", 500, [](TLogFile& log) { log.Update(ltBoth, 500, false); },
         [](TLogFile& log) {
             log.Update(ltBoth, 500, true);
             log.Flush();
         }},
    };
    for (const Case& c : cases) {
        WriteTextFile(LogPath(), old);
        fs::remove(BackupPath());
        TLogFile log(c.MaxEntries, ltBoth, true);
        std::string error = WithFileSizeLimit(old.size(), [&] {
            log.WriteEntry(lcClose, 0, false);
            c.Write(log);
        });
        EXPECT_NE(error.find(log.FileName), std::string::npos) << c.Name << ": " << error;
        EXPECT_EQ(ReadTextFile(LogPath()), old) << c.Name;
        EXPECT_FALSE(fs::exists(BackupPath())) << c.Name;
        EXPECT_EQ(log.Pending.size(), 1u) << c.Name;
        EXPECT_TRUE(log.Lines.empty()) << c.Name;

        c.Retry(log);
        EXPECT_EQ(TextsOf(LogPath()), (Texts{"Starting Vaultaire 2000", "Vaultaire 2000 closing"}))
            << c.Name;
        std::vector<std::string> leftovers;
        for (const auto& entry : fs::directory_iterator(Dir.Path())) {
            std::string name = entry.path().filename().string();
            // The data folder's lock files are no leftovers of a rewrite.
            if (name != "Vaultaire 2000.log" && name != "Vaultaire 2000.log.BAK" && name != "locks")
                leftovers.push_back(name);
        }
        EXPECT_TRUE(leftovers.empty()) << c.Name << ": " << leftovers.front();
    }
}

TEST_F(LogFile, ALogThatCannotBeReadIsAnError) {
    fs::create_directories(LogPath());
    EXPECT_THROW(TLogFile(500, ltBoth, true), EOSError);
    TLogFile disabled(500, ltBoth, false);
    EXPECT_THROW(disabled.Update(ltBoth, 500, true), EOSError);
}
