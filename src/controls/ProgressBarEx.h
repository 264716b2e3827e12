#pragma once
// The wizards' progress bar. It paints itself: the filled part reveals a
// colour gradient that spans the whole bar, the rest shows the background
// colour, and the percentage is drawn centred over it.

#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>
#include <cstdint>

#include "ControlTypes.h"

enum class TProgressBarOrientation { pbHorizontal, pbVertical };

class TProgressBarEx : public QWidget {
  Q_OBJECT

 public:
  explicit TProgressBarEx(QWidget* Parent = nullptr);

  int32_t Min() const { return FMin; }
  int32_t Max() const { return FMax; }
  int32_t Position() const { return FPosition; }
  float Percentage() const { return FPercentage; }
  QColor ColorStart() const { return FColorStart; }
  QColor ColorEnd() const { return FColorEnd; }
  // The unfilled part; the palette's button colour until set.
  QColor Color() const;
  // The caption's colour; the palette's text colour until set.
  QColor FontColor() const;
  TProgressBarOrientation Orientation() const { return FOrientation; }
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  bool ShowCaption() const { return FShowCaption; }
  QString CaptionPrefix() const { return FCaptionPrefix; }
  QString CaptionSuffix() const { return FCaptionSuffix; }
  int32_t Digits() const { return FDigits; }

  // Ignored unless above Min; Position and Percentage stay as they are.
  void SetMax(int32_t Value);
  // Ignored unless below Max; Position and Percentage stay as they are.
  void SetMin(int32_t Value);
  // Clamped to Min..Max; Percentage follows.
  void SetPosition(int32_t Value);
  // Clamped to 0..100 (not-a-number counts as 0); Position follows.
  void SetPercentage(float Value);
  void SetColorStart(const QColor& Value);
  void SetColorEnd(const QColor& Value);
  void SetColor(const QColor& Value);
  void SetFontColor(const QColor& Value);
  void SetOrientation(TProgressBarOrientation Value);
  void SetBorderStyle(TBorderStyle Value);
  void SetShowCaption(bool Value);
  void SetCaptionPrefix(const QString& Value);
  void SetCaptionSuffix(const QString& Value);
  void SetDigits(int32_t Value);

  // The text drawn over the bar: prefix, percentage, suffix.
  QString CaptionText() const;
  // The gradient the filled part is cut from, sized to the inner area.
  const QImage& GradientBitmap() const;
  // Number of paint events so far; lets callers see whether a change repainted.
  int PaintCount() const { return FPaintCount; }

  QSize sizeHint() const override { return QSize(150, 16); }

 signals:
  void Click();
  void DblClick();

 protected:
  void paintEvent(QPaintEvent* Event) override;
  void resizeEvent(QResizeEvent* Event) override;
  void changeEvent(QEvent* Event) override;
  void mouseReleaseEvent(QMouseEvent* Event) override;
  void mouseDoubleClickEvent(QMouseEvent* Event) override;

 private:
  QSize InnerSize() const;
  // Qt delivers resize events to hidden widgets only when they are shown,
  // so the gradient is also checked against the size before it is used.
  void EnsureGradient() const;
  void BuildGradient() const;
  int FilledExtent() const;

  int32_t FMin = 0;
  int32_t FMax = 100;
  int32_t FPosition = 0;
  float FPercentage = 0;
  QColor FColorStart{0, 0, 128};
  QColor FColorEnd{0, 0, 128};
  QColor FColor;
  QColor FFontColor;
  TProgressBarOrientation FOrientation = TProgressBarOrientation::pbHorizontal;
  TBorderStyle FBorderStyle = TBorderStyle::bsSingle;
  bool FShowCaption = true;
  QString FCaptionPrefix;
  QString FCaptionSuffix = QStringLiteral("%");
  int32_t FDigits = 0;
  mutable QImage FGradient;
  mutable QSize FGradientFor{-1, -1};
  int FPaintCount = 0;
};
