// Feeds arbitrary bytes to the profiles file reader: exactly a count and that many records.
// A damaged file must be refused with an exception, never crash or allocate without bound;
// a file that reads holds nothing but its records, and each record writes back its header
// and title as they were.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "profilesfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TProfileList profiles;
    try {
        profiles = ReadProfilesContent(std::string(reinterpret_cast<const char*>(data), size));
    } catch (const Exception&) {
        return 0;
    }
    // Read again record by record, to know where each lies.
    TMemoryStream stream(std::vector<uint8_t>(data, data + size));
    if (stream.ReadValue<int32_t>() != static_cast<int32_t>(profiles.size()))
        std::abort();
    for (size_t i = 0; i < profiles.size(); ++i) {
        const int64_t start = stream.GetPosition();
        TProfile record(stream);
        if (profiles[i]->Modified)
            continue;  // upgraded from an older version: written anew
        // Comma texts may be written more tidily than they were stored; the header and the
        // title must come back as they were.
        const std::string again = RecordOf(record);
        if (again.size() < 49 || size < static_cast<size_t>(start) + 49 ||
            again.compare(0, 48, reinterpret_cast<const char*>(data + start), 48) != 0) {
            std::abort();
        }
    }
    if (stream.GetPosition() != static_cast<int64_t>(size))
        std::abort();
    return 0;
}
