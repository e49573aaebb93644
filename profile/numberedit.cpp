#include "numberedit.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include "pickers.h"

TNumberEdit::TNumberEdit(QWidget* owner) : QSpinBox(owner) {
    setGroupSeparatorShown(false);
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
}

void TNumberEdit::SetLimits(int minimum, int maximum, int maxDigits) {
    setRange(minimum, maximum);
    lineEdit()->setMaxLength(maxDigits);
}

int TNumberEdit::Number() const {
    return Clamped(lineEdit()->text());
}

void TNumberEdit::keyPressEvent(QKeyEvent* e) {
    const QString text = e->text();
    if (text.size() == 1 && text[0].unicode() < 128 && !IsValidChar(text[0].toLatin1())) {
        QApplication::beep();
        e->accept();
        return;
    }
    QSpinBox::keyPressEvent(e);
}

QValidator::State TNumberEdit::validate(QString& text, int&) const {
    if (text.isEmpty())
        return QValidator::Intermediate;
    for (QChar c : text) {
        if (!c.isDigit())
            return QValidator::Invalid;
    }
    const int value = text.toInt();
    return value >= minimum() && value <= maximum() ? QValidator::Acceptable
                                                    : QValidator::Intermediate;
}

void TNumberEdit::fixup(QString& text) const {
    text = QString::number(Clamped(text));
}

int TNumberEdit::Clamped(const QString& text) const {
    bool number = false;
    const int value = text.toInt(&number);
    if (!number || value < minimum())
        return minimum();
    return value > maximum() ? maximum() : value;
}
