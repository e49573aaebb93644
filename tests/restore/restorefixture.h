#pragma once

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "logfile.h"
#include "packageform.h"
#include "scriptedinteraction.h"
#include "testenv.h"
#include "vloadform.h"

// Item data of the restore views: the state picture an item carries (0 none, 1 unchecked,
// 2 checked, 3 partial).
constexpr int StateImageRole = Qt::UserRole + 1;
enum : int { StateNone = 0, StateUnchecked = 1, StateChecked = 2, StatePartial = 3 };

// A restore wizard loaded from its module as the program loads it, on drives of its own:
// C: holds the originals, D: the backup location (D:\Vaultaire). Questions are answered by
// a script that every test checks at its end.
class TRestoreFixture : public testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // The host path of a drive path on C: or D: ("C:\Data\a.txt").
    std::filesystem::path Host(const std::string& drivePath) const;
    // Makes drivePath (on C:) with content and time, and backs it up as copy number version
    // below D:\Vaultaire, with the password key key (0: none); a dosTime other than 0 is
    // the time of the file and of its copy. Returns the copy's host path.
    std::filesystem::path Backup(const std::string& drivePath, const std::string& content,
                                 int version, int32_t key = 0, int32_t dosTime = 0);

    template <typename T>
    T* Child(const char* name) const {
        T* child = Wizard ? Wizard->findChild<T*>(name) : nullptr;
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    int Page() const;
    QString LabelText(const char* name) const;
    void Click(const char* button);
    // Selects the source entry of drive letter, or the entry with this text.
    void SelectSource(char letter);
    // Goes from the first page to the file page with the backup location on D:.
    void OpenFilesPage();
    // Clicks the check box of item in view.
    void ClickState(QTreeWidget* view, QTreeWidgetItem* item);
    // The item of the tree or list with text, searched everywhere below the top.
    static QTreeWidgetItem* Find(QTreeWidget* view, const QString& text);
    static int State(QTreeWidgetItem* item);
    void Expand(QTreeWidgetItem* item);

    TTempDir Dir;
    TScriptedInteraction Script;
    TInteraction* Previous = nullptr;
    TPackageHandle Module = nullptr;
    QPointer<TPackageForm> Wizard;
    std::unique_ptr<TLogFile> Log;
};

// Serves events until done() holds or ten seconds have passed.
bool ServeEventsUntil(const std::function<bool()>& done);

// Each time a modal dialog named objectName is open, hands it to answer, which must close
// it; answer returns false to stop watching.
class TDialogAnswerer {
  public:
    TDialogAnswerer(const char* objectName, std::function<bool(QWidget*)> answer);
    ~TDialogAnswerer();
    int Answered() const { return Count; }

  private:
    QTimer* Timer;
    int Count = 0;
};
