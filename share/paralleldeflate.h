#pragma once

#include <cstdint>
#include <functional>

#include "streams.h"
#include "vlshare_export.h"

// Deflates a long content on several threads into one zlib stream that any inflater reads
// as it reads one written in a single pass: the zlib header, then the content cut into
// pieces compressed one by one, each primed with the 32 KiB of content before it (all an
// inflater can look back at) and ended on a byte boundary, the last one ending the deflate
// data, then the Adler-32 of the whole content.
//
// Reading the source and writing the target stay on the calling thread, since streams are
// not shared between threads; the worker threads only compress pieces held in memory, and
// only a fixed number of pieces is held at a time, whatever the size of the content.
class VLSHARE_EXPORT TParallelDeflate {
  public:
    // 1 MiB pieces: priming a piece with its dictionary costs about what compressing
    // 32 KiB does, so larger pieces lose less time to it and less ratio to the cuts.
    static constexpr int64_t DefaultPieceSize = int64_t{1} << 20;
    static constexpr int64_t LargestPieceSize = int64_t{64} << 20;

    // level: zlib's (-1 its default, 0 to 9; EZStreamError(-2) otherwise). threads: how
    // many pieces are compressed at once; 1 compresses them on the calling thread. At most
    // twice as many pieces as threads are held in memory. pieceSize: from 1 byte to
    // LargestPieceSize; ERangeError otherwise.
    TParallelDeflate(int level, unsigned threads, int64_t pieceSize = DefaultPieceSize);

    // Reads count bytes from source's position and writes their zlib stream at target's
    // position; returns the CRC-32 of the bytes read. A read or write failure (EReadError,
    // EWriteError), a zlib failure (EZStreamError) or a stop (EAbort) passes on once every
    // worker thread has ended; what was written to the target by then stays there.
    uint32_t Compress(TStream& source, TStream& target, int64_t count);

    // Asked before each piece is read; when it answers true, Compress stops with EAbort.
    std::function<bool()> StopRequested;

    // The Adler-32 of the content Compress handled last (the stream's trailer).
    uint32_t Adler() const { return FAdler; }
    // The most pieces held in memory at once by the last Compress.
    int PeakPiecesInFlight() const { return FPeakPiecesInFlight; }
    // The threads Compress works on when nothing else is said: one per core, at least 1.
    static unsigned DefaultThreads();

  private:
    int Level;
    unsigned Threads;
    int64_t PieceSize;
    uint32_t FAdler = 1;
    int FPeakPiecesInFlight = 0;
};
