// Whole sessions (connect, list, fetch two files, quit) through real proxies
// started on 127.0.0.1: microsocks (SOCKS 5, with and without login),
// danted (SOCKS 4 and 5), ftp-proxy (USER user@site), and our scripted proxy
// for SOCKS 4A. The data connections go through the same proxy.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "FtpTestSupport.h"

namespace {

class FtpProxyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    ::chmod(FDir.Path().c_str(), 0755);
    std::filesystem::create_directories(FRoot / "pub");
    WriteFileBytes(FRoot / "pub/a.120", PatternBytes(70000, 3));
    WriteFileBytes(FRoot / "pub/b.240", PatternBytes(1234, 4));
    const int port = FreePort();
    ASSERT_TRUE(FServer.Start({"/usr/bin/python3", "-m", "pyftpdlib", "-i", "127.0.0.1", "-p",
                               std::to_string(port), "-d", FRoot.Path()},
                              port));
    FSession.Setup("127.0.0.1", FServer.PortText());
  }

  void UseProxy(TFtpConnectionType Type, const TPeerProcess& Proxy, const std::string& User = "",
                const std::string& Password = "") {
    auto& c = FSession.Client;
    c.SetConnectionType(Type);
    if (Type == ftpProxy) {
      c.SetProxyServer("127.0.0.1");
      c.SetProxyPort(Proxy.PortText());
      return;
    }
    c.SetSocksServer("127.0.0.1");
    c.SetSocksPort(Proxy.PortText());
    c.SetSocksUserCode(User);
    c.SetSocksPassword(Password);
  }

  void WholeSession() {
    auto& c = FSession.Client;
    ASSERT_EQ(FSession.Run([&] { c.ConnectAsync(); }), 0) << c.ErrorMessage();
    ASSERT_TRUE(c.TypeSet()) << c.ErrorMessage();
    const size_t typeSetDone = FSession.Done.size() + 1;
    ASSERT_TRUE(RunUntil([&] { return FSession.Done.size() == typeSetDone; }));
    c.SetHostDirName("/pub");
    ASSERT_EQ(FSession.Run([&] { c.CwdAsync(); }), 0) << c.ErrorMessage();
    TMemoryStream listing;
    c.SetLocalStream(&listing);
    c.SetHostFileName("");
    ASSERT_EQ(FSession.Run([&] { c.DirAsync(); }), 0) << c.ErrorMessage();
    const std::string text(listing.Data().begin(), listing.Data().end());
    EXPECT_NE(text.find(" a.120"), std::string::npos) << text;
    EXPECT_NE(text.find(" b.240"), std::string::npos) << text;
    for (const char* name : {"a.120", "b.240"}) {
      c.SetHostFileName(name);
      c.SetLocalFileName(FDir / name);
      ASSERT_EQ(FSession.Run([&] { c.GetAsync(); }), 0) << c.ErrorMessage();
      EXPECT_EQ(ReadFileBytes(FDir / name), ReadFileBytes(FRoot / (std::string("pub/") + name)));
    }
    ASSERT_EQ(FSession.Run([&] { c.QuitAsync(); }), 0);
    EXPECT_FALSE(c.Connected());
    const auto cmds = FSession.Commands();
    EXPECT_EQ(std::count(cmds.begin(), cmds.end(), "PASV"), 3);
  }

  TempDir FRoot;
  TempDir FDir;
  TPeerProcess FServer;
  TFtpTestSession FSession;
};

}  // namespace

TEST_F(FtpProxyTest, MicrosocksWithoutLogin) {
  TPeerProcess proxy;
  const int port = FreePort();
  ASSERT_TRUE(
      proxy.Start({"/usr/bin/microsocks", "-i", "127.0.0.1", "-p", std::to_string(port)}, port));
  UseProxy(ftpSocks5, proxy);
  WholeSession();
}

TEST_F(FtpProxyTest, MicrosocksWithLogin) {
  TPeerProcess proxy;
  const int port = FreePort();
  ASSERT_TRUE(proxy.Start({"/usr/bin/microsocks", "-i", "127.0.0.1", "-p", std::to_string(port),
                           "-u", "deckhand", "-P", "rope"},
                          port));
  UseProxy(ftpSocks5, proxy, "deckhand", "rope");
  WholeSession();
  TFtpTestSession wrong;
  wrong.Setup("127.0.0.1", FServer.PortText());
  wrong.Client.SetConnectionType(ftpSocks5);
  wrong.Client.SetSocksServer("127.0.0.1");
  wrong.Client.SetSocksPort(proxy.PortText());
  wrong.Client.SetSocksUserCode("deckhand");
  wrong.Client.SetSocksPassword("knot");
  EXPECT_EQ(wrong.Run([&] { wrong.Client.ConnectAsync(); }), 20015);
  EXPECT_EQ(wrong.Client.ErrorMessage(), "500 Not a WinSock error (Winsock error #20015)");
}

TEST_F(FtpProxyTest, DanteSocks4And5) {
  const int port = FreePort();
  WriteFileText(FDir / "danted.conf",
                "logoutput: stderr\n"
                "internal: 127.0.0.1 port = " +
                    std::to_string(port) +
                    "\n"
                    "external: 127.0.0.1\n"
                    "clientmethod: none\n"
                    "socksmethod: none\n"
                    "user.privileged: root\n"
                    "user.unprivileged: nobody\n"
                    "client pass { from: 127.0.0.0/8 to: 0.0.0.0/0 }\n"
                    "socks pass { from: 127.0.0.0/8 to: 127.0.0.0/8 protocol: tcp }\n"
                    "socks block { from: 0.0.0.0/0 to: 0.0.0.0/0 }\n");
  TPeerProcess proxy;
  ASSERT_TRUE(proxy.Start(
      {"/usr/sbin/danted", "-f", FDir / "danted.conf", "-p", FDir / "danted.pid", "-N", "1"},
      port));
  UseProxy(ftpSocks4, proxy);
  WholeSession();
  FSession.Trace.clear();
  UseProxy(ftpSocks5, proxy);
  WholeSession();
}

TEST_F(FtpProxyTest, FtpProxyUserAtSite) {
  const int port = FreePort();
  WriteFileText(FDir / "ftp-proxy.conf",
                "[-Global-]\n"
                "Listen 127.0.0.1\n"
                "Port " +
                    std::to_string(port) +
                    "\n"
                    "ServerType standalone\n"
                    "AllowMagicUser yes\n"
                    "User nobody\n"
                    "Group nogroup\n");
  TPeerProcess proxy;
  ASSERT_TRUE(
      proxy.Start({"/usr/sbin/ftp-proxy", "-d", "-n", "-f", FDir / "ftp-proxy.conf"}, port));
  UseProxy(ftpProxy, proxy);
  WholeSession();
  ASSERT_FALSE(FSession.Commands().empty());
  EXPECT_EQ(FSession.Commands().front(), "USER anonymous@127.0.0.1:" + FServer.PortText());
}

TEST_F(FtpProxyTest, ScriptedSocks4A) {
  TPeerProcess proxy;
  ASSERT_TRUE(proxy.Start({"/usr/bin/python3", TestSourceDir() + "/scripted_peer.py", "socks", "ok",
                           FDir / "socks.log"}));
  UseProxy(ftpSocks4A, proxy, "sailor");
  WholeSession();
  const auto log = ReadFileBytes(FDir / "socks.log");
  const std::string text(log.begin(), log.end());
  // The control connection and three data connections, all as 4A requests.
  size_t count = 0;
  for (size_t at = 0; (at = text.find("4 0.0.0.1 ", at)) != std::string::npos; ++at) ++count;
  EXPECT_EQ(count, 4u) << text;
}
