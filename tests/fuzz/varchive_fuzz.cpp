// Stored texts and mask records read from arbitrary bytes: every failure must be one of
// the stream's or the record's own exceptions, never a crash or a huge allocation.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "exceptions.h"
#include "masks.h"
#include "streams.h"
#include "varchive.h"

namespace {

void ReadTextsUntilTheEnd(const std::vector<uint8_t>& bytes) {
    TMemoryStream stream(bytes);
    try {
        std::string text;
        while (true)
            stream >> text;
    } catch (const EReadError&) {
    }
}

void ReadMasks(const std::vector<uint8_t>& bytes) {
    TMemoryStream stream(bytes);
    TMasks masks;
    try {
        masks.Read(stream);
    } catch (const Exception&) {
        return;
    }
    // What was read must be stored and read again unchanged.
    TMemoryStream copy;
    masks.Write(copy);
    copy.SetPosition(0);
    TMasks again;
    again.Read(copy);
    if (again.Includes != masks.Includes || again.Excludes != masks.Excludes)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    ReadTextsUntilTheEnd(bytes);
    ReadMasks(bytes);
    return 0;
}
