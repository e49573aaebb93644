#include "vtrayicon.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCursor>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "strtable.h"
#include "vutil.h"

namespace {

constexpr int kStandInIconSize = 32;
constexpr int kStandInHintWidth = 220;

std::function<bool()>& TrayProbe() {
    static std::function<bool()> probe;
    return probe;
}

bool TrayAvailable() {
    return TrayProbe() ? TrayProbe()() : QSystemTrayIcon::isSystemTrayAvailable();
}

}  // namespace

// The window that stands in for the tray icon on a desktop without a tray: the icon, the
// hint, and a button that opens the tray menu. Closing it only minimises it, so the
// program stays within reach.
class TTrayStandIn : public QWidget {
  public:
    explicit TTrayStandIn(TVTrayIcon& icon) : QWidget(nullptr, Qt::Window), Owner(icon) {
        setObjectName(QStringLiteral("TrayStandIn"));
        setWindowTitle(QString::fromStdString(LoadStr(101)));
        Picture = new QLabel(this);
        Picture->setObjectName(QStringLiteral("StandInIcon"));
        Picture->setFixedSize(kStandInIconSize, kStandInIconSize);
        HintLabel = new QLabel(this);
        HintLabel->setObjectName(QStringLiteral("StandInHint"));
        HintLabel->setTextFormat(Qt::PlainText);
        HintLabel->setWordWrap(true);
        HintLabel->setMinimumWidth(kStandInHintWidth);
        MenuButton = new QPushButton(QStringLiteral("&Menu..."), this);
        MenuButton->setObjectName(QStringLiteral("StandInMenuButton"));
        connect(MenuButton, &QPushButton::clicked, this, &TTrayStandIn::OpenMenuBelowButton);

        auto* row = new QHBoxLayout;
        row->setSpacing(12);
        row->addWidget(Picture, 0, Qt::AlignTop);
        row->addWidget(HintLabel, 1);
        auto* buttons = new QHBoxLayout;
        buttons->addStretch(1);
        buttons->addWidget(MenuButton);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(14, 14, 14, 14);
        layout->setSpacing(12);
        layout->addLayout(row);
        layout->addLayout(buttons);
    }

    void Update(const QIcon& icon, const QString& hint, bool menuMayOpen) {
        setWindowIcon(icon);
        Picture->setPixmap(icon.pixmap(kStandInIconSize, kStandInIconSize));
        HintLabel->setText(hint);
        MenuButton->setEnabled(menuMayOpen);
    }

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton || event->button() == Qt::MiddleButton)
            Owner.DoClick(event->button());
    }
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton)
            Owner.DblClick();
    }
    void contextMenuEvent(QContextMenuEvent*) override { Owner.DoClick(Qt::RightButton); }
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        showMinimized();
    }

  private:
    void OpenMenuBelowButton() {
        QMenu* menu = Owner.PopupMenu();
        if (menu && Owner.AutoPopup() && Owner.Active())
            menu->popup(MenuButton->mapToGlobal(QPoint(0, MenuButton->height())));
    }

    TVTrayIcon& Owner;
    QLabel* Picture;
    QLabel* HintLabel;
    QPushButton* MenuButton;
};

TVTrayIcon::TVTrayIcon(QObject* owner) : QObject(owner), TrayPoll(new QTimer(this)) {
    TrayPoll->setInterval(kDefaultTrayPoll);
    connect(TrayPoll, &QTimer::timeout, this, &TVTrayIcon::CheckTray);
}

TVTrayIcon::~TVTrayIcon() {
    Deactivate();
    delete StandInWindow.data();
}

void TVTrayIcon::SetIcon(const QIcon& icon) {
    Picture = icon;
    ChangeIcon();
}

void TVTrayIcon::SetHint(const QString& hint) {
    if (hint == HintText)
        return;
    HintText = hint;
    ChangeIcon();
}

QString TVTrayIcon::ShownHint() const {
    return HintText.section(QLatin1Char('|'), 0, 0).left(kMaxShownHint);
}

void TVTrayIcon::SetPopupMenu(QMenu* menu) {
    if (Menu)
        disconnect(Menu, &QObject::destroyed, this, nullptr);
    Menu = menu;
    if (menu)
        connect(menu, &QObject::destroyed, this, [this] {
            Menu = nullptr;
            UpdateStandIn();
        });
    UpdateStandIn();
}

void TVTrayIcon::SetAutoPopup(bool on) {
    MenuAutoPopup = on;
    UpdateStandIn();
}

void TVTrayIcon::SetActive(bool active) {
    if (active == IsActive)
        return;
    IsActive = active;
    if (active)
        Activate();
    else
        Deactivate();
}

QWidget* TVTrayIcon::StandIn() const {
    return IsShown && !UsingTray ? StandInWindow.data() : nullptr;
}

void TVTrayIcon::SetTrayProbe(std::function<bool()> probe) {
    TrayProbe() = std::move(probe);
}

void TVTrayIcon::SetTrayPollInterval(std::chrono::milliseconds interval) {
    TrayPoll->setInterval(interval);
}

void TVTrayIcon::DoClick(Qt::MouseButton button) {
    if (button == Qt::RightButton && MenuMayOpen()) {
        Menu->popup(QCursor::pos());
        return;
    }
    Q_EMIT OnClick(button);
}

void TVTrayIcon::DblClick() {
    QAction* defaultItem = Menu ? Menu->defaultAction() : nullptr;
    if (defaultItem && defaultItem->isEnabled())
        defaultItem->trigger();
    else
        Q_EMIT OnDblClick();
}

void TVTrayIcon::Activate() {
    Deactivate();
    if (Picture.isNull())
        return;
    UsingTray = TrayAvailable();
    if (UsingTray) {
        if (!Tray) {
            Tray = new QSystemTrayIcon(this);
            connect(Tray, &QSystemTrayIcon::activated, this, &TVTrayIcon::TrayActivated);
        }
        Tray->setIcon(Picture);
        Tray->setToolTip(ShownHint());
        Tray->show();
    } else {
        if (!StandInWindow)
            StandInWindow = new TTrayStandIn(*this);
        StandInWindow->Update(Picture, ShownHint(), MenuMayOpen());
        StandInWindow->adjustSize();
        StandInWindow->show();
        PositionNearTaskbar(StandInWindow);
    }
    IsShown = true;
    TrayPoll->start();
}

void TVTrayIcon::Deactivate() {
    TrayPoll->stop();
    if (Tray)
        Tray->hide();
    if (StandInWindow)
        StandInWindow->hide();
    IsShown = false;
}

void TVTrayIcon::ChangeIcon() {
    if (!IsShown) {
        if (IsActive)
            Activate();
        return;
    }
    if (Picture.isNull()) {
        Deactivate();
        return;
    }
    if (UsingTray) {
        Tray->setIcon(Picture);
        Tray->setToolTip(ShownHint());
    } else {
        StandInWindow->Update(Picture, ShownHint(), MenuMayOpen());
    }
}

void TVTrayIcon::CheckTray() {
    if (IsShown && TrayAvailable() != UsingTray)
        Activate();
}

bool TVTrayIcon::MenuMayOpen() const {
    return Menu && MenuAutoPopup && IsActive;
}

void TVTrayIcon::UpdateStandIn() {
    if (StandInWindow)
        StandInWindow->Update(Picture, ShownHint(), MenuMayOpen());
}

void TVTrayIcon::TrayActivated(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
        case QSystemTrayIcon::Trigger:
            DoClick(Qt::LeftButton);
            break;
        case QSystemTrayIcon::Context:
            DoClick(Qt::RightButton);
            break;
        case QSystemTrayIcon::MiddleClick:
            DoClick(Qt::MiddleButton);
            break;
        case QSystemTrayIcon::DoubleClick:
            DblClick();
            break;
        case QSystemTrayIcon::Unknown:
            break;
    }
}
