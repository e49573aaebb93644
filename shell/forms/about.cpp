#include "about.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "interaction.h"
#include "pictures.h"
#include "strtable.h"
#include "ui_about.h"
#include "vexeversion.h"
#include "vfileutil.h"

namespace {

const QColor kNavy(0x00, 0x00, 0x80);

void CentreOnScreen(QWidget& form) {
    QScreen* screen = form.screen() ? form.screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = form.frameGeometry();
    frame.moveCenter(screen->geometry().center());
    form.move(frame.topLeft());
}

void MakeWhiteBold(QLabel& label) {
    QFont font = label.font();
    font.setBold(true);
    label.setFont(font);
    QPalette palette = label.palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    label.setPalette(palette);
    label.setAttribute(Qt::WA_TranslucentBackground);
}

}  // namespace

TAboutDlg::TAboutDlg(QWidget* owner, bool splash)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint),
      Form(std::make_unique<Ui::TAboutDlg>()),
      VersionInfo(std::make_unique<TVExeVersion>()),
      Timer1(new QTimer(this)),
      Splash(splash) {
    Form->setupUi(this);
    setWindowTitle(QStringLiteral("About"));
    QPalette panel = Form->Panel->palette();
    panel.setColor(QPalette::Window, kNavy);
    Form->Panel->setPalette(panel);

    Form->Image1->setPixmap(SplashPicture(SplashFileName()));
    Form->Version->setText(Form->Version->text() +
                           QString::fromStdString(VersionInfo->GetShortVersion()));
    Form->Copyright->setText(QString::fromStdString(VersionInfo->GetLegalCopyright()));
    MakeWhiteBold(*Form->Version);
    MakeWhiteBold(*Form->Copyright);
    connect(Form->OkButton, &QPushButton::clicked, this, [this] { done(IDOK); });

    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    // A coarse timer may fire up to a twentieth early; the splash stays its full time.
    Timer1->setTimerType(Qt::PreciseTimer);
    Timer1->setInterval(kSplashTime);
    connect(Timer1, &QTimer::timeout, this, [this] { done(IDOK); });
    if (splash)
        Form->OkButton->hide();

    adjustSize();
    setFixedSize(size());
}

TAboutDlg::~TAboutDlg() = default;

std::string TAboutDlg::SplashFileName() {
    return GetExeDir(true) + LoadStr(113);
}

void TAboutDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    CentreOnScreen(*this);
    if (Splash)
        Timer1->start();
}
