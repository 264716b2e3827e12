#pragma once
// A client under test with its transcript: every trace line, the commands it
// sent, and the requests reported done, in order.

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "FtpCli.h"
#include "NetTestSupport.h"
#include "Streams.h"
#include "TempDir.h"

inline std::vector<uint8_t> PatternBytes(size_t Size, uint32_t Seed) {
  std::vector<uint8_t> out(Size);
  uint32_t x = Seed * 2654435761u + 1;
  for (auto& b : out) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = static_cast<uint8_t>(x);
  }
  return out;
}

// Sockets need the application object before they are made.
struct TAppFirst {
  TAppFirst() { TestApp(); }
};

struct TFtpTestSession : TAppFirst {
  TFtpClient Client;
  std::vector<std::string> Trace;
  std::vector<TFtpRequest> Done;
  std::vector<int> Errors;
  std::function<void(TFtpRequest, uint16_t)> Extra;

  void Setup(const std::string& Host, const std::string& Port) {
    Client.SetHostName(Host);
    Client.SetPort(Port);
    Client.SetUserName("anonymous");
    Client.SetPassWord("guest@example.org");
    Client.SetTimeout(20);
    Client.OnDisplay = [this](TCustomFtpCli*, std::string& Line) { Trace.push_back(Line); };
    Client.OnRequestDone = [this](TCustomFtpCli*, TFtpRequest Rq, uint16_t Error) {
      Done.push_back(Rq);
      Errors.push_back(Error);
      if (Extra) Extra(Rq, Error);
    };
  }

  // Starts a request and waits for its end; returns its error (-1: none came).
  int Run(const std::function<void()>& Start, int TimeoutMs = 20000) {
    const size_t before = Done.size();
    Start();
    if (!RunUntil([&] { return Done.size() > before; }, TimeoutMs)) return -1;
    return Errors[before];
  }

  std::vector<std::string> Commands() const {
    std::vector<std::string> out;
    for (const auto& l : Trace)
      if (l.rfind("> ", 0) == 0) out.push_back(l.substr(2));
    return out;
  }
};

// A scripted FTP server (scripted_peer.py) running Json, and a session set
// up for it; the folder holds the script and whatever the test fetches.
struct TScriptedFtp {
  TempDir Dir;
  TPeerProcess Server;
  TFtpTestSession Session;

  bool Start(const std::string& Json) {
    WriteFileText(Dir / "script.json", Json);
    if (!Server.Start({"/usr/bin/python3", TestSourceDir() + "/scripted_peer.py", "ftp",
                       Dir / "script.json"}))
      return false;
    Session.Setup("127.0.0.1", Server.PortText());
    return true;
  }
};
