#include "varchive.h"

#include <cstdint>
#include <limits>

namespace {

constexpr uint8_t LongLengthMark = 0xFF;
constexpr uint16_t HugeLengthMark = 0xFFFF;
constexpr size_t LargestByteLength = 254;
constexpr size_t LargestWordLength = 65533;

void WriteLength(TStream& stream, size_t length) {
    if (length <= LargestByteLength) {
        stream.WriteValue(static_cast<uint8_t>(length));
        return;
    }
    stream.WriteValue(LongLengthMark);
    if (length <= LargestWordLength) {
        stream.WriteValue(static_cast<uint16_t>(length));
        return;
    }
    if (length > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
        throw EWriteError("Text too long to be stored");
    stream.WriteValue(HugeLengthMark);
    stream.WriteValue(static_cast<int32_t>(length));
}

int64_t ReadLength(TStream& stream) {
    auto byteLength = stream.ReadValue<uint8_t>();
    if (byteLength != LongLengthMark)
        return byteLength;
    auto wordLength = stream.ReadValue<uint16_t>();
    if (wordLength != HugeLengthMark)
        return wordLength;
    return stream.ReadValue<int32_t>();
}

}  // namespace

TStream& operator<<(TStream& stream, const std::string& text) {
    WriteLength(stream, text.size());
    stream.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
    return stream;
}

TStream& operator>>(TStream& stream, std::string& text) {
    int64_t length = ReadLength(stream);
    // A damaged length must fail here, before it decides how much memory to take.
    if (length < 0 || length > stream.GetSize() - stream.GetPosition())
        throw EReadError();
    std::string result(static_cast<size_t>(length), '\0');
    stream.ReadBuffer(result.data(), length);
    text = std::move(result);
    return stream;
}
