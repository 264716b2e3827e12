#pragma once
// The chart list of the installation wizard: one row per chart set, drawn
// entirely by the list itself at fixed pixel positions: the set name in the
// first column, the two resolution boxes at x 245 and 276, the size of the
// selected resolutions at x 310.

#include <QImage>
#include <QTreeWidget>
#include <vector>

#include "QvDigitalCharts.h"

// The six 31 x 13 images: a box (check mark, empty, red cross) followed by a
// dark blue label "120" or "240".
std::vector<QImage> MakeChartListImages();

class TChartListView : public QTreeWidget {
  Q_OBJECT
 public:
  static constexpr int ImageWidth = 31;
  static constexpr int ImageHeight = 13;
  static constexpr int RowHeight = 17;

  explicit TChartListView(QWidget* Parent = nullptr);

  // The sets the rows show, by index; the caller keeps them alive.
  void SetChartSets(const TChartSetsList* Sets) { FChartSets = Sets; }
  const std::vector<QImage>& Images() const { return FImages; }

  // Top of the images of Row in viewport coordinates.
  int ImageTop(int Row) const;
  // The caption as drawn (shortened to fit the first column).
  QString DrawnCaption(int Row) const;

 signals:
  void MouseDown(QPoint Position);
  void MouseUp(QPoint Position);

 protected:
  void drawRow(QPainter* Painter, const QStyleOptionViewItem& Option,
               const QModelIndex& Index) const override;
  void mousePressEvent(QMouseEvent* Event) override;
  void mouseReleaseEvent(QMouseEvent* Event) override;

 private:
  void DrawSubItem(QPainter& Painter, const TChartSets& Set, int SubItem, int Y) const;

  const TChartSetsList* FChartSets = nullptr;
  std::vector<QImage> FImages;
};
