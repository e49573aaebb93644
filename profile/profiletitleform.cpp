#include "profiletitleform.h"

#include "commatext.h"
#include "display.h"
#include "formregistry.h"
#include "help.h"
#include "helpcontext.h"
#include "interaction.h"
#include "profilemgr.h"
#include "ui_profiletitleform.h"

namespace {

const TFormClassRegistration Registration("TProfileTitleForm",
                                          [] { return new TProfileTitleForm; });

}  // namespace

TProfileTitleForm::TProfileTitleForm(QWidget* owner, TProfileMgr* manager)
    : TPackageForm(owner), Form(std::make_unique<Ui::TProfileTitleForm>()) {
    Form->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint);
    SetHelpContext(Form->Title, hcProfileTitleName);
    SetHelpContext(Form->Titles, hcProfileTitleTitles);
    SetHelpContext(Form->SaveButton, hcProfileTitleSave);
    SetHelpContext(Form->CancelButton, hcProfileTitleCancel);
    InstallHelp(this);
    connect(Form->SaveButton, &QPushButton::clicked, this, &TProfileTitleForm::SaveButtonClick);
    connect(Form->CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    TakeManager(manager);
}

TProfileTitleForm::~TProfileTitleForm() = default;

void TProfileTitleForm::showEvent(QShowEvent* e) {
    TPackageForm::showEvent(e);
    if (TProfileMgr* manager = TakeTag<TProfileMgr>())
        TakeManager(manager);
    Form->Title->setFocus();
    Form->Title->selectAll();
}

void TProfileTitleForm::TakeManager(TProfileMgr* manager) {
    if (!manager)
        return;
    Manager = manager;
    Form->Titles->clear();
    for (const std::string& title : FromCommaText(Manager->GetTitles()))
        Form->Titles->addItem(QString::fromStdString(title));
    const TProfile* profile = Manager->GetCurrentProfile();
    CurrentIndex = profile ? Manager->IndexOfTitle(profile->Title) : -1;
    Form->Titles->setCurrentRow(CurrentIndex);
    Form->Title->setText(profile ? QString::fromStdString(profile->Title) : QString());
}

void TProfileTitleForm::SaveButtonClick() {
    TProfile* profile = Manager ? Manager->GetCurrentProfile() : nullptr;
    if (!profile) {
        reject();
        return;
    }
    const int refused = profile->UpdateTitle(Form->Title->text().toStdString());
    if (refused != 0) {
        Form->Title->clear();
        Form->Title->setFocus();
        DisplayMessage(refused, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (CurrentIndex >= 0 && CurrentIndex < Form->Titles->count())
        Form->Titles->item(CurrentIndex)->setText(QString::fromStdString(profile->Title));
    accept();
}
