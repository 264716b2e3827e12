#include "BitBtn.h"

#include <QStyleOptionButton>
#include <QStylePainter>
#include <algorithm>

void TBitBtn::SetGlyph(const QPixmap& glyph) {
  FGlyph = glyph;
  update();
}

int TBitBtn::GlyphLeft() const {
  if (FMargin >= 0) return FMargin;
  // A negative margin centres glyph and caption together.
  QString shown = text();
  shown.remove(QLatin1Char('&'));
  const int glyph = FGlyph.isNull() ? 0 : FGlyph.width() + FSpacing;
  return std::max(0, (width() - glyph - fontMetrics().horizontalAdvance(shown)) / 2);
}

int TBitBtn::TextLeft() const {
  return FGlyph.isNull() ? GlyphLeft() : GlyphLeft() + FGlyph.width() + FSpacing;
}

void TBitBtn::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionButton option;
  initStyleOption(&option);
  option.text.clear();
  option.icon = QIcon();
  painter.drawControl(QStyle::CE_PushButtonBevel, option);

  const int shift = isDown() ? 1 : 0;
  if (!FGlyph.isNull()) {
    const QPixmap glyph =
        isEnabled() ? FGlyph : QIcon(FGlyph).pixmap(FGlyph.size(), QIcon::Disabled);
    painter.drawPixmap(GlyphLeft() + shift, (height() - FGlyph.height()) / 2 + shift, glyph);
  }
  const QRect textRect(TextLeft() + shift, shift, width() - TextLeft() - 2, height());
  painter.drawItemText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic, palette(),
                       isEnabled(), text(), QPalette::ButtonText);
}
