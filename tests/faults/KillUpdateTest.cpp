// zrnupdate apply killed with SIGKILL at random moments while it updates an
// installation of a demo set. After every kill each installed file under
// its final name is the old one or the updated one, the stored update
// indexes of both resolutions are together the old or the new ones, and the
// next run completes with the updated state and leaves no temporary file
// and no work folder behind (it sweeps what the killed run left).

#include <gtest/gtest.h>

#include "FaultTestSupport.h"
#include "QvRegistry.h"

namespace {

namespace fs = std::filesystem;

std::string ZrnUpdate() {
  return BuiltProgram("src/updatewizard/zrnupdate");
}

class KillUpdateTest : public ::testing::TestWithParam<uint32_t> {
 protected:
  // The demo CD once: set 1801's archives, and its updates with the index.
  static void SetUpTestSuite() {
    Shared = new TempDir;
    TempDir demo;
    std::string output;
    ASSERT_EQ(RunToEnd({ZrnTool(), "demo", demo.Path(), "--scale", "0.05"}, output), 0) << output;
    fs::create_directories(*Shared / "cd");
    fs::create_directories(*Shared / "updates");
    for (const char* zra : {"1801_120.zra", "1801_240.zra"})
      fs::copy_file(demo / ("Charts/" + std::string(zra)), *Shared / ("cd/" + std::string(zra)));
    for (const auto& e : fs::directory_iterator(demo / "pub/baz/2003")) {
      const std::string name = e.path().filename().string();
      if (name == "baz.idx" || name.rfind("1801", 0) == 0)
        fs::copy_file(e.path(), *Shared / ("updates/" + name));
    }
  }
  static void TearDownTestSuite() {
    delete Shared;
    Shared = nullptr;
  }

  void SetUp() override {
    ASSERT_NE(Shared, nullptr);
    FHome = FWork / "home";
    FDest = FWork / "charts/";
    FRuntime = FWork / "runtime";
    setenv("ZARNAVIS_HOME", FHome.c_str(), 1);
    setenv("XDG_RUNTIME_DIR", FRuntime.c_str(), 1);
    SetRegistryKeyNames("ZRN", "2003");
    // The installation before the updates: the template of every round.
    fs::create_directories(FDest);
    std::string output;
    ASSERT_EQ(RunToEnd({ZrnInstall(), *Shared / "cd", FDest}, output), 0) << output;
    fs::copy(FDest, FWork / "template");
    fs::copy(FHome, FWork / "template-home");
    FBefore = ReadFolder(FDest);
    FBeforeIndexes = Indexes();
  }
  void TearDown() override { unsetenv("XDG_RUNTIME_DIR"); }

  void Restore() {
    fs::remove_all(FDest);
    fs::remove_all(FHome);
    fs::remove_all(FRuntime);
    fs::create_directories(FRuntime);
    fs::permissions(FRuntime, fs::perms::owner_all);
    fs::copy(FWork / "template", FDest);
    fs::copy(FWork / "template-home", FHome);
    // fs::copy keeps no dates; the bitmaps' dates are part of their state.
    for (const auto& [name, state] : FBefore) {
      const timespec times[2] = {{state.ModifiedSeconds, 0}, {state.ModifiedSeconds, 0}};
      ::utimensat(AT_FDCWD, (FDest + name).c_str(), times, 0);
    }
  }

  // Both stored indexes as a reader takes them, in one value: they are
  // saved together.
  std::string Indexes() {
    std::string all;
    for (const std::string dpi : {"120", "240"}) {
      const int32_t size = RegReadIntegerDef(rkMachine, "", "BaZ Index size " + dpi, 0);
      std::vector<uint8_t> index;
      if (size > 0) index = RegReadBinaryData(rkMachine, "", "BaZ Index " + dpi);
      if (index.size() > size_t(std::max(size, 0))) index.resize(size_t(size));
      all += dpi + ":" + std::string(index.begin(), index.end()) + ";";
    }
    return all;
  }

  std::vector<std::string> Command() const {
    return {ZrnUpdate(), "apply", *Shared / "cd", FDest, *Shared / "updates"};
  }

  void CleanRun() {
    Restore();
    std::string output;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(RunToEnd(Command(), output), 0) << output;
    FDuration = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - start);
    FAfter = ReadFolder(FDest);
    FAfterIndexes = Indexes();
    ASSERT_NE(FAfter, FBefore);
    ASSERT_NE(FAfterIndexes, FBeforeIndexes);
    ASSERT_TRUE(TemporaryNames(FolderNames(FDest)).empty());
  }

  // Returns the number of files already updated; Leftovers counts the
  // temporary names the kill left.
  int CheckOldOrNew(int& Leftovers) {
    int renewed = 0;
    Leftovers = 0;
    for (const auto& [name, state] : ReadFolder(FDest)) {
      if (name.rfind(".zrn-", 0) == 0) {
        ++Leftovers;
        continue;
      }
      const bool old = FBefore.count(name) && FBefore.at(name) == state;
      const bool updated = FAfter.count(name) && FAfter.at(name) == state;
      EXPECT_TRUE(old || updated) << name << " is neither the old nor the updated file";
      renewed += !old && updated;
    }
    const std::string indexes = Indexes();
    EXPECT_TRUE(indexes == FBeforeIndexes || indexes == FAfterIndexes)
        << "the stored indexes are neither the old nor the new ones";
    return renewed;
  }

  void CheckNextRunCompletes() {
    std::string output;
    ASSERT_EQ(RunToEnd(Command(), output), 0) << output;
    EXPECT_EQ(ReadFolder(FDest), FAfter);
    EXPECT_EQ(Indexes(), FAfterIndexes);
    EXPECT_TRUE(TemporaryNames(FolderNames(FDest)).empty());
    EXPECT_TRUE(FolderNames(FRuntime).empty()) << "a work folder was left";
  }

  static TempDir* Shared;
  TempDir FWork;
  std::string FHome, FDest, FRuntime;
  TFolderState FBefore, FAfter;
  std::string FBeforeIndexes, FAfterIndexes;
  std::chrono::microseconds FDuration{0};
};

TempDir* KillUpdateTest::Shared = nullptr;

// 4 seeds x 50 kills: 200 kills, in four tests that ctest runs side by side.
constexpr int KillsPerSeed = 50;

TEST_P(KillUpdateTest, KilledRunLeavesOldOrNewAndNextRunCompletes) {
  CleanRun();
  if (HasFatalFailure()) return;
  const uint32_t seed = GetParam();
  const TKillTally tally = KillRounds(
      seed, KillsPerSeed, FDuration, Command(), FWork / "killed.out", [this] { Restore(); },
      [this](TKillTally& Tally) {
        int leftovers = 0;
        const int renewed = CheckOldOrNew(leftovers);
        Tally.Mixed += renewed > 0 && Indexes() == FBeforeIndexes;
        Tally.Swept += leftovers > 0 || !FolderNames(FRuntime).empty();
        CheckNextRunCompletes();
      });
  std::printf(
      "seed %u: %d kills, %d left updated bitmaps with the old indexes, %d left temporary files "
      "or a work folder, %d came after the end\n",
      seed, KillsPerSeed, tally.Mixed, tally.Swept, tally.Ended);
  EXPECT_GT(tally.Mixed + tally.Swept, 0) << "the kills never met the run at work";
}

INSTANTIATE_TEST_SUITE_P(Seeds, KillUpdateTest, ::testing::Values(1u, 2u, 3u, 4u));

}  // namespace
