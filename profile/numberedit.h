#pragma once

#include <QSpinBox>

// A number field with its up-down arrows, as the profile dialogs use it: keys that the
// number-key filter refuses are dropped with a beep; while it is typed into the field holds
// up to maxDigits digits whatever their value, and when it is left an empty field or a
// number below the minimum becomes the minimum, one above the maximum the maximum.
class TNumberEdit : public QSpinBox {
    Q_OBJECT

  public:
    explicit TNumberEdit(QWidget* owner = nullptr);

    void SetLimits(int minimum, int maximum, int maxDigits);
    // The number now in the field, brought within the limits.
    int Number() const;

  protected:
    void keyPressEvent(QKeyEvent* e) override;
    QValidator::State validate(QString& text, int& pos) const override;
    void fixup(QString& text) const override;

  private:
    int Clamped(const QString& text) const;
};
