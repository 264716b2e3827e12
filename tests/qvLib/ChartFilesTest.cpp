#include <gtest/gtest.h>

#include <filesystem>

#include "ChartTestUtil.h"
#include "ErrorOf.h"
#include "FileTimes.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ChartFileBytes(uint32_t Code, uint16_t Edition, const Bytes& Image,
                     int32_t Length = INT32_MIN) {
  TMemoryStream s;
  s.WriteBuffer("ZRN2", 4);
  s.WriteUInt32(Code);
  s.WriteWord(Edition);
  s.WriteInt32(Length != INT32_MIN ? Length : int32_t(Image.size()));
  s.WriteBuffer(Image.data(), int64_t(Image.size()));
  return s.Data();
}

TEST(ZRNFile, CreateThenReadBack) {
  TempDir dir;
  const std::string name = dir / "1801051a.zrn";
  const TBitmap image = TestBitmap(4, 33, 21, 16, 17);
  const int32_t date = EncodeFileDate(2003, 4, 17, 10, 30, 0);
  WriteTestChart(name, image, false, -1, date);
  const Bytes f = ReadFileBytes(name);
  EXPECT_EQ(Bytes(f.begin(), f.begin() + 10),
            (Bytes{'Z', 'R', 'N', '2', 0x1A, 0x05, 0x01, 0x00, 0xFF, 0xFF}));
  int32_t edition = 0, got = 0;
  TZRNFile chart(name, fmOpenRead, edition, got);
  EXPECT_EQ(edition, -1);  // sign-extended
  EXPECT_EQ(got, date);
  TBitmap back;
  chart.ReadBitmap(back);
  EXPECT_EQ(back.BitsPerPixel(), 4);
  ASSERT_EQ(back.Width(), 33);
  ASSERT_EQ(back.Height(), 21);
  EXPECT_EQ(back.Palette(), image.Palette());
  for (int y = 0; y < 21; ++y)
    for (int x = 0; x < 33; ++x) ASSERT_EQ(back.PixelIndex(x, y), image.PixelIndex(x, y));
}

TEST(ZRNFile, Errors) {
  TempDir dir;
  const Bytes image = SaveBitmapToMemory(TestBitmap(8, 4, 4, 4, 1), false);
  const struct {
    const char* File;
    Bytes Content;
    std::string Message;
  } cases[] = {
      {"chart.zrn", ChartFileBytes(0x00010500, 2003, image),
       "\"chart\" is not a valid .zrn filename."},
      {"180105.zrn", Bytes{'Z', 'R', 'N', '1', 0, 5, 1, 0, 0xD3, 7},
       "Invalid header. This is not a .zrn file."},
      {"180105.zrn", ChartFileBytes(0x00010505, 2003, image),
       "Invalid code. This is not a .zrn file."},
      {"180105.zrn", ChartFileBytes(0x00010600, 2003, image),
       "Invalid code. This is not a valid .zrn file."},
  };
  for (const auto& c : cases) {
    WriteFileBytes(dir / c.File, c.Content);
    int32_t edition = 0, date = 0;
    EXPECT_EQ(ErrorOf([&] { TZRNFile f(dir / c.File, fmOpenRead, edition, date); }), c.Message)
        << c.File;
  }
  EXPECT_EQ(ErrorOf([&] {
              int32_t e = 0, d = 0;
              TZRNFile f(dir / "180107.zrn", fmOpenRead, e, d);
            }),
            "Cannot open file " + (dir / "180107.zrn"));
  // A file too short for its magic fails like any read beyond the end.
  WriteFileBytes(dir / "180108.zrn", Bytes{'Z', 'R'});
  EXPECT_EQ(ErrorOf([&] {
              int32_t e = 0, d = 0;
              TZRNFile f(dir / "180108.zrn", fmOpenRead, e, d);
            }),
            "Read beyond end of file in " + std::filesystem::absolute(dir / "180108.zrn").string());
}

TEST(ZRNFile, CodeMayDifferInCaseOnly) {
  TempDir dir;
  const Bytes image = SaveBitmapToMemory(TestBitmap(8, 4, 4, 4, 1), false);
  WriteFileBytes(dir / "180105F.zrn", ChartFileBytes(0x000105F0, 2003, image));
  int32_t edition = 0, date = 0;
  TZRNFile f(dir / "180105F.zrn", fmOpenRead, edition, date);
  EXPECT_EQ(edition, 2003);
}

TEST(ZRNFile, ImageShorterThanItsLength) {
  TempDir dir;
  const Bytes image = SaveBitmapToMemory(TestBitmap(8, 4, 4, 4, 1), false);
  for (int32_t length : {int32_t(image.size() + 1), int32_t(0x7FFFFFFF), int32_t(-5)}) {
    SCOPED_TRACE(length);
    WriteFileBytes(dir / "180105.zrn", ChartFileBytes(0x00010500, 2003, image, length));
    int32_t edition = 0, date = 0;
    TZRNFile f(dir / "180105.zrn", fmOpenRead, edition, date);
    TBitmap b;
    EXPECT_EQ(
        ErrorOf([&] { f.ReadBitmap(b); }),
        "Read beyond end of file in " + std::filesystem::absolute(dir / "180105.zrn").string());
  }
}

// The installed bitmap holds the chart's pixels outside the stamp's cell,
// as Pillow reads them, and the chart's date.
TEST(ConvertChartBitmap, PixelsAndDate) {
  TempDir dir;
  const int32_t date = EncodeFileDate(2003, 2, 1, 8, 0, 0);
  for (int bits : {1, 4, 8}) {
    for (bool rle : {false, true}) {
      if (rle && bits != 8) continue;
      SCOPED_TRACE(std::to_string(bits) + (rle ? " rle" : ""));
      const TBitmap image = TestBitmap(bits, 240, 60, bits == 8 ? 60 : 1 << bits, 40 + bits);
      WriteTestChart(dir / "180212.zrn", image, rle, ChartEdition, date);
      for (bool stamp : {false, true}) {
        const std::string out = dir / "180212_240_2003.bmp";
        ConvertChartBitmap(out, dir / "180212.zrn", stamp);
        EXPECT_EQ(FileAge(out), date);
        const TDecoded d = PilDecode(out);
        ASSERT_TRUE(d.Ok);
        ASSERT_EQ(d.Width, 240);
        ASSERT_EQ(d.Height, 60);
        const int cellTop = 60 - TStampFont::Get().TextHeight();
        int changed = 0, outside = 0;
        for (int y = 0; y < 60; ++y)
          for (int x = 0; x < 240; ++x)
            if (d.Indexes[size_t(y) * 240 + x] != image.PixelIndex(x, y)) {
              ++changed;
              if (y < cellTop) ++outside;
            }
        EXPECT_EQ(outside, 0);
        if (stamp)
          EXPECT_GT(changed, 0);
        else
          EXPECT_EQ(changed, 0);
      }
    }
  }
}

// The installer converts a chart row by row, gathering only the stamped
// bottom rows; the file must be the one that decoding the whole image,
// stamping it and writing it gives, for every format a chart file can hold
// and for images lower than the stamp.
TEST(ConvertChartBitmap, RowByRowEqualsWholeImage) {
  TempDir dir;
  const std::string cmd =
      "/usr/bin/python3 " + TestSourceDir() + "/make_bmp_cases.py " + dir.Path() + " 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
  std::vector<std::pair<std::string, Bytes>> images;
  for (const char* name : {"bits1", "bits4", "bits4_12colours", "bits8", "bits8_topdown", "core8",
                           "core1", "rle8", "rle4"})
    images.emplace_back(name, ReadFileBytes(dir / (std::string(name) + ".bmp")));
  images.emplace_back("chart-like 4 bits",
                      SaveBitmapToMemory(TestBitmap(4, 300, 90, 16, 7), false));
  images.emplace_back("chart-like rle8", SaveBitmapToMemory(TestBitmap(8, 300, 90, 99, 8), true));
  // A delta escape down three rows inside the stamp, then the end of the
  // bitmap long before the top row.
  images.emplace_back("escapes", Rle8BmpFile(40, 30, {40, 1, 0, 0, 0, 2, 5, 3, 10, 2, 0, 0,
                                                      20, 3, 0, 0, 0, 3, 1, 2, 3,  0, 0, 1}));
  uint32_t code = 0;
  ASSERT_TRUE(ChartNameToCode("180212", code));
  const std::string chart = dir / "180212.zrn";
  for (const auto& [what, image] : images) {
    for (bool stamp : {false, true}) {
      SCOPED_TRACE(what + (stamp ? " stamped" : ""));
      WriteFileBytes(chart, ChartFileBytes(code, uint16_t(ChartEdition), image));
      ConvertChartBitmap(dir / "rows.bmp", chart, stamp);
      TBitmap whole;
      whole.LoadFromMemory(image.data(), image.size());
      if (stamp) DrawStampText(whole, StampNotice);
      WriteBitmapFile(dir / "whole.bmp", whole);
      EXPECT_EQ(ReadFileBytes(dir / "rows.bmp"), ReadFileBytes(dir / "whole.bmp"));
    }
  }
  // True colour is refused either way.
  WriteFileBytes(chart,
                 ChartFileBytes(code, uint16_t(ChartEdition), ReadFileBytes(dir / "bits24.bmp")));
  EXPECT_THROW(ConvertChartBitmap(dir / "rows24.bmp", chart, true), EGraphicsError);
  EXPECT_FALSE(std::filesystem::exists(dir / "rows24.bmp"));
}

Bytes ZRAFile(const std::string& Name, int32_t Edition, const Bytes& Body) {
  TMemoryStream s;
  WriteZRAHeader(s, TZRAHeader{Name, Edition, 5, 123456, 654321});
  for (uint8_t b : Body) s.WriteByte(uint8_t(~b));
  return s.Data();
}

TEST(ChartArchive, HeaderAndComplementedBody) {
  TempDir dir;
  const Bytes body = {'P', 'K', 3, 4, 0, 0xFF, 0x80};
  WriteFileBytes(dir / "1801_240.zra", ZRAFile("1801 Noordzeekust", 2003, body));
  std::string name;
  int32_t edition = 0, count = 0;
  TChartSet set(dir / "1801_240.zra", "/inst/", name, edition, count);
  EXPECT_EQ(name, "1801 Noordzeekust");
  EXPECT_EQ(set.Code, "1801");
  EXPECT_EQ(edition, 2003);
  EXPECT_EQ(count, 5);
  EXPECT_EQ(set.Size, 123456);
  EXPECT_EQ(set.Size2, 654321);
  EXPECT_TRUE(set.Selected);
  EXPECT_EQ(set.Folder, "/inst/");
  EXPECT_EQ(set.OpenChartArchive()->Data(), body);

  WriteFileBytes(dir / "bad_120.zra", Bytes{'Z', 'R', 'A', '1', 0, 0, 0, 0});
  const std::string message = "LoadZRAFileHeader: This is not a valid .zra file.";
  EXPECT_EQ(ErrorOf([&] { OpenChartArchive(dir / "bad_120.zra"); }), message);
  EXPECT_EQ(ErrorOf([&] { TChartSets sets(dir / "bad", "/", 2003); }), message);
  EXPECT_EQ(ErrorOf([&] { FindChartSets(dir.Path(), "/"); }), message);
  // A name longer than the file.
  WriteFileBytes(dir / "bad_120.zra", Bytes{'Z', 'R', 'A', '2', 0xFF, 0xFF, 0, 0x10});
  EXPECT_THROW(OpenChartArchive(dir / "bad_120.zra"), EStreamError);
}

TEST(ChartArchive, EmptyName) {
  TempDir dir;
  TMemoryStream s;
  s.WriteBuffer("ZRA2", 4);
  s.WriteInt32(-4);
  for (int32_t v : {2003, 1, 2, 3}) s.WriteInt32(v);
  WriteFileBytes(dir / "x_120.zra", s.Data());
  TChartSets sets(dir / "x", "/", 2003);
  EXPECT_EQ(sets.Resolutions, 1);
  EXPECT_EQ(sets.Name, "");
  EXPECT_EQ(sets.Code, "");
}

TEST(ChartSets, ResolutionsAndEditions) {
  TempDir dir;
  WriteFileBytes(dir / "1803_240.zra", ZRAFile("1803 Westerschelde", 2003, {}));
  WriteFileBytes(dir / "1805_120.zra", ZRAFile("1805 Oosterschelde", 2003, {}));
  WriteFileBytes(dir / "1805_240.zra", ZRAFile("1805 Oosterschelde 2002", 2002, {}));
  WriteFileBytes(dir / "1807_120.zra", ZRAFile("1807 old", 2001, {}));
  WriteFileBytes(dir / "1807_240.zra", ZRAFile("1807 old", 2001, {}));
  WriteFileBytes(dir / "1801_120.zra", ZRAFile("1801 Noordzeekust", 2003, {}));
  WriteFileBytes(dir / "1801_240.ZRA", ZRAFile("1801 Noordzeekust", 2003, {}));
  WriteFileBytes(dir / "NNZK_240.Zra", ZRAFile("NNZK: Nederlandse Noordzeekust", 2003, {}));
  WriteFileText(dir / "readme.txt", "not an archive");

  TChartSets only240(dir / "1803", "/i/", 2003);
  EXPECT_EQ(only240.Resolutions, 2);
  EXPECT_EQ(only240.Code, "1803");
  EXPECT_EQ(only240.GetChartSet(0), nullptr);
  ASSERT_NE(only240.GetChartSet(1), nullptr);
  EXPECT_EQ(only240.GetChartSet(1)->Resolution, 1);
  EXPECT_FALSE(only240.GetSelected(0));
  EXPECT_EQ(only240.GetSize(0), 0);
  EXPECT_EQ(only240.GetSize(1), 123456);

  TChartSets mixed(dir / "1805", "/i/", 2003);
  EXPECT_EQ(mixed.Resolutions, 1);
  EXPECT_EQ(mixed.Name, "1805 Oosterschelde 2002");  // the last header read
  EXPECT_EQ(mixed.Edition, 2002);
  mixed.SetSelected(1, true);  // absent: nothing happens
  mixed.SetSelected(0, false);
  EXPECT_FALSE(mixed.GetSelected(0));
  mixed.DeleteChartSet(0);
  EXPECT_EQ(mixed.Resolutions, 0);
  mixed.DeleteChartSet(0);

  const TChartSetsList found = FindChartSets(dir.Path(), "/i/");
  std::vector<std::string> codes;
  for (const auto& sets : found)
    codes.push_back(sets->Code + ":" + std::to_string(sets->Resolutions));
  EXPECT_EQ(codes, (std::vector<std::string>{"1801:3", "1803:2", "1805:1", "NNZK:2"}));
  // Opened by their real names.
  EXPECT_EQ(std::filesystem::path(found[0]->GetChartSet(1)->FileName).filename(), "1801_240.ZRA");
  EXPECT_TRUE(FindChartSets(dir / "missing", "/i/").empty());
}

}  // namespace
