#pragma once

#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>
#include <chrono>
#include <functional>

#include "vlforms_export.h"

class QTimer;
class TTrayStandIn;

// The program's icon in the desktop's tray, with its tooltip (the hint) and its pop-up menu
// on a right click. Where the desktop has no tray, a small window stands in: it shows the
// icon and the hint and opens the same menu from a button or a right click. The tray is
// looked for again every few seconds, so a tray that appears later takes the icon over
// (and the stand-in comes back when the tray goes away).
class VLFORMS_EXPORT TVTrayIcon : public QObject {
    Q_OBJECT

  public:
    // The hint's shown part is cut to this many characters.
    static constexpr int kMaxShownHint = 63;
    static constexpr std::chrono::milliseconds kDefaultTrayPoll{5000};

    explicit TVTrayIcon(QObject* owner = nullptr);
    ~TVTrayIcon() override;

    // The picture; an empty one removes the icon until a picture is set again.
    const QIcon& Icon() const { return Picture; }
    void SetIcon(const QIcon& icon);

    // The hint; only the part before a "|", at most 63 characters, is shown.
    const QString& Hint() const { return HintText; }
    void SetHint(const QString& hint);
    QString ShownHint() const;

    // The menu a right click opens; cleared when the menu is destroyed. While the automatic
    // pop-up is off (the program shows a dialog), a right click opens nothing and is
    // reported as a click instead.
    QMenu* PopupMenu() const { return Menu; }
    void SetPopupMenu(QMenu* menu);
    bool AutoPopup() const { return MenuAutoPopup; }
    void SetAutoPopup(bool on);

    // Whether the icon should be shown (true at creation).
    bool Active() const { return IsActive; }
    void SetActive(bool active);
    void Show() { SetActive(true); }
    void Hide() { SetActive(false); }

    // The icon is up: in the tray or as the stand-in window.
    bool Shown() const { return IsShown; }
    // The tray holds the icon (false while the stand-in window is used or nothing shows).
    bool InTray() const { return IsShown && UsingTray; }
    // The stand-in window while it is used, else none.
    QWidget* StandIn() const;

    // For tests: what tells whether the desktop has a tray (none: ask Qt), and how often
    // to look again.
    static void SetTrayProbe(std::function<bool()> probe);
    void SetTrayPollInterval(std::chrono::milliseconds interval);

    // What a click of button on the icon does: a right click opens the menu at the cursor
    // when it may; otherwise OnClick. (The tray is never handed the menu itself, so the
    // automatic pop-up switch holds everywhere; changing a tray icon's menu would also make
    // the tray drop and re-add the icon.) A double click triggers the menu's default item when it
    // is enabled, else OnDblClick.
    virtual void DoClick(Qt::MouseButton button);
    virtual void DblClick();

  Q_SIGNALS:
    void OnClick(Qt::MouseButton button);
    void OnDblClick();

  private:
    void Activate();
    void Deactivate();
    void ChangeIcon();
    void CheckTray();
    void UpdateStandIn();
    bool MenuMayOpen() const;
    void TrayActivated(QSystemTrayIcon::ActivationReason reason);

    QIcon Picture;
    QString HintText;
    QPointer<QMenu> Menu;
    bool MenuAutoPopup = true;
    bool IsActive = true;
    bool IsShown = false;
    bool UsingTray = false;
    QSystemTrayIcon* Tray = nullptr;
    QPointer<TTrayStandIn> StandInWindow;
    QTimer* TrayPoll;
};
