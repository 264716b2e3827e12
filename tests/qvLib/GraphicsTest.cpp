#include <gtest/gtest.h>

#include <cstdlib>

#include "ChartTestUtil.h"
#include "QvGraphics.h"
#include "Streams.h"
#include "TempDir.h"

namespace {

void LoadBytes(TBitmap& Bitmap, const std::vector<uint8_t>& Bytes) {
  Bitmap.LoadFromMemory(Bytes.data(), Bytes.size());
}

// Every format the reader takes, against the pixels Pillow decodes.
TEST(BmpReader, MatchesIndependentDecoder) {
  TempDir dir;
  const std::string cmd =
      "/usr/bin/python3 " + TestSourceDir() + "/make_bmp_cases.py " + dir.Path() + " 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
  const struct {
    const char* Name;
    int Bits;
  } cases[] = {{"bits1", 1},         {"bits4", 4},   {"bits4_12colours", 4}, {"bits8", 8},
               {"bits8_topdown", 8}, {"bits24", 24}, {"core8", 8},           {"core1", 1},
               {"rle8", 8},          {"rle4", 4}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TBitmap bitmap;
    TMemoryStream stream(ReadFileBytes(dir / (std::string(c.Name) + ".bmp")));
    bitmap.LoadFromStream(stream);
    const std::vector<uint8_t> rgb = ReadFileBytes(dir / (std::string(c.Name) + ".rgb"));
    ASSERT_EQ(bitmap.BitsPerPixel(), c.Bits);
    ASSERT_EQ(rgb.size(), size_t(bitmap.Width()) * bitmap.Height() * 3);
    int mismatches = 0;
    for (int y = 0; y < bitmap.Height(); ++y)
      for (int x = 0; x < bitmap.Width(); ++x) {
        const TRGB p = bitmap.PixelColour(x, y);
        const uint8_t* e = &rgb[(size_t(y) * bitmap.Width() + x) * 3];
        if (p != TRGB{e[0], e[1], e[2]}) ++mismatches;
      }
    EXPECT_EQ(mismatches, 0);
  }
}

// Hand-made RLE8 streams: escapes, clipping, early ends.
TEST(BmpReader, Rle8Escapes) {
  const struct {
    const char* What;
    std::vector<uint8_t> Data;
    std::vector<uint8_t> Indexes;  // rows top to bottom, 4 x 2
  } cases[] = {
      {"runs and end of line", {4, 1, 0, 0, 2, 2, 2, 3, 0, 1}, {2, 2, 3, 3, 1, 1, 1, 1}},
      {"absolute run with pad", {0, 3, 1, 2, 3, 0, 1, 3, 0, 0, 0, 1}, {0, 0, 0, 0, 1, 2, 3, 3}},
      {"delta skips pixels", {1, 1, 0, 2, 2, 1, 1, 2, 0, 1}, {0, 0, 0, 2, 1, 0, 0, 0}},
      {"run beyond the width is clipped", {9, 3, 0, 0, 4, 1, 0, 1}, {1, 1, 1, 1, 3, 3, 3, 3}},
      {"no end of bitmap", {4, 2}, {0, 0, 0, 0, 2, 2, 2, 2}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    TBitmap bitmap;
    LoadBytes(bitmap, Rle8BmpFile(4, 2, c.Data));
    std::vector<uint8_t> got;
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 4; ++x) got.push_back(bitmap.PixelIndex(x, y));
    EXPECT_EQ(got, c.Indexes);
  }
}

TEST(BmpReader, RefusesBrokenFiles) {
  std::vector<uint8_t> good = Rle8BmpFile(4, 2, {4, 1, 0, 0, 4, 2, 0, 1});
  auto with = [&](size_t Offset, uint32_t Value, int Bytes) {
    std::vector<uint8_t> f = good;
    for (int i = 0; i < Bytes; ++i) f[Offset + i] = uint8_t(Value >> (8 * i));
    return f;
  };
  const struct {
    const char* What;
    std::vector<uint8_t> File;
  } cases[] = {
      {"no signature", with(0, 'X', 1)},
      {"unknown header size", with(14, 20, 4)},
      {"16 bits", with(28, 16, 2)},
      {"bitfields", with(30, 3, 4)},
      {"RLE4 on 8 bits", with(30, 2, 4)},
      {"zero width", with(18, 0, 4)},
      {"absurd size", with(18, 0x7FFFFFFF, 4)},
      {"overflowing size", with(22, 0x10000, 4)},
      {"short file", std::vector<uint8_t>(good.begin(), good.begin() + 20)},
      {"palette beyond the end", with(46, 200, 4)},
      {"run cut short", Rle8BmpFile(4, 2, {4})},
      {"absolute run cut short", Rle8BmpFile(4, 2, {0, 5, 1, 2})},
  };
  for (const auto& c : cases) {
    TBitmap bitmap;
    EXPECT_THROW(LoadBytes(bitmap, c.File), EGraphicsError) << c.What;
  }
  // Uncompressed pixel data that the file does not hold.
  std::vector<uint8_t> plain = with(30, 0, 4);
  plain.resize(14 + 40 + 16 + 7);
  TBitmap bitmap;
  EXPECT_THROW(LoadBytes(bitmap, plain), EGraphicsError);
}

TEST(NearestColour, ExactNearestAndTies) {
  const std::vector<TRGB> palette = {{0, 0, 0},   {255, 0, 0},  {0, 0, 255},
                                     {255, 0, 0}, {10, 10, 10}, {200, 200, 200}};
  TNearestColour nearest(palette);
  const struct {
    TRGB Colour;
    uint8_t Index;
  } cases[] = {
      {{255, 0, 0}, 1},  // exact: first entry of that colour
      {{0, 0, 255}, 2}, {{10, 10, 10}, 4},
      {{6, 6, 6}, 4},   {{5, 5, 5}, 0},  // 75 to entry 0 and to entry 4: ties go low
      {{181, 1, 1}, 1}, {{150, 150, 160}, 5},
      {{0, 0, 100}, 4}, {{0, 0, 140}, 2},
  };
  for (const auto& c : cases) {
    // Twice: the second answer comes from the cache.
    EXPECT_EQ(nearest.Map(c.Colour), c.Index) << int(c.Colour.Red) << "," << int(c.Colour.Blue);
    EXPECT_EQ(nearest.Map(c.Colour), c.Index);
  }
  // A new palette forgets the cache.
  nearest.SetPalette({{255, 255, 255}, {180, 0, 0}});
  EXPECT_EQ(nearest.Map(TRGB{255, 0, 0}), 1);
  EXPECT_EQ(nearest.Map(TRGB{6, 6, 6}), 1);
}

TEST(NearestColour, CacheCollisionsStayCorrect) {
  std::vector<TRGB> palette;
  for (int i = 0; i < 256; ++i) palette.push_back({uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)});
  TNearestColour nearest(palette);
  for (int round = 0; round < 2; ++round)
    for (int i = 0; i < 256; ++i) ASSERT_EQ(nearest.Map(palette[i]), i) << i;
}

TEST(Bitmap, PixelFormatsAndSizes) {
  TBitmap b;
  b.SetPixelFormat(4);
  b.SetSize(5, 3);
  EXPECT_EQ(b.RowBytes(), 3u);
  b.SetPixelIndex(4, 2, 9);
  b.SetPixelIndex(3, 2, 6);
  EXPECT_EQ(b.ScanLine(2)[1], 0x06);
  EXPECT_EQ(b.ScanLine(2)[2], 0x90);
  b.SetSize(5, 3);  // same size keeps the pixels
  EXPECT_EQ(b.PixelIndex(4, 2), 9);
  b.SetPixelFormat(1);
  b.SetSize(9, 1);
  b.SetPixelIndex(8, 0, 1);
  EXPECT_EQ(b.ScanLine(0)[1], 0x80);
  EXPECT_THROW(b.SetPixelFormat(16), EGraphicsError);
  EXPECT_THROW(b.SetSize(40000, 2), EGraphicsError);
  EXPECT_THROW(b.SetSize(30000, 30000), EGraphicsError);
  EXPECT_THROW(b.SetSize(-1, 2), EGraphicsError);
}

// Sheet-sized images take their memory straight from the system: it must
// start as index 0 everywhere, copies must not share it, and a new size
// must clear it again.
TEST(Bitmap, LargeImagesStartBlankAndCopyByValue) {
  TBitmap b;
  b.SetSize(3000, 1000);
  size_t nonZero = 0;
  for (int y = 0; y < b.Height(); ++y)
    for (size_t x = 0; x < b.RowBytes(); ++x) nonZero += b.ScanLine(y)[x] != 0;
  EXPECT_EQ(nonZero, 0u);
  b.ScanLine(999)[2999] = 7;
  TBitmap copy = b;
  b.ScanLine(999)[2999] = 9;
  EXPECT_EQ(copy.ScanLine(999)[2999], 7);
  TBitmap moved = std::move(copy);
  EXPECT_EQ(moved.ScanLine(999)[2999], 7);
  copy = moved;
  EXPECT_EQ(copy.ScanLine(999)[2999], 7);
  b.SetSize(2999, 1000);
  EXPECT_EQ(b.ScanLine(999)[2998], 0);
}

TEST(StampText, DrawsOnlyIntoTheBottomCellInTheNearestRed) {
  TBitmap b;
  b.SetPixelFormat(8);
  b.SetSize(300, 40);
  b.SetPalette({{255, 255, 255}, {0, 0, 0}, {200, 0, 0}, {180, 0, 10}, {0, 0, 200}});
  DrawStampText(b, "Abc 08-12-2003");
  const int cellTop = 40 - TStampFont::Get().TextHeight();
  EXPECT_GE(TStampFont::Get().TextHeight(), 9);
  EXPECT_LE(TStampFont::Get().TextHeight(), 16);
  int drawn = 0, maxX = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 300; ++x) {
      const uint8_t index = b.PixelIndex(x, y);
      if (index == 0) continue;
      EXPECT_EQ(index, 3) << x << "," << y;
      EXPECT_GE(y, cellTop);
      ++drawn;
      maxX = std::max(maxX, x);
    }
  EXPECT_GT(drawn, 40);
  EXPECT_LE(maxX, TStampFont::Get().TextWidth("Abc 08-12-2003"));
  EXPECT_GT(maxX, 50);
}

TEST(StampText, ClipsOnTinyImagesAndWorksOnFourBits) {
  TBitmap b;
  b.SetPixelFormat(4);
  b.SetSize(7, 3);
  b.SetPalette({{0, 0, 0}, {181, 1, 1}});
  EXPECT_NO_THROW(DrawStampText(b, "Wide text that does not fit"));
  TBitmap rgb;
  rgb.SetPixelFormat(24);
  rgb.SetSize(2, 2);
  EXPECT_THROW(DrawStampText(rgb, "x"), EGraphicsError);
}

}  // namespace

namespace {

// A 4-bit RLE4 file of the given size with a grey palette and Data as its
// pixel stream.
std::vector<uint8_t> Rle4File(int32_t Width, int32_t Height, const std::vector<uint8_t>& Data) {
  std::vector<uint8_t> f;
  auto u16 = [&f](uint32_t v) {
    f.push_back(uint8_t(v));
    f.push_back(uint8_t(v >> 8));
  };
  auto u32 = [&u16](uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  };
  const uint32_t offBits = 14 + 40 + 16 * 4;
  f.push_back('B');
  f.push_back('M');
  u32(offBits + uint32_t(Data.size()));
  u32(0);
  u32(offBits);
  u32(40);
  u32(uint32_t(Width));
  u32(uint32_t(Height));
  u16(1);
  u16(4);
  u32(2);  // RLE4
  u32(uint32_t(Data.size()));
  u32(0);
  u32(0);
  u32(16);
  u32(0);
  for (int i = 0; i < 16; ++i) u32(uint32_t(i * 0x111111));
  f.insert(f.end(), Data.begin(), Data.end());
  return f;
}

}  // namespace

// Repeat runs that start on odd and even pixels, and runs that reach past
// the row's end, in an image of odd width.
TEST(BmpReader, Rle4RunsAtOddAndEvenPixels) {
  const auto file = Rle4File(7, 2,
                             {3, 0x12, 5, 0x34, 0, 0,          // bottom row
                              2, 0x50, 8, 0x67, 0, 0, 0, 1});  // top row
  TBitmap bitmap;
  TMemoryStream stream(file);
  bitmap.LoadFromStream(stream);
  const std::vector<uint8_t> top = {5, 0, 6, 7, 6, 7, 6};
  const std::vector<uint8_t> bottom = {1, 2, 1, 3, 4, 3, 4};
  std::vector<uint8_t> row(7);
  bitmap.ExpandRow(0, row.data());
  EXPECT_EQ(row, top);
  bitmap.ExpandRow(1, row.data());
  EXPECT_EQ(row, bottom);
  for (int x = 0; x < 7; ++x) EXPECT_EQ(bitmap.PixelIndex(x, 1), bottom[size_t(x)]) << x;
}
