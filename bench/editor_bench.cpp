// How quickly the profile editor opens and reacts, run by hand:
//   editor_bench [--work FOLDER] [--rounds N]
// In a work folder of its own (removed at the end) it makes a home folder (C:) with 5,000
// folders, one of which holds 10,000 files, and a profile guarding two of the folders. It
// loads the editor from its module as the program does and times, per round: showing it
// (the registered file types, the checked tree, the target list and the summary), opening
// and selecting the folder of 10,000 files on the Locations page, leaving that page (its
// check), and closing with Cancel. It reports the peak memory and the memory in use after
// each round, so that what a round leaves behind shows.
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTabWidget>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "benchwork.h"
#include "packageform.h"
#include "platform/drivemap.h"
#include "platform/files.h"
#include "profilemgr.h"
#include "vloadform.h"

namespace fs = std::filesystem;

namespace {

using bench::BigFolderFiles;
using bench::Milliseconds;
using bench::PeakMemoryKb;

constexpr int DefaultRounds = 3;
constexpr int LocationsPage = 1;
constexpr int SummaryPage = 0;

void MakeCorpus(const fs::path& work) {
    bench::MakeHomeFolders(work);
    fs::create_directories(work / "c" / "Backups");
}

// The resident memory now, from /proc.
long ResidentMemoryKb() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

QTreeWidgetItem* ItemEndingWith(QTreeWidget* tree, const QString& tail) {
    const QList<QTreeWidgetItem*> found =
        tree->findItems(tail, Qt::MatchEndsWith | Qt::MatchRecursive, 0);
    return found.isEmpty() ? nullptr : found.front();
}

void MakeProfile() {
    TProfileMgr manager;
    auto profile = std::make_unique<TProfile>();
    profile->Title = "Home";
    profile->UpdateSource({"C:\\folder1", "C:\\folder4999\\sub"});
    profile->UpdateTarget("C:\\Backups");
    manager.AddNewProfile(std::move(profile));
}

struct TRound {
    double LoadMs = 0;
    double ShowMs = 0;
    double ExpandMs = 0;
    int Listed = 0;
    double LeaveMs = 0;
    double CloseMs = 0;
    long ResidentAfterKb = 0;
};

bool RunRound(QApplication& app, TProfileMgr& manager, TRound& round) {
    QElapsedTimer timer;
    timer.start();
    TPackageHandle module = nullptr;
    TPackageForm* form = LoadForm(module, "TEditProfileForm", "vledtprf");
    if (!form) {
        std::fprintf(stderr, "editor_bench: %s\n", LastLoadFormError().c_str());
        return false;
    }
    round.LoadMs = Milliseconds(timer);

    timer.restart();
    form->Tag = &manager;
    form->show();
    app.processEvents();
    round.ShowMs = Milliseconds(timer);

    auto* pages = form->findChild<QTabWidget*>("PageControl");
    auto* tree = form->findChild<QTreeWidget*>("SourceTree");
    auto* files = form->findChild<QTreeWidget*>("SourceFiles");
    if (!pages || !tree || !files) {
        std::fprintf(stderr, "editor_bench: the editor's controls are not there\n");
        UnloadForm(module);
        return false;
    }
    pages->setCurrentIndex(LocationsPage);
    app.processEvents();
    timer.restart();
    QTreeWidgetItem* drive = ItemEndingWith(tree, QStringLiteral("(C:)"));
    if (drive)
        drive->setExpanded(true);
    QTreeWidgetItem* big = drive ? ItemEndingWith(tree, QStringLiteral("folder0")) : nullptr;
    if (!big) {
        std::fprintf(stderr, "editor_bench: the folder of %d files is not in the tree\n",
                     BigFolderFiles);
        UnloadForm(module);
        return false;
    }
    big->setExpanded(true);
    tree->setCurrentItem(big);
    app.processEvents();
    round.ExpandMs = Milliseconds(timer);
    round.Listed = files->topLevelItemCount();

    timer.restart();
    pages->setCurrentIndex(SummaryPage);
    app.processEvents();
    round.LeaveMs = Milliseconds(timer);

    timer.restart();
    if (auto* cancel = form->findChild<QWidget*>("CancelButton"))
        QMetaObject::invokeMethod(cancel, "click");
    app.processEvents();
    UnloadForm(module);
    app.processEvents();
    round.CloseMs = Milliseconds(timer);
    round.ResidentAfterKb = ResidentMemoryKb();
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    fs::path base = fs::temp_directory_path();
    int rounds = DefaultRounds;
    for (int i = 1; i < argc; i += 2) {
        const std::string option = argv[i];
        if (i + 1 >= argc) {
            std::fprintf(stderr, "usage: editor_bench [--work FOLDER] [--rounds N]\n");
            return 1;
        }
        if (option == "--work") {
            base = argv[i + 1];
        } else if (option == "--rounds") {
            rounds = std::max(1, std::atoi(argv[i + 1]));
        } else {
            std::fprintf(stderr, "usage: editor_bench [--work FOLDER] [--rounds N]\n");
            return 1;
        }
    }
    if (!std::getenv("DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const std::optional<fs::path> made = bench::MakeWorkFolder(base, "editor_bench");
    if (!made)
        return 1;
    const fs::path work = *made;
    MakeCorpus(work);
    WriteFileAtomically(DriveMapFileName().Text(),
                        "detect off\nC: fixed \"" + (work / "c").string() + "\"\n");
    ReloadDriveMap();
    MakeProfile();

    QApplication app(argc, argv);
    TProfileMgr manager;
    const long residentBefore = ResidentMemoryKb();
    std::printf(
        "round  load module  show (types, tree, summary)  open %d files  leave page"
        "  cancel+unload  resident after\n",
        BigFolderFiles);
    bool ok = true;
    for (int i = 1; i <= rounds && ok; ++i) {
        TRound round;
        ok = RunRound(app, manager, round);
        if (ok) {
            std::printf(
                "%5d  %8.1f ms  %14.1f ms %14.1f ms (%d listed) %8.1f ms %10.1f ms"
                "  %8ld KB\n",
                i, round.LoadMs, round.ShowMs, round.ExpandMs, round.Listed, round.LeaveMs,
                round.CloseMs, round.ResidentAfterKb);
        }
    }
    std::printf("resident before the first round: %ld KB, peak: %ld KB\n", residentBefore,
                PeakMemoryKb());
    fs::remove_all(work);
    return ok ? 0 : 1;
}
