#include "paralleldeflate.h"

#include <zlib.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "zstream.h"

namespace {

constexpr int WindowBits = 15;
// The most an inflater looks back: the dictionary that primes each piece.
constexpr int64_t DictionarySize = int64_t{1} << WindowBits;
constexpr int RawDeflate = -WindowBits;  // deflate data without zlib's header and trailer
constexpr int MemLevel = 8;              // zlib's default
constexpr int ZlibDefaultLevel = 6;      // what level -1 stands for
constexpr uint32_t EmptyAdler = 1;       // Adler-32 of no bytes
// Pieces held per compressing thread: one it works on and one waiting for it, so that no
// thread waits while the calling thread writes out or reads in.
constexpr unsigned PiecesPerThread = 2;
// Room beyond deflateBound for the empty stored block a sync flush ends with.
constexpr int64_t SyncFlushRoom = 16;

// Bytes left as they are allocated: a page of them is only mapped once it is used, so a
// piece that compresses well touches little of its output.
class TByteBuffer {
  public:
    uint8_t* Data() { return Bytes.get(); }
    const uint8_t* Data() const { return Bytes.get(); }
    int64_t Size() const { return FSize; }

    // False when the memory is not there; the buffer then stays as it was.
    bool Allocate(int64_t size) noexcept { return Grow(size, 0); }
    // Moves to a buffer of size bytes, keeping the first keep bytes.
    bool Grow(int64_t size, int64_t keep) noexcept {
        std::unique_ptr<uint8_t[]> larger(new (std::nothrow) uint8_t[static_cast<size_t>(size)]);
        if (!larger)
            return false;
        if (keep > 0)
            std::memcpy(larger.get(), Bytes.get(), static_cast<size_t>(keep));
        Bytes = std::move(larger);
        FSize = size;
        return true;
    }

  private:
    std::unique_ptr<uint8_t[]> Bytes;
    int64_t FSize = 0;
};

// One piece of the content: the bytes before it that prime the compressor, its own bytes,
// and what they compress to. A piece belongs to the calling thread until it is submitted
// and again once it is done.
struct TPiece {
    TByteBuffer Input;  // dictionary, then the piece's own bytes
    int64_t DictionaryLength = 0;
    int64_t DataLength = 0;
    bool Last = false;

    TByteBuffer Output;
    int64_t OutputLength = 0;
    uint32_t Crc = 0;
    uint32_t Adler = EmptyAdler;
    int Error = Z_OK;
    bool Done = false;  // under the pool's lock

    const uint8_t* Data() const { return Input.Data() + DictionaryLength; }
};

template <typename TSum>
uint32_t Checksum(TSum sum, uint32_t start, const uint8_t* bytes, int64_t count) {
    uLong value = start;
    while (count > 0) {  // zlib takes the count in steps it can hold
        uInt step = static_cast<uInt>(std::min<int64_t>(count, 1 << 30));
        value = sum(value, bytes, step);
        bytes += step;
        count -= step;
    }
    return static_cast<uint32_t>(value);
}

// A raw deflate stream reused for one piece after another.
class TPieceCompressor {
  public:
    explicit TPieceCompressor(int level) {
        InitResult =
            deflateInit2(&State, level, Z_DEFLATED, RawDeflate, MemLevel, Z_DEFAULT_STRATEGY);
    }
    ~TPieceCompressor() {
        if (InitResult == Z_OK)
            deflateEnd(&State);
    }
    TPieceCompressor(const TPieceCompressor&) = delete;
    TPieceCompressor& operator=(const TPieceCompressor&) = delete;

    // Fills piece's output, sums and error; never throws, since it runs on worker threads.
    void Compress(TPiece& piece) noexcept {
        piece.OutputLength = 0;
        piece.Crc = Checksum(crc32, 0, piece.Data(), piece.DataLength);
        piece.Adler = Checksum(adler32, EmptyAdler, piece.Data(), piece.DataLength);
        piece.Error = InitResult == Z_OK ? Deflate(piece) : InitResult;
    }

  private:
    int Deflate(TPiece& piece) {
        int result = deflateReset(&State);
        if (result == Z_OK && piece.DictionaryLength > 0)
            result = deflateSetDictionary(&State, piece.Input.Data(),
                                          static_cast<uInt>(piece.DictionaryLength));
        if (result != Z_OK)
            return result;
        const int flush = piece.Last ? Z_FINISH : Z_SYNC_FLUSH;
        State.next_in = const_cast<Bytef*>(piece.Data());
        State.avail_in = static_cast<uInt>(piece.DataLength);
        while (true) {
            const int64_t room = piece.Output.Size() - piece.OutputLength;
            State.next_out = piece.Output.Data() + piece.OutputLength;
            State.avail_out = static_cast<uInt>(std::min<int64_t>(room, UINT32_MAX));
            const uInt offered = State.avail_out;
            result = deflate(&State, flush);
            piece.OutputLength += offered - State.avail_out;
            const bool complete =
                piece.Last ? result == Z_STREAM_END : State.avail_in == 0 && State.avail_out != 0;
            if (complete)
                return Z_OK;
            if (result != Z_OK && result != Z_BUF_ERROR)
                return result;
            // zlib stalls with room for output only when it has nothing left to do.
            if (State.avail_out != 0)
                return Z_BUF_ERROR;
            if (!piece.Output.Grow(piece.Output.Size() * 2 + SyncFlushRoom, piece.OutputLength))
                return Z_MEM_ERROR;
        }
    }

    z_stream State{};
    int InitResult = Z_OK;
};

// Threads that compress the pieces handed to them, in any order. Without threads (one
// asked for, or none could be started) pieces are compressed as they are handed over.
// Ending the pool stops and joins every thread, whatever state the work is in.
class TCompressorPool {
  public:
    TCompressorPool(int level, unsigned threads) : Level(level) {
        if (threads > 1)
            StartWorkers(threads);
        if (Workers.empty())
            OnCallingThread.emplace(level);
    }
    ~TCompressorPool() {
        {
            std::lock_guard<std::mutex> hold(Lock);
            Stopping = true;
        }
        WorkReady.notify_all();
        for (std::thread& worker : Workers)
            worker.join();
    }
    TCompressorPool(const TCompressorPool&) = delete;
    TCompressorPool& operator=(const TCompressorPool&) = delete;

    void Submit(TPiece& piece) {
        if (OnCallingThread) {
            OnCallingThread->Compress(piece);
            piece.Done = true;
            return;
        }
        {
            std::lock_guard<std::mutex> hold(Lock);
            piece.Done = false;
            Waiting.push_back(&piece);
        }
        WorkReady.notify_one();
    }

    void WaitFor(TPiece& piece) {
        std::unique_lock<std::mutex> hold(Lock);
        PieceDone.wait(hold, [&piece] { return piece.Done; });
    }

  private:
    void StartWorkers(unsigned threads) {
        Workers.reserve(threads);
        try {
            for (unsigned i = 0; i < threads; ++i)
                Workers.emplace_back([this] { Work(); });
        } catch (const std::system_error&) {
            // The system has no more threads to give: those started do the work.
        }
    }

    void Work() {
        TPieceCompressor compressor(Level);
        while (TPiece* piece = NextPiece()) {
            compressor.Compress(*piece);
            {
                std::lock_guard<std::mutex> hold(Lock);
                piece->Done = true;
            }
            PieceDone.notify_one();  // the calling thread is the only one waiting
        }
    }

    TPiece* NextPiece() {
        std::unique_lock<std::mutex> hold(Lock);
        WorkReady.wait(hold, [this] { return Stopping || !Waiting.empty(); });
        if (Stopping)
            return nullptr;
        TPiece* piece = Waiting.front();
        Waiting.pop_front();
        return piece;
    }

    int Level;
    std::mutex Lock;
    std::condition_variable WorkReady;
    std::condition_variable PieceDone;
    std::deque<TPiece*> Waiting;
    bool Stopping = false;
    std::vector<std::thread> Workers;
    std::optional<TPieceCompressor> OnCallingThread;
};

// The two bytes zlib puts before the deflate data of a stream at this level.
void WriteZlibHeader(TStream& target, int level) {
    if (level == Z_DEFAULT_COMPRESSION)
        level = ZlibDefaultLevel;
    const unsigned levelFlags = level < 2 ? 0 : level < 6 ? 1 : level == 6 ? 2 : 3;
    const unsigned methodAndWindow = Z_DEFLATED | ((WindowBits - 8) << 4);
    unsigned header = (methodAndWindow << 8) | (levelFlags << 6);
    header += 31 - header % 31;
    const uint8_t bytes[2] = {static_cast<uint8_t>(header >> 8), static_cast<uint8_t>(header)};
    target.WriteBuffer(bytes, sizeof bytes);
}

void WriteBigEndian(TStream& target, uint32_t value) {
    const uint8_t bytes[4] = {static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
                              static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
    target.WriteBuffer(bytes, sizeof bytes);
}

// The pieces held in memory, used in turn: piece n lives in slot n % count.
std::vector<TPiece> AllocateSlots(size_t count, int64_t largestPiece) {
    z_stream probe{};
    if (deflateInit2(&probe, Z_DEFAULT_COMPRESSION, Z_DEFLATED, RawDeflate, MemLevel,
                     Z_DEFAULT_STRATEGY) != Z_OK)
        throw EZStreamError(Z_MEM_ERROR);
    const int64_t bound =
        static_cast<int64_t>(deflateBound(&probe, static_cast<uLong>(largestPiece)));
    deflateEnd(&probe);
    std::vector<TPiece> slots(count);
    for (TPiece& slot : slots) {
        if (!slot.Input.Allocate(DictionarySize + largestPiece) ||
            !slot.Output.Allocate(bound + SyncFlushRoom))
            throw EZStreamError(Z_MEM_ERROR);
    }
    return slots;
}

// Puts the last DictionarySize bytes of content before a piece at the start of its input:
// the tail of the previous piece's input, which holds that piece's dictionary too.
void PrimeFrom(const TPiece& previous, TPiece& piece) {
    const int64_t available = previous.DictionaryLength + previous.DataLength;
    const int64_t length = std::min(available, DictionarySize);
    std::memmove(piece.Input.Data(), previous.Input.Data() + available - length,
                 static_cast<size_t>(length));
    piece.DictionaryLength = length;
}

}  // namespace

TParallelDeflate::TParallelDeflate(int level, unsigned threads, int64_t pieceSize)
    : Level(level), Threads(std::max(threads, 1u)), PieceSize(pieceSize) {
    // As zlib itself answers such a level.
    if (level < Z_DEFAULT_COMPRESSION || level > Z_BEST_COMPRESSION)
        throw EZStreamError(Z_STREAM_ERROR);
    if (pieceSize < 1 || pieceSize > LargestPieceSize)
        throw ERangeError("Piece size out of range: " + std::to_string(pieceSize));
}

unsigned TParallelDeflate::DefaultThreads() {
    // Asked for every file a run copies, and each asking reads a file of the system: the
    // number of cores is looked up once.
    static const unsigned threads = std::max(std::thread::hardware_concurrency(), 1u);
    return threads;
}

uint32_t TParallelDeflate::Compress(TStream& source, TStream& target, int64_t count) {
    count = std::max<int64_t>(count, 0);
    // Even no content makes one piece: the end of the deflate data.
    const int64_t pieces = std::max<int64_t>((count + PieceSize - 1) / PieceSize, 1);
    const size_t slotCount = static_cast<size_t>(
        std::min<int64_t>(pieces, int64_t{Threads} * (Threads > 1 ? PiecesPerThread : 1)));
    std::vector<TPiece> slots = AllocateSlots(slotCount, std::min(PieceSize, count));
    // Declared after the slots, so that its threads end before the pieces they may hold.
    TCompressorPool pool(Level, Threads);

    uint32_t crc = 0;
    uint32_t adler = EmptyAdler;
    int64_t written = 0;  // pieces written out
    auto writeOut = [&](TPiece& piece) {
        pool.WaitFor(piece);
        if (piece.Error != Z_OK)
            throw EZStreamError(piece.Error);
        target.WriteBuffer(piece.Output.Data(), piece.OutputLength);
        crc = static_cast<uint32_t>(crc32_combine(crc, piece.Crc, piece.DataLength));
        adler = static_cast<uint32_t>(adler32_combine(adler, piece.Adler, piece.DataLength));
        ++written;
    };

    FPeakPiecesInFlight = 0;
    WriteZlibHeader(target, Level);
    for (int64_t index = 0; index < pieces; ++index) {
        TPiece& piece = slots[static_cast<size_t>(index) % slotCount];
        if (index >= static_cast<int64_t>(slotCount))
            writeOut(piece);  // the slot's earlier piece, the oldest one in flight
        if (StopRequested && StopRequested())
            throw EAbort();
        if (index == 0)
            piece.DictionaryLength = 0;
        else
            PrimeFrom(slots[static_cast<size_t>(index - 1) % slotCount], piece);
        piece.DataLength = std::min(PieceSize, count - index * PieceSize);
        source.ReadBuffer(piece.Input.Data() + piece.DictionaryLength, piece.DataLength);
        piece.Last = index == pieces - 1;
        pool.Submit(piece);
        FPeakPiecesInFlight = std::max(FPeakPiecesInFlight, static_cast<int>(index + 1 - written));
    }
    while (written < pieces)
        writeOut(slots[static_cast<size_t>(written) % slotCount]);
    WriteBigEndian(target, adler);
    FAdler = adler;
    return crc;
}
