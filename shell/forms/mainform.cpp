#include "mainform.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLayout>
#include <QMenu>
#include <QScreen>
#include <algorithm>

#include "about.h"
#include "animate.h"
#include "autobackup.h"
#include "display.h"
#include "errorcodes.h"
#include "exceptions.h"
#include "help.h"
#include "logfile.h"
#include "packageform.h"
#include "pictures.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/hostpath.h"
#include "platform/messages.h"
#include "platform/power.h"
#include "platform/process.h"
#include "profilemgr.h"
#include "selectprofile.h"
#include "shutdown.h"
#include "strtable.h"
#include "ui_mainform.h"
#include "vfileutil.h"
#include "vtrayicon.h"
#include "vutil.h"

namespace {

// Texts of the string tables.
enum : int {
    StrProductName = 101,
    StrEnableAutoBackup = 201,
    StrDisableAutoBackup = 202,
    StrHintMonitoring = 203,
    StrHintDisabled = 204,
    StrHintFullBackup = 205,
    StrHintRestoring = 206,
    StrCreatingFileList = 251,
    StrBackingUpFiles = 252,
    StrBeginMonitoring = 256,
    StrCancelBackup = 259,
    StrBackupCancelled = 260,
    StrBackupComplete = 261,
    StrWelcome = 262,
    StrDeleteProfile = 264,
    StrNeedProfile = 355,
    StrAlreadyRunning = 356,
    StrMonitorError = 357,
    StrBackupHalted = 358,
    StrMissingFile = 359,
    StrTargetNotFound = 364,
};

// Message-box styles of the program's questions and notes.
constexpr unsigned kStop = MB_OK | MB_ICONSTOP;
constexpr unsigned kYesNoQuestion = MB_YESNO | MB_ICONQUESTION;
constexpr unsigned kYesNoExclamation = MB_YESNO | MB_ICONEXCLAMATION;
constexpr unsigned kExclamation = MB_OK | MB_ICONEXCLAMATION;
constexpr unsigned kInformation = MB_OK | MB_ICONINFORMATION;

// The progress window's width.
constexpr int kFormWidth = 410;

// The log viewer, next to the program, and what the program hands it.
constexpr const char* kLogViewerName = "logvue";
constexpr const char* kLogViewerToken = "583104927";

// The file that tells a later start that the program has run on this machine.
constexpr const char* kFirstStartMarkerName = "Vaultaire 2000.started";

// The help's contents page, where the help lies next to the program's folder (bin/ ->
// share/vaultaire/help) in the build tree and when installed.

struct TPackageFormInfo {
    const char* PackageFile;
    const char* ClassName;
};

TPackageFormInfo PackageFormInfo(TPackageFormKind kind) {
    switch (kind) {
        case pfProfileWizard:
            return {"vledtprf", "TProfileWizardForm"};
        case pfEditProfile:
            return {"vledtprf", "TEditProfileForm"};
        case pfRestoreWizard:
            return {"vlrstore", "TRestoreWizard"};
        case pfOptions:
            return {"vledtprf", "TOptionsForm"};
    }
    return {"", ""};
}

QString Text(int id) {
    return QString::fromStdString(LoadStr(id));
}

void CentreOnScreen(QWidget& form) {
    QScreen* screen = form.screen() ? form.screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    form.adjustSize();
    const QRect area = screen->availableGeometry();
    form.move(area.center() - QPoint(form.width() / 2, form.height() / 2));
}

}  // namespace

// Every question put to the user switches the tray menu's automatic pop-up off while it is
// up, so that a right click on the icon cannot start a second command meanwhile.
class TMainForm::TMenuGuardInteraction : public TInteraction {
  public:
    explicit TMenuGuardInteraction(TMainForm& form)
        : Form(form), Inner(Interaction()), Replaced(SetInteraction(this)) {}
    ~TMenuGuardInteraction() override { SetInteraction(Replaced); }

    int MessageBox(const TMessageRequest& request) override {
        return Guarded([&] { return Inner.MessageBox(request); });
    }
    int AskOverwrite(const std::string& fileName, int32_t copyFileTime) override {
        return Guarded([&] { return Inner.AskOverwrite(fileName, copyFileTime); });
    }
    int AskDiskette(int labelNumber, int& choice) override {
        return Guarded([&] { return Inner.AskDiskette(labelNumber, choice); });
    }
    int AskPassword(std::string& password) override {
        return Guarded([&] { return Inner.AskPassword(password); });
    }

  private:
    template <typename Ask>
    int Guarded(const Ask& ask) {
        // Only the main thread touches the menu; a worker's question is shown there anyway.
        if (!IsMainThread())
            return ask();
        Form.TrayMenuOff();
        struct TOn {
            TMainForm& Form;
            ~TOn() { Form.TrayMenuOn(); }
        } on{Form};
        return ask();
    }

    TMainForm& Form;
    TInteraction& Inner;
    TInteraction* Replaced;
};

// The shutdown window while automatic backup is switched off with the wait.
class TMainForm::TShutdownWindow : public TShutdownNotice {
  public:
    explicit TShutdownWindow(QWidget* owner) : Owner(owner) {}
    void Show() override {
        Window = std::make_unique<TShutdownForm>(Owner);
        Window->ShowNow();
    }
    void Hide() override { Window.reset(); }

  private:
    QWidget* Owner;
    std::unique_ptr<TShutdownForm> Window;
};

TMainForm::TMainForm(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      UiForm(std::make_unique<Ui::TMainForm>()) {
    UiForm->setupUi(this);
    setObjectName("MainForm");
    setWindowTitle(Text(StrProductName));
    setWindowIcon(ProgramIcon());
    // A window of one size, at least as wide as it was drawn.
    setMinimumWidth(kFormWidth);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    connect(UiForm->CancelButton, &QPushButton::clicked, this, &TMainForm::CancelButtonClick);

    Manager = std::make_unique<TProfileMgr>();
    FLog = std::make_unique<TLogFile>(Manager->MaxLogEntries,
                                      static_cast<TLogType>(Manager->LogType), Manager->CreateLog);
    if (Manager->CreateLog)
        FLog->WriteEntry(lcStart, 0, true);
    AutoBackup = std::make_unique<TAutoBackup>(*Manager, *FLog);
    AutoBackup->OnMonitorError = [this](int error) { MonitorError(error); };
    FullBackup = std::make_unique<TBackupController>(*FLog, *this);
    FullBackup->OnEnded = [this](const TBackupResult& result) { BackupEnded(result); };
    MenuGuard = std::make_unique<TMenuGuardInteraction>(*this);

    FState = IsFirstStart() ? asFirstStart : asIdle;
    ActiveIcon = ::TrayIcon(true);
    DisabledIcon = ::TrayIcon(false);
    BuildTrayMenu();
    FTrayIcon = new TVTrayIcon(this);
    FTrayIcon->SetPopupMenu(FTrayMenu);

    PowerEvents = std::make_unique<TPowerEvents>();
    PowerEvents->OnSuspend = [this] { Suspend(); };
    PowerEvents->OnResume = [this] { Resume(); };
    PowerEvents->OnShutdown = [this] { EndSession(); };
}

TMainForm::~TMainForm() {
    PowerEvents.reset();
    if (FState == asMonitoring)
        AutoBackup->Disable(false);
    // A run still going is stopped and waited for; nobody is told any more.
    FullBackup->OnEnded = nullptr;
    FullBackup.reset();
    AutoBackup.reset();
    UnloadPackageForm();
    delete FTrayIcon;
    MenuGuard.reset();
    FLog.reset();
    Manager.reset();
}

void TMainForm::BuildTrayMenu() {
    FTrayMenu = new QMenu(this);
    FTrayMenu->setObjectName("TrayMenu");
    AddMenuItem("TrayMenuAbout", "Ab&out...", &TMainForm::TrayMenuAboutClick);
    AddMenuItem("TrayMenuHelp", "&Help", &TMainForm::TrayMenuHelpClick);
    FTrayMenu->addSeparator()->setObjectName("N2");
    AddMenuItem("TrayMenuFullBackup", "&Backup Files...", &TMainForm::TrayMenuFullBackupClick);
    AddMenuItem("TrayMenuRestore", "&Restore Files...", &TMainForm::TrayMenuRestoreClick);
    AddMenuItem("TrayMenuShowLog", "&View Log File...", &TMainForm::TrayMenuShowLogClick);
    FTrayMenu->addSeparator()->setObjectName("N6");
    AddMenuItem("TrayMenuEnable", Text(StrEnableAutoBackup), &TMainForm::TrayMenuEnableClick);
    FTrayMenu->addSeparator()->setObjectName("N4");
    AddMenuItem("TrayMenuNewProfile", "&New Profile...", &TMainForm::TrayMenuNewProfileClick);
    AddMenuItem("TrayMenuEditProfile", "&Edit Profile...", &TMainForm::TrayMenuEditProfileClick);
    AddMenuItem("TrayMenuSelectProfile", "&Select Profile...",
                &TMainForm::TrayMenuSelectProfileClick);
    AddMenuItem("TrayMenuDeleteProfile", "&Delete Profile...",
                &TMainForm::TrayMenuDeleteProfileClick);
    FTrayMenu->addSeparator()->setObjectName("N1");
    AddMenuItem("TrayMenuOptions", "&Options...", &TMainForm::TrayMenuOptionsClick);
    FTrayMenu->addSeparator()->setObjectName("N3");
    AddMenuItem("TrayMenuExit", "E&xit", &TMainForm::TrayMenuExitClick);
    connect(FTrayMenu, &QMenu::aboutToShow, this, &TMainForm::TrayMenuPopup);
}

QAction* TMainForm::AddMenuItem(const char* name, const QString& caption,
                                void (TMainForm::*handler)()) {
    QAction* item = FTrayMenu->addAction(caption);
    item->setObjectName(name);
    // Queued, so that the menu has closed before a command shows its windows.
    connect(item, &QAction::triggered, this, handler, Qt::QueuedConnection);
    return item;
}

void TMainForm::TrayMenuOff() {
    if (MenuOffDepth++ == 0 && FTrayIcon)
        FTrayIcon->SetAutoPopup(false);
}

void TMainForm::TrayMenuOn() {
    if (MenuOffDepth > 0 && --MenuOffDepth == 0 && FTrayIcon)
        FTrayIcon->SetAutoPopup(true);
}

// ---- State shown in the tray ----

void TMainForm::UpdateTrayIcon() {
    int hint;
    switch (FState) {
        case asMonitoring:
            hint = StrHintMonitoring;
            break;
        case asFullBackup:
            hint = StrHintFullBackup;
            break;
        case asRestoring:
            hint = StrHintRestoring;
            break;
        default:
            hint = StrHintDisabled;
            break;
    }
    const bool disabled = hint == StrHintDisabled;
    FTrayIcon->SetHint(Text(hint));
    FTrayIcon->SetIcon(disabled ? DisabledIcon : ActiveIcon);
}

void TMainForm::TrayMenuPopup() {
    auto item = [this](const char* name) { return FTrayMenu->findChild<QAction*>(name); };
    const bool hasCurrent = Manager && Manager->GetCurrentProfile() != nullptr;
    const bool several = Manager && Manager->Count() > 1;
    item("TrayMenuEnable")
        ->setText(Text(FState == asIdle ? StrEnableAutoBackup : StrDisableAutoBackup));
    item("TrayMenuFullBackup")->setEnabled(FState == asMonitoring);
    item("TrayMenuEditProfile")->setEnabled(hasCurrent);
    item("TrayMenuEnable")->setEnabled(hasCurrent);
    item("TrayMenuSelectProfile")->setEnabled(several);
    item("TrayMenuDeleteProfile")->setEnabled(several);
}

// ---- Automatic backup ----

void TMainForm::EnableAutoBackup() {
    if (FState == asMonitoring || FTerminated)
        return;
    if (!Manager->GetCurrentProfile()) {
        UpdateTrayIcon();
        return;
    }
    if (!AutoBackup->Enable()) {
        // The change monitor cannot run here: the program cannot do its work.
        DisplayMessage(StrMissingFile, kStop);
        Terminate(kExitError);
        return;
    }
    FLastError = 0;
    FState = asMonitoring;
    UpdateTrayIcon();
}

void TMainForm::DisableAutoBackup(bool wait) {
    if (FState != asMonitoring)
        return;
    FState = asIdle;
    TShutdownWindow notice(this);
    MonitorErrorTold = false;
    AutoBackup->Disable(wait, wait ? &notice : nullptr);
    UpdateTrayIcon();
    // An error the continuous backup ended with while it was being stopped is told now.
    if (wait && !MonitorErrorTold && AutoBackup->LastError() != 0)
        MonitorError(AutoBackup->LastError());
}

void TMainForm::MonitorError(int error) {
    MonitorErrorTold = true;
    FLastError = error;
    if (AutoBackup->Monitoring())
        AutoBackup->Disable(false);
    if (FState == asMonitoring)
        FState = asIdle;
    UpdateTrayIcon();
    TrayMenuOff();
    switch (MonitorErrorMessage(error)) {
        case StrTargetNotFound:
            DisplayMessage(StrTargetNotFound, kStop);
            break;
        default:
            DisplayMessage(MonitorErrorMessage(error), kExclamation);
            break;
    }
    TrayMenuOn();
}

void TMainForm::TrayMenuEnableClick() {
    if (FState == asMonitoring)
        DisableAutoBackup(true);
    else
        EnableAutoBackup();
}

// ---- Full backup ----

void TMainForm::TrayMenuFullBackupClick() {
    if (FState != asMonitoring)
        return;
    TrayMenuOff();
    FTrayIcon->SetHint(Text(StrHintFullBackup));
    // The queue is not emptied: the full backup saves every file anyway.
    AutoBackup->Disable(false);
    UiForm->Label1->setText(Text(StrCreatingFileList));
    UiForm->TotalFilesText->setText("0");
    UiForm->ProcessedText->setText("0");
    UiForm->ProgressBar1->setRange(0, 1);
    UiForm->ProgressBar1->setValue(0);
    UiForm->ProgressLabel->clear();
    UiForm->Animate1->SetCommonAVI(TAnimate::aviFindFile);
    UiForm->Animate1->SetActive(true);
    CentreOnScreen(*this);
    show();
    raise();
    FLastError = 0;
    FState = asFullBackup;
    FullBackup->Start(*Manager->GetCurrentProfile());
    // The tray menu stays off until the backup has ended.
}

void TMainForm::TotalFilesFound(long total) {
    if (FState != asFullBackup)
        return;
    // A bar whose maximum is 0 would show "busy" instead of a position.
    UiForm->ProgressBar1->setRange(0, static_cast<int>(std::clamp<long>(total, 1, INT32_MAX)));
    UiForm->TotalFilesText->setText(QString::number(total));
    UiForm->Animate1->SetCommonAVI(TAnimate::aviCopyFiles);
    UiForm->Label1->setText(Text(StrBackingUpFiles));
    TotalFiles = total;
}

void TMainForm::FilesProcessed(long done) {
    if (FState != asFullBackup)
        return;
    ShowProgressText(done);
    UiForm->ProcessedText->setText(QString::number(done));
    UiForm->ProgressBar1->setValue(
        static_cast<int>(std::clamp<long>(done, 0, UiForm->ProgressBar1->maximum())));
}

void TMainForm::ShowProgressText(long processed) {
    UiForm->ProgressLabel->setText(
        QString("%1% completed.").arg(ProgressPercent(processed, TotalFiles)));
}

unsigned ProgressPercent(long processed, long total) {
    if (processed <= 0)
        return 0;
    // Files that appeared after the count (or a count of none) make no more than the whole.
    if (total <= 0 || processed >= total)
        return 100;
    return static_cast<unsigned>(static_cast<unsigned long long>(processed) * 100 /
                                 static_cast<unsigned long long>(total));
}

void TMainForm::QuestionComing(uint32_t) {
    // The question itself switches the tray menu off while it is up.
}

void TMainForm::BackupEnded(const TBackupResult& result) {
    if (FState != asFullBackup)
        return;  // ended by EndFullBackup itself
    if (result.Error == 0)
        BackupDone(0);
    else
        BackupError(result.Error);
}

void TMainForm::CancelButtonClick() {
    BackupDone(ERR_CANCELLED);
}

void TMainForm::BackupDone(int error) {
    if (FState != asFullBackup)
        return;
    if (error == ERR_CANCELLED) {
        if (DisplayMessage(StrCancelBackup, kYesNoQuestion) != IDYES)
            return;
        FLastError = ERR_CANCELLED;
    }
    EndFullBackup();
    if (FLastError == ERR_CANCELLED)
        DisplayMessage(StrBackupCancelled, kInformation);
    if (FLastError == 0 || FLastError == ERR_CANCELLED)
        EnableAutoBackup();
}

void TMainForm::BackupError(int error) {
    FLastError = error;
    EndFullBackup();
    TrayMenuOff();
    switch (error) {
        case ERR_TARGETFULL:
        case ERR_CANCELLED:
            DisplayMessage(StrBackupCancelled, kInformation);
            break;
        case ERR_TARGETNOTFOUND:
            DisplayMessage(StrTargetNotFound, kStop);
            break;
        default:
            DisplayMessage(StrBackupHalted, kInformation);
            break;
    }
    TrayMenuOn();
}

void TMainForm::EndFullBackup() {
    if (FState != asFullBackup)
        return;
    FState = asIdle;
    UiForm->Animate1->SetActive(false);
    if (FullBackup->Running()) {
        FullBackup->Cancel();
        ServeMessagesUntil([this] { return !FullBackup->Running(); });
    }
    if (FLastError == 0)
        DisplayMessage(StrBackupComplete, kInformation);
    hide();
    UpdateTrayIcon();
    TrayMenuOn();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (FState == asFullBackup) {
        // The window never closes while a backup runs: the user is asked to cancel it.
        event->ignore();
        CancelButtonClick();
        return;
    }
    event->accept();
}

// ---- Profiles ----

bool TMainForm::NewProfile() {
    TrayMenuOff();
    SavedState = FState;
    SavedProfileCount = Manager->Count();
    if (FState == asMonitoring)
        DisableAutoBackup(true);
    const TAppState saved = SavedState;
    RunPackageForm(pfProfileWizard, Manager.get());
    bool added = false;
    if (Manager->Count() == 0) {
        TrayMenuOn();
        return false;
    }
    if (Manager->Count() > SavedProfileCount) {
        added = true;
        if (DisplayMessage(StrBeginMonitoring, kYesNoQuestion) == IDYES) {
            if (Manager->Count() > 1)
                Manager->Open(Manager->GetTitle(Manager->Count() - 1));
            EnableAutoBackup();
        }
    }
    if (saved != asMonitoring || FState == asMonitoring)
        UpdateTrayIcon();
    else
        EnableAutoBackup();
    TrayMenuOn();
    return added;
}

void TMainForm::EditProfile() {
    TrayMenuOff();
    SavedState = FState;
    const TAppState saved = SavedState;
    if (FState == asMonitoring)
        DisableAutoBackup(true);
    RunPackageForm(pfEditProfile, Manager.get());
    if (saved == asMonitoring)
        EnableAutoBackup();
    else
        UpdateTrayIcon();
    TrayMenuOn();
}

void TMainForm::SelectProfile() {
    TrayMenuOff();
    int result;
    bool changed;
    std::string title;
    {
        TSelectProfileForm form(this, *Manager);
        result = form.exec();
        changed = form.SelectionChanged();
        title = form.SelectedTitle();
    }
    if (result == QDialog::Accepted && changed) {
        if (FState == asMonitoring)
            DisableAutoBackup(true);
        Manager->Open(title);
        EnableAutoBackup();
    }
    TrayMenuOn();
}

void TMainForm::DeleteProfile() {
    if (DisplayMessage(StrDeleteProfile, kYesNoExclamation) != IDYES)
        return;
    const TAppState saved = FState;
    if (FState == asMonitoring)
        DisableAutoBackup(true);
    if (Manager->DeleteCurrentProfile() && Manager->Count() > 1)
        SelectProfile();
    if (saved == asMonitoring && FState != asMonitoring)
        EnableAutoBackup();
}

void TMainForm::TrayMenuNewProfileClick() {
    NewProfile();
}

void TMainForm::TrayMenuEditProfileClick() {
    EditProfile();
}

void TMainForm::TrayMenuSelectProfileClick() {
    SelectProfile();
}

void TMainForm::TrayMenuDeleteProfileClick() {
    DeleteProfile();
}

void TMainForm::TrayMenuOptionsClick() {
    TrayMenuOff();
    if (RunPackageForm(pfOptions, Manager.get()) == IDOK) {
        UpdateStartupShortcut();
        if (FState == asMonitoring) {
            AutoBackup->LogSettingsChanged();
        } else {
            FLog->Update(static_cast<TLogType>(Manager->LogType), Manager->MaxLogEntries,
                         Manager->CreateLog);
        }
    }
    TrayMenuOn();
}

void TMainForm::TrayMenuRestoreClick() {
    TrayMenuOff();
    const TAppState saved = FState;
    if (FState == asMonitoring)
        DisableAutoBackup(true);
    FState = asRestoring;
    UpdateTrayIcon();
    RunPackageForm(pfRestoreWizard, FLog.get());
    if (saved == asMonitoring) {
        FState = asIdle;
        EnableAutoBackup();
    } else {
        FState = saved;
        UpdateTrayIcon();
    }
    TrayMenuOn();
}

// ---- Dialog modules ----

TPackageForm* TMainForm::LoadPackageForm(TPackageFormKind kind) {
    PackageForm = nullptr;
    const TPackageFormInfo info = PackageFormInfo(kind);
    PackageForm = LoadForm(PackageHandle, info.ClassName, info.PackageFile);
    if (!PackageHandle || !PackageForm) {
        DisplayMessage(StrMissingFile, kStop);
        PackageForm = nullptr;
    }
    return PackageForm;
}

void TMainForm::UnloadPackageForm() {
    PackageForm = nullptr;
    UnloadForm(PackageHandle);
}

template <typename T>
int TMainForm::RunPackageForm(TPackageFormKind kind, T* object) {
    TPackageForm* form = LoadPackageForm(kind);
    if (!form) {
        UnloadPackageForm();
        return -1;
    }
    form->Tag = object;
    const int result = form->exec();
    UnloadPackageForm();
    return result;
}

// ---- Other commands ----

void TMainForm::TrayMenuAboutClick() {
    TrayMenuOff();
    TAboutDlg(this, false).exec();
    TrayMenuOn();
}

void TMainForm::TrayMenuHelpClick() {
    OpenHelp(hcContents);
}

void TMainForm::TrayMenuShowLogClick() {
    // No wait: the viewer runs on its own, also after this program has ended.
    std::string error;
    if (!StartDetachedProgram(ProgramBesideThis(kLogViewerName), {kLogViewerToken}, error))
        DisplayMessage(StrMissingFile, kStop);
}

void TMainForm::TrayMenuExitClick() {
    DisableAutoBackup(true);
    CloseForm();
}

// ---- Start-up, the session and the machine's sleep ----

std::string TMainForm::FirstStartMarker() {
    return GetDataDir(true) + kFirstStartMarkerName;
}

bool TMainForm::IsFirstStart() const {
    // Profiles made before (with the command line) mean the program was set up already.
    return Manager->Count() == 0 && !FileExists(FirstStartMarker());
}

void TMainForm::MarkStarted() {
    if (FileExists(FirstStartMarker()))
        return;
    // A marker that cannot be written only means the welcome comes again next time.
    WriteFileAtomically(FirstStartMarker(), "Vaultaire 2000 has run on this machine.\n");
}

void TMainForm::StartUp(const std::vector<std::string>& arguments) {
    // Old versions left files in the system's folder; this program keeps none outside its
    // own folders, so there is nothing to remove.
    if (FState != asFirstStart)
        TAboutDlg(this, true).exec();
    if (FState == asFirstStart) {
        DisplayMessage(StrWelcome, kInformation);
        FState = asIdle;
    }
    MarkStarted();
    if (Manager->Count() > 0) {
        if (!arguments.empty())
            Manager->Open(arguments.front());
        if (Manager->GetCurrentProfile())
            EnableAutoBackup();
        else
            UpdateTrayIcon();
    } else {
        UpdateTrayIcon();
        if (!NewProfile()) {
            DisplayMessage(StrNeedProfile, kStop);
            Terminate(kExitError);
            return;
        }
    }
    if (FTerminated)
        return;
    UpdateStartupShortcut();
}

void TMainForm::UpdateStartupShortcut() {
    try {
        ::UpdateStartupShortcut(Manager->StartWithWindows);
    } catch (const std::exception& e) {
        ShowException(e);
    }
}

void TMainForm::EndSession() {
    if (Closed)
        return;
    if (FState == asMonitoring) {
        DisableAutoBackup(true);
    } else if (FState == asFullBackup) {
        // The run did not complete: it is not reported as complete.
        FLastError = ERR_CANCELLED;
        EndFullBackup();
    }
    CloseForm();
}

void TMainForm::Suspend() {
    SuspendedState = FState;
    if (FState == asMonitoring)
        DisableAutoBackup(true);
}

void TMainForm::Resume() {
    if (SuspendedState == asMonitoring)
        EnableAutoBackup();
    SuspendedState = asIdle;
}

void TMainForm::CloseForm() {
    if (Closed)
        return;
    Closed = true;
    if (Manager->CreateLog) {
        FLog->WriteEntry(lcClose, 0, true);
    }
    UnloadPackageForm();
    hide();
    Terminate(kExitOk);
}

void TMainForm::Terminate(int exitCode) {
    if (FTerminated)
        return;
    FTerminated = true;
    FExitCode = exitCode;
    if (OnTerminate)
        OnTerminate(exitCode);
}
