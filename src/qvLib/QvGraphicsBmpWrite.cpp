// BMP files in memory, for the chart files the tools make.

#include <algorithm>

#include "QvDigitalCharts.h"
#include "QvGraphics.h"

namespace {

void Put(std::vector<uint8_t>& Out, uint32_t Value, int Bytes) {
  for (int i = 0; i < Bytes; ++i) Out.push_back(uint8_t(Value >> (8 * i)));
}

}  // namespace

std::vector<uint8_t> SaveBitmapToMemory(const TBitmap& Bitmap, bool Rle8) {
  const int bits = Bitmap.BitsPerPixel();
  if (bits > 8 || (Rle8 && bits != 8)) throw EGraphicsError("Conversion not supported.");
  // The palette as it is, at most what the depth can address; biClrUsed
  // tells readers how many entries follow.
  const size_t full = size_t(1) << bits;
  const size_t colours = Bitmap.Palette().empty() ? full : std::min(Bitmap.Palette().size(), full);
  std::vector<uint8_t> pixels;
  if (Rle8) {
    for (int32_t row = Bitmap.Height() - 1; row >= 0; --row) {
      if (Bitmap.Width() > 0) EncodeRLE8Row(Bitmap.ScanLine(row), size_t(Bitmap.Width()), pixels);
      pixels.insert(pixels.end(), {0, 0});
    }
    pixels.insert(pixels.end(), {0, 1});
  } else {
    const size_t stride = (Bitmap.RowBytes() + 3) / 4 * 4;
    for (int32_t row = Bitmap.Height() - 1; row >= 0; --row) {
      pixels.insert(pixels.end(), Bitmap.ScanLine(row), Bitmap.ScanLine(row) + Bitmap.RowBytes());
      pixels.resize(pixels.size() + stride - Bitmap.RowBytes(), 0);
    }
  }
  const uint32_t offset = uint32_t(14 + 40 + 4 * colours);
  std::vector<uint8_t> out = {'B', 'M'};
  out.reserve(offset + pixels.size());
  Put(out, offset + uint32_t(pixels.size()), 4);
  Put(out, 0, 4);
  Put(out, offset, 4);
  Put(out, 40, 4);
  Put(out, uint32_t(Bitmap.Width()), 4);
  Put(out, uint32_t(Bitmap.Height()), 4);
  Put(out, 1, 2);
  Put(out, uint32_t(bits), 2);
  Put(out, Rle8 ? 1 : 0, 4);
  Put(out, uint32_t(pixels.size()), 4);
  Put(out, 2835, 4);
  Put(out, 2835, 4);
  Put(out, uint32_t(colours), 4);
  Put(out, 0, 4);
  const auto& palette = Bitmap.Palette();
  for (size_t i = 0; i < colours; ++i) {
    const TRGB c = i < palette.size() ? palette[i] : TRGB{};
    out.insert(out.end(), {c.Blue, c.Green, c.Red, 0});
  }
  out.insert(out.end(), pixels.begin(), pixels.end());
  return out;
}
