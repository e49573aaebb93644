#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <set>
#include <thread>
#include <tuple>

#include "exceptions.h"
#include "platform/filestream.h"
#include "platform/syserror.h"
#include "testenv.h"

namespace fs = std::filesystem;

namespace {

class Files : public testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(Dir.Path() / "c");
        UseDriveMap("detect off\nC: fixed " + Dir / "c" + "\nD: removable " + Dir / "c/d" + "\n");
        fs::create_directories(Dir.Path() / "c/d");
    }
    void TearDown() override { UseDefaultTestDriveMap(); }

    std::string Host(const std::string& below) { return Dir / ("c/" + below); }
    // In C:\ a file, a hidden file, a folder with a file, links to a file, to a folder and
    // to nothing, and a pipe.
    void MakeEntriesOfEveryKind() {
        WriteTextFile(Host("a.txt"), "a");
        WriteTextFile(Host(".hidden"), "h");
        WriteTextFile(Host("sub/b.txt"), "b");
        fs::create_symlink(Host("a.txt"), Host("link-to-file"));
        fs::create_directory_symlink(Host("sub"), Host("link-to-folder"));
        fs::create_symlink(Host("nowhere"), Host("dangling"));
        ASSERT_EQ(mkfifo(Host("pipe").c_str(), 0600), 0);
    }
    static TFileStamp Stamp(const std::string& path) {
        TFileStamp stamp;
        EXPECT_TRUE(GetFileStamp(path, stamp)) << path;
        return stamp;
    }

    std::set<std::string> List(const std::string& pattern, int mask = faAnyFile) {
        std::set<std::string> names;
        for (TFileSearch search(pattern, mask); search.Found(); search.Next()) {
            names.insert(search.Rec().Name);
        }
        return names;
    }

    TTempDir Dir;
};

void Append(const std::string& host, const std::string& text) {
    std::ofstream out(host, std::ios::app | std::ios::binary);
    out << text;
}

}  // namespace

TEST_F(Files, ArchiveAttributeIsSetByEveryRewrite) {
    WriteTextFile(Host("doc.txt"), "one");
    EXPECT_TRUE(GetFileAttributes("C:\\doc.txt") & faArchive) << "a new file is to be backed up";

    ASSERT_TRUE(SetFileAttributes("C:\\doc.txt", GetFileAttributes("C:\\doc.txt") & ~faArchive));
    EXPECT_FALSE(GetFileAttributes("C:\\doc.txt") & faArchive);

    Append(Host("doc.txt"), "two");
    EXPECT_TRUE(GetFileAttributes("C:\\doc.txt") & faArchive) << "a longer file changed";

    ASSERT_TRUE(SetFileAttributes("C:\\doc.txt", 0));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    WriteTextFile(Host("doc.txt"), "ONETWO");
    EXPECT_TRUE(GetFileAttributes("C:\\doc.txt") & faArchive) << "same size, new write time";

    ASSERT_TRUE(SetFileAttributes("C:\\doc.txt", faArchive));
    EXPECT_TRUE(GetFileAttributes("C:\\doc.txt") & faArchive) << "set by hand";

    // Renamed, also over another file or into another folder, a file has copies under its
    // old name only.
    WriteTextFile(Host("other.txt"), "other");
    fs::create_directories(Host("sub"));
    for (const char* name : {"doc.txt", "other.txt"})
        ASSERT_TRUE(SetFileAttributes(std::string("C:\\") + name, 0));
    fs::rename(Host("doc.txt"), Host("other.txt"));
    EXPECT_TRUE(GetFileAttributes("C:\\other.txt") & faArchive) << "renamed over another";
    ASSERT_TRUE(SetFileAttributes("C:\\other.txt", 0));
    fs::rename(Host("other.txt"), Host("sub/other.txt"));
    EXPECT_TRUE(GetFileAttributes("C:\\sub\\other.txt") & faArchive) << "moved";
}

// The record is kept short enough to stay inside the file's inode; records of earlier
// versions (with the whole path) still count, so that an update backs nothing up again.
TEST_F(Files, ArchiveRecordIsShortAndEarlierLongRecordsStillCount) {
    WriteTextFile(Host("doc.txt"), "content");
    ASSERT_TRUE(ClearArchiveAttribute("C:\\doc.txt", Stamp("C:\\doc.txt")));
    char record[256];
    ssize_t length =
        getxattr(Host("doc.txt").c_str(), "user.vaultaire.archive", record, sizeof record);
    ASSERT_GT(length, 0);
    EXPECT_LE(length, 56) << std::string(record, static_cast<size_t>(length));

    struct stat info {};
    ASSERT_EQ(stat(Host("doc.txt").c_str(), &info), 0);
    std::string longRecord = std::to_string(info.st_size) + " " +
                             std::to_string(info.st_mtim.tv_sec) + "." +
                             std::to_string(info.st_mtim.tv_nsec) + " " + Host("doc.txt");
    ASSERT_EQ(setxattr(Host("doc.txt").c_str(), "user.vaultaire.archive", longRecord.data(),
                       longRecord.size(), 0),
              0);
    EXPECT_FALSE(GetFileAttributes("C:\\doc.txt") & faArchive);
    longRecord.back() = 'X';  // another path
    ASSERT_EQ(setxattr(Host("doc.txt").c_str(), "user.vaultaire.archive", longRecord.data(),
                       longRecord.size(), 0),
              0);
    EXPECT_TRUE(GetFileAttributes("C:\\doc.txt") & faArchive);
}

TEST_F(Files, ClearingTheArchiveAttributeOfAFileChangedSinceKeepsIt) {
    WriteTextFile(Host("doc.txt"), "content");
    TFileStamp copied = Stamp("C:\\doc.txt");
    WriteTextFile(Host("doc.txt"), "content changed after it was copied");
    EXPECT_FALSE(ClearArchiveAttribute("C:\\doc.txt", copied));
    EXPECT_TRUE(GetFileAttributes("C:\\doc.txt") & faArchive);
    EXPECT_TRUE(ClearArchiveAttribute("C:\\doc.txt", Stamp("C:\\doc.txt")));
    EXPECT_FALSE(GetFileAttributes("C:\\doc.txt") & faArchive);
}

TEST_F(Files, ReadOnlyFileKeepsItsModeWhenTheArchiveAttributeIsCleared) {
    WriteTextFile(Host("locked.txt"), "x");
    ASSERT_TRUE(SetFileAttributes("C:\\locked.txt", faReadOnly | faArchive));
    int attr = GetFileAttributes("C:\\locked.txt");
    EXPECT_TRUE(attr & faReadOnly);
    ASSERT_TRUE(SetFileAttributes("C:\\locked.txt", faReadOnly));
    attr = GetFileAttributes("C:\\locked.txt");
    EXPECT_TRUE(attr & faReadOnly);
    EXPECT_FALSE(attr & faArchive);
    ASSERT_TRUE(SetFileAttributes("C:\\locked.txt", 0));
    EXPECT_FALSE(GetFileAttributes("C:\\locked.txt") & faReadOnly);
}

TEST_F(Files, SearchListsFilesAndFoldersButNoLinksToFoldersDevicesOrOtherDrives) {
    ASSERT_NO_FATAL_FAILURE(MakeEntriesOfEveryKind());

    EXPECT_EQ(List("C:\\*.*"), (std::set<std::string>{"a.txt", ".hidden", "sub", "link-to-file"}))
        << "d is another drive's root";
    EXPECT_EQ(List("C:\\*.*", faArchive), (std::set<std::string>{"a.txt", "link-to-file"}));
    EXPECT_EQ(List("C:\\sub\\*.*"), (std::set<std::string>{"b.txt"}));

    TFileSearch search("C:\\a.txt", faAnyFile);
    ASSERT_TRUE(search.Found());
    EXPECT_EQ(search.Rec().Size, 1);
    EXPECT_EQ(search.FullName(), "C:\\a.txt");
    EXPECT_FALSE(search.IsDirectory());
    EXPECT_EQ(search.Rec().Time, FileAge("C:\\a.txt"));
}

// A walk that needs only names and kinds lists the same entries, kinds and links, without
// looking at each file.
TEST_F(Files, SearchOfKindsListsWhatAFullSearchLists) {
    ASSERT_NO_FATAL_FAILURE(MakeEntriesOfEveryKind());
    auto listing = [](int attrMask, TSearchDetail detail) {
        std::set<std::tuple<std::string, bool, bool, bool>> entries;
        for (TFileSearch search("C:\\*.*", attrMask, detail); search.Found(); search.Next()) {
            entries.emplace(search.Rec().Name, search.IsDirectory(), search.Rec().Link,
                            (search.Rec().Attr & faHidden) != 0);
        }
        return entries;
    };
    for (int attrMask : {int{faAnyFile}, faAnyFile & ~faHidden}) {
        auto kinds = listing(attrMask, sdKinds);
        EXPECT_EQ(kinds, listing(attrMask, sdFull)) << attrMask;
        EXPECT_EQ(kinds.count({"link-to-file", false, true, false}), 1u);
    }
}

TEST_F(Files, SearchForVersionsMatchesOnlyTheirNames) {
    for (const char* name : {"n.txt.VL001", "n.txt.VL012", "n.txt.VL1", "n.txt.VL0001", "n.txt",
                             "m.txt.VL001", "VL______.000"}) {
        WriteTextFile(Host(std::string("v/") + name), "x");
    }
    EXPECT_EQ(List("C:\\v\\n.txt.VL???"),
              (std::set<std::string>{"n.txt.VL001", "n.txt.VL012", "n.txt.VL1"}));
    EXPECT_EQ(List("C:\\v\\VL______.???"), (std::set<std::string>{"VL______.000"}));
}

TEST(Wildcards, MatchAsFolderSearchesDo) {
    struct Case {
        const char* Name;
        const char* Pattern;
        bool Matches;
    };
    const Case cases[] = {
        {"anything", "*.*", true},       {"no-dot", "*.*", true},
        {"a.doc", "*.doc", true},        {"a.docx", "*.doc", false},
        {"a.doc", "a.d?c", true},        {"a.dc", "a.d?c", false},
        {"x.VL01", "x.VL???", true},     {"x.VL", "x.VL???", true},
        {"x.VL0001", "x.VL???", false},  {"abcabd", "*abd", true},
        {"Note.TXT", "note.txt", false}, {"", "*", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MatchesWildcard(c.Name, c.Pattern), c.Matches) << c.Name << " ~ " << c.Pattern;
    }
}

TEST_F(Files, RenameRefusesToReplaceAndReplaceDoes) {
    WriteTextFile(Host("from"), "new");
    WriteTextFile(Host("to"), "old");
    EXPECT_FALSE(RenameFile("C:\\from", "C:\\to"));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(ReadTextFile(Host("to")), "old");
    EXPECT_TRUE(ReplaceFile("C:\\from", "C:\\to"));
    EXPECT_EQ(ReadTextFile(Host("to")), "new");
    EXPECT_FALSE(FileExists("C:\\from"));
}

TEST_F(Files, FailuresLeaveTheSystemErrorBehind) {
    EXPECT_FALSE(DeleteFile("C:\\missing"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(CreateDir("C:\\no\\such\\parent"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(ForceDirectories("C:\\no\\such\\parent"));
    EXPECT_TRUE(DirectoryExists("C:\\no\\such\\parent"));
    EXPECT_FALSE(DeleteFile("C:\\no")) << "a folder is no file";
    WriteTextFile(Host("no/such/file"), "in the way");
    EXPECT_FALSE(ForceDirectories("C:\\no\\such\\file")) << "a file in the folder's place";
    EXPECT_FALSE(ForceDirectories("C:\\no\\such\\file\\below"));
    EXPECT_EQ(ReadTextFile(Host("no/such/file")), "in the way");
    EXPECT_EQ(GetFileAttributes("C:\\missing"), -1);
    EXPECT_EQ(FileAge("C:\\missing"), -1);
    EXPECT_EQ(GetFileSize("Q:\\x"), -1);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(Files, FileStreamOpensOnlyRegularFilesAndStampsTimes) {
    try {
        TFileStream missing("C:\\missing.txt", fmOpenRead);
        FAIL() << "opened a missing file";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.ErrorCode, ERROR_FILE_NOT_FOUND);
        EXPECT_NE(e.Message.find("C:\\missing.txt"), std::string::npos);
    }
    EXPECT_THROW(TFileStream("C:\\d", fmOpenRead), EFOpenError);
    EXPECT_THROW(TFileStream("C:\\no-folder\\x", fmCreate), EFCreateError);

    {
        TFileStream out("C:\\stamped.bin", fmCreate);
        out.WriteValue<int32_t>(42);
        out.SetFileDate(0x5B8A7A1D);  // 10 December 2025, 15:16:58
    }
    EXPECT_EQ(FileAge("C:\\stamped.bin"), 0x5B8A7A1D);
    TFileStream in("C:\\stamped.bin", fmOpenRead);
    EXPECT_EQ(in.ReadValue<int32_t>(), 42);
    EXPECT_EQ(in.GetFileDate(), 0x5B8A7A1D);
    EXPECT_THROW(in.ReadValue<int32_t>(), EReadError);
}

TEST_F(Files, FileStreamRefusesANamedPipeWithoutWaitingForAWriter) {
    ASSERT_EQ(mkfifo(Host("pipe").c_str(), 0666), 0);
    // Without a process at the other end, a blocking open would never return.
    try {
        TFileStream pipe("C:\\pipe", fmOpenRead);
        FAIL() << "opened a named pipe";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.ErrorCode, ERROR_ACCESS_DENIED);
    }
    EXPECT_THROW(TFileStream("C:\\pipe", fmOpenWrite), EFOpenError);

    TFileStream("C:\\regular.txt", fmCreate).WriteValue<int32_t>(7);
    TFileStream regular("C:\\regular.txt", fmOpenRead);
    EXPECT_EQ(regular.ReadValue<int32_t>(), 7);
}

TEST_F(Files, FileStreamSaysWhyWhatIsNoFileCannotBeOpened) {
    ASSERT_EQ(mkfifo(Host("pipe").c_str(), 0666), 0);
    struct Case {
        const char* Path;
        unsigned Mode;
        const char* Message;
    };
    const Case cases[] = {
        {"C:\\d", fmOpenRead, "Cannot open file \"C:\\d\". It is a folder, not a file."},
        {"C:\\d", fmOpenWrite, "Cannot open file \"C:\\d\". It is a folder, not a file."},
        {"C:\\d", fmCreate, "Cannot create file \"C:\\d\". It is a folder, not a file."},
        {"C:\\pipe", fmOpenRead,
         "Cannot open file \"C:\\pipe\". It is a pipe, device or socket, not a file."},
        {"C:\\pipe", fmOpenWrite,
         "Cannot open file \"C:\\pipe\". It is a pipe, device or socket, not a file."},
        {"/dev/null", fmOpenRead,
         "Cannot open file \"/dev/null\". It is a pipe, device or socket, not a file."},
    };
    for (const Case& c : cases) {
        try {
            TFileStream stream(c.Path, c.Mode);
            ADD_FAILURE() << "opened " << c.Path;
        } catch (const EFOpenError& e) {
            EXPECT_EQ(e.Message, c.Message);
            EXPECT_EQ(e.ErrorCode, ERROR_ACCESS_DENIED) << c.Path;
        }
    }
}

TEST_F(Files, EntryKindIsWhatLiesThereWithoutFollowingLinks) {
    WriteTextFile(Host("file"), "x");
    ASSERT_EQ(mkfifo(Host("pipe").c_str(), 0666), 0);
    fs::create_symlink(Host("file"), Host("file-link"));
    fs::create_symlink(Host("d"), Host("folder-link"));
    fs::create_symlink(Host("none"), Host("dangling"));
    struct Case {
        const char* Path;
        TEntryKind Kind;
    };
    const Case cases[] = {
        {"C:\\file", ekFile},      {"C:\\d", ekFolder},         {"C:\\pipe", ekOther},
        {"C:\\file-link", ekLink}, {"C:\\folder-link", ekLink}, {"C:\\dangling", ekLink},
        {"C:\\none", ekNone},      {"Q:\\file", ekNone},        {"/dev/null", ekOther},
    };
    for (const Case& c : cases)
        EXPECT_EQ(EntryKindOf(c.Path), c.Kind) << c.Path;
}

TEST_F(Files, ALinkLendsNoModeToTheFileThatReplacesIt) {
    WriteTextFile(Host("private"), "x");
    fs::permissions(Host("private"), fs::perms(0600));
    fs::create_symlink(Host("private"), Host("link"));
    WriteTextFile(Host("new"), "y");
    fs::permissions(Host("new"), fs::perms(0600));
    const mode_t mask = umask(022);
    umask(mask);
    ASSERT_TRUE(CopyFileMode("C:\\link", "C:\\new"));
    EXPECT_EQ(fs::status(Host("new")).permissions(), fs::perms(0666 & ~mask));
    ASSERT_TRUE(CopyFileMode("C:\\private", "C:\\new"));
    EXPECT_EQ(fs::status(Host("new")).permissions(), fs::perms(0600));
}

TEST_F(Files, AtomicWriteReplacesWholeFilesOnly) {
    WriteTextFile(Host("settings"), "old");
    EXPECT_TRUE(WriteFileAtomically("C:\\settings", "new content"));
    EXPECT_EQ(ReadTextFile(Host("settings")), "new content");
    EXPECT_FALSE(WriteFileAtomically("C:\\missing-folder\\settings", "x"));
    fs::permissions(Dir.Path() / "c", fs::perms::owner_write, fs::perm_options::remove);
    if (::access(Host("").c_str(), W_OK) != 0) {  // not when running as root
        EXPECT_FALSE(WriteFileAtomically("C:\\settings", "lost?"));
        EXPECT_EQ(ReadTextFile(Host("settings")), "new content");
    }
    fs::permissions(Dir.Path() / "c", fs::perms::owner_write, fs::perm_options::add);
    std::string content;
    EXPECT_TRUE(ReadFileText("C:\\settings", content));
    EXPECT_EQ(content, "new content");
    EXPECT_EQ(std::distance(fs::directory_iterator(Dir.Path() / "c"), fs::directory_iterator()), 2)
        << "no work file is left beside it";
}

TEST_F(Files, AtomicWriteKeepsALinkToAFileAndTakesModesFromRegularFilesOnly) {
    fs::create_directories(Dir.Path() / "elsewhere");
    const std::string target = Dir / "elsewhere/settings";
    WriteTextFile(target, "old");
    fs::permissions(target, fs::perms(0640));
    struct Case {
        const char* Name;
        std::string LinkTo;  // empty: a plain file of mode 0600, or nothing for "missing"
        bool StaysALink;     // and writes the file it leads to
        fs::perms Mode;      // of the file written
    };
    const Case cases[] = {
        {"plain", "", false, fs::perms(0600)},
        {"missing", "", false, fs::perms(0644)},
        {"link", target, true, fs::perms(0640)},
        {"link-to-link", Host("link"), true, fs::perms(0640)},
        {"device-link", "/dev/null", false, fs::perms(0644)},
        {"dangling", Host("nothing-there"), false, fs::perms(0644)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string host = Host(c.Name);
        if (!c.LinkTo.empty()) {
            fs::create_symlink(c.LinkTo, host);
        } else if (std::string(c.Name) != "missing") {
            WriteTextFile(host, "old");
            fs::permissions(host, fs::perms(0600));
        }
        ASSERT_TRUE(WriteFileAtomically(std::string("C:\\") + c.Name, c.Name));
        EXPECT_EQ(fs::is_symlink(host), c.StaysALink);
        if (c.StaysALink && fs::is_symlink(host)) {
            EXPECT_EQ(fs::read_symlink(host), c.LinkTo);
        }
        const std::string written = c.StaysALink ? target : host;
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(written)));
        EXPECT_EQ(ReadTextFile(written), c.Name);
        EXPECT_EQ(fs::symlink_status(written).permissions(), c.Mode);
    }
    EXPECT_TRUE(fs::is_character_file("/dev/null")) << "a device is never replaced";
    EXPECT_EQ(fs::status("/dev/null").permissions(), fs::perms(0666));
    EXPECT_EQ(
        std::distance(fs::directory_iterator(Dir.Path() / "elsewhere"), fs::directory_iterator()),
        1)
        << "no work file is left beside the file a link leads to";
}

TEST_F(Files, AtomicWriteRemovesWhatAKilledWriterLeftBesideTheFile) {
    WriteTextFile(Host("settings"), "old");
    // A writer killed part way: the system ends it for writing beyond a file size limit.
    pid_t killed = fork();
    ASSERT_GE(killed, 0);
    if (killed == 0) {
        std::signal(SIGXFSZ, SIG_DFL);
        const rlimit noCore{0, 0}, smallFiles{4096, 4096};
        setrlimit(RLIMIT_CORE, &noCore);
        setrlimit(RLIMIT_FSIZE, &smallFiles);
        WriteFileAtomically("C:\\settings", std::string(1 << 16, 'x'));
        _exit(1);
    }
    int status = 0;
    waitpid(killed, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << status;
    EXPECT_EQ(ReadTextFile(Host("settings")), "old");
    std::set<std::string> left;
    for (const fs::directory_entry& entry : fs::directory_iterator(Dir.Path() / "c"))
        left.insert(entry.path().filename().string());
    left.erase("settings");
    left.erase("d");
    ASSERT_EQ(left.size(), 1u) << "the killed writer's work file";
    const std::string leftover = *left.begin();
    const std::string killedPid = std::to_string(killed);
    ASSERT_NE(leftover.find(killedPid), std::string::npos) << leftover << " names its writer";

    // The same name for a writer that still runs, and files that only look alike, stay.
    int hold[2];
    ASSERT_EQ(pipe(hold), 0);
    pid_t running = fork();
    ASSERT_GE(running, 0);
    if (running == 0) {
        char byte;
        close(hold[1]);
        _exit(read(hold[0], &byte, 1) < 0 ? 1 : 0);
    }
    close(hold[0]);
    std::string ofRunning = leftover;
    ofRunning.replace(ofRunning.find(killedPid), killedPid.size(), std::to_string(running));
    const std::string lookAlike = "settings.tmp-notes";
    WriteTextFile(Host(ofRunning), "another writer's");
    WriteTextFile(Host(lookAlike), "the user's");

    EXPECT_TRUE(WriteFileAtomically("C:\\settings", "new"));
    EXPECT_EQ(ReadTextFile(Host("settings")), "new");
    EXPECT_FALSE(fs::exists(Host(leftover)));
    EXPECT_TRUE(fs::exists(Host(ofRunning)));
    EXPECT_TRUE(fs::exists(Host(lookAlike)));
    close(hold[1]);
    waitpid(running, nullptr, 0);
}

TEST(SystemErrors, HostErrorsMapToTheProgramsNumbersAndTexts) {
    EXPECT_EQ(ErrorFromErrno(ENOENT), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ErrorFromErrno(ENOTDIR), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(ErrorFromErrno(EACCES), ERROR_ACCESS_DENIED);
    EXPECT_EQ(ErrorFromErrno(EROFS), ERROR_WRITE_PROTECT);
    EXPECT_EQ(ErrorFromErrno(ENOSPC), ERROR_DISK_FULL);
    EXPECT_EQ(ErrorFromErrno(ENOMEDIUM), ERROR_NOT_READY);
    EXPECT_EQ(SysErrorMessage(5), "Access is denied.");
    EXPECT_EQ(SysErrorMessage(112), "There is not enough space on the disk.");
    EXPECT_EQ(SysErrorMessage(99999), "System error 99999.");
}

TEST_F(Files, OnlyWorkFilesOfEndedProcessesAreStale) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        _exit(0);
    waitpid(child, nullptr, 0);  // its number now names no process
    std::string dead = "VLD" + std::to_string(child) + "-abcdef";
    std::string mine;
    ASSERT_TRUE(CreateUniqueFile("C:\\", "VLD", mine));
    EXPECT_EQ(mine.rfind("C:\\VLD" + std::to_string(getpid()) + "-", 0), 0u) << mine;
    for (const std::string& name :
         {dead, std::string("VLD1-abcdef"), std::string("VLDabcdef"), std::string("VLX") + dead})
        WriteTextFile(Host(name), "x");
    fs::create_directories(Host("VLD" + std::to_string(child) + "-folder"));

    EXPECT_EQ(RemoveStaleWorkFiles("C:\\", "VLD"), 1);
    EXPECT_FALSE(fs::exists(Host(dead)));
    for (const std::string& kept : {mine.substr(3), std::string("VLD1-abcdef"),
                                    std::string("VLDabcdef"), std::string("VLX") + dead})
        EXPECT_TRUE(fs::exists(Host(kept))) << kept;
}
