#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "ChartsTestUtil.h"
#include "ErrorOf.h"
#include "FileTimes.h"
#include "QvBaZFile.h"
#include "QvDigitalCharts.h"
#include "TempDir.h"
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

}  // namespace
