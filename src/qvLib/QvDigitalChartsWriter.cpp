// Installed chart bitmaps: 8-bit BMP files with a 40-byte information
// header, a 256-entry palette and RLE8 pixel data, rows bottom-up, each row
// closed by 00 00 and the image by 00 01.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "FileTimes.h"
#include "QvDigitalCharts.h"

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

void BuildHeader(uint8_t* H, const TBitmap& Bitmap, uint32_t FileSize) {
  std::fill(H, H + HeaderBytes, 0);
  H[0] = 'B';
  H[1] = 'M';
  PutU32(H + 2, FileSize);
  PutU32(H + 10, PixelDataOffset);
  PutU32(H + 14, 40);
  PutU32(H + 18, uint32_t(Bitmap.Width()));
  PutU32(H + 22, uint32_t(Bitmap.Height()));
  PutU16(H + 26, 1);
  PutU16(H + 28, 8);
  PutU32(H + 30, 1);  // RLE8
  PutU32(H + 34, FileSize == 0 ? 0 : FileSize - PixelDataOffset);
  PutU32(H + 38, PixelsPerMetre);
  PutU32(H + 42, PixelsPerMetre);
}

// A hidden file beside Target that the finished bitmap is renamed from.
std::string CreateTemporaryBeside(const std::string& Target) {
  const std::filesystem::path target(Target);
  std::string name = ".";
  name += target.filename().string();
  name += ".XXXXXX";
  std::string pattern = (target.parent_path() / name).string();
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) throw EStreamError("Cannot create file " + Target);
  ::fchmod(fd, 0644);
  ::close(fd);
  return pattern;
}

void SyncFile(const std::string& FileName) {
  const int fd = ::open(FileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  const int rc = ::fsync(fd);
  ::close(fd);
  if (rc != 0) throw EStreamError("Write failed in " + FileName);
}

bool IsEightBit(const TBitmap& Bitmap) {
  return Bitmap.BitsPerPixel() == 8;
}

void WriteBitmapStream(TBufferedFileStream& File, const TBitmap& Bitmap) {
  uint8_t header[HeaderBytes];
  BuildHeader(header, Bitmap, 0);
  File.WriteBuffer(header, HeaderBytes);
  uint8_t palette[1024] = {};
  const auto& entries = Bitmap.Palette();
  for (size_t i = 0; i < entries.size() && i < 256; ++i) {
    palette[4 * i] = entries[i].Blue;
    palette[4 * i + 1] = entries[i].Green;
    palette[4 * i + 2] = entries[i].Red;
  }
  File.WriteBuffer(palette, sizeof palette);

  // One scratch row for the indexes of 1- and 4-bit images and one for the
  // encoded row (two bytes per pixel at most, plus the end-of-line mark).
  const size_t width = size_t(Bitmap.Width());
  std::vector<uint8_t> indexes(IsEightBit(Bitmap) ? 0 : width);
  std::vector<uint8_t> encoded(2 * width + 4);
  for (int32_t row = Bitmap.Height() - 1; row >= 0; --row) {
    const uint8_t* pixels = Bitmap.ScanLine(row);
    if (!IsEightBit(Bitmap)) {
      Bitmap.ExpandRow(row, indexes.data());
      pixels = indexes.data();
    }
    size_t n = width == 0 ? 0 : EncodeRLE8RowTo(pixels, width, encoded.data());
    encoded[n++] = 0;
    encoded[n++] = 0;
    File.WriteBuffer(encoded.data(), int64_t(n));
  }
  const uint8_t endOfBitmap[2] = {0, 1};
  File.WriteBuffer(endOfBitmap, 2);

  const int64_t size = File.GetSize();
  if (size > int64_t(UINT32_MAX)) throw EGraphicsError("Bitmap file too large.");
  BuildHeader(header, Bitmap, uint32_t(size));
  File.Seek(0, soFromBeginning);
  File.WriteBuffer(header, HeaderBytes);
}

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
  const uint64_t pattern = uint64_t(Row[I]) * 0x0101010101010101ULL;
  size_t j = I + 1;
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

void WriteBitmapFile(const std::string& FileName, const TBitmap& Bitmap) {
  const int bits = Bitmap.BitsPerPixel();
  if (bits != 1 && bits != 4 && bits != 8) throw EGraphicsError("Conversion not supported.");
  const std::string temporary = CreateTemporaryBeside(FileName);
  try {
    TBufferedFileStream file(temporary, 65536, fmCreate);
    WriteBitmapStream(file, Bitmap);
    file.Close();
    SyncFile(temporary);
    if (std::rename(temporary.c_str(), FileName.c_str()) != 0)
      throw EStreamError("Cannot create file " + FileName);
  } catch (...) {
    std::remove(temporary.c_str());
    throw;
  }
}

void ConvertChartBitmap(const std::string& OutputFile, const std::string& ChartFile, bool Stamp) {
  int32_t edition = 0, date = 0;
  TBitmap bitmap;
  {
    TZRNFile chart(ChartFile, fmOpenRead, edition, date);
    chart.ReadBitmap(bitmap);
    chart.Close();
  }
  if (Stamp) DrawStampText(bitmap, StampNotice);
  WriteBitmapFile(OutputFile, bitmap);
  if (!FileSetDate(OutputFile, date)) throw EStreamError("Cannot set the date of " + OutputFile);
}
