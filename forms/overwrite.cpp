#include "overwrite.h"

#include <QApplication>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTextBoundaryFinder>

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

// The path with room to wrap in a label of the given width: the label breaks lines only at
// blanks, and a drive-form path may hold none. Zero-width spaces go after each folder
// separator and, within a name too wide for a line of its own, where the line is full.
QString Wrappable(const std::string& path, const QFontMetrics& metrics, int width) {
    constexpr QChar kBreak(0x200B);  // zero-width space
    QString source = QString::fromStdString(path);
    QString text;
    QString run;  // since the last place to break
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, source);
    for (qsizetype start = 0; start < source.size();) {
        qsizetype end = characters.toNextBoundary();
        if (end <= start)
            end = source.size();
        QString character = source.mid(start, end - start);
        if (width > 0 && !run.isEmpty() && metrics.horizontalAdvance(run + character) > width) {
            text += kBreak;
            run.clear();
        }
        text += character;
        run = character == u" " ? QString() : run + character;
        if (character == u"\\" || character == u"/") {
            text += kBreak;
            run.clear();
        }
        start = end;
    }
    return text;
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

    // The label's width is known once the layout has placed it.
    layout()->activate();
    QLabel* label = Form->FileNameText;
    int lineWidth = label->contentsRect().width() - label->fontMetrics().averageCharWidth();
    label->setText("The file " + Wrappable(fileName, label->fontMetrics(), lineWidth));
    Form->ModifiedDate1->setText(ModifiedOn(FileAge(fileName)));
    Form->ModifiedDate2->setText(ModifiedOn(fileTime));

    connect(Form->YesButton, &QPushButton::clicked, this, [this] { done(IDYES); });
    connect(Form->Button1, &QPushButton::clicked, this, [this] { done(IDYESTOALL); });
    connect(Form->NoButton, &QPushButton::clicked, this, [this] { done(IDNO); });
    connect(Form->Button2, &QPushButton::clicked, this, [this] { done(IDNOTOALL); });

    // The children are not shown yet, so their new texts did not reach the inner layouts:
    // activating the layout again measures everything afresh.
    layout()->invalidate();
    layout()->activate();
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
