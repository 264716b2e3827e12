// The chart bitmap's one-row work buffer. A row is expanded to 24 bits
// (blue, green, red per pixel) when it is selected and mapped back to the
// palette by nearest colour when it is left dirty.

#include <algorithm>
#include <cstring>

#include "QvDigitalCharts.h"

namespace {

// The entries a pixel of this format can address.
std::vector<TRGB> AddressablePalette(const TBitmap& Bitmap) {
  std::vector<TRGB> palette = Bitmap.Palette();
  if (Bitmap.BitsPerPixel() <= 8)
    palette.resize(std::min<size_t>(palette.size(), size_t(1) << Bitmap.BitsPerPixel()));
  return palette;
}

}  // namespace

TBaZBitmap::TBaZBitmap() {
  SetPixelFormat(8);
}

void TBaZBitmap::SetWidth(int32_t Width) {
  TBitmap::SetWidth(Width);
  FRowByteCount = uint32_t(Width) * 3;
  FRow.assign(FRowByteCount, 0);
  FDirty = false;
  FCurrentRow = -1;
  FNearest.SetPalette(AddressablePalette(*this));
}

void TBaZBitmap::SetPalette(const std::vector<TRGB>& Palette) {
  TBitmap::SetPalette(Palette);
  FNearest.SetPalette(AddressablePalette(*this));
}

void TBaZBitmap::SelectRow(int64_t Row) {
  if (Row < -1) Row = -1;
  if (Row == FCurrentRow) return;
  if (FDirty) {
    WriteBackRow();
    FDirty = false;
  }
  FCurrentRow = Row;
  if (Row != -1) LoadRow();
}

void TBaZBitmap::LoadRow() {
  // A row outside the bitmap leaves the buffer as it is.
  if (FCurrentRow < 0 || FCurrentRow >= Height()) return;
  const auto row = int32_t(FCurrentRow);
  if (BitsPerPixel() == 24) {
    std::memcpy(FRow.data(), ScanLine(row), FRowByteCount);
    return;
  }
  // Blue, green, red of every index; indexes beyond the palette are black.
  uint8_t colours[256][3] = {};
  const std::vector<TRGB>& palette = Palette();
  for (size_t i = 0; i < palette.size() && i < 256; ++i) {
    colours[i][0] = palette[i].Blue;
    colours[i][1] = palette[i].Green;
    colours[i][2] = palette[i].Red;
  }
  FIndexes.resize(static_cast<size_t>(Width()));
  ExpandRow(row, FIndexes.data());
  uint8_t* out = FRow.data();
  for (uint8_t index : FIndexes) {
    std::memcpy(out, colours[index], 3);
    out += 3;
  }
}

void TBaZBitmap::WriteBackRow() {
  if (FCurrentRow < 0 || FCurrentRow >= Height()) return;
  const auto row = int32_t(FCurrentRow);
  if (BitsPerPixel() == 24) {
    std::memcpy(ScanLine(row), FRow.data(), FRowByteCount);
    return;
  }
  const uint8_t* in = FRow.data();
  uint8_t* line = ScanLine(row);
  for (int32_t x = 0; x < Width(); ++x, in += 3) {
    const uint8_t index = FNearest.Map((uint32_t(in[2]) << 16) | (uint32_t(in[1]) << 8) | in[0]);
    if (BitsPerPixel() == 8)
      line[x] = index;
    else
      SetPixelIndex(x, row, index);
  }
}

void TBaZBitmap::CopyRowFrom(const TBaZBitmap& Source) {
  if (Source.Width() != Width() || FCurrentRow == -1) return;
  std::memcpy(FRow.data(), Source.FRow.data(), FRowByteCount);
  FDirty = true;
}

void TBaZBitmap::WriteBytes(TStream& Stream, uint32_t Position, uint32_t Length) {
  if (int64_t(Length) > Stream.GetSize() - Stream.Position())
    throw EBaZFormatError("The update ends inside a record.");
  if (FRowByteCount == 0) {
    Stream.Seek(Length, soFromCurrent);
    return;
  }
  int64_t row = Position / FRowByteCount;
  uint32_t column = Position % FRowByteCount;
  while (Length != 0) {
    SelectRow(row);
    if (row >= Height()) {
      // Every byte from here on lies below the last row.
      Stream.Seek(Length, soFromCurrent);
      return;
    }
    const uint32_t count = std::min(Length, FRowByteCount - column);
    Stream.ReadBuffer(FRow.data() + column, count);
    // Dirty at once: the next row's selection must write these bytes back.
    FDirty = true;
    Length -= count;
    column = 0;
    ++row;
  }
}
