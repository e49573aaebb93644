// Grabs the options, "Save Profile As" and old-password dialogs, the include page and every
// page of the profile editor and the profile wizard to PNG files in $VL_SCREENSHOT_DIR, for
// looking at their layout under a real X server.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cstdlib>
#include <memory>
#include <string>

#include "foldertreeclicks.h"
#include "maskpage.h"
#include "packageform.h"
#include "profiledialogtest.h"
#include "profilemgr.h"
#include "qtenvironment.h"
#include "sandboxdata.h"
#include "testenv.h"
#include "vloadform.h"

namespace fs = std::filesystem;

namespace {

void Serve() {
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// The test sandbox asks for the offscreen platform; the pictures are taken on the X server
// there is, as the user would see the windows.
void UseTheDisplay() {
    if (std::getenv("DISPLAY"))
        setenv("QT_QPA_PLATFORM", "xcb", 1);
    TQtEnvironment::App();
}

void Save(QWidget& window, const char* folder, const std::string& name) {
    const fs::path file = fs::absolute(fs::path(folder) / name);
    EXPECT_TRUE(window.grab().save(QString::fromStdString(file.string()), "PNG")) << file;
}

TEST(Screenshots, EveryDialog) {
    UseTheDisplay();
    const char* folder = std::getenv("VL_SCREENSHOT_DIR");
    ASSERT_NE(folder, nullptr) << "VL_SCREENSHOT_DIR names the folder for the pictures";
    TFreshDataFolder data;
    for (const char* file :
         {"Documents/Letters/to-bank.odt", "Documents/report.odt", "Documents/budget.ods",
          "Pictures/2024/beach.jpg", "Mail/inbox.mbox", "Music/song.ogg", "Backups/.keep"})
        WriteTextFile(TestSandbox() / "home" / file, "x");
    TProfileMgr manager;
    AddSampleProfiles(manager, {"Documents", "Pictures", "Mail"}, "C:\\Backups");
    struct Shot {
        const char* ClassName;
        const char* File;
    };
    for (const Shot& shot :
         {Shot{"TOptionsForm", "options.png"}, Shot{"TProfileTitleForm", "profile-title.png"},
          Shot{"TPasswordDlg", "old-password.png"}}) {
        TPackageHandle module = nullptr;
        TPackageForm* form = LoadForm(module, shot.ClassName, "vledtprf");
        ASSERT_NE(form, nullptr) << LastLoadFormError();
        form->Tag = &manager;
        form->show();
        if (auto* password = form->findChild<QLineEdit*>("Password"))
            password->setText("secret");
        Serve();
        Save(*form, folder, shot.File);
        UnloadForm(module);
    }

    TPackageHandle module = nullptr;
    TPackageForm* editor = LoadForm(module, "TEditProfileForm", "vledtprf");
    ASSERT_NE(editor, nullptr) << LastLoadFormError();
    editor->Tag = &manager;
    editor->show();
    auto* pages = editor->findChild<QTabWidget*>("PageControl");
    ASSERT_NE(pages, nullptr);
    const char* const pageFiles[] = {"editor-summary.png", "editor-locations.png",
                                     "editor-include.png", "editor-exclude.png",
                                     "editor-security.png"};
    // The folders guarded, opened in the tree, with the files of one beside it.
    if (auto* tree = editor->findChild<QTreeWidget*>("SourceTree")) {
        for (const char* name : {"Home (C:)", "Documents"}) {
            const QList<QTreeWidgetItem*> found =
                tree->findItems(name, Qt::MatchExactly | Qt::MatchRecursive, 0);
            if (!found.isEmpty()) {
                found.front()->setExpanded(true);
                tree->setCurrentItem(found.front());
            }
        }
    }
    for (int page = 0; page < pages->count(); ++page) {
        pages->setCurrentIndex(page);
        Serve();
        Save(*editor, folder, pageFiles[page]);
    }
    pages->setCurrentIndex(0);
    UnloadForm(module);
}

TEST(Screenshots, EveryWizardPage) {
    UseTheDisplay();
    const char* folder = std::getenv("VL_SCREENSHOT_DIR");
    ASSERT_NE(folder, nullptr) << "VL_SCREENSHOT_DIR names the folder for the pictures";
    TFreshDataFolder data;
    for (const char* sample : {"Documents", "Mail", "Music", "Pictures", "Projects"})
        fs::create_directories(TestSandbox() / "home" / sample);
    TProfileMgr manager;
    AddSampleProfiles(manager, {"Documents", "Pictures"}, "C:\\Backups");
    TPackageHandle module = nullptr;
    TPackageForm* wizard = LoadForm(module, "TProfileWizardForm", "vledtprf");
    ASSERT_NE(wizard, nullptr) << LastLoadFormError();
    wizard->Tag = &manager;
    wizard->show();
    Serve();
    // Each page as the user fills it in, then on to the next.
    const char* const pages[] = {"intro",   "source",   "target", "include",
                                 "exclude", "security", "title"};
    auto* book = wizard->findChild<QStackedWidget*>("Book");
    ASSERT_NE(book, nullptr);
    for (int page = 0; page < static_cast<int>(std::size(pages)); ++page) {
        ASSERT_EQ(book->currentIndex(), page);
        if (page == 1) {
            auto* tree = wizard->findChild<QTreeWidget*>("SourceTree");
            ClickCheckBox(*tree, OpenedFolderItem(*tree, "(C:)", "Documents"));
        }
        if (page == 2)
            wizard->findChild<QComboBox*>("TargetPath")->setCurrentIndex(0);
        if (page == 5) {
            wizard->findChild<QCheckBox*>("Password")->click();
            wizard->findChild<QLineEdit*>("Password1")->setText("secret");
            wizard->findChild<QLineEdit*>("Password2")->setText("secret");
        }
        if (page == 6)
            wizard->findChild<QLineEdit*>("Title")->setText("My Documents");
        Serve();
        Save(*wizard, folder, "wizard-" + std::to_string(page) + "-" + pages[page] + ".png");
        if (page < 6)
            wizard->findChild<QPushButton*>("NextButton")->click();
    }
    UnloadForm(module);
}

// The include page as the editor places it, over the desktop's registered types, with a
// type chosen so that its insert arrow shows.
TEST(Screenshots, MaskPage) {
    UseTheDisplay();
    const char* folder = std::getenv("VL_SCREENSHOT_DIR");
    ASSERT_NE(folder, nullptr) << "VL_SCREENSHOT_DIR names the folder for the pictures";
    TFreshDataFolder data;
    TProfileMgr manager;
    TProfile profile;
    profile.Masks.Includes = {".doc", ".txt", ".odt", ".xyz"};
    QWidget window;
    window.setWindowTitle("Include");
    TMaskPages pages(TMaskCaptions::Editor, &window);
    (new QVBoxLayout(&window))->addWidget(pages.IncludePage());
    ASSERT_TRUE(pages.BuildMaskLists());
    pages.SetProfile(&profile);
    window.resize(560, 360);
    window.show();
    window.activateWindow();
    Serve();
    QTreeWidget* source = pages.IncludePage()->Source();
    source->setFocus();
    const QList<QTreeWidgetItem*> html = source->findItems(".html", Qt::MatchExactly, 0);
    ASSERT_FALSE(html.isEmpty());
    source->setCurrentItem(html.front());
    source->scrollToItem(html.front(), QAbstractItemView::PositionAtCenter);
    Serve();
    Save(window, folder, "mask-page.png");
}

}  // namespace
