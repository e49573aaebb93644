// Grabs every page of the restore wizard and its password dialog to PNG files in
// $VL_SCREENSHOT_DIR, for looking at the layout under a real X server.
#include <QCheckBox>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPixmap>
#include <QRadioButton>
#include <cstdlib>

#include "crypt.h"
#include "restorefixture.h"

namespace fs = std::filesystem;

namespace {

class Screenshots : public TRestoreFixture {
  protected:
    void SetUp() override {
        // The test sandbox asks for the offscreen platform; the pictures are taken on the
        // X server there is, as the user would see the windows.
        if (std::getenv("DISPLAY"))
            setenv("QT_QPA_PLATFORM", "xcb", 1);
        TRestoreFixture::SetUp();
        ASSERT_EQ(QGuiApplication::platformName(), std::getenv("DISPLAY") ? "xcb" : "offscreen");
    }
    void Grab(QWidget* widget, const char* name) {
        const char* folder = std::getenv("VL_SCREENSHOT_DIR");
        ASSERT_NE(folder, nullptr) << "VL_SCREENSHOT_DIR names the folder for the pictures";
        QCoreApplication::processEvents();
        const fs::path file = fs::absolute(fs::path(folder) / name);
        EXPECT_TRUE(widget->grab().save(QString::fromStdString(file.string()), "PNG")) << file;
    }
};

TEST_F(Screenshots, EveryPage) {
    for (const char* name : {"Budget 2024.xls", "Letter to the bank.doc", "notes.txt"})
        Backup(std::string("C:\\Documents\\") + name, std::string(3000, 'x'), 1);
    constexpr int32_t March7 = ((2024 - 1980) << 25) | (3 << 21) | (7 << 16);
    Backup("C:\\Documents\\report.doc", std::string(120000, 'r'), 2, 0, March7 | (9 << 11));
    Backup("C:\\Documents\\report.doc", std::string(125000, 's'), 1, MakeKey("secret"),
           March7 | (14 << 11));
    Backup("C:\\Documents\\Photos\\holiday.jpg", std::string(5 << 20, 'p'), 1);
    Backup("C:\\Projects\\Website\\index.html", "<html></html>", 1);
    fs::remove(Host("C:\\Documents\\report.doc"));
    fs::remove(Host("C:\\Documents\\notes.txt"));

    Grab(Wizard, "restore-1-intro.png");
    Click("NextButton");
    SelectSource('D');
    Grab(Wizard, "restore-2-source.png");
    Click("NextButton");
    auto* tree = Child<QTreeWidget>("TreeView");
    Expand(Find(tree, "(C)"));
    Expand(Find(tree, "Documents"));
    tree->setCurrentItem(Find(tree, "Documents"));
    auto* list = Child<QTreeWidget>("FileList");
    ClickState(list, Find(list, "report.doc"));
    ClickState(list, Find(list, "notes.txt"));
    Grab(Wizard, "restore-3-files.png");
    Child<QCheckBox>("AllVersions")->click();
    Grab(Wizard, "restore-3-files-all-versions.png");
    Click("NextButton");
    Child<QRadioButton>("OverwritePrompt")->setChecked(true);
    Grab(Wizard, "restore-4-options.png");

    bool progressGrabbed = false;
    TDialogAnswerer answerer("TRPasswordDlg", [&](QWidget* dialog) {
        if (!progressGrabbed) {
            progressGrabbed = true;
            Grab(Wizard, "restore-5-progress.png");
        }
        dialog->findChild<QLineEdit*>("Password")->setText("secret");
        Grab(dialog, "restore-password.png");
        dialog->findChild<QPushButton*>("OKBtn")->click();
        return false;
    });
    Click("NextButton");
    ASSERT_EQ(Page(), 5);
    Grab(Wizard, "restore-6-summary.png");
}

}  // namespace
