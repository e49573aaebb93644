#include "optionsform.h"

#include <QButtonGroup>
#include <QRadioButton>

#include "display.h"
#include "formregistry.h"
#include "help.h"
#include "helpcontext.h"
#include "interaction.h"
#include "logfile.h"
#include "profilemgr.h"
#include "strtable.h"
#include "ui_optionsform.h"
#include "vfileutil.h"
#include "vutil.h"

namespace {

constexpr int StrProductName = 101;
constexpr int StrOptionsCaption = 780;

constexpr int kMinLogEntries = 1;
constexpr int kMaxLogEntries = 32000;
constexpr int kLogEntriesDigits = 5;
constexpr int kLogEntriesStep = 10;

const char* const kNotSaved =
    "The options could not be saved. They are still in the dialog: try again, or choose "
    "Cancel to leave the options as they were.";

const TFormClassRegistration Registration("TOptionsForm", [] { return new TOptionsForm; });

}  // namespace

TOptionsForm::TOptionsForm(QWidget* owner)
    : TPackageForm(owner), Form(std::make_unique<Ui::TOptionsForm>()) {
    Form->setupUi(this);
    setWindowTitle(QString::fromStdString(LoadStr(StrProductName) + LoadStr(StrOptionsCaption)));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::WindowContextHelpButtonHint);
    LogEntryTypes = new QButtonGroup(this);
    LogEntryTypes->addButton(Form->LogEntryType0, ltSuccess);
    LogEntryTypes->addButton(Form->LogEntryType1, ltErrors);
    LogEntryTypes->addButton(Form->LogEntryType2, ltBoth);
    Form->MaxLogEntries->SetLimits(kMinLogEntries, kMaxLogEntries, kLogEntriesDigits);
    Form->MaxLogEntries->setSingleStep(kLogEntriesStep);

    SetHelpContext(this, hcOptions);
    SetHelpContext(Form->LogFile, hcOptionsLogFile);
    SetHelpContext(Form->LogEntryType, hcOptionsLogEntryType);
    SetHelpContext(Form->MaxLogEntries, hcOptionsMaxLogEntries);
    SetHelpContext(Form->Autoload, hcOptionsAutoload);
    SetHelpContext(Form->OkButton, hcOptionsOk);
    SetHelpContext(Form->CancelButton, hcOptionsCancel);
    InstallHelp(this);

    connect(Form->LogFile, &QCheckBox::toggled, this, &TOptionsForm::LogFileClick);
    connect(Form->OkButton, &QPushButton::clicked, this, &TOptionsForm::OkButtonClick);
    connect(Form->CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

TOptionsForm::~TOptionsForm() = default;

void TOptionsForm::showEvent(QShowEvent* e) {
    TPackageForm::showEvent(e);
    FormActivate();
}

void TOptionsForm::FormActivate() {
    TProfileMgr* manager = TakeTag<TProfileMgr>();
    if (!manager)
        return;
    Manager = manager;
    const TChoices choices = ChoicesOf(*Manager);
    Form->Autoload->setChecked(choices.StartWithWindows);
    Form->LogFile->setChecked(choices.CreateLog);
    if (QAbstractButton* type = LogEntryTypes->button(choices.LogType))
        type->setChecked(true);
    Form->MaxLogEntries->setValue(choices.MaxLogEntries);
    LogFileClick();
    adjustSize();
    setFixedSize(sizeHint());
    PositionNearTaskbar(this);
}

void TOptionsForm::LogFileClick() {
    const bool logging = Form->LogFile->isChecked();
    Form->LogEntryType->setEnabled(logging);
    Form->MaxLogEntries->setEnabled(logging);
    Form->MaxLogEntriesLabel->setEnabled(logging);
}

void TOptionsForm::OkButtonClick() {
    if (Manager && !Save(Chosen()))
        return;
    accept();
}

TOptionsForm::TChoices TOptionsForm::Chosen() const {
    const int type = LogEntryTypes->checkedId();
    return {Form->Autoload->isChecked(), Form->LogFile->isChecked(), Form->MaxLogEntries->Number(),
            static_cast<uint8_t>(type < 0 ? ltBoth : type)};
}

TOptionsForm::TChoices TOptionsForm::ChoicesOf(const TProfileMgr& manager) {
    return {manager.StartWithWindows, manager.CreateLog, manager.MaxLogEntries, manager.LogType};
}

void TOptionsForm::Apply(const TChoices& choices, TProfileMgr& manager) {
    manager.StartWithWindows = choices.StartWithWindows;
    manager.CreateLog = choices.CreateLog;
    manager.MaxLogEntries = choices.MaxLogEntries;
    manager.LogType = choices.LogType;
}

bool TOptionsForm::Save(const TChoices& choices) {
    const TChoices before = ChoicesOf(*Manager);
    try {
        UpdateStartupShortcut(choices.StartWithWindows);
    } catch (const std::exception& e) {
        ShowException(e);
        return false;
    }
    Apply(choices, *Manager);
    if (Manager->WriteRegistry())
        return true;
    Apply(before, *Manager);
    try {
        UpdateStartupShortcut(before.StartWithWindows);
    } catch (const std::exception&) {
        // The entry the user chose stays; the message below says the options were not saved.
    }
    Interaction().MessageBox({0, kNotSaved, LoadStr(StrProductName), MB_OK | MB_ICONSTOP});
    return false;
}
