// The BMP reader: the file header, the information header (40 bytes or one
// of its longer successors) or the older 12-byte core header, palette images
// of 1, 4 and 8 bits and true-colour images of 24 bits, bottom-up or
// top-down, uncompressed or run-length compressed (RLE8, RLE4).

#include <algorithm>
#include <cstring>

#include "QvGraphics.h"
#include "Streams.h"

namespace {

constexpr uint32_t BI_RGB = 0;
constexpr uint32_t BI_RLE8 = 1;
constexpr uint32_t BI_RLE4 = 2;

[[noreturn]] void Invalid(const std::string& Why) {
  throw EGraphicsError("Bitmap image is not valid: " + Why + ".");
}

uint32_t U16(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8);
}
uint32_t U32(const uint8_t* p) {
  return U16(p) | (U16(p + 2) << 16);
}

struct TBmpHeader {
  int64_t Width = 0;
  int64_t Height = 0;  // always positive here
  bool TopDown = false;
  int Bits = 0;
  uint32_t Compression = BI_RGB;
  size_t PaletteOffset = 0;
  size_t PaletteEntrySize = 4;
  size_t PaletteCount = 0;
  size_t DataOffset = 0;
};

TBmpHeader ParseHeader(const uint8_t* Data, size_t Size) {
  if (Size < 14 + 12) Invalid("the file is too short");
  if (Data[0] != 'B' || Data[1] != 'M') Invalid("no BMP signature");
  TBmpHeader h;
  const uint32_t offBits = U32(Data + 10);
  const uint32_t infoSize = U32(Data + 14);
  const uint8_t* info = Data + 14;
  uint32_t colorsUsed = 0;
  if (infoSize == 12) {
    h.Width = U16(info + 4);
    h.Height = U16(info + 6);
    h.Bits = int(U16(info + 10));
    h.PaletteEntrySize = 3;
  } else if (infoSize >= 40 && infoSize <= 1024) {
    if (Size < 14 + size_t(infoSize)) Invalid("the information header is cut short");
    h.Width = int32_t(U32(info + 4));
    const int64_t height = int32_t(U32(info + 8));
    h.TopDown = height < 0;
    h.Height = height < 0 ? -height : height;
    h.Bits = int(U16(info + 14));
    h.Compression = U32(info + 16);
    colorsUsed = U32(info + 32);
  } else {
    Invalid("unknown header size " + std::to_string(infoSize));
  }
  if (h.Bits != 1 && h.Bits != 4 && h.Bits != 8 && h.Bits != 24)
    Invalid(std::to_string(h.Bits) + " bits per pixel are not supported");
  if (h.Compression != BI_RGB && !(h.Compression == BI_RLE8 && h.Bits == 8) &&
      !(h.Compression == BI_RLE4 && h.Bits == 4))
    Invalid("compression " + std::to_string(h.Compression) + " is not supported");
  if (h.Width <= 0 || h.Height <= 0) Invalid("empty image");
  CheckBitmapSize(h.Width, h.Height);
  h.PaletteOffset = 14 + infoSize;
  if (h.Bits <= 8) {
    const size_t full = size_t(1) << h.Bits;
    h.PaletteCount = colorsUsed == 0 ? full : std::min<size_t>(colorsUsed, 256);
    if (h.PaletteOffset + h.PaletteCount * h.PaletteEntrySize > Size) Invalid("palette cut short");
  }
  const size_t afterPalette = h.PaletteOffset + h.PaletteCount * h.PaletteEntrySize;
  h.DataOffset = offBits >= 14 + 12 && offBits <= Size ? offBits : afterPalette;
  return h;
}

std::vector<TRGB> ReadPalette(const uint8_t* Data, const TBmpHeader& h) {
  std::vector<TRGB> palette(h.PaletteCount);
  for (size_t i = 0; i < h.PaletteCount; ++i) {
    const uint8_t* e = Data + h.PaletteOffset + i * h.PaletteEntrySize;
    palette[i] = TRGB{e[2], e[1], e[0]};
  }
  return palette;
}

void ReadUncompressed(const uint8_t* Data, size_t Size, const TBmpHeader& h, TBitmap& Bitmap) {
  const size_t stride = (size_t(h.Width) * size_t(h.Bits) + 31) / 32 * 4;
  const size_t rowBytes = Bitmap.RowBytes();
  // The last row's padding may be missing.
  if (h.DataOffset > Size || stride * size_t(h.Height - 1) + rowBytes > Size - h.DataOffset)
    Invalid("pixel data cut short");
  for (int64_t k = 0; k < h.Height; ++k) {
    const int32_t row = int32_t(h.TopDown ? k : h.Height - 1 - k);
    std::memcpy(Bitmap.ScanLine(row), Data + h.DataOffset + size_t(k) * stride, rowBytes);
  }
}

// Walks an RLE8 or RLE4 stream. Pixels beyond the row's end are dropped,
// pixels never written stay index 0. The stream may end without its
// end-of-bitmap mark at a command boundary, never inside a command.
class TRleDecoder {
 public:
  TRleDecoder(const uint8_t* Data, size_t Size, const TBmpHeader& h, TBitmap& Bitmap)
      : FData(Data), FSize(Size), FPos(h.DataOffset), FHeader(h), FBitmap(Bitmap) {}

  void Run() {
    const bool four = FHeader.Compression == BI_RLE4;
    while (FPos < FSize && FY < FHeader.Height) {
      const uint8_t count = Next();
      const uint8_t value = Next();
      if (count > 0 && !four) {
        Fill(count, value);
      } else if (count > 0) {
        FillNibbles(count, value);
      } else if (value == 0) {
        FX = 0;
        ++FY;
      } else if (value == 1) {
        return;
      } else if (value == 2) {
        FX += Next();
        FY += Next();
      } else {
        Absolute(value, four);
      }
    }
  }

 private:
  uint8_t Next() {
    if (FPos >= FSize) Invalid("run-length data cut short");
    return FData[FPos++];
  }
  void Absolute(int Count, bool Four) {
    const int bytes = Four ? (Count + 1) / 2 : Count;
    if (!Four) {
      if (FPos + size_t(bytes) > FSize) Invalid("run-length data cut short");
      if (uint8_t* dst = Visible(Count)) std::memcpy(dst, FData + FPos, VisibleCount(Count));
      FPos += size_t(bytes);
      FX += Count;
      if (bytes & 1) Next();
      return;
    }
    for (int i = 0; i < bytes; ++i) {
      const uint8_t b = Next();
      if (Four) {
        Put(b >> 4);
        if (2 * i + 1 < Count) Put(b & 0x0F);
      } else {
        Put(b);
      }
    }
    if (bytes & 1) Next();  // runs are padded to a 16-bit boundary
  }
  // 8-bit rows: the part of Count pixels from the cursor that lies inside
  // the image, written in one go.
  size_t VisibleCount(int Count) const {
    if (FY >= FHeader.Height || FX >= FHeader.Width) return 0;
    return size_t(std::min<int64_t>(Count, FHeader.Width - FX));
  }
  uint8_t* Visible(int Count) {
    if (VisibleCount(Count) == 0) return nullptr;
    const int32_t row = int32_t(FHeader.TopDown ? FY : FHeader.Height - 1 - FY);
    return FBitmap.ScanLine(row) + FX;
  }
  void Fill(int Count, uint8_t Index) {
    if (uint8_t* dst = Visible(Count)) std::memset(dst, Index, VisibleCount(Count));
    FX += Count;
  }
  // 4-bit rows: Count pixels alternating the high and the low nibble of
  // Pair. When the cursor stands on a whole byte, whole bytes take two
  // pixels at once; the ends go pixel by pixel.
  void FillNibbles(int Count, uint8_t Pair) {
    int i = 0;
    if ((FX & 1) == 0 && FY < FHeader.Height && FX < FHeader.Width) {
      const int64_t inside = std::min<int64_t>(Count, FHeader.Width - FX) & ~int64_t(1);
      if (inside > 0) {
        const int32_t row = int32_t(FHeader.TopDown ? FY : FHeader.Height - 1 - FY);
        std::memset(FBitmap.ScanLine(row) + FX / 2, Pair, size_t(inside / 2));
        FX += inside;
        i = int(inside);
      }
    }
    for (; i < Count; ++i) Put(uint8_t((i & 1) ? (Pair & 0x0F) : (Pair >> 4)));
  }
  void Put(uint8_t Index) {
    if (FX < FHeader.Width && FY < FHeader.Height) {
      const int32_t row = int32_t(FHeader.TopDown ? FY : FHeader.Height - 1 - FY);
      FBitmap.SetPixelIndex(int32_t(FX), row, Index);
    }
    ++FX;
  }

  const uint8_t* FData;
  size_t FSize;
  size_t FPos;
  const TBmpHeader& FHeader;
  TBitmap& FBitmap;
  int64_t FX = 0;
  int64_t FY = 0;  // rows counted in file order
};

}  // namespace

void TBitmap::LoadFromMemory(const uint8_t* Data, size_t Size) {
  const TBmpHeader h = ParseHeader(Data, Size);
  TBitmap loaded;
  loaded.SetPixelFormat(h.Bits);
  loaded.SetSize(int32_t(h.Width), int32_t(h.Height));
  loaded.SetPalette(ReadPalette(Data, h));
  if (h.Compression == BI_RGB)
    ReadUncompressed(Data, Size, h, loaded);
  else
    TRleDecoder(Data, Size, h, loaded).Run();
  *this = std::move(loaded);
}

void TBitmap::LoadFromStream(TStream& Stream) {
  const int64_t left = Stream.GetSize() - Stream.Position();
  std::vector<uint8_t> data(size_t(std::max<int64_t>(left, 0)));
  Stream.ReadBuffer(data.data(), int64_t(data.size()));
  LoadFromMemory(data.data(), data.size());
}
