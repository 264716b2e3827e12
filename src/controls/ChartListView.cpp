#include "ChartListView.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>

#include "ChartListDraw.h"

namespace {

const QColor LabelBlue(0, 0, 128);

void DrawBox(QPainter& P, int Kind) {
  // The box frame at 1..12 (its inner area 2..11 is what a click hits).
  P.setPen(QColor(128, 128, 128));
  P.setBrush(Qt::white);
  P.drawRect(1, 1, 11, 11);
  if (Kind == 0) {
    // Check mark.
    P.setPen(QPen(Qt::black, 2));
    P.drawLine(QPoint(3, 6), QPoint(5, 9));
    P.drawLine(QPoint(5, 9), QPoint(10, 3));
  } else if (Kind == 2) {
    // Red cross: not on this CD.
    P.setPen(QPen(QColor(220, 0, 0), 2));
    P.drawLine(QPoint(3, 3), QPoint(10, 10));
    P.drawLine(QPoint(10, 3), QPoint(3, 10));
  }
}

void DrawLabel(QPainter& P, const char* Dpi) {
  const QRect label(13, 0, 18, 13);
  P.setPen(Qt::NoPen);
  P.setBrush(LabelBlue);
  P.drawRect(label);
  QFont font("Liberation Sans");
  font.setPixelSize(9);
  font.setBold(true);
  font.setStyleStrategy(QFont::NoAntialias);
  P.setFont(font);
  P.setPen(Qt::white);
  P.drawText(label, Qt::AlignCenter, Dpi);
}

}  // namespace

std::vector<QImage> MakeChartListImages() {
  std::vector<QImage> images;
  for (int res = 0; res < ResolutionCount; ++res) {
    for (int kind = 0; kind < 3; ++kind) {
      QImage image(TChartListView::ImageWidth, TChartListView::ImageHeight, QImage::Format_ARGB32);
      image.fill(Qt::transparent);
      QPainter painter(&image);
      DrawBox(painter, kind);
      DrawLabel(painter, DpiText(res));
      painter.end();
      images.push_back(image);
    }
  }
  return images;
}

TChartListView::TChartListView(QWidget* Parent)
    : QTreeWidget(Parent), FImages(MakeChartListImages()) {
  setRootIsDecorated(false);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setIndentation(0);
  setItemsExpandable(false);
  header()->setSectionsMovable(false);
  header()->setStretchLastSection(false);
  header()->setMinimumSectionSize(10);
}

int TChartListView::ImageTop(int Row) const {
  const QRect rect = visualRect(model()->index(Row, 0));
  return rect.top() + (rect.height() - ImageHeight) / 2;
}

int TChartListView::ClickedRow() const {
  QTreeWidgetItem* item = currentItem();
  if (!FChartSets || !item || !item->isSelected()) return -1;
  const int row = indexOfTopLevelItem(item);
  return row >= 0 && row < int(FChartSets->size()) ? row : -1;
}

QString TChartListView::DrawnCaption(int Row) const {
  if (!FChartSets || Row < 0 || Row >= int(FChartSets->size())) return {};
  const QFontMetrics metrics(font());
  const int width = columnWidth(0);
  return QString::fromStdString(
      FitText((*FChartSets)[size_t(Row)]->Name, width, [&](const std::string& Text) {
        return metrics.horizontalAdvance(QString::fromStdString(Text));
      }));
}

void TChartListView::drawRow(QPainter* Painter, const QStyleOptionViewItem& Option,
                             const QModelIndex& Index) const {
  if (!FChartSets) return QTreeWidget::drawRow(Painter, Option, Index);
  const int row = Index.row();
  if (row < 0 || row >= int(FChartSets->size())) return;
  const TChartSets& set = *(*FChartSets)[size_t(row)];
  const QRect rect = Option.rect;
  const bool selected = selectionModel() && selectionModel()->isRowSelected(row, QModelIndex());
  if (selected) Painter->fillRect(rect, palette().brush(QPalette::Highlight));
  Painter->save();
  Painter->translate(-horizontalOffset(), 0);
  Painter->setFont(font());
  Painter->setPen(palette().color(selected ? QPalette::HighlightedText : QPalette::Text));
  Painter->drawText(QRect(0, rect.top(), columnWidth(0), rect.height()),
                    Qt::AlignLeft | Qt::AlignVCenter, DrawnCaption(row));
  const int y = rect.top() + (rect.height() - ImageHeight) / 2;
  for (int subItem = 0; subItem < 2; ++subItem) DrawSubItem(*Painter, set, subItem, y);
  Painter->restore();
}

void TChartListView::DrawSubItem(QPainter& Painter, const TChartSets& Set, int SubItem,
                                 int Y) const {
  const int x = columnWidth(0);
  if (SubItem == 0) {
    Painter.drawImage(x, Y, FImages[size_t(ChartImageIndex(Set, 0))]);
    Painter.drawImage(x + ImageWidth, Y, FImages[size_t(ChartImageIndex(Set, 1))]);
  } else {
    const QRect cell(x + columnWidth(1), Y - 2, columnWidth(2), ImageHeight + 4);
    Painter.drawText(cell, Qt::AlignLeft | Qt::AlignVCenter,
                     QString::fromStdString(SizeText(FSizeOf ? FSizeOf(Set) : SelectedSize(Set))));
  }
}

void TChartListView::mousePressEvent(QMouseEvent* Event) {
  QTreeWidget::mousePressEvent(Event);
  emit MouseDown(Event->position().toPoint());
}

void TChartListView::mouseReleaseEvent(QMouseEvent* Event) {
  QTreeWidget::mouseReleaseEvent(Event);
  emit MouseUp(Event->position().toPoint());
}

void TChartListView::mouseDoubleClickEvent(QMouseEvent* Event) {
  QTreeWidget::mouseDoubleClickEvent(Event);
  emit MouseDown(Event->position().toPoint());
}
