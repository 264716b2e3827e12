// The SOCKS layer against a scripted proxy of our own, which speaks 4A and
// injects every kind of error reply.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "NetTestSupport.h"
#include "TempDir.h"
#include "WSocket.h"

namespace {

struct TSocksOutcome {
  int Connected = -1;
  int SocksError = 0;
  std::string SocksText;
  std::vector<TSocksAuthState> AuthStates;
  std::string Received;
  std::string Log;
  bool Closed = false;
  std::string BoundAddr, BoundPort;
};

class SocksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    WriteFileText(FDir / "script.json", "{}");
    ASSERT_TRUE(FTarget.Start(
        {"/usr/bin/python3", TestSourceDir() + "/scripted_peer.py", "ftp", FDir / "script.json"}));
  }

  TSocksOutcome Run(const std::string& Level, const std::string& Mode, const std::string& User = "",
                    const std::string& Password = "") {
    TPeerProcess proxy;
    const std::string log = FDir / ("socks-" + Level + "-" + Mode + ".log");
    EXPECT_TRUE(proxy.Start(
        {"/usr/bin/python3", TestSourceDir() + "/scripted_peer.py", "socks", Mode, log}));
    TSocksOutcome out;
    TWSocket s;
    s.SetSocksServer("127.0.0.1");
    s.SetSocksPort(proxy.PortText());
    s.SetSocksLevel(Level);
    s.SetSocksUsercode(User);
    s.SetSocksPassword(Password);
    s.SetSocksAuthentication(User.empty() ? socksNoAuthentication : socksAuthenticateUsercode);
    s.SetAddr("127.0.0.1");
    s.SetPort(FTarget.PortText());
    s.OnSessionConnected = [&](TCustomWSocket*, uint16_t e) { out.Connected = e; };
    s.OnSocksError = [&](TCustomWSocket*, int e, const std::string& t) {
      out.SocksError = e;
      out.SocksText = t;
    };
    s.OnSocksAuthState = [&](TCustomWSocket*, TSocksAuthState a) { out.AuthStates.push_back(a); };
    s.OnDataAvailable = [&](TCustomWSocket*, uint16_t) {
      char buf[256];
      const int n = s.Receive(buf, sizeof buf);
      if (n > 0) out.Received.append(buf, static_cast<size_t>(n));
    };
    s.OnSessionClosed = [&](TCustomWSocket*, uint16_t) { out.Closed = true; };
    s.Connect();
    EXPECT_TRUE(RunUntil([&] {
      return out.Closed || (out.Connected == 0 && out.Received.find('\n') != std::string::npos);
    })) << Mode;
    out.BoundAddr = s.BoundAddr();
    out.BoundPort = s.BoundPort();
    s.Close();
    proxy.Stop();
    std::ifstream in(log);
    std::stringstream ss;
    ss << in.rdbuf();
    out.Log = ss.str();
    return out;
  }

  TempDir FDir;
  TPeerProcess FTarget;
};

}  // namespace

TEST_F(SocksTest, Socks4ACarriesTheHostName) {
  const TSocksOutcome r = Run("4A", "ok", "sailor");
  EXPECT_EQ(r.Connected, 0);
  EXPECT_EQ(r.Received, "220 Scripted server ready.\r\n");
  EXPECT_EQ(r.Log, "4 0.0.0.1 " + FTarget.PortText() + " sailor 127.0.0.1\n");
}

TEST_F(SocksTest, Socks4And5SucceedThroughTheRelay) {
  const TSocksOutcome four = Run("4", "ok");
  EXPECT_EQ(four.Connected, 0);
  EXPECT_EQ(four.Log, "4 127.0.0.1 " + FTarget.PortText() + "  127.0.0.1\n");
  const TSocksOutcome five = Run("5", "ok", "u", "p");
  EXPECT_EQ(five.Connected, 0);
  EXPECT_EQ(five.Received, "220 Scripted server ready.\r\n");
  EXPECT_EQ(five.Log, "5 methods 02\n5 auth u p\n5 connect 127.0.0.1 " + FTarget.PortText() + "\n");
  EXPECT_EQ(five.AuthStates, (std::vector<TSocksAuthState>{socksAuthStart, socksAuthSuccess}));
}

TEST_F(SocksTest, ErrorReplies) {
  struct Case {
    const char* Level;
    const char* Mode;
    const char* User;
    int Error;
    const char* Text;
  };
  const Case cases[] = {
      {"4", "reply4=91", "", 20016, "request rejected or failed"},
      {"4", "reply4=92", "", 20008, "connection refused"},
      {"4A", "reply4=93", "", 20015, "authentification failed"},
      {"5", "method=255", "u", 20003, "authentification method not acceptable"},
      {"5", "authfail", "u", 20015, "socks authentication failed"},
      {"5", "reply5=1", "", 20004, "general SOCKS server failure"},
      {"5", "reply5=2", "", 20005, "connection not allowed by ruleset"},
      {"5", "reply5=3", "", 20006, "network unreachable"},
      {"5", "reply5=4", "", 20007, "host unreachable"},
      {"5", "reply5=5", "", 20008, "connection refused"},
      {"5", "reply5=6", "", 20009, "time to live expired"},
      {"5", "reply5=7", "", 20010, "command not supported"},
      {"5", "reply5=8", "", 20011, "address type not supported"},
      {"5", "reply5=9", "", 20012, "unassigned error #9"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Mode);
    const TSocksOutcome r = Run(c.Level, c.Mode, c.User, "pw");
    EXPECT_EQ(r.Connected, c.Error);
    EXPECT_EQ(r.SocksError, c.Error);
    EXPECT_EQ(r.SocksText, c.Text);
    EXPECT_TRUE(r.Closed);
  }
}

TEST_F(SocksTest, MethodNoneAcceptedWhenLoginWasOffered) {
  const TSocksOutcome r = Run("5", "method0", "u", "p");
  EXPECT_EQ(r.Connected, 0);
  EXPECT_EQ(r.AuthStates, std::vector<TSocksAuthState>{socksAuthNotRequired});
}

TEST_F(SocksTest, ProxyClosingDuringAuthentication) {
  const TSocksOutcome r = Run("5", "close-auth", "u", "p");
  EXPECT_EQ(r.AuthStates, (std::vector<TSocksAuthState>{socksAuthStart, socksAuthFailure}));
  EXPECT_NE(r.Connected, 0);
  EXPECT_NE(r.Connected, -1);  // the owner hears the outcome
  EXPECT_TRUE(r.Closed);
}

TEST_F(SocksTest, ApplicationBytesRightBehindADomainReply) {
  const TSocksOutcome r = Run("5", "atyp3-app");
  EXPECT_EQ(r.Connected, 0);
  EXPECT_EQ(r.Received, "APPDATA\r\n");
  EXPECT_EQ(r.BoundAddr, "bound.example");
  EXPECT_EQ(r.BoundPort, "1234");
}
