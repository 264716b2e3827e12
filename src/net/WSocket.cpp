// The socket core: creation, connection, listening, readiness notices,
// the send queue, receiving and closing.

#include "WSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <cerrno>

namespace {

int LastSocketError() {
  return WSocketErrnoToError(errno);
}

sockaddr_in MakeAddr(uint32_t Ip, uint16_t Port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(Port);
  sa.sin_addr.s_addr = htonl(Ip);
  return sa;
}

}  // namespace

void TCustomWSocket::Guarded(const std::function<void()>& Body) {
  try {
    Body();
  } catch (const std::exception& e) {
    HandleBackgroundException(e);
  }
}

TCustomWSocket::TCustomWSocket() = default;

TCustomWSocket::~TCustomWSocket() {
  FDestroying = true;
  CancelDnsLookup();
  ReleaseHandle();
}

void TCustomWSocket::AdoptHandle(int Handle) {
  FHSocket = Handle;
  ++FGeneration;
}

void TCustomWSocket::ReleaseHandle() {
  if (FHSocket == -1) return;
  DestroyNotifiers();
  ::close(FHSocket);
  FHSocket = -1;
  ++FGeneration;
}

void TCustomWSocket::AssignDefaultValue() {
  // Copied from constants: GCC 12 warns wrongly (-Wrestrict) about the
  // assignment of literals here when it inlines them.
  static const std::string tcp = "tcp", anyPort = "0", anyAddress = "0.0.0.0";
  FProto = tcp;
  FLocalPort = anyPort;
  FLocalAddr = anyAddress;
  FLingerOnOff = wsLingerOn;
  FLingerTimeout = 0;
  ReleaseHandle();
  FAllSent = true;
  FConnectPending = false;
  ChangeState(wsClosed);
}

void TCustomWSocket::SetAddr(const std::string& Value) {
  FAddr = Value;
}
void TCustomWSocket::SetPort(const std::string& Value) {
  FPort = Value;
}
void TCustomWSocket::SetProto(const std::string& Value) {
  FProto = Value;
}
void TCustomWSocket::SetLocalAddr(const std::string& Value) {
  FLocalAddr = Value;
}
void TCustomWSocket::SetLocalPort(const std::string& Value) {
  FLocalPort = Value;
}

void TCustomWSocket::Post(std::function<void()> Fn) {
  QMetaObject::invokeMethod(&FWindow, std::move(Fn), Qt::QueuedConnection);
}

void TCustomWSocket::HandleBackgroundException(const std::exception& E) {
  if (BgExceptionMayClose(OnBgException, this, E)) Abort();
}

void TCustomWSocket::RaiseException(const std::string& Text) {
  FLastErrorMessage = Text;
  if (OnError) {
    OnError(this);
    return;
  }
  throw ESocketException(Text);
}

void TCustomWSocket::SocketError(const std::string& FuncName, int Error) {
  if (Error == WSAECONNRESET || Error == WSAENOTCONN) {
    const bool wasOpen = FState != wsClosed;
    ReleaseHandle();
    if (wasOpen && !FCloseInvoked) {
      FCloseInvoked = true;
      TriggerSessionClosed(static_cast<uint16_t>(Error));
    }
    ChangeState(wsClosed);
  }
  FLastError = Error;
  RaiseException(WSocketErrorText(Error, FuncName));
}

const char* SocketStateName(TSocketState State) {
  switch (State) {
    case wsInvalidState:
      return "wsInvalidState";
    case wsOpened:
      return "wsOpened";
    case wsBound:
      return "wsBound";
    case wsConnecting:
      return "wsConnecting";
    case wsConnected:
      return "wsConnected";
    case wsAccepting:
      return "wsAccepting";
    case wsListening:
      return "wsListening";
    case wsClosed:
      return "wsClosed";
  }
  return "?";
}

// The one place where the socket's state changes.
void TCustomWSocket::ChangeState(TSocketState NewState) {
  const TSocketState old = FState;
  FState = NewState;
  if (old != NewState && OnChangeState) OnChangeState(this, old, NewState);
}

void TCustomWSocket::CreateNotifiers() {
  const int handle = FHSocket;
  const TSocketToken connection = Token();
  FReadNotifier = new QSocketNotifier(handle, QSocketNotifier::Read, &FWindow);
  QObject::connect(FReadNotifier, &QSocketNotifier::activated, &FWindow,
                   [this, connection] { ReadReady(connection); });
  // Made without a socket and then given one, the notifier starts disabled
  // and never passes through the event loop's list of watched sockets.
  FWriteNotifier = new QSocketNotifier(QSocketNotifier::Write, &FWindow);
  FWriteNotifier->setSocket(handle);
  QObject::connect(FWriteNotifier, &QSocketNotifier::activated, &FWindow,
                   [this, connection] { WriteReady(connection); });
}

void TCustomWSocket::DestroyNotifiers() {
  // A notifier may be the one whose signal is running: disable it now and let
  // the event loop free it.
  for (QSocketNotifier** n : {&FReadNotifier, &FWriteNotifier}) {
    if (*n) {
      (*n)->setEnabled(false);
      (*n)->deleteLater();
      *n = nullptr;
    }
  }
}

void TCustomWSocket::UpdateWriteNotifier() {
  if (FWriteNotifier) FWriteNotifier->setEnabled(FConnectPending || !FAllSent);
}

void TCustomWSocket::ApplyLinger() {
  if (FLingerOnOff == wsLingerNoSet) return;
  if (FHSocket == -1) {
    RaiseException("Cannot set linger option at this time");
    return;
  }
  linger l{};
  l.l_onoff = FLingerOnOff == wsLingerOn ? 1 : 0;
  l.l_linger = FLingerTimeout;
  if (::setsockopt(FHSocket, SOL_SOCKET, SO_LINGER, &l, sizeof l) != 0)
    SocketError("setsockopt(SO_LINGER)", LastSocketError());
}

void TCustomWSocket::DeleteBufferList() {
  FBufList.clear();
  FAllSent = true;
}

void TCustomWSocket::Connect() {
  if (FHSocket != -1 && FState != wsClosed) return RaiseException("Connect: Socket already in use");
  if (FPort.empty()) return RaiseException("Connect: No Port Specified");
  if (FAddr.empty()) return RaiseException("Connect: No IP Address Specified");
  if (FProto.empty()) return RaiseException("Connect: No Protocol Specified");
  uint32_t ip = 0;
  uint16_t port = 0;
  if (!ResolveEndpoint("connect", ip, port)) return;
  ConnectTo(ip, port);
}

void TCustomWSocket::ConnectTo(uint32_t Ip, uint16_t Port) {
  DeleteBufferList();
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return SocketError("Connect (socket)", LastSocketError());
  AdoptHandle(fd);
  FCloseInvoked = false;
  FPeerClosed = false;
  FPeerError = 0;
  ChangeState(wsOpened);
  if (FState != wsOpened) {
    FLastError = WSAEINVAL;
    return RaiseException(
        WSocketErrorText(WSAEINVAL, "Connect (Invalid operation in OnChangeState)"));
  }
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (FComponentOptions & wsoTcpNoDelay) ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  ApplyLinger();
  ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
  const uint16_t localPort = static_cast<uint16_t>(std::atoi(FLocalPort.c_str()));
  if (localPort != 0 || FLocalAddr != "0.0.0.0") {
    uint32_t localIp = 0;
    try {
      localIp = FLocalAddr.empty() ? 0 : WSocketResolveHost(FLocalAddr);
    } catch (const ESocketException& e) {
      return RaiseException("connect: " + e.Message());
    }
    const sockaddr_in local = MakeAddr(localIp, localPort);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
      return RaiseException("winsock.bind failed, error #" + std::to_string(LastSocketError()));
    sockaddr_in bound{};
    socklen_t len = sizeof bound;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &len) != 0)
      return RaiseException("winsock.getsockname failed, error #" +
                            std::to_string(LastSocketError()));
    FLocalPort = std::to_string(ntohs(bound.sin_port));
  }
  CreateNotifiers();
  const sockaddr_in peer = MakeAddr(Ip, Port);
  FConnectPending = true;
  ChangeState(wsConnecting);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0 ||
      errno == EINPROGRESS) {
    UpdateWriteNotifier();
    return;
  }
  // Refusals on the local host come back at once; they are reported through
  // the event like any other connect failure.
  const uint16_t error = static_cast<uint16_t>(LastSocketError());
  FWriteNotifier->setEnabled(false);
  const TSocketToken connection = Token();
  Post([this, connection, error] { CompleteConnect(connection, error); });
}

bool TCustomWSocket::ResolveEndpoint(const char* Operation, uint32_t& Ip, uint16_t& Port) {
  try {
    WSocketResolveProto(FProto);
    Port = WSocketResolvePort(FPort, FProto);
    Ip = WSocketResolveHost(FAddr);
    return true;
  } catch (const ESocketException& e) {
    RaiseException(std::string(Operation) + ": " + e.Message());
    return false;
  }
}

void TCustomWSocket::Listen() {
  if (FPort.empty()) return RaiseException("listen: port not assigned");
  if (FProto.empty()) return RaiseException("listen: protocol not assigned");
  if (FAddr.empty()) return RaiseException("listen: address not assigned");
  uint32_t ip = 0;
  uint16_t port = 0;
  if (!ResolveEndpoint("listen", ip, port)) return;
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return SocketError("socket", LastSocketError());
  AdoptHandle(fd);
  FCloseInvoked = false;
  ChangeState(wsOpened);
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  const sockaddr_in local = MakeAddr(ip, port);
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    const int error = LastSocketError();
    InternalClose(false, 0);
    return SocketError("Bind", error);
  }
  ChangeState(wsBound);
  if (::listen(fd, 5) != 0) return SocketError("Listen", LastSocketError());
  ChangeState(wsListening);
  CreateNotifiers();
}

int TCustomWSocket::Accept() {
  if (FState != wsListening) {
    FLastError = WSAEINVAL;
    RaiseException(WSocketErrorText(WSAEINVAL, "not a listening socket"));
    return -1;
  }
  const int fd = ::accept4(FHSocket, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (fd < 0) {
    SocketError("Accept", LastSocketError());
    return -1;
  }
  return fd;
}

void TCustomWSocket::Dup(int NewHSocket) {
  if (NewHSocket < 0) {
    FLastError = WSAEINVAL;
    return RaiseException(WSocketErrorText(WSAEINVAL, "Dup"));
  }
  if (FHSocket != -1) {
    ReleaseHandle();
    ChangeState(wsClosed);
  }
  AdoptHandle(NewHSocket);
  FCloseInvoked = false;
  FPeerClosed = false;
  FPeerError = 0;
  DeleteBufferList();
  ApplyLinger();
  CreateNotifiers();
  ChangeState(wsConnected);
}

void TCustomWSocket::ReadReady(TSocketToken Connection) {
  if (!Connection.Current()) return;
  Guarded([&] {
    if (FState == wsListening) {
      if (OnSessionAvailable) OnSessionAvailable(this, 0);
      return;
    }
    if (FConnectPending) {
      CompletePendingConnect();
      if (!Connection.Current()) return;
    }
    FReceiveCalled = false;
    ReceiveLoop((FComponentOptions & wsoNoReceiveLoop) != 0);
    if (!Connection.Current()) return;
    if (!FReceiveCalled && !FPeerClosed && FPeerError == 0) {
      // Nobody read during this notice: look whether the peer has gone.
      char probe;
      const ssize_t n = ::recv(FHSocket, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
      if (n == 0) FPeerClosed = true;
      if (n < 0 && errno != EAGAIN) FPeerError = LastSocketError();
    }
    if (FPeerClosed || FPeerError != 0) HandleCloseBit(static_cast<uint16_t>(FPeerError));
  });
}

void TCustomWSocket::WriteReady(TSocketToken Connection) {
  if (!Connection.Current()) return;
  Guarded([&] {
    if (FConnectPending) {
      CompletePendingConnect();
      if (!Connection.Current() || FState != wsConnected) return;
    }
    TryToSend();
    if (Connection.Current() && FAllSent && OnDataSent) OnDataSent(this, 0);
  });
}

void TCustomWSocket::CompletePendingConnect() {
  int soError = 0;
  socklen_t len = sizeof soError;
  ::getsockopt(FHSocket, SOL_SOCKET, SO_ERROR, &soError, &len);
  CompleteConnect(Token(), static_cast<uint16_t>(WSocketErrnoToError(soError)));
}

void TCustomWSocket::CompleteConnect(TSocketToken Connection, uint16_t Error) {
  if (!Connection.Current() || !FConnectPending) return;
  FConnectPending = false;
  UpdateWriteNotifier();
  // A connect that failed never was connected: it goes from connecting to closed.
  if (Error == 0 && FState != wsConnected) ChangeState(wsConnected);
  TriggerSessionConnected(Error);
  if (Error != 0 && Connection.Current()) InternalClose(false, Error);
}

void TCustomWSocket::ReceiveLoop(bool SingleRead) {
  const TSocketToken connection = Token();
  do {
    TriggerDataAvailable(0);
    if (!connection.Current() || FPeerClosed || FPeerError != 0) return;
  } while (!SingleRead && RcvdCount() > 0);
}

void TCustomWSocket::HandleCloseBit(uint16_t Error) {
  if (FState == wsConnecting) return;
  const TSocketToken connection = Token();
  // What the peer sent before it left is delivered first.
  while (connection.Current() && RcvdCount() > 0) {
    FPeerClosed = false;
    TriggerDataAvailable(Error);
  }
  if (!connection.Current()) return;
  if (!FCloseInvoked) {
    FCloseInvoked = true;
    TriggerSessionClosed(Error);
  }
  if (connection.Current()) InternalClose(false, Error);
}

void TCustomWSocket::TriggerSessionConnected(uint16_t Error) {
  if (OnSessionConnected) OnSessionConnected(this, Error);
}

void TCustomWSocket::TriggerDataAvailable(uint16_t Error) {
  if (OnDataAvailable) {
    OnDataAvailable(this, Error);
    return;
  }
  DropReceived();
}

void TCustomWSocket::DropReceived() {
  char buffer[1024];
  Receive(buffer, sizeof buffer);
}

void TCustomWSocket::TriggerSessionClosed(uint16_t Error) {
  if (OnSessionClosed) OnSessionClosed(this, Error);
}

int TCustomWSocket::RawReceive(void* Buffer, int BufferSize) {
  FReceiveCalled = true;
  if (FHSocket == -1) {
    FLastError = WSAENOTSOCK;
    return -1;
  }
  const ssize_t n = ::recv(FHSocket, Buffer, static_cast<size_t>(BufferSize), 0);
  if (n > 0) return static_cast<int>(n);
  if (n == 0) {
    if (BufferSize > 0) FPeerClosed = true;
    return 0;
  }
  FLastError = LastSocketError();
  if (FLastError != WSAEWOULDBLOCK) FPeerError = FLastError;
  return -1;
}

int TCustomWSocket::Receive(void* Buffer, int BufferSize) {
  return RawReceive(Buffer, BufferSize);
}

int TCustomWSocket::RcvdCount() {
  if (FHSocket == -1) return 0;
  int count = 0;
  if (::ioctl(FHSocket, FIONREAD, &count) != 0) return 0;
  return count;
}

int TCustomWSocket::Send(const void* Data, int Len) {
  if (FState != wsConnected) {
    FLastError = WSAENOTCONN;
    RaiseException(WSocketErrorText(WSAENOTCONN, "Send"));
    return -1;
  }
  if (Len <= 0) return 0;
  const auto* p = static_cast<const uint8_t*>(Data);
  int left = Len;
  while (left > 0) {
    if (FBufList.empty()) FBufList.emplace_back(SendBlockSize);
    const int n = FBufList.back().Write(p, left);
    if (n == 0) {
      FBufList.emplace_back(SendBlockSize);
      continue;
    }
    p += n;
    left -= n;
  }
  FAllSent = false;
  const TSocketToken connection = Token();
  TryToSend();
  // OnDataSent follows from the event loop; without a handler there is
  // nothing to report, and the pass through the loop would be for nothing.
  if (connection.Current() && FAllSent && OnDataSent)
    Post([this, connection] { WriteReady(connection); });
  return Len;
}

int TCustomWSocket::SendStr(const std::string& Str) {
  return Send(Str.data(), static_cast<int>(Str.size()));
}

void TCustomWSocket::TryToSend() {
  if (FHSocket == -1) return;
  while (!FBufList.empty()) {
    int len = 0;
    const uint8_t* data = FBufList.front().Peek(len);
    if (len == 0) {
      if (FBufList.size() > 1) {
        FBufList.pop_front();
        continue;
      }
      break;
    }
    const ssize_t n = ::send(FHSocket, data, static_cast<size_t>(len), MSG_NOSIGNAL);
    if (n < 0) {
      const int error = LastSocketError();
      if (error == WSAEWOULDBLOCK) break;
      if (error == WSAEINVAL || error == WSAENOTSOCK || error == WSAECONNABORTED ||
          error == WSAECONNRESET || error == WSAENOTCONN) {
        FCloseInvoked = true;
        InternalClose(false, static_cast<uint16_t>(error));
        TriggerSessionClosed(static_cast<uint16_t>(error));
        return;
      }
      SocketError("TryToSend failed", error);
      return;
    }
    FBufList.front().Remove(static_cast<int>(n));
    if (OnSendData) OnSendData(this, static_cast<int>(n));
    if (n < len) break;
  }
  FAllSent = FBufList.empty() || (FBufList.size() == 1 && FBufList.front().Empty());
  if (FAllSent) FBufList.clear();
  UpdateWriteNotifier();
}

void TCustomWSocket::Shutdown(int How) {
  if (FHSocket == -1) return;
  ::shutdown(FHSocket, How == SD_RECEIVE ? SHUT_RD : How == SD_SEND ? SHUT_WR : SHUT_RDWR);
}

void TCustomWSocket::Close() {
  InternalClose(true, 0);
}

void TCustomWSocket::CloseDelayed() {
  const TSocketToken connection = Token();
  Post([this, connection] {
    if (connection.Current()) Guarded([this] { Close(); });
  });
}

void TCustomWSocket::Abort() {
  CancelDnsLookup();
  DeleteBufferList();
  if (FHSocket != -1 && FState == wsConnected) {
    FLingerOnOff = wsLingerOff;
    linger l{};
    ::setsockopt(FHSocket, SOL_SOCKET, SO_LINGER, &l, sizeof l);
  }
  InternalClose(false, 0);
}

void TCustomWSocket::InternalClose(bool ShutdownFirst, uint16_t Error) {
  if (FHSocket == -1) {
    if (FState != wsClosed) ChangeState(wsClosed);
    return;
  }
  if (ShutdownFirst && FState == wsConnected) ::shutdown(FHSocket, SHUT_WR);
  ReleaseHandle();
  const TSocketToken closed = Token();
  const bool report = !FCloseInvoked && !FDestroying;
  FCloseInvoked = true;
  ChangeState(wsClosed);
  DeleteBufferList();
  if (report) TriggerSessionClosed(Error);
  // A handler may already have started a new connection on this socket.
  if (closed.Current()) AssignDefaultValue();
}

int TCustomWSocket::GetSockName(std::string& Addr, uint16_t& Port) {
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  if (FHSocket == -1 || ::getsockname(FHSocket, reinterpret_cast<sockaddr*>(&sa), &len) != 0) {
    FLastError = FHSocket == -1 ? WSAENOTSOCK : LastSocketError();
    return FLastError;
  }
  Addr = WSocketIPToStr(ntohl(sa.sin_addr.s_addr));
  Port = ntohs(sa.sin_port);
  return 0;
}

std::string TCustomWSocket::GetPeerAddr() {
  return WSocketPeerAddr(FHSocket);
}

std::string WSocketPeerAddr(int Handle) {
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  if (Handle == -1 || ::getpeername(Handle, reinterpret_cast<sockaddr*>(&sa), &len) != 0) return {};
  return WSocketIPToStr(ntohl(sa.sin_addr.s_addr));
}
