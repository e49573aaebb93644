// The tray icon on a real X server with a real tray (trayer), started by ctest under
// xvfb-run. Where there is no X server or no trayer, every test skips and says why.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <chrono>
#include <cstdlib>
#include <memory>

#include "pictures.h"
#include "vtrayicon.h"

namespace {

using namespace std::chrono_literals;

bool ServeEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < deadline)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

// The application on the X server, made once; none without a display.
QApplication* App() {
    static QApplication* app = []() -> QApplication* {
        const char* display = std::getenv("DISPLAY");
        if (!display || !*display)
            return nullptr;
        static int argc = 3;
        static char name[] = "vltray_tests", option[] = "-platform", platform[] = "xcb";
        static char* argv[] = {name, option, platform, nullptr};
        return new QApplication(argc, argv);
    }();
    return app;
}

// A tray host for one test, ended with it.
class TTrayHost {
  public:
    bool Start() {
        Host.start(QStandardPaths::findExecutable("trayer"),
                   {"--edge", "top", "--align", "right", "--widthtype", "pixel", "--width", "120",
                    "--height", "24", "--transparent", "false"});
        return Host.waitForStarted() &&
               ServeEventsUntil([] { return QSystemTrayIcon::isSystemTrayAvailable(); });
    }
    void Stop() {
        if (Host.state() == QProcess::NotRunning)
            return;
        Host.kill();
        Host.waitForFinished();
        ServeEventsUntil([] { return !QSystemTrayIcon::isSystemTrayAvailable(); });
    }
    ~TTrayHost() { Stop(); }

  private:
    QProcess Host;
};

class RealTray : public testing::Test {
  protected:
    void SetUp() override {
        if (!App())
            GTEST_SKIP() << "no X server (DISPLAY is not set): run under xvfb-run";
        if (QStandardPaths::findExecutable("trayer").isEmpty())
            GTEST_SKIP() << "no tray host: trayer is not installed (scripts/install-deps.sh)";
        if (QSystemTrayIcon::isSystemTrayAvailable())
            GTEST_SKIP() << "another tray already runs on this display";
        Popup = std::make_unique<QMenu>();
        Popup->addAction("Ab&out...");
        Popup->addAction("E&xit");
    }

    // The tray embeds the icon in a window of Qt's own: click that one as a user would.
    static void ClickDockedIcon(Qt::MouseButton button) {
        QWidget* docked = nullptr;
        ASSERT_TRUE(ServeEventsUntil([&] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (widget->inherits("QSystemTrayIconSys") && widget->isVisible())
                    docked = widget;
            }
            return docked != nullptr;
        })) << "the tray does not hold the icon";
        QTest::mouseClick(docked, button, {}, QPoint(4, 4));
    }

    std::unique_ptr<QMenu> Popup;
};

TEST_F(RealTray, TheIconGoesIntoTheTrayAndARightClickOpensTheMenu) {
    TTrayHost host;
    ASSERT_TRUE(host.Start()) << "trayer did not start";
    TVTrayIcon icon;
    icon.SetPopupMenu(Popup.get());
    icon.SetHint("Automatic backup is enabled");
    icon.SetIcon(TrayIcon(true));
    ASSERT_TRUE(icon.InTray());
    EXPECT_EQ(icon.StandIn(), nullptr);

    QSignalSpy clicks(&icon, &TVTrayIcon::OnClick);

    ClickDockedIcon(Qt::RightButton);
    EXPECT_TRUE(ServeEventsUntil([&] { return Popup->isVisible(); }));
    EXPECT_EQ(clicks.count(), 0);
    Popup->hide();

    icon.SetAutoPopup(false);
    ClickDockedIcon(Qt::RightButton);
    ServeEventsUntil([] { return false; }, 200ms);
    EXPECT_FALSE(Popup->isVisible());
    EXPECT_EQ(clicks.count(), 1);

    ClickDockedIcon(Qt::LeftButton);
    ASSERT_EQ(clicks.count(), 2);
    EXPECT_EQ(clicks[1][0].value<Qt::MouseButton>(), Qt::LeftButton);
}

TEST_F(RealTray, TheStandInGivesWayToATrayThatStartsLaterAndComesBackWhenItEnds) {
    TVTrayIcon icon;
    icon.SetTrayPollInterval(100ms);
    icon.SetIcon(TrayIcon(false));
    ASSERT_NE(icon.StandIn(), nullptr) << "no stand-in without a tray";

    TTrayHost host;
    ASSERT_TRUE(host.Start()) << "trayer did not start";
    EXPECT_TRUE(ServeEventsUntil([&] { return icon.InTray(); }));

    host.Stop();
    EXPECT_TRUE(ServeEventsUntil([&] { return icon.StandIn() != nullptr; }));
}

}  // namespace
