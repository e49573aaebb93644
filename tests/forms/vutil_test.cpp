#include "vutil.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QDesktopServices>
#include <QGuiApplication>
#include <QScreen>
#include <QUrl>
#include <QWidget>

#include "qtenvironment.h"

namespace {

class WindowHelpers : public testing::Test {
  protected:
    void SetUp() override { TQtEnvironment::App(); }
};

TEST_F(WindowHelpers, CheckInstanceReportsAnotherInstanceTheSecondTime) {
    std::string name = "Vaultaire helper test " + std::to_string(::getpid());
    EXPECT_FALSE(CheckInstance(name));
    EXPECT_TRUE(CheckInstance(name));
    EXPECT_TRUE(CheckInstance(name));
}

TEST_F(WindowHelpers, PositionNearTaskbarPutsASmallFormInTheBottomRightCorner) {
    QWidget form;
    form.resize(200, 120);
    QRect area = QGuiApplication::primaryScreen()->availableGeometry();

    PositionNearTaskbar(&form);

    EXPECT_EQ(form.size(), QSize(200, 120));
    EXPECT_EQ(form.geometry().bottomRight(), area.bottomRight());
}

TEST_F(WindowHelpers, PositionNearTaskbarShrinksALargeFormToTheArea) {
    QWidget form;
    QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    form.resize(area.width() + 300, area.height() + 200);

    PositionNearTaskbar(&form);

    EXPECT_EQ(form.geometry(), area);
}

TEST_F(WindowHelpers, SwitchToWindowDoesNothingForADisabledOrHiddenWindow) {
    QWidget window;
    window.setEnabled(false);
    EXPECT_EQ(SwitchToWindow(&window, true), 0);
    EXPECT_EQ(SwitchToWindow(nullptr, false), 0);

    window.setEnabled(true);
    EXPECT_EQ(SwitchToWindow(&window, true), 0) << "a hidden window was switched to";
    EXPECT_EQ(SwitchToWindow(&window, false), 1);
}

TEST_F(WindowHelpers, SwitchToWindowRestoresAMinimisedWindow) {
    QWidget window;
    window.showMinimized();

    EXPECT_EQ(SwitchToWindow(&window, true), 1);

    EXPECT_FALSE(window.isMinimized());
    EXPECT_TRUE(window.isVisible());
}

// Stands in for the desktop's handlers of a URL scheme and notes what it was asked to open.
class TUrlCatcher : public QObject {
    Q_OBJECT

  public:
    explicit TUrlCatcher(const QString& scheme) : Scheme(scheme) {
        QDesktopServices::setUrlHandler(Scheme, this, "Open");
    }
    ~TUrlCatcher() override { QDesktopServices::unsetUrlHandler(Scheme); }

    QList<QUrl> Opened;

  public Q_SLOTS:
    void Open(const QUrl& url) { Opened << url; }

  private:
    QString Scheme;
};

TEST_F(WindowHelpers, LaunchURLHandsAddressesAndFilesToTheDesktop) {
    TUrlCatcher web("https");
    TUrlCatcher files("file");

    EXPECT_TRUE(LaunchURL("https://example.org/help/index.html#backup"));
    EXPECT_TRUE(LaunchURL("/usr/share/doc/vaultaire/Help page.html"));

    ASSERT_EQ(web.Opened.size(), 1);
    EXPECT_EQ(web.Opened[0].toString(), "https://example.org/help/index.html#backup");
    ASSERT_EQ(files.Opened.size(), 1);
    EXPECT_EQ(files.Opened[0].toLocalFile(), "/usr/share/doc/vaultaire/Help page.html");
}

TEST_F(WindowHelpers, LaunchURLRefusesWhatIsNoAddress) {
    EXPECT_FALSE(LaunchURL(""));
}

}  // namespace

#include "vutil_test.moc"
