#include "enginefixture.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <sstream>

#include "backupcontroller.h"
#include "logfile.h"
#include "platform/files.h"
#include "platform/filestream.h"
#include "platform/messages.h"
#include "zstream.h"

namespace fs = std::filesystem;

namespace {

// Messages reach the controller through the main thread's event loop, the plain queue that
// vlctl serves too; one serves every test of the program.
void EnsureEventLoop() {
    static TPlainEventLoop loop;
}

std::string VolumeText(uint32_t serial, const std::string& label) {
    char text[32];
    std::snprintf(text, sizeof text, "%04X-%04X", serial >> 16, serial & 0xFFFF);
    return std::string("serial=") + text + "\nlabel=" + label + "\n";
}

}  // namespace

std::string RandomBytes(size_t count, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(count, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(generator() & 0xFF);
    return bytes;
}

// ---- TSimulatedDrives ----

void TSimulatedDrives::WriteFile(const std::string& below, const std::string& content) const {
    WriteTextFile(Host(below), content);
}

std::string TSimulatedDrives::ReadFile(const std::string& below) const {
    return ReadTextFile(Host(below));
}

bool TSimulatedDrives::Exists(const std::string& below) const {
    return fs::exists(Host(below));
}

std::string TSimulatedDrives::Drive(char letter, const std::string& type, const std::string& below,
                                    const std::string& options) const {
    std::string line = std::string(1, letter) + ": " + type + " \"" + Host(below) + "\"";
    return options.empty() ? line : line + " " + options;
}

void TSimulatedDrives::UseDrives(const std::vector<std::string>& drives) {
    std::string map = "detect off\n";
    for (const std::string& drive : drives)
        map += drive + "\n";
    UseDriveMap(map);
}

std::set<std::string> TSimulatedDrives::FilesBelow(const std::string& below) const {
    std::set<std::string> files;
    fs::path root = Host(below);
    if (!fs::is_directory(root))
        return files;
    for (auto entry = fs::recursive_directory_iterator(root);
         entry != fs::recursive_directory_iterator(); ++entry) {
        if (entry->is_directory() && entry->path().filename().string().starts_with(".")) {
            entry.disable_recursion_pending();
            continue;
        }
        if (entry->is_regular_file())
            files.insert(fs::relative(entry->path(), root).generic_string());
    }
    return files;
}

// ---- TBackupRunTest ----

TBackupRunTest::TBackupRunTest() {
    EnsureEventLoop();
    SavedInteraction = SetInteraction(&Script);
    if (const char* temp = std::getenv("TMPDIR"))
        SavedTempFolder = temp;
}

TBackupRunTest::~TBackupRunTest() {
    Manager.reset();
    SetInteraction(SavedInteraction);
    setenv("TMPDIR", SavedTempFolder.c_str(), 1);
}

void TBackupRunTest::TearDown() {
    for (const std::string& question : Script.Unexpected())
        ADD_FAILURE() << "unscripted question: " << question;
    EXPECT_EQ(Script.Pending(), 0u) << "scripted questions that were never asked";
}

TProfile& TBackupRunTest::UseProfile(const std::vector<std::string>& sources,
                                     const std::string& target, int numVersions) {
    if (!Manager) {
        Manager = std::make_unique<TProfileMgr>();
        Manager->AddNewProfile(std::make_unique<TProfile>());
    }
    TProfile& profile = Profile();
    profile.Title = "Letters";
    profile.UpdateSource(sources);
    profile.Target = target;
    profile.SetNumVersions(numVersions);
    SaveProfile();
    return profile;
}

TProfile TBackupRunTest::StoredProfile() {
    TProfile stored;
    {
        TProfileMgr reader;
        if (reader.GetCurrentProfile())
            stored = *reader.GetCurrentProfile();
    }
    // Only one manager is meant to live at a time: the reader has taken the class-wide
    // pointer away from the test's own.
    TProfile::Manager = Manager.get();
    return stored;
}

namespace {

// Records what the controller reports of a run.
class TRecordingObserver : public TBackupObserver {
  public:
    TRecordingObserver(TRunOutcome& outcome, std::function<void(uint32_t)>& beforeAnswer)
        : Outcome(outcome), BeforeAnswer(beforeAnswer) {}

    void TotalFilesFound(long total) override { Outcome.TotalFiles = total; }
    void FilesProcessed(long done) override { Outcome.Processed.push_back(done); }
    void QuestionComing(uint32_t message) override {
        Outcome.Questions.push_back(message);
        if (BeforeAnswer)
            BeforeAnswer(message);
    }

  private:
    TRunOutcome& Outcome;
    std::function<void(uint32_t)>& BeforeAnswer;
};

}  // namespace

TRunOutcome TBackupRunTest::RunBackup() {
    TLogFile log(Manager->MaxLogEntries, static_cast<TLogType>(Manager->LogType),
                 Manager->CreateLog);
    LogFile = log.FileName;
    TRunOutcome outcome;
    TRecordingObserver observer(outcome, BeforeAnswer);
    TBackupController controller(log, observer);
    TBackupResult result = controller.Run(Profile(), CancelWhen);
    outcome.Error = result.Error;
    outcome.Done = result.Error == 0;
    outcome.FailedFiles = result.FailedFiles;
    outcome.FailedFolders = result.FailedFolders;
    return outcome;
}

std::vector<std::string> TBackupRunTest::LogLines() const {
    std::string text;
    ReadFileText(LogFile, text);
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

void TBackupRunTest::MakeDiskette(const std::string& below, uint32_t serial,
                                  const std::string& label) const {
    fs::create_directories(Host(below));
    WriteFile(below + "/.vaultaire/volume", VolumeText(serial, label));
}

std::string TBackupRunTest::LabelOf(const std::string& below) const {
    std::istringstream in(ReadFile(below + "/.vaultaire/volume"));
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with("label="))
            return line.substr(6);
    }
    return {};
}

void TBackupRunTest::InsertDiskette(const std::string& below) {
    if (!InDrive.empty())
        fs::rename(Host("a"), Host(InDrive));
    fs::rename(Host(below), Host("a"));
    InDrive = below;
}

TArchived TBackupRunTest::ReadArchive(const std::string& below) const {
    TArchived archived;
    TVUnzipStream archive(Host(below));
    if (!archive.Valid)
        return archived;
    archived.Valid = true;
    archived.OriginalPath = archive.OriginalPath();
    std::string content = Host("archive-content");
    {
        TFileStream out(content, fmCreate);
        archive >> &out;
    }
    archived.Content = ReadTextFile(content);
    fs::remove(content);
    return archived;
}

bool TBackupRunTest::ArchiveAttributeSet(const std::string& path) const {
    return (GetFileAttributes(path) & faArchive) != 0;
}

void TBackupRunTest::UseTempFolder(const std::string& below) {
    fs::create_directories(Host(below));
    setenv("TMPDIR", Host(below).c_str(), 1);
}
