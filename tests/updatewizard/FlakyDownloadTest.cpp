// Download-and-apply over a flaky network: a relay between the client and
// pyftpdlib cuts the control or a data connection at a random byte, delays,
// or closes after the transfer's first reply. Every one of the runs either
// succeeds with the bitmaps and indexes of a clean run, or fails with an
// error it tells; a failed run leaves every bitmap old or new and the
// stored indexes as they were, and the runs leak no file descriptor.

#include <dirent.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "DownloadTestSupport.h"
#include "FaultRelay.h"
#include "StoredUpdateIndex.h"

namespace fs = std::filesystem;

namespace {

int OpenDescriptors() {
  int n = 0;
  if (DIR* d = ::opendir("/proc/self/fd")) {
    while (::readdir(d)) ++n;
    ::closedir(d);
  }
  return n;
}

class FlakyDownload : public TDownloadFixture {
 protected:
  void Restore() {
    fs::remove_all(FInstalled);
    fs::copy(FTemp / "template", FInstalled);
    WriteFileText(FTemp / "home/system.reg", FBeforeHive);
  }
  std::map<std::string, std::vector<uint8_t>> FBefore;
  std::string FBeforeHive;
};

TEST_F(FlakyDownload, EveryRunSucceedsWholeOrFailsAndTellsWhy) {
  Install({"1801", "1805"});
  fs::copy(FInstalled, FTemp / "template");
  FBefore = Bitmaps();
  FBeforeHive = HiveText();
  const std::vector<uint8_t> beforeIndex[2] = {ReadStoredUpdateIndex(0), ReadStoredUpdateIndex(1)};
  StartServer();

  // The clean run: what a success must give.
  TRecordingView clean;
  ASSERT_EQ(Download(TUpdateMode::DownloadAndApply, clean).End, TDownloadEnd::Applied);
  const auto after = Bitmaps();
  const std::vector<uint8_t> afterIndex[2] = {ReadStoredUpdateIndex(0), ReadStoredUpdateIndex(1)};
  ASSERT_NE(after, FBefore);

  const int descriptors = OpenDescriptors();
  std::map<std::string, int> outcomes;
  constexpr int Runs = 100;
  for (uint32_t seed = 1; seed <= Runs; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Restore();
    TFaultRelay relay;
    ASSERT_TRUE(relay.Start(FServer.Port(), "mixed", seed, 4096, FTemp / "relay.log", 400));
    TRecordingView view;
    const TDownloadResult result =
        Download(TUpdateMode::DownloadAndApply, view, [&](TUpdateDownload& D, TUpdateProcessor&) {
          D.SetServer("127.0.0.1", relay.PortText());
          D.SetTimeout(3);
        });
    relay.Stop();
    const auto now = Bitmaps();
    if (result.End == TDownloadEnd::Applied) {
      ++outcomes["applied"];
      EXPECT_EQ(now, after);
      EXPECT_EQ(ReadStoredUpdateIndex(0), afterIndex[0]);
      EXPECT_EQ(ReadStoredUpdateIndex(1), afterIndex[1]);
      EXPECT_TRUE(view.Shown.empty());
    } else {
      ++outcomes[result.End == TDownloadEnd::Failed ? "failed " + std::to_string(result.ErrorCode)
                                                    : "ended otherwise"];
      // Told, with its number where the conversation gave one.
      ASSERT_EQ(view.Shown.size(), 1u);
      EXPECT_EQ(view.Shown[0].Type, mtError);
      EXPECT_FALSE(view.Shown[0].Text.empty());
      if (result.End == TDownloadEnd::Failed) {
        EXPECT_NE(result.ErrorCode, 0);
      }
      EXPECT_TRUE(result.End == TDownloadEnd::Failed || result.End == TDownloadEnd::NoIndex ||
                  result.End == TDownloadEnd::Aborted || result.End == TDownloadEnd::Error)
          << int(result.End);
      for (const auto& [name, bytes] : now)
        EXPECT_TRUE(bytes == FBefore.at(name) || bytes == after.at(name)) << name;
      EXPECT_EQ(ReadStoredUpdateIndex(0), beforeIndex[0]);
      EXPECT_EQ(ReadStoredUpdateIndex(1), beforeIndex[1]);
    }
    EXPECT_TRUE(fs::is_empty(FTemp / "runtime"));
    if (HasFailure()) break;
  }
  EXPECT_EQ(OpenDescriptors(), descriptors);
  std::string summary;
  for (const auto& [what, count] : outcomes) summary += what + ": " + std::to_string(count) + "  ";
  std::printf("%d runs through the relay: %s\n", Runs, summary.c_str());
  EXPECT_GT(outcomes["applied"], 0);
  EXPECT_LT(outcomes["applied"], Runs);
}

}  // namespace
