// The FTP client behind the fault-injecting relay: a fetch either gives the
// server's bytes exactly or fails with an error number and a message, and
// the client keeps no descriptor of a run once it is over.

#include <gtest/gtest.h>

#include <map>

#include "FaultRelay.h"
#include "FaultTestSupport.h"
#include "FtpTestSupport.h"

namespace {

namespace fs = std::filesystem;

constexpr size_t FileSize = 300 * 1000 + 7;

class FaultRelayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(FRoot / "pub");
    WriteFileBytes(FRoot / "pub/update.120", PatternBytes(FileSize, 11));
    const int port = FreePort();
    ASSERT_TRUE(FServer.Start({"/usr/bin/python3", "-m", "pyftpdlib", "-i", "127.0.0.1", "-p",
                               std::to_string(port), "-d", FRoot.Path()},
                              port));
  }

  // The kind the relay drew, from the first line of its log.
  static std::string DrawnKind(const std::string& Log) { return Log.substr(0, Log.find(' ')); }

  TempDir FRoot, FOut;
  TPeerProcess FServer;
};

// "zrntool: ftp: error N: TEXT" with N > 0 and a text.
bool IsErrorReport(const std::string& Output) {
  const std::string head = "zrntool: ftp: error ";
  const size_t at = Output.find(head);
  if (at == std::string::npos) return false;
  const size_t number = at + head.size();
  const size_t colon = Output.find(": ", number);
  if (colon == std::string::npos || colon == number) return false;
  const int error = std::atoi(Output.substr(number, colon - number).c_str());
  const size_t text = colon + 2;
  return error > 0 && text < Output.size() && Output[text] != '\n';
}

}  // namespace

TEST_F(FaultRelayTest, ZrnToolFetchesWholeOrFailsWithANumberAndAMessage) {
  const uint32_t firstSeed = 1;
  std::map<std::string, int> kinds, fetched;
  for (uint32_t seed = firstSeed; seed < firstSeed + 100; ++seed) {
    const std::string log = FOut / ("relay-" + std::to_string(seed) + ".log");
    TFaultRelay relay;
    ASSERT_TRUE(relay.Start(FServer.Port(), "mixed", seed, int64_t(FileSize), log));
    const std::string local = FOut / "update.120";
    fs::remove(local);
    std::string output;
    const int status = RunToEnd(
        {"/usr/bin/timeout", "30", ZrnTool(), "ftp", "get",
         "ftp://127.0.0.1:" + relay.PortText() + "/pub/update.120", local, "--timeout", "5"},
        output);
    relay.Stop();
    const std::string drawn = ReadFileText(log);
    SCOPED_TRACE("seed " + std::to_string(seed) + ", relay: " + drawn);
    const std::string kind = DrawnKind(drawn);
    ++kinds[kind];
    if (status == 0) {
      ++fetched[kind];
      EXPECT_EQ(ReadFileBytes(local), PatternBytes(FileSize, 11)) << "a fetch that says it worked";
    } else {
      EXPECT_EQ(status, 1) << output;
      EXPECT_TRUE(IsErrorReport(output)) << output;
    }
    // A relay that only delays, or does nothing, must not cost the fetch.
    if (kind == "none" || kind == "delay") {
      EXPECT_EQ(status, 0) << output;
    }
    if (HasFailure()) break;
  }
  for (const char* kind : {"none", "cut-control", "cut-data", "delay", "after-150"})
    EXPECT_GT(kinds[kind], 0) << kind << " was never drawn";
  // Cuts that strike before the end must show as failures; a close right
  // after the transfer's start always does.
  EXPECT_LT(fetched["cut-data"], kinds["cut-data"]);
  EXPECT_LT(fetched["cut-control"], kinds["cut-control"]);
  EXPECT_EQ(fetched["after-150"], 0);
  std::printf("%d runs: ", 100);
  for (const auto& [kind, count] : kinds)
    std::printf("%s %d (%d fetched) ", kind.c_str(), count, fetched[kind]);
  std::printf("\n");
}

namespace {

// The descriptors the process holds, with what they refer to.
std::vector<std::string> OpenDescriptors() {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator("/proc/self/fd")) {
    std::error_code ec;
    out.push_back(e.path().filename().string() + " -> " + fs::read_symlink(e.path(), ec).string());
  }
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace

// In-process: the same client object through a run of faults, then new ones;
// afterwards the process holds exactly the descriptors it held before.
TEST_F(FaultRelayTest, ClientKeepsNoDescriptorAfterTheRuns) {
  TestApp();
  PumpFor(50);
  const std::vector<std::string> before = OpenDescriptors();
  {
    TFtpTestSession kept;
    for (uint32_t seed = 500; seed < 540; ++seed) {
      SCOPED_TRACE("seed " + std::to_string(seed));
      TFaultRelay relay;
      ASSERT_TRUE(relay.Start(FServer.Port(), "mixed", seed, int64_t(FileSize)));
      // Every other run on a fresh client, the others on one kept client.
      TFtpTestSession fresh;
      TFtpTestSession& s = seed % 2 ? fresh : kept;
      auto& c = s.Client;
      if (c.Connected()) c.AbortSession();
      s.Setup("127.0.0.1", relay.PortText());
      c.SetTimeout(5);
      c.SetPassive(true);
      int error = s.Run([&] { c.ConnectAsync(); }, 15000);
      if (error == 0) error = s.Run([&] { c.TypeSetAsync(); }, 15000);
      if (error == 0) {
        c.SetHostFileName("/pub/update.120");
        c.SetLocalFileName(FOut / "update.120");
        error = s.Run([&] { c.GetAsync(); }, 15000);
      }
      EXPECT_NE(error, -1) << "a request that never ended";
      if (error == 0) {
        EXPECT_EQ(ReadFileBytes(FOut / "update.120"), PatternBytes(FileSize, 11));
      }
      if (c.Connected() && error == 0) s.Run([&] { c.QuitAsync(); }, 15000);
      if (c.Connected()) c.AbortSession();
      // The local file is closed whatever became of the run.
      for (const std::string& fd : OpenDescriptors())
        EXPECT_EQ(fd.find("update.120"), std::string::npos) << fd;
      relay.Stop();
      if (HasFailure()) break;
    }
  }
  PumpFor(50);  // notifiers are freed from the event loop
  EXPECT_EQ(OpenDescriptors(), before);
}
