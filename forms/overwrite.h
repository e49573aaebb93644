#pragma once

#include <QDialog>
#include <cstdint>
#include <memory>
#include <string>

#include "vlforms_export.h"

namespace Ui {
class TOverWriteForm;
}

// Asks whether a restore may replace a file that already exists with its backed-up copy.
// exec() returns IDYES, IDYESTOALL, IDNO or IDNOTOALL (interaction.h) for the four
// buttons; the dialog has no close box, and Escape gives 0, which is neither Yes answer.
class VLFORMS_EXPORT TOverWriteForm : public QDialog {
    Q_OBJECT

  public:
    // fileName is the existing file, fileTime the copy's DOS date-time.
    TOverWriteForm(QWidget* owner, int32_t fileTime, const std::string& fileName);
    ~TOverWriteForm() override;

  protected:
    bool event(QEvent* e) override;
    void showEvent(QShowEvent* e) override;

  private:
    void FormActivate();
    void CentreOnScreen();

    std::unique_ptr<Ui::TOverWriteForm> Form;
    bool Activated = false;
};
