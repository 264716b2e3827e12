#include "ActionGlyphs.h"

#include <QPainter>
#include <QPainterPath>

namespace {

const QColor Sea(120, 180, 230);
const QColor Land(236, 214, 140);
const QColor Ink(0, 0, 128);
const QColor Arrow(0, 150, 0);

// A chart sheet: sea with a coast, in a frame, in the unit square.
void DrawChart(QPainter& P, const QRectF& R) {
  P.setPen(QPen(Ink, 0.03));
  P.setBrush(Sea);
  P.drawRect(R);
  QPainterPath coast;
  coast.moveTo(R.left(), R.top() + R.height() * 0.35);
  coast.cubicTo(R.left() + R.width() * 0.4, R.top() + R.height() * 0.2, R.left() + R.width() * 0.5,
                R.top() + R.height() * 0.7, R.right(), R.top() + R.height() * 0.55);
  coast.lineTo(R.bottomRight());
  coast.lineTo(R.bottomLeft());
  coast.closeSubpath();
  P.setBrush(Land);
  P.drawPath(coast);
}

// A removable disk with its shutter and label.
void DrawDisk(QPainter& P, const QRectF& R) {
  P.setPen(QPen(Qt::black, 0.03));
  P.setBrush(QColor(60, 60, 70));
  P.drawRect(R);
  P.setBrush(QColor(200, 200, 205));
  P.drawRect(QRectF(R.left() + R.width() * 0.25, R.top(), R.width() * 0.45, R.height() * 0.32));
  P.setBrush(Qt::white);
  P.drawRect(QRectF(R.left() + R.width() * 0.15, R.top() + R.height() * 0.5, R.width() * 0.7,
                    R.height() * 0.45));
}

// A thick arrow pointing down from (X, Top) to (X, Bottom).
void DrawArrow(QPainter& P, double X, double Top, double Bottom) {
  const double shaft = 0.09, head = 0.2, headLength = 0.2;
  QPolygonF arrow;
  arrow << QPointF(X - shaft, Top) << QPointF(X + shaft, Top)
        << QPointF(X + shaft, Bottom - headLength) << QPointF(X + head, Bottom - headLength)
        << QPointF(X, Bottom) << QPointF(X - head, Bottom - headLength)
        << QPointF(X - shaft, Bottom - headLength);
  P.setPen(QPen(QColor(0, 90, 0), 0.03));
  P.setBrush(Arrow);
  P.drawPolygon(arrow);
}

}  // namespace

QPixmap MakeActionGlyph(TActionGlyph Glyph, int Size) {
  QPixmap pixmap(Size, Size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(Size, Size);
  switch (Glyph) {
    case TActionGlyph::DownloadAndApply:
      DrawChart(painter, QRectF(0.08, 0.42, 0.84, 0.52));
      DrawArrow(painter, 0.5, 0.04, 0.7);
      break;
    case TActionGlyph::Download:
      DrawDisk(painter, QRectF(0.18, 0.44, 0.64, 0.52));
      DrawArrow(painter, 0.5, 0.04, 0.66);
      break;
    case TActionGlyph::Apply:
      DrawChart(painter, QRectF(0.3, 0.34, 0.66, 0.6));
      DrawDisk(painter, QRectF(0.04, 0.04, 0.42, 0.36));
      DrawArrow(painter, 0.62, 0.08, 0.6);
      break;
  }
  return pixmap;
}
