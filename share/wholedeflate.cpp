#include "wholedeflate.h"

#include <libdeflate.h>
#include <zlib.h>

#include <array>
#include <memory>
#include <new>

#include "zstream.h"

namespace wholedeflate {
namespace {

// zlib's default level, which -1 stands for.
constexpr int kDefaultLevel = 6;
constexpr int kHighestLevel = 9;

struct TCompressorDeleter {
    void operator()(libdeflate_compressor* compressor) const {
        libdeflate_free_compressor(compressor);
    }
};
using TCompressor = std::unique_ptr<libdeflate_compressor, TCompressorDeleter>;

// A buffer that only grows, and whose bytes are never cleared.
class TBuffer {
  public:
    uint8_t* Reserve(size_t size) {
        if (size > Capacity) {
            Data.reset();
            Capacity = 0;
            Data.reset(new (std::nothrow) uint8_t[size]);
            if (!Data)
                throw EZStreamError(Z_MEM_ERROR);
            Capacity = size;
        }
        return Data.get();
    }

  private:
    std::unique_ptr<uint8_t[]> Data;
    size_t Capacity = 0;
};

struct TThreadState {
    std::array<TCompressor, kHighestLevel + 1> Compressors;
    TBuffer In;
    TBuffer Out;

    libdeflate_compressor* CompressorFor(int level) {
        TCompressor& compressor = Compressors[level];
        if (!compressor) {
            compressor.reset(libdeflate_alloc_compressor(level));
            if (!compressor)
                throw EZStreamError(Z_MEM_ERROR);
        }
        return compressor.get();
    }
};

TThreadState& ThreadState() {
    thread_local TThreadState state;
    return state;
}

}  // namespace

uint8_t* Input(size_t size) {
    return ThreadState().In.Reserve(size);
}

TOutput Compress(int level, const uint8_t* data, size_t size) {
    if (level == Z_DEFAULT_COMPRESSION)
        level = kDefaultLevel;
    if (level < 1 || level > kHighestLevel)
        throw EZStreamError(Z_STREAM_ERROR);
    TThreadState& state = ThreadState();
    libdeflate_compressor* compressor = state.CompressorFor(level);
    size_t bound = libdeflate_zlib_compress_bound(compressor, size);
    uint8_t* out = state.Out.Reserve(bound);
    // Within the bound the output always fits.
    size_t written = libdeflate_zlib_compress(compressor, data, size, out, bound);
    return {out, written};
}

}  // namespace wholedeflate
