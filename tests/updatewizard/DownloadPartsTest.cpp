// The pieces of the download without a server: the listing parse, the
// failure texts, the size texts and the proxy settings.

#include <gtest/gtest.h>

#include "../net/NetTestSupport.h"
#include "DownloadReport.h"
#include "ProxySettings.h"
#include "ServerListing.h"
#include "UpdateTestSupport.h"

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
