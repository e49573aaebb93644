#include "qtinteraction.h"

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QThread>
#include <functional>

#include "getdisk.h"
#include "overwrite.h"
#include "strtable.h"

namespace {

struct TButton {
    QMessageBox::StandardButton Button;
    int Answer;
};

// The buttons of a message-box style, in their order on the box.
std::vector<TButton> ButtonsOf(unsigned flags) {
    switch (flags & MB_BUTTONMASK) {
        case MB_OKCANCEL:
            return {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}};
        case MB_ABORTRETRYIGNORE:
            return {{QMessageBox::Abort, IDABORT},
                    {QMessageBox::Retry, IDRETRY},
                    {QMessageBox::Ignore, IDIGNORE}};
        case MB_YESNOCANCEL:
            return {{QMessageBox::Yes, IDYES},
                    {QMessageBox::No, IDNO},
                    {QMessageBox::Cancel, IDCANCEL}};
        case MB_YESNO:
            return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}};
        case MB_RETRYCANCEL:
            return {{QMessageBox::Retry, IDRETRY}, {QMessageBox::Cancel, IDCANCEL}};
        default:
            return {{QMessageBox::Ok, IDOK}};
    }
}

QMessageBox::Icon IconOf(unsigned flags) {
    switch (flags & MB_ICONMASK) {
        case MB_ICONSTOP:
            return QMessageBox::Critical;
        case MB_ICONQUESTION:
            return QMessageBox::Question;
        case MB_ICONEXCLAMATION:
            return QMessageBox::Warning;
        case MB_ICONINFORMATION:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

// Runs ask in the application's main thread and returns its answer; fallback when there
// is no application to show a dialog with.
int InMainThread(const std::function<int()>& ask, int fallback) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!qobject_cast<QApplication*>(app))
        return fallback;
    if (QThread::currentThread() == app->thread())
        return ask();
    int answer = fallback;
    QMetaObject::invokeMethod(
        app, [&] { answer = ask(); }, Qt::BlockingQueuedConnection);
    return answer;
}

}  // namespace

int TQtInteraction::MessageBox(const TMessageRequest& request) {
    return InMainThread([&] { return ShowMessageBox(request); }, DefaultAnswer(request.Flags));
}

int TQtInteraction::AskOverwrite(const std::string& fileName, int32_t copyFileTime) {
    return InMainThread([&] { return ShowOverwriteForm(fileName, copyFileTime); }, IDNO);
}

int TQtInteraction::AskDiskette(int labelNumber, int& choice) {
    return InMainThread([&] { return ShowDisketteRequest(labelNumber, choice); }, IDCANCEL);
}

int TQtInteraction::AskPassword(std::string& password) {
    return InMainThread(
        [&] {
            bool ok = false;
            QString text = QInputDialog::getText(
                Owner(), QString::fromStdString(LoadStr(101)), QStringLiteral("Enter password:"),
                QLineEdit::Password, QString::fromStdString(password), &ok);
            if (!ok)
                return static_cast<int>(IDCANCEL);
            password = text.toStdString();
            return static_cast<int>(IDOK);
        },
        IDCANCEL);
}

void TQtInteraction::SetMainWindow(QWidget* window) {
    MainWindow = window;
}

QWidget* TQtInteraction::Owner() const {
    return MainWindow ? MainWindow.data() : QApplication::activeWindow();
}

int TQtInteraction::ShowMessageBox(const TMessageRequest& request) {
    QMessageBox box(IconOf(request.Flags), QString::fromStdString(request.Caption),
                    QString::fromStdString(request.Text), QMessageBox::NoButton, Owner());
    std::vector<TButton> buttons = ButtonsOf(request.Flags);
    for (const TButton& button : buttons)
        box.addButton(button.Button);
    // The first button is the default one, as on every message box of the program.
    box.setDefaultButton(buttons.front().Button);
    box.exec();
    for (const TButton& button : buttons) {
        if (box.clickedButton() == box.button(button.Button))
            return button.Answer;
    }
    return DefaultAnswer(request.Flags);
}

int TQtInteraction::ShowOverwriteForm(const std::string& fileName, int32_t copyFileTime) {
    TOverWriteForm form(Owner(), copyFileTime, fileName);
    int result = form.exec();
    switch (result) {
        case IDYES:
        case IDYESTOALL:
        case IDNO:
        case IDNOTOALL:
            return result;
        default:
            // Closed without an answer: the file stays as it is.
            return IDNO;
    }
}

int TQtInteraction::ShowDisketteRequest(int labelNumber, int& choice) {
    TGetDiskForm form(Owner(), labelNumber);
    if (form.exec() != IDOK)
        return IDCANCEL;
    choice = form.Choice();
    return IDOK;
}
