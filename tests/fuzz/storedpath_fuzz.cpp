// Stored paths and copy places from arbitrary bytes: a stored path the restore accepts
// always leads below the folder it is restored to, and to the place its copy stands for.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "storedpath.h"

namespace {

constexpr const char* kRoot = "E:\\Vaultaire";
constexpr const char* kDestination = "/restore/here";

// Whether target lies below folder with no step that leaves it.
bool StaysBelow(const std::string& target, const std::string& folder) {
    if (target.compare(0, folder.size() + 1, folder + "/") != 0)
        return false;
    std::string step;
    for (size_t i = folder.size() + 1; i <= target.size(); ++i) {
        if (i == target.size() || target[i] == '/') {
            if (step.empty() || step == "." || step == "..")
                return false;
            step.clear();
        } else {
            step.push_back(target[i]);
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t split = input.find('\0');
    const std::string copy = std::string(kRoot) + "\\" + input.substr(0, split);
    const std::string stored = split == std::string::npos ? "" : input.substr(split + 1);

    std::string source;
    const bool placed = SourcePathOfCopy(kRoot, copy, source);
    if (!StoredPathFault(kRoot, copy, stored).empty())
        return 0;
    // Accepted: the copy's place stands for it, and it stays inside any destination.
    if (!placed || source.size() != stored.size())
        std::abort();
    if (!StaysBelow(RestoreTargetOf(stored, kDestination), kDestination))
        std::abort();
    return 0;
}
