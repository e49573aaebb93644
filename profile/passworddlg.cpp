#include "passworddlg.h"

#include <QProxyStyle>

#include "formregistry.h"
#include "help.h"
#include "helpcontext.h"
#include "strtable.h"
#include "ui_passworddlg.h"

namespace {

constexpr int StrProductName = 101;
constexpr int StrOldPassword = 781;
constexpr int kLongestPassword = 32;

// The password field shows one "*" for each character, whatever the desktop's style draws.
class TStarEchoStyle : public QProxyStyle {
  public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

const TFormClassRegistration Registration("TPasswordDlg", [] { return new TPasswordDlg; });

}  // namespace

TPasswordDlg::TPasswordDlg(QWidget* owner)
    : TPackageForm(owner), Form(std::make_unique<Ui::TPasswordDlg>()) {
    Form->setupUi(this);
    // A dialog border without icons: no close box, no help button.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(QString::fromStdString(LoadStr(StrProductName)));
    Form->Label1->setText(QString::fromStdString(LoadStr(StrOldPassword)));
    auto* style = new TStarEchoStyle;
    style->setParent(Form->Password);
    Form->Password->setStyle(style);
    Form->Password->setMaxLength(kLongestPassword);
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
