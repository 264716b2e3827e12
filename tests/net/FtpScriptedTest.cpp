// The FTP client against a scripted server that says exactly what each case
// needs: multi-line replies, odd codes, a foreign PASV address, a server that
// drops the connection or never ends its line.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "FtpTestSupport.h"

namespace {

class FtpScriptedTest : public ::testing::Test {
 protected:
  void StartServer(const std::string& Json) {
    TestApp();
    WriteFileText(FDir / "script.json", Json);
    ASSERT_TRUE(FServer.Start(
        {"/usr/bin/python3", TestSourceDir() + "/scripted_peer.py", "ftp", FDir / "script.json"}));
    FSession.Setup("127.0.0.1", FServer.PortText());
  }
  int Connect() {
    return FSession.Run([&] { FSession.Client.ConnectAsync(); });
  }
  int Get(const std::string& Name) {
    FSession.Client.SetPassive(true);
    FSession.Client.SetHostFileName(Name);
    FSession.Client.SetLocalFileName(FDir / Name);
    return FSession.Run([&] { FSession.Client.GetAsync(); });
  }

  TempDir FDir;
  TPeerProcess FServer;
  TFtpTestSession FSession;
};

}  // namespace

TEST_F(FtpScriptedTest, MultiLineGreetingAndLogin) {
  StartServer(R"({"greeting": ["220-Welcome aboard", "no code here", "220-still more", "220 ready"],
                  "replies": {"PASS": ["230-Notice one", " indented", "230 Logged in."]}})");
  ASSERT_EQ(Connect(), 0);
  EXPECT_EQ(FSession.Client.LastResponse(), "230 Logged in.");
  EXPECT_EQ(FSession.Client.StatusCode(), 230);
  EXPECT_EQ(FSession.Commands(), (std::vector<std::string>{"USER anonymous", "PASS ****"}));
}

TEST_F(FtpScriptedTest, UserRepliesDecideAboutPass) {
  struct Case {
    const char* UserReply;
    int Error;
    std::vector<std::string> Commands;
  };
  const Case cases[] = {
      {"230 No password needed.", 0, {"USER anonymous"}},
      {"331 Send password.", 0, {"USER anonymous", "PASS ****"}},
      {"530 Not allowed.", 530, {"USER anonymous"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.UserReply);
    TScriptedFtp peer;
    ASSERT_TRUE(peer.Start(std::string(R"({"replies": {"USER": [")") + c.UserReply + "\"]}}"));
    TFtpTestSession& s = peer.Session;
    EXPECT_EQ(s.Run([&] { s.Client.ConnectAsync(); }), c.Error);
    EXPECT_EQ(s.Commands(), c.Commands);
    EXPECT_EQ(s.Done, std::vector<TFtpRequest>{ftpConnectAsync});
  }
}

TEST_F(FtpScriptedTest, GreetingOtherThan220EndsConnect) {
  StartServer(R"({"greeting": ["421 Too many users."]})");
  EXPECT_EQ(Connect(), 421);
  EXPECT_EQ(FSession.Client.ErrorMessage(), "421 Too many users.");
  EXPECT_TRUE(FSession.Commands().empty());
  EXPECT_TRUE(RunUntil([&] { return !FSession.Client.Connected(); }));
}

TEST_F(FtpScriptedTest, ForeignPasvAddressIsNotFollowed) {
  // The reply names 127.0.0.2; the server listens on 127.0.0.1 only, so the
  // transfer works only if the client stays with the control address.
  StartServer(R"({"pasv_host": "127,0,0,2", "data": "abc\r\n"})");
  ASSERT_EQ(Connect(), 0);
  ASSERT_EQ(Get("f.txt"), 0) << FSession.Client.ErrorMessage();
  EXPECT_EQ(ReadFileBytes(FDir / "f.txt"), (std::vector<uint8_t>{'a', 'b', 'c', '\r', '\n'}));
}

TEST_F(FtpScriptedTest, FinalReplyBeforeOrAfterDataClose) {
  for (const char* mode : {"226-first", "normal"}) {
    SCOPED_TRACE(mode);
    TScriptedFtp peer;
    ASSERT_TRUE(
        peer.Start(std::string(R"({"transfer": ")") + mode + R"(", "data": "0123456789"})"));
    TFtpTestSession& s = peer.Session;
    ASSERT_EQ(s.Run([&] { s.Client.ConnectAsync(); }), 0);
    s.Client.SetPassive(true);
    s.Client.SetHostFileName("x");
    s.Client.SetLocalFileName(peer.Dir / "x");
    EXPECT_EQ(s.Run([&] { s.Client.GetAsync(); }), 0);
    PumpFor(300);
    EXPECT_EQ(s.Done.size(), 2u);  // once, after both
    EXPECT_EQ(ReadFileBytes(peer.Dir / "x").size(), 10u);
  }
}

TEST_F(FtpScriptedTest, ServerDroppingControlMidTransferIsAnError) {
  StartServer(R"({"transfer": "close-control", "data": "0123456789abcdef"})");
  ASSERT_EQ(Connect(), 0);
  EXPECT_EQ(Get("cut.bin"), 500);
  EXPECT_EQ(FSession.Client.ErrorMessage(), "500 Control connection closed.");
  EXPECT_FALSE(FSession.Client.Connected());
}

TEST_F(FtpScriptedTest, TransferAbortedByServer) {
  StartServer(R"({"transfer": "426", "data": "0123456789abcdef"})");
  ASSERT_EQ(Connect(), 0);
  EXPECT_EQ(Get("part.bin"), 426);
  EXPECT_EQ(FSession.Client.ErrorMessage(), "426 Connection closed; transfer aborted.");
  EXPECT_NE(std::find(FSession.Trace.begin(), FSession.Trace.end(), "! RETR/LIST/NLST Failed"),
            FSession.Trace.end());
}

namespace {
// A local target that fails its first write, slowly enough for the server's
// 426 to be waiting on the control connection when the client ends its side
// of the data connection.
class TSlowFailingStream : public TMemoryStream {
 public:
  int64_t Write(const void*, int64_t) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    return 0;
  }
};
}  // namespace

// The server's 426 answers a transfer we broke off ourselves: the request
// ends with our cause, whichever of that reply and our data connection's
// close is handled first.
TEST_F(FtpScriptedTest, FailedWriteOutranksTheServersAbortReply) {
  StartServer(R"({"transfer": "426-open", "data": "0123456789abcdef"})");
  ASSERT_EQ(Connect(), 0);
  TSlowFailingStream target;
  FSession.Client.SetPassive(true);
  FSession.Client.SetHostFileName("part.bin");
  FSession.Client.SetLocalStream(&target);
  EXPECT_EQ(FSession.Run([&] { FSession.Client.GetAsync(); }), 426);
  EXPECT_EQ(FSession.Client.ErrorMessage(), "426 Error writing local file.");
  FSession.Client.SetLocalStream(nullptr);
}

TEST_F(FtpScriptedTest, EndlessLineClosesTheConnection) {
  StartServer(R"({"raw_greeting": ")" + std::string(5000, 'x') + R"("})");
  EXPECT_EQ(Connect(), 500);
  EXPECT_EQ(FSession.Client.ErrorMessage(), "500 Reply line too long.");
  EXPECT_FALSE(FSession.Client.Connected());
}

TEST_F(FtpScriptedTest, RetrRefusedWithoutPreliminaryReply) {
  StartServer(R"({"transfer": "550"})");
  ASSERT_EQ(Connect(), 0);
  EXPECT_EQ(Get("nope"), 550);
  EXPECT_EQ(FSession.Client.ErrorMessage(), "550 No such file.");
  EXPECT_EQ(FSession.Client.State(), ftpsReady);
}

TEST_F(FtpScriptedTest, BlockingQuitTimesOutAgainstASilentServer) {
  StartServer(R"({"replies": {"QUIT": []}, "quit_delay": 10})");
  ASSERT_EQ(Connect(), 0);
  FSession.Client.SetTimeout(1);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(FSession.Client.Quit());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
  EXPECT_EQ(FSession.Client.ErrorMessage(), "426 Timeout");
  EXPECT_EQ(FSession.Client.StatusCode(), 426);
  EXPECT_FALSE(FSession.Client.Connected());
}
