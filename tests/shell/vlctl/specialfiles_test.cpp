// The program's own files replaced by what a careless user or an attacker may leave there:
// a pipe, a folder, a link to a device or to nothing, an unreadable or an oversized file.
// Every command ends at once, says which file and why, and leaves the thing as it is.
#include "specialfiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "runprogram.h"
#include "sandboxdata.h"

namespace fs = std::filesystem;

namespace {

// No command needs more than a moment; one that waits for a pipe's writer is killed.
constexpr int kTimeLimit = 10;

// One of the program's files, the largest it reads, and the commands that read it.
struct TOwnFile {
    const char* Name;
    uintmax_t Limit;
    std::vector<std::vector<std::string>> Commands;
};

// A data folder with a drive map, a source folder with a file, a target drive D: and a
// profile "P" that backs the one up to the other.
class TBackupSetting {
  public:
    TBackupSetting()
        : Source(TestSandbox() / "home" / Data.Dir().Path().filename() / "src"),
          Target(Data.Dir().Path() / "target") {
        WriteTextFile(Source / "a.txt", "content\n");
        fs::create_directories(Target);
        UseDriveMap("detect off\nC: fixed \"" + (TestSandbox() / "home").string() +
                    "\"\nD: fixed \"" + Target.string() + "\"\n");
        TRunResult add = RunProgram(VLCTL_PROGRAM, {"profile", "add", "--title", "P", "--source",
                                                    Source.string(), "--target", "D:\\"});
        EXPECT_EQ(add.ExitCode, 0) << add.Err;
        WriteTextFile(PasswordFile(), "secret\n");
    }

    fs::path DataFile(const std::string& name) const { return Data.Dir().Path() / name; }
    fs::path PasswordFile() const { return Data.Dir().Path() / "password"; }
    fs::path Archive() const { return Data.Dir().Path() / "a.vl"; }
    std::string SourceFile() const { return (Source / "a.txt").string(); }
    bool TargetIsEmpty() const { return fs::is_empty(Target); }

  private:
    TFreshDataFolder Data;
    fs::path Source;
    fs::path Target;
};

std::string Joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words)
        text += (text.empty() ? "" : " ") + word;
    return text;
}

void ExpectRefusedAtOnce(const TBackupSetting& setting, const fs::path& file,
                         const TSpecialFile& special, const std::vector<std::string>& command) {
    SCOPED_TRACE(Joined(command));
    std::string before = DescribeFile(file);
    TRunResult run = RunProgram(VLCTL_PROGRAM, command, "", kTimeLimit);
    EXPECT_FALSE(run.TimedOut) << "the command waited";
    EXPECT_EQ(run.ExitCode, 1) << run.Out << run.Err;
    EXPECT_NE(run.Err.find(file.filename().string()), std::string::npos) << run.Err;
    EXPECT_NE(run.Err.find(special.ReasonPart), std::string::npos) << run.Err;
    EXPECT_EQ(DescribeFile(file), before) << "the file was replaced or written";
    EXPECT_TRUE(setting.TargetIsEmpty()) << "nothing is backed up";
    EXPECT_FALSE(fs::exists(setting.Archive())) << "no archive is made";
}

}  // namespace

TEST(VlctlOwnFiles, EachSpecialFileIsRefusedAtOnceNamedAndLeftAsItIs) {
    const std::vector<std::string> backup = {"backup", "P"};
    const TOwnFile files[] = {
        {"drives.map", 1 << 20, {backup, {"drives"}}},
        {"Vaultaire 2000.log", 64 << 20, {backup}},
        {"Vaultaire.vlp",
         64 << 20,
         {{"profiles"},
          backup,
          {"profile", "add", "--title", "Q", "--source", "C:\\", "--target", "D:\\"}}},
    };
    for (const TOwnFile& own : files) {
        for (const TSpecialFile& special : SpecialFiles()) {
            SCOPED_TRACE(std::string(own.Name) + " as " + special.Name);
            TBackupSetting setting;
            fs::path file = setting.DataFile(own.Name);
            if (!MakeSpecialFile(file, special.Kind, own.Limit)) {
                std::printf("[   NOTE   ] %s cannot be made by this user: not checked\n",
                            special.Name);
                continue;
            }
            for (const std::vector<std::string>& command : own.Commands)
                ExpectRefusedAtOnce(setting, file, special, command);
            RemoveSpecialFile(file);
        }
    }
}

TEST(VlctlOwnFiles, SpecialPasswordFileIsRefusedAtOnce) {
    for (const TSpecialFile& special : SpecialFiles()) {
        SCOPED_TRACE(special.Name);
        TBackupSetting setting;
        fs::path file = setting.PasswordFile();
        if (!MakeSpecialFile(file, special.Kind, 64 << 10)) {
            std::printf("[   NOTE   ] %s cannot be made by this user: not checked\n", special.Name);
            continue;
        }
        ExpectRefusedAtOnce(setting, file, special,
                            {"archive", "create", setting.SourceFile(), setting.Archive().string(),
                             "--password-file", file.string()});
        RemoveSpecialFile(file);
    }
}
