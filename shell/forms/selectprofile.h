#pragma once

#include <QDialog>
#include <memory>
#include <string>

#include "help.h"

class TProfileMgr;

namespace Ui {
class TSelectProfileForm;
}

// The dialog of the tray command Select Profile: a list of the profile titles with the
// current profile selected. The caller shows it modally; after OK, SelectionChanged tells
// whether another profile was picked and SelectedTitle names it.
class TSelectProfileForm : public QDialog {
    Q_OBJECT

  public:
    TSelectProfileForm(QWidget* owner, const TProfileMgr& manager);
    ~TSelectProfileForm() override;

    // The list index of the current profile when the dialog opened (-1: none).
    int InitialIndex() const { return Initial; }
    int SelectedIndex() const;
    bool SelectionChanged() const { return SelectedIndex() != Initial; }
    std::string SelectedTitle() const;

  private:
    std::unique_ptr<Ui::TSelectProfileForm> Form;
    int Initial = -1;
};
