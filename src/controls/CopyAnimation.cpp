#include "CopyAnimation.h"

#include <QPainter>
#include <QPainterPath>

TCopyAnimation::TCopyAnimation(QWidget* Parent) : QWidget(Parent) {
  FTimer.setInterval(60);
  connect(&FTimer, &QTimer::timeout, this, &TCopyAnimation::NextFrame);
}

void TCopyAnimation::Start() {
  FFrame = 0;
  FTimer.start();
  update();
}

void TCopyAnimation::Stop() {
  FTimer.stop();
}

void TCopyAnimation::NextFrame() {
  FFrame = (FFrame + 1) % FrameCount;
  update();
}

namespace {

void DrawFolder(QPainter& P, int X, int Y) {
  P.setPen(QColor(128, 96, 0));
  P.setBrush(QColor(255, 214, 90));
  P.drawRect(X, Y + 6, 40, 28);
  P.drawRect(X, Y + 2, 16, 4);
}

}  // namespace

void TCopyAnimation::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const int top = (height() - 40) / 2;
  DrawFolder(p, 8, top);
  DrawFolder(p, width() - 48, top);
  // The sheet follows an arc from the left folder to the right one.
  const double t = double(FFrame) / double(FrameCount - 1);
  const int startX = 20;
  const int endX = width() - 36;
  const int x = startX + int(t * (endX - startX));
  const int y = top + 4 - int(4.0 * t * (1.0 - t) * 20.0);
  p.setPen(Qt::black);
  p.setBrush(Qt::white);
  p.drawRect(x, y, 14, 18);
  p.drawLine(x + 3, y + 5, x + 11, y + 5);
  p.drawLine(x + 3, y + 9, x + 11, y + 9);
  p.drawLine(x + 3, y + 13, x + 11, y + 13);
}
