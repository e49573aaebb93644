#include "shutdown.h"

#include <QApplication>
#include <QEventLoop>
#include <QScreen>
#include <QTimer>

#include "pictures.h"
#include "strtable.h"
#include "ui_shutdown.h"

namespace {

constexpr int kPictureSize = 48;

void CentreOnScreen(QWidget& form) {
    QScreen* screen = form.screen() ? form.screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = form.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    form.move(frame.topLeft());
}

}  // namespace

TShutdownForm::TShutdownForm(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowStaysOnTopHint),
      Form(std::make_unique<Ui::TShutdownForm>()) {
    Form->setupUi(this);
    setWindowTitle(QString::fromStdString(LoadStr(101)));
    Form->Label1->setText(QString::fromStdString(LoadStr(601)));
    Form->Image1->setPixmap(ProgramIcon().pixmap(kPictureSize, kPictureSize));
    Form->Animate1->SetCommonAVI(TAnimate::aviCopyFiles);
    Form->Animate1->SetActive(true);
    adjustSize();
    setFixedSize(size());
}

TShutdownForm::~TShutdownForm() = default;

void TShutdownForm::ShowNow() {
    show();
    CentreOnScreen(*this);
    repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    Shown.start();
}

void TShutdownForm::WaitMinimumShown(std::chrono::milliseconds minimum) {
    if (!Shown.isValid())
        return;
    // A timer may fire a little early; wait again for what is left.
    for (auto remaining = minimum - ShownFor(); remaining.count() > 0;
         remaining = minimum - ShownFor()) {
        QEventLoop loop;
        QTimer::singleShot(remaining, Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
}

std::chrono::milliseconds TShutdownForm::ShownFor() const {
    return std::chrono::milliseconds(Shown.isValid() ? Shown.elapsed() : 0);
}
