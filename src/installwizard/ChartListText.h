#pragma once
// The texts of the chart list: sizes in megabytes, the status line, captions
// shortened to fit a column.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "QvDigitalCharts.h"

// Bytes as megabytes with one decimal in the user's locale: "700.0 MB".
std::string SizeText(int64_t Bytes);

// "<count> Chartset(s) (<size>)".
std::string ChartStatusText(int Count, int64_t Bytes);

// Text shortened with "..." until Width(text) is at most MaxWidth; stops when
// only "..." is left.
std::string FitText(const std::string& Text, int MaxWidth,
                    const std::function<int(const std::string&)>& Width);

// Sum of the sizes of the selected present resolutions of a set.
int64_t SelectedSize(const TChartSets& Set);

// Totals of the selected (set, resolution) pairs.
struct TSelectionTotals {
  int Count = 0;
  int64_t Size = 0;
};
TSelectionTotals CountSelection(const TChartSetsList& Sets);

// The image of a resolution's box in the chart list: 0-2 for 120 dpi, 3-5
// for 240 dpi (selected, not selected, absent).
int ChartImageIndex(const TChartSets& Set, int Resolution);

// Where a click in a row hits, with Top the top of the row's images.
enum class TChartListHit { None, Box120, Box240, Label120, Label240 };
TChartListHit ChartListHitTest(int X, int Y, int Top);

// The lines of the summary page: the destination, then per resolution the
// selected sets in alphabetical order.
std::vector<std::string> InstallSummaryLines(const TChartSetsList& Sets,
                                             const std::string& DestFolder);

// "Insufficient free disk space on <mount point>." for the volume of Folder.
std::string InsufficientSpaceText(const std::string& MountPoint);
