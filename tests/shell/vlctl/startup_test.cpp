#include <elf.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "runprogram.h"
#include "sandboxdata.h"

namespace {

// Whether the program file names a program interpreter (the dynamic loader), that is,
// whether starting it loads shared libraries at all.
bool HasProgramInterpreter(const std::string& program) {
    std::ifstream file(program, std::ios::binary);
    Elf64_Ehdr header{};
    file.read(reinterpret_cast<char*>(&header), sizeof header);
    EXPECT_TRUE(file && header.e_ident[EI_CLASS] == ELFCLASS64)
        << program << " is no 64-bit ELF file";
    for (int i = 0; file && i < header.e_phnum; ++i) {
        Elf64_Phdr segment{};
        file.seekg(static_cast<std::streamoff>(header.e_phoff + i * header.e_phentsize));
        file.read(reinterpret_cast<char*>(&segment), sizeof segment);
        if (file && segment.p_type == PT_INTERP)
            return true;
    }
    return false;
}

}  // namespace

#if VLCTL_STANDALONE

// Linked statically, vlctl starts without the dynamic loader: no library is looked for, so
// none can be picked up from an unexpected folder either.
TEST(VlctlStartup, StartsWithoutTheDynamicLoader) {
    EXPECT_FALSE(HasProgramInterpreter(VLCTL_PROGRAM));
}

#else

namespace {

// Sets an environment variable for the programs a test runs, and removes it again.
class TScopedVariable {
  public:
    TScopedVariable(const char* name, const char* value) : Name(name) { setenv(name, value, 1); }
    ~TScopedVariable() { unsetenv(Name); }
    TScopedVariable(const TScopedVariable&) = delete;
    TScopedVariable& operator=(const TScopedVariable&) = delete;

  private:
    const char* Name;
};

// The file names of the shared objects the dynamic loader loaded, as its debug output
// ("file=libz.so.1 [0];  needed by ...") names them.
std::set<std::string> LoadedObjects(const std::string& loaderOutput) {
    std::set<std::string> objects;
    std::istringstream lines(loaderOutput);
    std::string line;
    const std::string marker = "file=";
    while (std::getline(lines, line)) {
        size_t start = line.find(marker);
        if (start == std::string::npos)
            continue;
        start += marker.size();
        std::string path = line.substr(start, line.find(' ', start) - start);
        objects.insert(path.substr(path.rfind('/') + 1));
    }
    return objects;
}

// Whether name is a library of Qt (any of its modules, Core among them), of what Qt Core
// brings along, or of a window system.
bool IsQtOrWindowLibrary(const std::string& name) {
    const char* const prefixes[] = {"libQt",        "libicu",        "libglib",
                                    "libgthread",   "libpcre2",      "libdouble-conversion",
                                    "libb2",        "libGL",         "libEGL",
                                    "libOpenGL",    "libX11",        "libxcb",
                                    "libxkbcommon", "libfontconfig", "libfreetype",
                                    "libdbus"};
    for (const char* prefix : prefixes) {
        if (name.rfind(prefix, 0) == 0)
            return true;
    }
    return false;
}

}  // namespace

// The command line shows no window and needs no Qt: loading Qt (even Qt Core, with its
// Unicode tables and helpers) or a window system would cost every call of it (a script that
// restores file after file) several milliseconds for nothing.
TEST(VlctlStartup, LoadsNoQtAndNoWindowSystemLibrary) {
    ASSERT_TRUE(HasProgramInterpreter(VLCTL_PROGRAM));
    TFreshDataFolder data;
    const std::vector<std::vector<std::string>> commands = {{"version"}, {"profiles"}};
    for (const auto& command : commands) {
        SCOPED_TRACE(command.front());
        TRunResult run;
        {
            TScopedVariable debug("LD_DEBUG", "files");
            run = RunProgram(VLCTL_PROGRAM, command, "", 20);
        }
        ASSERT_EQ(run.ExitCode, 0) << run.Err;
        std::set<std::string> objects = LoadedObjects(run.Err);
        ASSERT_TRUE(objects.count("libvlshare.so")) << "no loader output read:\n" << run.Err;
        for (const std::string& object : objects)
            EXPECT_FALSE(IsQtOrWindowLibrary(object)) << object << " is loaded";
    }
}

namespace {

// The files the dynamic loader tried while it looked for libraries, as its debug output
// ("trying file=/usr/lib/libz.so.1") names them.
std::vector<std::string> TriedFiles(const std::string& loaderOutput) {
    std::vector<std::string> files;
    std::istringstream lines(loaderOutput);
    std::string line;
    const std::string marker = "trying file=";
    while (std::getline(lines, line)) {
        size_t start = line.find(marker);
        if (start != std::string::npos)
            files.push_back(line.substr(start + marker.size()));
    }
    return files;
}

}  // namespace

// A library is looked for only in folders named by full path: never in the folder vlctl
// is started in, where anybody's files may lie (an empty entry in a library path means
// the current folder).
TEST(VlctlStartup, LooksForLibrariesOnlyInFoldersNamedInFull) {
    TFreshDataFolder data;
    TRunResult run;
    {
        TScopedVariable debug("LD_DEBUG", "libs");
        run = RunProgram(VLCTL_PROGRAM, {"version"}, "", 20);
    }
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    std::vector<std::string> tried = TriedFiles(run.Err);
    ASSERT_FALSE(tried.empty()) << "no loader output read:\n" << run.Err;
    for (const std::string& file : tried)
        EXPECT_EQ(file.front(), '/') << file << " is looked for in the current folder";
}

#endif
