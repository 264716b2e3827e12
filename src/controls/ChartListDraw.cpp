#include "ChartListDraw.h"

#include <QLocale>

std::string SizeText(int64_t Bytes) {
  const double megabytes = double(Bytes) / 1048576.0;
  // The locale's decimal separator, but no thousands separators: 1228.8 MB.
  QLocale locale;
  locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
  return locale.toString(megabytes, 'f', 1).toStdString() + " MB";
}

namespace {

// Removes the last character of UTF-8 text (all its bytes).
void DropLastCharacter(std::string& Text) {
  while (!Text.empty()) {
    const uint8_t last = uint8_t(Text.back());
    Text.pop_back();
    if ((last & 0xC0) != 0x80) break;
  }
}

}  // namespace

std::string FitText(const std::string& Text, int MaxWidth,
                    const std::function<int(const std::string&)>& Width) {
  if (Width(Text) <= MaxWidth) return Text;
  std::string stem = Text;
  std::string fitted = stem + "...";
  while (Width(fitted) > MaxWidth && !stem.empty()) {
    DropLastCharacter(stem);
    fitted = stem + "...";
  }
  return fitted;
}

int64_t SelectedSize(const TChartSets& Set) {
  int64_t size = 0;
  for (int res = 0; res < ResolutionCount; ++res) {
    if (Set.GetSelected(res)) size += Set.GetSize(res);
  }
  return size;
}

int64_t TotalSize(const TChartSets& Set) {
  return Set.GetSize(0) + Set.GetSize(1);
}

int ChartImageIndex(const TChartSets& Set, int Resolution) {
  const int base = Resolution * 3;
  if (!(Set.Resolutions & (1 << Resolution))) return base + 2;
  return base + (Set.GetSelected(Resolution) ? 0 : 1);
}

TChartListHit ChartListHitTest(int X, int Y, int Top, int FirstColumnWidth) {
  struct TRect {
    int Left, Right;
    TChartListHit Hit;
  };
  // The images stand at the end of the first column and 31 pixels right of
  // it; each is a box at 2..11 and a label right of it.
  const TRect rects[] = {
      {2, 11, TChartListHit::Box120},
      {34, 43, TChartListHit::Box240},
      {13, 32, TChartListHit::Label120},
      {45, 64, TChartListHit::Label240},
  };
  if (Y < Top + 2 || Y > Top + 11) return TChartListHit::None;
  const int x = X - FirstColumnWidth;
  for (const TRect& r : rects) {
    if (x >= r.Left && x <= r.Right) return r.Hit;
  }
  return TChartListHit::None;
}

void ToggleHitResolution(TChartSets& Set, TChartListHit Hit) {
  if (Hit == TChartListHit::Box120) Set.SetSelected(0, !Set.GetSelected(0));
  if (Hit == TChartListHit::Box240) Set.SetSelected(1, !Set.GetSelected(1));
}
