// vaultaire: the tray program. It watches the current profile's folders, runs full backups
// with a progress window, and opens the profile and restore dialogs from its tray menu.
#include <QApplication>
#include <QTimer>
#include <exception>
#include <string>
#include <vector>

#include "display.h"
#include "mainform.h"
#include "pictures.h"
#include "platform/interrupts.h"
#include "qtinteraction.h"
#include "strtable.h"
#include "terminalinteraction.h"
#include "vutil.h"

namespace {

enum : int {
    StrProductName = 101,
    StrAlreadyRunning = 356,
};

constexpr unsigned kStop = MB_OK | MB_ICONSTOP;

// Set to 1, questions are put on standard error and answered on standard input instead of
// in message boxes (for scripts and the program's own end-to-end tests).
constexpr const char* kAskOnTerminalVariable = "VAULTAIRE_ASK_ON_TERMINAL";

bool AskOnTerminal() {
    return qEnvironmentVariableIntValue(kAskOnTerminalVariable) == 1;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    TQtInteraction interaction;
    TTerminalInteraction terminal;
    if (AskOnTerminal())
        SetInteraction(&terminal);
    else
        SetInteraction(&interaction);
    const std::string product = LoadStr(StrProductName);

    // The running copy is left as it is; this one only says so.
    if (CheckInstance(product)) {
        DisplayMessage(StrAlreadyRunning, kStop);
        SetInteraction(nullptr);
        return kExitError;
    }

    QApplication::setApplicationName(QString::fromStdString(product));
    QApplication::setApplicationDisplayName(QString::fromStdString(product));
    QApplication::setDesktopFileName("vaultaire");
    QApplication::setWindowIcon(ProgramIcon());
    // The program lives in the tray: closing a window never ends it.
    QApplication::setQuitOnLastWindowClosed(false);

    int exitCode = kExitOk;
    try {
        TMainForm form;
        interaction.SetMainWindow(&form);
        form.OnTerminate = [](int code) { QCoreApplication::exit(code); };
        // SIGTERM, a hang-up or Ctrl+C end the program as the end of the session does; a
        // second one ends it at once.
        TInterruptCatcher interrupts;
        TInterruptNotifier endSession([&form] { form.EndSession(); });

        const std::vector<std::string> arguments(argv + 1, argv + argc);
        QTimer::singleShot(0, &form, [&form, &arguments] { form.StartUp(arguments); });
        exitCode = QApplication::exec();
        // However the event loop ended (the desktop's session manager may end it), what is
        // queued is backed up before the program goes.
        form.EndSession();
        if (form.Terminated())
            exitCode = form.ExitCode();
    } catch (const std::exception& e) {
        ShowException(e);
    }
    SetInteraction(nullptr);
    return exitCode;
}
