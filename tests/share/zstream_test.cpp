#include "zstream.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <optional>
#include <random>

#include "datetime.h"
#include "exceptions.h"
#include "interaction.h"
#include "platform/files.h"
#include "scriptedinteraction.h"
#include "testenv.h"

namespace fs = std::filesystem;

namespace {

using TBytes = std::vector<uint8_t>;

constexpr int64_t GiB = int64_t{1} << 30;

int32_t DosTime(int year, int month, int day, int hour, int minute, int second) {
    return DateTimeToFileDate(EncodeDateTime({year, month, day, hour, minute, second, 0}));
}

std::string CompressibleText(size_t size) {
    std::string text;
    for (int line = 0; text.size() < size; ++line)
        text += "Line " + std::to_string(line) + " of a text that repeats itself a lot.\n";
    text.resize(size);
    return text;
}

std::string RandomBytes(size_t size) {
    std::mt19937 random(1234);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random() & 0xFF);
    return bytes;
}

TBytes Int32Bytes(int32_t value) {
    TBytes bytes(4);
    std::memcpy(bytes.data(), &value, 4);
    return bytes;
}

TBytes Int64Bytes(int64_t value) {
    TBytes bytes(8);
    std::memcpy(bytes.data(), &value, 8);
    return bytes;
}

void Append(TBytes& bytes, const TBytes& more) {
    bytes.insert(bytes.end(), more.begin(), more.end());
}

void WriteBytes(const std::string& host, const TBytes& bytes) {
    WriteTextFile(host, std::string(bytes.begin(), bytes.end()));
}

// Raises the file size limit of the process for its life, as a full disk would stop
// writes: a write beyond the limit fails instead of raising a signal.
class TFileSizeLimit {
  public:
    explicit TFileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &Saved);
        OldHandler = signal(SIGXFSZ, SIG_IGN);
        rlimit limit = Saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~TFileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &Saved);
        signal(SIGXFSZ, OldHandler);
    }

  private:
    rlimit Saved{};
    sighandler_t OldHandler;
};

// Answers overwrite questions from a script for its life.
class TScriptedAnswers {
  public:
    TScriptedAnswers() : Previous(SetInteraction(&Script)) {}
    ~TScriptedAnswers() { SetInteraction(Previous); }

    TScriptedInteraction Script;

  private:
    TInteraction* Previous;
};

class ZStream : public testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(Dir.Path() / "c");
        UseDriveMap("detect off\nC: fixed " + Dir / "c" + "\n");
    }
    void TearDown() override { UseDefaultTestDriveMap(); }

    std::string Host(const std::string& below) { return Dir / ("c/" + below); }

    // Writes a source file below C:\ and gives it a known last-write time.
    std::string MakeSource(const std::string& name, const std::string& content,
                           int32_t fileTime = DosTime(2005, 5, 5, 12, 0, 0)) {
        WriteTextFile(Host(name), content);
        std::string path = "C:\\" + name;
        for (char& c : path)
            c = c == '/' ? '\\' : c;
        EXPECT_TRUE(FileSetDate(path, fileTime));
        return path;
    }

    // Archives source into archive; returns the archive's size as the writer saw it.
    int64_t MakeArchive(const std::string& source, const std::string& archive,
                        TVZCompLevel level = -1,
                        std::optional<TVZStreamMethod> method = std::nullopt) {
        TVZipStream zip(source);
        zip.SetCompLevel(level);
        if (method)
            zip.SetMethodToUse(*method);
        zip >> archive;
        return zip.LastTargetSize();
    }

    // The names in a folder below C:\.
    std::vector<std::string> Names(const std::string& below) {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(Host(below)))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TTempDir Dir;
};

size_t HeaderSize(const std::string& path) {
    return 33 + path.size();
}

int32_t StoredMethod(const TBytes& archive, const std::string& path) {
    int32_t method;
    std::memcpy(&method, archive.data() + 1 + path.size() + 20, 4);
    return method;
}

}  // namespace

TEST_F(ZStream, HeaderIsStoredFieldByFieldBeforeTheContent) {
    const int32_t fileTime = DosTime(2003, 2, 1, 13, 14, 16);
    const std::string source = MakeSource("docs/a.txt", "hello", fileTime);
    {
        TVZipStream zip(source);
        zip.SetCompLevel(0);
        zip.Header.Key = 0x11223344;
        zip >> std::string("C:\\a.vl");
    }
    TBytes expected;
    Append(expected, {0x45, 0x23, 0x00, 0x00});  // 0x2345
    expected.push_back(static_cast<uint8_t>(source.size()));
    expected.insert(expected.end(), source.begin(), source.end());
    Append(expected, Int64Bytes(5));
    Append(expected, Int32Bytes(fileTime));
    Append(expected, Int32Bytes(0));  // reserved
    Append(expected, Int32Bytes(0));  // stored
    Append(expected, {0x44, 0x33, 0x22, 0x11});
    Append(expected, {0x32, 0x54, 0x00, 0x00});  // 0x5432
    Append(expected, {'h', 'e', 'l', 'l', 'o'});
    EXPECT_EQ(ReadBinaryFile(Host("a.vl")), expected);

    TVUnzipStream unzip("C:\\a.vl");
    EXPECT_TRUE(unzip.Valid);
    EXPECT_EQ(unzip.OriginalPath(), source);
    EXPECT_EQ(unzip.OriginalSize(), 5);
    EXPECT_EQ(unzip.Header.FileTime, fileTime);
    EXPECT_EQ(unzip.Header.Key, 0x11223344);
    EXPECT_EQ(unzip.Header.Method, 0);
}

TEST_F(ZStream, DeflatedContentIsAZlibStreamAfterTheHeader) {
    const std::string source = MakeSource("a.txt", CompressibleText(1000));
    MakeArchive(source, "C:\\a.vl");
    TBytes archive = ReadBinaryFile(Host("a.vl"));
    ASSERT_GT(archive.size(), HeaderSize(source) + 2);
    EXPECT_EQ(StoredMethod(archive, source), 1);
    // RFC 1950: deflate with a 32 KiB window, header check multiple of 31.
    uint8_t cmf = archive[HeaderSize(source)], flg = archive[HeaderSize(source) + 1];
    EXPECT_EQ(cmf, 0x78);
    EXPECT_EQ((cmf * 256 + flg) % 31, 0);
    EXPECT_LT(archive.size(), HeaderSize(source) + 200);
}

TEST_F(ZStream, ContentComesBackUnchangedWhateverTheMethod) {
    struct Content {
        const char* Name;
        std::string Bytes;
    };
    const Content contents[] = {
        {"one byte", "x"},
        {"one buffer", CompressibleText(16384)},
        {"one byte more than a buffer", CompressibleText(16385)},
        {"text of many buffers", CompressibleText(300000)},
        {"random bytes", RandomBytes(70000)},
    };
    struct Setting {
        TVZCompLevel Level;
        std::optional<TVZStreamMethod> Method;
    };
    const Setting settings[] = {{-1, {}}, {0, {}}, {1, {}}, {9, {}}, {-1, sm_Deflated}};
    for (const Content& content : contents) {
        for (const Setting& setting : settings) {
            SCOPED_TRACE(std::string(content.Name) + ", level " + std::to_string(setting.Level) +
                         (setting.Method ? ", deflated" : ""));
            const std::string source = MakeSource("src.bin", content.Bytes);
            MakeArchive(source, "C:\\src.vl", setting.Level, setting.Method);
            fs::remove(Host("out/src.bin"));
            TVUnzipStream unzip("C:\\src.vl");
            ASSERT_TRUE(unzip.Valid);
            EXPECT_EQ(unzip.OriginalSize(), static_cast<int64_t>(content.Bytes.size()));
            ASSERT_TRUE(unzip.Extract("C:\\out\\src.bin", nullptr));
            EXPECT_TRUE(ReadTextFile(Host("out/src.bin")) == content.Bytes);
        }
    }
}

TEST_F(ZStream, EmptySourceGivesTheHeaderAloneAndAnEmptyFile) {
    const std::string source = MakeSource("empty.txt", "");
    for (TVZCompLevel level : {-1, 0}) {
        SCOPED_TRACE(int(level));
        EXPECT_EQ(MakeArchive(source, "C:\\empty.vl", level), int64_t(HeaderSize(source)));
        TBytes archive = ReadBinaryFile(Host("empty.vl"));
        ASSERT_EQ(archive.size(), HeaderSize(source));
        EXPECT_EQ(StoredMethod(archive, source), level == 0 ? 0 : 1);

        WriteTextFile(Host("restored.txt"), "old content");
        TVUnzipStream unzip("C:\\empty.vl");
        unzip.OverwriteMode = 1;
        ASSERT_TRUE(unzip.Extract("C:\\restored.txt", nullptr));
        EXPECT_EQ(fs::file_size(Host("restored.txt")), 0u);
    }
}

TEST_F(ZStream, IncompressibleSourceIsStoredOnlyWhenTheBestMethodIsAsked) {
    const std::string bytes = RandomBytes(100000);
    const std::string source = MakeSource("random.bin", bytes);

    int64_t best = MakeArchive(source, "C:\\best.vl");
    EXPECT_EQ(best, int64_t(HeaderSize(source) + bytes.size()));
    EXPECT_EQ(int64_t(fs::file_size(Host("best.vl"))), best);
    EXPECT_EQ(StoredMethod(ReadBinaryFile(Host("best.vl")), source), 0);

    int64_t deflated = MakeArchive(source, "C:\\deflated.vl", -1, sm_Deflated);
    EXPECT_GT(deflated, best);
    EXPECT_EQ(StoredMethod(ReadBinaryFile(Host("deflated.vl")), source), 1);

    for (const char* archive : {"C:\\best.vl", "C:\\deflated.vl"}) {
        TVUnzipStream unzip(archive);
        ASSERT_TRUE(unzip.Extract(std::string("C:\\out\\") + (archive + 3), nullptr));
    }
    EXPECT_TRUE(ReadTextFile(Host("out/best.vl")) == bytes);
    EXPECT_TRUE(ReadTextFile(Host("out/deflated.vl")) == bytes);
}

TEST_F(ZStream, LevelAndMethodFollowEachOther) {
    const std::string source = MakeSource("a.txt", "a");
    struct Step {
        std::optional<TVZCompLevel> Level;
        std::optional<TVZStreamMethod> Method;
        TVZCompLevel ExpectedLevel;
        TVZStreamMethod ExpectedMethod;
    };
    // Each row applies its setter to the stream the rows before it left.
    const Step steps[] = {
        {{}, {}, -1, sm_BestMethod},            // as constructed
        {0, {}, 0, sm_Stored},                  // no compression means stored
        {{}, sm_Deflated, -1, sm_Deflated},     // deflating needs a level
        {9, {}, 9, sm_Deflated},                // a level keeps the method
        {{}, sm_BestMethod, 9, sm_BestMethod},  // a method keeps the level
        {{}, sm_Stored, 0, sm_Stored},          // storing means level 0
        {5, {}, 5, sm_BestMethod},              // a level after storing
        {{}, sm_Stored, 0, sm_Stored},
        {{}, sm_Stored, 0, sm_Stored},
        {{}, sm_BestMethod, -1, sm_BestMethod},
    };
    TVZipStream zip(source);
    int row = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE(row++);
        if (step.Level)
            zip.SetCompLevel(*step.Level);
        if (step.Method)
            zip.SetMethodToUse(*step.Method);
        EXPECT_EQ(zip.CompLevel(), step.ExpectedLevel);
        EXPECT_EQ(zip.MethodToUse(), step.ExpectedMethod);
    }
}

TEST_F(ZStream, DamagedHeaderIsNotValidAndCannotBeExtracted) {
    const std::string source = MakeSource("a.txt", CompressibleText(500));
    MakeArchive(source, "C:\\a.vl");
    const TBytes archive = ReadBinaryFile(Host("a.vl"));
    const size_t headerSize = HeaderSize(source);

    std::vector<std::pair<std::string, TBytes>> damaged;
    for (size_t length = 0; length < headerSize; ++length)
        damaged.push_back({"cut at " + std::to_string(length),
                           TBytes(archive.begin(), archive.begin() + length)});
    TBytes badMagic1 = archive, badMagic2 = archive;
    badMagic1[0] ^= 1;
    badMagic2[headerSize - 4] ^= 1;
    damaged.push_back({"first magic number", badMagic1});
    damaged.push_back({"second magic number", badMagic2});
    // A path length of 2 GiB in a small file.
    TBytes hugePath = {0x45, 0x23, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F};
    Append(hugePath, TBytes(40, 0));
    damaged.push_back({"path length beyond the file", hugePath});

    for (const auto& [what, bytes] : damaged) {
        SCOPED_TRACE(what);
        WriteBytes(Host("bad.vl"), bytes);
        TVUnzipStream unzip("C:\\bad.vl");
        EXPECT_FALSE(unzip.Valid);
        unzip.OverwriteMode = 1;
        try {
            unzip.Extract("C:\\out\\a.txt", nullptr);
            ADD_FAILURE() << "extracted";
        } catch (const EZStreamError& e) {
            EXPECT_EQ(e.Code, -3);
            EXPECT_STREQ(e.what(), "Error in ZStream: -3");
        }
        EXPECT_FALSE(fs::exists(Host("out"))) << "nothing is made for a damaged archive";
    }
}

TEST_F(ZStream, OverwriteModesDecideWhetherAnExistingFileIsReplaced) {
    const int32_t copyTime = DosTime(2005, 5, 5, 12, 0, 0);
    const std::string source = MakeSource("a.txt", "backed up", copyTime);
    MakeArchive(source, "C:\\a.vl");

    enum TDisk { Older, Equal, Newer, Missing };
    struct Case {
        uint8_t Mode;
        TDisk Disk;
        std::optional<int> Reply;  // the scripted answer when the mode asks
        bool Replaced;
    };
    const Case cases[] = {
        {0, Older, {}, false},   {0, Missing, {}, true},       {1, Newer, {}, true},
        {1, Equal, {}, true},    {2, Older, {}, true},         {2, Equal, {}, false},
        {2, Newer, {}, false},   {3, Newer, IDYES, true},      {3, Older, IDYESTOALL, true},
        {3, Older, IDNO, false}, {3, Newer, IDNOTOALL, false}, {3, Missing, {}, true},
        {7, Newer, {}, true},
    };
    const int32_t diskTimes[] = {DosTime(2004, 1, 1, 8, 0, 0), copyTime,
                                 DosTime(2006, 1, 1, 8, 0, 0), 0};
    for (const Case& c : cases) {
        SCOPED_TRACE("mode " + std::to_string(c.Mode) + ", disk " + std::to_string(c.Disk));
        fs::remove(Host("t/a.txt"));
        if (c.Disk != Missing) {
            WriteTextFile(Host("t/a.txt"), "on disk");
            ASSERT_TRUE(FileSetDate("C:\\t\\a.txt", diskTimes[c.Disk]));
        }
        TScriptedAnswers answers;
        if (c.Reply)
            answers.Script.ExpectOverwrite(*c.Reply);
        TVUnzipStream unzip("C:\\a.vl");
        unzip.OverwriteMode = c.Mode;
        int answer = -1;
        EXPECT_EQ(unzip.Extract("C:\\t\\a.txt", &answer), c.Replaced);
        EXPECT_EQ(answer, c.Reply.value_or(-1));
        EXPECT_EQ(answers.Script.Pending(), 0u);
        EXPECT_TRUE(answers.Script.Unexpected().empty());
        EXPECT_EQ(ReadTextFile(Host("t/a.txt")), c.Replaced ? "backed up" : "on disk");
        EXPECT_EQ(FileAge("C:\\t\\a.txt"), c.Replaced ? copyTime : diskTimes[c.Disk]);
    }
}

TEST_F(ZStream, ExtractMakesTheMissingFoldersAndStampsTheFileTime) {
    const int32_t fileTime = DosTime(1999, 12, 31, 23, 59, 58);
    const std::string source = MakeSource("a.txt", CompressibleText(5000), fileTime);
    MakeArchive(source, "C:\\a.vl");
    TVUnzipStream unzip("C:\\a.vl");
    ASSERT_TRUE(unzip.Extract("C:\\one\\two\\three\\a.txt", nullptr));
    EXPECT_EQ(ReadTextFile(Host("one/two/three/a.txt")), CompressibleText(5000));
    EXPECT_EQ(FileAge("C:\\one\\two\\three\\a.txt"), fileTime);
    EXPECT_EQ(Names("one/two/three"), std::vector<std::string>{"a.txt"});

    // A folder that cannot be made: its place is taken by a file.
    WriteTextFile(Host("blocked"), "a file");
    EXPECT_FALSE(unzip.Extract("C:\\blocked\\a.txt", nullptr));
}

TEST_F(ZStream, DamagedContentLeavesTheExistingFileAsItWas) {
    const std::string text = CompressibleText(100000);
    const std::string source = MakeSource("a.txt", text);
    MakeArchive(source, "C:\\deflated.vl");
    MakeArchive(source, "C:\\stored.vl", 0);
    const TBytes deflated = ReadBinaryFile(Host("deflated.vl"));
    const TBytes stored = ReadBinaryFile(Host("stored.vl"));
    const size_t header = HeaderSize(source);

    auto flipped = [](TBytes bytes, size_t at) {
        for (size_t i = at; i < at + 8 && i < bytes.size(); ++i)
            bytes[i] ^= 0x5A;
        return bytes;
    };
    auto cut = [](const TBytes& bytes, size_t length) {
        return TBytes(bytes.begin(), bytes.begin() + length);
    };
    TBytes trailing = deflated;
    Append(trailing, {'j', 'u', 'n', 'k'});
    const std::pair<std::string, TBytes> damaged[] = {
        {"flipped zlib header", flipped(deflated, header)},
        {"flipped deflate data", flipped(deflated, header + deflated.size() / 20)},
        {"flipped checksum", flipped(deflated, deflated.size() - 4)},
        {"cut after the header", cut(deflated, header)},
        {"cut inside the deflate data", cut(deflated, header + (deflated.size() - header) / 2)},
        {"cut before the checksum", cut(deflated, deflated.size() - 2)},
        {"bytes after the end", trailing},
        {"stored content cut", cut(stored, stored.size() - 1)},
    };

    const int32_t diskTime = DosTime(2001, 1, 1, 1, 0, 0);
    for (const auto& [what, bytes] : damaged) {
        SCOPED_TRACE(what);
        WriteTextFile(Host("t/a.txt"), "precious");
        ASSERT_TRUE(FileSetDate("C:\\t\\a.txt", diskTime));
        WriteBytes(Host("bad.vl"), bytes);
        TVUnzipStream unzip("C:\\bad.vl");
        ASSERT_TRUE(unzip.Valid);
        unzip.OverwriteMode = 1;
        try {
            unzip.Extract("C:\\t\\a.txt", nullptr);
            ADD_FAILURE() << "extracted";
        } catch (const EZStreamError& e) {
            EXPECT_EQ(e.Code, -3);
        }
        EXPECT_EQ(ReadTextFile(Host("t/a.txt")), "precious");
        EXPECT_EQ(FileAge("C:\\t\\a.txt"), diskTime);
        EXPECT_EQ(Names("t"), std::vector<std::string>{"a.txt"}) << "no work file is left";

        // A file that did not exist is not made at all.
        EXPECT_THROW(unzip.Extract("C:\\new\\a.txt", nullptr), EZStreamError);
        EXPECT_TRUE(Names("new").empty());
    }
}

TEST_F(ZStream, ContentInflatingBeyondItsSizeStopsAtOnce) {
    const std::string source = MakeSource("zeros.bin", std::string(1 << 20, '\0'));
    MakeArchive(source, "C:\\a.vl");
    TBytes archive = ReadBinaryFile(Host("a.vl"));
    ASSERT_EQ(StoredMethod(archive, source), 1);
    const TBytes one = Int64Bytes(1);
    std::copy(one.begin(), one.end(), archive.begin() + 5 + source.size());
    WriteBytes(Host("a.vl"), archive);
    WriteTextFile(Host("t/zeros.bin"), "precious");

    TVUnzipStream unzip("C:\\a.vl");
    ASSERT_TRUE(unzip.Valid);
    ASSERT_EQ(unzip.OriginalSize(), 1);
    unzip.OverwriteMode = 1;
    {
        // Writing more than a few KiB would fail with a write error instead.
        TFileSizeLimit limit(65536);
        for (const char* target : {"C:\\t\\zeros.bin", "C:\\new\\zeros.bin"}) {
            SCOPED_TRACE(target);
            try {
                unzip.Extract(target, nullptr);
                ADD_FAILURE() << "extracted";
            } catch (const EZStreamError& e) {
                EXPECT_EQ(e.Code, -3);
            }
        }
    }
    EXPECT_EQ(ReadTextFile(Host("t/zeros.bin")), "precious");
    EXPECT_EQ(Names("t"), std::vector<std::string>{"zeros.bin"}) << "no work file is left";
    EXPECT_TRUE(Names("new").empty());
}

TEST_F(ZStream, FullDiskFailsTheWriteAndLeavesNoPartialFile) {
    const std::string text = RandomBytes(300000);
    const std::string source = MakeSource("a.bin", text);
    MakeArchive(source, "C:\\a.vl");
    WriteTextFile(Host("t/a.bin"), "precious");
    {
        TFileSizeLimit limit(65536);
        TVZipStream zip(source);
        EXPECT_THROW(zip >> std::string("C:\\t\\full.vl"), EWriteError);
        EXPECT_FALSE(fs::exists(Host("t/full.vl")));

        TVUnzipStream unzip("C:\\a.vl");
        unzip.OverwriteMode = 1;
        EXPECT_THROW(unzip.Extract("C:\\t\\a.bin", nullptr), EWriteError);
    }
    EXPECT_EQ(ReadTextFile(Host("t/a.bin")), "precious");
    EXPECT_EQ(Names("t"), std::vector<std::string>{"a.bin"});
}

TEST_F(ZStream, ReplacedFileKeepsItsPermissionsAndItsLinks) {
    const std::string source = MakeSource("a.txt", "backed up");
    MakeArchive(source, "C:\\a.vl");
    TVUnzipStream unzip("C:\\a.vl");
    unzip.OverwriteMode = 1;

    WriteTextFile(Host("t/private.txt"), "old");
    fs::permissions(Host("t/private.txt"), fs::perms(0640));
    ASSERT_TRUE(unzip.Extract("C:\\t\\private.txt", nullptr));
    EXPECT_EQ(fs::status(Host("t/private.txt")).permissions(), fs::perms(0640));

    const mode_t mask = umask(022);
    umask(mask);
    ASSERT_TRUE(unzip.Extract("C:\\t\\new.txt", nullptr));
    EXPECT_EQ(fs::status(Host("t/new.txt")).permissions(), fs::perms(0666 & ~mask));

    // Restoring through a link replaces the file it leads to and keeps the link.
    WriteTextFile(Host("elsewhere/real.txt"), "old");
    fs::create_symlink(Host("elsewhere/real.txt"), Host("t/link.txt"));
    ASSERT_TRUE(unzip.Extract("C:\\t\\link.txt", nullptr));
    EXPECT_TRUE(fs::is_symlink(Host("t/link.txt")));
    EXPECT_EQ(ReadTextFile(Host("elsewhere/real.txt")), "backed up");
    EXPECT_EQ(Names("elsewhere"), std::vector<std::string>{"real.txt"});

    // A read-only file is not replaced behind the user's back.
    WriteTextFile(Host("t/locked.txt"), "old");
    fs::permissions(Host("t/locked.txt"), fs::perms(0444));
    if (access(Host("t/locked.txt").c_str(), W_OK) != 0) {  // root may write anyway
        EXPECT_THROW(unzip.Extract("C:\\t\\locked.txt", nullptr), EFOpenError);
        EXPECT_EQ(ReadTextFile(Host("t/locked.txt")), "old");
    }
    EXPECT_EQ(Names("t"),
              (std::vector<std::string>{"link.txt", "locked.txt", "new.txt", "private.txt"}));
}

TEST_F(ZStream, SizesBeyondFourGiBAreKeptWhole) {
    const int64_t size = 4 * GiB + 10;
    WriteTextFile(Host("huge.bin"), "");
    if (truncate(Host("huge.bin").c_str(), size) != 0)
        GTEST_SKIP() << "the file system refuses a sparse file of 4 GiB";
    struct stat info;
    if (stat(Host("huge.bin").c_str(), &info) != 0 || info.st_blocks * 512 > 1024 * 1024)
        GTEST_SKIP() << "the file system does not keep files sparse";

    TVZipStream zip("C:\\huge.bin");
    EXPECT_EQ(zip.OriginalSize(), size);
    zip.SetCompLevel(0);
    // The archive is stopped after its first bytes; its header is written by then.
    {
        TFileStream target("C:\\huge.vl", fmCreate);
        TFileSizeLimit limit(65536);
        EXPECT_THROW(zip >> &target, EWriteError);
    }
    TVUnzipStream unzip("C:\\huge.vl");
    ASSERT_TRUE(unzip.Valid);
    EXPECT_EQ(unzip.OriginalSize(), size);
    // Stored content shorter than that is a cut-off archive.
    EXPECT_THROW(unzip.Extract("C:\\out\\huge.bin", nullptr), EZStreamError);
    EXPECT_FALSE(fs::exists(Host("out/huge.bin")));
}
