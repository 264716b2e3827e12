// A BMP file given as bytes: loaded, then every row expanded and encoded as
// an installed bitmap's RLE8 row. Any input must end in a bitmap or a
// graphics error.

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
  for (int32_t y = 0; y < image.Height(); ++y) {
    image.ExpandRow(y, row.data());
    encoded.clear();
    EncodeRLE8Row(row.data(), row.size(), encoded);
  }
  return 0;
}
