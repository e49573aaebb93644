#include "animate.h"

#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <cmath>
#include <numbers>

namespace {

constexpr int kWidth = 272;
constexpr int kHeight = 60;

const QColor kFolderFront(0xf2, 0xc1, 0x4e);
const QColor kFolderBack(0xd9, 0xa2, 0x2b);
const QColor kOutline(0x5a, 0x45, 0x12);
const QColor kPaper(0xff, 0xff, 0xff);
const QColor kPaperLines(0x7a, 0x9c, 0xc8);
const QColor kLens(0xc8, 0xe0, 0xff, 0xb0);
const QColor kHandle(0x40, 0x40, 0x48);

// A folder whose lower-left corner is at bottomLeft.
void PaintFolder(QPainter& painter, QPointF bottomLeft, double width, double height) {
    painter.setPen(QPen(kOutline, 1.5));
    QRectF back(bottomLeft.x(), bottomLeft.y() - height, width, height);
    QPainterPath tab;
    tab.addRoundedRect(QRectF(back.left(), back.top() - 5, width * 0.4, 8), 2, 2);
    painter.setBrush(kFolderBack);
    painter.drawPath(tab);
    painter.drawRoundedRect(back, 3, 3);
    painter.setBrush(kFolderFront);
    painter.drawRoundedRect(QRectF(back.left(), back.top() + height * 0.3, width, height * 0.7), 3,
                            3);
}

// A sheet of paper with text lines, centred on centre, turned by angle degrees.
void PaintSheet(QPainter& painter, QPointF centre, double angle) {
    painter.save();
    painter.translate(centre);
    painter.rotate(angle);
    painter.setPen(QPen(kOutline, 1));
    painter.setBrush(kPaper);
    painter.drawRect(QRectF(-9, -12, 18, 24));
    painter.setPen(QPen(kPaperLines, 1.5));
    for (int line = 0; line < 4; ++line)
        painter.drawLine(QPointF(-5, -7 + line * 5), QPointF(5, -7 + line * 5));
    painter.restore();
}

}  // namespace

TAnimate::TAnimate(QWidget* parent) : QWidget(parent), FrameTimer(new QTimer(this)) {
    FrameTimer->setInterval(kFrameMilliseconds);
    connect(FrameTimer, &QTimer::timeout, this, &TAnimate::NextFrame);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void TAnimate::SetCommonAVI(TCommonAVI kind) {
    Kind = kind;
    CurrentFrame = 0;
    UpdateTimer();
    update();
}

void TAnimate::SetActive(bool active) {
    IsActive = active;
    UpdateTimer();
}

QSize TAnimate::sizeHint() const {
    return {kWidth, kHeight};
}

void TAnimate::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    UpdateTimer();
}

void TAnimate::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    UpdateTimer();
}

void TAnimate::NextFrame() {
    CurrentFrame = CurrentFrame >= kStopFrame ? 0 : CurrentFrame + 1;
    update();
}

void TAnimate::UpdateTimer() {
    if (IsActive && Kind != aviNone && isVisible())
        FrameTimer->start();
    else
        FrameTimer->stop();
}

void TAnimate::paintEvent(QPaintEvent*) {
    if (Kind == aviNone)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // The picture keeps its size and stands in the middle of whatever room it gets.
    painter.translate((width() - kWidth) / 2.0, (height() - kHeight) / 2.0);
    double progress = static_cast<double>(CurrentFrame) / kStopFrame;
    if (Kind == aviCopyFiles)
        PaintCopy(painter, progress);
    else
        PaintFind(painter, progress);
}

void TAnimate::PaintCopy(QPainter& painter, double progress) {
    PaintFolder(painter, QPointF(18, 54), 52, 32);
    PaintFolder(painter, QPointF(202, 54), 52, 32);
    // The sheet rises out of the left folder, flies in an arc and drops into the right.
    double x = 44 + progress * (228 - 44);
    double y = 34 - std::sin(progress * std::numbers::pi) * 24;
    PaintSheet(painter, QPointF(x, y), -20 + progress * 40);
}

void TAnimate::PaintFind(QPainter& painter, double progress) {
    PaintFolder(painter, QPointF(104, 56), 64, 40);
    PaintSheet(painter, QPointF(124, 28), -8);
    PaintSheet(painter, QPointF(148, 30), 10);
    // The magnifier circles over the folder once per round of frames.
    double angle = progress * 2 * std::numbers::pi;
    QPointF lens(136 + std::cos(angle) * 46, 28 + std::sin(angle) * 12);
    painter.setPen(QPen(kHandle, 5, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(lens + QPointF(9, 9), lens + QPointF(20, 20));
    painter.setPen(QPen(kHandle, 3));
    painter.setBrush(kLens);
    painter.drawEllipse(lens, 12, 12);
}
