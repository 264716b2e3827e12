#include <gtest/gtest.h>

#include <cstring>

#include "ChartTestUtil.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A 4 x 3 chart; its 24-bit view has rows of 12 bytes.
constexpr int W = 4, H = 3, RowBytes = W * 3;

const std::vector<TRGB> ChartPalette = {{10, 20, 30}, {200, 0, 0}, {0, 150, 0}, {90, 90, 250}};

void MakeChart(TBaZBitmap& Chart) {
  Chart.SetHeight(H);
  Chart.SetWidth(W);
  Chart.SetPalette(ChartPalette);
  const uint8_t pixels[H][W] = {{0, 1, 2, 3}, {3, 3, 1, 0}, {2, 0, 0, 1}};
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) Chart.SetPixelIndex(x, y, pixels[y][x]);
  Chart.SetWidth(W);  // prepare the row buffer
}

// The update stream after the date: palette, count, record bytes.
TMemoryStream UpdateBody(const std::vector<TRGB>& Palette, int32_t Count, const Bytes& Records) {
  TMemoryStream s;
  for (int i = 0; i < 256; ++i) {
    const TRGB c = i < int(Palette.size()) ? Palette[i] : TRGB{255, 255, 255};
    s.WriteBuffer(&c.Red, 1);
    s.WriteBuffer(&c.Green, 1);
    s.WriteBuffer(&c.Blue, 1);
  }
  s.WriteInt32(Count);
  s.WriteBuffer(Records.data(), int64_t(Records.size()));
  s.SetPosition(0);
  return s;
}

// The chart's 24-bit view, built here from the palette by hand.
Bytes ChartView() {
  TBaZBitmap chart;
  MakeChart(chart);
  Bytes view;
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const TRGB c = ChartPalette[chart.PixelIndex(x, y)];
      view.insert(view.end(), {c.Blue, c.Green, c.Red});
    }
  return view;
}

int BruteNearest(const std::vector<TRGB>& Palette, uint8_t R, uint8_t G, uint8_t B) {
  int best = 0, bestD = 1 << 30;
  for (int i = 0; i < int(Palette.size()); ++i) {
    const int d = (Palette[i].Red - R) * (Palette[i].Red - R) +
                  (Palette[i].Green - G) * (Palette[i].Green - G) +
                  (Palette[i].Blue - B) * (Palette[i].Blue - B);
    if (d < bestD) bestD = d, best = i;
  }
  return best;
}

// What each pixel must become: the patched view mapped to the palette.
std::vector<int> Expected(const Bytes& View, const std::vector<TRGB>& Palette) {
  std::vector<TRGB> full = Palette;
  full.resize(256, TRGB{255, 255, 255});
  std::vector<int> out;
  for (size_t p = 0; p < View.size(); p += 3)
    out.push_back(BruteNearest(full, View[p + 2], View[p + 1], View[p]));
  return out;
}

std::vector<int> Indexes(const TBaZBitmap& B) {
  std::vector<int> out;
  for (int y = 0; y < B.Height(); ++y)
    for (int x = 0; x < B.Width(); ++x) out.push_back(B.PixelIndex(x, y));
  return out;
}

// A palette that holds every byte value as a grey, so that patched bytes
// survive the mapping in a recognisable way, plus the chart's colours.
std::vector<TRGB> UpdatePalette() {
  std::vector<TRGB> p = ChartPalette;
  p.push_back({255, 255, 0});
  for (int i = 0; p.size() < 256; ++i) p.push_back({uint8_t(i), uint8_t(i), uint8_t(i)});
  return p;
}

struct RecordCase {
  const char* What;
  Bytes Records;
  int32_t Count;
  // The writes the records must make: (position in the view, bytes).
  std::vector<std::pair<uint32_t, Bytes>> Writes;
};

const RecordCase RecordCases[] = {
    {"flags 05: short length, 1-byte skip",
     {0x05, 0x10, 1, 2, 3, 4, 5},
     1,
     {{16, {1, 2, 3, 4, 5}}}},
    {"flags 40 is like 00: 1-byte skip",
     {0x42, 0x03, 9, 8, 0x01, 0x01, 7},
     2,
     {{3, {9, 8}}, {6, {7}}}},
    {"flags 10: 1-byte length", {0x10, 0x02, 0x03, 1, 2, 3}, 1, {{2, {1, 2, 3}}}},
    {"flags 20: 2-byte length", {0x20, 0x00, 0x02, 0x00, 6, 7}, 1, {{0, {6, 7}}}},
    {"flags 30: 4-byte length", {0x30, 0x05, 0x01, 0, 0, 0, 44}, 1, {{5, {44}}}},
    {"flags 9F: 2-byte skip, 1-byte length, low bits ignored",
     {0x9F, 0x0A, 0x00, 0x02, 30, 31},
     1,
     {{10, {30, 31}}}},
    {"flags 80: 2-byte skip, short length 0 moves only",
     {0x80, 0x14, 0x00, 0x02, 0x01, 50, 51},
     2,
     {{21, {50, 51}}}},
    {"flags C0: 4-byte skip moves only, then the next record counts from there",
     {0xC0, 0x07, 0, 0, 0, 0x01, 0x00, 60},
     2,
     {{7, {60}}}},
    {"flags E0: 4-byte skip with 2-byte length",
     {0xE0, 0x01, 0, 0, 0, 0x03, 0x00, 1, 2, 3},
     1,
     {{1, {1, 2, 3}}}},
    {"positions wrap at 2^32",
     {0xC0, 0xF0, 0xFF, 0xFF, 0xFF, 0x02, 0x14, 70, 71},
     2,
     {{4, {70, 71}}}},
    {"a record from the last byte of a row runs into the next row",
     {0x04, 0x0B, 80, 81, 82, 83},
     1,
     {{11, {80, 81, 82, 83}}}},
    {"a record that spans three rows",
     {0x10, 0x05, 20, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20},
     1,
     {{5, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20}}}},
    {"a record beyond the last row is consumed, the next one applies",
     {0x83, 0x00, 0x01, 4, 5, 6, 0xC2, 0x01, 0xFF, 0xFF, 0xFF, 90, 91},
     2,
     {{4, {90, 91}}}},
    {"a record that runs off the end of the image", {0x05, 34, 1, 2, 3, 4, 5}, 1, {{34, {1, 2}}}},
    {"count 0 applies the palette only", {0x05, 0x10, 1, 2, 3, 4, 5}, 0, {}},
    {"a negative count is no records", {0x05, 0x10, 1, 2, 3, 4, 5}, -3, {}},
};

TEST(BaZApply, EveryRecordFormChangesExactlyItsBytes) {
  const std::vector<TRGB> palette = UpdatePalette();
  for (const RecordCase& c : RecordCases) {
    SCOPED_TRACE(c.What);
    TBaZBitmap chart, target;
    MakeChart(chart);
    TMemoryStream body = UpdateBody(palette, c.Count, c.Records);
    ApplyBaZStream(body, chart, target);
    Bytes view = ChartView();
    for (const auto& [position, data] : c.Writes)
      for (size_t i = 0; i < data.size() && position + i < view.size(); ++i)
        view[position + i] = data[i];
    EXPECT_EQ(Indexes(target), Expected(view, palette));
    EXPECT_EQ(target.Palette().size(), 256u);
    EXPECT_EQ(target.CurrentRow(), -1);
    EXPECT_FALSE(target.Dirty());
    if (c.Count > 0) {
      EXPECT_EQ(body.Position(), body.GetSize());
    }
  }
}

// Row by row, in any order of rows, the records give what they give the
// whole sheet: also when a run of records leaves a row and comes back to it
// (the row goes through the 24-bit view once per visit), with pieces that
// overlap inside one pixel.
TEST(BaZApply, RowByRowGivesWhatTheWholeSheetGets) {
  // Rows of 12 bytes: 24..25 (row 2); a skip of 2^32 - 22 wraps back to
  // 4..6 (row 0: green and red of pixel 1, blue of pixel 2); 13..14 (row 1);
  // back to 4..5 (row 0 again, a new visit); 6 (the same visit).
  const Bytes records = {0x02, 0x18, 40,   41,                          // 24..25, row 2
                         0xD0, 0xEA, 0xFF, 0xFF, 0xFF, 3, 1,   2,   3,  // wraps to 4..6, row 0
                         0x02, 0x06, 9,    9,                           // 13..14, row 1
                         0xD0, 0xF5, 0xFF, 0xFF, 0xFF, 2, 200, 201,     // back to 4..5, row 0
                         0x01, 0x00, 77};                               // 6, row 0, same visit
  for (const std::vector<TRGB>& palette : {UpdatePalette(), ChartPalette}) {
    TBaZBitmap chart, target;
    MakeChart(chart);
    TMemoryStream whole = UpdateBody(palette, 5, records);
    ApplyBaZStream(whole, chart, target);
    TMemoryStream rows = UpdateBody(palette, 5, records);
    TBaZRowPatches patches(rows, ChartPalette, W, H);
    EXPECT_EQ(patches.Palette(), target.Palette());
    for (int y : {H - 1, 0, 1}) {
      SCOPED_TRACE(y);
      uint8_t in[W], out[W];
      for (int x = 0; x < W; ++x) in[x] = chart.PixelIndex(x, y);
      patches.Apply(y, in, out);
      for (int x = 0; x < W; ++x) EXPECT_EQ(out[x], target.PixelIndex(x, y)) << x;
    }
  }
  // A stream cut inside a record raises before any row is made.
  TMemoryStream cut = UpdateBody(UpdatePalette(), 2, {0x02, 0x18, 40});
  EXPECT_THROW(TBaZRowPatches(cut, ChartPalette, W, H), EBaZFormatError);
}

TEST(BaZApply, UnchangedChartKeepsItsColours) {
  TBaZBitmap chart, target;
  MakeChart(chart);
  TMemoryStream body = UpdateBody(ChartPalette, 0, {});
  ApplyBaZStream(body, chart, target);
  EXPECT_EQ(Indexes(target), Indexes(chart));
}

TEST(BaZApply, MissingColourMapsToTheNearest) {
  // Entry 1 (200, 0, 0) is gone; (190, 10, 5) is nearest to it.
  const std::vector<TRGB> palette = {{10, 20, 30},  {0, 0, 0},    {0, 150, 0},
                                     {90, 90, 250}, {190, 10, 5}, {100, 0, 0}};
  TBaZBitmap chart, target;
  MakeChart(chart);
  TMemoryStream body = UpdateBody(palette, 0, {});
  ApplyBaZStream(body, chart, target);
  std::vector<int> want = Indexes(chart);
  for (int& i : want)
    if (i == 1) i = 4;
  // The rest of the update palette is white: not nearer to any chart colour.
  EXPECT_EQ(Indexes(target), want);
}

TEST(BaZApply, StreamsThatEndEarlyStop) {
  const struct {
    const char* What;
    size_t Keep;  // bytes of the body kept
  } cases[] = {{"inside the palette", 500}, {"inside the count", 770},  {"before the flags", 772},
               {"inside the skip", 776},    {"before the length", 777}, {"inside the data", 779},
               {"a record short", 781}};
  // Two records: 0x90 skip(2) length(1) data(3), then one more.
  const Bytes records = {0x00, 0x01, 0x90, 0x01, 0x00, 0x03, 7, 8, 9};
  for (const auto& c : cases) {
    TMemoryStream full = UpdateBody(UpdatePalette(), 3, records);
    ASSERT_LE(c.Keep, full.Data().size());
    Bytes cut(full.Data().begin(), full.Data().begin() + long(c.Keep));
    TMemoryStream body(cut);
    TBaZBitmap chart, target;
    MakeChart(chart);
    EXPECT_THROW(ApplyBaZStream(body, chart, target), EBaZFormatError) << c.What;
  }
}

TEST(BaZApply, HugeLengthDoesNotRunAway) {
  TBaZBitmap chart, target;
  MakeChart(chart);
  TMemoryStream body = UpdateBody(ChartPalette, 1, {0x30, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 1, 2});
  EXPECT_THROW(ApplyBaZStream(body, chart, target), EBaZFormatError);
}

TEST(BaZBitmap, RowBuffer) {
  TBaZBitmap b;
  MakeChart(b);
  EXPECT_EQ(b.RowByteCount(), 12u);
  b.SelectRow(1);
  TMemoryStream patch(Bytes{250, 90, 90});  // blue, green, red of entry 3 reversed
  b.WriteBytes(patch, 12 + 3, 3);
  EXPECT_TRUE(b.Dirty());
  EXPECT_EQ(b.PixelIndex(1, 1), 3);  // not written back yet
  b.SelectRow(-5);                   // below -1 is -1
  EXPECT_EQ(b.CurrentRow(), -1);
  EXPECT_EQ(b.PixelIndex(1, 1), 3);  // (90, 90, 250) is entry 3 again
  TMemoryStream red(Bytes{0, 0, 200});
  b.WriteBytes(red, 12 + 3, 3);
  b.SelectRow(-1);
  EXPECT_EQ(b.PixelIndex(1, 1), 1);
  // Copying between different widths does nothing.
  TBaZBitmap other;
  other.SetHeight(1);
  other.SetWidth(2);
  other.SetPalette(ChartPalette);
  other.SelectRow(0);
  other.CopyRowFrom(b);
  EXPECT_FALSE(other.Dirty());
}

TEST(BaZHeader, ReadWriteAndWrongMagic) {
  TMemoryStream s;
  WriteBaZHeader(s, 0xFFFF, 37963.5);
  EXPECT_EQ(s.GetSize(), 14);
  EXPECT_EQ(std::memcmp(s.Memory(), "BaZ1", 4), 0);
  s.SetPosition(0);
  const TBaZHeader h = ReadBaZHeader(s);
  EXPECT_EQ(h.Edition, -1);
  EXPECT_EQ(h.Date, 37963.5);
  for (const Bytes& bad : {Bytes{}, Bytes{'B', 'a', 'Z'}, Bytes{'B', 'A', 'Z', '1', 0, 0}}) {
    TMemoryStream b(bad);
    try {
      ReadBaZHeader(b);
      FAIL();
    } catch (const EStreamError& e) {
      EXPECT_EQ(e.Message(), "TBaZFile.Create: This is not a .baz file.");
    }
  }
  TMemoryStream shortDate(Bytes{'B', 'a', 'Z', '1', 0xD3, 0x07, 1, 2});
  EXPECT_THROW(ReadBaZHeader(shortDate), EBaZFormatError);
}

TEST(BaZRecordWriter, FormsRoundTripThroughApply) {
  const struct {
    TBaZRecordForm Form;
    uint32_t Skip;
    size_t Length;
    uint8_t Flags;
  } cases[] = {{{1, 0}, 3, 5, 0x05},    {{2, 0}, 3, 0, 0x80},   {{4, 0}, 3, 15, 0xCF},
               {{1, 1}, 200, 16, 0x10}, {{2, 2}, 700, 3, 0xA0}, {{4, 4}, 9, 2, 0xF0}};
  for (const auto& c : cases) {
    TMemoryStream s;
    WriteBaZRecord(s, c.Form, c.Skip, Bytes(c.Length, 0x33));
    EXPECT_EQ(s.Data()[0], c.Flags);
    EXPECT_EQ(size_t(s.GetSize()), 1 + c.Form.SkipBytes + c.Form.LengthBytes + c.Length);
  }
  TMemoryStream s;
  EXPECT_THROW(WriteBaZRecord(s, {1, 0}, 256, {}), EBaZFormatError);
  EXPECT_THROW(WriteBaZRecord(s, {1, 0}, 0, Bytes(16)), EBaZFormatError);
  EXPECT_THROW(WriteBaZRecord(s, {3, 0}, 0, {}), EBaZFormatError);
  EXPECT_EQ(SmallestRecordForm(255, 15).SkipBytes, 1);
  EXPECT_EQ(SmallestRecordForm(256, 15).LengthBytes, 0);
  EXPECT_EQ(SmallestRecordForm(256, 16).SkipBytes, 2);
  EXPECT_EQ(SmallestRecordForm(70000, 300).SkipBytes, 4);
  EXPECT_EQ(SmallestRecordForm(70000, 300).LengthBytes, 2);
}

TEST(BaZIndex, RecordsAndNameKeyedList) {
  TMemoryStream s;
  WriteBaZIndexRecord(s, {7, 0x00010500, 0x2F6A5C20});
  WriteBaZIndexRecord(s, {8, 0x00010600, 0x2F6B0000});
  EXPECT_EQ(s.GetSize(), 24);
  s.SetPosition(0);
  EXPECT_EQ(ReadBaZIndexRecords(s).size(), 2u);
  s.SetPosition(0);
  s.Seek(0, soFromEnd);
  s.WriteBuffer("\1\2\3\4\5", 5);  // a partial record is dropped
  s.SetPosition(0);
  const auto records = ReadBaZIndexRecords(s);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1].Value, 8u);
  EXPECT_EQ(records[1].Code, 0x00010600u);
  EXPECT_EQ(records[1].Date, 0x2F6B0000);
  TMemoryStream empty;
  EXPECT_TRUE(ReadBaZIndexRecords(empty).empty());

  TMemoryStream idx;
  WriteBaZIndexRecord(idx, {1, 0x00010600, 100});
  WriteBaZIndexRecord(idx, {2, 0x00010500, 200});
  WriteBaZIndexRecord(idx, {3, 0x00010600, 300});  // duplicate: the first stays
  WriteBaZIndexRecord(idx, {4, 0x03000000, 400});  // no name
  WriteBaZIndexRecord(idx, {5, 0x01010700, 500});  // refused by the filter
  WriteBaZIndexRecord(idx, {6, 0x00960100, 600});  // set 150: "1815001" parses no more
  WriteBaZIndexRecord(idx, {7, 0x00010000, 700});  // sheet 0: "180100" neither
  idx.SetPosition(0);
  TBaZIndexList list;
  list["stale"] = {};
  ReadBaZIndex(idx, list, [](const std::string& Name, bool& Applies) {
    Applies = Name == "180105";
    return Name.find("frl") == std::string::npos;
  });
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list.begin()->first, "180105");
  EXPECT_TRUE(list.begin()->second.Applies);
  EXPECT_EQ(list["180106"].Value, 1u);
  EXPECT_EQ(list["180106"].Date, 100);
  EXPECT_EQ(list.count("180105"), 1u);
  EXPECT_TRUE(list.count("NNZK_1014") == 0);

  TMemoryStream out;
  WriteBaZIndex(out, {{"180106", {100, 1, false}}, {"NNZK_2593", {5, 9, true}}});
  EXPECT_EQ(out.Data(), (Bytes{1, 0, 0, 0, 0, 6, 1, 0, 100, 0, 0, 0,  //
                               9, 0, 0, 0, 0, 0, 3, 2, 5,   0, 0, 0}));
  EXPECT_THROW(WriteBaZIndex(out, {{"nonsense", {}}}), EZRNError);
}

TEST(BaZIndex, NamesCompareWithoutCase) {
  TBaZIndexList list;
  list.emplace("NNZK_1014", TBaZIndexEntry{1, 1, false});
  EXPECT_FALSE(list.emplace("nnzk_1014", TBaZIndexEntry{2, 2, false}).second);
  EXPECT_EQ(list.count("Nnzk_1014"), 1u);
  EXPECT_TRUE(TCaseInsensitiveLess()("180105", "180105a"));
  EXPECT_FALSE(TCaseInsensitiveLess()("ABC", "abc"));
}

}  // namespace
