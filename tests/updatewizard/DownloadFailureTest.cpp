// The download without a window, in this process, as it goes wrong: the
// failures between the wizard and the update server, one by one, and runs
// over a flaky network.

#include <dirent.h>
#include <gtest/gtest.h>
#include <filesystem>

#include "DownloadTestSupport.h"
#include "FaultRelay.h"
#include "StoredUpdateIndex.h"
#include "TlsPeers.h"

namespace fs = std::filesystem;

// What goes wrong between the wizard and the update server: each failure is
// told with its number and message, leaves the installed bitmaps and the
// stored indexes as they were, and a new start really starts again.

namespace {

class DownloadFailure : public TDownloadFixture {
 protected:
  void SetUp() override {
    TDownloadFixture::SetUp();
    Install({"1801", "1803"});
    FBefore = Bitmaps();
    FHive = HiveText();
  }
  void ExpectNothingChanged() {
    EXPECT_EQ(Bitmaps(), FBefore);
    EXPECT_EQ(HiveText(), FHive);
    EXPECT_TRUE(fs::is_empty(FTemp / "runtime"));
  }
  // The first update file the run fetches after the index.
  std::string FirstUpdate() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(ServerFolder())) {
      const std::string n = e.path().filename().string();
      if (n.rfind("1801", 0) == 0 || n.rfind("1803", 0) == 0) names.push_back(n);
    }
    std::sort(names.begin(), names.end(), TCaseInsensitiveLess());
    return names.at(0);
  }
  std::map<std::string, std::vector<uint8_t>> FBefore;
  std::string FHive;
};

TEST_F(DownloadFailure, UnknownHostAndRefusedConnection) {
  const int closed = FreePort();
  struct {
    const char* Name;
    std::string Host, Port;
    TProxySettings Proxy;
    int Error;
    std::string Text;
    TNextPage Page;
  } rows[] = {
      {"unknown host",
       UnresolvableHost(),
       "21",
       {},
       11001,
       "500 Host not found (Winsock error #11001)\n\r\rMake sure you are connected to the "
       "internet and try again.",
       TNextPage::Proxy},
      {"unknown proxy",
       "127.0.0.1",
       "21",
       {ptUser, UnresolvableHost(), 2121, false, "", ""},
       11001,
       "500 Host not found (Winsock error #11001)\n\r\rCheck FTP settings and try again.",
       TNextPage::Summary},
      {"refused",
       "127.0.0.1",
       std::to_string(closed),
       {},
       10061,
       "(Error 10061) 500 Connection refused (Winsock error #10061)",
       TNextPage::Proxy},
      {"proxy refused",
       "127.0.0.1",
       "21",
       {ptUser, "127.0.0.1", closed, false, "", ""},
       10061,
       "500 Connection refused (Winsock error #10061)\n\r\rCheck FTP settings and try again.",
       TNextPage::Proxy},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Name);
    TRecordingView view;
    const TDownloadResult result =
        Download(TUpdateMode::DownloadAndApply, view, [&](TUpdateDownload& D, TUpdateProcessor&) {
          D.SetServer(row.Host, row.Port);
          D.SetProxy(row.Proxy, true);
        });
    EXPECT_EQ(result.End, TDownloadEnd::Failed);
    EXPECT_EQ(result.ErrorCode, row.Error);
    EXPECT_EQ(result.Page, row.Page);
    ASSERT_EQ(view.Shown.size(), 1u);
    EXPECT_EQ(view.Shown[0].Text, row.Text);
    EXPECT_EQ(view.Shown[0].Type, mtError);
    ExpectNothingChanged();
  }
}

// A proxy that refuses the connection to the server (SOCKS 5 reply 2, not
// allowed by its rules) is reported with the SOCKS number.
TEST_F(DownloadFailure, AProxyThatRefuses) {
  TPeerProcess socks;
  ASSERT_TRUE(socks.Start({"/usr/bin/python3", TestSourceDir() + "/scripted_peer.py", "socks",
                           "reply5=2", FTemp / "socks.log"}));
  TRecordingView view;
  const TDownloadResult result =
      Download(TUpdateMode::DownloadAndApply, view, [&](TUpdateDownload& D, TUpdateProcessor&) {
        D.SetServer("127.0.0.1", "21");
        D.SetProxy({ptSocks5, "127.0.0.1", socks.Port(), false, "", ""}, true);
      });
  EXPECT_EQ(result.End, TDownloadEnd::Failed);
  EXPECT_EQ(result.ErrorCode, 20005);
  ASSERT_EQ(view.Shown.size(), 1u);
  EXPECT_EQ(view.Shown[0].Text.rfind("(Error 20005) ", 0), 0u) << view.Shown[0].Text;
  ExpectNothingChanged();
}

// RETR answered 550 leaves the control connection open; starting again
// quits it and holds a new conversation, which then succeeds.
TEST_F(DownloadFailure, ARefusedFetchAndTheRetryAfterIt) {
  const std::string first = FirstUpdate();
  StartServer({"--fail", first + ":550"});
  TRecordingView view;
  TUpdateProcessor processor(TUpdateMode::DownloadAndApply, view);
  processor.SetFolders(Cd(), FInstalled, "");
  processor.SetChartSets(InstalledSets());
  TUpdateDownload download(processor, view);
  download.SetServer("127.0.0.1", FServer.PortText());
  download.Start();
  ASSERT_TRUE(RunUntil([&] { return !download.Running(); }, 60000));
  EXPECT_EQ(download.Result().End, TDownloadEnd::Failed);
  EXPECT_EQ(download.Result().ErrorCode, 550);
  ASSERT_EQ(view.Shown.size(), 1u);
  EXPECT_EQ(view.Shown[0].Text, "(Error 550) 550 Fetch refused.");
  EXPECT_TRUE(download.Client().Connected());
  ExpectNothingChanged();

  // The server mends its file; the user confirms the summary page again.
  FServer.Stop();
  const std::vector<std::string> before = ServerLog();
  StartServer();
  download.SetServer("127.0.0.1", FServer.PortText());
  download.Start();
  ASSERT_TRUE(RunUntil([&] { return !download.Running(); }, 60000));
  EXPECT_EQ(download.Result().End, TDownloadEnd::Applied) << download.Result().Message;
  const std::vector<std::string> log = ServerLog();
  ASSERT_GT(log.size(), before.size() + 1);
  EXPECT_EQ(log[before.size()], "AUTH TLS");  // a new conversation, refused TLS
  EXPECT_EQ(log[before.size() + 1], "USER anonymous");
  download.CloseQuery();
}

// A box left open longer than the watch waits adds no second, false
// "(Error 10060)" and leaves the result as the box tells it: the watch
// stands still while a box waits for the user.
TEST_F(DownloadFailure, ABoxLeftOpenAddsNoSecondError) {
  struct {
    const char* Name;
    std::vector<std::string> Server;
    TDownloadEnd End;
    int Error;
  } rows[] = {
      {"the failure box", {"--fail", FirstUpdate() + ":550"}, TDownloadEnd::Failed, 550},
      {"the box of a server without index", {"--hide", "baz.idx"}, TDownloadEnd::NoIndex, 0},
      {"the exception report", {"--bad-size", "baz.idx"}, TDownloadEnd::Aborted, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Name);
    FServer.Stop();
    StartServer(row.Server);
    TRecordingView view;
    view.Answer = [](const TShown&) {
      PumpFor(3000);
      return mrOk;
    };
    const TDownloadResult result =
        Download(TUpdateMode::DownloadAndApply, view,
                 [](TUpdateDownload& D, TUpdateProcessor&) { D.SetTimeout(1); });
    EXPECT_EQ(result.End, row.End);
    EXPECT_EQ(result.ErrorCode, row.Error);
    EXPECT_EQ(view.Shown.size(), 1u) << view.Texts().back();
    ExpectNothingChanged();
  }
}

// A transfer cut short that the server still ends with 226 is fetched
// again, going on from the bytes that came (REST); cut every time, it is a
// failure, and nothing of it is applied.
TEST_F(DownloadFailure, CutTransfersAreFetchedAgainUpToTwice) {
  const std::string first = FirstUpdate();
  StartServer({"--cut", first + ":40:1"});
  TRecordingView once;
  ASSERT_EQ(Download(TUpdateMode::DownloadAndApply, once).End, TDownloadEnd::Applied);
  EXPECT_EQ(std::count(FFetched.begin(), FFetched.end(), first), 2);
  const std::vector<std::string> log = ServerLog();
  const auto rest = std::find(log.begin(), log.end(), "REST 40");
  ASSERT_NE(rest, log.end());
  EXPECT_EQ(*std::next(rest), "RETR " + first);
  EXPECT_EQ(CheckUpdated({first.substr(0, first.size() - 4) + "_" + first.substr(first.size() - 3) +
                          "_2003.bmp"}),
            "ok\n");

  // Fresh charts again, and a file that never arrives whole.
  fs::remove_all(FInstalled);
  fs::create_directories(FInstalled);
  WriteStoredUpdateIndexes({{}, {}});
  Install({"1801", "1803"});
  FBefore = Bitmaps();
  FHive = HiveText();
  FServer.Stop();
  StartServer({"--cut", first + ":40:3"});
  TRecordingView always;
  const TDownloadResult result = Download(TUpdateMode::DownloadAndApply, always);
  EXPECT_EQ(result.End, TDownloadEnd::Failed);
  EXPECT_EQ(result.ErrorCode, 426);
  EXPECT_EQ(std::count(FFetched.begin(), FFetched.end(), first), 3);
  // Each attempt went on from the last: three pieces of 40 bytes came.
  ASSERT_EQ(always.Shown.size(), 1u);
  EXPECT_NE(always.Shown[0].Text.find(first + ": 120 of "), std::string::npos)
      << always.Shown[0].Text;
  ExpectNothingChanged();
}

// The retry of a cut transfer gives the server's file byte for byte: with
// REST from where the cut came, and from the start where REST is refused.
TEST_F(DownloadFailure, ResumedAndRestartedFetchesGiveTheServersBytes) {
  const std::string first = FirstUpdate();
  for (const bool rest : {true, false}) {
    SCOPED_TRACE(rest ? "REST taken" : "REST refused");
    FServer.Stop();
    fs::remove(FTemp / "ftp.log");
    std::vector<std::string> options = {"--cut", first + ":40:1"};
    if (!rest) options.push_back("--no-rest");
    StartServer(options);
    const std::string usb = FTemp / (rest ? "usb-rest" : "usb-start");
    fs::create_directories(usb);
    TRecordingView view;
    ASSERT_EQ(Download(TUpdateMode::DownloadOnly, view, {}, usb + "/").End, TDownloadEnd::Packed)
        << view.Texts().front();
    std::string fetched;
    ASSERT_EQ(RunShellCommand("unzip -p " + Q(usb + "/Updates.BaZ") + " " + first, &fetched), 0);
    EXPECT_EQ(fetched, ReadFileText(ServerFolder() + first));
    const std::vector<std::string> log = ServerLog();
    EXPECT_EQ(std::count(log.begin(), log.end(), "RETR " + first), 2);
    // Taken, RETR goes on from byte 40; refused, the file comes again from
    // the start on a new data connection.
    const auto at = std::find(log.begin(), log.end(), "REST 40");
    ASSERT_NE(at, log.end());
    ASSERT_NE(std::next(at), log.end());
    EXPECT_EQ(*std::next(at), rest ? "RETR " + first : "PASV");
  }
}

}  // namespace

// Download-and-apply over a flaky network: a relay between the client and
// pyftpdlib cuts the control or a data connection at a random byte, delays,
// or closes after the transfer's first reply. Every one of the runs either
// succeeds with the bitmaps and indexes of a clean run, or fails with an
// error it tells; a failed run leaves every bitmap old or new and the
// stored indexes as they were, and the runs leak no file descriptor. The
// same in TLS (required; the relay cannot read the encrypted replies, so it
// cuts and delays the control connection only, and the data connections go
// straight to the server: the socket test of the TLS layer covers a cut
// data stream).

namespace {

int OpenDescriptors() {
  int n = 0;
  if (DIR* d = ::opendir("/proc/self/fd")) {
    while (::readdir(d)) ++n;
    ::closedir(d);
  }
  return n;
}

class FlakyDownload : public TDownloadFixture, public ::testing::WithParamInterface<bool> {
 protected:
  void Restore() {
    fs::remove_all(FInstalled);
    fs::copy(FTemp / "template", FInstalled);
    WriteFileText(FTemp / "home/system.reg", FBeforeHive);
  }
  std::map<std::string, std::vector<uint8_t>> FBefore;
  std::string FBeforeHive;
};

TEST_P(FlakyDownload, EveryRunSucceedsWholeOrFailsAndTellsWhy) {
  Install({"1801", "1805"});
  fs::copy(FInstalled, FTemp / "template");
  FBefore = Bitmaps();
  FBeforeHive = HiveText();
  const std::vector<uint8_t> beforeIndex[2] = {ReadStoredUpdateIndex(0), ReadStoredUpdateIndex(1)};
  const bool tls = GetParam();
  if (tls) {
    const TTestAuthority& authority = TTestAuthority::Get();
    ASSERT_EQ(authority.Error(), "");
    ::setenv("SSL_CERT_FILE", authority.CaFile().c_str(), 1);
    StartServer({"--tls", authority.CertFile(TServerCertificate::Good),
                 authority.KeyFile(TServerCertificate::Good)});
  } else {
    StartServer();
  }
  const TFtpTlsMode mode = tls ? ftpTlsRequire : ftpTlsOff;

  // The clean run: what a success must give.
  TRecordingView clean;
  ASSERT_EQ(Download(TUpdateMode::DownloadAndApply, clean,
                     [&](TUpdateDownload& D, TUpdateProcessor&) { D.SetEncryption(mode); })
                .End,
            TDownloadEnd::Applied);
  const auto after = Bitmaps();
  const std::vector<uint8_t> afterIndex[2] = {ReadStoredUpdateIndex(0), ReadStoredUpdateIndex(1)};
  ASSERT_NE(after, FBefore);
  // The progress label says how the connection is encrypted.
  const std::string connected = GetText(txtConnectedTo) + "127.0.0.1" +
                                (tls ? " (TLS 1.3, certificate verified)" : " (not encrypted)");
  EXPECT_NE(std::find(clean.Labels.begin(), clean.Labels.end(), connected), clean.Labels.end());

  const int descriptors = OpenDescriptors();
  std::map<std::string, int> outcomes;
  constexpr int Runs = 100;
  for (uint32_t seed = 1; seed <= Runs; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Restore();
    TFaultRelay relay;
    // In TLS the handshake alone takes a few kB of the control connection.
    ASSERT_TRUE(relay.Start(FServer.Port(), "mixed", seed, 4096, FTemp / "relay.log",
                            tls ? 8000 : 400, tls));
    TRecordingView view;
    const TDownloadResult result =
        Download(TUpdateMode::DownloadAndApply, view, [&](TUpdateDownload& D, TUpdateProcessor&) {
          D.SetServer("127.0.0.1", relay.PortText());
          D.SetTimeout(3);
          D.SetEncryption(mode);
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
  std::printf("%d runs through the relay%s: %s\n", Runs, tls ? " in TLS" : "", summary.c_str());
  EXPECT_GT(outcomes["applied"], 0);
  EXPECT_LT(outcomes["applied"], Runs);
  ::unsetenv("SSL_CERT_FILE");
}

INSTANTIATE_TEST_SUITE_P(PlainAndTls, FlakyDownload, ::testing::Bool());

}  // namespace
