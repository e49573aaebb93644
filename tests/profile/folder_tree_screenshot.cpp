// A picture of the checked folder tree with its file list beside it, for the documentation:
// $VL_SCREENSHOT_DIR/folder-tree.png, taken under a real X server (see CMakeLists.txt).
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QWidget>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "ct_views.h"
#include "testenv.h"

namespace fs = std::filesystem;

namespace {

QTreeWidgetItem* Find(QTreeWidget* view, const QString& text) {
    for (QTreeWidgetItemIterator it(view); *it; ++it) {
        if ((*it)->text(0) == text || (*it)->text(0).endsWith(QStringLiteral("(") + text + ")"))
            return *it;
    }
    return nullptr;
}

TEST(Screenshots, FolderTreeWithFileList) {
    const char* folder = std::getenv("VL_SCREENSHOT_DIR");
    ASSERT_NE(folder, nullptr) << "VL_SCREENSHOT_DIR names the folder for the pictures";
    const fs::path output = fs::absolute(fs::path(folder) / "folder-tree.png");
    // The test sandbox asks for the offscreen platform; the picture is taken on the X server
    // there is, as the user would see the window.
    if (std::getenv("DISPLAY"))
        setenv("QT_QPA_PLATFORM", "xcb", 1);
    static int argc = 1;
    static char name[] = "vledtprf_screenshots";
    static char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    TTempDir dir;
    for (const char* file :
         {"c/Documents/Letters/to-bank.odt", "c/Documents/Letters/to-school.odt",
          "c/Documents/report.odt", "c/Documents/budget.ods", "c/Documents/notes.txt",
          "c/Documents/.notes.txt.swp", "c/Pictures/2024/beach.jpg", "c/Music/song.ogg",
          "d/Projects/site/index.html"})
        WriteTextFile(dir.Path() / file, std::string(3000, 'x'));
    UseDriveMap("detect off\nC: fixed " + dir / "c" + "\nD: fixed " + dir / "d" + "\n");

    QWidget window;
    window.setWindowTitle(QStringLiteral("Folders to back up"));
    auto* layout = new QHBoxLayout(&window);
    auto* tree = new TCheckedDirTreeView(&window);
    auto* list = new TCheckedFileListView(&window);
    layout->addWidget(tree);
    layout->addWidget(list);
    tree->SetFileList(list);
    tree->BuildFromList({"C:\\Documents\\Letters", "C:\\Pictures"});
    Find(tree, "C:")->setExpanded(true);
    Find(tree, "Documents")->setExpanded(true);
    tree->setCurrentItem(Find(tree, "Documents"));
    // One file of the folder too, as the user would tick it in the list.
    tree->Model()->Drive('C')->FindChild("Documents")->FindChild("report.odt")->SetCheck(ctCheck);
    tree->RefreshStateImages();
    list->RefreshStateImages();
    window.resize(620, 320);
    window.show();
    for (int i = 0; i < 10; ++i)
        app.processEvents();
    EXPECT_TRUE(window.grab().save(QString::fromStdString(output.string()), "PNG")) << output;
}

}  // namespace
