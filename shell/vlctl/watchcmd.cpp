// vlctl watch: automatic backup in the foreground, for machines without a desktop and for
// scripts and services.
#include <cstdio>

#include "autobackup.h"
#include "commands.h"
#include "logfile.h"
#include "platform/interrupts.h"
#include "platform/messages.h"
#include "profilemgr.h"
#include "strtable.h"

namespace {

constexpr int StrShutdownNotice = 601;
constexpr int StrEnabled = 405;
constexpr int StrDisabled = 406;
constexpr int StrSavingFile = 407;
constexpr int StrErrorSavingFile = 415;
constexpr int StrMissingFile = 359;
// How often the program looks for an interrupt and for files to report while it watches.
constexpr int kCheckMs = 500;

// The shutdown notice on the terminal: one line.
class TTerminalNotice : public TShutdownNotice {
  public:
    void Show() override {
        std::puts(LoadStr(StrShutdownNotice).c_str());
        std::fflush(stdout);
    }
    void Hide() override {}
};

// One line per file the continuous backup took on, as the log words it.
void PrintOutcomes(TAutoBackup& autoBackup, TLogFile& log, bool quiet) {
    for (const TFileOutcome& outcome : autoBackup.TakeOutcomes()) {
        if (quiet)
            continue;
        if (outcome.Error == 0) {
            std::printf("%s%s\n", LoadStr(StrSavingFile).c_str(), outcome.File.c_str());
        } else {
            std::string reason;
            log.AddErrorMsg(reason, outcome.Error);
            std::printf("%s%s%s\n", LoadStr(StrErrorSavingFile).c_str(), outcome.File.c_str(),
                        reason.c_str());
        }
    }
    std::fflush(stdout);
}

}  // namespace

int RunWatch(const TArgs& args) {
    TProfileMgr manager;
    if (!args.Positional().empty() && !manager.Open(args.Positional()[0]))
        throw ECommandError("there is no profile titled \"" + args.Positional()[0] + "\"");
    TProfile* profile = manager.GetCurrentProfile();
    if (!profile)
        throw ECommandError("there is no profile yet (see vlctl profile add)");
    bool quiet = args.Has("quiet");

    TLogFile log(manager.MaxLogEntries, static_cast<TLogType>(manager.LogType), manager.CreateLog);
    // The first interrupt switches automatic backup off with the wait; a second one ends
    // the program.
    TInterruptCatcher interrupts;
    TAutoBackup autoBackup(manager, log);
    bool endedByError = false;
    autoBackup.OnMonitorError = [&](int) { endedByError = true; };
    if (!autoBackup.Enable(args.Has("catch-up")))
        throw ECommandError(LoadStr(StrMissingFile) + " (the change monitor cannot start)");
    std::printf("Watching profile \"%s\": %s -> %s\n", profile->Title.c_str(),
                profile->Source.c_str(), profile->Target.c_str());
    std::puts(LoadStr(StrEnabled).c_str());
    std::fflush(stdout);

    ServeMessagesUntil(
        [&] {
            PrintOutcomes(autoBackup, log, quiet);
            return Interrupted() || endedByError;
        },
        kCheckMs);
    if (!endedByError) {
        TTerminalNotice notice;
        autoBackup.Disable(true, &notice);
        endedByError = autoBackup.LastError() != 0;
    }
    PrintOutcomes(autoBackup, log, quiet);
    if (endedByError)
        std::fprintf(stderr, "%s\n", LoadStr(MonitorErrorMessage(autoBackup.LastError())).c_str());
    std::puts(LoadStr(StrDisabled).c_str());
    return endedByError ? kExitError : kExitOk;
}
