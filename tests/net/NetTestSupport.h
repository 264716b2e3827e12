#pragma once
// Helpers of the network tests: an event loop to pump, (from PeerProcess.h)
// free loopback ports and peer processes, and the SOCKS server danted.

#include <QCoreApplication>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "PeerProcess.h"
#include "TempDir.h"

inline QCoreApplication& TestApp() {
  // A window test program has made its application already.
  if (QCoreApplication* existing = QCoreApplication::instance()) return *existing;
  static int argc = 1;
  static char name[] = "nettest";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
  return app;
}

// Pumps events until Done() or the time is up; returns Done().
inline bool RunUntil(const std::function<bool()>& Done, int TimeoutMs = 10000) {
  TestApp();
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
  while (!Done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

inline void PumpFor(int Ms) {
  RunUntil([] { return false; }, Ms);
}

inline std::string TestSourceDir() {
  return NET_TEST_DIR;
}

// danted (SOCKS 4 and 5, no login) on 127.0.0.1 at a free port, relaying
// within 127.0.0.0/8 only; its configuration and PID file go to Dir.
inline bool StartDanted(TPeerProcess& Proxy, const std::string& Dir) {
  const int port = FreePort();
  WriteFileText(Dir + "/danted.conf",
                "logoutput: stderr\ninternal: 127.0.0.1 port = " + std::to_string(port) +
                    "\nexternal: 127.0.0.1\nclientmethod: none\nsocksmethod: none\n"
                    "user.privileged: root\nuser.unprivileged: nobody\n"
                    "client pass { from: 127.0.0.0/8 to: 0.0.0.0/0 }\n"
                    "socks pass { from: 127.0.0.0/8 to: 127.0.0.0/8 protocol: tcp }\n"
                    "socks block { from: 0.0.0.0/0 to: 0.0.0.0/0 }\n");
  return Proxy.Start(
      {"/usr/sbin/danted", "-f", Dir + "/danted.conf", "-p", Dir + "/danted.pid", "-N", "1"}, port);
}
