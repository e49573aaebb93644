#pragma once

#include <memory>
#include <string>
#include <vector>

#include "packageform.h"

namespace Ui {
class TEditProfileForm;
}
class QLabel;
class TCheckedDirTreeView;
class TCheckedFileListView;
class TMaskPages;
class TProfile;
class TProfileMgr;

// The profile editor: changes the manager's current profile in place, page by page. A page
// is checked and written into the profile when the user leaves it; an invalid page is not
// left. Save writes the profiles file, Cancel puts the profile back as it was when opened or
// last saved, and every other way of closing asks whether to save changes. A save that
// cannot be written has been reported and keeps the dialog open with the edits.
// The program hands it the profile manager in Tag.
class TEditProfileForm : public TPackageForm {
    Q_OBJECT

  public:
    explicit TEditProfileForm(QWidget* owner = nullptr);
    ~TEditProfileForm() override;

    // The pages, in the order of the tabs.
    enum TPage : int { pgSummary, pgLocations, pgInclude, pgExclude, pgSecurity };

    // The close box and Escape: as Close, asking about changes first.
    void reject() override;

  protected:
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    void FormShow();
    // Puts the profile back as it was opened or last saved, in the profile and in the lists.
    void UndoChanges();
    void UpdateCaption();
    void PageChanged(int page);
    // Shows page after checking the page now shown; false when that page is not valid.
    bool GoToPage(int page);
    void SummaryPageShow();
    void SummaryClick(QLabel* field);
    void BrowseButtonClick();
    void PasswordClick();
    void SaveButtonClick();
    void SaveAsButtonClick();
    void CancelButtonClick();
    void CloseButtonClick();
    void HelpButtonClick();

    bool ValidatePage();
    bool ValidatePage(int page);
    int ValidateLocations();
    int ValidateInclude();
    int ValidateSecurity();
    bool AskOldPassword();
    bool CanCloseEditor();
    // Saves through the manager; false (the user was told) when the file was not written.
    bool SaveProfile();

    // The folders to guard: those checked in the tree, and those of the profile that could
    // not be found when the dialog opened (a drive not there now), which are kept.
    std::vector<std::string> SourceFolders() const;

    std::unique_ptr<Ui::TEditProfileForm> Form;
    TCheckedDirTreeView* SourceTree;
    TCheckedFileListView* SourceFiles;
    TMaskPages* Masks;
    TProfileMgr* Manager = nullptr;
    TProfile* Profile = nullptr;
    std::vector<std::string> MissingFolders;
    // The page shown last, which is checked before another is shown.
    int ShownPage = pgSummary;
    // Set while the shown page is put back after a check failed, or moved to after a check
    // that passed.
    bool PageChecked = false;
    bool Cancelling = false;
};
