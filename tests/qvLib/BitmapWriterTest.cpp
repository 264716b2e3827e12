#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "ChartTestUtil.h"
#include "FileTimes.h"
#include "InChild.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t A = 0xA1, B = 0xB2, C = 0xC3, D = 0xD4;

Bytes Encode(const Bytes& Row) {
  Bytes out;
  EncodeRLE8Row(Row.data(), Row.size(), out);
  return out;
}

TEST(Rle8Encoder, Examples) {
  const struct {
    Bytes Row;
    Bytes Encoded;
  } cases[] = {
      {{A, A, B}, {2, A, 1, B}},
      {{A, B, C}, {0, 3, A, B, C, 0}},
      {{A, B, C, C}, {0, 3, A, B, C, 0, 1, C}},
      {{A, A, B, C}, {2, A, 1, B, 1, C}},
      {{A, A, A, A}, {4, A}},
      {{A, A}, {1, A, 1, A}},
      {{A, B, B}, {1, A, 1, B, 1, B}},
      {{A, B, C, D, D, D}, {0, 4, A, B, C, D, 1, D, 1, D}},
      {{A}, {1, A}},
      {{A, B}, {1, A, 1, B}},
      {{A, B, A, B, A}, {0, 5, A, B, A, B, A, 0}},
      {{A, A, A, B, B, B, B}, {3, A, 4, B}},
  };
  for (const auto& c : cases) EXPECT_EQ(Encode(c.Row), c.Encoded) << c.Row.size();
}

// Runs of every length around the word size and the 255 limit, at every
// offset into the row: a repeat run takes at most 255 bytes, and the row
// decodes back to itself.
TEST(Rle8Encoder, LongRunsAtEveryOffset) {
  for (size_t lead = 0; lead < 9; ++lead) {
    for (size_t len : {2u, 7u, 8u, 9u, 15u, 16u, 17u, 63u, 254u, 255u, 256u, 300u, 511u, 600u}) {
      Bytes row;
      for (size_t i = 0; i < lead; ++i) row.push_back(uint8_t(i * 2 + 1));
      row.insert(row.end(), len, 0x42);
      row.insert(row.end(), {1, 2, 3});
      const Bytes out = Encode(row);
      Bytes back;
      for (size_t i = 0; i + 1 < out.size();) {
        if (out[i] > 0) {
          back.insert(back.end(), out[i], out[i + 1]);
          i += 2;
        } else {
          const size_t n = out[i + 1];
          back.insert(back.end(), out.begin() + long(i + 2), out.begin() + long(i + 2 + n));
          i += 2 + n + (n & 1);
        }
      }
      EXPECT_EQ(back, row) << lead << " " << len;
      // Two or more leading bytes start an absolute run, which takes the
      // run's first byte along.
      const size_t runLength = lead >= 2 ? len - 1 : len;
      if (runLength < 2) continue;
      const Bytes repeat = {uint8_t(std::min<size_t>(runLength, 255)), 0x42};
      EXPECT_NE(std::search(out.begin(), out.end(), repeat.begin(), repeat.end()), out.end())
          << lead << " " << len;
    }
  }
}

TEST(Rle8Encoder, LongRunsSplitAt255) {
  Bytes row255(255, A), row256(256, A), row600(600, B);
  EXPECT_EQ(Encode(row255), (Bytes{255, A}));
  EXPECT_EQ(Encode(row256), (Bytes{255, A, 1, A}));
  EXPECT_EQ(Encode(row600), (Bytes{255, B, 255, B, 90, B}));
  Bytes distinct(300);
  for (size_t i = 0; i < distinct.size(); ++i) distinct[i] = uint8_t(i * 7 + 1);
  const Bytes e = Encode(distinct);
  ASSERT_GE(e.size(), 258u);
  EXPECT_EQ(e[0], 0);
  EXPECT_EQ(e[1], 255);
  EXPECT_EQ(e[2 + 255], 0);  // pad after the odd run
  EXPECT_EQ(e[258], 0);      // then the remaining 45 as an absolute run
  EXPECT_EQ(e[259], 45);
}

// Decodes one row of pieces, checking each piece's limits.
Bytes DecodeRow(const Bytes& E) {
  Bytes row;
  for (size_t i = 0; i < E.size();) {
    if (E[i] != 0) {
      row.insert(row.end(), E[i], E[i + 1]);
      i += 2;
      continue;
    }
    const int n = E[i + 1];
    EXPECT_GE(n, 3);
    row.insert(row.end(), E.begin() + long(i) + 2, E.begin() + long(i) + 2 + n);
    i += 2 + n + (n & 1);
  }
  return row;
}

TEST(Rle8Encoder, RandomRowsDecodeBack) {
  std::mt19937 rng(99);
  for (int round = 0; round < 3000; ++round) {
    Bytes row(rng() % 700 + 1);
    const unsigned colours = rng() % 4 + 1;
    for (auto& b : row) b = uint8_t(rng() % 3 == 0 ? rng() : rng() % colours);
    ASSERT_EQ(DecodeRow(Encode(row)), row) << round;
  }
}

TEST(WriteBitmapFile, HeaderPaletteAndPixelsReadByPillow) {
  TempDir dir;
  for (int bits : {1, 4, 8}) {
    SCOPED_TRACE(bits);
    const int colours = bits == 8 ? 40 : 1 << bits;
    const TBitmap bitmap = TestBitmap(bits, 211, 37, colours, 5 + bits);
    const std::string name = dir / ("out" + std::to_string(bits) + ".bmp");
    WriteBitmapFile(name, bitmap);
    const Bytes f = ReadFileBytes(name);
    ASSERT_GT(f.size(), 1078u);
    EXPECT_EQ(f[0], 'B');
    EXPECT_EQ(f[1], 'M');
    EXPECT_EQ(LE32(f, 2), f.size());
    EXPECT_EQ(LE32(f, 6), 0u);
    EXPECT_EQ(LE32(f, 10), 1078u);
    EXPECT_EQ(LE32(f, 14), 40u);
    EXPECT_EQ(LE32(f, 18), 211u);
    EXPECT_EQ(LE32(f, 22), 37u);
    EXPECT_EQ(f[26] | f[27] << 8, 1);
    EXPECT_EQ(f[28] | f[29] << 8, 8);
    EXPECT_EQ(LE32(f, 30), 1u);
    EXPECT_EQ(LE32(f, 34), f.size() - 1078);
    EXPECT_EQ(LE32(f, 38), 2835u);
    EXPECT_EQ(LE32(f, 42), 2835u);
    EXPECT_EQ(LE32(f, 46), 0u);
    EXPECT_EQ(LE32(f, 50), 0u);
    for (int i = 0; i < 256; ++i) {
      const TRGB want = i < colours ? bitmap.Palette()[i] : TRGB{};
      EXPECT_EQ(f[54 + 4 * i], want.Blue);
      EXPECT_EQ(f[54 + 4 * i + 1], want.Green);
      EXPECT_EQ(f[54 + 4 * i + 2], want.Red);
      EXPECT_EQ(f[54 + 4 * i + 3], 0);
    }
    EXPECT_EQ(f[f.size() - 4], 0);  // last row's end of line, then end of bitmap
    EXPECT_EQ(f[f.size() - 3], 0);
    EXPECT_EQ(f[f.size() - 2], 0);
    EXPECT_EQ(f[f.size() - 1], 1);

    const TDecoded d = PilDecode(name);
    ASSERT_TRUE(d.Ok);
    EXPECT_EQ(d.Mode, "P");
    ASSERT_EQ(d.Width, 211);
    ASSERT_EQ(d.Height, 37);
    int mismatches = 0;
    for (int y = 0; y < 37; ++y)
      for (int x = 0; x < 211; ++x)
        if (d.Indexes[size_t(y) * 211 + x] != bitmap.PixelIndex(x, y)) ++mismatches;
    EXPECT_EQ(mismatches, 0);
  }
}

TEST(WriteBitmapFile, RefusesTrueColour) {
  TempDir dir;
  TBitmap rgb;
  rgb.SetPixelFormat(24);
  rgb.SetSize(3, 3);
  try {
    WriteBitmapFile(dir / "x.bmp", rgb);
    FAIL();
  } catch (const EGraphicsError& e) {
    EXPECT_EQ(e.Message(), "Conversion not supported.");
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "x.bmp"));
}

int CountFiles(const std::string& Folder) {
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(Folder)) files += !e.path().empty();
  return files;
}

// A failed write leaves the installed bitmap as it was and no stray file.
TEST(WriteBitmapFile, FailureLeavesTheTargetAlone) {
  TempDir dir;
  const TBitmap bitmap = TestBitmap(8, 50, 20, 16, 3);
  // A target that is a folder: the rename fails, the temporary file goes.
  std::filesystem::create_directory(dir / "sub.bmp");
  std::filesystem::create_directory(dir / "sub.bmp/x");
  EXPECT_THROW(WriteBitmapFile(dir / "sub.bmp", bitmap), EStreamError);
  EXPECT_EQ(CountFiles(dir.Path()), 1);
  EXPECT_THROW(WriteBitmapFile(dir / "missing/a.bmp", bitmap), EStreamError);

  // A folder the writer may not write into. Root may write anywhere, so the
  // write runs as a user without root rights.
  const std::string target = dir / "180105_120_2003.bmp";
  WriteFileText(target, "old chart");
  ::chmod(dir.Path().c_str(), 0555);
  const int status = InChildWithoutRoot([&] {
    if (::access(dir.Path().c_str(), W_OK) == 0) return 3;
    try {
      WriteBitmapFile(target, bitmap);
      return 1;
    } catch (const EStreamError& e) {
      return e.Message() == "Cannot create file " + target ? 0 : 2;
    }
  });
  ::chmod(dir.Path().c_str(), 0755);
  // 1 written, 2 another error, 3 the folder was writable after all.
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadFileBytes(target), (Bytes{'o', 'l', 'd', ' ', 'c', 'h', 'a', 'r', 't'}));
  EXPECT_EQ(CountFiles(dir.Path()), 2);
}

TEST(WriteBitmapFile, OverwritesAnExistingFile) {
  TempDir dir;
  const std::string target = dir / "a.bmp";
  WriteFileBytes(target, Bytes(5000, 7));
  WriteBitmapFile(target, TestBitmap(8, 3, 2, 4, 1));
  const Bytes f = ReadFileBytes(target);
  EXPECT_EQ(LE32(f, 2), f.size());
  EXPECT_LT(f.size(), 1200u);
}

TEST(StampLine, UpdateText) {
  // 2003-12-08 is day 37963 of the day count.
  EXPECT_EQ(UpdateStampText(37963.75), std::string(StampNotice) + " - last update: 08-12-2003");
  EXPECT_EQ(UpdateStampText(36526.0), std::string(StampNotice) + " - last update: 01-01-2000");
  EXPECT_EQ(UpdateStampText(38046.0), std::string(StampNotice) + " - last update: 29-02-2004");
}

}  // namespace
