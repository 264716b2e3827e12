#pragma once
// Peer programs of the tests (servers, proxies, the fault relay), started on
// 127.0.0.1 and stopped by their PID, and free loopback ports for them.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

inline int FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
  socklen_t len = sizeof sa;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
  ::close(fd);
  return ntohs(sa.sin_port);
}

inline bool PortOpen(int Port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(static_cast<uint16_t>(Port));
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
  ::close(fd);
  return ok;
}

// A peer program. With ReadPort the program prints its port on its first
// output line; otherwise the caller names the port and it is waited for.
class TPeerProcess {
 public:
  TPeerProcess() = default;
  TPeerProcess(const TPeerProcess&) = delete;
  TPeerProcess& operator=(const TPeerProcess&) = delete;
  ~TPeerProcess() { Stop(); }

  bool Start(const std::vector<std::string>& Argv, int Port = 0, const std::string& Cwd = {}) {
    int pipeFd[2];
    if (::pipe(pipeFd) != 0) return false;
    FPid = ::fork();
    if (FPid == 0) {
      ::setpgid(0, 0);
      // Peers die with the test and keep its output pipes free, so a test
      // that fails hard leaves nothing running and nothing waiting.
      ::prctl(PR_SET_PDEATHSIG, SIGTERM);
      const int devNull = ::open("/dev/null", O_RDWR);
      ::dup2(devNull, 0);
      ::dup2(devNull, 2);
      ::dup2(pipeFd[1], 1);
      ::close(pipeFd[0]);
      if (!Cwd.empty() && ::chdir(Cwd.c_str()) != 0) ::_exit(126);
      std::vector<char*> args;
      for (const auto& a : Argv) args.push_back(const_cast<char*>(a.c_str()));
      args.push_back(nullptr);
      ::execv(args[0], args.data());
      ::_exit(127);
    }
    ::close(pipeFd[1]);
    FOut = pipeFd[0];
    if (Port == 0) {
      std::string line;
      char c;
      while (::read(FOut, &c, 1) == 1 && c != '\n') line += c;
      FPort = std::atoi(line.c_str());
    } else {
      FPort = Port;
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!PortOpen(FPort)) {
      if (std::chrono::steady_clock::now() > end || Exited()) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return FPort > 0;
  }

  void Stop() {
    if (FPid > 0) {
      ::kill(FPid, SIGTERM);
      for (int i = 0; i < 100 && !Exited(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      if (!Exited()) {
        ::kill(FPid, SIGKILL);
        ::waitpid(FPid, nullptr, 0);
      }
      FPid = -1;
    }
    if (FOut >= 0) ::close(FOut);
    FOut = -1;
  }

  int Port() const { return FPort; }
  std::string PortText() const { return std::to_string(FPort); }

 private:
  bool Exited() {
    if (FPid <= 0) return true;
    int status = 0;
    const pid_t r = ::waitpid(FPid, &status, WNOHANG);
    if (r == FPid) {
      FPid = -1;
      return true;
    }
    return false;
  }

  pid_t FPid = -1;
  int FOut = -1;
  int FPort = 0;
};
