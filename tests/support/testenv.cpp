#include "testenv.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "platform/drivemap.h"

namespace fs = std::filesystem;

TTempDir::TTempDir() {
    std::string pattern = (TestSandbox() / "tmpdir-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make a temporary folder");
    Root = pattern;
}

TTempDir::~TTempDir() {
    std::error_code ignored;
    fs::permissions(Root, fs::perms::owner_all, fs::perm_options::add, ignored);
    for (auto& entry : fs::recursive_directory_iterator(Root, ignored)) {
        fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::remove_all(Root, ignored);
}

void WriteTextFile(const fs::path& path, const std::string& content) {
    if (path.has_parent_path())
        fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

std::string ReadTextFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

std::vector<uint8_t> ReadBinaryFile(const fs::path& path) {
    std::string text = ReadTextFile(path);
    return {text.begin(), text.end()};
}

void UseDriveMap(const std::string& text) {
    WriteTextFile(DriveMapFileName().Text(), text);
    ReloadDriveMap();
}

void UseDefaultTestDriveMap() {
    UseDriveMap("detect off\nC: fixed \"" + (TestSandbox() / "home").string() + "\"\n");
}

namespace {

size_t EntriesIn(const char* folder) {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder))
        ++count;
    return count;
}

}  // namespace

size_t OpenDescriptors() {
    return EntriesIn("/proc/self/fd");
}

size_t RunningThreads() {
    return EntriesIn("/proc/self/task");
}

std::string Incompressible(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    return bytes;
}
