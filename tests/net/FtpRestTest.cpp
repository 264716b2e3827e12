// Resumed fetches: a transfer cut short goes on with REST from the bytes
// already received (pyftpdlib), and a server that refuses REST ends the
// request with its reply so the caller can fetch from 0 (scripted server).

#include <gtest/gtest.h>

#include "FtpTestSupport.h"

namespace {

constexpr size_t FileSize = 3 * 1024 * 1024 + 17;

class FtpRestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    std::filesystem::create_directories(FRoot / "pub");
    WriteFileBytes(FRoot / "pub/large.bin", PatternBytes(FileSize, 7));
    const int port = FreePort();
    ASSERT_TRUE(FServer.Start({"/usr/bin/python3", "-m", "pyftpdlib", "-i", "127.0.0.1", "-p",
                               std::to_string(port), "-d", FRoot.Path()},
                              port));
    FSession.Setup("127.0.0.1", FServer.PortText());
    ASSERT_EQ(FSession.Run([&] { FSession.Client.ConnectAsync(); }), 0);
    ASSERT_EQ(FSession.Run([&] { FSession.Client.TypeSetAsync(); }), 0);
  }

  // A fetch cut off by its own progress handler after about CutAfter bytes;
  // returns how many reached the local file.
  int64_t CutFetch(int64_t CutAfter) {
    auto& c = FSession.Client;
    c.OnProgress = [CutAfter](TCustomFtpCli*, int64_t Count, bool& Abort) {
      Abort = Count > CutAfter;
    };
    c.SetHostFileName("/pub/large.bin");
    c.SetLocalFileName(FOut / "large.bin");
    EXPECT_EQ(FSession.Run([&] { c.GetAsync(); }), 426);
    c.OnProgress = nullptr;
    return c.ByteCount();
  }

  TempDir FRoot, FOut;
  TPeerProcess FServer;
  TFtpTestSession FSession;
};

}  // namespace

TEST_F(FtpRestTest, CutFetchResumesToTheServersBytes) {
  const std::vector<uint8_t> whole = PatternBytes(FileSize, 7);
  const struct {
    const char* Case;
    bool Passive;
    bool Stream;
    size_t Junk;  // bytes after the offset that the resumed fetch must replace
  } rows[] = {
      {"passive, file", true, false, 0},
      {"active, file", false, false, 0},
      // Longer than what is left to fetch: the file must be cut to the offset.
      {"passive, file with junk after the offset", true, false, FileSize},
      {"passive, caller's stream with junk", true, true, FileSize},
      {"passive, caller's stream", true, true, 0},
  };
  auto& c = FSession.Client;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Case);
    c.SetPassive(row.Passive);
    const int64_t received = CutFetch(1000000);
    ASSERT_GT(received, 1000000);
    ASSERT_LT(received, int64_t(FileSize));
    std::vector<uint8_t> local = ReadFileBytes(FOut / "large.bin");
    ASSERT_EQ(local.size(), size_t(received));
    ASSERT_TRUE(std::equal(local.begin(), local.end(), whole.begin()));
    local.insert(local.end(), row.Junk, 0xEE);
    WriteFileBytes(FOut / "large.bin", local);

    TMemoryStream stream;
    if (row.Stream) {
      stream.WriteBuffer(local.data(), int64_t(local.size()));
      c.SetLocalStream(&stream);
    } else {
      c.SetLocalFileName(FOut / "large.bin");
    }
    c.SetResumeAt(received);
    const size_t before = FSession.Trace.size();
    ASSERT_EQ(FSession.Run([&] { c.RestGetAsync(); }), 0) << c.ErrorMessage();
    EXPECT_EQ(FSession.Done.back(), ftpRestGetAsync);
    EXPECT_EQ(row.Stream ? stream.Data() : ReadFileBytes(FOut / "large.bin"), whole);
    EXPECT_EQ(c.ByteCount(), int64_t(FileSize) - received);
    EXPECT_EQ(c.ResumeAt(), 0);
    std::vector<std::string> commands;
    for (size_t i = before; i < FSession.Trace.size(); ++i)
      if (FSession.Trace[i].rfind("> ", 0) == 0) commands.push_back(FSession.Trace[i].substr(2));
    ASSERT_EQ(commands.size(), 3u);
    EXPECT_EQ(commands[0].substr(0, 4), row.Passive ? "PASV" : "PORT");
    EXPECT_EQ(commands[1], "REST " + std::to_string(received));
    EXPECT_EQ(commands[2], "RETR /pub/large.bin");
  }
}

// The data received before is not there (a shorter local file, or none):
// nothing is asked of the server, above all no REST that it would keep for
// the next fetch.
TEST_F(FtpRestTest, MissingLocalDataEndsBeforeRest) {
  auto& c = FSession.Client;
  c.SetPassive(true);
  c.SetHostFileName("/pub/large.bin");
  for (const bool exists : {true, false}) {
    SCOPED_TRACE(exists ? "shorter file" : "no file");
    const std::string name = FOut / (exists ? "short.bin" : "none.bin");
    if (exists) WriteFileBytes(name, PatternBytes(100, 7));
    c.SetLocalFileName(name);
    c.SetResumeAt(5000);
    EXPECT_EQ(FSession.Run([&] { c.RestGetAsync(); }), 550);
    EXPECT_EQ(c.ErrorMessage(), "Unable to open local file " + name);
    const auto cmds = FSession.Commands();
    EXPECT_EQ(std::count_if(cmds.begin(), cmds.end(),
                            [](const std::string& s) { return s.rfind("REST", 0) == 0; }),
              0);
    EXPECT_EQ(std::filesystem::exists(name), exists);
  }
  // A fetch from 0 afterwards gets the whole file.
  c.SetLocalFileName(FOut / "whole.bin");
  ASSERT_EQ(FSession.Run([&] { c.GetAsync(); }), 0);
  EXPECT_EQ(ReadFileBytes(FOut / "whole.bin"), PatternBytes(FileSize, 7));
}

TEST(FtpRest, RefusedRestEndsWithTheReplyAndTheSessionGoesOn) {
  TestApp();
  const struct {
    const char* Script;
    int Error;
  } rows[] = {
      {R"({"data": "0123456789"})", 502},  // REST unknown: "502 Command not implemented."
      {R"({"data": "0123456789", "replies": {"REST": ["501 Bad restart point."]}})", 501},
      {R"({"data": "0123456789", "replies": {"REST": ["200 Whatever."]}})", 200},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Script);
    TScriptedFtp peer;
    ASSERT_TRUE(peer.Start(row.Script));
    TFtpTestSession& s = peer.Session;
    const TempDir& dir = peer.Dir;
    ASSERT_EQ(s.Run([&] { s.Client.ConnectAsync(); }), 0);
    s.Client.SetPassive(true);
    s.Client.SetHostFileName("f.bin");
    s.Client.SetLocalFileName(dir / "f.bin");
    WriteFileText(dir / "f.bin", "01234");
    s.Client.SetResumeAt(5);
    EXPECT_EQ(s.Run([&] { s.Client.RestGetAsync(); }), row.Error);
    EXPECT_EQ(s.Done.back(), ftpRestGetAsync);
    const auto cmds = s.Commands();
    EXPECT_EQ(cmds.back(), "REST 5");
    EXPECT_EQ(std::count(cmds.begin(), cmds.end(), "RETR f.bin"), 0);
    EXPECT_EQ(ReadFileText(dir / "f.bin"), "01234");
    EXPECT_TRUE(s.Client.Connected());
    // The caller starts again from 0 on the same connection.
    ASSERT_EQ(s.Run([&] { s.Client.GetAsync(); }), 0) << s.Client.ErrorMessage();
    EXPECT_EQ(ReadFileText(dir / "f.bin"), "0123456789");
  }
}
