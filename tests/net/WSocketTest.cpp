#include <gtest/gtest.h>

#include "NetTestSupport.h"
#include "WSocket.h"

namespace {

// A listening TWSocket that adopts the first incoming connection.
struct TLoopbackServer {
  TWSocket Listener;
  TWSocket Conn;
  std::string Received;

  TLoopbackServer() {
    Listener.SetAddr("127.0.0.1");
    Listener.SetPort("0");
    Listener.OnSessionAvailable = [this](TCustomWSocket*, uint16_t) {
      Conn.Dup(Listener.Accept());
    };
    Conn.OnDataAvailable = [this](TCustomWSocket*, uint16_t) {
      char buf[8192];
      const int n = Conn.Receive(buf, sizeof buf);
      if (n > 0) Received.append(buf, static_cast<size_t>(n));
    };
    Listener.Listen();
  }
  std::string Port() {
    std::string addr;
    uint16_t port = 0;
    Listener.GetSockName(addr, port);
    return std::to_string(port);
  }
};

}  // namespace

TEST(WSocket, DnsLookupOfDottedAddressIsImmediate) {
  TestApp();
  TWSocket s;
  int done = -1;
  s.OnDnsLookupDone = [&](TCustomWSocket*, uint16_t e) { done = e; };
  s.DnsLookup(" 127.0.0.1 ");
  EXPECT_EQ(done, 0);
  EXPECT_EQ(s.DnsResult(), "127.0.0.1");
}

TEST(WSocket, UnknownHostGives11001Later) {
  TestApp();
  TWSocket s;
  int done = -1;
  s.OnDnsLookupDone = [&](TCustomWSocket*, uint16_t e) { done = e; };
  s.DnsLookup("no-such-host.invalid");
  EXPECT_EQ(done, -1);  // asynchronous
  ASSERT_TRUE(RunUntil([&] { return done != -1; }, 5000));
  EXPECT_EQ(done, 11001);
  EXPECT_TRUE(s.DnsResult().empty());
}

TEST(WSocket, RefusedConnectionEventsInOrder) {
  TestApp();
  TWSocket s;
  std::vector<std::string> events;
  s.OnChangeState = [&](TCustomWSocket*, TSocketState, TSocketState n) {
    events.push_back("state " + std::to_string(n));
  };
  s.OnSessionConnected = [&](TCustomWSocket*, uint16_t e) {
    events.push_back("connected " + std::to_string(e));
  };
  s.OnSessionClosed = [&](TCustomWSocket*, uint16_t e) {
    events.push_back("closed " + std::to_string(e));
  };
  s.SetAddr("127.0.0.1");
  s.SetPort(std::to_string(FreePort()));
  s.Connect();
  ASSERT_TRUE(RunUntil([&] { return s.State() == wsClosed; }));
  // Opened, connecting, then closed: a refused connect is never connected.
  const std::vector<std::string> expected = {"state 1", "state 3", "connected 10061", "state 7",
                                             "closed 10061"};
  EXPECT_EQ(events, expected);
}

// A retry started from the handler of a refused connect is a connection of
// its own: the end of the refused one must not close it, although the
// system gives the retry the handle number the refused one had.
TEST(WSocket, RetryFromRefusedConnectHandlerSurvives) {
  TestApp();
  TLoopbackServer server;
  TWSocket s;
  std::vector<int> connected;
  s.OnSessionConnected = [&](TCustomWSocket*, uint16_t e) {
    connected.push_back(e);
    if (e == 0 || connected.size() > 1) return;
    s.Close();
    s.SetPort(server.Port());
    s.Connect();
  };
  s.SetAddr("127.0.0.1");
  s.SetPort(std::to_string(FreePort()));
  s.Connect();
  ASSERT_TRUE(RunUntil([&] { return connected.size() == 2; }, 5000));
  EXPECT_EQ(connected, (std::vector<int>{10061, 0}));
  EXPECT_EQ(s.State(), wsConnected);
}

TEST(WSocket, SendQueuesBlocksAndReportsDataSentOnce) {
  TestApp();
  TLoopbackServer server;
  TWSocket client;
  int sent = 0;
  int connected = -1;
  client.OnSessionConnected = [&](TCustomWSocket*, uint16_t e) { connected = e; };
  client.SetAddr("127.0.0.1");
  client.SetPort(server.Port());
  client.Connect();
  ASSERT_TRUE(RunUntil([&] { return connected == 0 && server.Conn.State() == wsConnected; }));
  PumpFor(50);
  client.OnDataSent = [&](TCustomWSocket*, uint16_t) { ++sent; };
  std::string data(4000, 'a');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>('a' + i % 26);
  EXPECT_EQ(client.SendStr(data), 4000);
  EXPECT_EQ(sent, 0);  // reported later, from the event loop
  ASSERT_TRUE(RunUntil([&] { return server.Received.size() == data.size() && sent > 0; }));
  PumpFor(50);
  EXPECT_EQ(server.Received, data);
  EXPECT_EQ(sent, 1);
}

TEST(WSocket, DataBeforeCloseIsDelivered) {
  TestApp();
  TLoopbackServer server;
  TWSocket client;
  std::vector<std::string> events;
  std::string got;
  client.OnDataAvailable = [&](TCustomWSocket*, uint16_t) {
    char buf[3];
    const int n = client.Receive(buf, sizeof buf);  // small reads: the loop must go on
    if (n > 0) got.append(buf, static_cast<size_t>(n));
  };
  client.OnSessionClosed = [&](TCustomWSocket*, uint16_t e) {
    events.push_back("closed after " + got);
  };
  client.SetAddr("127.0.0.1");
  client.SetPort(server.Port());
  client.Connect();
  ASSERT_TRUE(RunUntil([&] { return server.Conn.State() == wsConnected; }));
  server.Conn.SendStr("hello world");
  server.Conn.Close();
  ASSERT_TRUE(RunUntil([&] { return !events.empty(); }));
  EXPECT_EQ(events, std::vector<std::string>{"closed after hello world"});
  EXPECT_EQ(client.State(), wsClosed);
}

TEST(WSocket, UsageRefusals) {
  TestApp();
  TWSocket s;
  const auto message = [&](const std::function<void()>& Fn) -> std::string {
    try {
      Fn();
    } catch (const ESocketException& e) {
      return e.Message();
    }
    return "no error";
  };
  EXPECT_EQ(message([&] { s.SetSocksLevel("6"); }), "Invalid socks level. Must be 4, 4A or 5.");
  s.SetSocksLevel("4a");
  EXPECT_EQ(s.SocksLevel(), "4A");
  EXPECT_EQ(message([&] { s.SendStr("x"); }),
            "Error 10057 in function Send\r\nSocket is not connected");
  EXPECT_EQ(s.LastError(), 10057);
  EXPECT_EQ(message([&] { s.Connect(); }), "Connect: No Port Specified");
  s.SetPort("21");
  EXPECT_EQ(message([&] { s.Connect(); }), "Connect: No IP Address Specified");
  s.SetSocksServer(" 127.0.0.1 ");
  EXPECT_EQ(s.SocksServer(), "127.0.0.1");
  s.SetAddr("127.0.0.1");
  EXPECT_EQ(message([&] { s.Listen(); }), "Listening is not supported thru socks server");
  s.SetAddr("999.1.1.1");
  s.SetSocksServer("");
  EXPECT_EQ(message([&] { s.Connect(); }),
            "connect: WSocketResolveHost: '999.1.1.1' Invalid IP address.");
  std::string reported;
  s.OnError = [&](TCustomWSocket* Sender) {
    reported = static_cast<TWSocket*>(Sender)->LastErrorMessage();
  };
  s.SetPort("");
  s.Connect();
  EXPECT_EQ(reported, "Connect: No Port Specified");
}

TEST(WSocket, SocksSettingsRefusedWhileConnected) {
  TestApp();
  TLoopbackServer server;
  TWSocket client;
  client.SetAddr("127.0.0.1");
  client.SetPort(server.Port());
  client.Connect();
  ASSERT_TRUE(RunUntil([&] { return client.State() == wsConnected; }));
  EXPECT_THROW(client.SetSocksServer("127.0.0.1"), ESocketException);
  try {
    client.SetSocksPort("1080");
  } catch (const ESocketException& e) {
    EXPECT_EQ(e.Message(), "Can't change socks port if not closed");
  }
  EXPECT_EQ(client.SocksServer(), "");
}
