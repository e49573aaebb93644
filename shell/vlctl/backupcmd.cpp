// vlctl backup: the full backup of a profile, with progress, questions on the terminal and
// the closing message of the run.
#include <cstdio>
#include <memory>

#include "backupmessages.h"
#include "commands.h"
#include "driveanswers.h"
#include "errorcodes.h"
#include "logfile.h"
#include "platform/interrupts.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "profilemgr.h"
#include "progress.h"
#include "strtable.h"
#include "targetthread.h"

namespace {

// The controller of one run: it follows the thread's messages and answers its questions.
class TBackupRun {
  public:
    TBackupRun(TProfileMgr& manager, TLogFile& log)
        : Manager(manager),
          Log(log),
          Progress(stdout),
          Target([this](uint32_t message, uintptr_t wParam, intptr_t lParam) {
              return Handle(message, wParam, lParam);
          }) {}

    // Files of the last run that could not be saved.
    int FailedFiles = 0;

    // Runs the backup to its end and returns the run's error code (0 when it succeeded).
    int Run() {
        std::puts(LoadStr(251).c_str());
        Thread = std::make_unique<TBackupThread>(*Manager.GetCurrentProfile(), &Log, &Target);
        ServeMessagesUntil([this] {
            if (Interrupted() && !CancelRequested) {
                CancelRequested = true;
                Thread->Terminate();
            }
            return Ended;
        });
        Thread->WaitFor();
        FailedFiles = Thread->FailedFiles();
        Thread.reset();
        Progress.Finish();
        return CancelRequested && LastError == 0 ? ERR_CANCELLED : LastError;
    }

  private:
    intptr_t Handle(uint32_t message, uintptr_t wParam, intptr_t lParam) {
        switch (message) {
            case WM_TOTALFILES:
                std::puts(LoadStr(252).c_str());
                Progress.SetTotal(static_cast<long>(lParam));
                return 0;
            case WM_FILESPROCESSED:
                Progress.Update(static_cast<long>(wParam));
                return 0;
            case WM_BACKUPDONE:
                Ended = true;
                return 0;
            case WM_BACKUPERROR:
                LastError = static_cast<int>(lParam);
                Ended = true;
                return 0;
            default:
                Progress.Finish();
                return AnswerBackupQuestion(message, *Thread);
        }
    }

    TProfileMgr& Manager;
    TLogFile& Log;
    TProgress Progress;
    TMessageTarget Target;
    std::unique_ptr<TBackupThread> Thread;
    bool Ended = false;
    bool CancelRequested = false;
    int LastError = 0;
};

// The log's place as the user finds it in the file manager.
std::string HostFormOf(const std::string& path) {
    std::string host;
    return HostPathOf(path, host) ? host : path;
}

int ReportOutcome(int error, int failedFiles, const TLogFile& log, bool logging) {
    switch (error) {
        case 0:
            std::puts(LoadStr(261).c_str());
            if (failedFiles > 0) {
                std::fprintf(stderr, "%d file%s could not be saved%s\n", failedFiles,
                             failedFiles == 1 ? "" : "s",
                             logging ? ("; the log tells why: " + HostFormOf(log.FileName)).c_str()
                                     : " (the log is switched off)");
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
        default:
            std::fprintf(stderr, "%s\n", LoadStr(358).c_str());
            return kExitError;
    }
}

}  // namespace

int RunBackup(const TArgs& args) {
    args.Expect(0, 1);
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
    TBackupRun run(manager, log);
    int error = run.Run();
    return ReportOutcome(error, run.FailedFiles, log, manager.CreateLog);
}
