#include "restorerun.h"

#include <sys/stat.h>

#include <fstream>
#include <iostream>
#include <random>

#include "catalogue_fixture.h"
#include "crypt.h"
#include "logfile.h"
#include "platform/files.h"
#include "scriptedinteraction.h"
#include "zstream.h"

namespace fs = std::filesystem;

namespace {

// Records what the run reports.
class TRecorder : public TRestoreObserver {
  public:
    void TotalCounted(int total) override { Total = total; }
    void FileDone(const TRestoreOutcome& outcome, int) override { Outcomes.push_back(outcome); }
    int AskPassword(int32_t key, int attempt, std::string& password) override {
        return SkipPasswords ? kPasswordSkip
                             : TRestoreObserver::AskPassword(key, attempt, password);
    }
    void OverwriteRuleChanged(TOverwriteRule rule) override { Rules.push_back(rule); }

    int Total = -1;
    std::vector<TRestoreOutcome> Outcomes;
    std::vector<TOverwriteRule> Rules;
    bool SkipPasswords = false;
};

// Every regular file below folder, by path.
std::set<std::string> FilesBelow(const fs::path& folder) {
    std::set<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_directory())
            files.insert(entry.path().string());
    }
    return files;
}

class TRestoreRunTest : public TCatalogueTest {
  protected:
    void SetUp() override {
        TCatalogueTest::SetUp();
        Previous = SetInteraction(&Questions);
    }
    void TearDown() override {
        SetInteraction(Previous);
        EXPECT_TRUE(Questions.Unexpected().empty())
            << "unexpected question: " << Questions.Unexpected().front();
        EXPECT_EQ(Questions.Pending(), 0u) << "a question was never asked";
    }

    // Restores everything at the location (the catalogue made anew).
    TRestoreResult RestoreAll(TRestoreOptions options = {}) {
        Tree.SetLocation(Root);
        Tree.Root()->SetCheck(ctCheck);
        Recorder = TRecorder();
        Recorder.SkipPasswords = SkipPasswords;
        TRestoreRun run(Tree, UseLog ? &Log : nullptr, Recorder);
        TRestoreResult result = run.Run(std::move(options));
        FinalRule = run.Overwrite();
        return result;
    }
    static TRestoreOptions To(const std::string& destination, int threads = 0) {
        TRestoreOptions options;
        options.Destination = destination;
        options.Threads = threads;
        return options;
    }

    TScriptedInteraction Questions;
    TInteraction* Previous = nullptr;
    TLogFile Log{1000, ltBoth, true};
    TRecorder Recorder;
    TOverwriteRule FinalRule = orNever;
    bool UseLog = true;  // off for many runs in a row: each flushes the log twice
    bool SkipPasswords = false;
};

// The source file's time relative to the backed-up copy's.
enum TExisting { exNone, exOlder, exNewer };

struct TOverwriteCase {
    TOverwriteRule Rule;
    TExisting Existing;
    int Answer;  // to the question, for orAsk
    bool Replaced;
};

}  // namespace

TEST_F(TRestoreRunTest, EachOverwriteRuleDecidesAsItSays) {
    const TOverwriteCase cases[] = {
        {orNever, exNone, 0, true},         {orNever, exOlder, 0, false},
        {orNever, exNewer, 0, false},       {orAlways, exOlder, 0, true},
        {orAlways, exNewer, 0, true},       {orIfNewer, exOlder, 0, true},
        {orIfNewer, exNewer, 0, false},     {orAsk, exNone, 0, true},
        {orAsk, exOlder, IDYES, true},      {orAsk, exNewer, IDNO, false},
        {orAsk, exOlder, IDYESTOALL, true}, {orAsk, exOlder, IDNOTOALL, false},
    };
    for (const TOverwriteCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "rule " << int(c.Rule) << " existing " << c.Existing);
        fs::remove_all(RootHost() / "C");
        Backup("Data\\a.txt", "backed up");
        const fs::path source = HostOf("C:\\Data\\a.txt");
        const auto copyTime = fs::last_write_time(source);
        if (c.Existing == exNone) {
            fs::remove(source);
        } else {
            WriteTextFile(source, "edited");
            fs::last_write_time(source,
                                copyTime + std::chrono::hours(c.Existing == exNewer ? 2 : -2));
        }
        if (c.Rule == orAsk && c.Existing != exNone)
            Questions.ExpectOverwrite(c.Answer);
        TRestoreOptions options;
        options.Overwrite = c.Rule;
        TRestoreResult result = RestoreAll(options);
        EXPECT_EQ(result.Restored, c.Replaced ? 1 : 0);
        EXPECT_EQ(result.Skipped, c.Replaced ? 0 : 1);
        EXPECT_EQ(ReadTextFile(source), c.Replaced ? "backed up" : "edited");
        if (c.Replaced) {
            EXPECT_EQ(fs::last_write_time(source), copyTime) << "the time comes back too";
        } else {
            EXPECT_EQ(Recorder.Outcomes.at(0).Reason, srExists);
        }
        if (c.Answer == IDYESTOALL || c.Answer == IDNOTOALL) {
            EXPECT_EQ(FinalRule, c.Answer == IDYESTOALL ? orAlways : orNever);
            EXPECT_EQ(Recorder.Rules.size(), 1u);
        }
    }
}

TEST_F(TRestoreRunTest, YesToAllAnswersForTheRestOfTheRun) {
    for (const char* name : {"Data\\a.txt", "Data\\b.txt", "Data\\c.txt"})
        Backup(name, "backed up");
    Questions.ExpectOverwrite(IDYESTOALL);
    TRestoreOptions options;
    options.Overwrite = orAsk;
    TRestoreResult result = RestoreAll(options);
    EXPECT_EQ(result.Restored, 3);
    EXPECT_EQ(Questions.Asked().size(), 1u);
    EXPECT_EQ(FinalRule, orAlways);
}

TEST_F(TRestoreRunTest, OnePasswordIsAskedOncePerKey) {
    const int32_t alpha = MakeKey("alpha"), beta = MakeKey("beta");
    Backup("Data\\a.txt", "a", 1, 0, alpha);
    Backup("Data\\b.txt", "b", 1, 0, alpha);
    Backup("Data\\c.txt", "c", 1, 0, beta);
    Backup("Data\\d.txt", "d", 1, 0, 0);
    Questions.ExpectPassword(IDOK, "wrong");
    Questions.ExpectPassword(IDOK, "alpha");
    Questions.ExpectPassword(IDOK, "beta");
    TRestoreResult result = RestoreAll(To("F:\\Out"));
    EXPECT_EQ(result.Restored, 4);
    EXPECT_EQ(Questions.Asked().size(), 3u) << "a wrong password is asked again, a key once";
    for (const char* name : {"a", "b", "c", "d"})
        EXPECT_EQ(ReadTextFile(HostOf(std::string("F:\\Out\\Data\\") + name + ".txt")), name);
}

TEST_F(TRestoreRunTest, CancellingThePasswordEndsTheRun) {
    Backup("Data\\a.txt", "a", 1, 0, MakeKey("alpha"));
    Backup("Data\\b.txt", "b", 1, 0, MakeKey("alpha"));
    Questions.ExpectPassword(IDCANCEL, "");
    TRestoreResult result = RestoreAll(To("F:\\Out"));
    EXPECT_TRUE(result.Cancelled);
    EXPECT_EQ(result.Restored, 0);
    EXPECT_EQ(result.Skipped, 2) << "skipped = total - restored";
    EXPECT_FALSE(fs::exists(HostOf("F:\\Out\\Data\\a.txt")));
}

TEST_F(TRestoreRunTest, AMissingDestinationDriveIsSkippedWithoutAQuestion) {
    Plant("G\\x.txt.VL001", "G:\\x.txt", "for drive G");
    Backup("Data\\a.txt", "a");
    fs::remove(HostOf("C:\\Data\\a.txt"));
    TRestoreResult result = RestoreAll();
    EXPECT_EQ(result.Restored, 1);
    EXPECT_EQ(result.Skipped, 1);
    ASSERT_EQ(Recorder.Outcomes.size(), 2u);
    int reasons = 0;
    for (const TRestoreOutcome& outcome : Recorder.Outcomes)
        reasons += outcome.Reason == srNoDrive;
    EXPECT_EQ(reasons, 1);
    EXPECT_TRUE(Questions.Asked().empty());
}

TEST_F(TRestoreRunTest, RestoresToAnotherFolderWithTheSourceFolders) {
    Backup("Data\\Sub\\a.txt", "aaa");
    const auto time = fs::last_write_time(HostOf("C:\\Data\\Sub\\a.txt"));
    TRestoreResult result = RestoreAll(To("F:\\Old"));
    EXPECT_EQ(result.Total, 1);
    EXPECT_EQ(result.Restored, 1);
    EXPECT_EQ(Recorder.Total, 1);
    const fs::path restored = HostOf("F:\\Old\\Data\\Sub\\a.txt");
    EXPECT_EQ(ReadTextFile(restored), "aaa");
    EXPECT_EQ(fs::last_write_time(restored), time);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(static_cast<mode_t>(fs::status(restored).permissions()), 0666 & ~mask)
        << "a new file gets the permissions of any new file";
    EXPECT_EQ(FilesBelow(HostOf("F:\\Old")), std::set<std::string>{restored.string()})
        << "no work file is left";
    Log.Flush();
    std::string log = ReadTextFile(Log.FileName);
    EXPECT_NE(log.find("Restore operation started."), std::string::npos) << log;
    EXPECT_NE(log.find("Restoring file: F:\\Old\\Data\\Sub\\a.txt"), std::string::npos) << log;
    EXPECT_NE(log.find("Restore operation ended."), std::string::npos) << log;
}

TEST_F(TRestoreRunTest, ALinkOutOfTheDestinationIsNotFollowed) {
    Backup("Data\\a.txt", "a");
    fs::create_directories(HostOf("F:\\Out"));
    fs::create_directories(HostOf("C:\\Elsewhere"));
    fs::create_directory_symlink(HostOf("C:\\Elsewhere"), HostOf("F:\\Out\\Data"));
    TRestoreResult result = RestoreAll(To("F:\\Out"));
    EXPECT_EQ(result.Restored, 0);
    EXPECT_EQ(result.Refused, 1);
    EXPECT_TRUE(fs::is_empty(HostOf("C:\\Elsewhere")));
    Log.Flush();
    EXPECT_NE(ReadTextFile(Log.FileName).find("through a symbolic link"), std::string::npos);
}

TEST_F(TRestoreRunTest, AStoppedRestoreLeavesNoHalfFile) {
    Backup("Data\\big.bin", Incompressible(2 << 20, 7));
    int asked = 0;
    TRestoreOptions options = To("F:\\Out", 1);
    options.StopRequested = [&asked] { return ++asked > 20; };
    TRestoreResult result = RestoreAll(options);
    EXPECT_TRUE(result.Cancelled);
    EXPECT_EQ(result.Restored, 0);
    if (fs::exists(HostOf("F:\\Out\\Data"))) {
        EXPECT_TRUE(fs::is_empty(HostOf("F:\\Out\\Data"))) << "no file and no work file";
    }
}

TEST_F(TRestoreRunTest, DamagedCopiesAreReportedAsDamaged) {
    Backup("Data\\good.txt", "good");
    WriteTextFile(RootHost() / "C/Data/header.txt.VL001", "no archive");
    const std::string cut = Backup("Data\\cut.txt", Incompressible(5000, 3));
    fs::resize_file(HostOf(cut), fs::file_size(HostOf(cut)) - 10);
    TRestoreResult result = RestoreAll(To("F:\\Out"));
    EXPECT_EQ(result.Restored, 1);
    EXPECT_EQ(result.Damaged, 2);
    EXPECT_EQ(FilesBelow(HostOf("F:\\Out")),
              std::set<std::string>{HostOf("F:\\Out\\Data\\good.txt")});
}

// ---- Hostile copies ----

namespace {

struct TPlantedCase {
    const char* Copy;    // below the backup root
    std::string Stored;  // the header's path
};

}  // namespace

TEST_F(TRestoreRunTest, PlantedHeadersWriteNothingOutsideTheDestination) {
    const TPlantedCase cases[] = {
        {"C\\Data\\a.txt.VL001", "C:\\..\\Data\\a.txt"},
        {"C\\Data\\b.txt.VL001", "C:\\Data\\..\\..\\b.txt"},
        {"C\\Data\\c.txt.VL001", "C:\\Data\\c.txt\\.."},
        {"C\\Data\\d.txt.VL001", "..\\C:\\Data\\d.txt"},
        {"C\\Data\\e.txt.VL001", "C:\\Data/../../e.txt"},
        {"C\\Data\\f.txt.VL001", "/etc/f.txt"},
        {"C\\Data\\g.txt.VL001", (TestSandbox() / "g.txt").c_str()},
        {"C\\Data\\h.txt.VL001", "D:\\Data\\h.txt"},
        {"C\\Data\\i.txt.VL001", "F:\\Data\\i.txt"},
        {"C\\Data\\j.txt.VL001", "C:\\Data\\j\n.txt"},
        {"C\\Data\\k.txt.VL001", "C:\\Data\\k\x1b[2J.txt"},
        {"C\\Data\\l.txt.VL001", "C:\\Other\\l.txt"},
        {"C\\Data\\m.txt.VL001", "C:\\Data\\"},
        {"C\\Data\\n.txt.VL001", ""},
        {"C\\Data\\o.txt.VL001", "C:\\Data\\.\\o.txt"},
        {"C\\Data\\..VL001", "C:\\Data\\."},
    };
    std::set<std::string> planted;
    for (const TPlantedCase& c : cases)
        planted.insert(Plant(c.Copy, c.Stored, "planted"));
    for (const char* destination : {"F:\\Out", ""}) {
        SCOPED_TRACE(destination);
        const std::set<std::string> before = FilesBelow(Drives.Path());
        TRestoreResult result = RestoreAll(To(destination));
        EXPECT_EQ(result.Restored, 0);
        EXPECT_EQ(result.Refused, static_cast<int>(std::size(cases)));
        for (const TRestoreOutcome& outcome : Recorder.Outcomes) {
            EXPECT_EQ(outcome.Reason, srRefusedPath) << outcome.CopyPath;
            EXPECT_FALSE(outcome.Why.empty());
        }
        EXPECT_EQ(FilesBelow(Drives.Path()), before) << "nothing was written anywhere";
    }
    EXPECT_FALSE(fs::exists(TestSandbox() / "g.txt"));
    Log.Flush();
    EXPECT_NE(ReadTextFile(Log.FileName).find("climbs out of its folder"), std::string::npos);
}

TEST_F(TRestoreRunTest, SizesThatLieAreDamage) {
    UseLog = false;
    const std::string copy = Backup("Data\\a.txt", std::string(3000, 'q'));
    TVUnzipStream header(copy);
    const int64_t sizeAt = 4 + 1 + static_cast<int64_t>(header.Header.OriginalPath.size());
    header.Close();
    for (int64_t lie : {int64_t{0}, int64_t{2999}, int64_t{3001}, int64_t{1} << 40}) {
        for (bool withChecksum : {true, false}) {
            SCOPED_TRACE(testing::Message() << lie << (withChecksum ? " checked" : " unchecked"));
            Backup("Data\\a.txt", std::string(3000, 'q'));
            std::fstream file(HostOf(copy), std::ios::in | std::ios::out | std::ios::binary);
            file.seekp(sizeAt);
            file.write(reinterpret_cast<const char*>(&lie), sizeof lie);
            if (!withChecksum) {
                const int32_t none = 0;
                file.seekp(sizeAt + 8 + 4);
                file.write(reinterpret_cast<const char*>(&none), sizeof none);
            }
            file.close();
            fs::remove_all(HostOf("F:\\Out"));
            // A size beyond the drive is asked about before anything is read; OK gives up.
            const bool beyondTheDrive = lie > (int64_t{1} << 39);
            if (beyondTheDrive)
                Questions.ExpectText("capacity", IDOK);
            TRestoreResult result = RestoreAll(To("F:\\Out", 1));
            EXPECT_EQ(result.Restored, 0);
            EXPECT_EQ(result.Skipped, 1);
            EXPECT_EQ(Recorder.Outcomes.at(0).Reason, beyondTheDrive ? srNoRoom : srDamaged);
            EXPECT_FALSE(fs::exists(HostOf("F:\\Out\\Data\\a.txt")));
        }
    }
}

TEST_F(TRestoreRunTest, ACopyCutAtAnyByteIsNeverRestored) {
    UseLog = false;
    const std::string content =
        "A small file, cut short at every byte of its copy. " + std::string(40, 'z');
    const std::string copy = Backup("Data\\small.txt", content);
    const std::string whole = ReadTextFile(HostOf(copy));
    int restoredCut = 0;
    for (size_t length = 0; length < whole.size(); ++length) {
        WriteTextFile(HostOf(copy), whole.substr(0, length));
        TRestoreResult result = RestoreAll(To("F:\\Out", 1));
        restoredCut += result.Restored;
        EXPECT_EQ(result.Skipped, 1) << length;
        EXPECT_FALSE(fs::exists(HostOf("F:\\Out\\Data\\small.txt"))) << length;
    }
    std::cout << "[ figures  ] " << whole.size()
              << " truncations, restored as good: " << restoredCut << "\n";
    EXPECT_EQ(restoredCut, 0);
}

TEST_F(TRestoreRunTest, RandomBitFlipsAreNeverRestoredAsGood) {
    UseLog = false;
    SkipPasswords = true;  // a flip in the key makes the copy ask for a password
    // A flip in the size asks whether the drive can take it: every answer is Cancel.
    TScriptedInteraction cancelEverything;
    SetInteraction(&cancelEverything);
    const std::string content = "Some text that compresses: " + std::string(300, 'a') + "end";
    const std::string copy = Backup("Data\\flip.txt", content);
    const std::string whole = ReadTextFile(HostOf(copy));
    std::mt19937 random(20240611);
    constexpr int kFlips = 2000;
    int damagedAsGood = 0, outside = 0, restoredIntact = 0;
    for (int i = 0; i < kFlips; ++i) {
        std::string flipped = whole;
        size_t bit = random() % (flipped.size() * 8);
        flipped[bit / 8] = static_cast<char>(flipped[bit / 8] ^ (1 << (bit % 8)));
        WriteTextFile(HostOf(copy), flipped);
        fs::remove(HostOf("F:\\Out\\Data\\flip.txt"));
        TRestoreResult result = RestoreAll(To("F:\\Out", 1));
        std::set<std::string> written = FilesBelow(HostOf("F:\\"));
        for (const std::string& file : written) {
            if (file != HostOf("F:\\Out\\Data\\flip.txt").string())
                ++outside;
        }
        if (result.Restored == 1) {
            if (ReadTextFile(HostOf("F:\\Out\\Data\\flip.txt")) == content)
                ++restoredIntact;
            else
                ++damagedAsGood;
        }
    }
    SetInteraction(&Questions);
    std::cout << "[ figures  ] " << kFlips << " bit flips: written outside the destination "
              << outside << ", damaged restored as good " << damagedAsGood << ", restored intact "
              << restoredIntact << "\n";
    EXPECT_EQ(outside, 0);
    EXPECT_EQ(damagedAsGood, 0);
}
