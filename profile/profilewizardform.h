#pragma once

#include <memory>

#include "packageform.h"

namespace Ui {
class TProfileWizardForm;
}
class TCheckedDirTreeView;
class TMaskPages;
class TProfile;
class TProfileMgr;

// The pages of the wizard's notebook, in the order the user meets them.
enum TProfileWizardPage : int {
    pwIntro = 0,
    pwSource = 1,
    pwTarget = 2,
    pwInclude = 3,
    pwExclude = 4,
    pwSecurity = 5,
    pwTitle = 6,
};

// Where Step goes: on to the next page (Finish on the last), back, nowhere (the current
// page is only checked), or to the first page.
enum TWizardStep : int {
    wsNext = 1,
    wsBack = -1,
    wsCheck = 0,
    wsFirst = -2,
};

// The profile wizard: makes a new profile page by page (folders to guard, target, file
// types to include and exclude, password and versions, title) and hands it to the profile
// manager on Finish. Each page is checked when the user moves on; moving back checks
// nothing. The program creates it by class name, passes the profile manager in Tag and
// shows it modally; it learns whether a profile was added from the manager's count.
class TProfileWizardForm : public TPackageForm {
    Q_OBJECT

  public:
    explicit TProfileWizardForm(QWidget* owner = nullptr);
    ~TProfileWizardForm() override;

    // Checks the current page unless moving back or to the first page, and moves; on the
    // last page Next hands the profile over and closes. False when the check failed
    // (the user was told why, unless direction is wsCheck).
    bool Step(int direction);

    // The profile being made; none once it was handed to the manager or discarded.
    const TProfile* NewProfile() const { return Profile.get(); }
    TCheckedDirTreeView* SourceTree() const { return Tree; }

    // Every way of closing but Finish asks first what becomes of the profile.
    void reject() override;

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    void FormShow();
    void PageChanged();
    void BackButtonClick();
    void NextButtonClick();
    void HelpButtonClick();
    void BrowseButtonClick();
    void PasswordClick();
    void VersionsChange(int versions);
    // Whether the wizard may close now; adds or discards the profile as the user answers.
    bool FormCloseQuery();

    void FixSize();
    void CreateSourceTree();
    void CreateMaskPages();
    void SetHelpContexts();
    void ShowIntroPicture();
    // 0 when the page is filled in rightly (and written into the profile), else the id of
    // the message that says what is wrong.
    int CheckPage(int page);
    int CheckSource();
    int CheckTarget();
    int CheckSecurity();
    int CheckTitle();
    // Puts the focus where the fault of page lies.
    void FocusFault(int page);
    // Gives the profile to the manager; false (told, the title cleared) when another
    // process has meanwhile taken its title.
    bool HandOver();
    void Discard();
    void SetPasswordEditsEnabled(bool enabled);
    int CurrentPage() const;

    std::unique_ptr<Ui::TProfileWizardForm> Form;
    TCheckedDirTreeView* Tree = nullptr;
    TMaskPages* Masks = nullptr;
    TProfileMgr* Manager = nullptr;
    std::unique_ptr<TProfile> Profile;
    // The profile went to the manager: the wizard closes with OK however it is closed.
    bool Added = false;
    bool Sized = false;
    // The file types could not be listed: the wizard closes as soon as it is shown.
    bool Broken = false;
};
