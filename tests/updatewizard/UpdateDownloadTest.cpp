// The conversation with the update server, in this process, against
// pyftpdlib on 127.0.0.1 serving the demo's updates.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "DownloadTestSupport.h"
#include "StoredUpdateIndex.h"

namespace fs = std::filesystem;

namespace {

class UpdateDownload : public TDownloadFixture {
 protected:
  std::set<std::string> ResultBitmaps() const { return TDownloadFixture::ResultBitmaps(FResults); }
};

TEST_F(UpdateDownload, FetchesAppliesAndIsUpToDateTheNextTime) {
  Install({"1801", "1805", "NNZK"});
  StartServer();
  TRecordingView view;
  const TDownloadResult result = Download(TUpdateMode::DownloadAndApply, view);
  ASSERT_EQ(result.End, TDownloadEnd::Applied) << result.Message;
  EXPECT_TRUE(view.Shown.empty()) << view.Texts()[0];
  const std::set<std::string> expected = ServerUpdates();
  ASSERT_GT(expected.size(), 5u);
  EXPECT_EQ(ResultBitmaps(), expected);
  EXPECT_EQ(CheckUpdated({expected.begin(), expected.end()}), "ok\n");
  EXPECT_FALSE(ReadStoredUpdateIndex(0).empty());
  EXPECT_TRUE(fs::is_empty(FTemp / "runtime"));

  // The whole conversation once: login, type, directory, listing, the
  // index, then the update list's files in order, one data connection
  // each, over one control connection, and QUIT.
  std::vector<std::string> want = {"USER anonymous", "PASS ****", "TYPE I", "CWD /pub/baz/2003",
                                   "PASV",           "LIST",      "PASV",   "RETR baz.idx"};
  for (const std::string& remote : FFetched) {
    if (remote == "baz.idx") continue;
    want.insert(want.end(), {"PASV", "RETR " + remote});
  }
  want.push_back("QUIT");
  ASSERT_TRUE(RunUntil([&] { return ServerLog().size() >= want.size(); }, 5000));
  EXPECT_EQ(ServerLog(), want);
  // The files come in the order of the update list.
  std::vector<std::string> inListOrder;
  for (const std::string& key : FUpdateList) {
    std::string chart;
    int res = 0;
    ASSERT_TRUE(SplitUpdateKey(key, chart, res));
    inListOrder.push_back(chart + "." + DpiText(res));
  }
  EXPECT_EQ(std::vector<std::string>(FFetched.begin() + 1, FFetched.end()), inListOrder);
  EXPECT_EQ(inListOrder.size(), expected.size());

  TRecordingView again;
  EXPECT_EQ(Download(TUpdateMode::DownloadAndApply, again).End, TDownloadEnd::UpToDate);
  EXPECT_EQ(again.Texts(), std::vector<std::string>{GetText(txtUpToDate)});
  EXPECT_EQ(FFetched, std::vector<std::string>{"baz.idx"});
}

TEST_F(UpdateDownload, DownloadOnlyPacksTheCheckedSetsAndApplyGivesTheSameCharts) {
  StartServer();
  const std::string usb = FTemp / "usb/";
  fs::create_directories(usb);
  TRecordingView view;
  const TDownloadResult result = Download(
      TUpdateMode::DownloadOnly, view,
      [](TUpdateDownload&, TUpdateProcessor& P) {
        P.SetCheckedCatalogue({ChartSetCatalogue()[1], ChartSetCatalogue()[0]});
      },
      usb);
  ASSERT_EQ(result.End, TDownloadEnd::Packed) << result.Message;
  EXPECT_EQ(view.Texts(), std::vector<std::string>{GetText(txtDownloadedAndSaved)});
  std::string listing;
  ASSERT_EQ(RunShellCommand("unzip -Z1 " + Q(usb + "Updates.BaZ"), &listing), 0) << listing;
  std::string want;
  std::vector<std::string> names = {"baz.idx"};
  for (const auto& e : fs::directory_iterator(ServerFolder())) {
    const std::string n = e.path().filename().string();
    if (n.rfind("1801", 0) == 0 || n.rfind("NNZK", 0) == 0) names.push_back(n);
  }
  std::sort(names.begin(), names.end());
  for (const std::string& n : names) want += n + "\n";
  EXPECT_EQ(listing, want);

  // Applied on a second installation, the bitmaps are the downloaded ones'.
  Install({"1801", "NNZK"});
  TRecordingView apply;
  ASSERT_EQ(ApplyFrom(usb, apply), TUpdateOutcome::Applied);
  const auto fromDisk = Bitmaps();
  const std::set<std::string> updated = ServerUpdates();
  EXPECT_EQ(CheckUpdated({updated.begin(), updated.end()}), "ok\n");
  FInstalled = FTemp / "second/";
  fs::create_directories(FInstalled);
  setenv("ZARNAVIS_HOME", (FTemp / "home2").c_str(), 1);
  fs::create_directories(FTemp / "home2");
  Install({"1801", "NNZK"});
  TRecordingView direct;
  ASSERT_EQ(Download(TUpdateMode::DownloadAndApply, direct).End, TDownloadEnd::Applied);
  EXPECT_EQ(Bitmaps(), fromDisk);
}

TEST_F(UpdateDownload, AServerWithoutTheIndexEndsWithItsMessage) {
  Install({"1801"});
  for (const char* kind : {"no baz.idx", "BAZ.IDX only"}) {
    SCOPED_TRACE(kind);
    const std::string root = FTemp / (std::string(kind[0] == 'n' ? "noindex" : "caps"));
    fs::create_directories(root + "/pub/baz/2003");
    for (const auto& e : fs::directory_iterator(ServerFolder()))
      if (e.path().filename() != "baz.idx")
        fs::copy_file(e.path(), root + "/pub/baz/2003/" + e.path().filename().string());
    if (kind[0] == 'B') fs::copy_file(ServerFolder() + "baz.idx", root + "/pub/baz/2003/BAZ.IDX");
    FServer.Stop();
    StartServer({}, root);
    for (TUpdateMode mode : {TUpdateMode::DownloadAndApply, TUpdateMode::DownloadOnly}) {
      TRecordingView view;
      EXPECT_EQ(Download(mode, view, {}, FTemp / "usb").End, TDownloadEnd::NoIndex);
      ASSERT_EQ(view.Shown.size(), 1u);
      EXPECT_EQ(view.Shown[0].Text,
                "No BaZ Update information found on FTP Server (baz.idx does not exist).");
      EXPECT_EQ(view.Shown[0].Type, mtError);
      // The server is left with QUIT, not just dropped.
      EXPECT_TRUE(
          RunUntil([&] { return !ServerLog().empty() && ServerLog().back() == "QUIT"; }, 5000));
    }
  }
}

// One chart to update: only the single progress line is shown; a file
// the listing leaves out is fetched without progress.
TEST_F(UpdateDownload, ProgressOfOneFileAndOfAnUnlistedOne) {
  Install({"1801"}, 1);
  const std::set<std::string> all = ServerUpdates("1801");
  ASSERT_GE(all.size(), 2u);
  const std::string chart = all.begin()->substr(0, all.begin()->size() - 13);
  // Every other chart of the set has its update already.
  TMemoryStream idx;
  idx.LoadFromFile(ServerFolder() + "baz.idx");
  TMemoryStream others;
  for (const TBaZIndexRecord& r : ReadBaZIndexRecords(idx)) {
    std::string name;
    if (ChartCodeToName(r.Code, name) && name != chart) WriteBaZIndexRecord(others, r);
  }
  for (bool hidden : {false, true}) {
    SCOPED_TRACE(hidden ? "left out of the listing" : "listed");
    FServer.Stop();
    StartServer(hidden ? std::vector<std::string>{"--hide", chart + ".240"}
                       : std::vector<std::string>{});
    WriteStoredUpdateIndexes({{}, others.Data()});
    struct TProgressView : TRecordingView {
      std::vector<std::pair<TProgressItem, bool>> Shows;
      std::vector<std::string> Sized;
      void ShowLabel(TProgressItem I, bool V) override { Shows.push_back({I, V}); }
      void SetLabel(TProgressItem I, const std::string& T) override {
        TRecordingView::SetLabel(I, T);
        if (T.find(" of ") != std::string::npos) Sized.push_back(T);
      }
    } view;
    ASSERT_EQ(Download(TUpdateMode::DownloadAndApply, view).End, TDownloadEnd::Applied);
    EXPECT_EQ(ResultBitmaps(), std::set<std::string>{chart + "_240_2003.bmp"});
    EXPECT_NE(std::find(view.Shows.begin(), view.Shows.end(),
                        std::make_pair(TProgressItem::Entire, false)),
              view.Shows.end());
    const bool fileProgress = std::any_of(
        view.Sized.begin(), view.Sized.end(),
        [&](const std::string& S) { return S.rfind("Downloading " + chart + ".240 (", 0) == 0; });
    EXPECT_EQ(fileProgress, !hidden);
  }
}

TEST_F(UpdateDownload, ASizeFieldThatIsNoNumberIsReportedAndEndsTheRun) {
  Install({"1801"});
  StartServer({"--bad-size", "baz.idx"});
  TRecordingView view;
  const TDownloadResult result = Download(TUpdateMode::DownloadAndApply, view);
  EXPECT_EQ(result.End, TDownloadEnd::Aborted);
  EXPECT_EQ(result.ErrorClass, "EConvertError");
  ASSERT_EQ(view.Shown.size(), 1u);
  EXPECT_EQ(view.Shown[0].Text, "'12x4' is not a valid integer value");
  EXPECT_EQ(view.Shown[0].Type, mtError);
  EXPECT_TRUE(fs::is_empty(FTemp / "runtime"));
}

}  // namespace
