#pragma once

#include <QDialog>
#include <memory>
#include <string>

namespace Ui {
class TRPasswordDlg;
}

// Asks for the password of protected copies. The text typed stays in the dialog for the
// next time it is shown, so one password serves every copy that shares it.
class TRPasswordDlg : public QDialog {
    Q_OBJECT

  public:
    explicit TRPasswordDlg(QWidget* owner);
    ~TRPasswordDlg() override;

    // Shows the dialog modally; true when the user pressed OK, with the text in password.
    bool Ask(std::string& password);
    std::string PasswordText() const;

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    std::unique_ptr<Ui::TRPasswordDlg> Form;
};
