#include "overwrite.h"

#include <QApplication>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include "datetime.h"
#include "interaction.h"
#include "platform/files.h"
#include "ui_overwrite.h"

namespace {

constexpr int kIconSize = 32;

// "modified on" and the date-time, or nothing for a time that is not known.
QString ModifiedOn(int32_t fileTime) {
    if (fileTime == -1)
        return {};
    std::string date =
        FormatDateTime("dddd, mmmm d, yyyy ' at ' hh:mm AM/PM", FileDateToDateTime(fileTime));
    return QString::fromStdString("modified on " + date);
}

}  // namespace

TOverWriteForm::TOverWriteForm(QWidget* owner, int32_t fileTime, const std::string& fileName)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      Form(std::make_unique<Ui::TOverWriteForm>()) {
    Form->setupUi(this);

    QPixmap question = style()
                           ->standardIcon(QStyle::SP_MessageBoxQuestion, nullptr, this)
                           .pixmap(kIconSize, kIconSize);
    QPixmap file =
        style()->standardIcon(QStyle::SP_FileIcon, nullptr, this).pixmap(kIconSize, kIconSize);
    Form->Image3->setPixmap(question);
    Form->Image1->setPixmap(file);
    Form->Image2->setPixmap(file);

    Form->FileNameText->setText(QString::fromStdString("The file " + fileName));
    Form->ModifiedDate1->setText(ModifiedOn(FileAge(fileName)));
    Form->ModifiedDate2->setText(ModifiedOn(fileTime));

    connect(Form->YesButton, &QPushButton::clicked, this, [this] { done(IDYES); });
    connect(Form->Button1, &QPushButton::clicked, this, [this] { done(IDYESTOALL); });
    connect(Form->NoButton, &QPushButton::clicked, this, [this] { done(IDNO); });
    connect(Form->Button2, &QPushButton::clicked, this, [this] { done(IDNOTOALL); });

    setFixedSize(width(), heightForWidth(width()));
}

TOverWriteForm::~TOverWriteForm() = default;

bool TOverWriteForm::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate && !Activated) {
        Activated = true;
        FormActivate();
    }
    return QDialog::event(e);
}

void TOverWriteForm::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    CentreOnScreen();
}

void TOverWriteForm::FormActivate() {
    QApplication::beep();
}

void TOverWriteForm::CentreOnScreen() {
    QScreen* where = screen();
    if (!where)
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(where->availableGeometry().center());
    move(frame.topLeft());
}
