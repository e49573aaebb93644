#pragma once

#include <QIcon>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "backupcontroller.h"
#include "interaction.h"
#include "vloadform.h"

class QAction;
class QMenu;
class TAutoBackup;
class TLogFile;
class TPowerEvents;
class TProfileMgr;
class TVTrayIcon;

namespace Ui {
class TMainForm;
}

// What the tray program is doing.
enum TAppState : uint8_t {
    asIdle = 0,        // automatic backup off, no backup running
    asMonitoring = 1,  // automatic backup on
    asFullBackup = 2,  // a full backup runs; the progress window is shown
    asRestoring = 3,   // the restore wizard is open
    asFirstStart = 4,  // first start on this machine, until the welcome was shown
};

// The dialogs that live in the dialog modules.
enum TPackageFormKind : int {
    pfProfileWizard = 0,
    pfEditProfile = 1,
    pfRestoreWizard = 2,
    pfOptions = 3,
};

// Exit codes of the tray program.
enum : int {
    kExitOk = 0,
    kExitError = 1,
};

// The share of a full backup that is done, in percent: processed of total files, never
// more than 100, also when files appeared after the count or the count found none.
unsigned ProgressPercent(long processed, long total);

// The tray program's controller: it owns the profile manager, the log, automatic backup
// and the full backup runs, carries out the tray menu's commands, and is the progress
// window of a full backup. Everything here runs in the main thread.
class TMainForm : public QWidget, public TBackupObserver {
    Q_OBJECT

  public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // The start-up sequence: splash, first-start welcome, the profile named by the first
    // argument or the profile wizard, automatic backup, the autostart entry. Program entry
    // posts it once the event loop runs.
    void StartUp(const std::vector<std::string>& arguments);

    // The session ends (logout, shutdown, SIGTERM): automatic backup is switched off after
    // backing up what is outstanding, a full backup is stopped, and the program closes.
    void EndSession();
    // The machine is about to sleep, and has woken up again.
    void Suspend();
    void Resume();

    TAppState State() const { return FState; }
    int LastError() const { return FLastError; }
    // Whether the program has been told to end, and with which exit code.
    bool Terminated() const { return FTerminated; }
    int ExitCode() const { return FExitCode; }
    // Ends the program's event loop with the exit code once the form is done (program
    // entry sets it; without it the form only remembers that it is done).
    std::function<void(int exitCode)> OnTerminate;

    // The tray menu's commands (also reachable through the menu's items by name).
    void TrayMenuPopup();
    void TrayMenuAboutClick();
    void TrayMenuHelpClick();
    void TrayMenuFullBackupClick();
    void TrayMenuRestoreClick();
    void TrayMenuShowLogClick();
    void TrayMenuEnableClick();
    void TrayMenuNewProfileClick();
    void TrayMenuEditProfileClick();
    void TrayMenuSelectProfileClick();
    void TrayMenuDeleteProfileClick();
    void TrayMenuOptionsClick();
    void TrayMenuExitClick();
    void CancelButtonClick();

    // The full backup's progress (WM_TOTALFILES, WM_FILESPROCESSED) and its end
    // (WM_BACKUPDONE, WM_BACKUPERROR), as the run's controller reports them.
    void TotalFilesFound(long total) override;
    void FilesProcessed(long done) override;
    void QuestionComing(uint32_t message) override;
    void BackupEnded(const TBackupResult& result);
    // Automatic backup ended by error (WM_MONITORERROR): it stays off and the user is told.
    void MonitorError(int error);

    void EnableAutoBackup();
    void DisableAutoBackup(bool wait);
    bool NewProfile();
    void EditProfile();
    void UpdateTrayIcon();
    void UpdateStartupShortcut();

    QMenu* TrayMenu() const { return FTrayMenu; }
    TVTrayIcon* TrayIcon() const { return FTrayIcon; }
    TProfileMgr* ProfileManager() const { return Manager.get(); }
    TLogFile* Log() const { return FLog.get(); }
    // The file the first start leaves in the data folder.
    static std::string FirstStartMarker();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    // Switches the tray menu's automatic pop-up off while a question is up, nested.
    class TMenuGuardInteraction;
    class TShutdownWindow;

    void BuildTrayMenu();
    QAction* AddMenuItem(const char* name, const QString& caption, void (TMainForm::*handler)());
    void TrayMenuOff();
    void TrayMenuOn();

    void BackupDone(int error);
    void BackupError(int error);
    void EndFullBackup();
    void SelectProfile();
    void DeleteProfile();

    TPackageForm* LoadPackageForm(TPackageFormKind kind);
    void UnloadPackageForm();
    // Shows the module's dialog with the object it works on; its modal result, or none
    // (-1) when the module could not give the dialog (already reported).
    template <typename T>
    int RunPackageForm(TPackageFormKind kind, T* object);

    void ShowProgressText(long processed);
    void Terminate(int exitCode);
    void CloseForm();
    bool IsFirstStart() const;
    void MarkStarted();

    std::unique_ptr<Ui::TMainForm> UiForm;
    std::unique_ptr<TProfileMgr> Manager;
    std::unique_ptr<TLogFile> FLog;
    std::unique_ptr<TAutoBackup> AutoBackup;
    std::unique_ptr<TBackupController> FullBackup;
    std::unique_ptr<TMenuGuardInteraction> MenuGuard;
    std::unique_ptr<TPowerEvents> PowerEvents;
    QMenu* FTrayMenu = nullptr;
    TVTrayIcon* FTrayIcon = nullptr;
    QIcon ActiveIcon;
    QIcon DisabledIcon;

    TAppState FState = asIdle;
    TAppState SavedState = asIdle;
    TAppState SuspendedState = asIdle;
    int FLastError = 0;
    int SavedProfileCount = 0;
    long TotalFiles = 0;
    bool MonitorErrorTold = false;
    int MenuOffDepth = 0;
    TPackageForm* PackageForm = nullptr;
    TPackageHandle PackageHandle = nullptr;
    bool FTerminated = false;
    int FExitCode = kExitOk;
    bool Closed = false;
};
