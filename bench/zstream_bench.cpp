// Throughput and memory of the archive stream, measured against gzip on the same files.
//
// Builds a mixed corpus in a temporary folder (text, program files, incompressible
// bytes), then archives every file with TVZipStream at the default level and with
// "gzip -6 -c", and extracts every archive with TVUnzipStream and with "gzip -d -c" (what
// gunzip runs). Each is timed over several passes and the best pass counts; speeds are
// in MB/s of original bytes. Peak memory is read in fresh child processes that archive
// or extract a 1 MiB and a 1 GiB file.
//
// With --large it times one large file of mixed content instead (a third text, a third
// program bytes, a third random, in turns of 4 MiB): TVZipStream on every core and on one,
// against "gzip -6 -c", best of several passes; it checks that plain zlib inflate reads the
// archive's content back and reports sizes and the peak memory of each (/usr/bin/time).
//
// Usage: zstream_bench [corpus-megabytes] [passes]
//        zstream_bench --large [megabytes] [passes]

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "paralleldeflate.h"
#include "zstream.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr double MB = 1e6;
constexpr int64_t MiB = 1 << 20;

struct TCorpusFile {
    fs::path Path;
    std::string Kind;
    int64_t Size;
};

// ---- Corpus ----

class TCorpusBuilder {
  public:
    TCorpusBuilder(fs::path folder, int64_t bytesPerKind)
        : Folder(std::move(folder)), PerKind(bytesPerKind) {}

    std::vector<TCorpusFile> Build() {
        fs::create_directories(Folder);
        AddText();
        AddPrograms();
        AddIncompressible();
        return Files;
    }

  private:
    // Header files joined into files of 4 MB: real source text.
    void AddText() {
        std::vector<fs::path> headers;
        std::error_code error;
        for (auto it = fs::recursive_directory_iterator("/usr/include", error);
             it != fs::recursive_directory_iterator(); it.increment(error)) {
            if (it->is_regular_file(error) && it->path().extension() == ".h")
                headers.push_back(it->path());
        }
        std::sort(headers.begin(), headers.end());
        std::string chunk;
        int64_t total = 0;
        int index = 0;
        for (const fs::path& header : headers) {
            if (total >= PerKind)
                break;
            std::ifstream in(header, std::ios::binary);
            chunk.append(std::istreambuf_iterator<char>(in), {});
            if (chunk.size() >= 4'000'000 || total + int64_t(chunk.size()) >= PerKind) {
                total += Save("text", "text" + std::to_string(index++) + ".txt", chunk);
                chunk.clear();
            }
        }
        if (!chunk.empty() && total < PerKind)
            Save("text", "text" + std::to_string(index) + ".txt", chunk);
    }

    // Program files as they are, the larger ones first seen by name.
    void AddPrograms() {
        std::vector<fs::path> programs;
        for (const auto& entry : fs::directory_iterator("/usr/bin")) {
            std::error_code error;
            if (entry.is_regular_file(error) && !entry.is_symlink(error) &&
                entry.file_size(error) > 200'000)
                programs.push_back(entry.path());
        }
        std::sort(programs.begin(), programs.end());
        int64_t total = 0;
        for (const fs::path& program : programs) {
            if (total >= PerKind)
                break;
            fs::path copy = Folder / ("bin-" + program.filename().string());
            fs::copy_file(program, copy, fs::copy_options::overwrite_existing);
            fs::permissions(copy, fs::perms(0644));
            Files.push_back({copy, "programs", int64_t(fs::file_size(copy))});
            total += Files.back().Size;
        }
    }

    // Random bytes stand for data that is compressed already.
    void AddIncompressible() {
        std::mt19937_64 random(42);
        const int64_t fileSize = 8'000'000;
        for (int index = 0; index * fileSize < PerKind / 2; ++index) {
            std::string bytes(fileSize, '\0');
            for (size_t i = 0; i + 8 <= bytes.size(); i += 8) {
                uint64_t value = random();
                std::memcpy(&bytes[i], &value, 8);
            }
            Save("compressed", "random" + std::to_string(index) + ".bin", bytes);
        }
    }

    int64_t Save(const std::string& kind, const std::string& name, const std::string& bytes) {
        fs::path path = Folder / name;
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), std::streamsize(bytes.size()));
        Files.push_back({path, kind, int64_t(bytes.size())});
        return int64_t(bytes.size());
    }

    fs::path Folder;
    int64_t PerKind;
    std::vector<TCorpusFile> Files;
};

// ---- Running things ----

// Processor seconds (user and system) of this process and of the children it waited for.
double ProcessorSeconds() {
    double seconds = 0;
    for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        getrusage(who, &usage);
        for (const timeval& t : {usage.ru_utime, usage.ru_stime})
            seconds += double(t.tv_sec) + double(t.tv_usec) / 1e6;
    }
    return seconds;
}

// Wall-clock seconds of work; its processor seconds in *processor when asked.
double Seconds(const std::function<void()>& work, double* processor = nullptr) {
    const double processorBefore = ProcessorSeconds();
    auto start = std::chrono::steady_clock::now();
    work();
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (processor)
        *processor = ProcessorSeconds() - processorBefore;
    return elapsed;
}

// Runs a program with its standard output going to outputFile; returns its exit code.
int Run(const std::vector<std::string>& arguments, const fs::path& outputFile) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child;
    int result = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (result != 0)
        return -1;
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void Require(bool condition, const std::string& what) {
    if (!condition) {
        std::cerr << "zstream_bench: " << what << "\n";
        std::exit(1);
    }
}

// ---- The four jobs, each over the whole corpus or one kind of it ----

fs::path Sibling(const fs::path& path, const std::string& folder, const std::string& suffix) {
    return path.parent_path().parent_path() / folder / (path.filename().string() + suffix);
}

void ArchiveOurs(const TCorpusFile& file) {
    TVZipStream zip(file.Path.string());
    zip >> Sibling(file.Path, "ours", ".vl").string();
}

void ArchiveGzip(const TCorpusFile& file) {
    Require(Run({"gzip", "-6", "-c", file.Path.string()}, Sibling(file.Path, "gzip", ".gz")) == 0,
            "gzip failed");
}

void ExtractOurs(const TCorpusFile& file) {
    TVUnzipStream unzip(Sibling(file.Path, "ours", ".vl").string());
    Require(unzip.Extract(Sibling(file.Path, "ours-out", "").string(), nullptr),
            "extraction refused");
}

void ExtractGzip(const TCorpusFile& file) {
    Require(Run({"gzip", "-d", "-c", Sibling(file.Path, "gzip", ".gz").string()},
                Sibling(file.Path, "gzip-out", "")) == 0,
            "gzip -d failed");
}

struct TTimes {
    double Ours = 1e30;
    double Gzip = 1e30;
};

// Best time of several passes, ours and gzip's taking turns so that both meet the
// machine in the same state.
TTimes BestTimes(const std::vector<TCorpusFile>& files, void (*ours)(const TCorpusFile&),
                 void (*gzip)(const TCorpusFile&), const std::vector<fs::path>& cleanBefore,
                 int passes) {
    TTimes best;
    for (int pass = 0; pass < passes; ++pass) {
        for (const fs::path& folder : cleanBefore) {
            fs::remove_all(folder);
            fs::create_directories(folder);
        }
        best.Ours = std::min(best.Ours, Seconds([&] {
                                 for (const TCorpusFile& file : files)
                                     ours(file);
                             }));
        best.Gzip = std::min(best.Gzip, Seconds([&] {
                                 for (const TCorpusFile& file : files)
                                     gzip(file);
                             }));
    }
    return best;
}

int64_t FolderSize(const fs::path& folder) {
    int64_t size = 0;
    for (const auto& entry : fs::directory_iterator(folder))
        size += int64_t(entry.file_size());
    return size;
}

// ---- Peak memory in a fresh process ----

int64_t PeakKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atoll(line.c_str() + 6);
    }
    return -1;
}

// Child side: archives or extracts one file, then prints its peak resident size.
int RunPeakChild(const std::string& job, const std::string& file) {
    if (job == "--peak-archive") {
        TVZipStream zip(file);
        zip >> (file + ".vl");
    } else {
        TVUnzipStream unzip(file + ".vl");
        unzip.OverwriteMode = 1;
        Require(unzip.Extract(file + ".out", nullptr), "extraction refused");
    }
    std::printf("%lld\n", static_cast<long long>(PeakKiB()));
    return 0;
}

int64_t PeakOfChild(const std::string& job, const fs::path& file) {
    fs::path report = file.string() + ".peak";
    Require(Run({"/proc/self/exe", job, file.string()}, report) == 0, "child failed");
    std::ifstream in(report);
    int64_t kib = -1;
    in >> kib;
    return kib;
}

// A file of size bytes: text, so that deflate has real work to do.
void MakeGeneratedFile(const fs::path& path, int64_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::mt19937 random(7);
    std::string block;
    while (int64_t(block.size()) < MiB)
        block += "record " + std::to_string(random() % 100000) + " value " +
                 std::to_string(random() % 1000) + "\n";
    block.resize(MiB);
    for (int64_t written = 0; written < size; written += MiB)
        out.write(block.data(), std::streamsize(std::min<int64_t>(MiB, size - written)));
}

// ---- One large file of mixed content ----

// Reads a list of files in turn, over and over, as one endless stream of their bytes.
class TCyclingReader {
  public:
    explicit TCyclingReader(std::vector<fs::path> files) : Files(std::move(files)) {
        Require(!Files.empty(), "no files to take bytes from");
    }

    void Fill(std::string& block) {
        size_t filled = 0;
        while (filled < block.size()) {
            if (!Current.is_open() || Current.peek() == EOF) {
                Current.close();
                Current.clear();
                Current.open(Files[Next++ % Files.size()], std::ios::binary);
                continue;
            }
            Current.read(&block[filled], std::streamsize(block.size() - filled));
            filled += size_t(Current.gcount());
        }
    }

  private:
    std::vector<fs::path> Files;
    size_t Next = 0;
    std::ifstream Current;
};

std::vector<fs::path> FilesBelow(const fs::path& folder, const std::string& extension,
                                 uintmax_t smallest) {
    std::vector<fs::path> files;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(folder, error);
         it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_regular_file(error) && !it->is_symlink(error) &&
            (extension.empty() || it->path().extension() == extension) &&
            it->file_size(error) >= smallest)
            files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// Header text, program files and random bytes in turns of 4 MiB.
void MakeMixedFile(const fs::path& path, int64_t size) {
    TCyclingReader text(FilesBelow("/usr/include", ".h", 0));
    TCyclingReader programs(FilesBelow("/usr/bin", "", 200'000));
    std::mt19937_64 random(42);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::string block(4 * MiB, '\0');
    for (int64_t written = 0, turn = 0; written < size; written += int64_t(block.size()), ++turn) {
        if (turn % 3 == 0) {
            text.Fill(block);
        } else if (turn % 3 == 1) {
            programs.Fill(block);
        } else {
            for (size_t i = 0; i + 8 <= block.size(); i += 8) {
                uint64_t value = random();
                std::memcpy(&block[i], &value, 8);
            }
        }
        out.write(block.data(),
                  std::streamsize(std::min<int64_t>(int64_t(block.size()), size - written)));
    }
    Require(bool(out), "cannot write the large file");
}

// Archives file as the backup does, but into a plain file without forcing it out to the
// medium, as gzip writes its output.
void ArchiveLarge(const fs::path& file, const fs::path& archive, unsigned threads) {
    TVZipStream zip(file.string());
    zip.SetDeflateThreads(threads);
    TFileStream target(archive.string(), fmCreate);
    zip >> &target;
}

// Inflates the zlib stream after the archive's header with plain zlib and compares it
// with the original, and the stream's end with the archive's.
bool PlainZlibReadsBack(const fs::path& archive, const fs::path& original) {
    std::ifstream in(archive, std::ios::binary), expected(original, std::ios::binary);
    TFileStream headerStream(archive.string(), fmOpenRead);
    TVZStreamHeader header;
    header.Read(headerStream);
    in.seekg(std::streamoff(header.StoredSize()));
    z_stream state{};
    if (inflateInit(&state) != Z_OK)
        return false;
    std::vector<uint8_t> input(MiB), output(MiB), reference(MiB);
    int result = Z_OK;
    bool same = true;
    while (result != Z_STREAM_END && same) {
        if (state.avail_in == 0) {
            in.read(reinterpret_cast<char*>(input.data()), std::streamsize(input.size()));
            state.next_in = input.data();
            state.avail_in = uInt(in.gcount());
            if (state.avail_in == 0)
                break;
        }
        state.next_out = output.data();
        state.avail_out = uInt(output.size());
        result = inflate(&state, Z_NO_FLUSH);
        if (result != Z_OK && result != Z_STREAM_END)
            break;
        const size_t produced = output.size() - state.avail_out;
        expected.read(reinterpret_cast<char*>(reference.data()), std::streamsize(produced));
        same = size_t(expected.gcount()) == produced &&
               std::memcmp(output.data(), reference.data(), produced) == 0;
    }
    const bool whole =
        result == Z_STREAM_END && state.avail_in == 0 && in.peek() == EOF && expected.peek() == EOF;
    inflateEnd(&state);
    return same && whole;
}

// Runs a program under /usr/bin/time and returns its peak resident size in KiB.
int64_t PeakKiBUnderTime(std::vector<std::string> arguments, const fs::path& output) {
    const fs::path report = output.string() + ".time";
    arguments.insert(arguments.begin(), {"/usr/bin/time", "-o", report.string(), "-f", "%M"});
    Require(Run(arguments, output) == 0, "a measured program failed");
    std::ifstream in(report);
    int64_t kib = -1;
    in >> kib;
    return kib;
}

int RunLarge(int64_t megabytes, int passes) {
    std::string pattern = (fs::temp_directory_path() / "vl-zstream-large-XXXXXX").string();
    Require(mkdtemp(pattern.data()) != nullptr, "cannot make a temporary folder");
    const fs::path root = pattern;
    const fs::path file = root / "mixed.bin";
    const int64_t size = megabytes * MiB;
    const unsigned threads = TParallelDeflate::DefaultThreads();
    std::printf("Making %lld MiB of mixed content in %s ...\n", static_cast<long long>(megabytes),
                file.c_str());
    MakeMixedFile(file, size);
    MakeMixedFile(root / "one-MiB.bin", MiB);
    const fs::path ours = root / "ours.vl", single = root / "single.vl", gzip = root / "mixed.gz";

    // Wall-clock and processor seconds of the best pass of each.
    double best[3] = {1e30, 1e30, 1e30}, processor[3] = {0, 0, 0};
    for (int pass = 0; pass < passes; ++pass) {
        double times[3], used[3];
        times[0] = Seconds([&] { ArchiveLarge(file, ours, threads); }, &used[0]);
        times[1] = Seconds([&] { ArchiveLarge(file, single, 1); }, &used[1]);
        times[2] = Seconds(
            [&] {
                Require(Run({"gzip", "-6", "-c", file.string()}, gzip) == 0, "gzip failed");
            },
            &used[2]);
        for (int i = 0; i < 3; ++i) {
            if (times[i] < best[i]) {
                best[i] = times[i];
                processor[i] = used[i];
            }
        }
        std::printf("  pass %d: %.2f s on %u threads, %.2f s on one, gzip -6 %.2f s\n", pass + 1,
                    times[0], threads, times[1], times[2]);
    }
    Require(PlainZlibReadsBack(ours, file), "plain zlib does not read the archive back");
    Require(PlainZlibReadsBack(single, file), "plain zlib does not read the one-thread archive");

    // The pieces held at once, from the deflater itself.
    TParallelDeflate deflater(Z_DEFAULT_COMPRESSION, threads);
    {
        TFileStream source(file.string(), fmOpenRead);
        TFileStream target((root / "raw.z").string(), fmCreate);
        deflater.Compress(source, target, size);
    }
    fs::remove(root / "raw.z");

    const int64_t peakSmall = PeakKiBUnderTime({fs::read_symlink("/proc/self/exe").string(),
                                                "--peak-archive", (root / "one-MiB.bin").string()},
                                               root / "peak-small.out");
    const int64_t peakOurs = PeakKiBUnderTime(
        {fs::read_symlink("/proc/self/exe").string(), "--peak-archive", file.string()},
        root / "peak.out");
    const int64_t peakGzip =
        PeakKiBUnderTime({"gzip", "-6", "-c", file.string()}, root / "peak.gz");

    const char* names[3] = {"ours, all threads", "ours, one thread", "gzip -6"};
    const fs::path outputs[3] = {ours, single, gzip};
    std::printf("\nOne file of %.1f MB, best of %d passes, %u threads:\n", size / MB, passes,
                threads);
    std::printf("%-18s %9s %9s %9s %12s %8s\n", "", "seconds", "CPU s", "MB/s", "size MB", "ratio");
    for (int i = 0; i < 3; ++i) {
        const double bytes = double(fs::file_size(outputs[i]));
        std::printf("%-18s %9.2f %9.2f %9.1f %12.1f %7.2f%%\n", names[i], best[i], processor[i],
                    size / MB / best[i], bytes / MB, 100.0 * bytes / double(size));
    }
    std::printf("time against gzip -6: %.2f on %u threads, %.2f on one\n", best[0] / best[2],
                threads, best[1] / best[2]);
    std::printf(
        "peak resident memory: ours %.1f MiB (%.1f MiB for a file of 1 MiB), gzip %.1f "
        "MiB; pieces of %lld KiB held at most: %d\n",
        peakOurs / 1024.0, peakSmall / 1024.0, peakGzip / 1024.0,
        static_cast<long long>(TParallelDeflate::DefaultPieceSize / 1024),
        deflater.PeakPiecesInFlight());
    std::printf("plain zlib inflate reads both archives back unchanged\n");
    fs::remove_all(root);
    return 0;
}

// ---- Report ----

void PrintRow(const char* job, const char* kind, int64_t bytes, const TTimes& t) {
    double ours = bytes / MB / t.Ours, gzip = bytes / MB / t.Gzip;
    std::printf("%-8s %-11s %9.1f %11.1f %11.1f %10.2f\n", job, kind, bytes / MB, ours, gzip,
                ours / gzip);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]).rfind("--peak-", 0) == 0)
        return RunPeakChild(argv[1], argv[2]);
    if (argc > 1 && std::string(argv[1]) == "--large")
        return RunLarge(argc > 2 ? std::atoll(argv[2]) : 1024, argc > 3 ? std::atoi(argv[3]) : 3);

    const int64_t corpusMB = argc > 1 ? std::atoll(argv[1]) : 150;
    const int passes = argc > 2 ? std::atoi(argv[2]) : 3;
    std::string pattern = (fs::temp_directory_path() / "vl-zstream-bench-XXXXXX").string();
    Require(mkdtemp(pattern.data()) != nullptr, "cannot make a temporary folder");
    const fs::path root = pattern;

    std::printf("Building a corpus of about %lld MB in %s ...\n", static_cast<long long>(corpusMB),
                root.c_str());
    // Text and programs take two fifths each, incompressible bytes one fifth.
    auto files = TCorpusBuilder(root / "corpus", corpusMB * 1'000'000 * 2 / 5).Build();
    std::map<std::string, std::vector<TCorpusFile>> byKind;
    std::map<std::string, int64_t> kindBytes;
    int64_t totalBytes = 0;
    for (const TCorpusFile& file : files) {
        byKind[file.Kind].push_back(file);
        kindBytes[file.Kind] += file.Size;
        totalBytes += file.Size;
    }
    std::printf("Corpus: %.1f MB in %zu files (", totalBytes / MB, files.size());
    for (const auto& [kind, bytes] : kindBytes)
        std::printf(" %s %.1f MB", kind.c_str(), bytes / MB);
    std::printf(" ); best of %d passes\n\n", passes);

    const std::vector<fs::path> archives = {root / "ours", root / "gzip"};
    const std::vector<fs::path> outputs = {root / "ours-out", root / "gzip-out"};
    std::printf("%-8s %-11s %9s %11s %11s %10s\n", "job", "files", "MB", "ours MB/s", "gzip MB/s",
                "ours/gzip");
    for (const auto& [kind, kindFiles] : byKind)
        PrintRow("create", kind.c_str(), kindBytes[kind],
                 BestTimes(kindFiles, ArchiveOurs, ArchiveGzip, archives, passes));
    TTimes createAll = BestTimes(files, ArchiveOurs, ArchiveGzip, archives, passes);
    PrintRow("create", "all", totalBytes, createAll);

    for (const auto& [kind, kindFiles] : byKind)
        PrintRow("extract", kind.c_str(), kindBytes[kind],
                 BestTimes(kindFiles, ExtractOurs, ExtractGzip, outputs, passes));
    TTimes extractAll = BestTimes(files, ExtractOurs, ExtractGzip, outputs, passes);
    PrintRow("extract", "all", totalBytes, extractAll);

    for (const TCorpusFile& file : files)
        Require(fs::file_size(Sibling(file.Path, "ours-out", "")) == uintmax_t(file.Size),
                "a restored file differs in size");
    std::printf("\nArchive sizes: ours %.1f%% of the corpus, gzip %.1f%%\n",
                100.0 * FolderSize(root / "ours") / totalBytes,
                100.0 * FolderSize(root / "gzip") / totalBytes);

    std::printf("\nPeak resident memory (VmHWM) of a fresh process:\n");
    for (const char* folder : {"corpus", "ours", "gzip", "ours-out", "gzip-out"})
        fs::remove_all(root / folder);
    const fs::path small = root / "one-MiB.txt", large = root / "one-GiB.txt";
    MakeGeneratedFile(small, MiB);
    MakeGeneratedFile(large, 1024 * MiB);
    for (const char* job : {"--peak-archive", "--peak-extract"}) {
        int64_t smallPeak = PeakOfChild(job, small), largePeak = PeakOfChild(job, large);
        std::printf("  %-8s 1 MiB: %6.1f MiB   1 GiB: %6.1f MiB   difference %+.2f MiB\n", job + 7,
                    smallPeak / 1024.0, largePeak / 1024.0, (largePeak - smallPeak) / 1024.0);
    }
    fs::remove_all(root);
    return 0;
}
