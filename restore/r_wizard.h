#pragma once

#include <QPointer>
#include <atomic>
#include <memory>
#include <string>

#include "packageform.h"

namespace Ui {
class TRestoreWizard;
}

class QButtonGroup;
class QSplitter;
class TCheckedRestoreListView;
class TCheckedRestoreTreeView;
class TLogFile;
class TRPasswordDlg;
class TVDrive;
struct TRestoreOptions;

// The pages of the wizard's notebook, in order.
enum TWizardPage : int {
    wpIntro = 0,
    wpSource = 1,
    wpSelectFiles = 2,
    wpOptions = 3,
    wpProgress = 4,
    wpLast = 5,
};

// Moves between pages: one on, one back, or to the first page.
enum TPageStep : int {
    psNext = 1,
    psBack = -1,
    psFirst = -2,
};

// The restore wizard: the user picks a backup location, ticks drives, folders, files and
// versions, chooses the overwrite rule and the destination, and the chosen copies are
// restored. The program creates it by its class name, passes the log in Tag and shows it
// modally; it deletes itself when it closes.
class TRestoreWizard : public TPackageForm {
    Q_OBJECT

  public:
    explicit TRestoreWizard(QWidget* owner = nullptr);
    ~TRestoreWizard() override;

    void ResetWizard();
    void ChangePage(int step);
    // 0, or the number of the message that says why the source cannot be used. Raises when
    // the source's drive cannot be used (a prompt cancelled, no drive letter).
    int ValidateSource();
    std::string GetSourcePath() const;
    void InitProgressPage();
    void RestoreFiles();

    TCheckedRestoreTreeView* TreeView() const { return Tree; }
    TCheckedRestoreListView* FileListView() const { return List; }
    int RestoredCount() const { return Restored; }
    int SkippedCount() const { return Skipped; }

    // The help context of widget: its own or that of the nearest parent that has one.
    static int HelpContextOf(const QWidget* widget);

    void reject() override;

  Q_SIGNALS:
    // The user asked for the help topic of context (F1 on a control, the Help button).
    void HelpRequested(int context);

  protected:
    bool event(QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

  private:
    void FormActivate();
    void BookPageChanged();
    void BackButtonClick();
    void NextButtonClick();
    void SourceBrowseButtonClick();
    bool TargetBrowseButtonClick();
    void AllVersionsClick();
    void CancelButtonClick();
    void ReportButtonClick();
    void RestartButtonClick();
    void QuitButtonClick();
    void HelpButtonClick();

    void CreateViews();
    void SetHelpContexts();
    void ShowIntroPicture();
    int ValidatePage(int page);
    int OverwriteMode() const;
    void SetOverwriteMode(int mode);
    void SetNextButton(int captionId, int helpContext);
    void ShowCount(class QLabel* label, int count);
    void LetWindowRun();
    // Asks for the medium of a removable drive until there is one; EAbort when the user
    // cancels.
    static void WaitForMedium(TVDrive& drive);
    QSize ClientSizeForFont() const;
    void OpenHelpTopic(int context);
    TRestoreOptions RunOptions();
    void WriteFailureEntry(const std::string& target);

    class TRunObserver;

    std::unique_ptr<Ui::TRestoreWizard> Form;
    QButtonGroup* OverwriteGroup = nullptr;
    QSplitter* Splitter = nullptr;
    TCheckedRestoreTreeView* Tree = nullptr;
    TCheckedRestoreListView* List = nullptr;
    std::string LastSourcePath;
    std::atomic<bool> CancelFlag = false;
    bool Running = false;
    bool Sized = false;
    // An error ended the run: the wizard closes once the summary is shown.
    bool CloseWhenDone = false;
    TLogFile* Log = nullptr;
    int Restored = 0;
    int Skipped = 0;
};
