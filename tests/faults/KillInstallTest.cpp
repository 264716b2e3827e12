// zrninstall killed with SIGKILL at random moments while it replaces an
// older installation of a demo set. After every kill each installed file
// under its final name is the old one or the new one, the stored update
// indexes and registrations are the old or the new values, and the next run
// completes with the new state and leaves no temporary file behind (it
// sweeps what the killed run left). Two copies running at once leave each
// other's temporary files alone.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>
#include <optional>
#include <random>

#include "FaultTestSupport.h"
#include "FileTimes.h"
#include "HiveFile.h"
#include "NavProgram.h"
#include "QvDigitalCharts.h"
#include "QvRegistry.h"

namespace {

namespace fs = std::filesystem;

std::string Hex(const std::vector<uint8_t>& Bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (uint8_t b : Bytes) out += {digits[b >> 4], digits[b & 15]};
  return out;
}

std::string ValueOf(const TValues& Values, const std::string& Name) {
  const auto it = Values.find(Name);
  return it == Values.end() ? "<none>" : it->second;
}

std::vector<uint8_t> IndexRecords(const std::vector<std::string>& Charts) {
  std::vector<uint8_t> out;
  uint32_t value = 1;
  for (const std::string& chart : Charts) {
    uint32_t code = 0;
    EXPECT_TRUE(ChartNameToCode(chart, code)) << chart;
    for (uint32_t field : {value++, code, uint32_t(0x2F6A5C20)})
      for (int shift = 0; shift < 32; shift += 8) out.push_back(uint8_t(field >> shift));
  }
  return out;
}

constexpr time_t RestoredDate = 1009843200;  // 2002-01-01: the files of the old installation

class KillInstallTest : public ::testing::TestWithParam<uint32_t> {
 protected:
  static void SetUpTestSuite() {
    Shared = new TShared;
    TShared& s = *Shared;
    ASSERT_TRUE(MakeDemoSet(s.Work / "set"));
  }
  static void TearDownTestSuite() {
    delete Shared;
    Shared = nullptr;
  }

  void SetUp() override {
    ASSERT_NE(Shared, nullptr);
    FHome = FWork / "home";
    FDest = FWork / "charts/";
    setenv("ZARNAVIS_HOME", FHome.c_str(), 1);
    SetRegistryKeyNames("ZRN", "2003");
    MakeTemplate();
    Restore();
    FBefore = ReadFolder(FDest);
    FBeforeValues = ReadValues();
  }

  // The old installation: older bitmaps of two charts, older calibration
  // files, a file of the user's, stored indexes with records of this set and
  // of others, and nothing registered yet.
  void MakeTemplate() {
    const std::string dest = FWork / "template/";
    fs::create_directories(dest);
    TBitmap old;
    old.SetPixelFormat(8);
    old.SetSize(37, 23);
    old.SetPalette({{10, 20, 30}, {200, 100, 50}, {0, 255, 0}});
    for (int y = 0; y < old.Height(); ++y)
      for (int x = 0; x < old.Width(); ++x) old.SetPixelIndex(x, y, uint8_t((x / 5 + y) % 3));
    for (const char* name : {"180101_120_2003.bmp", "180102_240_2003.bmp"})
      WriteBitmapFile(dest + name, old);
    for (const char* name : {"1801_120_2003.chi", "1801_240_2003.bds"})
      WriteFileText(dest + name, std::string("older calibration ") + name);
    WriteFileText(dest + "notes.txt", "the skipper's own notes");
    // A hidden name of another program: never the sweep's business.
    WriteFileText(dest + ".zrn-notes", "not ours");
    setenv("ZARNAVIS_HOME", (FWork / "template-home").c_str(), 1);
    for (const char* dpi : {"120", "240"}) {
      const std::vector<uint8_t> index =
          IndexRecords({"180101", "180301", "1801017", "NNZK_1014", "180102"});
      RegWriteBinary(rkMachine, "", std::string("BaZ Index ") + dpi, int(index.size()),
                     index.data());
      RegWriteInteger(rkMachine, "", std::string("BaZ Index size ") + dpi, int(index.size()));
    }
    setenv("ZARNAVIS_HOME", FHome.c_str(), 1);
  }

  void Restore() {
    std::error_code ec;
    fs::remove_all(FDest, ec);
    fs::remove_all(FHome, ec);
    fs::create_directories(FDest);
    fs::copy(FWork / "template-home", FHome);
    for (const auto& e : fs::directory_iterator(FWork / "template")) {
      const std::string target = FDest + e.path().filename().string();
      fs::copy_file(e.path(), target);
      const timespec times[2] = {{RestoredDate, 0}, {RestoredDate, 0}};
      ::utimensat(AT_FDCWD, target.c_str(), times, 0);
    }
  }

  // The stored values an installation changes.
  TValues ReadValues() {
    TValues v;
    for (TRegRoot root : {TRegRoot::LocalMachine, TRegRoot::CurrentUser}) {
      const std::string file = root == TRegRoot::LocalMachine ? "system.reg" : "user.reg";
      try {
        THiveFile(FHome + "/" + file, RegRootName(root)).Read();
      } catch (const Exception& e) {
        v[file] = "does not parse: " + e.Message();
      }
    }
    for (const std::string dpi : {"120", "240"}) {
      std::vector<uint8_t> index;
      try {
        index = RegReadBinaryData(rkMachine, "", "BaZ Index " + dpi);
      } catch (const ERegistryException&) {
        v["index " + dpi] = "<none>";
      }
      if (!v.count("index " + dpi)) v["index " + dpi] = Hex(index);
      v["size " + dpi] =
          std::to_string(RegReadIntegerDef(rkMachine, "", "BaZ Index size " + dpi, -1));
      v["registered " + dpi] = RegReadString(rkMachine, "ChartSets\\" + SetName(), dpi, "<none>");
    }
    for (const std::string& name : RegReadValueNames(TRegRoot::CurrentUser, NavAutoImportKey))
      v["auto import " + name] =
          RegReadRootString(TRegRoot::CurrentUser, NavAutoImportKey, name, "");
    return v;
  }

  std::string SetName() {
    if (FSetName.empty()) {
      const TChartSetsList sets = FindChartSets(Shared->Work / "set", FDest);
      if (!sets.empty()) FSetName = sets.front()->Name;
    }
    return FSetName;
  }

  std::vector<std::string> InstallCommand() const {
    return {ZrnInstall(), Shared->Work / "set", FDest};
  }

  // A run to its end; its state becomes the expected new state.
  void CleanRun() {
    std::string output;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(RunToEnd(InstallCommand(), output), 0) << output;
    FDuration = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - start);
    FAfter = ReadFolder(FDest);
    FAfterValues = ReadValues();
    ASSERT_EQ(TemporaryNames(FolderNames(FDest)), std::vector<std::string>{".zrn-notes"});
    // Pillow decodes every new bitmap and finds the chart's pixels in it.
    std::string check;
    ASSERT_EQ(
        RunToEnd({"/usr/bin/python3", INSTALL_CHECK_SCRIPT, Shared->Work / "set", FDest}, check), 0)
        << check;
    ASSERT_NE(FAfter, FBefore);
    ASSERT_NE(FAfterValues, FBeforeValues);
  }

  // After a kill: every final name holds its old or its new state, every
  // stored value is old or new. Returns the number of files already new.
  int CheckOldOrNew(int& Leftovers) {
    const TFolderState now = ReadFolder(FDest);
    int renewed = 0, renewedCharts = 0;
    Leftovers = 0;
    for (const auto& [name, state] : now) {
      if (name.rfind(".zrn-", 0) == 0 && !FBefore.count(name)) {
        ++Leftovers;
        continue;
      }
      const bool old = FBefore.count(name) && FBefore.at(name) == state;
      const bool renewedFile = FAfter.count(name) && FAfter.at(name) == state;
      EXPECT_TRUE(old || renewedFile) << name << " is neither the old nor the new file";
      renewed += !old && renewedFile;
      renewedCharts += !old && renewedFile && name.ends_with(".bmp");
    }
    for (const auto& [name, state] : FBefore) EXPECT_TRUE(now.count(name)) << name << " is gone";
    // Each value on its own: the registrations are written one by one.
    const TValues values = ReadValues();
    TValues names = values;
    names.insert(FBeforeValues.begin(), FBeforeValues.end());
    names.insert(FAfterValues.begin(), FAfterValues.end());
    for (const auto& [name, unused] : names) {
      const std::string value = ValueOf(values, name);
      EXPECT_TRUE(value == ValueOf(FBeforeValues, name) || value == ValueOf(FAfterValues, name))
          << name << " is " << value;
    }
    // The index as a reader takes it: the record bytes up to the stored size.
    for (const std::string dpi : {"120", "240"}) {
      const std::string index = values.at("index " + dpi);
      const size_t size = size_t(std::max(0, std::stoi(values.at("size " + dpi))));
      const std::string effective = index.substr(0, 2 * size);
      EXPECT_TRUE(effective == ValueOf(FBeforeValues, "index " + dpi) ||
                  effective == ValueOf(FAfterValues, "index " + dpi))
          << dpi << " dpi index read as " << effective;
      // A fresh chart has none of the updates the old index records.
      if (renewedCharts > 0) {
        EXPECT_EQ(effective, ValueOf(FAfterValues, "index " + dpi))
            << renewedCharts << " charts are new, but the " << dpi
            << " dpi index still counts their updates";
      }
    }
    return renewed;
  }

  // The run after a kill: ends well, with the new state and nothing left.
  void CheckNextRunCompletes() {
    std::string output;
    ASSERT_EQ(RunToEnd(InstallCommand(), output), 0) << output;
    EXPECT_EQ(ReadFolder(FDest), FAfter);
    EXPECT_EQ(ReadValues(), FAfterValues);
    EXPECT_EQ(TemporaryNames(FolderNames(FDest)), std::vector<std::string>{".zrn-notes"});
    for (const std::string& name : FolderNames(FHome))
      EXPECT_EQ(name.find(".new"), std::string::npos) << name;
  }

  struct TShared {
    TempDir Work;
  };
  static TShared* Shared;

  TempDir FWork;
  std::string FHome, FDest, FSetName;
  TFolderState FBefore, FAfter;
  TValues FBeforeValues, FAfterValues;
  std::chrono::microseconds FDuration{0};
};

KillInstallTest::TShared* KillInstallTest::Shared = nullptr;

// 4 seeds x 50 kills: 200 kills, in four tests that ctest runs side by side.
constexpr int KillsPerSeed = 50;

TEST_P(KillInstallTest, KilledRunLeavesOldOrNewAndNextRunCompletes) {
  CleanRun();
  if (HasFatalFailure()) return;
  const uint32_t seed = GetParam();
  const TKillTally tally = KillRounds(
      seed, KillsPerSeed, FDuration, InstallCommand(), FWork / "killed.out", [this] { Restore(); },
      [this](TKillTally& Tally) {
        int leftovers = 0;
        const int renewed = CheckOldOrNew(leftovers);
        Tally.Mixed += renewed > 0 && renewed < int(FAfter.size());
        Tally.Swept += leftovers > 0;
        CheckNextRunCompletes();
      });
  std::printf(
      "seed %u: %d kills, %d left a mix of old and new files, %d left temporary files, "
      "%d came after the end\n",
      seed, KillsPerSeed, tally.Mixed, tally.Swept, tally.Ended);
  // The kills must have met the run at work, not only before or after it.
  EXPECT_GT(tally.Mixed + tally.Swept, 0) << "seed " << seed;
}

INSTANTIATE_TEST_SUITE_P(Seeds, KillInstallTest, ::testing::Values(1u, 2u, 3u, 4u));

// Two copies at once into one folder: the second one's sweep must not take
// the first one's temporary files, so both end well with the new state.
TEST_F(KillInstallTest, TwoCopiesAtOnceBothComplete) {
  CleanRun();
  if (HasFatalFailure()) return;
  std::mt19937 random(77);
  std::uniform_int_distribution<int64_t> offset(0, FDuration.count());
  for (int round = 0; round < 8; ++round) {
    Restore();
    const std::chrono::microseconds later(offset(random));
    SCOPED_TRACE("second copy " + std::to_string(later.count()) + " us after the first");
    TChildRun first(InstallCommand(), FWork / "first.out");
    std::this_thread::sleep_for(later);
    TChildRun second(InstallCommand(), FWork / "second.out");
    EXPECT_EQ(first.Wait(), 0) << ReadFileText(FWork / "first.out");
    EXPECT_EQ(second.Wait(), 0) << ReadFileText(FWork / "second.out");
    EXPECT_EQ(ReadFolder(FDest), FAfter);
    EXPECT_EQ(ReadValues(), FAfterValues);
    EXPECT_EQ(TemporaryNames(FolderNames(FDest)), std::vector<std::string>{".zrn-notes"});
    if (HasFailure()) break;
  }
}

}  // namespace
