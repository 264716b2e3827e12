#pragma once
// The in-memory bitmap the chart data is drawn into: 1, 4, 8 or 24 bits per
// pixel with a palette, rows from top to bottom. Also the BMP reader, the
// nearest-colour mapping into a palette and the one line of stamp text.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Exception.h"
#include "LargeMemory.h"

class TStream;

ZARNAVIS_DECLARE_EXCEPTION(EGraphicsError, Exception);

struct TRGB {
  uint8_t Red = 0;
  uint8_t Green = 0;
  uint8_t Blue = 0;
  bool operator==(const TRGB&) const = default;
  uint32_t Packed() const { return (uint32_t(Red) << 16) | (uint32_t(Green) << 8) | Blue; }
};

// The largest image the program takes on: far above a real chart sheet
// (about 6000 x 4500) and small enough that one row of the 24-bit view and
// every byte position fit in 32 bits.
constexpr int32_t MaxBitmapSide = 32768;
constexpr int64_t MaxBitmapPixels = int64_t(256) * 1024 * 1024;

// Maps 24-bit colours to the palette entry of nearest colour: an exact colour
// gives its first entry, any other colour the entry of least squared
// distance in red, green and blue (the lowest index on a tie). Results are
// cached, so mapping a whole image costs one palette search per new colour.
class TNearestColour {
 public:
  TNearestColour() = default;
  explicit TNearestColour(const std::vector<TRGB>& Palette) { SetPalette(Palette); }

  void SetPalette(const std::vector<TRGB>& Palette);
  uint8_t Map(uint32_t Packed) {
    if (Packed == FLastColour) return FLastIndex;
    Slot& slot = FCache[Hash(Packed)];
    if (slot.Key != Packed + 1) {
      slot.Key = Packed + 1;
      slot.Index = Search(Packed);
    }
    FLastColour = Packed;
    FLastIndex = slot.Index;
    return slot.Index;
  }
  uint8_t Map(const TRGB& Colour) { return Map(Colour.Packed()); }

 private:
  struct Slot {
    uint32_t Key = 0;  // packed colour + 1; 0 is an empty slot
    uint8_t Index = 0;
  };
  static constexpr size_t CacheSize = 4096;
  static size_t Hash(uint32_t Packed) { return ((Packed * 2654435761u) >> 20) & (CacheSize - 1); }
  uint8_t Search(uint32_t Packed) const;

  std::vector<TRGB> FPalette;
  std::vector<Slot> FCache = std::vector<Slot>(CacheSize);
  uint32_t FLastColour = 0xFFFFFFFF;
  uint8_t FLastIndex = 0;
};

class TBitmap {
 public:
  TBitmap() = default;
  virtual ~TBitmap() = default;
  TBitmap(const TBitmap&) = default;
  TBitmap& operator=(const TBitmap&) = default;
  TBitmap(TBitmap&&) = default;
  TBitmap& operator=(TBitmap&&) = default;

  int32_t Width() const { return FWidth; }
  int32_t Height() const { return FHeight; }
  int BitsPerPixel() const { return FBitsPerPixel; }
  // Bytes of one row: no padding, whole bytes.
  size_t RowBytes() const { return FRowBytes; }

  // Changing the format or the size keeps no pixels: the image becomes
  // palette index 0 (black for 24 bits); setting the size it already has
  // keeps them. Sizes above the limits raise.
  void SetPixelFormat(int BitsPerPixel);
  virtual void SetWidth(int32_t Width);
  void SetHeight(int32_t Height);
  void SetSize(int32_t Width, int32_t Height);

  const std::vector<TRGB>& Palette() const { return FPalette; }
  // At most 256 entries are kept.
  virtual void SetPalette(const std::vector<TRGB>& Palette);

  uint8_t* ScanLine(int32_t Row) { return FPixels.Data() + size_t(Row) * FRowBytes; }
  const uint8_t* ScanLine(int32_t Row) const { return FPixels.Data() + size_t(Row) * FRowBytes; }

  // Palette images only.
  uint8_t PixelIndex(int32_t X, int32_t Y) const;
  void SetPixelIndex(int32_t X, int32_t Y, uint8_t Index);
  // The colour of a pixel in any format; an index beyond the palette is black.
  TRGB PixelColour(int32_t X, int32_t Y) const;
  // One row as palette indexes, one byte per pixel, leftmost pixel from the
  // highest bits of 1- and 4-bit rows.
  void ExpandRow(int32_t Row, uint8_t* Indexes) const;

  // Reads a complete BMP file (file header included).
  void LoadFromStream(TStream& Stream);
  void LoadFromMemory(const uint8_t* Data, size_t Size);

 private:
  void Allocate();

  int32_t FWidth = 0;
  int32_t FHeight = 0;
  int FBitsPerPixel = 8;
  size_t FRowBytes = 0;
  std::vector<TRGB> FPalette;
  TLargeBlock FPixels;
};

// Palette indexes of one packed row of 1, 4 or 8 bits, one byte per pixel,
// the leftmost pixel from the highest bits. Other formats raise.
void ExpandIndexes(const uint8_t* Packed, int BitsPerPixel, int32_t Width, uint8_t* Indexes);

// Throws EGraphicsError when Width x Height cannot be held.
void CheckBitmapSize(int64_t Width, int64_t Height);

// One line of text in the font fontconfig finds for "Arial", monochrome,
// at the given point size at 96 dpi.
class TStampFont {
 public:
  // Raises EGraphicsError when no font can be found or loaded.
  static TStampFont& Get(int PointSize = 8);

  // Ascent plus descent of the font at this size: the height a text line
  // takes (what a canvas reports as the height of "X").
  int TextHeight() const { return FAscent + FDescent; }
  int Ascent() const { return FAscent; }
  // Sets every pixel the text covers, with its cell's top-left corner at
  // X, Y, to palette index Index; pixels outside the bitmap are skipped.
  void DrawText(TBitmap& Bitmap, int X, int Y, const std::string& Utf8Text, uint8_t Index);
  // Width in pixels of the text's advance.
  int TextWidth(const std::string& Utf8Text);

  ~TStampFont();
  TStampFont(const TStampFont&) = delete;
  TStampFont& operator=(const TStampFont&) = delete;

 private:
  explicit TStampFont(int PointSize);
  struct Impl;
  Impl* FImpl = nullptr;
  int FAscent = 0;
  int FDescent = 0;
};

// The stamp colour: red 181, green 1, blue 1.
constexpr TRGB StampColour{181, 1, 1};

// Draws the stamp line at the bottom-left corner of a palette bitmap in the
// palette's nearest colour to the stamp colour.
void DrawStampText(TBitmap& Bitmap, const std::string& Utf8Text);
// The rows at the bottom of an image that DrawStampText may touch.
int StampTextHeight();

// A complete BMP file of a palette bitmap at its own depth, uncompressed, or
// for 8-bit bitmaps optionally RLE8 compressed; rows bottom-up.
std::vector<uint8_t> SaveBitmapToMemory(const TBitmap& Bitmap, bool Rle8);
