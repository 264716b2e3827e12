// The demo data as the wizards meet it, checked with independent tools:
// Info-ZIP unzip for the archives, Pillow and a record parser of its own
// (verify_charts.py) for the installed bitmaps.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#include "ChartsTestUtil.h"
#include "FileTimes.h"
#include "QvBaZFile.h"
#include "QvChartArchive.h"
#include "QvDigitalCharts.h"
#include "TempDir.h"

namespace fs = std::filesystem;

namespace {

class DemoData : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    Dir = new TempDir;
    std::string out;
    ASSERT_EQ(RunShellCommand(ToolPath() + " demo " + Dir->Path() + " --scale 0.05 --seed 7", &out),
              0)
        << out;
  }
  static void TearDownTestSuite() {
    delete Dir;
    Dir = nullptr;
  }
  static std::string Updates() { return Dir->Path() + "/pub/baz/2003"; }

  // The chart file of an update, taken from its set's archive into Folder.
  static std::string ExtractChart(const std::string& Name, int Resolution,
                                  const std::string& Folder) {
    uint32_t code = 0;
    EXPECT_TRUE(ChartNameToCode(Name, code));
    const std::string zra =
        Dir->Path() + "/Charts/" + ChartSetCodeOfChart(code) + "_" + DpiText(Resolution) + ".zra";
    auto archive = OpenChartArchive(zra);
    TMemoryStream chart;
    ExtractChartArchiveEntry(*archive, Name + ".zrn", chart);
    const std::string file = Folder + "/" + Name + ".zrn";
    chart.SaveToFile(file);
    return file;
  }

  static TempDir* Dir;
};

TempDir* DemoData::Dir = nullptr;

TEST_F(DemoData, ChartSetsAsTheWizardsFindThem) {
  const TChartSetsList sets = FindChartSets(Dir->Path() + "/Charts", "/installed/");
  std::map<std::string, int> resolutions;
  for (const auto& s : sets) resolutions[s->Code] = s->Resolutions;
  EXPECT_EQ(resolutions, (std::map<std::string, int>{{"1801", 3},
                                                     {"1803", 3},
                                                     {"1805", 3},
                                                     {"1807", 3},
                                                     {"1809", 3},
                                                     {"1810", 2},
                                                     {"1811", 3},
                                                     {"1812", 1},
                                                     {"NNZK", 3}}));
  std::set<int> bits;
  int rle = 0, subSheets = 0;
  TempDir work;
  for (const auto& s : sets) {
    EXPECT_EQ(s->Edition, ChartEdition);
    EXPECT_GE(s->ChartCount, 2);
    EXPECT_LE(s->ChartCount, 8);
    for (int r = 0; r < 2; ++r) {
      const TChartSet* set = s->GetChartSet(r);
      if (!set) continue;
      EXPECT_GT(set->Size, 0);
      EXPECT_GT(set->Size2, 0);
      auto archive = set->OpenChartArchive();
      EXPECT_EQ(set->Size2, archive->GetSize());
      int charts = 0;
      for (const std::string& entry : ChartArchiveEntries(*archive)) {
        const std::string ext = fs::path(entry).extension().string();
        if (ext != ".zrn") {
          EXPECT_TRUE(ext == ".chi" || ext == ".bds") << entry;
          continue;
        }
        ++charts;
        uint32_t code = 0;
        const std::string name = fs::path(entry).stem().string();
        ASSERT_TRUE(ChartNameToCode(name, code)) << entry;
        EXPECT_EQ(ChartSetCodeOfChart(code), s->Code);
        subSheets += SplitChartCode(code).SubSheet1 != 0;
        TMemoryStream chart;
        ExtractChartArchiveEntry(*archive, entry, chart);
        chart.SaveToFile(work / entry);
        int32_t edition = 0, date = 0;
        TZRNFile file(work / entry, fmOpenRead, edition, date);
        EXPECT_EQ(edition, ChartEdition);
        TBitmap image;
        file.ReadBitmap(image);
        bits.insert(image.BitsPerPixel());
        rle += chart.Memory()[14 + 30] == 1;
        if (image.BitsPerPixel() == 8) {
          EXPECT_GE(image.Palette().size(), 16u);
          EXPECT_LE(image.Palette().size(), 64u);
        }
      }
      EXPECT_EQ(charts, s->ChartCount);
    }
  }
  EXPECT_EQ(bits, (std::set<int>{1, 4, 8}));
  EXPECT_GT(rle, 0);
  EXPECT_GT(subSheets, 0);
}

TEST_F(DemoData, IndexAndUpdateArchive) {
  TMemoryStream idx;
  idx.LoadFromFile(Updates() + "/baz.idx");
  EXPECT_EQ(idx.GetSize() % 12, 0);
  const auto records = ReadBaZIndexRecords(idx);
  ASSERT_GT(records.size(), 5u);
  std::set<std::string> expectedFiles = {"baz.idx"};
  for (const TBaZIndexRecord& r : records) {
    std::string name;
    ASSERT_TRUE(ChartCodeToName(r.Code, name));
    if (name.rfind("frl_", 0) == 0) continue;
    int files = 0;
    for (const char* dpi : {"120", "240"}) {
      const std::string update = Updates() + "/" + name + "." + dpi;
      if (!fs::exists(update)) continue;
      ++files;
      expectedFiles.insert(name + "." + dpi);
      // The index date is the update's own date.
      TMemoryStream data;
      std::string out;
      ASSERT_EQ(
          RunShellCommand("unzip -p " + update + " Data > " + Dir->Path() + "/data.bin", &out), 0)
          << out;
      data.LoadFromFile(Dir->Path() + "/data.bin");
      EXPECT_EQ(DateTimeToFileDate(ReadBaZHeader(data).Date), r.Date) << name;
    }
    EXPECT_GE(files, 1) << name;
  }
  std::string listing;
  ASSERT_EQ(RunShellCommand("unzip -Z1 " + Dir->Path() + "/Updates/Updates.BaZ", &listing), 0)
      << listing;
  std::set<std::string> listed;
  for (size_t pos = 0, nl; (nl = listing.find('\n', pos)) != std::string::npos; pos = nl + 1)
    listed.insert(listing.substr(pos, nl - pos));
  EXPECT_EQ(listed, expectedFiles);
}

TEST_F(DemoData, UpdatesUseEveryRecordFormAndWrap) {
  std::string files;
  for (const auto& e : fs::directory_iterator(Updates()))
    if (e.path().extension() != ".idx") files += " " + e.path().string();
  EXPECT_EQ(Verify("forms" + files), "ok\n");
}

// Every update applied by the whole command, checked pixel by pixel by an
// independent computation; and every updated chart converted plainly.
TEST_F(DemoData, UpdatedAndConvertedBitmapsMatchAnIndependentComputation) {
  TempDir work;
  const int cell = TStampFont::Get().TextHeight();
  int checked = 0;
  for (const auto& e : fs::directory_iterator(Updates())) {
    const std::string ext = e.path().extension().string();
    if (ext != ".120" && ext != ".240") continue;
    const std::string name = e.path().stem().string();
    const int resolution = ext == ".120" ? 0 : 1;
    SCOPED_TRACE(e.path().filename().string());
    const std::string chart = ExtractChart(name, resolution, work.Path());
    const std::string out = work / (name + "_" + DpiText(resolution) + "_2003.bmp");
    std::string text;
    ASSERT_EQ(
        RunShellCommand(ToolPath() + " chart update " + chart + " " + e.path().string() + " " + out,
                        &text),
        0)
        << text;
    TBitmap image;
    {
      int32_t edition = 0, date = 0;
      TZRNFile file(chart, fmOpenRead, edition, date);
      file.ReadBitmap(image);
    }
    const std::string cellTop = std::to_string(image.Height() - cell);
    EXPECT_EQ(Verify("update " + chart + " " + e.path().string() + " " + out + " " + cellTop),
              "ok\n");
    TMemoryStream data;
    RunShellCommand("unzip -p " + e.path().string() + " Data > " + work / "data.bin");
    data.LoadFromFile(work / "data.bin");
    EXPECT_EQ(FileAge(out), DateTimeToFileDate(ReadBaZHeader(data).Date));

    ASSERT_EQ(RunShellCommand(ToolPath() + " chart convert " + chart + " " + out, &text), 0)
        << text;
    EXPECT_EQ(Verify("convert " + chart + " " + out + " " + cellTop), "ok\n");
    EXPECT_EQ(FileAge(out), FileAge(chart));
    ++checked;
  }
  EXPECT_GT(checked, 10);
}

// Updates are applied row by row; the whole sheet at once (the way a
// top-down or true-colour sheet goes) must give the same bytes.
TEST_F(DemoData, RowByRowUpdateEqualsTheWholeSheet) {
  TempDir work;
  int compared = 0;
  for (const auto& e : fs::directory_iterator(Updates())) {
    const std::string ext = e.path().extension().string();
    if (ext != ".120" && ext != ".240") continue;
    SCOPED_TRACE(e.path().filename().string());
    const std::string chart =
        ExtractChart(e.path().stem().string(), ext == ".120" ? 0 : 1, work.Path());
    UpdateChartBitmap(work / "rows.bmp", chart, e.path().string(), true);
    TBaZBitmap target;
    double date = 0;
    TBaZFile file(e.path().string(), chart, TBaZFileMode::Read, date);
    file.Apply(target);
    DrawStampText(target, UpdateStampText(date));
    WriteBitmapFile(work / "whole.bmp", target);
    EXPECT_EQ(ReadFileBytes(work / "rows.bmp"), ReadFileBytes(work / "whole.bmp"));
    ++compared;
  }
  EXPECT_GT(compared, 10);
}

TEST_F(DemoData, SameSeedSameBytes) {
  TempDir again;
  ASSERT_EQ(RunShellCommand(ToolPath() + " demo " + again.Path() + " --scale 0.05 --seed 7"), 0);
  int compared = 0;
  for (const auto& e : fs::recursive_directory_iterator(Dir->Path())) {
    if (!e.is_regular_file() || e.path().filename() == "data.bin") continue;
    const std::string rel = fs::relative(e.path(), Dir->Path()).string();
    EXPECT_EQ(ReadFileBytes(e.path().string()), ReadFileBytes(again / rel)) << rel;
    ++compared;
  }
  EXPECT_GT(compared, 40);
  TempDir other;
  ASSERT_EQ(RunShellCommand(ToolPath() + " demo " + other.Path() + " --scale 0.05 --seed 8"), 0);
  EXPECT_NE(ReadFileBytes(Dir->Path() + "/Charts/1801_240.zra"),
            ReadFileBytes(other / "Charts/1801_240.zra"));
}

TEST_F(DemoData, InfoCommand) {
  std::string out;
  ASSERT_EQ(
      RunShellCommand(ToolPath() + " chart info " + Dir->Path() + "/Charts/1812_120.zra", &out), 0);
  EXPECT_EQ(out.rfind("magic: ZRA2\nname: 1812: Waddenzee (Oostblad) en aangrenzende Noordzeekust\n"
                      "edition: 2003\ncharts: ",
                      0),
            0u)
      << out;
  EXPECT_NE(out.find("entry: 181201.zrn\n"), std::string::npos) << out;
  EXPECT_NE(out.find("entry: 1812_120_2003.chi\n"), std::string::npos) << out;
  TempDir work;
  const std::string chart = ExtractChart("181201", 0, work.Path());
  FileSetDate(chart, EncodeFileDate(2003, 3, 4, 12, 0, 0));
  ASSERT_EQ(RunShellCommand(ToolPath() + " chart info " + chart, &out), 0);
  TBitmap image;
  int32_t edition = 0, date = 0;
  TZRNFile file(chart, fmOpenRead, edition, date);
  file.ReadBitmap(image);
  EXPECT_EQ(out, "code: 000C0100\nname: 181201\nedition: 2003\ndate: 2003-03-04 12:00:00\nwidth: " +
                     std::to_string(image.Width()) + "\nheight: " + std::to_string(image.Height()) +
                     "\nbits: " + std::to_string(image.BitsPerPixel()) + "\n");
}

TEST(ZrnToolCommands, FailuresGoToStandardErrorWithStatus) {
  TempDir dir;
  const struct {
    std::string Args;
    std::string Message;
  } cases[] = {
      {"chart convert " + dir / "180105.zrn " + dir / "o.bmp", "Cannot open file"},
      {"chart convert " + dir / "nonsense.zrn " + dir / "o.bmp", "is not a valid .zrn filename."},
      {"chart update " + dir / "180105.zrn", "wrong arguments"},
      {"chart convert a.zrn b.bmp --stamp", "unknown option"},
      {"chart info " + dir / "x_120.zra", "Cannot open file"},
      {"demo", "usage"},
      {"demo " + dir / "d --scale 0", "usage"},
      {"demo " + dir / "d --seed x", "usage"},
  };
  for (const auto& c : cases) {
    std::string out;
    EXPECT_NE(RunShellCommand(ToolPath() + " " + c.Args, &out), 0) << c.Args;
    EXPECT_NE(out.find(c.Message), std::string::npos) << c.Args << ": " << out;
  }
}

}  // namespace
