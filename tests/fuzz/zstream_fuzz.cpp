// Archives read from arbitrary bytes: opening one never raises for its content, and
// extracting it either restores a file of the size its header gives or raises one of the
// program's own exceptions, leaving nothing behind. Never a crash or a huge allocation.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "exceptions.h"
#include "zstream.h"

namespace fs = std::filesystem;

namespace {

// A folder of this run's own, removed when the fuzzer ends.
const fs::path& WorkFolder() {
    static const fs::path folder = [] {
        std::string pattern = (fs::temp_directory_path() / "vl-zstream-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            std::abort();
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(WorkFolder(), ignored);
        });
        return fs::path(pattern);
    }();
    return folder;
}

void WriteArchive(const fs::path& path, const uint8_t* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out)
        std::abort();
}

bool HasOriginalSize(uintmax_t size, int64_t originalSize) {
    return static_cast<int64_t>(size) == originalSize || static_cast<int32_t>(size) == originalSize;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fs::path archive = WorkFolder() / "archive.vl";
    const fs::path restored = WorkFolder() / "out" / "restored.bin";
    WriteArchive(archive, data, size);

    TVUnzipStream unzip(archive.string());
    if (unzip.Valid) {
        unzip.OverwriteMode = 1;
        try {
            if (!unzip.Extract(restored.string(), nullptr))
                std::abort();
            if (!HasOriginalSize(fs::file_size(restored), unzip.OriginalSize()))
                std::abort();
        } catch (const Exception&) {
            if (fs::exists(restored))
                std::abort();  // a failed extraction leaves no file behind
        }
    }
    std::error_code ignored;
    fs::remove(restored, ignored);
    // Nothing else may be left in the output folder: no work file of a failed extraction.
    if (fs::exists(restored.parent_path()) && !fs::is_empty(restored.parent_path()))
        std::abort();
    return 0;
}
