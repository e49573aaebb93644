#pragma once

#include <QWidget>

class QTimer;

// The animations that the progress and shutdown windows show while they work, painted
// here frame by frame: a sheet flying from one folder to another (copying files) and a
// magnifier searching a folder (making the file list). It runs only while it is active
// and visible, so a hidden window costs nothing.
class TAnimate : public QWidget {
    Q_OBJECT

  public:
    enum TCommonAVI { aviNone, aviFindFile, aviCopyFiles };

    static constexpr int kStopFrame = 34;  // frames 0 to 34, then again from 0
    static constexpr int kFrameMilliseconds = 60;

    explicit TAnimate(QWidget* parent = nullptr);

    TCommonAVI CommonAVI() const { return Kind; }
    void SetCommonAVI(TCommonAVI kind);
    bool Active() const { return IsActive; }
    void SetActive(bool active);
    int Frame() const { return CurrentFrame; }

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void NextFrame();
    void UpdateTimer();
    void PaintCopy(QPainter& painter, double progress);
    void PaintFind(QPainter& painter, double progress);

    TCommonAVI Kind = aviNone;
    bool IsActive = false;
    int CurrentFrame = 0;
    QTimer* FrameTimer;
};
