// Feeds arbitrary bytes to the profiles file reader: a count and that many records. A
// damaged file must be refused with an exception, never crash or allocate without bound,
// and a record that reads must write back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TMemoryStream stream(std::vector<uint8_t>(data, data + size));
    try {
        auto count = stream.ReadValue<int32_t>();
        for (int32_t i = 0; i < count; ++i) {
            int64_t start = stream.GetPosition();
            TProfile profile(stream);
            int64_t end = stream.GetPosition();
            if (profile.Modified)
                continue;  // upgraded from an older version: written anew
            TMemoryStream again;
            profile.Write(again);
            std::vector<uint8_t> original(data + start, data + end);
            // Comma texts may be written more tidily than they were stored; the header
            // and the title must come back as they were.
            if (again.Data.size() < 49 || original.size() < 49 ||
                !std::equal(again.Data.begin(), again.Data.begin() + 48, original.begin())) {
                std::abort();
            }
        }
    } catch (const Exception&) {
    }
    return 0;
}
