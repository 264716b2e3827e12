// A BMP file given as bytes: loaded, then its rows expanded and encoded as
// an installed bitmap's RLE8 row. Any input must end in a bitmap or a
// graphics error.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "QvDigitalCharts.h"
#include "QvGraphics.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  TBitmap image;
  try {
    image.LoadFromMemory(Data, Size);
  } catch (const EGraphicsError&) {
    return 0;
  }
  if (image.BitsPerPixel() > 8) return 0;
  std::vector<uint8_t> row(size_t(image.Width())), encoded;
  // Rows of a declared giant image are all alike to the encoder: a few
  // megabytes of them cover it, and the fuzzer keeps its pace.
  const int64_t rows =
      std::min<int64_t>(image.Height(), 1 + (int64_t(4) << 20) / (image.Width() + 1));
  for (int32_t y = 0; y < rows; ++y) {
    image.ExpandRow(y, row.data());
    encoded.clear();
    EncodeRLE8Row(row.data(), row.size(), encoded);
  }
  return 0;
}
