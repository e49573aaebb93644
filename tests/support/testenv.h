#pragma once

#include <filesystem>
#include <string>
#include <vector>

// A folder that exists for the life of the object and is removed with everything in it.
class TTempDir {
  public:
    TTempDir();
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    const std::filesystem::path& Path() const { return Root; }
    // Path of name inside the folder, as a string.
    std::string operator/(const std::string& name) const { return (Root / name).string(); }

  private:
    std::filesystem::path Root;
};

// Writes content to path, creating missing folders.
void WriteTextFile(const std::filesystem::path& path, const std::string& content);
std::string ReadTextFile(const std::filesystem::path& path);
std::vector<uint8_t> ReadBinaryFile(const std::filesystem::path& path);

// The folder the test program made for itself; VAULTAIRE_HOME, XDG_CONFIG_HOME, HOME and
// TMPDIR all point inside it while tests run.
const std::filesystem::path& TestSandbox();

// Writes text as the program's drive map and makes it the map in use.
void UseDriveMap(const std::string& text);
// The drive map tests start from: C: is the sandbox's home folder, nothing is detected.
void UseDefaultTestDriveMap();

// The descriptors this process has open and the threads it runs, for tests that check that
// nothing is left behind.
size_t OpenDescriptors();
size_t RunningThreads();

// size bytes that do not compress, the same for the same seed.
std::string Incompressible(size_t size, unsigned seed);
