#pragma once
// What the chart lists of both wizards draw and hit: sizes in megabytes,
// captions shortened to fit a column, the image of a resolution's box, and
// the boxes a click toggles.

#include <cstdint>
#include <functional>
#include <string>

#include "QvDigitalCharts.h"

// Bytes as megabytes with one decimal in the user's locale: "700.0 MB".
std::string SizeText(int64_t Bytes);

// Text shortened with "..." until Width(text) is at most MaxWidth; stops when
// only "..." is left.
std::string FitText(const std::string& Text, int MaxWidth,
                    const std::function<int(const std::string&)>& Width);

// Sum of the sizes of the selected present resolutions of a set.
int64_t SelectedSize(const TChartSets& Set);
// Sum of the sizes of both resolutions of a set, selected or not.
int64_t TotalSize(const TChartSets& Set);

// The image of a resolution's box in the chart list: 0-2 for 120 dpi, 3-5
// for 240 dpi (selected, not selected, absent).
int ChartImageIndex(const TChartSets& Set, int Resolution);

// Where a click in a row hits, with Top the top of the row's images and
// FirstColumnWidth the width of the set-name column, where the images
// begin. Both bounds of every box are inclusive.
enum class TChartListHit { None, Box120, Box240, Label120, Label240 };
TChartListHit ChartListHitTest(int X, int Y, int Top, int FirstColumnWidth = 245);
// A hit on a resolution's box flips its selection (an absent resolution
// stays unselected); any other hit changes nothing.
void ToggleHitResolution(TChartSets& Set, TChartListHit Hit);
