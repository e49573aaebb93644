#include "r_wizard.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QSplitter>
#include <QSvgRenderer>
#include <QThread>
#include <QWhatsThis>
#include <algorithm>
#include <cctype>

#include "display.h"
#include "exceptions.h"
#include "formregistry.h"
#include "interaction.h"
#include "logfile.h"
#include "pickers.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "r_password.h"
#include "r_views.h"
#include "restorerun.h"
#include "strtable.h"
#include "ui_r_wizard.h"
#include "vdrive.h"
#include "vfileutil.h"

namespace {

const TFormClassRegistration RestoreWizardClass("TRestoreWizard",
                                                [] { return new TRestoreWizard; });

// Texts of the string tables.
constexpr int StrProductName = 101;
constexpr int StrLogViewer = 102;
constexpr int StrBackupRootName = 109;
constexpr int StrNextCaption = 151;
constexpr int StrFinishCaption = 152;
constexpr int StrClickNext = 153;
constexpr int StrWizardCaption = 701;
constexpr int StrClickFinish = 702;
constexpr int StrOriginalLocations = 703;
constexpr int StrSelectAlternate = 704;
constexpr int StrSelectSource = 705;
constexpr int StrNoSourceSelected = 706;
constexpr int StrNoBackupsFound = 707;
constexpr int StrNoFilesSelected = 708;
constexpr int StrConfirmCancel = 709;
constexpr int StrRestoreCancelled = 710;
constexpr int StrRestoreFailed = 711;
constexpr int StrLogViewerNotStarted = 924;

// The error number of a failed restore's log entry.
constexpr int RestoreErrorNumber = 1;

// The token the log viewer expects on its command line.
constexpr int LogViewerToken = 583104927;

// Help contexts of the controls, and of the pages for the Help button.
constexpr int HelpSourcePaths = 5690;
constexpr int HelpBrowse = 5240;
constexpr int HelpTreeView = 5730;
constexpr int HelpFileList = 5740;
constexpr int HelpAllVersions = 5750;
constexpr int HelpTargetPath = 5760;
constexpr int HelpOverwriteOptions = 5770;
constexpr int HelpProgressPanel = 5780;
constexpr int HelpCancelButton = 5790;
constexpr int HelpReportButton = 5800;
constexpr int HelpRestartButton = 5810;
constexpr int HelpQuitButton = 5820;
constexpr int HelpBackButton = 5700;
constexpr int HelpHelpButton = 5720;
constexpr int HelpNextButton = 5710;
constexpr int HelpFinishButton = 5715;
constexpr int PageHelpTopics[] = {520, 530, 540, 550, 560, 570};

constexpr const char* HelpContextProperty = "HelpContext";

// The share of the file-selection panel's width that the tree takes, in percent.
constexpr int TreeWidthPercent = 35;

// The wizard's client area in the font it was laid out for, whose average character is
// DesignCharWidth pixels wide and DesignLineHeight high; it grows with the desktop's font.
constexpr int ClientWidth = 600;
constexpr int ClientHeight = 368;
constexpr int DesignCharWidth = 6;
constexpr int DesignLineHeight = 13;

QString Text(int id) {
    return QString::fromStdString(LoadStr(id));
}

bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::toupper(static_cast<unsigned char>(x)) ==
               std::toupper(static_cast<unsigned char>(y));
    });
}

}  // namespace

// What the run tells the wizard and asks of it: the progress panel follows each file, the
// password dialog asks for keys, and the folder picker offers another destination.
class TRestoreWizard::TRunObserver : public TRestoreObserver {
  public:
    explicit TRunObserver(TRestoreWizard& wizard)
        : Wizard(wizard), PasswordDialog(std::make_unique<TRPasswordDlg>(&wizard)) {}

    void TotalCounted(int total) override {
        EndCounting();
        Total = total;
        Wizard.Form->ProgressBar1->setRange(0, std::max(total, 1));
        Wizard.Form->ProgressBar1->setValue(0);
        Wizard.ShowCount(Wizard.Form->TotalFiles, total);
        Wizard.Form->ProgressLabel->clear();
        Wizard.LetWindowRun();
    }
    void FileStarting(const std::string& target) override {
        CurrentTarget = target;
        Wizard.Form->CurrentFile->setText(QString::fromStdString(ExtractFileName(target)));
        Wizard.LetWindowRun();
    }
    void FileDone(const TRestoreOutcome& outcome, int done) override {
        if (outcome.Restored())
            Wizard.ShowCount(Wizard.Form->RestoredSoFar, ++Wizard.Restored);
        else
            Wizard.ShowCount(Wizard.Form->SkippedFiles, ++Wizard.Skipped);
        // Files added on disk after counting may take the count past the total: the bar
        // then stays full rather than running over.
        Wizard.Form->ProgressBar1->setValue(std::min(done, Wizard.Form->ProgressBar1->maximum()));
        const unsigned percent =
            Total > 0 ? std::min(100u, static_cast<unsigned>(done) * 100u / Total) : 100u;
        Wizard.Form->ProgressLabel->setText(QStringLiteral("%1% completed.").arg(percent));
        Wizard.LetWindowRun();
    }
    void OverwriteRuleChanged(TOverwriteRule rule) override { Wizard.SetOverwriteMode(rule); }
    int AskPassword(int32_t, int, std::string& password) override {
        // The dialog keeps the text typed last for the next question.
        return PasswordDialog->Ask(password) ? IDOK : IDCANCEL;
    }
    bool ChooseOtherDestination(std::string& folder) override {
        if (!Wizard.TargetBrowseButtonClick())
            return false;
        folder = Wizard.Form->TargetPath->currentText().toStdString();
        Wizard.repaint();
        return true;
    }

    // The hourglass shows while the run counts the files.
    void EndCounting() {
        if (Counting)
            QApplication::restoreOverrideCursor();
        Counting = false;
    }

    std::string CurrentTarget;

  private:
    bool Counting = true;
    TRestoreWizard& Wizard;
    std::unique_ptr<TRPasswordDlg> PasswordDialog;
    unsigned Total = 0;
};

TRestoreWizard::TRestoreWizard(QWidget* owner)
    : TPackageForm(owner), Form(std::make_unique<Ui::TRestoreWizard>()) {
    Form->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint);

    OverwriteGroup = new QButtonGroup(this);
    OverwriteGroup->addButton(Form->OverwriteNever, 0);
    OverwriteGroup->addButton(Form->OverwriteAlways, 1);
    OverwriteGroup->addButton(Form->OverwriteNewer, 2);
    OverwriteGroup->addButton(Form->OverwritePrompt, 3);

    CreateViews();
    Form->SearchAnimation->hide();
    Form->SearchLabel->hide();
    List->SetShowDuplicates(Form->AllVersions->isChecked());
    Tree->SetFileList(List);

    setWindowTitle(Text(StrProductName) + Text(StrWizardCaption));
    ShowIntroPicture();

    connect(Form->BackButton, &QPushButton::clicked, this, &TRestoreWizard::BackButtonClick);
    connect(Form->NextButton, &QPushButton::clicked, this, &TRestoreWizard::NextButtonClick);
    connect(Form->HelpButton, &QPushButton::clicked, this, &TRestoreWizard::HelpButtonClick);
    connect(Form->SourceBrowseButton, &QPushButton::clicked, this,
            &TRestoreWizard::SourceBrowseButtonClick);
    connect(Form->TargetBrowseButton, &QPushButton::clicked, this,
            [this] { TargetBrowseButtonClick(); });
    connect(Form->AllVersions, &QCheckBox::clicked, this, &TRestoreWizard::AllVersionsClick);
    connect(Form->CancelButton, &QPushButton::clicked, this, &TRestoreWizard::CancelButtonClick);
    connect(Form->ReportButton, &QPushButton::clicked, this, &TRestoreWizard::ReportButtonClick);
    connect(Form->RestartButton, &QPushButton::clicked, this, &TRestoreWizard::RestartButtonClick);
    connect(Form->QuitButton, &QPushButton::clicked, this, &TRestoreWizard::QuitButtonClick);

    SetHelpContexts();
    ResetWizard();
}

TRestoreWizard::~TRestoreWizard() = default;

void TRestoreWizard::CreateViews() {
    auto* layout = new QHBoxLayout(Form->SourceTreePanel);
    layout->setContentsMargins(0, 0, 0, 0);
    Splitter = new QSplitter(Qt::Horizontal, Form->SourceTreePanel);
    Splitter->setObjectName("Splitter");
    Splitter->setChildrenCollapsible(false);
    Tree = new TCheckedRestoreTreeView(Splitter);
    Tree->setObjectName("TreeView");
    List = new TCheckedRestoreListView(Splitter);
    List->setObjectName("FileList");
    Splitter->addWidget(Tree);
    Splitter->addWidget(List);
    Splitter->setStretchFactor(0, TreeWidthPercent);
    Splitter->setStretchFactor(1, 100 - TreeWidthPercent);
    const int width = std::max(Form->SourceTreePanel->width(), ClientWidth);
    const int treeWidth = width * TreeWidthPercent / 100;
    Splitter->setSizes({treeWidth, width - treeWidth});
    layout->addWidget(Splitter);
}

void TRestoreWizard::ShowIntroPicture() {
    QSvgRenderer picture(QStringLiteral(":/restore/wizard.svg"));
    const QSize size = picture.defaultSize();
    const qreal ratio = devicePixelRatioF();
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    picture.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    painter.end();
    Form->IntroImage->setPixmap(pixmap);
}

void TRestoreWizard::SetHelpContexts() {
    const std::pair<QWidget*, int> contexts[] = {
        {Form->SourcePaths, HelpSourcePaths},
        {Form->SourceBrowseButton, HelpBrowse},
        {Form->TargetBrowseButton, HelpBrowse},
        {Tree, HelpTreeView},
        {List, HelpFileList},
        {Form->AllVersions, HelpAllVersions},
        {Form->TargetPath, HelpTargetPath},
        {Form->OverwriteOptions, HelpOverwriteOptions},
        {Form->ProgressPanel, HelpProgressPanel},
        {Form->CancelButton, HelpCancelButton},
        {Form->ReportButton, HelpReportButton},
        {Form->RestartButton, HelpRestartButton},
        {Form->QuitButton, HelpQuitButton},
        {Form->BackButton, HelpBackButton},
        {Form->HelpButton, HelpHelpButton},
        {Form->NextButton, HelpNextButton},
    };
    for (const auto& [widget, context] : contexts)
        widget->setProperty(HelpContextProperty, context);
}

int TRestoreWizard::HelpContextOf(const QWidget* widget) {
    for (; widget; widget = widget->parentWidget()) {
        QVariant context = widget->property(HelpContextProperty);
        if (context.isValid())
            return context.toInt();
    }
    return 0;
}

void TRestoreWizard::OpenHelpTopic(int context) {
    // The windows library's help opener (ShowHelp of help.h) is called here once the
    // library has it; until then the request is announced for whoever opens help pages.
    Q_EMIT HelpRequested(context);
}

bool TRestoreWizard::event(QEvent* e) {
    switch (e->type()) {
        case QEvent::WindowActivate:
        case QEvent::Show:
            FormActivate();
            break;
        case QEvent::QueryWhatsThis:
        case QEvent::WhatsThis: {
            // The title bar's help button, then a click on a control: the control's topic.
            // The controls have no texts of their own, so the question comes up to here.
            const auto* help = static_cast<QHelpEvent*>(e);
            QWidget* control = childAt(mapFromGlobal(help->globalPos()));
            const int context = HelpContextOf(control);
            if (context == 0)
                break;
            if (e->type() == QEvent::WhatsThis) {
                QWhatsThis::leaveWhatsThisMode();
                OpenHelpTopic(context);
            }
            e->accept();
            return true;
        }
        default:
            break;
    }
    return TPackageForm::event(e);
}

void TRestoreWizard::showEvent(QShowEvent* e) {
    TPackageForm::showEvent(e);
    if (!Sized) {
        Sized = true;
        layout()->activate();
        setFixedSize(sizeHint().expandedTo(ClientSizeForFont()));
    }
}

QSize TRestoreWizard::ClientSizeForFont() const {
    const QFontMetrics metrics(font());
    // The average width of the letters, as dialog units measure it.
    const int charWidth = (metrics.horizontalAdvance(QStringLiteral(
                               "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
                               26 +
                           1) /
                          2;
    const QSize scaled(ClientWidth * charWidth / DesignCharWidth,
                       ClientHeight * metrics.height() / DesignLineHeight);
    return scaled.expandedTo(QSize(ClientWidth, ClientHeight));
}

void TRestoreWizard::FormActivate() {
    if (TLogFile* log = TakeTag<TLogFile>())
        Log = log;
}

void TRestoreWizard::closeEvent(QCloseEvent* e) {
    // The restore loop runs inside this window's handlers: the window goes only after it.
    if (Running) {
        e->ignore();
        CancelButtonClick();
        return;
    }
    TPackageForm::closeEvent(e);
}

void TRestoreWizard::reject() {
    if (Running) {
        CancelButtonClick();
        return;
    }
    TPackageForm::reject();
}

void TRestoreWizard::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_F1) {
        OpenHelpTopic(HelpContextOf(focusWidget()));
        return;
    }
    TPackageForm::keyPressEvent(e);
}

void TRestoreWizard::ResetWizard() {
    BuildDriveList(Form->SourcePaths, nullptr, true);
    LastSourcePath.clear();
    SetOverwriteMode(0);
    Form->TargetPath->clear();
    Form->TargetPath->addItem(Text(StrOriginalLocations));
    Form->TargetPath->setCurrentIndex(0);
    ChangePage(psFirst);
}

int TRestoreWizard::ValidatePage(int page) {
    switch (page) {
        case wpSource:
            return ValidateSource();
        case wpSelectFiles:
            return Tree->NothingChecked() ? StrNoFilesSelected : 0;
        default:
            return 0;
    }
}

void TRestoreWizard::ChangePage(int step) {
    const int page = Form->Book->currentIndex();
    if (step == psNext) {
        int message = 0;
        try {
            message = ValidatePage(page);
        } catch (const Exception&) {
            // The drive's own prompts have said what was wrong, or the entry names no drive.
            Form->SourcePaths->setFocus();
            return;
        }
        if (message != 0) {
            DisplayMessage(message, MB_ICONEXCLAMATION);
            if (page == wpSource)
                Form->SourcePaths->setFocus();
            return;
        }
    }
    const int next = step == psFirst ? wpIntro : std::clamp(page + step, 0, int{wpLast});
    Form->Book->setCurrentIndex(next);
    BookPageChanged();
}

int TRestoreWizard::ValidateSource() {
    if (Form->SourcePaths->currentIndex() < 0)
        return StrNoSourceSelected;
    const std::string root = GetSourcePath();
    // A path without a drive letter raises here.
    TVDrive drive(root.empty() ? '\0' : root[0]);
    drive.FCaption = LoadStr(StrProductName);
    WaitForMedium(drive);
    if (!DirectoryExists(root))
        return StrNoBackupsFound;
    if (root != LastSourcePath) {
        LastSourcePath = root;
        Form->SearchAnimation->show();
        Form->SearchLabel->show();
        LetWindowRun();
        QApplication::setOverrideCursor(Qt::WaitCursor);
        Tree->Build(root);
        QApplication::restoreOverrideCursor();
        Form->SearchAnimation->hide();
        Form->SearchLabel->hide();
    }
    return 0;
}

void TRestoreWizard::WaitForMedium(TVDrive& drive) {
    // The drive's own question speaks of a missing medium. The location is only read, so
    // nothing is written to find out: a medium that refuses writing (a read-only share, a
    // write-protected diskette) is as good a source as any.
    while (drive.IsRemovable() && drive.GetSerialNumber() == TVDrive::NoSerial) {
        if (drive.Prompt(ptNotReady) == IDCANCEL)
            throw EAbort("Operation cancelled");
    }
}

std::string TRestoreWizard::GetSourcePath() const {
    const QComboBox* box = Form->SourcePaths;
    const std::string rootName = LoadStr(StrBackupRootName);
    if (const char letter = AttachedDriveLetter(box, box->currentIndex()))
        return std::string(1, letter) + ":\\" + rootName;
    const std::string text = box->currentText().toStdString();
    if (SameTextIgnoringCase(text.substr(NameStartOf(text)), rootName))
        return text;
    return PathInFolder(text, rootName);
}

void TRestoreWizard::SetNextButton(int captionId, int helpContext) {
    Form->NextButton->setText(Text(captionId));
    Form->NextButton->setProperty(HelpContextProperty, helpContext);
}

void TRestoreWizard::BookPageChanged() {
    switch (Form->Book->currentIndex()) {
        case wpIntro:
            Form->BackButton->setEnabled(false);
            Form->NextButton->setEnabled(true);
            SetNextButton(StrNextCaption, HelpNextButton);
            Form->NextLabel->setText(Text(StrClickNext));
            break;
        case wpSource:
            Form->BackButton->setEnabled(true);
            Form->SourcePaths->setFocus();
            break;
        case wpSelectFiles:
            Tree->setFocus();
            SetNextButton(StrNextCaption, HelpNextButton);
            Form->NextLabel->setText(Text(StrClickNext));
            break;
        case wpOptions:
            SetNextButton(StrFinishCaption, HelpFinishButton);
            Form->NextLabel->setText(Text(StrClickFinish));
            break;
        case wpProgress:
            Form->NextLabel->clear();
            Form->BackButton->setEnabled(false);
            Form->NextButton->setEnabled(false);
            RestoreFiles();
            ChangePage(psNext);
            break;
        case wpLast:
            ShowCount(Form->RestoredTotalSummary, Restored);
            ShowCount(Form->SkippedTotalSummary, Skipped);
            if (CloseWhenDone)
                close();
            break;
        default:
            break;
    }
}

void TRestoreWizard::BackButtonClick() {
    ChangePage(psBack);
}

void TRestoreWizard::NextButtonClick() {
    ChangePage(psNext);
}

void TRestoreWizard::SourceBrowseButtonClick() {
    BrowseForFolder(Form->SourcePaths, LoadStr(StrSelectSource), true);
}

bool TRestoreWizard::TargetBrowseButtonClick() {
    std::optional<std::string> folder = ChooseFolder(this, LoadStr(StrSelectAlternate));
    if (!folder)
        return false;
    const QString text = QString::fromStdString(*folder);
    int index = Form->TargetPath->findText(text, Qt::MatchExactly);
    if (index < 0) {
        Form->TargetPath->addItem(text);
        index = Form->TargetPath->count() - 1;
    }
    Form->TargetPath->setCurrentIndex(index);
    return true;
}

void TRestoreWizard::AllVersionsClick() {
    List->SetShowDuplicates(Form->AllVersions->isChecked());
}

int TRestoreWizard::OverwriteMode() const {
    return std::max(OverwriteGroup->checkedId(), 0);
}

void TRestoreWizard::SetOverwriteMode(int mode) {
    if (QAbstractButton* button = OverwriteGroup->button(mode))
        button->setChecked(true);
}

void TRestoreWizard::ShowCount(QLabel* label, int count) {
    label->setText(QString::number(count));
}

void TRestoreWizard::LetWindowRun() {
    QApplication::processEvents();
}

void TRestoreWizard::InitProgressPage() {
    CancelFlag = false;
    Restored = 0;
    Skipped = 0;
    Form->RestoringFrom->setText(Form->SourcePaths->currentText());
    Form->RestoringTo->setText(Form->TargetPath->currentText());
    ShowCount(Form->TotalFiles, 0);
    ShowCount(Form->RestoredSoFar, 0);
    ShowCount(Form->SkippedFiles, 0);
    Form->CurrentFile->clear();
    Form->ProgressBar1->setRange(0, 100);
    Form->ProgressBar1->setValue(0);
    Form->ProgressLabel->setText(QStringLiteral("Please wait, building file list..."));
}

TRestoreOptions TRestoreWizard::RunOptions() {
    TRestoreOptions options;
    options.Overwrite = static_cast<TOverwriteRule>(OverwriteMode());
    if (Form->TargetPath->currentIndex() > 0)
        options.Destination = Form->TargetPath->currentText().toStdString();
    // Cancel stops the run before the next file; the files already in hand are finished,
    // so the workers that write them are never told to stop.
    const QThread* windowThread = thread();
    options.StopRequested = [this, windowThread] {
        return QThread::currentThread() == windowThread && CancelFlag.load();
    };
    return options;
}

void TRestoreWizard::RestoreFiles() {
    InitProgressPage();
    Running = true;
    TRunObserver observer(*this);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    repaint();
    TRestoreRun run(*Tree->RestoreTree(), Log, observer);
    try {
        TRestoreResult result = run.Run(RunOptions());
        SetOverwriteMode(run.Overwrite());
        Skipped = result.Skipped;
        Restored = result.Restored;
        // A question the user cancelled ended the run; Cancel on the panel asked already.
        if (result.Cancelled && !CancelFlag)
            DisplayMessage(StrRestoreCancelled, MB_ICONEXCLAMATION);
    } catch (const std::exception&) {
        DisplayMessage(StrRestoreFailed, MB_ICONSTOP);
        WriteFailureEntry(observer.CurrentTarget);
        Skipped = std::max(Skipped, Form->ProgressBar1->maximum() - Restored);
        CancelFlag = true;
        CloseWhenDone = true;
    }
    observer.EndCounting();
    Running = false;
}

void TRestoreWizard::WriteFailureEntry(const std::string& target) {
    if (!Log)
        return;
    try {
        Log->WriteEntry(lcRestoreFile, target, RestoreErrorNumber, false);
        Log->WriteEntry(lcRestoreEnd, 0, true);
    } catch (const Exception& e) {
        ShowException(e);
    }
}

void TRestoreWizard::CancelButtonClick() {
    if (DisplayMessage(StrConfirmCancel, MB_YESNO | MB_ICONQUESTION) == IDYES)
        CancelFlag = true;
}

void TRestoreWizard::ReportButtonClick() {
    try {
        if (Log)
            Log->Flush();
    } catch (const Exception& e) {
        ShowException(e);
    }
    std::string program = LoadStr(StrLogViewer);
    std::transform(program.begin(), program.end(), program.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    std::string error;
    if (!StartDetachedProgram(ProgramBesideThis(program), {std::to_string(LogViewerToken)},
                              error)) {
        Interaction().MessageBox({StrLogViewerNotStarted, LoadStr(StrLogViewerNotStarted) + error,
                                  LoadStr(StrProductName), MB_OK | MB_ICONEXCLAMATION});
    }
}

void TRestoreWizard::RestartButtonClick() {
    ResetWizard();
    ChangePage(psNext);
}

void TRestoreWizard::QuitButtonClick() {
    accept();
}

void TRestoreWizard::HelpButtonClick() {
    OpenHelpTopic(PageHelpTopics[std::clamp(Form->Book->currentIndex(), 0, int{wpLast})]);
}
