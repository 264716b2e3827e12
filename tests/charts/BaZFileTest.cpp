#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>

#include "ChartArchiveReader.h"
#include "ChartsTestUtil.h"
#include "ErrorOf.h"
#include "FileTimes.h"
#include "QvBaZFile.h"
#include "QvDigitalCharts.h"
#include "TempDir.h"
#include "UnpackedChart.h"
#include "Zipper.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

std::string MakeChart(const TempDir& Dir, const std::string& Name, int32_t Edition) {
  TBitmap b;
  b.SetPixelFormat(8);
  b.SetSize(20, 12);
  b.SetPalette({{255, 255, 255}, {0, 0, 255}, {200, 0, 0}});
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 20; ++x) b.SetPixelIndex(x, y, uint8_t((x / 5 + y / 4) % 3));
  const std::string file = Dir / (Name + ".zrn");
  int32_t date = EncodeFileDate(2003, 1, 2, 3, 4, 6);
  TZRNFile chart(file, fmCreate, Edition, date);
  chart.WriteImage(SaveBitmapToMemory(b, true));
  chart.Close();
  return file;
}

// An update file whose "Data" entry holds Data.
void MakeUpdate(const std::string& File, const Bytes& Data, const std::string& Entry = "Data") {
  TMemoryStream s(Data);
  TZipper zip;
  zip.DoProcessMessages = false;
  zip.SetZipName(File);
  ASSERT_EQ(zip.StoreFromStream(&s, Entry), 1);
}

Bytes UpdateData(int32_t Edition, double Date, const Bytes& Records, int32_t Count) {
  TMemoryStream s;
  WriteBaZHeader(s, Edition, Date);
  for (int i = 0; i < 256; ++i) {
    const uint8_t rgb[3] = {uint8_t(i == 1 ? 0 : 255), uint8_t(i == 1 ? 0 : 255), 255};
    s.WriteBuffer(rgb, 3);
  }
  s.WriteInt32(Count);
  s.WriteBuffer(Records.data(), int64_t(Records.size()));
  return s.Data();
}

TEST(BaZFile, CreateStoresTheStreamAsData) {
  TempDir dir;
  const std::string chart = MakeChart(dir, "180105", 2003);
  const std::string update = dir / "180105.120";
  double date = 37963.25;
  {
    TBaZFile baz(update, chart, TBaZFileMode::Create, date);
    EXPECT_EQ(baz.Chart().Width(), 20);
    baz.Stream().WriteByte(0x7E);
    baz.Close();
  }
  // Info-ZIP reads what we stored.
  std::string out;
  ASSERT_EQ(RunShellCommand("unzip -p " + update + " Data > " + dir / "data.bin", &out), 0) << out;
  const Bytes data = ReadFileBytes(dir / "data.bin");
  ASSERT_EQ(data.size(), 15u);
  EXPECT_EQ(std::memcmp(data.data(), "BaZ1\xD3\x07", 6), 0);
  double stored = 0;
  std::memcpy(&stored, data.data() + 6, 8);
  EXPECT_EQ(stored, 37963.25);
  EXPECT_EQ(data[14], 0x7E);

  double readDate = 0;
  TBaZFile again(update, chart, TBaZFileMode::Read, readDate);
  EXPECT_EQ(readDate, 37963.25);
  EXPECT_EQ(again.Stream().Position(), 14);
}

// Opening an update for reading leaves its file untouched.
TEST(BaZFile, ReadModeDoesNotRewriteTheFile) {
  TempDir dir;
  const std::string chart = MakeChart(dir, "180105", 2003);
  const std::string update = dir / "180105.240";
  MakeUpdate(update, UpdateData(2003, 37963.0, {}, 0));
  FileSetDate(update, EncodeFileDate(2003, 5, 5, 5, 5, 6));
  const Bytes before = ReadFileBytes(update);
  {
    double date = 0;
    TBaZFile baz(update, chart, TBaZFileMode::Read, date);
    TBaZBitmap target;
    baz.Apply(target);
  }
  EXPECT_EQ(ReadFileBytes(update), before);
  EXPECT_EQ(FileAge(update), EncodeFileDate(2003, 5, 5, 5, 5, 6));
}

TEST(BaZFile, Errors) {
  TempDir dir;
  const std::string chart = MakeChart(dir, "180105", 2002);
  const std::string update = dir / "180105.120";
  double date = 0;
  MakeUpdate(update, UpdateData(2003, 37963.0, {}, 0));
  EXPECT_EQ(
      ErrorOf([&] { TBaZFile b(update, chart, TBaZFileMode::Read, date); }),
      "\"" + chart + "\" and\r\"" + update + "\"\r\rThe files are not of the same chart edition.");
  EXPECT_THROW(TBaZFile(update, chart, TBaZFileMode::Read, date), EEditionError);

  const std::string chart2003 = MakeChart(dir, "180106", 2003);
  const std::string notBaz = "TBaZFile.Create: This is not a .baz file.";
  MakeUpdate(dir / "a.120", Bytes{'B', 'a', 'Z', '2', 0xD3, 7, 0, 0, 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(ErrorOf([&] { TBaZFile b(dir / "a.120", chart2003, TBaZFileMode::Read, date); }),
            notBaz);
  MakeUpdate(dir / "b.120", UpdateData(2003, 1, {}, 0), "Other");
  EXPECT_EQ(ErrorOf([&] { TBaZFile b(dir / "b.120", chart2003, TBaZFileMode::Read, date); }),
            notBaz);
  EXPECT_THROW(TBaZFile(dir / "missing.120", chart2003, TBaZFileMode::Read, date), Exception);
  EXPECT_EQ(
      ErrorOf([&] { TBaZFile b(dir / "a.120", dir / "180107.zrn", TBaZFileMode::Read, date); }),
      "Cannot open file " + dir / "180107.zrn");
}

// Faulty charts or updates end the operation before anything is written.
TEST(UpdateChartBitmap, FaultsLeaveTheOutputAlone) {
  TempDir dir;
  const std::string chart = MakeChart(dir, "180105", 2003);
  const std::string out = dir / "180105_120_2003.bmp";
  WriteFileText(out, "installed");
  const struct {
    const char* What;
    Bytes Data;
  } cases[] = {
      {"cut records", UpdateData(2003, 37963.0, {0x05, 0x01, 1, 2}, 1)},
      {"a date no file can carry", UpdateData(2003, 1e9, {}, 0)},
      {"another edition", UpdateData(2001, 37963.0, {}, 0)},
  };
  for (const auto& c : cases) {
    MakeUpdate(dir / "u.120", c.Data);
    EXPECT_THROW(UpdateChartBitmap(out, chart, dir / "u.120", true), Exception) << c.What;
    EXPECT_EQ(ReadFileBytes(out), (Bytes{'i', 'n', 's', 't', 'a', 'l', 'l', 'e', 'd'})) << c.What;
  }
  int files = 0;
  for (const auto& e : fs::directory_iterator(dir.Path())) files += !e.path().empty();
  EXPECT_EQ(files, 3);  // chart, output, update
}

TEST(UpdateChartBitmap, PatchesAndDatesTheBitmap) {
  TempDir dir;
  const std::string chart = MakeChart(dir, "180105", 2003);
  const std::string update = dir / "180105.120";
  // Pixel (1, 0): bytes 3..5 become black; entry 1 is black in the update.
  MakeUpdate(update, UpdateData(2003, 37963.5, {0x03, 0x03, 0, 0, 0}, 1));
  const std::string out = dir / "o.bmp";
  UpdateChartBitmap(out, chart, update, false);
  EXPECT_EQ(FileAge(out), DateTimeToFileDate(37963.5));
  TBitmap result;
  TMemoryStream s;
  s.LoadFromFile(out);
  result.LoadFromStream(s);
  EXPECT_EQ(result.PixelIndex(1, 0), 1);
  EXPECT_EQ(result.PixelIndex(0, 0), 0);  // white stays white
  EXPECT_EQ(result.PixelIndex(2, 0), 0);
  EXPECT_EQ(result.Palette().size(), 256u);
}

// A sheet large enough to arrive in several blocks when it is unpacked.
std::string MakeSheet(const TempDir& Dir, const std::string& Name, bool Rle) {
  TBitmap b;
  b.SetPixelFormat(8);
  b.SetSize(640, 300);
  b.SetPalette({{255, 255, 255}, {0, 0, 255}, {200, 0, 0}, {0, 160, 0}});
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) b.SetPixelIndex(x, y, uint8_t((x / 7 + y / 5 + x * y) % 4));
  const std::string file = Dir / (Name + ".zrn");
  int32_t date = EncodeFileDate(2003, 3, 4, 5, 6, 8);
  int32_t edition = 2003;
  TZRNFile chart(file, fmCreate, edition, date);
  chart.WriteImage(SaveBitmapToMemory(b, Rle));
  chart.Close();
  return file;
}

// The chart files packed as a set's chart archive is, read into memory.
std::unique_ptr<TMemoryStream> PackCharts(const TempDir& Dir, const std::vector<std::string>& Files,
                                          int PackLevel = 6) {
  TZipper zip;
  zip.DoProcessMessages = false;
  zip.PackLevel = PackLevel;
  zip.SetZipName(Dir / "charts.zip");
  zip.ZipAction = zaReplace;
  zip.FilesList = Files;
  EXPECT_EQ(zip.CreateArchive(), int(Files.size()));
  auto archive = std::make_unique<TMemoryStream>();
  archive->LoadFromFile(Dir / "charts.zip");
  return archive;
}

uint32_t U32At(const Bytes& B, size_t At) {
  return uint32_t(B[At]) | uint32_t(B[At + 1]) << 8 | uint32_t(B[At + 2]) << 16 |
         uint32_t(B[At + 3]) << 24;
}
void PutU32At(Bytes& B, size_t At, uint32_t V) {
  for (int i = 0; i < 4; ++i) B[At + size_t(i)] = uint8_t(V >> (8 * i));
}

// The offset of the central directory header of entry Name.
size_t CentralHeader(const Bytes& Zip, const std::string& Name) {
  for (size_t at = 0; at + 46 <= Zip.size(); ++at) {
    if (U32At(Zip, at) != 0x02014b50) continue;
    const size_t length = size_t(Zip[at + 28]) | size_t(Zip[at + 29]) << 8;
    if (std::string(Zip.begin() + long(at + 46), Zip.begin() + long(at + 46 + length)) == Name)
      return at;
  }
  ADD_FAILURE() << "no entry " << Name;
  return 0;
}

void BitmapsFromMemoryEqualThoseThroughAFile(int PackLevel) {
  TempDir dir;
  const std::vector<std::string> charts = {MakeSheet(dir, "180105", true),
                                           MakeSheet(dir, "180106", false)};
  MakeUpdate(dir / "update.120", UpdateData(2003, 37963.5, {0x03, 0x10, 9, 9, 9}, 1));
  const std::unique_ptr<TMemoryStream> archive = PackCharts(dir, charts, PackLevel);
  TUnZipper unzip;
  unzip.DoProcessMessages = false;
  unzip.SetZipName(dir / "charts.zip");
  unzip.SetDestDir(dir / "unpacked");
  unzip.DoAll = true;
  fs::create_directories(dir / "unpacked");
  ASSERT_EQ(unzip.ExtractAll(), 2);

  TChartArchiveReader reader(*archive, dir / "charts.zra", dir.Path());
  for (int i = 0; i < reader.Count(); ++i) {
    const std::string file = dir / ("unpacked/" + reader.FileName(i));
    SCOPED_TRACE(file);
    ConvertChartBitmap(dir / "file.bmp", file, true);
    UpdateChartBitmap(dir / "file-updated.bmp", file, dir / "update.120", true);
    {
      TUnpackedChart chart(reader, i);
      WriteInstalledChart(chart, dir / "memory.bmp", true);
    }
    {
      TUnpackedChart chart(reader, i);
      WriteUpdatedChart(chart, file, dir / "memory-updated.bmp", dir / "update.120", true);
    }
    EXPECT_TRUE(ReadFileBytes(dir / "memory.bmp") == ReadFileBytes(dir / "file.bmp"));
    EXPECT_EQ(FileAge(dir / "memory.bmp"), FileAge(dir / "file.bmp"));
    EXPECT_TRUE(ReadFileBytes(dir / "memory-updated.bmp") ==
                ReadFileBytes(dir / "file-updated.bmp"));
    EXPECT_EQ(FileAge(dir / "memory-updated.bmp"), DateTimeToFileDate(37963.5));
  }
}

// Unpacked into memory or through a file as the file functions take it, a
// chart gives the same installed bitmaps with the same dates, deflated or
// stored.
TEST(UnpackedChart, BitmapsFromMemoryEqualThoseThroughAFile) {
  for (int level : {6, 0}) {
    SCOPED_TRACE(level);
    BitmapsFromMemoryEqualThoseThroughAFile(level);
  }
}

// A damaged or cut chart entry installs nothing, however far its conversion
// got while it was arriving: the old bitmap stays, no temporary file is
// left, and the error is the unpacking's.
TEST(UnpackedChart, ADamagedEntryInstallsNothing) {
  TempDir dir;
  const std::string chart = MakeSheet(dir, "180105", false);
  MakeUpdate(dir / "update.120", UpdateData(2003, 37963.5, {}, 0));
  const Bytes intact = PackCharts(dir, {chart})->Data();
  fs::remove(chart);
  fs::remove(dir / "charts.zip");
  const size_t central = CentralHeader(intact, "180105.zrn");
  const size_t local = U32At(intact, central + 42);
  const size_t data = local + 30 + (size_t(intact[local + 26]) | size_t(intact[local + 27]) << 8) +
                      (size_t(intact[local + 28]) | size_t(intact[local + 29]) << 8);
  const struct {
    const char* What;
    std::function<void(Bytes&)> Damage;
    const char* Error;  // a part of the message
  } rows[] = {
      {"a wrong CRC, the data intact",
       [&](Bytes& Z) { PutU32At(Z, central + 16, U32At(Z, central + 16) ^ 1); },
       "the data is damaged (CRC error)"},
      {"damaged data",
       [&](Bytes& Z) {
         for (size_t i = 0; i < 40; ++i) Z[data + 100 + i] ^= 0x5A;
       },
       ""},
      {"cut short", [&](Bytes& Z) { PutU32At(Z, central + 24, U32At(Z, central + 24) + 70000); },
       "Premature end of file reached"},
  };
  const std::string out = dir / "180105_120_2003.bmp";
  for (const auto& row : rows) {
    SCOPED_TRACE(row.What);
    Bytes damaged = intact;
    row.Damage(damaged);
    TMemoryStream archive(damaged);
    TChartArchiveReader reader(archive, "charts.zra", dir.Path());
    for (bool update : {false, true}) {
      WriteFileText(out, "installed");
      const std::string error = ErrorOf([&] {
        TUnpackedChart unpacked(reader, 0);
        if (update)
          WriteUpdatedChart(unpacked, dir / "180105.zrn", out, dir / "update.120", true);
        else
          WriteInstalledChart(unpacked, out, true);
      });
      EXPECT_NE(error, "no error") << update;
      EXPECT_NE(error.find(row.Error), std::string::npos) << error;
      EXPECT_TRUE(ReadFileText(out) == "installed") << "the bitmap was replaced; " << update;
      std::vector<std::string> names;
      for (const auto& e : fs::directory_iterator(dir.Path()))
        names.push_back(e.path().filename().string());
      std::sort(names.begin(), names.end());
      EXPECT_EQ(names, (std::vector<std::string>{"180105_120_2003.bmp", "update.120"}));
    }
  }
}

}  // namespace
