#pragma once

#include <QDialog>
#include <chrono>
#include <memory>
#include <string>

class QTimer;
class TVExeVersion;

namespace Ui {
class TAboutDlg;
}

// The About box, which is also the splash screen at start: the program's picture with its
// version and copyright. In splash mode it has no OK button and closes itself (with OK) three
// seconds after it is shown; otherwise it stays until OK.
class TAboutDlg : public QDialog {
    Q_OBJECT

  public:
    static constexpr std::chrono::milliseconds kSplashTime{3000};

    TAboutDlg(QWidget* owner, bool splash);
    ~TAboutDlg() override;

    // The picture file looked for next to the program ("SPLASH.BMP"); the program's own
    // picture shows when it is missing or unreadable.
    static std::string SplashFileName();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    std::unique_ptr<Ui::TAboutDlg> Form;
    std::unique_ptr<TVExeVersion> VersionInfo;
    QTimer* Timer1;
    bool Splash;
};
