#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

#include "exceptions.h"
#include "vlshare_export.h"

static_assert(std::endian::native == std::endian::little,
              "stored formats are little-endian and written from memory as they lie");

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

// A byte stream with a position. Read and Write move as far as they can and say how
// far; ReadBuffer and WriteBuffer insist on the whole count and raise otherwise.
class VLSHARE_EXPORT TStream {
  public:
    virtual ~TStream() = default;

    virtual int64_t Read(void* buffer, int64_t count) = 0;
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
    virtual void SetSize(int64_t size) = 0;

    int64_t GetPosition() { return Seek(0, TSeekOrigin::soCurrent); }
    void SetPosition(int64_t position) { Seek(position, TSeekOrigin::soBeginning); }
    int64_t GetSize();

    void ReadBuffer(void* buffer, int64_t count);         // EReadError on a short read
    void WriteBuffer(const void* buffer, int64_t count);  // EWriteError on a short write

    // Copies count bytes from source's position (all that remains when count < 0) and
    // returns how many were copied.
    int64_t CopyFrom(TStream& source, int64_t count = -1);

    template <typename T>
    T ReadValue() {
        static_assert(std::is_trivially_copyable_v<T>);
        T value;
        ReadBuffer(&value, sizeof value);
        return value;
    }
    template <typename T>
    void WriteValue(const T& value) {
        static_assert(std::is_trivially_copyable_v<T>);
        WriteBuffer(&value, sizeof value);
    }
};

// A stream over a growable block of memory.
class VLSHARE_EXPORT TMemoryStream : public TStream {
  public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::vector<uint8_t> data) : Data(std::move(data)) {}

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    void SetSize(int64_t size) override;

    std::vector<uint8_t> Data;

  private:
    int64_t Position = 0;
};
