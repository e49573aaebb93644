// vlctl profile set/show/delete and vlctl options, end to end.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <thread>

#include "profilemgr.h"
#include "runprogram.h"
#include "sandboxdata.h"

namespace {

const std::vector<std::string> kAddDocuments = {"profile",  "add",      "--title",  "Documents",
                                                "--source", "C:\\Work", "--target", "C:\\Backups"};
const std::vector<std::string> kAddPictures = {"profile",  "add",        "--title",  "Pictures",
                                               "--source", "C:\\Photos", "--target", "C:\\Saved"};

std::vector<std::string> Joined(std::vector<std::string> words,
                                const std::vector<std::string>& more) {
    words.insert(words.end(), more.begin(), more.end());
    return words;
}

void RunOk(const std::vector<std::string>& arguments) {
    TRunResult run = RunProgram(VLCTL_PROGRAM, arguments);
    ASSERT_EQ(run.ExitCode, 0) << arguments[0] << " " << arguments[1] << ": " << run.Err;
}

// A file holding text, for the password options.
std::string FileHolding(const TFreshDataFolder& data, const std::string& name,
                        const std::string& text) {
    const std::string path = data.Dir() / name;
    WriteTextFile(path, text);
    return path;
}

std::filesystem::path ProfilesFile(const TFreshDataFolder& data) {
    return data.Dir().Path() / "Vaultaire.vlp";
}

std::filesystem::path AutostartEntry() {
    return TestSandbox() / "config" / "autostart" / "Vaultaire 2000.desktop";
}

// Runs the two commands at once and returns their results.
std::pair<TRunResult, TRunResult> RunTogether(const std::vector<std::string>& first,
                                              const std::vector<std::string>& second) {
    TRunResult one;
    std::thread other([&] { one = RunProgram(VLCTL_PROGRAM, first); });
    TRunResult two = RunProgram(VLCTL_PROGRAM, second);
    other.join();
    return {one, two};
}

}  // namespace

TEST(VlctlProfileSet, ChangesWhatIsGivenAndKeepsTheRest) {
    TFreshDataFolder data;
    RunOk(kAddDocuments);
    TRunResult set = RunProgram(VLCTL_PROGRAM,
                                {"profile", "set", "--versions", "3", "--no-compress", "--include",
                                 ".doc, .xls", "--exclude", "", "--source", "C:\\Work,C:\\Mail"});
    ASSERT_EQ(set.ExitCode, 0) << set.Err;
    EXPECT_NE(set.Out.find("Changed the profile \"Documents\"."), std::string::npos) << set.Out;

    TProfileMgr manager;
    const TProfile* profile = manager.GetCurrentProfile();
    ASSERT_NE(profile, nullptr);
    EXPECT_EQ(profile->Title, "Documents");
    EXPECT_EQ(profile->GetSourceFolders(), (std::vector<std::string>{"C:\\Work", "C:\\Mail"}));
    EXPECT_EQ(profile->Target, "C:\\Backups");
    EXPECT_EQ(profile->Header.NumVersions, 3);
    EXPECT_EQ(profile->Header.Compression, 0);
    EXPECT_EQ(profile->GetIncludeMasks(), ".doc,.xls");
    EXPECT_EQ(profile->GetExcludeMasks(), "");
    EXPECT_EQ(profile->Header.Key, 0);
}

TEST(VlctlProfileSet, RenamesANamedProfileAndMovesMasksBetweenTheLists) {
    TFreshDataFolder data;
    RunOk(kAddDocuments);
    RunOk(kAddPictures);
    // .bak leaves the exclude list for the include list without a question, since both
    // lists are given.
    TRunResult set =
        RunProgram(VLCTL_PROGRAM, {"profile", "set", "pictures", "--title", "Photographs",
                                   "--include", ".bak,.jpg", "--exclude", ".tmp,.doc"});
    ASSERT_EQ(set.ExitCode, 0) << set.Err;
    EXPECT_NE(set.Out.find("The profile \"Pictures\" is now titled \"Photographs\"."),
              std::string::npos)
        << set.Out;
    TProfileMgr manager;
    EXPECT_EQ(manager.GetTitles(), "Documents,Photographs");
    EXPECT_EQ(manager.GetCurrentProfile()->Title, "Documents");
    const TProfile* photos = manager.Items(manager.IndexOfTitle("Photographs"));
    EXPECT_EQ(photos->GetIncludeMasks(), ".bak,.jpg");
    EXPECT_EQ(photos->GetExcludeMasks(), ".tmp,.doc");
}

TEST(VlctlProfileSet, AMaskFromTheOtherListAsksFirst) {
    TFreshDataFolder data;
    RunOk(kAddDocuments);
    const std::vector<std::string> includeBak = {"profile", "set", "--include", ".bak"};
    TRunResult refused = RunProgram(VLCTL_PROGRAM, includeBak, "no\n");
    EXPECT_EQ(refused.ExitCode, 1);
    EXPECT_NE(refused.Err.find("This file type is contained in the excluded file types list."),
              std::string::npos)
        << refused.Err;
    {
        TProfileMgr manager;
        EXPECT_EQ(manager.GetCurrentProfile()->GetIncludeMasks(), ".*");
        EXPECT_EQ(manager.GetCurrentProfile()->GetExcludeMasks(), ".bak,.tmp");
    }
    TRunResult accepted = RunProgram(VLCTL_PROGRAM, includeBak, "yes\n");
    ASSERT_EQ(accepted.ExitCode, 0) << accepted.Err;
    TProfileMgr manager;
    EXPECT_EQ(manager.GetCurrentProfile()->GetIncludeMasks(), ".bak");
    EXPECT_EQ(manager.GetCurrentProfile()->GetExcludeMasks(), ".tmp");
}

// Every refusal says why in the dialogs' words and leaves the profiles file as it was.
TEST(VlctlProfileSet, RefusalsSayWhyAndChangeNothing) {
    TFreshDataFolder data;
    RunOk(kAddDocuments);
    RunOk(kAddPictures);
    RunOk({"profile", "set", "Pictures", "--password-file", FileHolding(data, "pw", "secret\n")});
    const std::string emptyFile = FileHolding(data, "empty", "");
    const std::string fifo = data.Dir() / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string wrong = FileHolding(data, "wrong", "guess\n");
    const std::string newPassword = FileHolding(data, "new", "other\n");
    const std::string longPassword = FileHolding(data, "long", std::string(33, 'p') + "\n");
    UseDriveMap("detect off\nC: fixed \"" + (TestSandbox() / "home").string() +
                "\"\nR: ramdisk \"" + data.Dir().Path().string() + "\"\n");

    struct Case {
        std::vector<std::string> Options;
        const char* Message;
    };
    const Case cases[] = {
        {{"--title", ""}, "You have not entered a title."},
        {{"--title", "   "}, "You have not entered a title."},
        {{"--title", "Picture Show"}, "That name already exists. Please enter another name."},
        {{"Pictures", "--title", "Doc"}, "That name already exists. Please enter another name."},
        {{"--source", ""}, "There are no folders selected to guard."},
        {{"--source", " , "}, "There are no folders selected to guard."},
        {{"--target", ""}, "There is no target drive/folder selected."},
        {{"--target", "c:\\work"}, "The target folder you have selected is one of the folders"},
        {{"--source", "C:\\Backups,C:\\Work"},
         "The target folder you have selected is one of the folders"},
        {{"--target", "R:\\"}, "Vaultaire 2000 does not support backups to RAM drives."},
        {{"--include", ""}, "There are no files types selected to monitor."},
        {{"--exclude", ".*"}, "The file type you have chosen cannot be added to the excluded"},
        {{"--include", ".*,.doc"}, "No other file types may be added."},
        {{"--password-file", emptyFile}, "is empty"},
        {{"--password-file", longPassword}, "passwords can be between 1 and 32 characters"},
        {{"--title", std::string(256, 't')}, "a title can be at most 255 characters long"},
        {{"--password-file", fifo}, "cannot read the password file"},
        {{"--password-file", data.Dir().Path().string()}, "cannot read the password file"},
        {{"--versions", "0"}, "--versions takes a number from 1 to 999"},
        {{"--versions", "1000"}, "--versions takes a number from 1 to 999"},
        {{"--versions", "3x"}, "--versions takes a number from 1 to 999"},
        {{"--compress", "--no-compress"}, "exclude each other"},
        {{"--no-password", "--password-file", newPassword}, "exclude each other"},
        {{}, "usage: vlctl profile set"},
        {{"Nobody", "--versions", "2"}, "there is no profile titled \"Nobody\""},
        // A refusal after an accepted option drops that one too.
        {{"--versions", "5", "--title", ""}, "You have not entered a title."},
        {{"Pictures", "--no-password"}, "is password protected"},
        {{"Pictures", "--password-file", newPassword}, "is password protected"},
        {{"Pictures", "--password-file", newPassword, "--old-password-file", wrong},
         "That is not the correct password."},
        {{"Pictures", "--no-password", "--old-password-file", wrong},
         "That is not the correct password."},
    };
    const std::string before = ReadTextFile(ProfilesFile(data));
    for (const Case& c : cases) {
        std::string shown;
        for (const std::string& option : c.Options)
            shown += option + " ";
        SCOPED_TRACE(shown);
        TRunResult run = RunProgram(VLCTL_PROGRAM, Joined({"profile", "set"}, c.Options));
        EXPECT_EQ(run.ExitCode, 1) << run.Out;
        EXPECT_NE(run.Err.find(c.Message), std::string::npos) << run.Err;
        EXPECT_EQ(ReadTextFile(ProfilesFile(data)), before);
    }
}

TEST(VlctlProfileSet, APasswordIsChangedOrRemovedWithTheOldOne) {
    TFreshDataFolder data;
    RunOk(kAddDocuments);
    const std::string first = FileHolding(data, "first", "Secret\r\nignored line\n");
    const std::string longest(32, 'x');  // the longest password the dialogs take
    const std::string second = FileHolding(data, "second", longest);
    TRunResult protect = RunProgram(VLCTL_PROGRAM, {"profile", "set", "--password-file", first});
    ASSERT_EQ(protect.ExitCode, 0) << protect.Err;
    {
        TProfileMgr manager;
        EXPECT_TRUE(manager.GetCurrentProfile()->IsPassword("Secret"));
    }
    // The same password again changes nothing and needs no old one.
    TRunResult same = RunProgram(VLCTL_PROGRAM, {"profile", "set", "--password-file", first});
    ASSERT_EQ(same.ExitCode, 0) << same.Err;
    EXPECT_NE(same.Out.find("nothing changed"), std::string::npos) << same.Out;

    TRunResult change = RunProgram(
        VLCTL_PROGRAM, {"profile", "set", "--password-file", second, "--old-password-file", first});
    ASSERT_EQ(change.ExitCode, 0) << change.Err;
    EXPECT_NE(change.Out.find("Your password has been successfully changed."), std::string::npos);
    {
        TProfileMgr manager;
        EXPECT_TRUE(manager.GetCurrentProfile()->IsPassword(longest));
    }
    TRunResult remove = RunProgram(
        VLCTL_PROGRAM, {"profile", "set", "--no-password", "--old-password-file", second});
    ASSERT_EQ(remove.ExitCode, 0) << remove.Err;
    EXPECT_NE(remove.Out.find("This profile is no longer password protected."), std::string::npos);
    TProfileMgr manager;
    EXPECT_EQ(manager.GetCurrentProfile()->Header.Key, 0);
}

// Two commands changing different fields of one profile at once: both changes are kept.
TEST(VlctlProfileSet, TwoChangesAtOnceAreBothKept) {
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        TFreshDataFolder data;
        RunOk(kAddDocuments);
        RunOk(kAddPictures);
        auto [versions, compression] = RunTogether(
            {"profile", "set", "Documents", "--versions", "4", "--target", "C:\\Copies"},
            {"profile", "set", "Documents", "--no-compress", "--exclude", ".obj"});
        ASSERT_EQ(versions.ExitCode, 0) << versions.Err;
        ASSERT_EQ(compression.ExitCode, 0) << compression.Err;
        TProfileMgr manager;
        const TProfile* profile = manager.Items(manager.IndexOfTitle("Documents"));
        EXPECT_EQ(profile->Header.NumVersions, 4);
        EXPECT_EQ(profile->Target, "C:\\Copies");
        EXPECT_EQ(profile->Header.Compression, 0);
        EXPECT_EQ(profile->GetExcludeMasks(), ".obj");
        EXPECT_EQ(manager.Count(), 2);
    }
}

// Two commands giving two profiles one title at once: one of them is refused.
TEST(VlctlProfileSet, TwoRenamesToOneTitleAtOnceKeepTitlesApart) {
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        TFreshDataFolder data;
        RunOk(kAddDocuments);
        RunOk(kAddPictures);
        auto [first, second] =
            RunTogether({"profile", "set", "Documents", "--title", "Letters"},
                        {"profile", "set", "Pictures", "--title", "letters to Ann"});
        EXPECT_EQ(first.ExitCode + second.ExitCode, 1) << first.Err << second.Err;
        EXPECT_NE((first.Err + second.Err).find("That name already exists."), std::string::npos);
        TProfileMgr manager;
        ASSERT_EQ(manager.Count(), 2);
        const bool firstRenamed = manager.IndexOfTitle("Letters") >= 0;
        const bool secondRenamed = manager.IndexOfTitle("letters to Ann") >= 0;
        EXPECT_NE(firstRenamed, secondRenamed) << manager.GetTitles();
        EXPECT_GE(manager.IndexOfTitle(firstRenamed ? "Pictures" : "Documents"), 0)
            << manager.GetTitles();
    }
}

TEST(VlctlProfileShow, ShowsEveryFieldInWords) {
    TFreshDataFolder data;
    RunOk(kAddDocuments);
    RunOk(kAddPictures);
    RunOk({"profile", "set", "Pictures", "--versions", "7", "--no-compress", "--password-file",
           FileHolding(data, "pw", "secret"), "--source", "C:\\Photos,C:\\Scans"});
    TRunResult pictures = RunProgram(VLCTL_PROGRAM, {"profile", "show", "Pictures"});
    ASSERT_EQ(pictures.ExitCode, 0) << pictures.Err;
    EXPECT_NE(pictures.Out.find("Profile Title:          Pictures\n"
                                "Source:                 C:\\Photos, C:\\Scans\n"
                                "Target:                 C:\\Saved\n"
                                "Include:                .*\n"
                                "Exclude:                .bak, .tmp\n"
                                "Password-Protect:       yes\n"
                                "Versions to keep:       7\n"
                                "Compress backup files:  no\n"
                                "Diskettes:              no diskette series started\n"
                                "Created:                "),
              std::string::npos)
        << pictures.Out;
    TRunResult current = RunProgram(VLCTL_PROGRAM, {"profile", "show"});
    ASSERT_EQ(current.ExitCode, 0) << current.Err;
    EXPECT_NE(current.Out.find("Profile Title:          Documents (the current profile)\n"),
              std::string::npos)
        << current.Out;
    EXPECT_NE(current.Out.find("Password-Protect:       no\n"), std::string::npos);
    EXPECT_NE(current.Out.find("Compress backup files:  yes\n"), std::string::npos);

    TRunResult unknown = RunProgram(VLCTL_PROGRAM, {"profile", "show", "Nobody"});
    EXPECT_EQ(unknown.ExitCode, 1);
    EXPECT_NE(unknown.Err.find("there is no profile titled \"Nobody\""), std::string::npos);
}

TEST(VlctlProfileShow, SaysSoWhenThereAreNoProfiles) {
    TFreshDataFolder data;
    for (const char* command : {"show", "set", "delete"}) {
        std::vector<std::string> arguments = {"profile", command, "Any"};
        if (std::string(command) == "set")
            arguments.insert(arguments.end(), {"--versions", "2"});
        TRunResult run = RunProgram(VLCTL_PROGRAM, arguments);
        EXPECT_EQ(run.ExitCode, 1) << command;
        EXPECT_NE(run.Err.find("there are no profiles"), std::string::npos) << run.Err;
    }
}

TEST(VlctlProfileDelete, DeletesANamedProfileAndKeepsTheCurrentOne) {
    TFreshDataFolder data;
    RunOk(kAddDocuments);
    RunOk(kAddPictures);
    RunOk({"profile", "add", "--title", "Mail", "--source", "C:\\Mail", "--target", "C:\\Saved"});
    RunOk({"profile", "select", "Mail"});

    TRunResult other = RunProgram(VLCTL_PROGRAM, {"profile", "delete", "pictures"});
    ASSERT_EQ(other.ExitCode, 0) << other.Err;
    EXPECT_NE(other.Out.find("Deleted the profile \"Pictures\"; the current profile is \"Mail\"."),
              std::string::npos)
        << other.Out;
    {
        TProfileMgr manager;
        EXPECT_EQ(manager.GetTitles(), "Documents,Mail");
        EXPECT_EQ(manager.GetCurrentProfile()->Title, "Mail");
    }
    TRunResult current = RunProgram(VLCTL_PROGRAM, {"profile", "delete", "Mail"});
    ASSERT_EQ(current.ExitCode, 0) << current.Err;
    {
        TProfileMgr manager;
        EXPECT_EQ(manager.GetTitles(), "Documents");
        EXPECT_EQ(manager.GetCurrentProfile()->Title, "Documents");
    }
    const std::string before = ReadTextFile(ProfilesFile(data));
    TRunResult last = RunProgram(VLCTL_PROGRAM, {"profile", "delete", "Documents"});
    EXPECT_EQ(last.ExitCode, 1);
    EXPECT_NE(last.Err.find("is the only one and cannot be deleted"), std::string::npos);
    TRunResult unknown = RunProgram(VLCTL_PROGRAM, {"profile", "delete", "Nobody"});
    EXPECT_EQ(unknown.ExitCode, 1);
    EXPECT_NE(unknown.Err.find("there is no profile titled \"Nobody\""), std::string::npos);
    EXPECT_EQ(ReadTextFile(ProfilesFile(data)), before);
}

TEST(VlctlOptions, ShowsAndChangesTheSettings) {
    TFreshDataFolder data;
    std::filesystem::remove(AutostartEntry());
    TRunResult defaults = RunProgram(VLCTL_PROGRAM, {"options"});
    ASSERT_EQ(defaults.ExitCode, 0) << defaults.Err;
    EXPECT_EQ(defaults.Out,
              "Start at login:      on\n"
              "Create log file:     on\n"
              "Record:              both\n"
              "Maximum log entries: 500\n");

    RunOk(kAddDocuments);
    TRunResult set = RunProgram(VLCTL_PROGRAM, {"options", "--log", "off", "--log-entries", "32000",
                                                "--log-type", "errors"});
    ASSERT_EQ(set.ExitCode, 0) << set.Err;
    EXPECT_NE(set.Out.find("Record:              only errors\n"), std::string::npos) << set.Out;
    {
        TProfileMgr manager;
        EXPECT_FALSE(manager.CreateLog);
        EXPECT_EQ(manager.MaxLogEntries, 32000);
        EXPECT_EQ(manager.LogType, 1);
        EXPECT_TRUE(manager.StartWithWindows);
        EXPECT_EQ(manager.GetCurrentProfile()->Title, "Documents");
    }
    // The entry follows the setting, as after the options dialog.
    EXPECT_TRUE(std::filesystem::exists(AutostartEntry()));

    RunOk({"options", "--start-at-login", "off", "--log-type", "successes"});
    EXPECT_FALSE(std::filesystem::exists(AutostartEntry()));
    TProfileMgr manager;
    EXPECT_FALSE(manager.StartWithWindows);
    EXPECT_EQ(manager.LogType, 0);
    EXPECT_FALSE(manager.CreateLog);
}

TEST(VlctlOptions, StartingAtLoginWritesAnEntryForTheTrayProgram) {
    TFreshDataFolder data;
    RunOk(kAddDocuments);
    RunOk({"options", "--start-at-login", "off"});
    ASSERT_FALSE(std::filesystem::exists(AutostartEntry()));
    RunOk({"options", "--start-at-login", "on"});
    const std::string entry = ReadTextFile(AutostartEntry());
    const std::string tray =
        (std::filesystem::path(VLCTL_PROGRAM).parent_path() / "vaultaire").string();
    EXPECT_NE(entry.find("Name=Vaultaire 2000\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("Exec=\"" + tray + "\"\n"), std::string::npos) << entry;
    TProfileMgr manager;
    EXPECT_TRUE(manager.StartWithWindows);
}

TEST(VlctlOptions, RefusalsChangeNothing) {
    TFreshDataFolder data;
    struct Case {
        std::vector<std::string> Options;
        const char* Message;
    };
    const Case cases[] = {
        {{"--log", "maybe"}, "--log takes on or off"},
        {{"--start-at-login", "yes"}, "--start-at-login takes on or off"},
        {{"--log-entries", "0"}, "--log-entries takes a number from 1 to 32000"},
        {{"--log-entries", "32001"}, "--log-entries takes a number from 1 to 32000"},
        {{"--log-entries", ""}, "--log-entries takes a number from 1 to 32000"},
        {{"--log-entries", "-5"}, "--log-entries takes a number from 1 to 32000"},
        {{"--log-entries", "99999999999"}, "--log-entries takes a number from 1 to 32000"},
        {{"--log-type", "all"}, "--log-type takes successes, errors or both"},
        {{"--log", "off", "--log-type", "all"}, "--log-type takes successes, errors or both"},
        {{"--log", "off"}, "make a profile first"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Options[0] + " " + c.Options[1]);
        TRunResult run = RunProgram(VLCTL_PROGRAM, Joined({"options"}, c.Options));
        EXPECT_EQ(run.ExitCode, 1);
        EXPECT_NE(run.Err.find(c.Message), std::string::npos) << run.Err;
    }
    RunOk(kAddDocuments);
    TRunResult bad = RunProgram(VLCTL_PROGRAM, {"options", "--log", "off", "--log-entries", "0"});
    EXPECT_EQ(bad.ExitCode, 1);
    TProfileMgr manager;
    EXPECT_TRUE(manager.CreateLog);
    EXPECT_EQ(manager.MaxLogEntries, 500);
}

TEST(VlctlOptions, TwoChangesAtOnceAreBothKept) {
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        TFreshDataFolder data;
        RunOk(kAddDocuments);
        RunOk(kAddPictures);
        auto [log, entries] =
            RunTogether({"options", "--log", "off"}, {"options", "--log-entries", "1234"});
        ASSERT_EQ(log.ExitCode, 0) << log.Err;
        ASSERT_EQ(entries.ExitCode, 0) << entries.Err;
        TRunResult select = RunProgram(VLCTL_PROGRAM, {"profile", "select", "Pictures"});
        ASSERT_EQ(select.ExitCode, 0);
        TProfileMgr manager;
        EXPECT_FALSE(manager.CreateLog);
        EXPECT_EQ(manager.MaxLogEntries, 1234);
        EXPECT_EQ(manager.GetCurrentProfile()->Title, "Pictures");
    }
}
