#include "streams.h"

#include <algorithm>
#include <array>

int64_t TStream::GetSize() {
    int64_t position = Seek(0, TSeekOrigin::soCurrent);
    int64_t size = Seek(0, TSeekOrigin::soEnd);
    Seek(position, TSeekOrigin::soBeginning);
    return size;
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
    if (count != 0 && Read(buffer, count) != count)
        throw EReadError();
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
    if (count != 0 && Write(buffer, count) != count)
        throw EWriteError();
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
    if (count < 0)
        count = source.GetSize() - source.GetPosition();
    std::array<uint8_t, 65536> buffer;
    int64_t copied = 0;
    while (copied < count) {
        int64_t step = std::min<int64_t>(buffer.size(), count - copied);
        source.ReadBuffer(buffer.data(), step);
        WriteBuffer(buffer.data(), step);
        copied += step;
    }
    return copied;
}

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
    int64_t available = std::max<int64_t>(0, static_cast<int64_t>(Data.size()) - Position);
    int64_t n = std::clamp<int64_t>(count, 0, available);
    if (n > 0)
        std::memcpy(buffer, Data.data() + Position, n);
    Position += n;
    return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
    if (count <= 0)
        return 0;
    if (Position + count > static_cast<int64_t>(Data.size()))
        Data.resize(Position + count);
    std::memcpy(Data.data() + Position, buffer, count);
    Position += count;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    int64_t base = origin == TSeekOrigin::soBeginning ? 0
                   : origin == TSeekOrigin::soCurrent ? Position
                                                      : static_cast<int64_t>(Data.size());
    Position = std::max<int64_t>(0, base + offset);
    return Position;
}

void TMemoryStream::SetSize(int64_t size) {
    Data.resize(std::max<int64_t>(0, size));
    Position = std::min<int64_t>(Position, size);
}
