// What the benchmarks of the profile dialogs share: their work folder, the home folder of
// many folders they fill it with, and their clocks.
#pragma once

#include <sys/resource.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace bench {

constexpr int HomeFolders = 5000;
constexpr int BigFolderFiles = 10000;

inline void MakeFile(const std::filesystem::path& path) {
    std::ofstream(path) << "x";
}

// The home folder (C:) in work: HomeFolders folders, each with a subfolder, the first of
// them (folder0) holding BigFolderFiles files.
inline void MakeHomeFolders(const std::filesystem::path& work) {
    namespace fs = std::filesystem;
    for (int i = 0; i < HomeFolders; ++i)
        fs::create_directories(work / "c" / ("folder" + std::to_string(i)) / "sub");
    const fs::path big = work / "c" / "folder0";
    for (int i = 0; i < BigFolderFiles; ++i)
        MakeFile(big / ("file" + std::to_string(i) + ".txt"));
}

// Makes a work folder of its own below base, with the program's data folder (profiles,
// drive map) inside it, away from the user's; nothing when it cannot be made.
inline std::optional<std::filesystem::path> MakeWorkFolder(const std::filesystem::path& base,
                                                           const char* program) {
    std::string pattern = (base / ("vl-" + std::string(program) + "-XXXXXX")).string();
    if (!mkdtemp(pattern.data())) {
        std::fprintf(stderr, "%s: cannot make its work folder: ", program);
        std::perror(nullptr);
        return std::nullopt;
    }
    const std::filesystem::path work = pattern;
    setenv("VAULTAIRE_HOME", (work / "data").c_str(), 1);
    std::filesystem::create_directories(work / "data");
    std::printf("making the folders in %s ...\n", work.c_str());
    std::fflush(stdout);
    return work;
}

inline long PeakMemoryKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

inline double Milliseconds(const QElapsedTimer& timer) {
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

}  // namespace bench
