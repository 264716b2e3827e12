// The BMP reader: the file header, the information header (40 bytes or one
// of its longer successors) or the older 12-byte core header, palette images
// of 1, 4 and 8 bits and true-colour images of 24 bits, bottom-up or
// top-down, uncompressed or run-length compressed (RLE8, RLE4).

#include <algorithm>
#include <cstring>
#include <utility>

#include "QvBmpRowReader.h"
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

}  // namespace

TBmpRowReader::TBmpRowReader(const uint8_t* Data, size_t Size, TBytesArrived Arrived)
    : FData(Data), FSize(Size), FThere(Arrived ? 0 : Size), FArrived(std::move(Arrived)) {
  // The headers and the palette lie in the first bytes: the file header, an
  // information header of at most 1024 bytes and 256 entries of 4 bytes.
  Need(std::min<size_t>(Size, 14 + 1024 + 256 * 4), "the file is too short");
  const TBmpHeader h = ParseHeader(Data, Size);
  FWidth = int32_t(h.Width);
  FHeight = int32_t(h.Height);
  FBits = h.Bits;
  FTopDown = h.TopDown;
  FCompression = h.Compression;
  FDataOffset = h.DataOffset;
  FRowBytes = (size_t(FWidth) * size_t(FBits) + 7) / 8;
  FStride = (size_t(FWidth) * size_t(FBits) + 31) / 32 * 4;
  FPalette = ReadPalette(Data, h);
  FPos = FDataOffset;
  // The last row's padding may be missing.
  if (FCompression == BI_RGB &&
      (FDataOffset > Size || FStride * size_t(FHeight - 1) + FRowBytes > Size - FDataOffset))
    Invalid("pixel data cut short");
}

void TBmpRowReader::ReadRow(uint8_t* Row, bool Blank) {
  if (FRowsRead >= FHeight) Invalid("every row has been read");
  if (FCompression == BI_RGB) {
    const size_t start = FDataOffset + size_t(FRowsRead) * FStride;
    if (start + FRowBytes > FThere) Need(start + FRowBytes, "pixel data cut short");
    std::memcpy(Row, FData + start, FRowBytes);
  } else {
    DecodeRow(Row, Blank);
  }
  ++FRowsRead;
}

void TBmpRowReader::Need(size_t End, const char* Missing) {
  if (End > FSize) Invalid(Missing);
  if (End <= FThere) return;
  FThere = FArrived(End);
  if (FThere < End) Invalid(Missing);
}

// Runs commands until the row ends: by an end-of-line, a delta escape that
// moves down, the end-of-bitmap mark or the end of the data.
void TBmpRowReader::DecodeRow(uint8_t* Row, bool Blank) {
  if (!Blank) std::memset(Row, 0, FRowBytes);
  if (FSkippedRows > 0) {
    --FSkippedRows;
    return;
  }
  while (!FEnded) {
    if (FPos >= FSize) {
      FEnded = true;
      break;
    }
    const uint8_t count = Next();
    const uint8_t value = Next();
    if (count > 0) {
      Fill(Row, count, value);
    } else if (value == 0) {
      FX = 0;
      return;
    } else if (value == 1) {
      FEnded = true;
    } else if (value == 2) {
      FX += Next();
      const uint8_t down = Next();
      if (down > 0) {
        FSkippedRows = down - 1;
        return;
      }
    } else {
      Absolute(Row, value);
    }
  }
}

uint8_t TBmpRowReader::Next() {
  if (FPos >= FThere) Need(FPos + 1, "run-length data cut short");
  return FData[FPos++];
}

// An encoded run. 8-bit rows take the part inside the row in one go; 4-bit
// runs alternate the high and the low nibble of Value, whole bytes at a time
// while the cursor stands on a byte boundary, the ends pixel by pixel.
void TBmpRowReader::Fill(uint8_t* Row, int Count, uint8_t Value) {
  if (FBits == 8) {
    if (FX < FWidth) std::memset(Row + FX, Value, size_t(std::min<int64_t>(Count, FWidth - FX)));
    FX += Count;
    return;
  }
  int i = 0;
  if ((FX & 1) == 0 && FX < FWidth) {
    const int64_t inside = std::min<int64_t>(Count, FWidth - FX) & ~int64_t(1);
    std::memset(Row + FX / 2, Value, size_t(inside / 2));
    FX += inside;
    i = int(inside);
  }
  for (; i < Count; ++i) Put(Row, uint8_t((i & 1) ? (Value & 0x0F) : (Value >> 4)));
}

// An absolute run of Count pixels, padded to a 16-bit boundary.
void TBmpRowReader::Absolute(uint8_t* Row, int Count) {
  if (FBits == 8) {
    if (FPos + size_t(Count) > FThere) Need(FPos + size_t(Count), "run-length data cut short");
    if (FX < FWidth)
      std::memcpy(Row + FX, FData + FPos, size_t(std::min<int64_t>(Count, FWidth - FX)));
    FPos += size_t(Count);
    FX += Count;
    if (Count & 1) Next();
    return;
  }
  const int bytes = (Count + 1) / 2;
  for (int i = 0; i < bytes; ++i) {
    const uint8_t b = Next();
    Put(Row, b >> 4);
    if (2 * i + 1 < Count) Put(Row, b & 0x0F);
  }
  if (bytes & 1) Next();
}

// One 4-bit pixel at the cursor.
void TBmpRowReader::Put(uint8_t* Row, uint8_t Index) {
  if (FX < FWidth) {
    uint8_t& b = Row[FX >> 1];
    b = (FX & 1) ? uint8_t((b & 0xF0) | Index) : uint8_t((b & 0x0F) | (Index << 4));
  }
  ++FX;
}

void TBitmap::LoadFromMemory(const uint8_t* Data, size_t Size) {
  TBmpRowReader reader(Data, Size);
  TBitmap loaded;
  loaded.SetPixelFormat(reader.BitsPerPixel());
  loaded.SetSize(reader.Width(), reader.Height());
  loaded.SetPalette(reader.Palette());
  const int32_t height = reader.Height();
  for (int32_t k = 0; k < height; ++k)
    reader.ReadIntoBlankRow(loaded.ScanLine(reader.TopDown() ? k : height - 1 - k));
  *this = std::move(loaded);
}

void TBitmap::LoadFromStream(TStream& Stream) {
  const int64_t left = Stream.GetSize() - Stream.Position();
  std::vector<uint8_t> data(size_t(std::max<int64_t>(left, 0)));
  Stream.ReadBuffer(data.data(), int64_t(data.size()));
  LoadFromMemory(data.data(), data.size());
}
