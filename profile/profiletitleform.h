#pragma once

#include <memory>

#include "packageform.h"

namespace Ui {
class TProfileTitleForm;
}
class TProfileMgr;

// "Save Profile As": asks for a new title for the manager's current profile, beside the
// titles already in use. Save gives the profile the title when the profile's rules allow
// it (an empty title or one that clashes with another profile's is refused, the field is
// cleared and the dialog stays); the caller saves the profile. Cancel leaves the title.
// The editor makes it with its manager; made by name, it takes the manager from Tag.
class TProfileTitleForm : public TPackageForm {
    Q_OBJECT

  public:
    explicit TProfileTitleForm(QWidget* owner = nullptr, TProfileMgr* manager = nullptr);
    ~TProfileTitleForm() override;

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    void TakeManager(TProfileMgr* manager);
    void SaveButtonClick();

    std::unique_ptr<Ui::TProfileTitleForm> Form;
    TProfileMgr* Manager = nullptr;
    // The list index of the current profile's title.
    int CurrentIndex = -1;
};
