#pragma once
// Helpers of the network tests: an event loop to pump, and (from
// PeerProcess.h) free loopback ports and peer processes.

#include <QCoreApplication>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "PeerProcess.h"

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
