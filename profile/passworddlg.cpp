#include "passworddlg.h"

#include "formregistry.h"
#include "help.h"
#include "helpcontext.h"
#include "pagerules.h"
#include "strtable.h"
#include "ui_passworddlg.h"

namespace {

constexpr int StrProductName = 101;
constexpr int StrOldPassword = 781;

const TFormClassRegistration Registration("TPasswordDlg", [] { return new TPasswordDlg; });

}  // namespace

TPasswordDlg::TPasswordDlg(QWidget* owner)
    : TPackageForm(owner), Form(std::make_unique<Ui::TPasswordDlg>()) {
    Form->setupUi(this);
    // A dialog border without icons: no close box, no help button.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(QString::fromStdString(LoadStr(StrProductName)));
    Form->Label1->setText(QString::fromStdString(LoadStr(StrOldPassword)));
    SetUpPasswordField(Form->Password);
    Form->Password->setMinimumWidth(
        Form->Password->fontMetrics().horizontalAdvance(QLatin1Char('*')) * kLongestPassword);
    SetHelpContext(Form->Password, hcOldPassword);
    InstallHelp(this);
    connect(Form->OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(Form->CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

TPasswordDlg::~TPasswordDlg() = default;

std::string TPasswordDlg::PasswordText() const {
    return Form->Password->text().toStdString();
}

void TPasswordDlg::ClearPassword() {
    Form->Password->clear();
    Form->Password->setFocus();
}

void TPasswordDlg::showEvent(QShowEvent* e) {
    TPackageForm::showEvent(e);
    adjustSize();
    setFixedSize(size());
    Form->Password->setFocus();
}
