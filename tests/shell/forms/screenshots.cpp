// Grabs the windows of this folder's forms to PNG files for docs/screenshots/. Run by hand
// under an X server: xvfb-run -a -s "-screen 0 1280x800x24" build/bin/vlshellforms_shots DIR
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QRadioButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <functional>

#include "about.h"
#include "getdisk.h"
#include "pictures.h"
#include "profile.h"
#include "profilemgr.h"
#include "selectprofile.h"
#include "shutdown.h"
#include "vtrayicon.h"

namespace {

using namespace std::chrono_literals;

void Serve(std::chrono::milliseconds time) {
    auto end = std::chrono::steady_clock::now() + time;
    while (std::chrono::steady_clock::now() < end)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

bool Save(QWidget& window, const QString& file) {
    window.show();
    Serve(400ms);
    bool saved = window.grab().save(file);
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(file));
    return saved;
}

// The whole screen's area, three times as large, for what lives outside the program's
// windows (the tray).
bool SaveScreen(const QRect& area, const QString& file) {
    Serve(500ms);
    QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0).copy(area);
    bool saved =
        shot.scaled(shot.size() * 3, Qt::IgnoreAspectRatio, Qt::FastTransformation).save(file);
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(file));
    return saved;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    bool ok = true;

    TAboutDlg about(nullptr, false);
    ok &= Save(about, folder + "/about.png");
    about.hide();
    TAboutDlg splash(nullptr, true);
    ok &= Save(splash, folder + "/about-splash.png");
    splash.hide();

    // The profiles shown are made in a folder of their own, never in the user's data.
    QTemporaryDir data;
    qputenv("VAULTAIRE_HOME", data.path().toLocal8Bit());
    TProfileMgr manager;
    for (const char* title : {"Documents", "Photos", "Accounts 2024"}) {
        auto profile = std::make_unique<TProfile>();
        profile->Title = title;
        profile->Source = "C:\\Documents";
        manager.AddNewProfile(std::move(profile));
    }
    manager.CurrentIndex = 1;
    TSelectProfileForm select(nullptr, manager);
    ok &= Save(select, folder + "/select-profile.png");
    select.hide();

    TShutdownForm shutdown;
    shutdown.ShowNow();
    Serve(700ms);
    ok &= Save(shutdown, folder + "/shutdown.png");
    shutdown.hide();

    TGetDiskForm disk(nullptr, 4);
    disk.SelectItem(2);
    ok &= Save(disk, folder + "/diskette-request.png");
    disk.hide();

    QMenu menu;
    menu.addAction("Ab&out...");
    menu.addAction("&Help");
    menu.addSeparator();
    menu.addAction("E&xit");
    {
        TVTrayIcon::SetTrayProbe([] { return false; });
        TVTrayIcon icon;
        icon.SetPopupMenu(&menu);
        icon.SetHint("Automatic backup is enabled");
        icon.SetIcon(TrayIcon(true));
        ok &= Save(*icon.StandIn(), folder + "/tray-stand-in.png");
        TVTrayIcon::SetTrayProbe(nullptr);
    }

    QString trayer = QStandardPaths::findExecutable("trayer");
    if (!trayer.isEmpty()) {
        QProcess host;
        host.start(trayer,
                   {"--edge", "top", "--align", "right", "--widthtype", "pixel", "--width", "120",
                    "--height", "24", "--tint", "0x404040", "--transparent", "false"});
        host.waitForStarted();
        Serve(1500ms);
        TVTrayIcon active;
        active.SetPopupMenu(&menu);
        active.SetHint("Automatic backup is enabled");
        active.SetIcon(TrayIcon(true));
        TVTrayIcon disabled;
        disabled.SetHint("Automatic backup is DISABLED");
        disabled.SetIcon(TrayIcon(false));
        QRect screen = QGuiApplication::primaryScreen()->geometry();
        ok &= SaveScreen(QRect(screen.right() - 90, 0, 90, 26), folder + "/tray-icons.png");
        host.kill();
        host.waitForFinished();
    }
    return ok ? 0 : 1;
}
