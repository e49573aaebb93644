#pragma once

#include <memory>

#include "packageform.h"

namespace Ui {
class TOptionsForm;
}
class QButtonGroup;
class TProfileMgr;

// The options dialog: whether the log is written, which of its entries and how many, and
// whether the program starts at login. The program hands it the profile manager in Tag.
// OK writes the settings and the login entry at once; when that fails the user is told,
// nothing is kept half done and the dialog stays open with the user's choices. Cancel
// changes nothing.
class TOptionsForm : public TPackageForm {
    Q_OBJECT

  public:
    explicit TOptionsForm(QWidget* owner = nullptr);
    ~TOptionsForm() override;

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    struct TChoices {
        bool StartWithWindows;
        bool CreateLog;
        int32_t MaxLogEntries;
        uint8_t LogType;
    };

    void FormActivate();
    void LogFileClick();
    void OkButtonClick();
    TChoices Chosen() const;
    static TChoices ChoicesOf(const TProfileMgr& manager);
    static void Apply(const TChoices& choices, TProfileMgr& manager);
    // Saves the choices with the manager and the login entry; false (told) when not saved.
    bool Save(const TChoices& choices);

    std::unique_ptr<Ui::TOptionsForm> Form;
    QButtonGroup* LogEntryTypes;
    TProfileMgr* Manager = nullptr;
};
