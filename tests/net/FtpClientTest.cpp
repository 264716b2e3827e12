// The FTP client against pyftpdlib on 127.0.0.1.

#include <gtest/gtest.h>

#include "FtpCli.h"
#include "FtpTestSupport.h"

namespace {

class FtpClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    std::filesystem::create_directories(FRoot / "pub");
    WriteFileBytes(FRoot / "pub/empty.bin", {});
    WriteFileBytes(FRoot / "pub/one.bin", {0x5A});
    WriteFileBytes(FRoot / "pub/page.bin", PatternBytes(4096, 1));
    WriteFileBytes(FRoot / "pub/large.bin", PatternBytes(3 * 1024 * 1024 + 17, 7));
    FPort = FreePort();
    ASSERT_TRUE(FServer.Start({"/usr/bin/python3", "-m", "pyftpdlib", "-i", "127.0.0.1", "-p",
                               std::to_string(FPort), "-d", FRoot.Path()},
                              FPort));
    FSession.Setup("127.0.0.1", std::to_string(FPort));
  }

  TempDir FRoot;
  TempDir FOut;
  int FPort = 0;
  TPeerProcess FServer;
  TFtpTestSession FSession;
};

}  // namespace

TEST_F(FtpClientTest, SessionTranscriptAndEvents) {
  auto& c = FSession.Client;
  ASSERT_EQ(FSession.Run([&] { c.ConnectAsync(); }), 0);
  EXPECT_EQ(FSession.Commands(), (std::vector<std::string>{"USER anonymous", "PASS ****"}));
  EXPECT_EQ(FSession.Done, (std::vector<TFtpRequest>{ftpConnectAsync}));
  EXPECT_TRUE(c.Connected());
  c.SetHostDirName("/pub");
  ASSERT_EQ(FSession.Run([&] { c.TypeSetAsync(); }), 0);
  ASSERT_EQ(FSession.Run([&] { c.CwdAsync(); }), 0);
  TMemoryStream listing;
  c.SetLocalStream(&listing);
  c.SetHostFileName("");
  c.SetPassive(true);
  ASSERT_EQ(FSession.Run([&] { c.DirAsync(); }), 0);
  const std::string text(listing.Data().begin(), listing.Data().end());
  EXPECT_NE(text.find("large.bin"), std::string::npos);
  EXPECT_NE(text.find("page.bin"), std::string::npos);
  ASSERT_EQ(FSession.Run([&] { c.QuitAsync(); }), 0);
  EXPECT_FALSE(c.Connected());
  EXPECT_EQ(FSession.Commands(), (std::vector<std::string>{"USER anonymous", "PASS ****", "TYPE I",
                                                           "CWD /pub", "PASV", "LIST", "QUIT"}));
  EXPECT_EQ(FSession.Done, (std::vector<TFtpRequest>{ftpConnectAsync, ftpTypeSetAsync, ftpCwdAsync,
                                                     ftpDirAsync, ftpQuitAsync}));
  EXPECT_EQ(c.State(), ftpsReady);
}

TEST_F(FtpClientTest, RetrieveFilesPassiveAndActive) {
  auto& c = FSession.Client;
  ASSERT_EQ(FSession.Run([&] { c.ConnectAsync(); }), 0);
  ASSERT_EQ(FSession.Run([&] { c.TypeSetAsync(); }), 0);
  for (bool passive : {true, false}) {
    c.SetPassive(passive);
    for (const char* name : {"empty.bin", "one.bin", "page.bin", "large.bin"}) {
      SCOPED_TRACE(std::string(name) + (passive ? " passive" : " active"));
      c.SetHostFileName(std::string("/pub/") + name);
      c.SetLocalFileName(FOut / name);
      ASSERT_EQ(FSession.Run([&] { c.GetAsync(); }), 0) << c.ErrorMessage();
      EXPECT_EQ(ReadFileBytes(FOut / name), ReadFileBytes(FRoot / (std::string("pub/") + name)));
    }
  }
  // Into a caller's stream, which stays open and owned by the caller.
  TMemoryStream stream;
  c.SetLocalStream(&stream);
  c.SetHostFileName("/pub/page.bin");
  ASSERT_EQ(FSession.Run([&] { c.GetAsync(); }), 0);
  EXPECT_EQ(stream.Data(), PatternBytes(4096, 1));
  EXPECT_EQ(c.ByteCount(), 4096);
  const auto cmds = FSession.Commands();
  EXPECT_EQ(std::count(cmds.begin(), cmds.end(), "PASV"), 4);
  EXPECT_EQ(std::count_if(cmds.begin(), cmds.end(),
                          [](const std::string& s) { return s.rfind("PORT 127,0,0,1,", 0) == 0; }),
            5);
}

TEST_F(FtpClientTest, MissingFileLeavesEmptyLocalFile) {
  auto& c = FSession.Client;
  ASSERT_EQ(FSession.Run([&] { c.ConnectAsync(); }), 0);
  c.SetPassive(true);
  c.SetHostFileName("/pub/absent.bin");
  c.SetLocalFileName(FOut / "absent.bin");
  WriteFileText(FOut / "absent.bin", "what an earlier fetch left");  // emptied all the same
  EXPECT_EQ(FSession.Run([&] { c.GetAsync(); }), 550);
  EXPECT_EQ(c.ErrorMessage().substr(0, 4), "550 ");
  EXPECT_TRUE(std::filesystem::exists(FOut / "absent.bin"));
  EXPECT_EQ(std::filesystem::file_size(FOut / "absent.bin"), 0u);
  EXPECT_TRUE(c.Connected());  // the session goes on
  c.SetHostFileName("/pub/one.bin");
  c.SetLocalFileName(FOut / "one.bin");
  EXPECT_EQ(FSession.Run([&] { c.GetAsync(); }), 0);
}

TEST_F(FtpClientTest, BlockingTypeSetInsideRequestDone) {
  auto& c = FSession.Client;
  bool typeSetResult = false;
  bool inside = false;
  FSession.Extra = [&](TFtpRequest Rq, uint16_t Error) {
    if (Rq == ftpConnectAsync && Error == 0) {
      inside = true;
      typeSetResult = c.TypeSet();
      inside = false;
    }
  };
  ASSERT_EQ(FSession.Run([&] { c.ConnectAsync(); }), 0);
  EXPECT_TRUE(typeSetResult);
  EXPECT_FALSE(inside);
  ASSERT_TRUE(RunUntil([&] { return FSession.Done.size() == 2; }));
  EXPECT_EQ(FSession.Done, (std::vector<TFtpRequest>{ftpConnectAsync, ftpTypeSetAsync}));
  EXPECT_TRUE(c.Quit());
  EXPECT_FALSE(c.Connected());
}

TEST_F(FtpClientTest, LoginWithUserAndWrongPassword) {
  FServer.Stop();
  FPort = FreePort();
  ASSERT_TRUE(
      FServer.Start({"/usr/bin/python3", "-m", "pyftpdlib", "-i", "127.0.0.1", "-p",
                     std::to_string(FPort), "-d", FRoot.Path(), "-u", "skipper", "-P", "s3cret"},
                    FPort));
  TFtpTestSession ok;
  ok.Setup("127.0.0.1", std::to_string(FPort));
  ok.Client.SetUserName("skipper");
  ok.Client.SetPassWord("s3cret");
  EXPECT_EQ(ok.Run([&] { ok.Client.ConnectAsync(); }), 0);
  TFtpTestSession bad;
  bad.Setup("127.0.0.1", std::to_string(FPort));
  bad.Client.SetUserName("skipper");
  bad.Client.SetPassWord("wrong");
  EXPECT_EQ(bad.Run([&] { bad.Client.ConnectAsync(); }), 530);
  EXPECT_EQ(bad.Client.ErrorMessage().substr(0, 4), "530 ");
}

TEST_F(FtpClientTest, ProgressAbortEndsTransferWithError) {
  auto& c = FSession.Client;
  ASSERT_EQ(FSession.Run([&] { c.ConnectAsync(); }), 0);
  c.SetPassive(true);
  int calls = 0;
  c.OnProgress = [&](TCustomFtpCli*, int64_t Count, bool& Abort) {
    ++calls;
    Abort = Count > 100000;
  };
  c.SetHostFileName("/pub/large.bin");
  c.SetLocalFileName(FOut / "large.bin");
  EXPECT_EQ(FSession.Run([&] { c.GetAsync(); }), 426);
  EXPECT_EQ(c.ErrorMessage(), "426 Operation aborted.");
  EXPECT_GT(calls, 1);
  EXPECT_NE(std::find(FSession.Trace.begin(), FSession.Trace.end(), "! Abort requested"),
            FSession.Trace.end());
}

TEST_F(FtpClientTest, ExceptionInHandlerAbortsTheSession) {
  auto& c = FSession.Client;
  std::string caught;
  c.OnBgException = [&](TCustomFtpCli*, const std::exception& E, bool& CanClose) {
    caught = E.what();
    EXPECT_TRUE(CanClose);
  };
  FSession.Extra = [&](TFtpRequest Rq, uint16_t) {
    if (Rq == ftpTypeSetAsync) throw std::runtime_error("listing line not understood");
  };
  ASSERT_EQ(FSession.Run([&] { c.ConnectAsync(); }), 0);
  ASSERT_EQ(FSession.Run([&] { c.TypeSetAsync(); }), 0);
  EXPECT_EQ(caught, "listing line not understood");
  EXPECT_FALSE(c.Connected());
  EXPECT_EQ(c.State(), ftpsReady);
}

TEST(FtpClientErrors, RefusedAndUnknownHost) {
  TestApp();
  TFtpTestSession refused;
  refused.Setup("127.0.0.1", std::to_string(FreePort()));
  EXPECT_EQ(refused.Run([&] {
    refused.Client.ConnectAsync();
    EXPECT_TRUE(refused.Done.empty());  // reported only after the call returned
  }),
            10061);
  EXPECT_EQ(refused.Client.ErrorMessage(), "500 Connection refused (Winsock error #10061)");
  EXPECT_EQ(refused.Client.StatusCode(), 500);
  EXPECT_FALSE(refused.Client.Connected());
  TFtpTestSession unknown;
  unknown.Setup("nowhere.invalid", "21");
  EXPECT_EQ(unknown.Run([&] { unknown.Client.ConnectAsync(); }, 5000), 11001);
  EXPECT_EQ(unknown.Client.ErrorMessage(), "500 Host not found (Winsock error #11001)");
}

TEST(FtpClientErrors, UsageErrors) {
  TestApp();
  TFtpClient c;
  const auto message = [&](const std::function<void()>& Fn) -> std::string {
    try {
      Fn();
    } catch (const FtpException& e) {
      return e.Message();
    }
    return "no error";
  };
  EXPECT_EQ(message([&] { c.CwdAsync(); }), "HostDirName emtpy");
  c.SetHostDirName("/x");
  EXPECT_EQ(message([&] { c.CwdAsync(); }), "FTP component not connected");
  EXPECT_EQ(message([&] { c.TypeSetAsync(); }), "FTP component not connected");
  EXPECT_EQ(message([&] { c.GetAsync(); }), "RETR: not connected");
  EXPECT_EQ(message([&] { c.ConnectAsync(); }), "UserName emtpy");
  std::string reported;
  c.OnError = [&](TCustomFtpCli*, std::string& Msg) { reported = Msg; };
  EXPECT_FALSE(c.CwdAsync());
  EXPECT_EQ(reported, "FTP component not connected");
}

TEST(FtpClientErrors, ConnectionTypeRules) {
  TestApp();
  TFtpClient c;
  c.SetPassive(false);
  EXPECT_FALSE(c.Passive());
  c.SetConnectionType(ftpSocks4A);
  EXPECT_TRUE(c.Passive());
  c.SetPassive(false);
  EXPECT_TRUE(c.Passive());  // stays on for every proxy type
  c.SetConnectionType(ftpDirect);
  c.SetPassive(false);
  EXPECT_FALSE(c.Passive());
  c.SetSocksServer("127.0.0.9");
  EXPECT_EQ(c.DataSocket().SocksServer(), "127.0.0.9");
  EXPECT_EQ(c.SocksServer(), "127.0.0.9");
}
