// Grabs the options, "Save Profile As" and old-password dialogs and the include page to PNG
// files in $VL_SCREENSHOT_DIR, for looking at their layout under a real X server.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPixmap>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cstdlib>
#include <memory>

#include "maskpage.h"
#include "packageform.h"
#include "profilemgr.h"
#include "qtenvironment.h"
#include "sandboxdata.h"
#include "vloadform.h"

namespace fs = std::filesystem;

namespace {

void Serve() {
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

TEST(Screenshots, EveryDialog) {
    // The test sandbox asks for the offscreen platform; the pictures are taken on the X
    // server there is, as the user would see the windows.
    if (std::getenv("DISPLAY"))
        setenv("QT_QPA_PLATFORM", "xcb", 1);
    TQtEnvironment::App();
    const char* folder = std::getenv("VL_SCREENSHOT_DIR");
    ASSERT_NE(folder, nullptr) << "VL_SCREENSHOT_DIR names the folder for the pictures";
    TFreshDataFolder data;
    TProfileMgr manager;
    for (const char* title : {"Documents", "Pictures", "Mail"}) {
        auto profile = std::make_unique<TProfile>();
        profile->Title = title;
        profile->UpdateSource({std::string("C:\\") + title});
        profile->UpdateTarget("C:\\Backups");
        manager.AddNewProfile(std::move(profile));
    }
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
        const fs::path file = fs::absolute(fs::path(folder) / shot.File);
        EXPECT_TRUE(form->grab().save(QString::fromStdString(file.string()), "PNG")) << file;
        UnloadForm(module);
    }
}

// The include page as the editor places it, over the desktop's registered types, with a
// type chosen so that its insert arrow shows.
TEST(Screenshots, MaskPage) {
    if (std::getenv("DISPLAY"))
        setenv("QT_QPA_PLATFORM", "xcb", 1);
    TQtEnvironment::App();
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
    const fs::path file = fs::absolute(fs::path(folder) / "mask-page.png");
    EXPECT_TRUE(window.grab().save(QString::fromStdString(file.string()), "PNG")) << file;
}

}  // namespace
