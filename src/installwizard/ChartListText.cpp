#include "ChartListText.h"

#include <QLocale>
#include <algorithm>

#include "Languages.h"

std::string SizeText(int64_t Bytes) {
  const double megabytes = double(Bytes) / 1048576.0;
  // The locale's decimal separator, but no thousands separators: 1228.8 MB.
  QLocale locale;
  locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
  return locale.toString(megabytes, 'f', 1).toStdString() + " MB";
}

std::string ChartStatusText(int Count, int64_t Bytes) {
  return std::to_string(Count) + " " + GetText(9) + " (" + SizeText(Bytes) + ")";
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

TSelectionTotals CountSelection(const TChartSetsList& Sets) {
  TSelectionTotals totals;
  for (const auto& set : Sets) {
    for (int res = 0; res < ResolutionCount; ++res) {
      if (!set->GetSelected(res)) continue;
      ++totals.Count;
      totals.Size += set->GetSize(res);
    }
  }
  return totals;
}

int ChartImageIndex(const TChartSets& Set, int Resolution) {
  const int base = Resolution * 3;
  if (!(Set.Resolutions & (1 << Resolution))) return base + 2;
  return base + (Set.GetSelected(Resolution) ? 0 : 1);
}

TChartListHit ChartListHitTest(int X, int Y, int Top) {
  struct TRect {
    int Left, Right;
    TChartListHit Hit;
  };
  // Fixed positions: the images stand at x 245 and 276 (column widths 245
  // and 65), each a box at 2..11 and a label right of it.
  static constexpr TRect Rects[] = {
      {247, 256, TChartListHit::Box120},
      {279, 288, TChartListHit::Box240},
      {258, 277, TChartListHit::Label120},
      {290, 309, TChartListHit::Label240},
  };
  if (Y < Top + 2 || Y > Top + 11) return TChartListHit::None;
  for (const TRect& r : Rects) {
    if (X >= r.Left && X <= r.Right) return r.Hit;
  }
  return TChartListHit::None;
}

std::vector<std::string> InstallSummaryLines(const TChartSetsList& Sets,
                                             const std::string& DestFolder) {
  std::vector<std::string> lines{GetText(29), "   " + DestFolder, ""};
  for (int res = 0; res < ResolutionCount; ++res) {
    std::vector<std::string> names;
    for (const auto& set : Sets) {
      if (set->GetSelected(res)) names.push_back(set->Name);
    }
    if (names.empty()) continue;
    std::sort(names.begin(), names.end(), TCaseInsensitiveLess());
    lines.push_back(GetText(35) + DpiText(res) + " dpi:");
    for (const std::string& name : names) lines.push_back("    " + name);
    if (res == 0) lines.push_back("");
  }
  return lines;
}

std::string InsufficientSpaceText(const std::string& MountPoint) {
  std::string volume = MountPoint;
  if (volume.size() > 1 && volume.back() == '/') volume.pop_back();
  return GetText(59) + volume + ".";
}
