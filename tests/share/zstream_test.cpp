#include "zstream.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <optional>
#include <random>

#include "datetime.h"
#include "exceptions.h"
#include "interaction.h"
#include "platform/files.h"
#include "platform/syserror.h"
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

// CRC-32 (reflected, polynomial 0xEDB88320), bit by bit.
uint32_t Crc32(const TBytes& bytes) {
    uint32_t crc = 0xFFFFFFFF;
    for (uint8_t byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// The header fields the checksum covers after the content, in their stored form.
TBytes CheckedFields(const std::string& path, int64_t size, int32_t fileTime, int32_t method,
                     int32_t key) {
    TBytes fields = {static_cast<uint8_t>(path.size())};
    fields.insert(fields.end(), path.begin(), path.end());
    Append(fields, Int64Bytes(size));
    Append(fields, Int32Bytes(fileTime));
    Append(fields, Int32Bytes(method));
    Append(fields, Int32Bytes(key));
    return fields;
}

// Four bytes that, put after prefix, make checksumOf(prefix + bytes) zero. The checksum is
// affine in those 32 bits: each bit's effect is measured and the system solved over GF(2).
TBytes ForceChecksumToZero(const TBytes& prefix,
                           const std::function<uint32_t(const TBytes&)>& checksumOf) {
    auto withTail = [&](uint32_t tail) {
        TBytes bytes = prefix;
        Append(bytes, Int32Bytes(static_cast<int32_t>(tail)));
        return checksumOf(bytes);
    };
    const uint32_t base = withTail(0);
    uint32_t pivotRow[32] = {}, pivotBits[32] = {};
    for (int bit = 0; bit < 32; ++bit) {
        uint32_t row = withTail(1u << bit) ^ base, bits = 1u << bit;
        for (int b = 31; b >= 0 && row != 0; --b) {
            if (!((row >> b) & 1))
                continue;
            if (pivotRow[b] == 0) {
                pivotRow[b] = row;
                pivotBits[b] = bits;
                break;
            }
            row ^= pivotRow[b];
            bits ^= pivotBits[b];
        }
    }
    uint32_t wanted = base, tail = 0;
    for (int b = 31; b >= 0; --b) {
        if ((wanted >> b) & 1) {
            wanted ^= pivotRow[b];
            tail ^= pivotBits[b];
        }
    }
    return Int32Bytes(static_cast<int32_t>(tail));
}

int32_t StoredReserved(const TBytes& archive, const std::string& path) {
    int32_t reserved;
    std::memcpy(&reserved, archive.data() + 1 + path.size() + 16, 4);
    return reserved;
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
    // The checksum in Reserved: CRC-32 of the content carried on over the stored path,
    // size, date-time, method and key.
    TBytes covered = {'h', 'e', 'l', 'l', 'o'};
    Append(covered, CheckedFields(source, 5, fileTime, 0, 0x11223344));
    const uint32_t checksum = Crc32(covered);

    TBytes expected;
    Append(expected, {0x45, 0x23, 0x00, 0x00});  // 0x2345
    expected.push_back(static_cast<uint8_t>(source.size()));
    expected.insert(expected.end(), source.begin(), source.end());
    Append(expected, Int64Bytes(5));
    Append(expected, Int32Bytes(fileTime));
    Append(expected, Int32Bytes(static_cast<int32_t>(checksum)));  // reserved
    Append(expected, Int32Bytes(0));                               // stored
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
        {"the most text deflated whole", CompressibleText(TVZipStream::WholeDeflateLimit)},
        {"one byte more, streamed", CompressibleText(TVZipStream::WholeDeflateLimit + 1)},
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

TEST_F(ZStream, ALevelZlibDoesNotKnowIsRefusedWhetherTheContentIsDeflatedWholeOrStreamed) {
    for (size_t size : {size_t{1000}, size_t(TVZipStream::WholeDeflateLimit) + 1}) {
        SCOPED_TRACE(size);
        const std::string source = MakeSource("a.txt", CompressibleText(size));
        TVZipStream zip(source);
        zip.SetCompLevel(10);
        TMemoryStream archive;
        EXPECT_THROW(zip.WriteArchive(archive), EZStreamError);
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

// The reader takes in the first kilobyte at once: a longer header is read on from the file.
TEST_F(ZStream, HeadersLongerThanTheFirstReadAreReadWhole) {
    for (size_t nameLength : {200u, 1000u, 1100u, 3000u}) {
        SCOPED_TRACE(nameLength);
        // Folders of up to 200 characters, as the host's names allow.
        std::string below;
        while (below.size() + 201 < nameLength)
            below += std::string(200, 'd') + "/";
        below += std::string(nameLength - below.size(), 'f');
        const std::string source = MakeSource(below, CompressibleText(3000));
        MakeArchive(source, "C:\\long.vl");
        TVUnzipStream unzip("C:\\long.vl");
        ASSERT_TRUE(unzip.Valid);
        EXPECT_EQ(unzip.OriginalPath(), source);
        unzip.OverwriteMode = 1;
        ASSERT_TRUE(unzip.Extract("C:\\out\\long.txt", nullptr));
        EXPECT_EQ(ReadTextFile(Host("out/long.txt")), CompressibleText(3000));
        fs::remove_all(Host("d" + std::string(199, 'd')));
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

TEST_F(ZStream, ReplacedFileKeepsItsPermissions) {
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

    // A read-only file is not replaced behind the user's back.
    WriteTextFile(Host("t/locked.txt"), "old");
    fs::permissions(Host("t/locked.txt"), fs::perms(0444));
    if (access(Host("t/locked.txt").c_str(), W_OK) != 0) {  // root may write anyway
        EXPECT_THROW(unzip.Extract("C:\\t\\locked.txt", nullptr), EFOpenError);
        EXPECT_EQ(ReadTextFile(Host("t/locked.txt")), "old");
    }
    EXPECT_EQ(Names("t"), (std::vector<std::string>{"locked.txt", "new.txt", "private.txt"}));
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
    // The archive is stopped after its first bytes; its header is written by then, but as
    // that of an unfinished archive, which no reader takes for a valid one.
    {
        TFileStream target("C:\\huge.vl", fmCreate);
        TFileSizeLimit limit(65536);
        EXPECT_THROW(zip >> &target, EWriteError);
    }
    {
        TFileStream written("C:\\huge.vl", fmOpenReadWrite);
        TVZStreamHeader header;
        header.Read(written);
        EXPECT_FALSE(header.IsValid());
        EXPECT_EQ(header.OriginalSize, size);
        // Finished by hand, it is an archive cut off.
        written.SetPosition(0);
        written.WriteValue(TVZStreamHeader::MagicNumber1);
    }
    TVUnzipStream unzip("C:\\huge.vl");
    ASSERT_TRUE(unzip.Valid);
    EXPECT_EQ(unzip.OriginalSize(), size);
    // Stored content shorter than that is a cut-off archive.
    EXPECT_THROW(unzip.Extract("C:\\out\\huge.bin", nullptr), EZStreamError);
    EXPECT_FALSE(fs::exists(Host("out/huge.bin")));
}

TEST_F(ZStream, EverySingleBitFlipIsFoundUnlessItChangesNothing) {
    const std::string text = CompressibleText(300);
    const int32_t fileTime = DosTime(2005, 5, 5, 12, 0, 0);
    const std::string source = MakeSource("a.txt", text, fileTime);
    for (TVZCompLevel level : {0, -1}) {
        SCOPED_TRACE(level == 0 ? "stored" : "deflated");
        MakeArchive(source, "C:\\a.vl", level);
        const TBytes good = ReadBinaryFile(Host("a.vl"));
        WriteBytes(Host("bad.vl"), good);
        // Each flip is made in place: rewriting the file whole would wait for the disk.
        std::fstream bad(Host("bad.vl"), std::ios::in | std::ios::out | std::ios::binary);
        auto put = [&bad](size_t at, uint8_t byte) {
            bad.seekp(static_cast<std::streamoff>(at));
            bad.put(static_cast<char>(byte));
            bad.flush();
        };
        int flips = 0, refused = 0, restoredWrong = 0;
        for (size_t bit = 0; bit < good.size() * 8; ++bit) {
            if (bit > 0)
                put((bit - 1) / 8, good[(bit - 1) / 8]);
            put(bit / 8, good[bit / 8] ^ static_cast<uint8_t>(1u << (bit % 8)));
            fs::remove(Host("out/a.txt"));
            ++flips;
            TVUnzipStream unzip("C:\\bad.vl");
            unzip.OverwriteMode = 1;
            try {
                ASSERT_TRUE(unzip.Extract("C:\\out\\a.txt", nullptr));
            } catch (const EZStreamError& e) {
                EXPECT_EQ(e.Code, -3);
                ++refused;
                continue;
            }
            // Only a bit that carries nothing may pass: what is restored, and what the
            // header says of where it goes and whose it is, is all the original's.
            const TVZStreamHeader& header = unzip.Header;
            bool original = ReadTextFile(Host("out/a.txt")) == text &&
                            FileAge("C:\\out\\a.txt") == fileTime &&
                            header.OriginalPath == source && header.Key == 0 &&
                            header.OriginalSize == int64_t(text.size());
            if (!original) {
                ++restoredWrong;
                ADD_FAILURE() << "bit " << bit << " restored as good";
            }
        }
        EXPECT_EQ(restoredWrong, 0) << "of " << flips << " flips, " << refused << " refused";
        EXPECT_GT(refused, flips * 9 / 10);
        fs::remove_all(Host("out"));
    }
}

TEST_F(ZStream, CopiesWithoutAChecksumAreRestoredAsBefore) {
    const std::string text = CompressibleText(40000);
    const std::string source = MakeSource("a.txt", text);
    for (TVZCompLevel level : {0, -1}) {
        SCOPED_TRACE(int(level));
        MakeArchive(source, "C:\\a.vl", level);
        TBytes archive = ReadBinaryFile(Host("a.vl"));
        ASSERT_NE(StoredReserved(archive, source), 0) << "a new copy carries a checksum";
        const TBytes none = Int32Bytes(0);
        std::copy(none.begin(), none.end(), archive.begin() + 1 + source.size() + 16);
        WriteBytes(Host("old.vl"), archive);

        TVUnzipStream unzip("C:\\old.vl");
        ASSERT_TRUE(unzip.Valid);
        EXPECT_FALSE(unzip.Header.HasChecksum());
        unzip.OverwriteMode = 1;
        ASSERT_TRUE(unzip.Extract("C:\\out\\a.txt", nullptr));
        EXPECT_TRUE(ReadTextFile(Host("out/a.txt")) == text);
    }
}

TEST_F(ZStream, AChecksumThatComesOutAsZeroIsStillKeptAndChecked) {
    const int32_t fileTime = DosTime(2005, 5, 5, 12, 0, 0);
    const std::string path = "C:\\zero.bin";
    const std::string start = CompressibleText(100);
    const TBytes prefix(start.begin(), start.end());
    const TBytes tail = ForceChecksumToZero(prefix, [&](const TBytes& content) {
        TBytes covered = content;
        Append(covered, CheckedFields(path, int64_t(content.size()), fileTime, 0, 0));
        return Crc32(covered);
    });
    TBytes content = prefix;
    Append(content, tail);
    const std::string bytes(content.begin(), content.end());
    MakeSource("zero.bin", bytes, fileTime);

    MakeArchive(path, "C:\\zero.vl", 0);
    TBytes archive = ReadBinaryFile(Host("zero.vl"));
    EXPECT_EQ(uint32_t(StoredReserved(archive, path)), TVZStreamHeader::ZeroChecksum)
        << "0 would read as a copy without a checksum";
    {
        TVUnzipStream unzip("C:\\zero.vl");
        ASSERT_TRUE(unzip.Extract("C:\\out\\zero.bin", nullptr));
        EXPECT_TRUE(ReadTextFile(Host("out/zero.bin")) == bytes);
    }
    archive.back() ^= 0x01;
    WriteBytes(Host("zero.vl"), archive);
    TVUnzipStream damaged("C:\\zero.vl");
    EXPECT_THROW(damaged.Extract("C:\\out\\again.bin", nullptr), EZStreamError);
    EXPECT_FALSE(fs::exists(Host("out/again.bin")));
}

TEST_F(ZStream, AStoredPathWithANulIsDamage) {
    const std::string source = MakeSource("a.txt", "x");
    MakeArchive(source, "C:\\a.vl", 0);
    TBytes archive = ReadBinaryFile(Host("a.vl"));
    archive[5 + 3] = '\0';  // "C:\\a.txt" becomes "C:\\\0.txt"
    WriteBytes(Host("a.vl"), archive);
    TVUnzipStream unzip("C:\\a.vl");
    EXPECT_FALSE(unzip.Valid);
    EXPECT_THROW(unzip.Extract("C:\\out\\a.txt", nullptr), EZStreamError);
}

TEST_F(ZStream, AStopRequestEndsTheWorkAndRemovesWhatItMade) {
    const std::string text = RandomBytes(200000);
    const std::string source = MakeSource("a.bin", text);
    MakeArchive(source, "C:\\a.vl", 0);
    MakeArchive(source, "C:\\d.vl", -1, sm_Deflated);
    WriteTextFile(Host("t/a.bin"), "precious");
    WriteTextFile(Host("t/old.vl"), "precious");
    int asked = 0;
    auto stopOnThirdStep = [&asked] { return ++asked >= 3; };

    for (const char* archive : {"C:\\a.vl", "C:\\d.vl"}) {
        for (const char* target : {"C:\\t\\a.bin", "C:\\t\\new.bin"}) {
            SCOPED_TRACE(std::string(archive) + " to " + target);
            asked = 0;
            TVUnzipStream unzip(archive);
            unzip.OverwriteMode = 1;
            unzip.StopRequested = stopOnThirdStep;
            EXPECT_THROW(unzip.Extract(target, nullptr), EAbort);
            EXPECT_EQ(asked, 3);
        }
    }
    for (const char* target : {"C:\\t\\old.vl", "C:\\t\\new.vl"}) {
        for (TVZCompLevel level : {0, -1}) {
            SCOPED_TRACE(std::string(target) + ", level " + std::to_string(level));
            asked = 0;
            TVZipStream zip(source);
            zip.SetCompLevel(level);
            zip.StopRequested = stopOnThirdStep;
            EXPECT_THROW(zip.SaveAs(target, TVZipStream::efReplace), EAbort);
            EXPECT_EQ(asked, 3);
        }
    }
    EXPECT_EQ(ReadTextFile(Host("t/a.bin")), "precious");
    EXPECT_EQ(ReadTextFile(Host("t/old.vl")), "precious");
    EXPECT_EQ(Names("t"), (std::vector<std::string>{"a.bin", "old.vl"})) << "no work file left";
}

TEST_F(ZStream, AnArchiveIsWrittenUnderItsNameOnlyWhenComplete) {
    const std::string source = MakeSource("a.txt", CompressibleText(50000));
    WriteTextFile(Host("t/kept.vl"), "someone else's");
    TVZipStream zip(source);
    try {
        zip.SaveAs("C:\\t\\kept.vl", TVZipStream::efKeep);
        ADD_FAILURE() << "replaced";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.ErrorCode, ERROR_ALREADY_EXISTS);
    }
    EXPECT_EQ(ReadTextFile(Host("t/kept.vl")), "someone else's");
    EXPECT_EQ(Names("t"), std::vector<std::string>{"kept.vl"});

    zip.SaveAs("C:\\t\\new.vl", TVZipStream::efKeep);
    zip.SaveAs("C:\\t\\kept.vl", TVZipStream::efReplace);
    for (const char* archive : {"C:\\t\\new.vl", "C:\\t\\kept.vl"}) {
        TVUnzipStream unzip(archive);
        EXPECT_TRUE(unzip.Valid) << archive;
    }
    const mode_t mask = umask(022);
    umask(mask);
    EXPECT_EQ(fs::status(Host("t/new.vl")).permissions(), fs::perms(0666 & ~mask))
        << "an archive gets the mode of a new file, not that of a private work file";
    EXPECT_EQ(Names("t"), (std::vector<std::string>{"kept.vl", "new.vl"}));
}

TEST_F(ZStream, WorkFilesOfEndedProcessesAreRemovedByTheNextRunInTheirFolder) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        _exit(0);
    waitpid(child, nullptr, 0);  // its number now names no process
    const std::string dead = std::to_string(child) + "-abcdef";
    const std::string source = MakeSource("a.txt", "backed up");
    MakeArchive(source, "C:\\a.vl");
    for (const std::string& name : {".VLR" + dead, ".VLA" + dead, std::string(".VLR1-abcdef")})
        WriteTextFile(Host("t/" + name), "left behind");

    TVUnzipStream unzip("C:\\a.vl");
    ASSERT_TRUE(unzip.Extract("C:\\t\\a.txt", nullptr));
    EXPECT_EQ(Names("t"), (std::vector<std::string>{".VLA" + dead, ".VLR1-abcdef", "a.txt"}))
        << "a restore removes the restore work files of ended processes, and only those";
    TVZipStream zip(source);
    zip.SaveAs("C:\\t\\a.vl", TVZipStream::efKeep);
    EXPECT_EQ(Names("t"), (std::vector<std::string>{".VLR1-abcdef", "a.txt", "a.vl"}));
}

TEST_F(ZStream, LargeContentDeflatedOnSeveralThreadsIsAnArchiveLikeAnyOther) {
    const int64_t size = TVZipStream::ParallelDeflateThreshold + 1000;
    const std::string text = CompressibleText(size_t(size) / 2);
    const std::string mixed = text + RandomBytes(size_t(size) - text.size());
    const std::string random = RandomBytes(size_t(size));
    struct Case {
        const char* Name;
        const std::string& Content;
        std::optional<TVZStreamMethod> Method;
        int32_t ExpectedMethod;
    };
    const Case cases[] = {
        {"text and random bytes", mixed, {}, 1},
        {"random bytes, best method", random, {}, 0},
        {"random bytes, deflated", random, sm_Deflated, 1},
    };
    for (const Case& c : cases) {
        int64_t serialSize = 0;
        for (unsigned threads : {1u, 4u}) {
            SCOPED_TRACE(std::string(c.Name) + ", " + std::to_string(threads) + " threads");
            const std::string source = MakeSource("big.bin", c.Content);
            TVZipStream zip(source);
            if (c.Method)
                zip.SetMethodToUse(*c.Method);
            zip.SetDeflateThreads(threads);
            int asked = 0;
            zip.StopRequested = [&asked] { return ++asked < 0; };
            zip >> std::string("C:\\big.vl");
            const TBytes archive = ReadBinaryFile(Host("big.vl"));
            EXPECT_EQ(zip.LastTargetSize(), int64_t(archive.size()));
            ASSERT_EQ(StoredMethod(archive, source), c.ExpectedMethod);

            TVUnzipStream unzip("C:\\big.vl");
            ASSERT_TRUE(unzip.Valid);
            ASSERT_TRUE(unzip.Extract("C:\\out\\big.bin", nullptr));
            EXPECT_TRUE(ReadTextFile(Host("out/big.bin")) == c.Content);
            fs::remove(Host("out/big.bin"));
            if (c.ExpectedMethod == 0)
                continue;
            // One thread deflates in steps of 16 KiB, several in pieces of 1 MiB; a stop is
            // asked for before each.
            const int pieces = int((size + (1 << 20) - 1) >> 20);
            if (threads == 1)
                EXPECT_GT(asked, 50 * pieces);
            else
                EXPECT_EQ(asked, pieces);

            // Any zlib reader takes the content for one whole stream.
            const size_t contentStart = HeaderSize(source);
            uLong streamLength = uLong(archive.size() - contentStart);
            TBytes content(c.Content.size() + 1);
            uLongf contentLength = uLongf(content.size());
            EXPECT_EQ(uncompress2(content.data(), &contentLength, archive.data() + contentStart,
                                  &streamLength),
                      Z_OK);
            EXPECT_EQ(streamLength, archive.size() - contentStart);
            content.resize(contentLength);
            EXPECT_TRUE(content == TBytes(c.Content.begin(), c.Content.end()));
            if (threads == 1)
                serialSize = int64_t(archive.size());
            else
                EXPECT_LE(double(archive.size()), double(serialSize) * 1.01);
        }
    }
}

TEST_F(ZStream, LargeContentOnSeveralThreadsStopsAndFailsLeavingNothingBehind) {
    const std::string content = RandomBytes(size_t(TVZipStream::ParallelDeflateThreshold) * 2);
    const std::string source = MakeSource("big.bin", content);
    const size_t threadsBefore = RunningThreads();
    WriteTextFile(Host("t/old.vl"), "precious");
    {
        int asked = 0;
        TVZipStream zip(source);
        zip.SetDeflateThreads(4);
        zip.StopRequested = [&asked] { return ++asked >= 3; };
        EXPECT_THROW(zip.SaveAs("C:\\t\\old.vl", TVZipStream::efReplace), EAbort);
        EXPECT_EQ(asked, 3);
        EXPECT_EQ(RunningThreads(), threadsBefore);
    }
    {
        TFileSizeLimit limit(1 << 20);
        TVZipStream zip(source);
        zip.SetDeflateThreads(4);
        EXPECT_THROW(zip.SaveAs("C:\\t\\full.vl", TVZipStream::efReplace), EWriteError);
        EXPECT_EQ(RunningThreads(), threadsBefore);
    }
    EXPECT_EQ(ReadTextFile(Host("t/old.vl")), "precious");
    EXPECT_EQ(Names("t"), std::vector<std::string>{"old.vl"}) << "no work file left";
}

namespace {

// C: and D: side by side; "outside" lies under no drive.
class ZStreamLinks : public ZStream {
  protected:
    void SetUp() override {
        ZStream::SetUp();
        UseDriveMap("detect off\nC: fixed " + Dir / "c" + "\nD: fixed " + Dir / "d" + "\n");
        MakeArchive(MakeSource("a.txt", "backed up"), "C:\\a.vl");
    }

    // Puts back the places a link may lead to, as they were.
    void Reset() {
        for (const char* folder : {"c/t", "c/real", "d", "outside"})
            fs::remove_all(Dir.Path() / folder);
        for (const char* folder : {"c/t", "c/real", "d", "outside/dir"})
            fs::create_directories(Dir.Path() / folder);
        WriteTextFile(Dir.Path() / "outside/victim.txt", "victim");
        WriteTextFile(Dir.Path() / "c/other.txt", "other");
    }

    std::vector<std::string> Below(const std::string& folder) {
        std::vector<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(Dir.Path() / folder))
            names.push_back(fs::relative(entry.path(), Dir.Path() / folder).string());
        std::sort(names.begin(), names.end());
        return names;
    }

    void Link(const std::string& to, const std::string& at) {
        fs::create_symlink(Dir.Path() / to, Dir.Path() / at);
    }
};

}  // namespace

TEST_F(ZStreamLinks, NothingIsWrittenThroughALink) {
    struct Case {
        const char* What;
        std::function<void()> Arrange;
        const char* Target;
        const char* Written;  // where the file is restored, below the sandbox; null: refused
    };
    const Case cases[] = {
        {"a link to a file under no drive", [&] { Link("outside/victim.txt", "c/t/a.txt"); },
         "C:\\t\\a.txt", "c/t/a.txt"},
        {"a link to a file on the same drive", [&] { Link("c/other.txt", "c/t/a.txt"); },
         "C:\\t\\a.txt", "c/t/a.txt"},
        {"a link that leads nowhere", [&] { Link("outside/none.txt", "c/t/a.txt"); },
         "C:\\t\\a.txt", "c/t/a.txt"},
        {"a link to a folder", [&] { Link("outside/dir", "c/t/a.txt"); }, "C:\\t\\a.txt",
         "c/t/a.txt"},
        {"a linked folder on the way out of the drive", [&] { Link("outside", "c/t/out"); },
         "C:\\t\\out\\a.txt", nullptr},
        {"a missing folder below a link out of the drive", [&] { Link("outside", "c/t/out"); },
         "C:\\t\\out\\new\\a.txt", nullptr},
        {"a linked folder into another drive", [&] { Link("d", "c/t/tod"); }, "C:\\t\\tod\\a.txt",
         nullptr},
        {"a linked folder that stays on its drive", [&] { Link("c/real", "c/t/in"); },
         "C:\\t\\in\\a.txt", "c/real/a.txt"},
        {"a linked folder under no drive reached by a host path",
         [&] { Link("outside", "c/t/out"); }, nullptr, "outside/a.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        Reset();
        c.Arrange();
        const std::string target = c.Target ? c.Target : Dir / "c/t/out/a.txt";
        TVUnzipStream unzip("C:\\a.vl");
        unzip.OverwriteMode = 1;
        if (c.Written) {
            ASSERT_TRUE(unzip.Extract(target, nullptr));
            EXPECT_FALSE(fs::is_symlink(Dir.Path() / c.Written));
            EXPECT_EQ(ReadTextFile(Dir.Path() / c.Written), "backed up");
        } else {
            try {
                unzip.Extract(target, nullptr);
                ADD_FAILURE() << "restored";
            } catch (const EFCreateError& e) {
                EXPECT_NE(std::string(e.what()).find("leads out of drive C: through a symbolic "
                                                     "link"),
                          std::string::npos)
                    << e.what();
            }
        }
        EXPECT_EQ(ReadTextFile(Dir.Path() / "outside/victim.txt"), "victim");
        EXPECT_EQ(ReadTextFile(Dir.Path() / "c/other.txt"), "other");
        std::vector<std::string> outside = {"dir", "victim.txt"};
        if (!c.Target)
            outside = {"a.txt", "dir", "victim.txt"};
        EXPECT_EQ(Below("outside"), outside);
        EXPECT_TRUE(Below("d").empty());
    }
}

TEST_F(ZStreamLinks, ALinkIsAnExistingFileToTheOverwriteRule) {
    Reset();
    Link("outside/none.txt", "c/t/a.txt");
    TVUnzipStream unzip("C:\\a.vl");
    unzip.OverwriteMode = 0;
    EXPECT_FALSE(unzip.Extract("C:\\t\\a.txt", nullptr));
    EXPECT_TRUE(fs::is_symlink(Dir.Path() / "c/t/a.txt"));
    EXPECT_FALSE(fs::exists(Dir.Path() / "outside/none.txt"));
}

TEST_F(ZStreamLinks, WhatIsNoFileInTheTargetsPlaceIsRefusedAndKept) {
    Reset();
    fs::create_directories(Dir.Path() / "c/t/folder/inside");
    ASSERT_EQ(mkfifo((Dir / "c/t/pipe").c_str(), 0600), 0);
    struct Case {
        const char* Target;
        const char* Reason;
    };
    const Case cases[] = {
        {"C:\\t\\folder", "A folder of that name is in its place."},
        {"C:\\t\\pipe", "A pipe, device or socket of that name is in its place."},
        {"C:\\t\\folder\\..", "The path ends in a folder, not in a file name."},
        {"C:\\t\\.", "The path ends in a folder, not in a file name."},
        {"C:\\t\\", "The path ends in a folder, not in a file name."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Target);
        TVUnzipStream unzip("C:\\a.vl");
        unzip.OverwriteMode = 1;
        try {
            unzip.Extract(c.Target, nullptr);
            ADD_FAILURE() << "restored";
        } catch (const EFCreateError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "Cannot create file \"" + std::string(c.Target) + "\". " + c.Reason);
        }
    }
    EXPECT_EQ(Below("c/t"), (std::vector<std::string>{"folder", "folder/inside", "pipe"}));
    EXPECT_TRUE(fs::is_fifo(Dir.Path() / "c/t/pipe"));
}
