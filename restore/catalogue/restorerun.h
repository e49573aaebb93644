#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "r_tree.h"

class TLogFile;

// The restore run: every copy that the catalogue's check marks select, newest version of
// each file, written back to its original place or below another folder. It asks its
// questions (overwrite, password, the drives' own) through the interaction interface and the
// observer, writes the log's restore entries and tells the observer each file's outcome in
// the catalogue's order. Copies are inflated on worker threads while the run thread keeps
// the order, the questions and the log.
//
// What is never restored: a copy whose header cannot be read or whose content is damaged
// (reported as damaged), and a copy whose stored path is not the one its place in the backup
// stands for, or holds "..", control characters or is not in drive form (refused). Nothing
// is written outside the destination: a target whose folder leads out of it through a
// symbolic link is refused too. Each file is written beside its target first and takes its
// place only when complete, so a stop, a crash or a full disk never leaves half a file.

// What a run does with a file that exists at its target; the archive stream's OverwriteMode.
enum TOverwriteRule : uint8_t {
    orNever = 0,
    orAlways = 1,
    orIfNewer = 2,  // only when the backed-up copy is newer than the file
    orAsk = 3,
};

// Why a file was not restored.
enum TSkipReason {
    srNone,         // it was restored
    srExists,       // the overwrite rule (or the answer) kept the existing file
    srDamaged,      // the copy's header or content is damaged
    srRefusedPath,  // the stored path may not be restored (see above)
    srNoDrive,      // the target's drive is not there
    srNoRoom,       // the target's drive cannot take it and no other folder was chosen
    srPassword,     // no password that opens it was given
    srFailed,       // the target could not be written
    srStopped,      // the run was stopped before the file was complete
};

// One file's outcome.
struct TRestoreOutcome {
    std::string CopyPath;  // the backed-up copy
    std::string Target;    // where it went (or would have gone); empty when unknown
    TSkipReason Reason = srNone;
    std::string Why;  // for a file not restored: the reason in words
    bool Restored() const { return Reason == srNone; }
};

struct TRestoreResult {
    int Total = 0;  // files the check marks selected when the run began
    int Restored = 0;
    int Skipped = 0;  // every file not restored, the damaged and refused ones too
    int Kept = 0;     // skipped as the overwrite rule (or an answer) kept the existing file
    int Locked = 0;   // skipped for want of the password that opens it
    int Damaged = 0;
    int Refused = 0;
    int Failed = 0;
    bool Cancelled = false;
    // Whether files were left out for another reason than the overwrite rule.
    bool HasProblems() const { return Skipped - Kept > 0; }
};

// Answers of AskPassword besides IDOK and IDCANCEL: leave the copies of this key alone.
enum : int { kPasswordSkip = -1 };

// What the run tells its front end and asks of it. The default asks the interaction for a
// password and offers no other destination.
class TRestoreObserver {
  public:
    virtual ~TRestoreObserver() = default;
    virtual void TotalCounted(int /*total*/) {}
    // Before the file's question or extraction: the target's name for the progress panel.
    virtual void FileStarting(const std::string& /*target*/) {}
    // A file's outcome, in order; done counts the files handled so far.
    virtual void FileDone(const TRestoreOutcome& /*outcome*/, int /*done*/) {}
    // An answer for all files changed the rule for the rest of the run.
    virtual void OverwriteRuleChanged(TOverwriteRule /*rule*/) {}
    // The password for copies protected by key; attempt is 1 on the first question for that
    // key. IDOK with the text in password (which holds the last text typed), IDCANCEL to end
    // the run, kPasswordSkip to skip every copy of this key.
    virtual int AskPassword(int32_t key, int attempt, std::string& password);
    // The target's drive cannot take a file: another destination folder, or false for none
    // (the file is then skipped).
    virtual bool ChooseOtherDestination(std::string& /*folder*/) { return false; }
};

struct TRestoreOptions {
    TOverwriteRule Overwrite = orNever;
    // A folder (drive form, or a host path under no drive) that takes the files below it in
    // their source folders; empty: every file goes back to its original place.
    std::string Destination;
    // Asked between files, and by the worker threads while a file is written (so it must be
    // safe to call from any thread); true stops the run (cancelled). A file being written
    // then is removed again, never left half-written.
    std::function<bool()> StopRequested;
    // Threads that inflate copies; 0: one per core.
    int Threads = 0;
};

class TRestoreRun {
  public:
    // log may be null (no log entries).
    TRestoreRun(TRestoreTree& tree, TLogFile* log, TRestoreObserver& observer);
    ~TRestoreRun();
    TRestoreRun(const TRestoreRun&) = delete;
    TRestoreRun& operator=(const TRestoreRun&) = delete;

    // Restores what the catalogue's check marks select. Cancelled when the user cancelled a
    // question or StopRequested stopped it; the files not restored then count as skipped.
    // A destination that cannot be made raises EOSError.
    TRestoreResult Run(TRestoreOptions options);

    // The overwrite rule in force (changed during a run by Yes to all and No to all).
    TOverwriteRule Overwrite() const { return Options.Overwrite; }

  private:
    struct TItem;
    class TWorkers;
    struct TRunState;
    std::unique_ptr<TItem> Prepare(const std::string& copyPath);
    bool CheckDestination(TItem& item);
    // Why files may not go into the folder of target, or empty when they may.
    std::string FolderFault(const std::string& target) const;
    bool CheckDrive(TItem& item);
    bool DriveStillReady(char letter, int64_t size);
    bool CheckPassword(TItem& item);
    bool DecideOverwrite(TItem& item);
    void Report(TItem& item);
    void LogFailure(const TRestoreOutcome& outcome);

    TRestoreTree& Tree;
    TLogFile* Log;
    TRestoreObserver& Observer;
    TRestoreOptions Options;
    TRestoreResult Result;
    int Done = 0;
    std::unique_ptr<TRunState> State;
};
