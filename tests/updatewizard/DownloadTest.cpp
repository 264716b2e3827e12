// The download without a window, in this process: first its pieces without
// a server, then the conversation with the update server (pyftpdlib on
// 127.0.0.1 serving the demo's updates) as it goes well.

#include <gtest/gtest.h>
#include <filesystem>
#include <set>

#include "../net/NetTestSupport.h"
#include "DownloadReport.h"
#include "DownloadTestSupport.h"
#include "ProxySettings.h"
#include "ServerListing.h"
#include "StoredUpdateIndex.h"
#include "UpdateTestSupport.h"

namespace fs = std::filesystem;

// The pieces of the download without a server: the listing parse, the
// failure texts, the size texts and the proxy settings.

namespace {

TEST(ServerListing, TakesUpdateFilesWithTheirSizes) {
  const std::string listing =
      "total 24\r\n"
      "-rw-r--r--   1 ftp      ftp           252 Jul 01  2003 baz.idx\r\n"
      "-rw-r--r--   1 ftp      ftp          4711 Jun 02 09:30 180101.120\r\n"
      "-rw-r--r--   1 ftp      ftp             0 Jun 02 09:30 empty.240\n"
      "-rw-r--r--   1 ftp      ftp            12 Jun 02 09:30 readme.txt\r\n"
      "-rw-r--r--   1 ftp      ftp            12 Jun 02 09:30 OLD.IDX\r\n"
      "-rw-r--r--   1 ftp      ftp            12 Jun 02 09:30 180102.120.bak\r\n"
      "drwxr-xr-x   2 ftp      ftp          4096 Jun 02 09:30 archive\r\n"
      "-rw-r--r--   1 ftp      ftp            99 Jun 02 09:30 ..\\..\\evil.120\r\n"
      "-rw-r--r--   1 ftp      ftp            99 Jun 02 09:30 .hidden.120\r\n"
      "-rw-r--r--   1 ftp      ftp      2147483647 Jun 02 09:30 NNZK_1014.240";
  const std::vector<TRemoteFile> files = ParseServerListing(listing);
  ASSERT_EQ(files.size(), 4u);
  const std::pair<std::string, int64_t> want[] = {
      {"baz.idx", 252}, {"180101.120", 4711}, {"empty.240", 0}, {"NNZK_1014.240", 2147483647}};
  for (size_t i = 0; i < files.size(); ++i) {
    EXPECT_EQ(files[i].Name, want[i].first);
    EXPECT_EQ(files[i].Size, want[i].second);
  }
  ASSERT_NE(FindRemoteFile(files, "BAZ.IDX"), nullptr);
  EXPECT_EQ(FindRemoteFile(files, "BAZ.IDX")->Name, "baz.idx");
  EXPECT_EQ(FindRemoteFile(files, "readme.txt"), nullptr);
  EXPECT_TRUE(ParseServerListing("").empty());
}

// Windows FTP services list the MS-DOS way; a server may mix in long lines.
TEST(ServerListing, TakesTheMsDosStyleToo) {
  const std::vector<TRemoteFile> files = ParseServerListing(
      "12-08-03  07:56AM                  252 baz.idx\r\n"
      "07-01-2003  19:30                 4711 180101.120\r\n"
      "12-08-03  07:56PM       <DIR>          archive.120\r\n"
      "12-08-03  07:56AM                   12 readme.txt\r\n"
      "12-08-03  07:56AM                   99 ..\\evil.240\r\n"
      "-rw-r--r--   1 ftp      ftp            99 Jun 02 09:30 180102.240\n");
  ASSERT_EQ(files.size(), 3u);
  const std::pair<std::string, int64_t> want[] = {
      {"baz.idx", 252}, {"180101.120", 4711}, {"180102.240", 99}};
  for (size_t i = 0; i < files.size(); ++i) {
    EXPECT_EQ(files[i].Name, want[i].first);
    EXPECT_EQ(files[i].Size, want[i].second);
  }
}

// A line of neither style is read as a long listing, whose rule raises.
TEST(ServerListing, ASizeThatIsNoNumberRaises) {
  for (const char* line :
       {"-rw-r--r--   1 ftp      ftp          47x1 Jun 02 09:30 180101.120",
        "-rw-r--r--   1 ftp      ftp  99999999999 Jun 02 09:30 180101.120", "180101.120",
        "x Jun 02 09:30 180101.120", "12-08-03  07:56AM      99999999999 180101.120",
        "12-08-03 07:56AM 180101.120", "12-08-03  7:5 12 180101.120"}) {
    SCOPED_TRACE(line);
    EXPECT_THROW(ParseServerListing(line), EConvertError);
  }
}

TEST(DownloadReport, FailureTextsAndPages) {
  const std::string noData = std::string(FtpDataConnectionFailed) + ", error #10061";
  struct {
    int Error;
    bool Proxy, LoggingIn;
    std::string Text;
    TNextPage Page;
    std::string Message = "M";
  } rows[] = {
      {11001, true, true, "M\n\r\rCheck FTP settings and try again.", TNextPage::Summary},
      {11001, false, true, "M\n\r\rMake sure you are connected to the internet and try again.",
       TNextPage::Proxy},
      {10061, true, true, "M\n\r\rCheck FTP settings and try again.", TNextPage::Proxy},
      {10061, false, true, "(Error 10061) M", TNextPage::Proxy},
      {20015, true, true, "(Error 20015) M", TNextPage::Proxy},
      // The server refuses a file: nothing on the way to change.
      {550, true, false, "(Error 550) M", TNextPage::Summary},
      {550, false, false, "(Error 550) " + noData, TNextPage::Proxy, noData},
      {530, true, true, "(Error 530) M", TNextPage::Proxy},
      {426, false, false, "(Error 426) M", TNextPage::Proxy},
  };
  for (const auto& row : rows) {
    const TFailureReport report =
        DescribeDownloadFailure(row.Error, row.Message, row.Proxy, row.LoggingIn);
    EXPECT_EQ(report.Text, row.Text) << row.Error;
    EXPECT_EQ(report.Page, row.Page) << row.Error;
  }
  EXPECT_EQ(DownloadSizeText(0, ","), "0 bytes");
  EXPECT_EQ(DownloadSizeText(1023, ","), "1023 bytes");
  EXPECT_EQ(DownloadSizeText(1024, ","), "1,00 kB");
  EXPECT_EQ(DownloadSizeText(1536, "."), "1.50 kB");
  EXPECT_EQ(DownloadSizeText(1034, ","), "1,01 kB");
  EXPECT_EQ(DownloadSizeText(10 * 1024 * 1024, ","), "10240,00 kB");
}

class ProxySettingsTest : public TUpdateFixture {};

TEST_F(ProxySettingsTest, StoredChecksAndTheClient) {
  const TProxySettings defaults = LoadProxySettings();
  EXPECT_EQ(defaults.Type, ptNone);
  EXPECT_EQ(defaults.Port, 21);
  EXPECT_FALSE(defaults.Login);
  EXPECT_EQ(UpdateServerHost(), DefaultUpdateHost);
  EXPECT_EQ(UpdateServerPort(), "21");

  SaveProxySettings({ptSocks4A, "proxy.local", 1080, true, "skipper", "s3cret"});
  const TProxySettings stored = LoadProxySettings();
  EXPECT_EQ(stored.Type, ptSocks4A);
  EXPECT_EQ(stored.Server, "proxy.local");
  EXPECT_EQ(stored.Port, 1080);
  EXPECT_TRUE(stored.Login);
  EXPECT_EQ(stored.UserName, "skipper");
  EXPECT_EQ(stored.Password, "s3cret");
  const std::string user = ReadFileText(FTemp / "home/user.reg");
  for (const char* line : {"\"Proxy type\"=dword:00000004", "\"Proxy server\"=\"proxy.local\"",
                           "\"Proxy port\"=dword:00000438", "\"Proxy login\"=dword:00000001",
                           "\"Proxy username\"=\"skipper\"", "\"Proxy password\"=\"s3cret\""})
    EXPECT_NE(user.find(line), std::string::npos) << line;
  // The demo names its own server with zrntool, in the same hive.
  std::string out;
  const std::string tool = "env ZARNAVIS_HOME=" + Q(FTemp / "home") + " " +
                           Q(BuildDir() + "/tools/zrntool") + " settings update-server ";
  EXPECT_EQ(RunShellCommand(tool + "127.0.0.1 2121", &out), 0) << out;
  EXPECT_EQ(UpdateServerHost(), "127.0.0.1");
  EXPECT_EQ(UpdateServerPort(), "2121");
  EXPECT_EQ(LoadProxySettings().Server, "proxy.local");
  EXPECT_EQ(RunShellCommand(tool + "127.0.0.1 70000", &out), 2) << out;
  EXPECT_EQ(UpdateServerPort(), "2121");
  RegWriteInteger(rkUser, "Update", "Proxy type", 9);
  EXPECT_EQ(LoadProxySettings().Type, ptNone);
  // Encryption: TLS when offered unless stored otherwise; the proxy page's
  // values, which the wizard writes back, leave it as it is.
  EXPECT_EQ(LoadEncryptionMode(), ftpTlsAuto);
  SaveEncryptionMode(ftpTlsRequire);
  SaveProxySettings({});
  EXPECT_EQ(LoadEncryptionMode(), ftpTlsRequire);
  EXPECT_NE(ReadFileText(FTemp / "home/user.reg").find("\"Encryption\"=dword:00000001"),
            std::string::npos);
  RegWriteInteger(rkUser, "Update", "Encryption", 3);
  EXPECT_EQ(LoadEncryptionMode(), ftpTlsAuto);

  // The list order 5, 4, 4A is not the client's order 4, 4A, 5.
  EXPECT_EQ(ProxyConnectionType(ptNone), ftpDirect);
  EXPECT_EQ(ProxyConnectionType(ptUser), ftpProxy);
  EXPECT_EQ(ProxyConnectionType(ptSocks5), ftpSocks5);
  EXPECT_EQ(ProxyConnectionType(ptSocks4), ftpSocks4);
  EXPECT_EQ(ProxyConnectionType(ptSocks4A), ftpSocks4A);

  struct {
    TProxySettings Settings;
    std::string Warning;
  } checks[] = {{{ptNone, "", 21, true, "", ""}, ""},
                {{ptSocks5, "", 1080, false, "", ""}, "No proxy server entered"},
                {{ptUser, "gate", 21, false, "", ""}, ""},
                {{ptSocks4, "gate", 1080, true, "", "pw"}, "No proxy username entered"},
                {{ptSocks4A, "gate", 1080, true, "me", ""}, "No proxy password entered"},
                {{ptSocks5, "gate", 1080, true, "me", "pw"}, ""}};
  for (const auto& c : checks) EXPECT_EQ(CheckProxySettings(c.Settings), c.Warning);

  TestApp();  // sockets need the application object
  TFtpClient client;
  ApplyProxySettings(client, {ptSocks5, "gate", 1080, true, "me", "pw"}, false);
  EXPECT_EQ(client.ConnectionType(), ftpSocks5);
  EXPECT_EQ(client.SocksServer(), "gate");
  EXPECT_EQ(client.SocksPort(), "1080");
  EXPECT_EQ(client.SocksUserCode(), "me");
  EXPECT_EQ(client.SocksPassword(), "pw");
  EXPECT_TRUE(client.Passive());
  ApplyProxySettings(client, {ptUser, "ftpgate", 2121, false, "", ""}, true);
  EXPECT_EQ(client.ConnectionType(), ftpProxy);
  EXPECT_EQ(client.ProxyServer(), "ftpgate");
  EXPECT_EQ(client.ProxyPort(), "2121");
  ApplyProxySettings(client, {}, false);
  EXPECT_EQ(client.ConnectionType(), ftpDirect);
  EXPECT_FALSE(client.Passive());
}

}  // namespace

// The conversation with the update server, in this process, against
// pyftpdlib on 127.0.0.1 serving the demo's updates.

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

  // The whole conversation once: AUTH TLS (which this server refuses, so
  // the rest is plain), login, type, directory, listing, the index, then
  // the update list's files in order, one data connection each, over one
  // control connection, and QUIT.
  std::vector<std::string> want = {"AUTH TLS",          "USER anonymous", "PASS ****", "TYPE I",
                                   "CWD /pub/baz/2003", "PASV",           "LIST",      "PASV",
                                   "RETR baz.idx"};
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
