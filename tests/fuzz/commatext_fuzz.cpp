// Comma text read from arbitrary input, written again and read back, must give the
// same list: whatever the reader accepts, the writer can store without loss.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "commatext.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> list = FromCommaText(text);
    const std::string written = ToCommaText(list);
    if (FromCommaText(written) != list) {
        std::fprintf(stderr, "comma text did not read back: %s\n", written.c_str());
        std::abort();
    }
    return 0;
}
