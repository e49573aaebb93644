#include "vutil.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QLineEdit>
#include <QProxyStyle>
#include <QScreen>
#include <QUrl>
#include <QWidget>

#include "platform/instance.h"
#include "platform/syserror.h"

namespace {

class TStarEchoStyle : public QProxyStyle {
  public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

enum : int { kSwitchFailed = 0, kSwitched = 1 };

QScreen* ScreenOf(const QWidget* form) {
    QScreen* screen = form->screen();
    return screen ? screen : QGuiApplication::primaryScreen();
}

}  // namespace

bool CheckInstance(const std::string& name) {
    switch (TakeInstanceLock(name)) {
        case ilTaken:
            return false;
        case ilHeld:
            return true;
        case ilUnavailable:
            break;
    }
    qWarning("Vaultaire: cannot take the single-instance lock \"%s\" (%s); running without it",
             name.c_str(), SysErrorMessage(GetLastError()).c_str());
    return false;
}

int SwitchToWindow(QWidget* window, bool restore) {
    if (!window || !window->isEnabled())
        return kSwitchFailed;
    window->raise();
    window->activateWindow();
    if (!restore)
        return kSwitched;
    if (!window->isVisible())
        return kSwitchFailed;
    if (window->isMinimized() && !window->isMaximized())
        window->showNormal();
    window->setFocus(Qt::ActiveWindowFocusReason);
    return kSwitched;
}

void PositionNearTaskbar(QWidget* form) {
    QScreen* screen = ScreenOf(form);
    if (!screen)
        return;
    QRect area = screen->availableGeometry();
    // What the window manager adds around the client area, once the window has a frame.
    QSize frame = form->frameGeometry().size() - form->geometry().size();
    int width = std::min(form->width(), area.width() - frame.width());
    int height = std::min(form->height(), area.height() - frame.height());
    form->resize(width, height);
    form->move(area.x() + area.width() - width - frame.width(),
               area.y() + area.height() - height - frame.height());
}

bool LaunchURL(const std::string& address) {
    QString text = QString::fromStdString(address);
    QUrl url = text.startsWith('/') ? QUrl::fromLocalFile(text) : QUrl::fromUserInput(text);
    return url.isValid() && QDesktopServices::openUrl(url);
}

void ShowAsStars(QLineEdit* field) {
    auto* style = new TStarEchoStyle;
    style->setParent(field);
    field->setStyle(style);
}
