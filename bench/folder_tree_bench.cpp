// How quickly the checked folder tree of the profile editor opens and reacts, run by hand:
//   folder_tree_bench [--work FOLDER]
// In a work folder of its own (removed at the end) it makes a home folder (C:) with 5,000
// folders and one folder of 10,000 files, and a drive D: with 100,000 files in 100 folders.
// It times showing the tree (C: opened), opening and selecting the folder of 10,000 files,
// and checking and unchecking D: as a whole, and reports the peak memory.
#include <QApplication>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "benchwork.h"
#include "ct_views.h"
#include "platform/drivemap.h"
#include "platform/files.h"

namespace fs = std::filesystem;

namespace {

using bench::BigFolderFiles;
using bench::HomeFolders;
using bench::MakeFile;
using bench::Milliseconds;
using bench::PeakMemoryKb;

constexpr int DriveFolders = 100;
constexpr int FilesPerDriveFolder = 1000;

void MakeCorpus(const fs::path& work) {
    bench::MakeHomeFolders(work);
    for (int f = 0; f < DriveFolders; ++f) {
        const fs::path folder = work / "d" / ("set" + std::to_string(f));
        fs::create_directories(folder);
        for (int i = 0; i < FilesPerDriveFolder; ++i)
            MakeFile(folder / ("f" + std::to_string(i)));
    }
}

QTreeWidgetItem* ChildNamed(QTreeWidgetItem* parent, const QString& text) {
    for (int i = 0; i < parent->childCount(); ++i) {
        if (parent->child(i)->text(0) == text)
            return parent->child(i);
    }
    return nullptr;
}

QTreeWidgetItem* DriveItem(TCheckedDirTreeView* tree, char letter) {
    const QString tail = QStringLiteral("(%1:)").arg(QChar(letter));
    for (int i = 0; i < tree->RootItem()->childCount(); ++i) {
        if (tree->RootItem()->child(i)->text(0).endsWith(tail))
            return tree->RootItem()->child(i);
    }
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    fs::path base = fs::temp_directory_path();
    if (argc == 3 && std::string(argv[1]) == "--work")
        base = argv[2];
    else if (argc != 1) {
        std::fprintf(stderr, "usage: folder_tree_bench [--work FOLDER]\n");
        return 1;
    }
    const std::optional<fs::path> made = bench::MakeWorkFolder(base, "folder_tree_bench");
    if (!made)
        return 1;
    const fs::path work = *made;
    MakeCorpus(work);
    WriteFileAtomically(DriveMapFileName().Text(), "detect off\nC: fixed \"" +
                                                       (work / "c").string() + "\"\nD: fixed \"" +
                                                       (work / "d").string() + "\"\n");
    ReloadDriveMap();

    QApplication app(argc, argv);
    const long memoryBefore = PeakMemoryKb();
    QWidget window;
    auto* layout = new QHBoxLayout(&window);
    auto* tree = new TCheckedDirTreeView(&window);
    auto* list = new TCheckedFileListView(&window);
    layout->addWidget(tree);
    layout->addWidget(list);
    tree->SetFileList(list);
    window.resize(800, 600);

    QElapsedTimer timer;
    timer.start();
    tree->Build();
    DriveItem(tree, 'C')->setExpanded(true);
    window.show();
    app.processEvents();
    const double showMs = Milliseconds(timer);

    timer.restart();
    QTreeWidgetItem* big = ChildNamed(DriveItem(tree, 'C'), QStringLiteral("folder0"));
    big->setExpanded(true);
    tree->setCurrentItem(big);
    app.processEvents();
    const double expandMs = Milliseconds(timer);
    const int listed = list->topLevelItemCount();

    QTreeWidgetItem* d = DriveItem(tree, 'D');
    timer.restart();
    tree->CheckNode(d, ctCheck);
    app.processEvents();
    const double checkMs = Milliseconds(timer);
    timer.restart();
    tree->CheckNode(d, ctUncheck);
    app.processEvents();
    const double uncheckMs = Milliseconds(timer);
    const bool dRead = tree->Model()->Drive('D')->FirstChild != nullptr;

    // The home drive with its 5,000 folders loaded, for comparison.
    QTreeWidgetItem* c = DriveItem(tree, 'C');
    timer.restart();
    tree->CheckNode(c, ctCheck);
    app.processEvents();
    const double checkLoadedMs = Milliseconds(timer);

    std::printf("show the tree, C: (%d folders) open:   %8.1f ms (goal 500)\n", HomeFolders,
                showMs);
    std::printf("open and select a folder of %d files: %8.1f ms (goal 500), %d listed\n",
                BigFolderFiles, expandMs, listed);
    std::printf("check D: (%d files, unread):         %8.1f ms (goal 100)\n",
                DriveFolders * FilesPerDriveFolder, checkMs);
    std::printf("uncheck D:                               %8.1f ms (goal 100), D: read: %s\n",
                uncheckMs, dRead ? "yes" : "no");
    std::printf("check C: with its folders loaded:        %8.1f ms\n", checkLoadedMs);
    std::printf("peak memory: %ld KB (%ld KB before the tree)\n", PeakMemoryKb(), memoryBefore);
    fs::remove_all(work);
    return 0;
}
