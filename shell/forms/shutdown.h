#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <chrono>
#include <memory>

namespace Ui {
class TShutdownForm;
}

// The window shown while automatic backup is switched off and the files still queued are
// backed up. The caller shows it with ShowNow, does its work while serving events, and
// before hiding it calls WaitMinimumShown, so that the window does not just flash by.
class TShutdownForm : public QDialog {
    Q_OBJECT

  public:
    static constexpr std::chrono::milliseconds kMinimumShown{2000};

    explicit TShutdownForm(QWidget* owner = nullptr);
    ~TShutdownForm() override;

    // Shows the window, centred on the screen, and paints it at once.
    void ShowNow();

    // Returns once the window has been up for minimum. Until then it keeps serving the
    // program's events (not the user's input), so questions sent by a backup thread are
    // still answered; it sleeps rather than spinning.
    void WaitMinimumShown(std::chrono::milliseconds minimum = kMinimumShown);

    // How long the window has been up (0 before ShowNow).
    std::chrono::milliseconds ShownFor() const;

  private:
    std::unique_ptr<Ui::TShutdownForm> Form;
    QElapsedTimer Shown;
};
