// A run that fails part way: the stored indexes stay, no bitmap is left
// half-written, no work folder remains, and the error reaches the caller.

#include <gtest/gtest.h>

#include <filesystem>

#include "QvChartArchive.h"
#include "StoredUpdateIndex.h"
#include "UpdateTestSupport.h"

namespace fs = std::filesystem;

namespace {

class UpdateFailure : public TUpdateFixture {
 protected:
  // The (chart, dpi) pairs in the order the run applies them.
  std::vector<std::pair<std::string, int>> ApplyOrder() {
    std::vector<std::pair<std::string, int>> order;
    for (const auto& set : InstalledSets())
      for (int res = 0; res < ResolutionCount; ++res) {
        const TChartSet* s = set->GetChartSet(res);
        if (!s) continue;
        auto archive = s->OpenChartArchive();
        for (const std::string& entry : ChartArchiveEntries(*archive)) {
          const std::string chart = fs::path(entry).stem().string();
          if (fs::path(entry).extension() == ".zrn" &&
              fs::exists(ServerFolder() + chart + "." + DpiText(res)))
            order.emplace_back(chart, res);
        }
      }
    return order;
  }

  // Every file of the installed folder is a finished bitmap or calibration
  // file: nothing hidden, nothing temporary.
  void ExpectOnlyFinishedFiles() {
    for (const std::string& name : InstalledNames()) {
      EXPECT_NE(name[0], '.') << name;
      const std::string ext = fs::path(name).extension().string();
      EXPECT_TRUE(ext == ".bmp" || ext == ".chi" || ext == ".bds") << name;
    }
  }

  std::string Folder(const std::string& Name, const std::string& From) {
    const std::string folder = FTemp / Name + "/";
    fs::create_directories(folder);
    for (const auto& e : fs::directory_iterator(From))
      fs::copy_file(e.path(), folder + e.path().filename().string());
    return folder;
  }
};

TEST_F(UpdateFailure, ADamagedUpdateOfTheThirdChartStopsTheRunCleanly) {
  Install({"1801", "1803"});
  const auto order = ApplyOrder();
  ASSERT_GE(order.size(), 4u);
  const auto [third, res] = order[2];
  const std::string loose = Folder("loose", ServerFolder());
  WriteFileText(loose + third + "." + DpiText(res), "PK\x03\x04 not an update at all");
  const auto before = Bitmaps();
  const std::string hive = HiveText();

  TRecordingView view;
  try {
    ApplyFrom(loose, view);
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_FALSE(e.Message().empty());
    SUCCEED() << e.ClassName() << ": " << e.Message();
  }
  EXPECT_EQ(view.Busy, 0);
  EXPECT_EQ(HiveText(), hive);
  EXPECT_TRUE(fs::is_empty(FTemp / "runtime"));
  ExpectOnlyFinishedFiles();
  // The first two charts were updated before the error, the rest not.
  const auto after = Bitmaps();
  std::vector<std::string> changed;
  for (const auto& [name, bytes] : after)
    if (before.at(name) != bytes) changed.push_back(name);
  const auto bitmap = [](const std::pair<std::string, int>& P) {
    return P.first + "_" + DpiText(P.second) + "_2003.bmp";
  };
  std::vector<std::string> expected = {bitmap(order[0]), bitmap(order[1])};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(changed, expected);
  EXPECT_EQ(CheckUpdated(expected), "ok\n");
  EXPECT_EQ(after.at(bitmap(order[2])), before.at(bitmap(order[2])));
}

TEST_F(UpdateFailure, AnUnreadableChartSetArchiveStopsTheRun) {
  Install({"1805"});
  const auto before = Bitmaps();
  const std::string hive = HiveText();
  // The CD as it is, but the 240 dpi archive cut short after its header.
  const std::string cd = Folder("cd", Cd());
  const std::string zra = cd + "1805_240.zra";
  fs::resize_file(zra, 200);

  TRecordingView view;
  TUpdateProcessor processor(TUpdateMode::ApplyOnly, view);
  TSettingsCheck check = CheckSettingsFolders(TUpdateMode::ApplyOnly, cd, FInstalled, UpdateDisk());
  ASSERT_TRUE(check.Ok) << check.Warning;
  processor.SetFolders(check.OriginalFolder, check.InstalledFolder, check.UpdatesFolder);
  processor.SetChartSets(std::move(check.ChartSets));
  processor.BeginRun();
  try {
    processor.RunUpdate();
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_FALSE(e.Message().empty());
  }
  processor.EndRun();
  EXPECT_EQ(HiveText(), hive);
  EXPECT_TRUE(fs::is_empty(FTemp / "runtime"));
  ExpectOnlyFinishedFiles();
  for (const auto& [name, bytes] : Bitmaps()) {
    if (name.find("_240_") == std::string::npos) continue;
    EXPECT_EQ(bytes, before.at(name)) << name;
  }
}

TEST_F(UpdateFailure, ADamagedUpdateArchiveIsAnError) {
  Install({"1801"});
  const std::string disk = Folder("disk", UpdateDisk());
  std::vector<uint8_t> bytes = ReadFileBytes(disk + "Updates.BaZ");
  // Flip bytes in the middle of the entries' data.
  for (size_t i = bytes.size() / 3; i < bytes.size() / 3 + 64; ++i) bytes[i] ^= 0x5A;
  WriteFileBytes(disk + "Updates.BaZ", bytes);
  const std::string hive = HiveText();
  TRecordingView view;
  EXPECT_THROW(ApplyFrom(disk, view), Exception);
  EXPECT_EQ(HiveText(), hive);
  EXPECT_TRUE(fs::is_empty(FTemp / "runtime"));
}

}  // namespace
