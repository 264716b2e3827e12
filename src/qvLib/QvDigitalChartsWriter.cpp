// Installed chart bitmaps: 8-bit BMP files with a 40-byte information
// header, a 256-entry palette and RLE8 pixel data, rows bottom-up, each row
// closed by 00 00 and the image by 00 01.

#include <sys/stat.h>
#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>

#include "DiskFull.h"
#include "FileTimes.h"
#include "QvBmpRowReader.h"
#include "QvDigitalCharts.h"
#include "TemporaryFiles.h"

namespace {

constexpr uint32_t HeaderBytes = 54;
constexpr uint32_t PixelDataOffset = HeaderBytes + 256 * 4;  // 1078
constexpr int32_t PixelsPerMetre = 2835;                     // 72 dpi

void PutU16(uint8_t* P, uint32_t V) {
  P[0] = uint8_t(V);
  P[1] = uint8_t(V >> 8);
}
void PutU32(uint8_t* P, uint32_t V) {
  PutU16(P, V);
  PutU16(P + 2, V >> 16);
}

void BuildHeader(uint8_t* H, int32_t Width, int32_t Height, uint32_t FileSize) {
  std::fill(H, H + HeaderBytes, 0);
  H[0] = 'B';
  H[1] = 'M';
  PutU32(H + 2, FileSize);
  PutU32(H + 10, PixelDataOffset);
  PutU32(H + 14, 40);
  PutU32(H + 18, uint32_t(Width));
  PutU32(H + 22, uint32_t(Height));
  PutU16(H + 26, 1);
  PutU16(H + 28, 8);
  PutU32(H + 30, 1);  // RLE8
  PutU32(H + 34, FileSize == 0 ? 0 : FileSize - PixelDataOffset);
  PutU32(H + 38, PixelsPerMetre);
  PutU32(H + 42, PixelsPerMetre);
}

// A hidden file beside Target that the finished bitmap is renamed from.
std::string CreateTemporaryFor(const std::string& Target) {
  std::string name;
  const int fd = CreateTemporaryBeside(Target, name, 0600);
  if (fd < 0) {
    const int error = errno;
    throw EStreamError(WriteErrorMessage(error, Target, "Cannot create file " + Target));
  }
  ::fchmod(fd, 0644);
  ::close(fd);
  return name;
}

// Supplies the 8-bit palette indexes of one row. It is asked for every row
// from the bottom one (Height - 1) up to row 0, in that order.
using TIndexRows = std::function<const uint8_t*(int32_t Row)>;

void WriteRLE8Stream(TBufferedFileStream& File, int32_t Width, int32_t Height,
                     const std::vector<TRGB>& Palette, const TIndexRows& Rows) {
  uint8_t header[HeaderBytes];
  BuildHeader(header, Width, Height, 0);
  File.WriteBuffer(header, HeaderBytes);
  uint8_t palette[1024] = {};
  for (size_t i = 0; i < Palette.size() && i < 256; ++i) {
    palette[4 * i] = Palette[i].Blue;
    palette[4 * i + 1] = Palette[i].Green;
    palette[4 * i + 2] = Palette[i].Red;
  }
  File.WriteBuffer(palette, sizeof palette);

  // One reused buffer for the encoded row: two bytes per pixel at most, plus
  // the end-of-line mark.
  const size_t width = size_t(Width);
  std::vector<uint8_t> encoded(2 * width + 4);
  for (int32_t row = Height - 1; row >= 0; --row) {
    const uint8_t* pixels = Rows(row);
    size_t n = width == 0 ? 0 : EncodeRLE8RowTo(pixels, width, encoded.data());
    encoded[n++] = 0;
    encoded[n++] = 0;
    File.WriteBuffer(encoded.data(), int64_t(n));
  }
  const uint8_t endOfBitmap[2] = {0, 1};
  File.WriteBuffer(endOfBitmap, 2);

  const int64_t size = File.GetSize();
  if (size > int64_t(UINT32_MAX)) throw EGraphicsError("Bitmap file too large.");
  BuildHeader(header, Width, Height, uint32_t(size));
  File.Seek(0, soFromBeginning);
  File.WriteBuffer(header, HeaderBytes);
}

// Writes to a temporary file beside FileName, makes it durable, gives it
// its date (when one is given) and renames it: FileName is either the old
// file or the complete new one, dated. A full disk is reported with the
// name of the bitmap, not of its hidden temporary file.
// Complete, when given, runs after the last row and may still refuse the
// file by raising: then FileName stays as it was.
void WriteRLE8File(const std::string& FileName, int32_t Width, int32_t Height,
                   const std::vector<TRGB>& Palette, const TIndexRows& Rows,
                   std::optional<int32_t> Date = std::nullopt,
                   const std::function<void()>& Complete = {}) {
  const std::string temporary = CreateTemporaryFor(FileName);
  try {
    TBufferedFileStream file(temporary, 65536, fmCreate);
    try {
      WriteRLE8Stream(file, Width, Height, Palette, Rows);
    } catch (const EStreamError& e) {
      if (e.Message() == DiskFullMessage(file.FileName()))
        throw EStreamError(DiskFullMessage(FileName));
      throw;
    }
    if (Complete) Complete();
    try {
      // On the disk before it has its date and its name.
      if (!file.SyncToDisk()) {
        const int error = errno;
        throw EStreamError(WriteErrorMessage(error, FileName, "Write failed in " + FileName));
      }
      file.Close();
    } catch (const EStreamError& e) {
      if (e.Message() == DiskFullMessage(file.FileName()))
        throw EStreamError(DiskFullMessage(FileName));
      throw;
    }
    if (Date && !FileSetDate(temporary, *Date))
      throw EStreamError("Cannot set the date of " + FileName);
    if (std::rename(temporary.c_str(), FileName.c_str()) != 0) {
      const int error = errno;
      throw EStreamError(WriteErrorMessage(error, FileName, "Cannot create file " + FileName));
    }
  } catch (...) {
    std::remove(temporary.c_str());
    throw;
  }
}

// The rows of a chart image on their way from the chart file to the
// installed bitmap, bottom row first, as 8-bit palette indexes; an update
// (Patches) changes each row as it passes. The bottom rows, where the stamp
// goes, are gathered into a strip and stamped first; every other row goes
// straight from the reader to the encoder, so the whole image is never held.
class TStampedRows {
 public:
  TStampedRows(TBmpRowReader& Reader, const std::string& StampText,
               TBaZRowPatches* Patches = nullptr)
      : FReader(Reader),
        FPatches(Patches),
        FRow(Reader.RowBytes()),
        FIndexes(size_t(Reader.Width())),
        FOut(Patches ? size_t(Reader.Width()) : 0) {
    const int32_t height = Reader.Height();
    FStripTop = StampText.empty() ? height : height - std::min(height, StampTextHeight());
    if (FStripTop == height) return;
    // An updated strip holds update palette indexes, a plain one the
    // chart's own pixels.
    FStrip.SetPixelFormat(Patches ? 8 : Reader.BitsPerPixel());
    FStrip.SetSize(Reader.Width(), height - FStripTop);
    FStrip.SetPalette(Patches ? Patches->Palette() : Reader.Palette());
    for (int32_t row = FStrip.Height() - 1; row >= 0; --row) {
      if (!Patches) {
        Reader.ReadRow(FStrip.ScanLine(row));
        continue;
      }
      Patches->Apply(FStripTop + row, ReadIndexes(), FStrip.ScanLine(row));
    }
    DrawStampText(FStrip, StampText);
  }

  const uint8_t* operator()(int32_t Row) {
    if (Row >= FStripTop) {
      const uint8_t* packed = FStrip.ScanLine(Row - FStripTop);
      if (FStrip.BitsPerPixel() == 8) return packed;
      ExpandIndexes(packed, FStrip.BitsPerPixel(), FStrip.Width(), FIndexes.data());
      return FIndexes.data();
    }
    const uint8_t* indexes = ReadIndexes();
    if (!FPatches) return indexes;
    FPatches->Apply(Row, indexes, FOut.data());
    return FOut.data();
  }

 private:
  // The next row of the file as indexes, one byte a pixel.
  const uint8_t* ReadIndexes() {
    FReader.ReadRow(FRow.data());
    if (FReader.BitsPerPixel() == 8) return FRow.data();
    ExpandIndexes(FRow.data(), FReader.BitsPerPixel(), FReader.Width(), FIndexes.data());
    return FIndexes.data();
  }

  TBmpRowReader& FReader;
  TBaZRowPatches* FPatches;
  std::vector<uint8_t> FRow;
  std::vector<uint8_t> FIndexes;
  std::vector<uint8_t> FOut;
  TBitmap FStrip;
  int32_t FStripTop = 0;  // the image row of the strip's first row
};

// Day, month and year of a day count (days since 30 December 1899).
void DecodeDayCount(double DayCount, int& Day, int& Month, int& Year) {
  // Days from 1970-01-01, then the civil calendar.
  int64_t z = int64_t(std::floor(DayCount)) - 25569 + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  Day = int(doy - (153 * mp + 2) / 5 + 1);
  Month = int(mp < 10 ? mp + 3 : mp - 9);
  Year = int(yoe + era * 400 + (Month <= 2 ? 1 : 0));
}

// The first position after I, below Limit, whose byte differs from Row[I]
// (Limit when there is none). Sea and land areas make long runs, so the scan
// compares eight bytes at a time.
size_t RunEnd(const uint8_t* Row, size_t I, size_t Limit) {
  size_t j = I + 1;
#if defined(__SSE2__)
  // Sixteen at a time where every x86-64 processor can.
  const __m128i wanted = _mm_set1_epi8(char(Row[I]));
  while (j + 16 <= Limit) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Row + j));
    const unsigned differ = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, wanted))) ^ 0xFFFFu;
    if (differ != 0) return j + size_t(std::countr_zero(differ));
    j += 16;
  }
#endif
  const uint64_t pattern = uint64_t(Row[I]) * 0x0101010101010101ULL;
  while (j + 8 <= Limit) {
    uint64_t word;
    std::memcpy(&word, Row + j, 8);
    const uint64_t diff = word ^ pattern;
    if (diff != 0) {
      if constexpr (std::endian::native == std::endian::little)
        return j + size_t(std::countr_zero(diff)) / 8;
      break;
    }
    j += 8;
  }
  while (j < Limit && Row[j] == Row[I]) ++j;
  return j;
}

}  // namespace

const char* const StampNotice = "\xC2\xA9 Zarnavis Kaarten 2003";

std::string UpdateStampText(double UpdateDate) {
  int day = 0, month = 0, year = 0;
  if (std::isfinite(UpdateDate) && std::fabs(UpdateDate) < 1e7)
    DecodeDayCount(UpdateDate, day, month, year);
  char date[32];
  std::snprintf(date, sizeof date, "%.2d-%.2d-%.4d", day, month, year);
  return std::string(StampNotice) + " - last update: " + date;
}

void EncodeRLE8Row(const uint8_t* Row, size_t Count, std::vector<uint8_t>& Out) {
  // At most two bytes per input byte: room for all of it first, then cut.
  const size_t start = Out.size();
  Out.resize(start + 2 * Count + 2);
  Out.resize(start + EncodeRLE8RowTo(Row, Count, Out.data() + start));
}

size_t EncodeRLE8RowTo(const uint8_t* Row, size_t Count, uint8_t* Out) {
  uint8_t* o = Out;
  size_t i = 0;
  const size_t last = Count - 1;
  while (i < Count) {
    if (i == last) {
      *o++ = 1;
      *o++ = Row[i];
      break;
    }
    if (Row[i + 1] == Row[i]) {
      if (i + 1 == last) {
        // Two equal bytes that end a row are two single runs.
        *o++ = 1;
        *o++ = Row[i];
        ++i;
        continue;
      }
      const size_t j = RunEnd(Row, i, std::min(Count, i + 255));
      *o++ = uint8_t(j - i);
      *o++ = Row[i];
      i = j;
      continue;
    }
    if (i + 1 == last) {
      *o++ = 1;
      *o++ = Row[i];
      *o++ = 1;
      *o++ = Row[i + 1];
      break;
    }
    if (Row[i + 2] == Row[i + 1]) {
      *o++ = 1;
      *o++ = Row[i];
      ++i;
      continue;
    }
    // Absolute run: bytes i and i + 1, then each byte that differs from its
    // predecessor, at most 255 in all; odd runs take one pad byte.
    size_t j = i + 2;
    while (j < Count && Row[j] != Row[j - 1] && j - i < 255) ++j;
    const size_t n = j - i;
    *o++ = 0;
    *o++ = uint8_t(n);
    std::memcpy(o, Row + i, n);
    o += n;
    if (n & 1) *o++ = 0;
    i = j;
  }
  return size_t(o - Out);
}

namespace {

void WriteWholeBitmap(const std::string& FileName, const TBitmap& Bitmap,
                      std::optional<int32_t> Date) {
  const int bits = Bitmap.BitsPerPixel();
  if (bits != 1 && bits != 4 && bits != 8) throw EGraphicsError("Conversion not supported.");
  std::vector<uint8_t> indexes(bits == 8 ? 0 : size_t(Bitmap.Width()));
  WriteRLE8File(
      FileName, Bitmap.Width(), Bitmap.Height(), Bitmap.Palette(),
      [&](int32_t Row) -> const uint8_t* {
        if (bits == 8) return Bitmap.ScanLine(Row);
        Bitmap.ExpandRow(Row, indexes.data());
        return indexes.data();
      },
      Date);
}

}  // namespace

void WriteBitmapFile(const std::string& FileName, const TBitmap& Bitmap,
                     std::optional<int32_t> Date) {
  WriteWholeBitmap(FileName, Bitmap, Date);
}

void ConvertChartBitmap(const std::string& OutputFile, const std::string& ChartFile, bool Stamp) {
  int32_t edition = 0, date = 0;
  std::vector<uint8_t> image;
  {
    TZRNFile chart(ChartFile, fmOpenRead, edition, date);
    chart.ReadBitmapFile(image);
    chart.Close();
  }
  TChartBytes bytes(image.data(), image.size());
  WriteChartImage(OutputFile, bytes, {edition, 0, image.size()}, nullptr, Stamp ? StampNotice : "",
                  date);
}

void ConvertChartBitmap(const std::string& OutputFile, const std::string& FileName,
                        TChartBytes& Chart, int32_t Date, bool Stamp) {
  const TZRNImage image = ReadZRNImage(Chart, FileName);
  WriteChartImage(OutputFile, Chart, image, nullptr, Stamp ? StampNotice : "", Date);
}

namespace {

// The whole image at once, for the images whose rows cannot be taken one by
// one: rows stored top down, or no palette (which raises).
void WriteWholeChartImage(const std::string& OutputFile, const uint8_t* Data, size_t Size,
                          TStream* Update, const std::string& StampText, int32_t Date) {
  if (!Update) {
    TBitmap bitmap;
    bitmap.LoadFromMemory(Data, Size);
    if (!StampText.empty()) DrawStampText(bitmap, StampText);
    WriteWholeBitmap(OutputFile, bitmap, Date);
    return;
  }
  TBaZBitmap chart, target;
  chart.LoadFromMemory(Data, Size);
  chart.SetWidth(chart.Width());
  ApplyBaZStream(*Update, std::move(chart), target);
  if (!StampText.empty()) DrawStampText(target, StampText);
  WriteWholeBitmap(OutputFile, target, Date);
}

}  // namespace

void WriteChartImage(const std::string& OutputFile, TChartBytes& Chart, const TZRNImage& Image,
                     TStream* Update, const std::string& StampText, int32_t Date) {
  const uint8_t* data = Chart.Data() + Image.Offset;
  TBmpRowReader reader(data, Image.Size, Chart.ArrivedFrom(Image.Offset));
  if (reader.TopDown() || reader.BitsPerPixel() > 8) {
    Chart.Complete();
    WriteWholeChartImage(OutputFile, data, Image.Size, Update, StampText, Date);
    return;
  }
  std::optional<TBaZRowPatches> patches;
  if (Update) patches.emplace(*Update, reader.Palette(), reader.Width(), reader.Height());
  TStampedRows rows(reader, StampText, patches ? &*patches : nullptr);
  WriteRLE8File(OutputFile, reader.Width(), reader.Height(),
                patches ? patches->Palette() : reader.Palette(), std::ref(rows), Date,
                [&Chart] { Chart.Complete(); });
}
