#include "QvGraphics.h"

#include <algorithm>
#include <cstring>

void CheckBitmapSize(int64_t Width, int64_t Height) {
  if (Width < 0 || Height < 0 || Width > MaxBitmapSide || Height > MaxBitmapSide ||
      Width * Height > MaxBitmapPixels)
    throw EGraphicsError("Bitmap size " + std::to_string(Width) + " x " + std::to_string(Height) +
                         " is not supported.");
}

void TNearestColour::SetPalette(const std::vector<TRGB>& Palette) {
  FPalette = Palette;
  std::fill(FCache.begin(), FCache.end(), Slot{});
  FLastColour = 0xFFFFFFFF;
}

uint8_t TNearestColour::Search(uint32_t Packed) const {
  const int r = int(Packed >> 16) & 0xFF, g = int(Packed >> 8) & 0xFF, b = int(Packed) & 0xFF;
  int best = 0;
  int bestDistance = 0x7FFFFFFF;
  const int count = int(std::min<size_t>(FPalette.size(), 256));
  for (int i = 0; i < count; ++i) {
    const int dr = FPalette[i].Red - r, dg = FPalette[i].Green - g, db = FPalette[i].Blue - b;
    const int distance = dr * dr + dg * dg + db * db;
    if (distance < bestDistance) {
      bestDistance = distance;
      best = i;
      if (distance == 0) break;
    }
  }
  return uint8_t(best);
}

void TBitmap::SetPixelFormat(int BitsPerPixel) {
  if (BitsPerPixel != 1 && BitsPerPixel != 4 && BitsPerPixel != 8 && BitsPerPixel != 24)
    throw EGraphicsError("Unsupported pixel format of " + std::to_string(BitsPerPixel) +
                         " bits per pixel.");
  if (BitsPerPixel == FBitsPerPixel) return;
  FBitsPerPixel = BitsPerPixel;
  Allocate();
}

void TBitmap::SetWidth(int32_t Width) {
  SetSize(Width, FHeight);
}

void TBitmap::SetHeight(int32_t Height) {
  SetSize(FWidth, Height);
}

void TBitmap::SetSize(int32_t Width, int32_t Height) {
  CheckBitmapSize(Width, Height);
  if (Width == FWidth && Height == FHeight && FPixels.Size() == FRowBytes * size_t(FHeight)) return;
  FWidth = Width;
  FHeight = Height;
  Allocate();
}

void TBitmap::Allocate() {
  FRowBytes = (size_t(FWidth) * size_t(FBitsPerPixel) + 7) / 8;
  FPixels = TLargeBlock(FRowBytes * size_t(FHeight));
}

void TBitmap::SetPalette(const std::vector<TRGB>& Palette) {
  FPalette.assign(Palette.begin(), Palette.begin() + std::min<size_t>(Palette.size(), 256));
}

uint8_t TBitmap::PixelIndex(int32_t X, int32_t Y) const {
  const uint8_t* row = ScanLine(Y);
  switch (FBitsPerPixel) {
    case 1:
      return (row[X >> 3] >> (7 - (X & 7))) & 1;
    case 4:
      return (X & 1) ? (row[X >> 1] & 0x0F) : (row[X >> 1] >> 4);
    case 8:
      return row[X];
    default:
      throw EGraphicsError("The bitmap has no palette.");
  }
}

void TBitmap::SetPixelIndex(int32_t X, int32_t Y, uint8_t Index) {
  uint8_t* row = ScanLine(Y);
  switch (FBitsPerPixel) {
    case 1: {
      const uint8_t mask = uint8_t(0x80 >> (X & 7));
      row[X >> 3] = (Index & 1) ? (row[X >> 3] | mask) : (row[X >> 3] & ~mask);
      break;
    }
    case 4:
      row[X >> 1] = (X & 1) ? uint8_t((row[X >> 1] & 0xF0) | (Index & 0x0F))
                            : uint8_t((row[X >> 1] & 0x0F) | (Index << 4));
      break;
    case 8:
      row[X] = Index;
      break;
    default:
      throw EGraphicsError("The bitmap has no palette.");
  }
}

TRGB TBitmap::PixelColour(int32_t X, int32_t Y) const {
  if (FBitsPerPixel == 24) {
    const uint8_t* p = ScanLine(Y) + size_t(X) * 3;
    return TRGB{p[2], p[1], p[0]};
  }
  const uint8_t index = PixelIndex(X, Y);
  return index < FPalette.size() ? FPalette[index] : TRGB{};
}

void ExpandIndexes(const uint8_t* Packed, int BitsPerPixel, int32_t Width, uint8_t* Indexes) {
  switch (BitsPerPixel) {
    case 8:
      std::memcpy(Indexes, Packed, size_t(Width));
      break;
    case 4: {
      // Whole bytes first, two pixels each; an odd width leaves one high nibble.
      const int32_t pairs = Width / 2;
      for (int32_t i = 0; i < pairs; ++i) {
        Indexes[2 * i] = uint8_t(Packed[i] >> 4);
        Indexes[2 * i + 1] = uint8_t(Packed[i] & 0x0F);
      }
      if (Width & 1) Indexes[Width - 1] = uint8_t(Packed[pairs] >> 4);
      break;
    }
    case 1:
      for (int32_t x = 0; x < Width; ++x) Indexes[x] = (Packed[x >> 3] >> (7 - (x & 7))) & 1;
      break;
    default:
      throw EGraphicsError("Conversion not supported.");
  }
}

void TBitmap::ExpandRow(int32_t Row, uint8_t* Indexes) const {
  ExpandIndexes(ScanLine(Row), FBitsPerPixel, FWidth, Indexes);
}
