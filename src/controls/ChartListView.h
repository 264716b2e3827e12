#pragma once
// The chart list of both wizards: one row per chart set, drawn entirely by
// the list itself at pixel positions that follow the columns: the set name
// in the first column (245 wide), the two resolution boxes where it ends
// (x 245 and 276), the size where the second column ends (x 310). Without
// chart sets it is a plain list that draws its rows itself (the update
// wizard's download catalogue with check boxes).

#include <QImage>
#include <QTreeWidget>
#include <functional>
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

  // The sets the rows show, by index; the caller keeps them alive. Null:
  // the rows are drawn as a plain list draws them.
  void SetChartSets(const TChartSetsList* Sets) { FChartSets = Sets; }
  // The size a row shows; the selected resolutions' unless set.
  void SetSizeOf(std::function<int64_t(const TChartSets&)> SizeOf) { FSizeOf = std::move(SizeOf); }
  const std::vector<QImage>& Images() const { return FImages; }

  // Top of the images of Row in viewport coordinates.
  int ImageTop(int Row) const;
  // The row a mouse-down has just selected, or -1 when there is none or it
  // shows no chart set.
  int ClickedRow() const;
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
  // The second press of a double click arrives as a double-click event: it
  // is a mouse-down like any other, so a quick double click toggles twice.
  void mouseDoubleClickEvent(QMouseEvent* Event) override;

 private:
  void DrawSubItem(QPainter& Painter, const TChartSets& Set, int SubItem, int Y) const;

  const TChartSetsList* FChartSets = nullptr;
  std::function<int64_t(const TChartSets&)> FSizeOf;
  std::vector<QImage> FImages;
};
