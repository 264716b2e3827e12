// Arbitrary bytes as everything an FTP server says on the control
// connection: the whole client (greeting, login, replies, close) runs
// against an in-process loopback peer that sends them and hangs up.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <cstddef>
#include <cstdint>

#include "FtpCli.h"

namespace {

QCoreApplication& App() {
  static int argc = 1;
  static char name[] = "ftp_session_fuzz";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
  return app;
}

int ListenLoopback(uint16_t& Port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
  ::listen(fd, 1);
  socklen_t len = sizeof sa;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
  Port = ntohs(sa.sin_port);
  return fd;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  App();
  uint16_t port = 0;
  const int listener = ListenLoopback(port);
  TFtpClient client;
  client.SetHostName("127.0.0.1");
  client.SetPort(std::to_string(port));
  client.SetUserName("anonymous");
  client.SetPassWord("fuzz@example.org");
  client.SetOptions(Size > 0 && (Data[0] & 1) ? ftpAcceptLF : 0);
  client.OnError = [](TCustomFtpCli*, std::string&) {};
  bool done = false;
  client.OnRequestDone = [&](TCustomFtpCli*, TFtpRequest, uint16_t) { done = true; };
  client.ConnectAsync();
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
  int peer = -1;
  while (!done && std::chrono::steady_clock::now() < until) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (peer < 0) {
      peer = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK);
      if (peer >= 0) {
        ::send(peer, Data, Size, MSG_NOSIGNAL);
        ::shutdown(peer, SHUT_WR);
      }
    }
  }
  client.AbortSession();
  if (peer >= 0) ::close(peer);
  ::close(listener);
  QCoreApplication::processEvents();
  return 0;
}
