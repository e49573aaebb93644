#include "paralleldeflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "exceptions.h"
#include "testenv.h"
#include "zstream.h"

namespace {

using TBytes = std::vector<uint8_t>;

constexpr int64_t SmallPiece = 64 * 1024;
constexpr int64_t DefaultPiece = TParallelDeflate::DefaultPieceSize;

TBytes Text(size_t size) {
    std::string text;
    for (int line = 0; text.size() < size; ++line)
        text += "Entry " + std::to_string(line * 7919 % 100003) + " of a ledger, account " +
                std::to_string(line % 97) + ", balance carried forward.\n";
    return TBytes(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(size));
}

TBytes Random(size_t size) {
    const std::string bytes = Incompressible(size, 99);
    return TBytes(bytes.begin(), bytes.end());
}

TBytes Zeros(size_t size) {
    return TBytes(size, 0);
}

// Text, random bytes and zeros in turn, so that pieces cut across changes of kind.
TBytes Mixed(size_t size) {
    TBytes bytes;
    const TBytes parts[] = {Text(100000), Random(70000), Zeros(50000)};
    while (bytes.size() < size)
        for (const TBytes& part : parts)
            bytes.insert(bytes.end(), part.begin(), part.end());
    bytes.resize(size);
    return bytes;
}

// A stream that fails once a given number of bytes has gone through it, as a file on a
// damaged medium or a full disk does.
class TFailingStream : public TMemoryStream {
  public:
    TFailingStream(TBytes data, int64_t failAfter)
        : TMemoryStream(std::move(data)), FailAfter(failAfter) {}

    int64_t Read(void* buffer, int64_t count) override {
        if (Pass(count))
            throw EReadError("Data error (cyclic redundancy check).");
        return TMemoryStream::Read(buffer, count);
    }
    int64_t Write(const void* buffer, int64_t count) override {
        if (Pass(count))
            throw EWriteError("There is not enough space on the disk.");
        return TMemoryStream::Write(buffer, count);
    }

  private:
    bool Pass(int64_t count) {
        Passed += count;
        return Passed > FailAfter;
    }

    int64_t FailAfter;
    int64_t Passed = 0;
};

struct TCompressed {
    TBytes Stream;
    uint32_t Crc = 0;
    uint32_t Adler = 0;
    int PeakPieces = 0;
};

TCompressed Compress(const TBytes& content, unsigned threads, int64_t pieceSize,
                     int level = Z_DEFAULT_COMPRESSION) {
    TMemoryStream source(content);
    TMemoryStream target;
    TParallelDeflate deflater(level, threads, pieceSize);
    TCompressed result;
    result.Crc = deflater.Compress(source, target, static_cast<int64_t>(content.size()));
    result.Adler = deflater.Adler();
    result.PeakPieces = deflater.PeakPiecesInFlight();
    result.Stream = std::move(target.Data);
    return result;
}

// What a plain zlib reader makes of stream: the content, or a failure when zlib reports
// an error or the stream does not end exactly where its bytes do.
TBytes Uncompress(const TBytes& stream, size_t expectedSize) {
    TBytes content(expectedSize + 1);  // room for one byte too many
    uLongf contentLength = static_cast<uLongf>(content.size());
    uLong streamLength = static_cast<uLong>(stream.size());
    const int result = uncompress2(content.data(), &contentLength, stream.data(), &streamLength);
    EXPECT_EQ(result, Z_OK);
    EXPECT_EQ(streamLength, stream.size()) << "bytes after the end of the zlib stream";
    content.resize(contentLength);
    return content;
}

// The serial zlib stream of content at level.
TBytes CompressInOnePass(const TBytes& content, int level = Z_DEFAULT_COMPRESSION) {
    uLongf length = compressBound(static_cast<uLong>(content.size()));
    TBytes stream(length);
    EXPECT_EQ(compress2(stream.data(), &length, content.data(), static_cast<uLong>(content.size()),
                        level),
              Z_OK);
    stream.resize(length);
    return stream;
}

uint32_t BigEndianTail(const TBytes& stream) {
    const uint8_t* tail = stream.data() + stream.size() - 4;
    return uint32_t{tail[0]} << 24 | uint32_t{tail[1]} << 16 | uint32_t{tail[2]} << 8 | tail[3];
}

}  // namespace

TEST(ParallelDeflate, EveryCutOfTheContentReadsBackAsOneZlibStream) {
    struct Case {
        const char* Name;
        TBytes Content;
        int64_t PieceSize;
    };
    const Case cases[] = {
        {"nothing", {}, SmallPiece},
        {"one byte", Text(1), SmallPiece},
        {"a piece less one byte", Text(SmallPiece - 1), SmallPiece},
        {"one piece", Text(SmallPiece), SmallPiece},
        {"a piece and one byte", Text(SmallPiece + 1), SmallPiece},
        {"several pieces", Mixed(7 * SmallPiece + 123), SmallPiece},
        {"incompressible", Random(3 * SmallPiece + 5), SmallPiece},
        {"zeros", Zeros(9 * SmallPiece), SmallPiece},
        // The dictionary of a piece reaches back over several smaller ones.
        {"pieces smaller than the dictionary", Mixed(200000), 1000},
        {"default pieces, one byte short", Mixed(DefaultPiece - 1), DefaultPiece},
        {"default pieces, exactly two", Mixed(2 * DefaultPiece), DefaultPiece},
        {"default pieces, one byte over", Mixed(2 * DefaultPiece + 1), DefaultPiece},
    };
    for (const Case& c : cases) {
        const TBytes onOneThread = Compress(c.Content, 1, c.PieceSize).Stream;
        for (unsigned threads : {1u, 2u, 5u}) {
            SCOPED_TRACE(std::string(c.Name) + ", " + std::to_string(threads) + " threads");
            const TCompressed compressed = Compress(c.Content, threads, c.PieceSize);
            EXPECT_TRUE(compressed.Stream == onOneThread) << "the threads change the stream";
            EXPECT_TRUE(Uncompress(compressed.Stream, c.Content.size()) == c.Content);
            EXPECT_EQ(compressed.Crc, crc32(0, c.Content.data(), uInt(c.Content.size())));
            const uint32_t adler = adler32(1, c.Content.data(), uInt(c.Content.size()));
            EXPECT_EQ(compressed.Adler, adler);
            EXPECT_EQ(BigEndianTail(compressed.Stream), adler);
        }
    }
}

TEST(ParallelDeflate, TheZlibHeaderIsTheOneZlibWritesForTheLevel) {
    const TBytes content = Text(3 * SmallPiece);
    for (int level : {-1, 0, 1, 5, 6, 9}) {
        SCOPED_TRACE(level);
        const TBytes stream = Compress(content, 3, SmallPiece, level).Stream;
        const TBytes serial = CompressInOnePass(content, level);
        ASSERT_GE(stream.size(), 2u);
        EXPECT_EQ(stream[0], serial[0]);
        EXPECT_EQ(stream[1], serial[1]);
        EXPECT_TRUE(Uncompress(stream, content.size()) == content);
    }
}

TEST(ParallelDeflate, PrimedPiecesCompressAlmostAsWellAsOnePass) {
    struct Case {
        const char* Name;
        TBytes Content;
        int64_t PieceSize;
        double MostLarger;  // the largest size allowed, in parts of the serial size
    };
    // Without the dictionary every piece would start from nothing: text pieces of 64 KiB
    // then come out several percent larger.
    const Case cases[] = {
        {"text, small pieces", Text(40 * SmallPiece), SmallPiece, 1.01},
        {"mixed, default pieces", Mixed(6 * DefaultPiece), DefaultPiece, 1.005},
        {"incompressible, default pieces", Random(3 * DefaultPiece), DefaultPiece, 1.001},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const double serial = static_cast<double>(CompressInOnePass(c.Content).size());
        const double pieces =
            static_cast<double>(Compress(c.Content, 2, c.PieceSize).Stream.size());
        EXPECT_LE(pieces, serial * c.MostLarger);
    }
}

TEST(ParallelDeflate, OnlyAFewPiecesAreHeldAtATime) {
    const TBytes content = Mixed(40 * SmallPiece);
    for (unsigned threads : {1u, 2u, 4u}) {
        SCOPED_TRACE(threads);
        const int peak = Compress(content, threads, SmallPiece).PeakPieces;
        EXPECT_GE(peak, 1);
        EXPECT_LE(peak, threads == 1 ? 1 : int(2 * threads));
    }
}

TEST(ParallelDeflate, FailuresPassOnWithEveryThreadEnded) {
    const TBytes content = Mixed(20 * SmallPiece);
    const int64_t size = static_cast<int64_t>(content.size());
    const size_t threadsBefore = RunningThreads();
    enum TOutcome { ReadError, WriteError, Stopped };
    struct Case {
        const char* Name;
        int64_t ReadFailsAfter;
        int64_t WriteFailsAfter;
        int StopAtPiece;  // 0: never
        int64_t Count;
        TOutcome Expected;
    };
    const Case cases[] = {
        {"read fails mid-file", 5 * SmallPiece + 17, INT64_MAX, 0, size, ReadError},
        {"source ends early", INT64_MAX, INT64_MAX, 0, size + 1, ReadError},
        {"write fails mid-file", INT64_MAX, 30000, 0, size, WriteError},
        {"write of the header fails", INT64_MAX, 0, 0, size, WriteError},
        {"write of the trailer fails", INT64_MAX, 5, 0, 0, WriteError},
        {"stop at the third piece", INT64_MAX, INT64_MAX, 3, size, Stopped},
        {"stop before the first piece", INT64_MAX, INT64_MAX, 1, size, Stopped},
    };
    for (const Case& c : cases) {
        for (unsigned threads : {1u, 3u}) {
            SCOPED_TRACE(std::string(c.Name) + ", " + std::to_string(threads) + " threads");
            TFailingStream source(content, c.ReadFailsAfter);
            TFailingStream target({}, c.WriteFailsAfter);
            TParallelDeflate deflater(Z_DEFAULT_COMPRESSION, threads, SmallPiece);
            int asked = 0;
            if (c.StopAtPiece > 0)
                deflater.StopRequested = [&] { return ++asked >= c.StopAtPiece; };
            std::optional<TOutcome> outcome;
            try {
                deflater.Compress(source, target, c.Count);
            } catch (const EReadError&) {
                outcome = ReadError;
            } catch (const EWriteError&) {
                outcome = WriteError;
            } catch (const EAbort&) {
                outcome = Stopped;
            }
            EXPECT_EQ(outcome, c.Expected);
            EXPECT_EQ(asked, c.StopAtPiece);
            EXPECT_EQ(RunningThreads(), threadsBefore);
        }
    }
}

TEST(ParallelDeflate, ALevelZlibDoesNotKnowIsItsStreamError) {
    for (int level : {-2, 10}) {
        try {
            TParallelDeflate deflater(level, 2);
            ADD_FAILURE() << level;
        } catch (const EZStreamError& e) {
            EXPECT_EQ(e.Code, Z_STREAM_ERROR);
        }
    }
    EXPECT_THROW(TParallelDeflate(6, 2, 0), ERangeError);
    EXPECT_THROW(TParallelDeflate(6, 2, TParallelDeflate::LargestPieceSize + 1), ERangeError);
}
