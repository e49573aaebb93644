#include "selectprofile.h"

#include "commatext.h"
#include "profilemgr.h"
#include "strtable.h"
#include "ui_selectprofile.h"
#include "vutil.h"

TSelectProfileForm::TSelectProfileForm(QWidget* owner, const TProfileMgr& manager)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint),
      Form(std::make_unique<Ui::TSelectProfileForm>()) {
    Form->setupUi(this);
    setWindowTitle(QString::fromStdString(LoadStr(301)));
    Form->Label1->setText(QString::fromStdString(LoadStr(302)));
    Form->Titles->setProperty("HelpContext", hcSelectProfileTitles);
    Form->OkButton->setProperty("HelpContext", hcSelectProfileOk);
    connect(Form->OkButton, &QPushButton::clicked, this, &QDialog::accept);

    for (const std::string& title : FromCommaText(manager.GetTitles()))
        Form->Titles->addItem(QString::fromStdString(title));
    // The list holds the titles in the manager's order, so the current profile's index is
    // its place in the list.
    if (manager.GetCurrentProfile() && manager.CurrentIndex < Form->Titles->count())
        Initial = manager.CurrentIndex;
    Form->Titles->setCurrentIndex(Initial);

    adjustSize();
    PositionNearTaskbar(this);
}

TSelectProfileForm::~TSelectProfileForm() = default;

int TSelectProfileForm::SelectedIndex() const {
    return Form->Titles->currentIndex();
}

std::string TSelectProfileForm::SelectedTitle() const {
    return Form->Titles->currentText().toStdString();
}
