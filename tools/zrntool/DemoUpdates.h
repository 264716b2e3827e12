#pragma once
// Update streams for the demo data: the chart's palette with one entry
// changed, and records that patch a few regions of the sheet (a new sand
// bank, a row of small marks, a cable line, a buoy above the rest reached by
// wrapping the position), written in every record form in turn.

#include <cstdint>
#include <vector>

#include "QvDigitalCharts.h"

struct TDemoUpdateInfo {
  int Records = 0;
  // Forms used, as the flags' top four bits (skip and length widths).
  std::vector<uint8_t> FormFlags;
};

// Appends palette, record count and records (everything after the date).
TDemoUpdateInfo WriteDemoUpdateBody(TStream& Stream, int32_t Width, int32_t Height,
                                    const std::vector<TRGB>& ChartPalette, uint64_t Seed);
