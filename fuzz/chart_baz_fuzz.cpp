// An update stream given as bytes, applied to a small chart whose width the
// first byte chooses. Any input must end in an updated bitmap or a stream
// error.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "QvDigitalCharts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size < 1) return 0;
  TBaZBitmap chart;
  chart.SetHeight(7);
  chart.SetWidth(1 + Data[0] % 23);
  chart.SetPalette({{0, 0, 0}, {255, 255, 255}, {10, 100, 200}, {200, 30, 30}});
  for (int y = 0; y < chart.Height(); ++y)
    for (int x = 0; x < chart.Width(); ++x) chart.SetPixelIndex(x, y, uint8_t((x * 3 + y) % 4));
  chart.SetWidth(chart.Width());
  TMemoryStream update(std::vector<uint8_t>(Data + 1, Data + Size));
  try {
    ReadBaZHeader(update);
    TBaZBitmap target;
    ApplyBaZStream(update, chart, target);
  } catch (const EStreamError&) {
  }
  return 0;
}
