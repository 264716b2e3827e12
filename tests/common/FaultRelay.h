#pragma once
// The fault-injecting relay (fault_relay.py beside this header) for tests of
// a flaky network: it sits on 127.0.0.1 between an FTP client and its server
// and relays the control connection and the passive data connections, the
// server's PASV and EPSV replies rewritten to its own ports. A test starts
// it with a seed and a fault kind, points the client at Port(), and stops
// it by its PID (Stop, or the destructor):
//
//   TFaultRelay relay;
//   ASSERT_TRUE(relay.Start(server.Port(), "mixed", seed, fileSize, log));
//   ... connect the client to 127.0.0.1:relay.Port() ...
//   relay.Stop();
//
// Kinds (the seed draws the moment, and for "mixed" the kind):
//   "none"         relays faithfully
//   "cut-control"  cuts each control connection after 0 to ControlMax bytes
//                  (both directions), by a reset or an orderly close; its
//                  data connections go with it
//   "cut-data"     resets each data connection after 0 to DataMax bytes;
//                  the control connection stays
//   "delay"        holds back random pieces for up to 0.2 s
//   "after-150"    closes the control connection right after the first 150
//                  (or 125, its form for a data connection made already)
//   "mixed"        one of the above
// The relay writes the fault it drew, and when it struck, to LogFile.
// Active-mode data connections (PORT) do not go through the relay.

#include <cstdint>
#include <string>

#include "PeerProcess.h"

class TFaultRelay {
 public:
  // Opaque: the replies pass unread (see --opaque in fault_relay.py).
  bool Start(int UpstreamPort, const std::string& Kind, uint32_t Seed, int64_t DataMax = 1 << 20,
             const std::string& LogFile = "", int ControlMax = 600, bool Opaque = false) {
    std::vector<std::string> argv = {
        "/usr/bin/python3", std::string(ZARNAVIS_COMMON_TEST_DIR) + "/fault_relay.py",
        "--upstream",       std::to_string(UpstreamPort),
        "--kind",           Kind,
        "--seed",           std::to_string(Seed),
        "--data-max",       std::to_string(DataMax),
        "--control-max",    std::to_string(ControlMax)};
    if (!LogFile.empty()) argv.insert(argv.end(), {"--log", LogFile});
    if (Opaque) argv.push_back("--opaque");
    return FProcess.Start(argv);
  }
  void Stop() { FProcess.Stop(); }

  int Port() const { return FProcess.Port(); }
  std::string PortText() const { return FProcess.PortText(); }

 private:
  TPeerProcess FProcess;
};
