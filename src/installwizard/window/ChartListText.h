#pragma once
// The texts of the installation wizard's chart list and summary: the status
// line, the selection totals, the summary lines.

#include <cstdint>
#include <string>
#include <vector>

#include "ChartListDraw.h"
#include "QvDigitalCharts.h"

// "<count> Chartset(s) (<size>)".
std::string ChartStatusText(int Count, int64_t Bytes);

// Totals of the selected (set, resolution) pairs.
struct TSelectionTotals {
  int Count = 0;
  int64_t Size = 0;
};
TSelectionTotals CountSelection(const TChartSetsList& Sets);

// The lines of the summary page: the destination, then per resolution the
// selected sets in alphabetical order.
std::vector<std::string> InstallSummaryLines(const TChartSetsList& Sets,
                                             const std::string& DestFolder);

// "Insufficient free disk space on <mount point>." for the volume of Folder.
std::string InsufficientSpaceText(const std::string& MountPoint);
