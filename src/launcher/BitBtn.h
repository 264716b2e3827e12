#pragma once
// A push button with a glyph placed like the classic bitmap button: the glyph
// at a fixed margin from the left edge, the caption a fixed spacing after it.
// Without a glyph the caption starts at the margin; a negative margin
// centres glyph and caption.

#include <QPushButton>

class TBitBtn : public QPushButton {
 public:
  explicit TBitBtn(QWidget* parent = nullptr) : QPushButton(parent) {}

  void SetGlyph(const QPixmap& glyph);
  const QPixmap& Glyph() const { return FGlyph; }
  void SetMargin(int margin) { FMargin = margin; }
  void SetSpacing(int spacing) { FSpacing = spacing; }
  // Left edges of the glyph and of the caption inside the button.
  int GlyphLeft() const;
  int TextLeft() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QPixmap FGlyph;
  int FMargin = 10;
  int FSpacing = 10;
};
