#include "vtrayicon.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <chrono>
#include <memory>

#include "pictures.h"
#include "qtenvironment.h"

namespace {

using namespace std::chrono_literals;

bool ServeEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 5s) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < deadline)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

// On the offscreen platform there is no tray: the stand-in window shows the icon.
class TrayIconTest : public testing::Test {
  protected:
    void SetUp() override {
        TQtEnvironment::App();
        TVTrayIcon::SetTrayProbe([this] { return TrayThere; });
        // Widgets only once the application exists: a test may be the first of its process.
        MenuOwner = std::make_unique<QMenu>();
        Menu = MenuOwner.get();
        Menu->addAction("&About...");
        Exit = Menu->addAction("E&xit");
    }
    void TearDown() override {
        MenuOwner.reset();
        TVTrayIcon::SetTrayProbe(nullptr);
    }

    QString StandInHint(TVTrayIcon& icon) {
        QLabel* hint = icon.StandIn() ? icon.StandIn()->findChild<QLabel*>("StandInHint") : nullptr;
        return hint ? hint->text() : QString("<no stand-in>");
    }
    void RightClick(TVTrayIcon& icon) {
        QWidget* window = icon.StandIn();
        ASSERT_NE(window, nullptr);
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                                window->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(window, &event);
    }

    bool TrayThere = false;
    std::unique_ptr<QMenu> MenuOwner;
    QMenu* Menu = nullptr;
    QAction* Exit = nullptr;
};

TEST_F(TrayIconTest, NothingShowsUntilThereIsAPicture) {
    TVTrayIcon icon;
    EXPECT_TRUE(icon.Active());
    EXPECT_FALSE(icon.Shown());
    icon.SetHint("Automatic backup is enabled");
    EXPECT_FALSE(icon.Shown());

    icon.SetIcon(TrayIcon(true));

    EXPECT_TRUE(icon.Shown());
    EXPECT_FALSE(icon.InTray());
    ASSERT_NE(icon.StandIn(), nullptr);
    EXPECT_TRUE(icon.StandIn()->isVisible());
    EXPECT_EQ(StandInHint(icon), "Automatic backup is enabled");
}

struct THintCase {
    const char* Name;
    QString Hint;
    QString Shown;
};

class TrayHint : public TrayIconTest, public testing::WithParamInterface<THintCase> {};

TEST_P(TrayHint, ShowsTheShortPartOfTheHint) {
    TVTrayIcon icon;
    icon.SetIcon(TrayIcon(true));
    icon.SetHint(GetParam().Hint);

    EXPECT_EQ(icon.ShownHint(), GetParam().Shown);
    EXPECT_EQ(StandInHint(icon), GetParam().Shown);
}

INSTANTIATE_TEST_SUITE_P(
    Hints, TrayHint,
    testing::Values(THintCase{"Short", "Backing up files", "Backing up files"},
                    THintCase{"Exactly63", QString(63, 'a'), QString(63, 'a')},
                    THintCase{"LongerThan63", QString(70, 'b'), QString(63, 'b')},
                    THintCase{"PartBeforeTheBar", "Restoring files|the long help text",
                              "Restoring files"},
                    THintCase{"LongPartBeforeTheBar", QString(64, 'c') + "|x", QString(63, 'c')},
                    THintCase{"Empty", "", ""}),
    [](const testing::TestParamInfo<THintCase>& info) { return info.param.Name; });

TEST_F(TrayIconTest, AnEmptyPictureRemovesTheIconAndANewOneBringsItBack) {
    TVTrayIcon icon;
    icon.SetIcon(TrayIcon(true));
    ASSERT_TRUE(icon.Shown());
    QWidget* window = icon.StandIn();

    icon.SetIcon(QIcon());
    EXPECT_FALSE(icon.Shown());
    EXPECT_FALSE(window->isVisible());

    icon.SetIcon(TrayIcon(false));
    EXPECT_TRUE(icon.Shown());
    EXPECT_TRUE(window->isVisible());
}

TEST_F(TrayIconTest, HideAndShowTakeTheIconAwayAndBack) {
    TVTrayIcon icon;
    icon.SetIcon(TrayIcon(true));
    icon.Hide();
    EXPECT_FALSE(icon.Shown());
    icon.SetHint("changed while hidden");
    EXPECT_FALSE(icon.Shown());
    icon.Show();
    EXPECT_TRUE(icon.Shown());
    EXPECT_EQ(StandInHint(icon), "changed while hidden");
}

TEST_F(TrayIconTest, ARightClickOpensTheMenuWhenItMayAndIsNoClickThen) {
    TVTrayIcon icon;
    icon.SetIcon(TrayIcon(true));
    icon.SetPopupMenu(Menu);
    QSignalSpy clicks(&icon, &TVTrayIcon::OnClick);

    RightClick(icon);

    EXPECT_TRUE(ServeEventsUntil([&] { return Menu->isVisible(); }));
    EXPECT_EQ(clicks.count(), 0);
}

TEST_F(TrayIconTest, ARightClickWhileTheAutomaticPopUpIsOffIsOnlyAClick) {
    TVTrayIcon icon;
    icon.SetIcon(TrayIcon(true));
    icon.SetPopupMenu(Menu);
    icon.SetAutoPopup(false);
    QSignalSpy clicks(&icon, &TVTrayIcon::OnClick);

    RightClick(icon);

    ServeEventsUntil([] { return false; }, 100ms);
    EXPECT_FALSE(Menu->isVisible());
    ASSERT_EQ(clicks.count(), 1);
    EXPECT_EQ(clicks[0][0].value<Qt::MouseButton>(), Qt::RightButton);
    auto* button = icon.StandIn()->findChild<QPushButton*>("StandInMenuButton");
    ASSERT_NE(button, nullptr);
    EXPECT_FALSE(button->isEnabled()) << "the menu can be opened while it may not";

    icon.SetAutoPopup(true);
    EXPECT_TRUE(button->isEnabled());
}

TEST_F(TrayIconTest, TheStandInsButtonOpensTheSameMenu) {
    TVTrayIcon icon;
    icon.SetIcon(TrayIcon(true));
    icon.SetPopupMenu(Menu);
    bool aboutToShow = false;
    QObject::connect(Menu, &QMenu::aboutToShow, [&] { aboutToShow = true; });

    icon.StandIn()->findChild<QPushButton*>("StandInMenuButton")->click();

    EXPECT_TRUE(ServeEventsUntil([&] { return Menu->isVisible(); }));
    EXPECT_TRUE(aboutToShow) << "the menu's enabling rules did not run";
}

TEST_F(TrayIconTest, ADestroyedMenuLeavesNoMenuBehind) {
    TVTrayIcon icon;
    icon.SetIcon(TrayIcon(true));
    auto* menu = new QMenu;
    menu->addAction("&Help");
    icon.SetPopupMenu(menu);

    delete menu;

    EXPECT_EQ(icon.PopupMenu(), nullptr);
    QSignalSpy clicks(&icon, &TVTrayIcon::OnClick);
    RightClick(icon);
    EXPECT_EQ(clicks.count(), 1);
}

TEST_F(TrayIconTest, ClicksAndDoubleClicksOnTheStandIn) {
    TVTrayIcon icon;
    icon.SetIcon(TrayIcon(true));
    icon.SetPopupMenu(Menu);
    QSignalSpy clicks(&icon, &TVTrayIcon::OnClick);
    QSignalSpy doubleClicks(&icon, &TVTrayIcon::OnDblClick);
    QSignalSpy exits(Exit, &QAction::triggered);

    QTest::mouseClick(icon.StandIn(), Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_EQ(clicks.count(), 1);
    EXPECT_EQ(clicks[0][0].value<Qt::MouseButton>(), Qt::LeftButton);

    // Without a default item the double click is reported.
    QTest::mouseDClick(icon.StandIn(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(doubleClicks.count(), 1);

    // An enabled default item is clicked instead; a disabled one is not.
    Menu->setDefaultAction(Exit);
    icon.DblClick();
    EXPECT_EQ(exits.count(), 1);
    EXPECT_EQ(doubleClicks.count(), 1);
    Exit->setEnabled(false);
    icon.DblClick();
    EXPECT_EQ(exits.count(), 1);
    EXPECT_EQ(doubleClicks.count(), 2);
}

TEST_F(TrayIconTest, ClosingTheStandInKeepsItWithinReach) {
    TVTrayIcon icon;
    icon.SetIcon(TrayIcon(true));
    QWidget* window = icon.StandIn();

    EXPECT_FALSE(window->close());

    EXPECT_TRUE(icon.Shown());
}

// A tray that appears later takes the icon over; when it goes away the stand-in returns.
TEST_F(TrayIconTest, ATrayThatAppearsLaterTakesOver) {
    TVTrayIcon icon;
    icon.SetTrayPollInterval(20ms);
    icon.SetIcon(TrayIcon(true));
    QWidget* window = icon.StandIn();
    ASSERT_NE(window, nullptr);

    TrayThere = true;
    EXPECT_TRUE(ServeEventsUntil([&] { return icon.InTray(); }));
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(icon.StandIn(), nullptr);

    TrayThere = false;
    EXPECT_TRUE(ServeEventsUntil([&] { return icon.StandIn() != nullptr; }));
    EXPECT_TRUE(icon.StandIn()->isVisible());
}

}  // namespace
