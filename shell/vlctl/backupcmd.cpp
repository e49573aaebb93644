// vlctl backup: the full backup of a profile, with progress, questions on the terminal and
// the closing message of the run.
#include <cstdio>
#include <memory>

#include "backupcontroller.h"
#include "commands.h"
#include "errorcodes.h"
#include "logfile.h"
#include "platform/interrupts.h"
#include "platform/paths.h"
#include "profilemgr.h"
#include "progress.h"
#include "strtable.h"

namespace {

// Shows a run's progress on standard output.
class TProgressObserver : public TBackupObserver {
  public:
    TProgressObserver() : Progress(stdout) {}

    void TotalFilesFound(long total) override {
        std::puts(LoadStr(252).c_str());
        Progress.SetTotal(total);
    }
    void FilesProcessed(long done) override { Progress.Update(done); }
    // A question begins on a line of its own.
    void QuestionComing(uint32_t) override { Progress.Finish(); }
    void RunEnded() { Progress.Finish(); }

  private:
    TProgress Progress;
};

// The log's place as the user finds it in the file manager.
std::string HostFormOf(const std::string& path) {
    THostPath host;
    return HostPathOf(path, host) ? host.Text() : path;
}

// "2 files could not be saved and 1 folder could not be read".
std::string FailuresText(const TBackupResult& result) {
    auto count = [](int n, const char* what) {
        return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
    };
    std::string text;
    if (result.FailedFiles > 0)
        text = count(result.FailedFiles, "file") + " could not be saved";
    if (result.FailedFolders > 0) {
        text += text.empty() ? "" : " and ";
        text += count(result.FailedFolders, "folder") + " could not be read";
    }
    return text;
}

int ReportOutcome(const TBackupResult& result, const TLogFile& log, const TProfileMgr& manager) {
    bool logging = manager.CreateLog;
    switch (result.Error) {
        case 0:
            std::puts(LoadStr(261).c_str());
            if (result.FailedFiles > 0 || result.FailedFolders > 0) {
                std::string where;
                if (!logging)
                    where = " (the log is switched off)";
                else if (manager.LogType == ltSuccess)
                    where = " (the log records successful operations only)";
                else
                    where = "; the log tells why: " + HostFormOf(log.FileName);
                std::fprintf(stderr, "%s%s\n", FailuresText(result).c_str(), where.c_str());
                return kExitError;
            }
            if (logging)
                std::printf("Each file's outcome is in the log: %s\n",
                            HostFormOf(log.FileName).c_str());
            return kExitOk;
        case ERR_CANCELLED:
            std::fprintf(stderr, "%s\n", LoadStr(260).c_str());
            return kExitCancelled;
        case ERR_TARGETFULL:
            std::fprintf(stderr, "%s %s\n", LoadStr(260).c_str(), LoadStr(417).c_str());
            return kExitError;
        case ERR_TARGETNOTFOUND:
            std::fprintf(stderr, "%s\n", LoadStr(364).c_str());
            return kExitError;
        case ERR_TARGETBUSY:
            std::fprintf(stderr, "%s\n", LoadStr(922).c_str());
            return kExitError;
        default:
            std::fprintf(stderr, "%s\n", LoadStr(358).c_str());
            return kExitError;
    }
}

}  // namespace

int RunBackup(const TArgs& args) {
    TProfileMgr manager;
    if (!args.Positional().empty() && !manager.Open(args.Positional()[0])) {
        throw ECommandError("there is no profile titled \"" + args.Positional()[0] + "\"");
    }
    TProfile* profile = manager.GetCurrentProfile();
    if (!profile)
        throw ECommandError("there is no profile yet (see vlctl profile add)");
    std::printf("Backing up profile \"%s\" to %s\n", profile->Title.c_str(),
                profile->Target.c_str());

    TLogFile log(manager.MaxLogEntries, static_cast<TLogType>(manager.LogType), manager.CreateLog);
    // The first interrupt cancels the run at the next folder (a question waiting for an
    // answer ends and answers Cancel); a second one ends the program.
    TInterruptCatcher interrupts;
    TProgressObserver progress;
    TBackupController controller(log, progress);
    std::puts(LoadStr(251).c_str());
    TBackupResult result = controller.Run(*profile, [] { return Interrupted(); });
    progress.RunEnded();
    return ReportOutcome(result, log, manager);
}
