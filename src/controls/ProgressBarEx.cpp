#include "ProgressBarEx.h"

#include <QEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "FloatFormat.h"

namespace {

// Halves go to the even neighbour, as everywhere the bar rounds.
int RoundEven(double Value) {
  return static_cast<int>(std::nearbyint(Value));
}

int GradientChannel(int Start, int End, float T) {
  return std::clamp(RoundEven(Start + (End - Start) * T), 0, 255);
}

}  // namespace

TProgressBarEx::TProgressBarEx(QWidget* Parent) : QWidget(Parent) {
  // Every pixel is painted, so the background is never erased first: no flicker.
  setAttribute(Qt::WA_OpaquePaintEvent);
  resize(150, 16);
  BuildGradient();
}

void TProgressBarEx::SetMax(int32_t Value) {
  if (Value <= FMin) return;
  FMax = Value;
  update();
}

void TProgressBarEx::SetMin(int32_t Value) {
  if (Value >= FMax) return;
  FMin = Value;
  update();
}

void TProgressBarEx::SetPosition(int32_t Value) {
  Value = std::clamp(Value, FMin, FMax);
  if (Value == FPosition) return;
  FPosition = Value;
  // Measured from Min, so that a range not starting at 0 still runs 0 to 100.
  const double range = static_cast<double>(FMax) - FMin;
  FPercentage = static_cast<float>((static_cast<double>(FPosition) - FMin) / range * 100.0);
  update();
}

void TProgressBarEx::SetPercentage(float Value) {
  if (std::isnan(Value) || Value < 0) Value = 0;
  if (Value > 100) Value = 100;
  if (Value == FPercentage) return;
  FPercentage = Value;
  const double range = static_cast<double>(FMax) - FMin;
  FPosition = static_cast<int32_t>(FMin + std::nearbyint(Value * range / 100.0));
  update();
}

void TProgressBarEx::SetColorStart(const QColor& Value) {
  if (Value == FColorStart) return;
  FColorStart = Value;
  BuildGradient();
  update();
}

void TProgressBarEx::SetColorEnd(const QColor& Value) {
  if (Value == FColorEnd) return;
  FColorEnd = Value;
  BuildGradient();
  update();
}

QColor TProgressBarEx::Color() const {
  return FColor.isValid() ? FColor : palette().color(QPalette::Button);
}

QColor TProgressBarEx::FontColor() const {
  return FFontColor.isValid() ? FFontColor : palette().color(QPalette::WindowText);
}

void TProgressBarEx::SetColor(const QColor& Value) {
  FColor = Value;
  update();
}

void TProgressBarEx::SetFontColor(const QColor& Value) {
  FFontColor = Value;
  update();
}

void TProgressBarEx::SetOrientation(TProgressBarOrientation Value) {
  if (Value == FOrientation) return;
  FOrientation = Value;
  BuildGradient();
  update();
}

void TProgressBarEx::SetBorderStyle(TBorderStyle Value) {
  if (Value == FBorderStyle) return;
  FBorderStyle = Value;
  BuildGradient();
  update();
}

void TProgressBarEx::SetShowCaption(bool Value) {
  if (Value == FShowCaption) return;
  FShowCaption = Value;
  update();
}

void TProgressBarEx::SetCaptionPrefix(const QString& Value) {
  if (Value == FCaptionPrefix) return;
  FCaptionPrefix = Value;
  update();
}

void TProgressBarEx::SetCaptionSuffix(const QString& Value) {
  if (Value == FCaptionSuffix) return;
  FCaptionSuffix = Value;
  update();
}

void TProgressBarEx::SetDigits(int32_t Value) {
  if (Value == FDigits) return;
  FDigits = Value;
  update();
}

QString TProgressBarEx::CaptionText() const {
  const std::string sep = QLocale().decimalPoint().toStdString();
  const std::string number =
      FloatToStrF(FPercentage, TFloatFormat::ffFixed, 7, std::max(0, FDigits), sep);
  return FCaptionPrefix + QString::fromStdString(number) + FCaptionSuffix;
}

QSize TProgressBarEx::InnerSize() const {
  const int border = FBorderStyle == TBorderStyle::bsSingle ? 1 : 0;
  return QSize(std::max(0, width() - 2 * border), std::max(0, height() - 2 * border));
}

const QImage& TProgressBarEx::GradientBitmap() const {
  EnsureGradient();
  return FGradient;
}

void TProgressBarEx::EnsureGradient() const {
  if (FGradientFor != InnerSize()) BuildGradient();
}

void TProgressBarEx::BuildGradient() const {
  const QSize size = InnerSize();
  FGradientFor = size;
  if (size.width() < 1 || size.height() < 1) {
    FGradient = QImage();
    return;
  }
  FGradient = QImage(size, QImage::Format_RGB32);
  const bool horizontal = FOrientation == TProgressBarOrientation::pbHorizontal;
  const int extent = horizontal ? size.width() : size.height();
  const int n = std::max(extent, 2);
  QPainter painter(&FGradient);
  for (int i = std::min(n, extent) - 1; i >= 0; --i) {
    const float t = static_cast<float>(i) / static_cast<float>(n - 1);
    const QColor c(GradientChannel(FColorStart.red(), FColorEnd.red(), t),
                   GradientChannel(FColorStart.green(), FColorEnd.green(), t),
                   GradientChannel(FColorStart.blue(), FColorEnd.blue(), t));
    if (horizontal)
      painter.fillRect(i, 0, 1, size.height(), c);
    else
      painter.fillRect(0, i, size.width(), 1, c);
  }
}

int TProgressBarEx::FilledExtent() const {
  const bool horizontal = FOrientation == TProgressBarOrientation::pbHorizontal;
  const int extent = horizontal ? FGradient.width() : FGradient.height();
  return std::clamp(RoundEven(extent * static_cast<double>(FPercentage) / 100.0), 0, extent);
}

void TProgressBarEx::paintEvent(QPaintEvent*) {
  ++FPaintCount;
  EnsureGradient();
  QPainter painter(this);
  QRect inner = rect();
  if (FBorderStyle == TBorderStyle::bsSingle) {
    // Sunken one-pixel edge: shadow on top and left, light on bottom and right.
    const QColor shadow = palette().color(QPalette::Dark);
    const QColor light = palette().color(QPalette::Light);
    painter.fillRect(0, 0, width(), 1, shadow);
    painter.fillRect(0, 0, 1, height(), shadow);
    painter.fillRect(0, height() - 1, width(), 1, light);
    painter.fillRect(width() - 1, 0, 1, height(), light);
    inner.adjust(1, 1, -1, -1);
  }
  if (inner.width() > 0 && inner.height() > 0) {
    const int filled = FGradient.isNull() ? 0 : FilledExtent();
    if (FOrientation == TProgressBarOrientation::pbHorizontal) {
      painter.drawImage(inner.topLeft(), FGradient, QRect(0, 0, filled, FGradient.height()));
      painter.fillRect(inner.adjusted(filled, 0, 0, 0), Color());
    } else {
      painter.drawImage(inner.topLeft(), FGradient, QRect(0, 0, FGradient.width(), filled));
      painter.fillRect(inner.adjusted(0, filled, 0, 0), Color());
    }
  }
  if (FShowCaption) {
    const QString text = CaptionText();
    const QFontMetrics metrics(font());
    const int left = (width() - metrics.horizontalAdvance(text)) / 2;
    const int top = (height() - metrics.height()) / 2;
    painter.setPen(FontColor());
    painter.setFont(font());
    painter.drawText(left, top + metrics.ascent(), text);
  }
}

void TProgressBarEx::resizeEvent(QResizeEvent*) {
  BuildGradient();
  update();
}

void TProgressBarEx::changeEvent(QEvent* Event) {
  if (Event->type() == QEvent::FontChange || Event->type() == QEvent::PaletteChange) update();
  QWidget::changeEvent(Event);
}

void TProgressBarEx::mouseReleaseEvent(QMouseEvent* Event) {
  if (Event->button() == Qt::LeftButton && rect().contains(Event->position().toPoint()))
    emit Click();
  QWidget::mouseReleaseEvent(Event);
}

void TProgressBarEx::mouseDoubleClickEvent(QMouseEvent* Event) {
  if (Event->button() == Qt::LeftButton) emit DblClick();
  QWidget::mouseDoubleClickEvent(Event);
}
