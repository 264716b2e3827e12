// Carrying updates on disks: download-only packing into "Updates.BaZ"
// (spanned over simulated removable disks, or one file beside the old one),
// apply-only unpacking with its disk prompts, and archives from outside.

#include <gtest/gtest.h>

#include <filesystem>

#include "SimulatedVolumes.h"
#include "UpdateFiles.h"
#include "UpdateTestSupport.h"

namespace fs = std::filesystem;

namespace {

class UpdateDisks : public TUpdateFixture {
 protected:
  void SetUp() override {
    TUpdateFixture::SetUp();
    fs::create_directories(FTemp / "disks");
    FVolumes = std::make_unique<TSimulatedVolumes>(FTemp / "disks");
    FUse = std::make_unique<TScopedVolumes>(*FVolumes);
  }
  void TearDown() override {
    FUse.reset();
    FVolumes.reset();
    TUpdateFixture::TearDown();
  }

  int64_t ServerBytes() const {
    int64_t total = 0;
    for (const auto& e : fs::directory_iterator(ServerFolder()))
      total += int64_t(fs::file_size(e.path()));
    return total;
  }

  // A download-only run whose downloads are the server's files, and
  // Padding bytes more in updates of charts that are no demo charts.
  TUpdateOutcome Pack(const std::string& Updates, TRecordingView& View, int Padding = 0) {
    TUpdateProcessor processor(TUpdateMode::DownloadOnly, View);
    processor.SetFolders("", "", Updates);
    processor.BeginRun();
    for (const auto& e : fs::directory_iterator(ServerFolder()))
      fs::copy_file(e.path(), processor.WorkFolder() + e.path().filename().string());
    uint32_t x = 12345;
    for (int i = 0; Padding > 0; ++i, Padding -= 40000) {
      std::vector<uint8_t> noise(40000);
      for (uint8_t& b : noise) b = uint8_t((x = x * 1664525u + 1013904223u) >> 24);
      WriteFileBytes(processor.WorkFolder() + "18019" + std::to_string(i) + ".120", noise);
    }
    return processor.RunUpdate();
  }

  // Answers disk prompts by putting that disk into the drive first.
  std::function<int(const TShown&)> InsertingDisks() {
    return [this](const TShown& S) {
      const std::string ask = "Please insert disk ";
      if (S.Text.rfind(ask, 0) == 0) FVolumes->InsertDisk(std::stoi(S.Text.substr(ask.size())) - 1);
      if (S.Text == GetText(txtReinsertFirstDisk)) FVolumes->InsertDisk(0);
      return S.Buttons.Contains(mbYes) ? mrYes : mrOk;
    };
  }

  std::unique_ptr<TSimulatedVolumes> FVolumes;
  std::unique_ptr<TScopedVolumes> FUse;
};

TEST_F(UpdateDisks, SpannedOverThreeDisksAndBackGivesTheSameCharts) {
  const std::string drive = FTemp / "floppy";
  FVolumes->AddRemovableDrive(drive);
  // Three disks' worth, with the first disk's reserve for the directory.
  const int padding = 120000;
  const int64_t capacity = (ServerBytes() + padding) * 2 / 5;
  for (int i = 0; i < 4; ++i) FVolumes->AddDisk(capacity);
  FVolumes->InsertDisk(0);

  TRecordingView packer;
  packer.Answer = InsertingDisks();
  ASSERT_EQ(Pack(drive + "/", packer, padding), TUpdateOutcome::Packed);
  EXPECT_EQ(packer.Texts(), (std::vector<std::string>{
                                "Please insert disk 2 and click OK to proceed.",
                                "Please insert disk 3 and click OK to proceed.",
                                "The BaZ-updates have been downloaded successfully and saved to "
                                "the update(s) location."}));
  EXPECT_EQ(packer.Busy, 0);
  for (int disk = 0; disk < 3; ++disk) {
    EXPECT_EQ(FVolumes->DiskLabel(disk), "PKBACK# 00" + std::to_string(disk + 1));
    EXPECT_LE(FVolumes->UsedSpace(disk), capacity);
    EXPECT_TRUE(fs::exists(FVolumes->DiskFolder(disk) + "Updates.BaZ"));
  }
  EXPECT_FALSE(fs::exists(FVolumes->DiskFolder(3) + "Updates.BaZ"));

  // Applied from the disks, starting with the first one in the drive.
  Install({"1801", "1811", "NNZK"});
  const std::string plainInstalled = FInstalled;
  FVolumes->InsertDisk(0);
  TRecordingView reader;
  reader.Answer = InsertingDisks();
  ASSERT_EQ(ApplyFrom(drive + "/", reader), TUpdateOutcome::Applied);
  for (const TShown& s : reader.Shown) {
    EXPECT_EQ(s.Type, mtConfirmation) << s.Text;
    EXPECT_TRUE(s.Buttons.Contains(mbOK) && s.Buttons.Contains(mbCancel)) << s.Text;
  }
  EXPECT_GE(reader.Shown.size(), 2u);
  const auto fromDisks = Bitmaps();
  const std::vector<std::string> results = FResults;

  // The same sets updated from the plain archive give the same bytes.
  FInstalled = FTemp / "installed2/";
  fs::create_directories(FInstalled);
  setenv("ZARNAVIS_HOME", (FTemp / "home2").c_str(), 1);
  fs::create_directories(FTemp / "home2");
  Install({"1801", "1811", "NNZK"});
  TRecordingView plain;
  ASSERT_EQ(ApplyFrom(UpdateDisk(), plain), TUpdateOutcome::Applied);
  EXPECT_EQ(Bitmaps(), fromDisks);
  EXPECT_EQ(FResults.size(), results.size());
  EXPECT_NE(plainInstalled, FInstalled);
}

TEST_F(UpdateDisks, OneFileArchiveReplacesTheOldOneOnlyWhenAskedTo) {
  const std::string folder = FTemp / "usb/";
  fs::create_directories(folder);
  WriteFileText(folder + "Updates.BaZ", "the updates of last month");

  TRecordingView refuse;
  refuse.Answer = [](const TShown& S) { return S.Buttons.Contains(mbYes) ? mrNo : mrOk; };
  EXPECT_EQ(Pack(folder, refuse), TUpdateOutcome::Cancelled);
  EXPECT_EQ(refuse.Texts(), std::vector<std::string>{GetText(txtOverwriteUpdates)});
  EXPECT_EQ(ReadFileText(folder + "Updates.BaZ"), "the updates of last month");

  TRecordingView agree;
  EXPECT_EQ(Pack(folder, agree), TUpdateOutcome::Packed);
  EXPECT_EQ(agree.Texts(), (std::vector<std::string>{GetText(txtOverwriteUpdates),
                                                     GetText(txtDownloadedAndSaved)}));
  std::string listing;
  ASSERT_EQ(RunShellCommand("unzip -Z1 " + Q(folder + "Updates.BaZ"), &listing), 0) << listing;
  std::string expected;
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(ServerFolder()))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  for (const std::string& n : names) expected += n + "\n";
  EXPECT_EQ(listing, expected);
  EXPECT_EQ(RunShellCommand("unzip -tq " + Q(folder + "Updates.BaZ"), &listing), 0) << listing;
  // Nothing of the writing stays beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST_F(UpdateDisks, ApplyOnlyPromptsUntilTheDiskIsThereAndCanBeCancelled) {
  Install({"1801"});
  const std::string drive = FTemp / "floppy";
  FVolumes->AddRemovableDrive(drive);
  const int empty = FVolumes->AddDisk(1440 * 1024);
  const int updates = FVolumes->AddDisk(1440 * 1024);
  fs::copy_file(UpdateDisk() + "Updates.BaZ", FVolumes->DiskFolder(updates) + "Updates.BaZ");

  // No disk in the drive: the user gives up.
  TRecordingView giveUp;
  giveUp.Answer = [](const TShown&) { return mrCancel; };
  EXPECT_EQ(ApplyFrom(drive + "/", giveUp), TUpdateOutcome::Cancelled);
  ASSERT_EQ(giveUp.Shown.size(), 1u);
  EXPECT_EQ(giveUp.Shown[0].Text, GetText(txtInsertUpdateDisk));
  EXPECT_TRUE(giveUp.Shown[0].Buttons.Contains(mbCancel));

  // An empty disk first, then the one with the updates.
  TRecordingView patient;
  int asked = 0;
  patient.Answer = [&](const TShown& S) {
    ++asked;
    FVolumes->InsertDisk(asked == 1 ? empty : updates);
    return mrOk;
  };
  EXPECT_EQ(ApplyFrom(drive + "/", patient), TUpdateOutcome::Applied);
  EXPECT_EQ(patient.Texts(), (std::vector<std::string>{GetText(txtInsertUpdateDisk),
                                                       GetText(txtInsertFirstUpdateDisk)}));
  EXPECT_GT(FResults.size(), 2u);
}

// An update archive is outside data: its entries land in the work folder
// under plain names or not at all.
TEST_F(UpdateDisks, HostileArchiveStaysInsideTheWorkFolder) {
  Install({"1801"});
  const std::string disk = FTemp / "hostile/";
  fs::create_directories(disk);
  const std::string script =
      "import zipfile,sys\n"
      "src=sys.argv[2]\n"
      "with zipfile.ZipFile(sys.argv[1]+'Updates.BaZ','w') as z:\n"
      "  z.write(src+'baz.idx','baz.idx')\n"
      "  z.writestr('../../escaped.120', 'x')\n"
      "  z.writestr('/abs/rooted.240', 'x')\n"
      "  z.writestr('.lock', 'x')\n"
      "  z.writestr('notes.txt', 'x')\n"
      "  import os\n"
      "  for n in sorted(os.listdir(src)):\n"
      "    if n.startswith('1801'): z.write(src+n, 'sub/dir/'+n)\n";
  WriteFileText(FTemp / "make.py", script);
  std::string out;
  ASSERT_EQ(RunShellCommand("/usr/bin/python3 " + Q(FTemp / "make.py") + " " + Q(disk) + " " +
                                Q(ServerFolder()),
                            &out),
            0)
      << out;
  TRecordingView view;
  std::string work;
  EXPECT_EQ(ApplyFrom(disk, view, {}, -1, &work), TUpdateOutcome::Applied);
  EXPECT_GT(FResults.size(), 2u);
  for (const auto& e : fs::recursive_directory_iterator(FTemp.Path())) {
    const std::string name = e.path().filename().string();
    EXPECT_TRUE(name != "escaped.120" && name != "rooted.240" && name != "notes.txt") << e.path();
  }
  EXPECT_FALSE(fs::exists("/abs/rooted.240"));
  EXPECT_TRUE(fs::is_empty(FTemp / "runtime"));
}

}  // namespace
