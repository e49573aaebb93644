#include "profilewizardform.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
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
#include "pickers.h"
#include "pictures.h"
#include "profilemgr.h"
#include "strtable.h"
#include "ui_profilewizardform.h"

namespace {

enum : int {
    StrProductName = 101,
    StrNextCaption = 151,
    StrFinishCaption = 152,
    StrClickNext = 153,
    StrClickFinish = 154,
    StrNoFileTypeList = 352,
    StrWizardCaption = 751,
    StrIncomplete = 753,
    StrSaveChanges = 754,
    StrSelectTarget = 756,
    StrNoTarget = 758,
    StrNoIncludes = 760,
    StrPasswordsDiffer = 763,
    StrTitleExists = 768,
};

constexpr unsigned kWarning = MB_OK | MB_ICONEXCLAMATION;
constexpr unsigned kStop = MB_OK | MB_ICONSTOP;
constexpr unsigned kYesNoCancelQuestion = MB_YESNOCANCEL | MB_ICONQUESTION;

constexpr int kIntroPictureSize = 160;
// The smallest size of the wizard, big enough for the folder tree and the mask lists.
constexpr int kMinWidth = 600;
constexpr int kMinHeight = 460;

// Every page's help topic, in page order.
constexpr int PageHelpContexts[] = {
    hcWizardIntro,   hcWizardSource,   hcWizardTarget, hcWizardInclude,
    hcWizardExclude, hcWizardSecurity, hcWizardTitle,
};
static_assert(std::size(PageHelpContexts) == pwTitle + 1);

const TFormClassRegistration Registration("TProfileWizardForm",
                                          [] { return new TProfileWizardForm; });

QString Text(int id) {
    return QString::fromStdString(LoadStr(id));
}

}  // namespace

TProfileWizardForm::TProfileWizardForm(QWidget* owner)
    : TPackageForm(owner), Form(std::make_unique<Ui::TProfileWizardForm>()) {
    Form->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint);
    setWindowTitle(Text(StrProductName) + Text(StrWizardCaption));
    CreateSourceTree();
    CreateMaskPages();
    ShowIntroPicture();
    SetUpVersionsField(Form->Versions);
    SetUpPasswordField(Form->Password1);
    SetUpPasswordField(Form->Password2);
    Form->PasswordNotEncryption->setText(PasswordProtectionNote());
    Form->NextLabel->setText(Text(StrClickNext));
    SetHelpContexts();
    InstallHelp(this);

    connect(Form->BackButton, &QPushButton::clicked, this, &TProfileWizardForm::BackButtonClick);
    connect(Form->NextButton, &QPushButton::clicked, this, &TProfileWizardForm::NextButtonClick);
    connect(Form->HelpButton, &QPushButton::clicked, this, &TProfileWizardForm::HelpButtonClick);
    connect(Form->BrowseButton, &QPushButton::clicked, this,
            &TProfileWizardForm::BrowseButtonClick);
    connect(Form->Password, &QCheckBox::clicked, this, &TProfileWizardForm::PasswordClick);
    connect(Form->Versions, &QSpinBox::valueChanged, this, &TProfileWizardForm::VersionsChange);

    Form->Password->setChecked(false);
    SetPasswordEditsEnabled(false);
    Step(wsFirst);
}

TProfileWizardForm::~TProfileWizardForm() = default;

void TProfileWizardForm::CreateSourceTree() {
    auto* layout = new QHBoxLayout(Form->SourceTreePanel);
    layout->setContentsMargins(0, 0, 0, 0);
    Tree = new TCheckedDirTreeView(Form->SourceTreePanel, kSourceDriveTypes);
    Tree->setObjectName("SourceTree");
    layout->addWidget(Tree);
    Tree->Build();
}

void TProfileWizardForm::CreateMaskPages() {
    Masks = new TMaskPages(TMaskCaptions::Wizard, this);
    const std::pair<QWidget*, TMaskPage*> places[] = {
        {Form->IncludeMaskPanel, Masks->IncludePage()},
        {Form->ExcludeMaskPanel, Masks->ExcludePage()},
    };
    for (const auto& [panel, page] : places) {
        auto* layout = new QHBoxLayout(panel);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(page);
    }
    Masks->SetCustomKeyFilter(true);
    if (!Masks->BuildMaskLists()) {
        // Without the file types the pages cannot be filled in: the wizard closes when it is
        // shown, and no profile is made. The program itself goes on.
        DisplayMessage(StrNoFileTypeList, kStop);
        Broken = true;
    }
}

void TProfileWizardForm::ShowIntroPicture() {
    Form->IntroImage->setPixmap(
        RenderPicture(kProgramIconResource, QSize(kIntroPictureSize, kIntroPictureSize)));
}

void TProfileWizardForm::SetHelpContexts() {
    for (int page = pwIntro; page <= pwTitle; ++page)
        SetHelpContext(Form->Book->widget(page), PageHelpContexts[page]);
    SetHelpContext(this, hcWizardIntro);
}

void TProfileWizardForm::showEvent(QShowEvent* e) {
    TPackageForm::showEvent(e);
    if (!Sized) {
        Sized = true;
        FixSize();
    }
    FormShow();
}

void TProfileWizardForm::FixSize() {
    // The window keeps its size from page to page, whatever the label beside the buttons says.
    const QFontMetrics metrics(Form->NextLabel->font());
    Form->NextLabel->setMinimumWidth(std::max(metrics.horizontalAdvance(Text(StrClickNext)),
                                              metrics.horizontalAdvance(Text(StrClickFinish))));
    layout()->activate();
    setFixedSize(sizeHint().expandedTo(QSize(kMinWidth, kMinHeight)));
}

void TProfileWizardForm::FormShow() {
    TProfileMgr* manager = TakeTag<TProfileMgr>();
    if (Broken) {
        QMetaObject::invokeMethod(this, &QDialog::reject, Qt::QueuedConnection);
        return;
    }
    if (!manager)
        return;
    Manager = manager;
    Profile = std::make_unique<TProfile>();
    Masks->SetProfile(Profile.get());
    Form->Titles->clear();
    for (const std::string& title : FromCommaText(Manager->GetTitles()))
        Form->Titles->addItem(QString::fromStdString(title));
    Form->Title->setText(QString::fromStdString(Profile->Title));
    FillTargetList(Form->TargetPath, Profile.get());
    Form->Versions->setValue(Profile->Header.NumVersions);
    PageChanged();
}

int TProfileWizardForm::CurrentPage() const {
    return Form->Book->currentIndex();
}

bool TProfileWizardForm::Step(int direction) {
    const int page = CurrentPage();
    if (direction == wsNext || direction == wsCheck) {
        const int fault = CheckPage(page);
        if (fault != 0) {
            if (direction != wsCheck)
                DisplayMessage(fault, kWarning);
            FocusFault(page);
            return false;
        }
        if (page == pwTitle && direction == wsNext) {
            if (!HandOver())
                return false;
            accept();
            return true;
        }
    }
    const int next = direction == wsFirst ? pwIntro : std::clamp(page + direction, 0, int{pwTitle});
    if (next != page || direction == wsFirst) {
        Form->Book->setCurrentIndex(next);
        PageChanged();
    }
    return true;
}

int TProfileWizardForm::CheckPage(int page) {
    if (!Profile)
        return 0;
    switch (page) {
        case pwSource:
            return CheckSource();
        case pwTarget:
            return CheckTarget();
        case pwInclude:
            return Masks->IncludeListEmpty() ? StrNoIncludes : 0;
        case pwSecurity:
            return CheckSecurity();
        case pwTitle:
            return CheckTitle();
        default:
            return 0;
    }
}

int TProfileWizardForm::CheckSource() {
    return Profile->UpdateSource(Tree->GetFolders(true));
}

int TProfileWizardForm::CheckTarget() {
    if (Form->TargetPath->currentIndex() < 0)
        return StrNoTarget;
    return ApplyTarget(*Profile, Form->TargetPath);
}

int TProfileWizardForm::CheckSecurity() {
    Profile->SetNumVersions(Form->Versions->Number());
    if (!Form->Password->isChecked())
        return 0;
    const std::string password = Form->Password1->text().toStdString();
    const std::string confirmation = Form->Password2->text().toStdString();
    if (ReadPasswordEntry(*Profile, password, confirmation) == TPasswordEntry::peMismatch)
        return StrPasswordsDiffer;
    if (password.empty()) {
        Form->Password->setChecked(false);
        PasswordClick();
        return 0;
    }
    return Profile->UpdatePassword(password);
}

int TProfileWizardForm::CheckTitle() {
    return Profile->UpdateTitle(Form->Title->text().toStdString());
}

void TProfileWizardForm::FocusFault(int page) {
    switch (page) {
        case pwTarget:
            Form->TargetPath->setFocus();
            break;
        case pwTitle:
            Form->Title->clear();
            Form->Title->setFocus();
            break;
        default:
            break;
    }
}

bool TProfileWizardForm::HandOver() {
    if (!Manager || !Profile)
        return true;
    // The manager drops a profile whose title clashes with one that another process saved
    // meanwhile: it is handed a copy, so that the user can choose another title here.
    const int index = Manager->AddNewProfile(std::make_unique<TProfile>(*Profile));
    if (index == TProfileMgr::kTitleTaken) {
        if (CurrentPage() != pwTitle) {
            Form->Book->setCurrentIndex(pwTitle);
            PageChanged();
        }
        DisplayMessage(StrTitleExists, kWarning);
        FocusFault(pwTitle);
        return false;
    }
    if (Manager->Items(index)->IsNew) {
        // The profiles file could not be written (the manager has said why): the wizard
        // keeps the profile, so that the user may try again or give it up.
        Manager->WithdrawNewProfile(index);
        return false;
    }
    Masks->SetProfile(nullptr);
    Profile.reset();
    Added = true;
    return true;
}

void TProfileWizardForm::Discard() {
    Masks->SetProfile(nullptr);
    Profile.reset();
}

void TProfileWizardForm::PageChanged() {
    const int page = CurrentPage();
    switch (page) {
        case pwIntro:
            Form->BackButton->setEnabled(false);
            break;
        case pwSource:
            Form->BackButton->setEnabled(true);
            Tree->setFocus();
            break;
        case pwTarget:
            Form->TargetPath->setFocus();
            break;
        case pwInclude:
            Masks->IncludePageShow();
            Masks->IncludePage()->Masks()->setFocus();
            break;
        case pwExclude:
            Masks->ExcludePageShow();
            Masks->ExcludePage()->Masks()->setFocus();
            break;
        case pwSecurity:
            Form->Password->setFocus();
            break;
        case pwTitle:
            Form->Title->setFocus();
            break;
        default:
            break;
    }
    const bool last = page == pwTitle;
    Form->NextButton->setText(Text(last ? StrFinishCaption : StrNextCaption));
    Form->NextLabel->setText(Text(last ? StrClickFinish : StrClickNext));
    SetHelpContext(Form->NextButton, last ? hcWizardFinish : hcWizardNext);
}

void TProfileWizardForm::BackButtonClick() {
    Step(wsBack);
}

void TProfileWizardForm::NextButtonClick() {
    Step(wsNext);
}

void TProfileWizardForm::HelpButtonClick() {
    OpenHelp(PageHelpContexts[std::clamp(CurrentPage(), 0, int{pwTitle})]);
}

void TProfileWizardForm::BrowseButtonClick() {
    BrowseForFolder(Form->TargetPath, LoadStr(StrSelectTarget), true);
}

void TProfileWizardForm::SetPasswordEditsEnabled(bool enabled) {
    EnablePasswordFields(Form->Password1, Form->Password2, enabled);
    Form->Password1Label->setEnabled(enabled);
    Form->Password2Label->setEnabled(enabled);
}

void TProfileWizardForm::PasswordClick() {
    const bool protect = Form->Password->isChecked();
    if (!protect && Profile)
        Profile->DeletePassword();
    SetPasswordEditsEnabled(protect);
}

void TProfileWizardForm::VersionsChange(int versions) {
    if (Profile)
        Profile->SetNumVersions(versions);
}

void TProfileWizardForm::reject() {
    if (!FormCloseQuery())
        return;
    if (Added)
        accept();
    else
        TPackageForm::reject();
}

bool TProfileWizardForm::FormCloseQuery() {
    if (!Profile)
        return true;
    const bool complete = Step(wsCheck) && !Profile->Source.empty() && !Profile->Target.empty();
    if (complete) {
        if (!Profile->Modified)
            return true;
        switch (DisplayMessage(StrSaveChanges, kYesNoCancelQuestion)) {
            case IDYES:
                return HandOver();
            case IDNO:
                Discard();
                return true;
            default:
                return false;
        }
    }
    if (DisplayMessage(StrIncomplete, kYesNoCancelQuestion) != IDYES)
        return false;
    Discard();
    return true;
}
