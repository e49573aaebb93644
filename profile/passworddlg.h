#pragma once

#include <memory>
#include <string>

#include "packageform.h"

namespace Ui {
class TPasswordDlg;
}

// Asks for a profile's old password before the editor changes or removes it. The caller
// shows it modally and reads the text typed.
class TPasswordDlg : public TPackageForm {
    Q_OBJECT

  public:
    explicit TPasswordDlg(QWidget* owner = nullptr);
    ~TPasswordDlg() override;

    std::string PasswordText() const;
    // Empties the field and gives it the focus, for another try.
    void ClearPassword();

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    std::unique_ptr<Ui::TPasswordDlg> Form;
};
