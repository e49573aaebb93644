#include "editprofileform.h"

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QSplitter>
#include <QTabBar>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "commatext.h"
#include "ct_views.h"
#include "display.h"
#include "formregistry.h"
#include "help.h"
#include "helpcontext.h"
#include "interaction.h"
#include "maskpage.h"
#include "pagerules.h"
#include "passworddlg.h"
#include "pickers.h"
#include "profilemgr.h"
#include "profiletitleform.h"
#include "strtable.h"
#include "ui_editprofileform.h"
#include "vutil.h"

namespace {

constexpr int StrProductName = 101;
constexpr int StrNoFileTypeList = 352;
constexpr int StrEditCaption = 752;
constexpr int StrSelectTarget = 756;
constexpr int StrNoFileTypes = 760;
constexpr int StrPasswordsDiffer = 763;
constexpr int StrSaveChanges = 754;
constexpr int StrWrongPassword = 765;
constexpr int StrPasswordChanged = 766;
constexpr int StrPasswordRemoved = 767;

constexpr unsigned kRefused = MB_OK | MB_ICONSTOP;
constexpr unsigned kTold = MB_OK | MB_ICONINFORMATION;
constexpr unsigned kSaveQuestion = MB_YESNOCANCEL | MB_ICONQUESTION;

// Room for the folder tree and its file list side by side.
constexpr int kTreePanelWidth = 560;
constexpr int kTreePanelHeight = 220;

const char* const kKeptFoldersNote =
    "Not found now, and kept among the folders to guard until they can be seen again: ";

const TFormClassRegistration Registration("TEditProfileForm", [] { return new TEditProfileForm; });

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

int HelpContextOfPage(int page) {
    switch (page) {
        case TEditProfileForm::pgLocations:
            return hcEditLocations;
        case TEditProfileForm::pgInclude:
            return hcEditInclude;
        case TEditProfileForm::pgExclude:
            return hcEditExclude;
        case TEditProfileForm::pgSecurity:
            return hcEditSecurity;
        default:
            return hcEditSummary;
    }
}

}  // namespace

TEditProfileForm::TEditProfileForm(QWidget* owner)
    : TPackageForm(owner), Form(std::make_unique<Ui::TEditProfileForm>()) {
    Form->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint);

    auto* panelLayout = new QHBoxLayout(Form->SourceTreePanel);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    auto* splitter = new QSplitter(Qt::Horizontal, Form->SourceTreePanel);
    SourceTree = new TCheckedDirTreeView(splitter, kSourceDriveTypes);
    SourceTree->setObjectName("SourceTree");
    SourceFiles = new TCheckedFileListView(splitter);
    SourceFiles->setObjectName("SourceFiles");
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 1);
    panelLayout->addWidget(splitter);
    SourceTree->SetFileList(SourceFiles);
    Form->SourceTreePanel->setMinimumSize(kTreePanelWidth, kTreePanelHeight);
    Form->MissingSources->hide();

    Masks = new TMaskPages(TMaskCaptions::Editor, this);
    for (auto [tab, page] : {std::pair{Form->IncludePage, Masks->IncludePage()},
                             std::pair{Form->ExcludePage, Masks->ExcludePage()}}) {
        auto* layout = new QVBoxLayout(tab);
        layout->addWidget(page);
    }

    SetUpPasswordField(Form->Password1);
    SetUpPasswordField(Form->Password2);
    Form->EncryptionNote->setText(PasswordProtectionNote());
    SetUpVersionsField(Form->Versions);

    QWidget* const pages[] = {Form->SummaryPage, Form->LocationPage, Form->IncludePage,
                              Form->ExcludePage, Form->SecurityPage};
    for (int page = pgSummary; page <= pgSecurity; ++page)
        SetHelpContext(pages[page], HelpContextOfPage(page));
    InstallHelp(this);

    for (QLabel* field :
         {Form->SourceSummary, Form->TargetSummary, Form->IncludeSummary, Form->ExcludeSummary,
          Form->PasswordSummary, Form->VersionsSummary, Form->CompressSummary}) {
        field->setCursor(Qt::PointingHandCursor);
        field->installEventFilter(this);
    }
    Form->PageControl->tabBar()->installEventFilter(this);

    connect(Form->PageControl, &QTabWidget::currentChanged, this, &TEditProfileForm::PageChanged);
    connect(Form->BrowseButton, &QPushButton::clicked, this, &TEditProfileForm::BrowseButtonClick);
    connect(Form->Compress, &QCheckBox::toggled, this, [this](bool checked) {
        if (Profile)
            Profile->SetCompression(checked);
    });
    connect(Form->Versions, &QSpinBox::valueChanged, this, [this](int versions) {
        if (Profile)
            Profile->SetNumVersions(versions);
    });
    connect(Form->Password, &QCheckBox::clicked, this, &TEditProfileForm::PasswordClick);
    connect(Form->SaveButton, &QPushButton::clicked, this, &TEditProfileForm::SaveButtonClick);
    connect(Form->SaveAsButton, &QPushButton::clicked, this, &TEditProfileForm::SaveAsButtonClick);
    connect(Form->CancelButton, &QPushButton::clicked, this, &TEditProfileForm::CancelButtonClick);
    connect(Form->CloseButton, &QPushButton::clicked, this, &TEditProfileForm::CloseButtonClick);
    connect(Form->HelpButton, &QPushButton::clicked, this, &TEditProfileForm::HelpButtonClick);
}

TEditProfileForm::~TEditProfileForm() = default;

void TEditProfileForm::showEvent(QShowEvent* e) {
    TPackageForm::showEvent(e);
    FormShow();
}

void TEditProfileForm::FormShow() {
    TProfileMgr* manager = TakeTag<TProfileMgr>();
    if (!manager)
        return;
    if (!Masks->BuildMaskLists()) {
        // Without the file types the pages cannot be shown; nothing has been changed yet.
        DisplayMessage(StrNoFileTypeList, kRefused);
        Cancelling = true;
        QTimer::singleShot(0, this, &TEditProfileForm::reject);
        return;
    }
    Manager = manager;
    Profile = Manager->GetCurrentProfile();
    if (!Profile)
        return;
    UpdateCaption();
    MissingFolders = SourceTree->BuildFromList(Profile->GetSourceFolders());
    if (!MissingFolders.empty()) {
        Form->MissingSources->setText(kKeptFoldersNote + Text(ToCommaText(MissingFolders)));
        Form->MissingSources->show();
    }
    Form->Title->setText(Text(Profile->Title));
    FillTargetList(Form->TargetPath, Profile);
    Masks->SetProfile(Profile);
    Form->Compress->setChecked(Profile->Header.Compression != 0);
    Form->Password->setChecked(Profile->Header.Key != 0);
    PasswordClick();
    Form->Versions->setValue(Profile->Header.NumVersions);
    ShownPage = pgSummary;
    Form->PageControl->setCurrentIndex(pgSummary);
    SummaryPageShow();
    PositionNearTaskbar(this);
}

void TEditProfileForm::UpdateCaption() {
    setWindowTitle(Text(LoadStr(StrProductName) + LoadStr(StrEditCaption) + Profile->Title));
}

bool TEditProfileForm::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() != QEvent::MouseButtonPress ||
        static_cast<QMouseEvent*>(e)->button() != Qt::LeftButton)
        return TPackageForm::eventFilter(watched, e);
    if (watched == Form->PageControl->tabBar()) {
        // The page is checked before the tab moves, so a page that cannot be left never
        // shows its neighbour.
        const int page =
            Form->PageControl->tabBar()->tabAt(static_cast<QMouseEvent*>(e)->position().toPoint());
        if (page >= 0 && page != Form->PageControl->currentIndex())
            GoToPage(page);
        return page >= 0;
    }
    if (auto* field = qobject_cast<QLabel*>(watched)) {
        SummaryClick(field);
        return true;
    }
    return TPackageForm::eventFilter(watched, e);
}

bool TEditProfileForm::GoToPage(int page) {
    if (page == Form->PageControl->currentIndex())
        return true;
    if (!ValidatePage(ShownPage))
        return false;
    PageChecked = true;
    Form->PageControl->setCurrentIndex(page);
    PageChecked = false;
    return true;
}

// Every way of changing the page ends here; a change that was not checked beforehand (the
// keyboard's) is checked now and undone when the page left is not valid.
void TEditProfileForm::PageChanged(int page) {
    if (page == ShownPage)
        return;
    if (!PageChecked && !ValidatePage(ShownPage)) {
        PageChecked = true;
        Form->PageControl->setCurrentIndex(ShownPage);
        PageChecked = false;
        return;
    }
    ShownPage = page;
    if (page == pgSummary)
        SummaryPageShow();
}

void TEditProfileForm::SummaryPageShow() {
    if (!Profile)
        return;
    Form->SourceSummary->setText(Text(SourceSummaryText(SourceFolders())));
    Form->TargetSummary->setText(Form->TargetPath->currentText());
    Form->IncludeSummary->setText(Text(MaskSummaryText(Masks->IncludePage()->Masks()->Masks())));
    Form->ExcludeSummary->setText(Text(MaskSummaryText(Masks->ExcludePage()->Masks()->Masks())));
    Form->CompressSummary->setText(Text(YesNoText(Form->Compress->isChecked())));
    Form->PasswordSummary->setText(Text(YesNoText(Form->Password->isChecked())));
    Form->VersionsSummary->setText(QString::number(Form->Versions->Number()));
}

void TEditProfileForm::SummaryClick(QLabel* field) {
    struct TDestination {
        QLabel* Field;
        int Page;
        QWidget* Control;
    };
    const TDestination destinations[] = {
        {Form->SourceSummary, pgLocations, SourceTree},
        {Form->TargetSummary, pgLocations, Form->TargetPath},
        {Form->CompressSummary, pgLocations, Form->Compress},
        {Form->IncludeSummary, pgInclude, Masks->IncludePage()->Masks()},
        {Form->ExcludeSummary, pgExclude, Masks->ExcludePage()->Masks()},
        {Form->PasswordSummary, pgSecurity, Form->Password},
        {Form->VersionsSummary, pgSecurity, Form->Versions},
    };
    for (const TDestination& destination : destinations) {
        if (destination.Field == field && GoToPage(destination.Page)) {
            destination.Control->setFocus();
            return;
        }
    }
}

void TEditProfileForm::BrowseButtonClick() {
    BrowseForFolder(Form->TargetPath, LoadStr(StrSelectTarget), true);
}

void TEditProfileForm::PasswordClick() {
    if (Form->Password->isChecked()) {
        EnablePasswordFields(Form->Password1, Form->Password2, true);
        return;
    }
    Form->Password1->clear();
    Form->Password2->clear();
    if (!Profile || Profile->Header.Key == 0) {
        EnablePasswordFields(Form->Password1, Form->Password2, false);
        return;
    }
    if (!AskOldPassword()) {
        Form->Password->setChecked(true);
        EnablePasswordFields(Form->Password1, Form->Password2, true);
        return;
    }
    EnablePasswordFields(Form->Password1, Form->Password2, false);
    Profile->DeletePassword();
    DisplayMessage(StrPasswordRemoved, kTold);
}

bool TEditProfileForm::AskOldPassword() {
    TPasswordDlg dialog(this);
    for (;;) {
        if (dialog.exec() != QDialog::Accepted)
            return false;
        if (Profile->IsPassword(dialog.PasswordText()))
            return true;
        DisplayMessage(StrWrongPassword, MB_OK | MB_ICONEXCLAMATION);
        dialog.ClearPassword();
    }
}

bool TEditProfileForm::ValidatePage() {
    return ValidatePage(Form->PageControl->currentIndex());
}

bool TEditProfileForm::ValidatePage(int page) {
    if (!Profile)
        return true;
    int refused = 0;
    switch (page) {
        case pgLocations:
            refused = ValidateLocations();
            break;
        case pgInclude:
            refused = ValidateInclude();
            break;
        case pgSecurity:
            refused = ValidateSecurity();
            break;
        default:
            break;
    }
    if (refused == 0)
        return true;
    DisplayMessage(refused, kRefused);
    return false;
}

int TEditProfileForm::ValidateLocations() {
    if (const int refused = Profile->UpdateSource(SourceFolders()))
        return refused;
    return ApplyTarget(*Profile, Form->TargetPath);
}

int TEditProfileForm::ValidateInclude() {
    return Masks->IncludeListEmpty() ? StrNoFileTypes : 0;
}

int TEditProfileForm::ValidateSecurity() {
    Profile->SetNumVersions(Form->Versions->Number());
    if (!Form->Password->isChecked())
        return 0;
    const std::string password = Form->Password1->text().toStdString();
    switch (ReadPasswordEntry(*Profile, password, Form->Password2->text().toStdString())) {
        case TPasswordEntry::peMismatch:
            return StrPasswordsDiffer;
        case TPasswordEntry::peEmpty:
        case TPasswordEntry::peNew:
            return Profile->UpdatePassword(password);
        case TPasswordEntry::peChanged:
            if (AskOldPassword()) {
                Profile->UpdatePassword(password);
                DisplayMessage(StrPasswordChanged, kTold);
            } else {
                // The password stays; the fields are emptied so that leaving the page again
                // does not ask again.
                Form->Password->setChecked(true);
                PasswordClick();
                Form->Password1->clear();
                Form->Password2->clear();
            }
            return 0;
        case TPasswordEntry::peUnchanged:
            return 0;
    }
    return 0;
}

std::vector<std::string> TEditProfileForm::SourceFolders() const {
    std::vector<std::string> folders = SourceTree->GetFolders(true);
    for (const std::string& missing : MissingFolders) {
        if (std::find(folders.begin(), folders.end(), missing) == folders.end())
            folders.push_back(missing);
    }
    return folders;
}

bool TEditProfileForm::SaveProfile() {
    return Manager->SaveCurrentProfile();
}

void TEditProfileForm::SaveButtonClick() {
    if (Profile && ValidatePage())
        SaveProfile();
}

void TEditProfileForm::SaveAsButtonClick() {
    if (!Profile || !ValidatePage())
        return;
    TProfileTitleForm titleForm(this, Manager);
    if (titleForm.exec() != QDialog::Accepted)
        return;
    SaveProfile();
    Form->Title->setText(Text(Profile->Title));
    UpdateCaption();
}

void TEditProfileForm::UndoChanges() {
    Profile->UndoChanges();
    Masks->Refill();
}

void TEditProfileForm::CancelButtonClick() {
    if (Profile)
        UndoChanges();
    Cancelling = true;
    reject();
}

void TEditProfileForm::CloseButtonClick() {
    if (CanCloseEditor())
        accept();
}

// The close box and Escape end here as Cancel does, but ask about changes first.
void TEditProfileForm::reject() {
    if (Cancelling || CanCloseEditor())
        TPackageForm::reject();
    Cancelling = false;
}

void TEditProfileForm::HelpButtonClick() {
    OpenHelp(HelpContextOfPage(Form->PageControl->currentIndex()));
}

bool TEditProfileForm::CanCloseEditor() {
    if (!Profile)
        return true;
    if (!ValidatePage())
        return false;
    if (!Profile->Modified)
        return true;
    switch (DisplayMessage(StrSaveChanges, kSaveQuestion)) {
        case IDYES:
            return SaveProfile();
        case IDNO:
            UndoChanges();
            return true;
        default:
            return false;
    }
}
