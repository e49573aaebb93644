// Grabs the options, "Save Profile As" and old-password dialogs to PNG files in
// $VL_SCREENSHOT_DIR, for looking at their layout under a real X server.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPixmap>
#include <cstdlib>
#include <memory>

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

}  // namespace
