#pragma once

// Backup runs against simulated drives: a real backup thread, a controller in the test's
// main thread that answers the thread's questions from a script, and drives whose media are
// folders of a temporary world.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "logfile.h"
#include "profilemgr.h"
#include "sandboxdata.h"
#include "scriptedinteraction.h"
#include "testenv.h"

// A temporary world of host folders that stand behind drive letters.
class TSimulatedDrives : public testing::Test {
  protected:
    // The host path of below ("c/Data/a.txt") in the world.
    std::string Host(const std::string& below) const { return World / below; }
    void WriteFile(const std::string& below, const std::string& content) const;
    std::string ReadFile(const std::string& below) const;
    bool Exists(const std::string& below) const;

    // One line of a drive map: letter, type ("fixed", "removable") and the folder below the
    // world, followed by options ("capacity=2000", "write-protected", "simulated").
    std::string Drive(char letter, const std::string& type, const std::string& below,
                      const std::string& options = "") const;
    // Makes these drives the only ones there are.
    void UseDrives(const std::vector<std::string>& drives);

    // The regular files below below, as paths relative to it with "/" between names, leaving
    // out what lies in dot-folders (a medium's volume information).
    std::set<std::string> FilesBelow(const std::string& below) const;

    TFreshDataFolder Data;
    TTempDir World;
};

// What the controller saw of one run.
struct TRunOutcome {
    bool Done = false;                // the run went through to its end
    int Error = 0;                    // the code the run ended with, 0 when it went through
    int FailedFiles = 0;              // files that could not be saved
    int FailedFolders = 0;            // folders that could not be read
    long TotalFiles = -1;             // the count of WM_TOTALFILES
    std::vector<long> Processed;      // the counts of the WM_FILESPROCESSED messages
    std::vector<uint32_t> Questions;  // the messages the thread sent, in order
};

// What an archive on the target holds.
struct TArchived {
    bool Valid = false;
    std::string OriginalPath;
    std::string Content;
};

// One profile, a log and a backup run to its end by the controller every front end uses
// (TBackupController). The questions the thread sends are answered as the program answers
// them, which asks Script; an unscripted question, or a scripted one that never came, fails
// the test.
class TBackupRunTest : public TSimulatedDrives {
  protected:
    TBackupRunTest();
    ~TBackupRunTest() override;
    void TearDown() override;

    // Makes the current profile (the only one) a profile titled "Letters" of sources to
    // target, every file but .bak and .tmp, numVersions kept, compressed, no password.
    // Stored at once.
    TProfile& UseProfile(const std::vector<std::string>& sources, const std::string& target,
                         int numVersions = 3);
    TProfile& Profile() { return *Manager->GetCurrentProfile(); }
    // Stores the current profile as it is now.
    void SaveProfile() { Manager->SaveCurrentProfile(); }
    // The current profile as the profiles file holds it, read by a manager of its own.
    TProfile StoredProfile();

    // Runs a backup of the current profile until the thread has ended.
    TRunOutcome RunBackup();
    // The manager of the profile, for controllers a test makes itself.
    TProfileMgr& ProfileManager() { return *Manager; }
    // Makes log the one LogLines reads.
    void ReadLogOf(const TLogFile& log) { LogFile = log.FileName; }
    // The log of the last run: its file and its lines.
    const std::string& LogFileName() const { return LogFile; }
    std::vector<std::string> LogLines() const;

    // A formatted medium in the folder below: serial number and label, nothing else on it.
    void MakeDiskette(const std::string& below, uint32_t serial, const std::string& label) const;
    // The label of the medium kept in the folder below.
    std::string LabelOf(const std::string& below) const;
    // Takes the diskette out of drive folder "a" (back into the folder it came from) and
    // puts the one kept in below there.
    void InsertDiskette(const std::string& below);

    // Reads the archive below; Valid is false when it is none.
    TArchived ReadArchive(const std::string& below) const;
    bool ArchiveAttributeSet(const std::string& path) const;

    // Makes the folder below the system's temporary folder for the rest of the test.
    void UseTempFolder(const std::string& below);

    TScriptedInteraction Script;
    // Runs in the controller, before a question of the thread is answered: what the user
    // does before pressing the button (swapping diskettes, sliding the write-protection tab).
    std::function<void(uint32_t message)> BeforeAnswer;
    // Asked in the controller after every event of a run; once it holds, the run is
    // cancelled, as the user's Cancel or Ctrl+C cancels it.
    std::function<bool()> CancelWhen;

  private:
    TInteraction* SavedInteraction = nullptr;
    std::unique_ptr<TProfileMgr> Manager;
    std::string LogFile;
    std::string InDrive;  // the folder the diskette in drive "a" came from
    std::string SavedTempFolder;
};

// Content that does not compress: count bytes made from seed.
std::string RandomBytes(size_t count, unsigned seed);
