// zrntool demo OUTDIR [--scale F] [--seed N]: demo data made by our own
// tools, deterministic for a seed.
//   OUTDIR/Charts/<set>_<dpi>.zra    chart-set archives of the nine sets
//   OUTDIR/pub/baz/2003/             baz.idx and update files, as on the server
//   OUTDIR/Updates/Updates.BaZ       the same updates for the apply-only mode
// Full size (scale 1) draws sheets as large as real ones; tests use small
// scales.

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "DemoDrawing.h"
#include "DemoUpdates.h"
#include "FileTimes.h"
#include "QvChartArchive.h"
#include "QvDigitalCharts.h"
#include "Zipper.h"
#include "ZrnTool.h"

namespace fs = std::filesystem;

namespace {

// The sets of the catalogue, in its order.
struct TDemoSet {
  const char* Code;
  int SetNumber;    // series 0: the two digits after "18"; NNZK: 0
  int Resolutions;  // bit 0: 120 dpi, bit 1: 240 dpi
};

const TDemoSet DemoSets[] = {
    {"NNZK", 0, 3}, {"1801", 1, 3},  {"1803", 3, 3},  {"1805", 5, 3},  {"1807", 7, 3},
    {"1809", 9, 3}, {"1810", 10, 2}, {"1811", 11, 3}, {"1812", 12, 1},
};

const std::string& Caption(const TDemoSet& Set) {
  return ChartSetCatalogue()[size_t(&Set - DemoSets)];
}

// Full-size sheets at 240 dpi; 120 dpi sheets are half as wide and high.
constexpr int FullWidth240 = 6000, FullHeight240 = 4500;

struct TDemoSheet {
  std::string Name;
  TDemoSheetStyle Style;
  bool Rle = true;
  double SizeFactor = 1;
  bool Updated = false;
  int Number = 0;  // running number over all sheets: dates, index values
};

struct TDemoOptions {
  std::string OutDir;
  double Scale = 1;
  uint64_t Seed = 1;
};

std::string ChartName(const TChartCodeFields& F) {
  std::string name;
  ChartCodeToName(MakeChartCode(F), name);
  return name;
}

void ChooseFormat(TDemoSheet& Sheet, TDemoRandom& Rng, int Forced) {
  const int pick = Forced >= 0 ? Forced : int(Rng.Below(20));
  Sheet.Style.Bits = pick < 2 ? 1 : pick < 6 ? 4 : 8;
  Sheet.Rle = Sheet.Style.Bits == 8 && pick >= 9;
  Sheet.Style.Colours = Sheet.Style.Bits == 8 ? 16 + int(Rng.Below(49)) : 16;
}

std::vector<TDemoSheet> PlanSheets(const TDemoSet& Set, int SetIndex, TDemoRandom& Rng,
                                   int& Number) {
  std::vector<TDemoSheet> sheets;
  if (Set.SetNumber == 0) {
    for (uint8_t k = 1; k <= 4; ++k) {
      TDemoSheet s;
      s.Name = ChartName({2, k, 0, 0, 0});
      sheets.push_back(s);
    }
  } else {
    const int main = 2 + int(Rng.Below(3));
    for (int k = 1; k <= main; ++k) {
      TDemoSheet s;
      s.Name = ChartName({0, uint8_t(Set.SetNumber), uint8_t(k), 0, 0});
      sheets.push_back(s);
    }
    // Insets: sub-sheets in the three name forms (digit, letter, two).
    const int insets = int(Rng.Below(3)) + SetIndex % 2;
    for (int k = 0; k < insets; ++k) {
      TDemoSheet s;
      const auto sheet = uint8_t(1 + Rng.Below(uint32_t(main)));
      const auto first = uint8_t(k == 1 ? 10 + Rng.Below(6) : 1 + Rng.Below(9));
      const auto second = uint8_t(k == 2 ? 1 + Rng.Below(15) : 0);
      s.Name = ChartName({0, uint8_t(Set.SetNumber), sheet, first, second});
      s.SizeFactor = 0.3 + 0.2 * Rng.Unit();
      bool duplicate = false;
      for (const TDemoSheet& o : sheets) duplicate |= o.Name == s.Name;
      if (!duplicate) sheets.push_back(s);
    }
  }
  for (size_t i = 0; i < sheets.size(); ++i) {
    TDemoSheet& s = sheets[i];
    if (s.SizeFactor == 1) s.SizeFactor = 0.85 + 0.25 * Rng.Unit();
    // Every format turns up: the first sheets of three sets are fixed.
    const int forced = i != 0 ? -1 : SetIndex == 2 ? 0 : SetIndex == 3 ? 3 : SetIndex == 4 ? 7 : -1;
    ChooseFormat(s, Rng, forced);
    s.Style.Seed = Rng.Next();
    s.Style.Title = s.Name + "  " + Caption(Set);
    s.Updated = i == 0 || Rng.Below(10) < 3;
    s.Number = ++Number;
  }
  return sheets;
}

int32_t ChartDate(const TDemoSheet& Sheet) {
  return EncodeFileDate(2003, 3, 1 + Sheet.Number % 28, 12, 0, 0);
}

// Day count of the update: June 2003 and on.
double UpdateDate(const TDemoSheet& Sheet) {
  return 37774.0 + Sheet.Number % 40 + 9.5 / 24;  // 2003-06-02 09:30 and later
}

void SetDate(const std::string& File, int32_t Date) {
  if (!FileSetDate(File, Date)) throw EStreamError("Cannot set the date of " + File);
}

std::string WriteOpaqueFile(const std::string& File, TDemoRandom& Rng) {
  TMemoryStream s;
  const uint32_t size = 200 + Rng.Below(1800);
  for (uint32_t i = 0; i < size; ++i) s.WriteByte(uint8_t(Rng.Next()));
  s.SaveToFile(File);
  SetDate(File, EncodeFileDate(2003, 2, 14, 8, 0, 0));
  return File;
}

void Zip(const std::string& ZipName, const std::vector<std::string>& Files) {
  std::remove(ZipName.c_str());
  TZipper zip;
  zip.DoProcessMessages = false;
  zip.SetZipName(ZipName);
  zip.ZipAction = zaReplace;
  zip.FilesList = Files;
  if (zip.CreateArchive() != int(Files.size())) throw EStreamError("Cannot write " + ZipName);
}

// An update file: a zip archive with the entry "Data".
TDemoUpdateInfo WriteUpdateFile(const std::string& File, const std::string& Work,
                                const TBitmap& Image, const TDemoSheet& Sheet, int Resolution) {
  TMemoryStream data;
  WriteBaZHeader(data, ChartEdition, UpdateDate(Sheet));
  const TDemoUpdateInfo info = WriteDemoUpdateBody(data, Image.Width(), Image.Height(),
                                                   Image.Palette(), Sheet.Style.Seed + Resolution);
  const std::string dataFile = Work + "/Data";
  data.SaveToFile(dataFile);
  SetDate(dataFile, DateTimeToFileDate(UpdateDate(Sheet)));
  Zip(File, {dataFile});
  fs::remove(dataFile);
  SetDate(File, DateTimeToFileDate(UpdateDate(Sheet)));
  return info;
}

struct TDemoTotals {
  int Archives = 0;
  int Charts = 0;
  int Updates = 0;
  int Records = 0;
  std::vector<std::string> UpdateFiles;
  std::vector<TBaZIndexRecord> Index;
};

void WriteSetResolution(const TDemoOptions& O, const TDemoSet& Set, int Resolution,
                        const std::vector<TDemoSheet>& Sheets, TDemoTotals& Totals) {
  const std::string work = O.OutDir + "/.demo-work";
  const std::string updates = O.OutDir + "/pub/baz/2003";
  fs::create_directories(work);
  TDemoRandom rng(O.Seed * 31 + uint64_t(Set.SetNumber) * 7 + uint64_t(Resolution));
  std::vector<std::string> files;
  int64_t size = 0;
  const double dpiFactor = Resolution == 0 ? 0.5 : 1.0;
  for (const TDemoSheet& sheet : Sheets) {
    const auto side = [&](int Full) {
      return std::max(16, int(std::lround(Full * dpiFactor * sheet.SizeFactor * O.Scale)));
    };
    const TBitmap image = DrawDemoSheet(sheet.Style, side(FullWidth240), side(FullHeight240));
    const std::string chart = work + "/" + sheet.Name + ".zrn";
    {
      int32_t edition = ChartEdition, date = ChartDate(sheet);
      TZRNFile file(chart, fmCreate, edition, date);
      file.WriteImage(SaveBitmapToMemory(image, sheet.Rle));
      file.Close();
    }
    files.push_back(chart);
    size += int64_t(fs::file_size(chart));
    if (sheet.Updated) {
      const std::string update = updates + "/" + sheet.Name + "." + DpiText(Resolution);
      Totals.Records += WriteUpdateFile(update, work, image, sheet, Resolution).Records;
      Totals.UpdateFiles.push_back(update);
      ++Totals.Updates;
    }
  }
  const std::string base = std::string(Set.Code) + "_" + DpiText(Resolution);
  // The navigation program's files under the name its import entry gives
  // them: <code>_<dpi>_2003.chi.
  const std::string navBase = base + "_" + std::to_string(ChartEdition);
  files.push_back(WriteOpaqueFile(work + "/" + navBase + ".chi", rng));
  files.push_back(WriteOpaqueFile(work + "/" + navBase + ".bds", rng));
  const std::string zra = O.OutDir + "/Charts/" + base + ".zra";
  TZRAHeader header{Caption(Set), ChartEdition, int32_t(Sheets.size()), 0, 0};
  // The size a set takes once installed: its chart files and calibration files.
  for (size_t i = Sheets.size(); i < files.size(); ++i) size += int64_t(fs::file_size(files[i]));
  header.Size = int32_t(std::min<int64_t>(size, INT32_MAX));
  WriteChartArchive(zra, header, files);
  {
    // The second size: the bytes of the packed chart archive after the header.
    TBufferedFileStream file(zra, 4096, fmOpenReadWrite);
    ReadZRAHeader(file);
    const int64_t body = file.GetSize() - file.Position();
    file.Seek(-4, soFromCurrent);
    file.WriteInt32(int32_t(std::min<int64_t>(body, INT32_MAX)));
    file.Close();
  }
  for (const std::string& f : files) fs::remove(f);
  ++Totals.Archives;
  Totals.Charts += int(Sheets.size());
}

bool ParseOptions(const std::vector<std::string>& Args, TDemoOptions& O) {
  for (size_t i = 0; i < Args.size(); ++i) {
    const std::string& a = Args[i];
    if ((a == "--scale" || a == "--seed") && i + 1 < Args.size()) {
      const std::string& v = Args[++i];
      char* end = nullptr;
      if (a == "--scale") {
        O.Scale = std::strtod(v.c_str(), &end);
        if (*end || !(O.Scale > 0) || O.Scale > 2) return false;
      } else {
        O.Seed = std::strtoull(v.c_str(), &end, 10);
        if (*end || v.empty()) return false;
      }
    } else if (O.OutDir.empty() && !a.empty() && a[0] != '-') {
      O.OutDir = a;
    } else {
      return false;
    }
  }
  return !O.OutDir.empty();
}

int RunDemo(const std::vector<std::string>& Args) {
  TDemoOptions options;
  if (!ParseOptions(Args, options))
    return ZrnUsageError("demo: usage: zrntool demo OUTDIR [--scale F (0 < F <= 2)] [--seed N]");
  fs::create_directories(options.OutDir + "/Charts");
  fs::create_directories(options.OutDir + "/pub/baz/2003");
  fs::create_directories(options.OutDir + "/Updates");
  TDemoRandom rng(options.Seed);
  TDemoTotals totals;
  int number = 0;
  for (int s = 0; s < int(std::size(DemoSets)); ++s) {
    const TDemoSet& set = DemoSets[s];
    const std::vector<TDemoSheet> sheets = PlanSheets(set, s, rng, number);
    for (int r = 0; r < ResolutionCount; ++r)
      if (set.Resolutions & (1 << r)) WriteSetResolution(options, set, r, sheets, totals);
    for (const TDemoSheet& sheet : sheets) {
      if (!sheet.Updated) continue;
      uint32_t code = 0;
      ChartNameToCode(sheet.Name, code);
      totals.Index.push_back({uint32_t(sheet.Number), code, DateTimeToFileDate(UpdateDate(sheet))});
    }
  }
  // A chart of the "frl_" series has an update too; the update wizard
  // leaves such records aside.
  totals.Index.push_back({999, 0x01010700, EncodeFileDate(2003, 6, 30, 10, 0, 0)});

  const std::string index = options.OutDir + "/pub/baz/2003/baz.idx";
  TMemoryStream idx;
  for (const TBaZIndexRecord& r : totals.Index) WriteBaZIndexRecord(idx, r);
  idx.SaveToFile(index);
  SetDate(index, EncodeFileDate(2003, 7, 1, 6, 0, 0));
  std::vector<std::string> packed = {index};
  packed.insert(packed.end(), totals.UpdateFiles.begin(), totals.UpdateFiles.end());
  Zip(options.OutDir + "/Updates/Updates.BaZ", packed);
  fs::remove_all(options.OutDir + "/.demo-work");

  std::printf(
      "%d chart-set archives, %d chart files, %d update files with %d records, "
      "%zu index records\n",
      totals.Archives, totals.Charts, totals.Updates, totals.Records, totals.Index.size());
  return 0;
}

const ZrnCommandGroup demoGroup("demo", "  demo OUTDIR [--scale F] [--seed N]", RunDemo);

}  // namespace
