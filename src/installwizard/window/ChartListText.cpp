#include "ChartListText.h"

#include <algorithm>

#include "Languages.h"

std::string ChartStatusText(int Count, int64_t Bytes) {
  return std::to_string(Count) + " " + GetText(txtChartsets) + " (" + SizeText(Bytes) + ")";
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

std::vector<std::string> InstallSummaryLines(const TChartSetsList& Sets,
                                             const std::string& DestFolder) {
  std::vector<std::string> lines{GetText(txtFolderToInstallIn), "   " + DestFolder, ""};
  for (int res = 0; res < ResolutionCount; ++res) {
    std::vector<std::string> names;
    for (const auto& set : Sets) {
      if (set->GetSelected(res)) names.push_back(set->Name);
    }
    if (names.empty()) continue;
    std::sort(names.begin(), names.end(), TCaseInsensitiveLess());
    lines.push_back(GetText(txtSetsInstalledIn) + DpiText(res) + " dpi:");
    for (const std::string& name : names) lines.push_back("    " + name);
    if (res == 0) lines.push_back("");
  }
  return lines;
}

std::string InsufficientSpaceText(const std::string& MountPoint) {
  std::string volume = MountPoint;
  if (volume.size() > 1 && volume.back() == '/') volume.pop_back();
  return GetText(txtInsufficientSpace) + volume + ".";
}
