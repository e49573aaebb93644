#include "r_password.h"

#include <QShowEvent>

#include "strtable.h"
#include "ui_r_password.h"
#include "vutil.h"

namespace {

constexpr int StrProductName = 101;

}  // namespace

TRPasswordDlg::TRPasswordDlg(QWidget* owner)
    : QDialog(owner), Form(std::make_unique<Ui::TRPasswordDlg>()) {
    Form->setupUi(this);
    setWindowTitle(QString::fromStdString(LoadStr(StrProductName)));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    ShowAsStars(Form->Password);
    constexpr int VisibleCharacters = 32;  // the longest password the profile dialogs take
    Form->Password->setMinimumWidth(
        Form->Password->fontMetrics().horizontalAdvance(QLatin1Char('*')) * VisibleCharacters);
    connect(Form->OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(Form->CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

TRPasswordDlg::~TRPasswordDlg() = default;

bool TRPasswordDlg::Ask(std::string& password) {
    const bool ok = exec() == QDialog::Accepted;
    password = ok ? PasswordText() : std::string();
    return ok;
}

std::string TRPasswordDlg::PasswordText() const {
    return Form->Password->text().toStdString();
}

void TRPasswordDlg::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    adjustSize();
    setFixedSize(size());
    Form->Password->selectAll();
    Form->Password->setFocus();
}
