#pragma once
// TWSocket: an event-driven TCP socket on the owner's thread. Readiness comes
// from the Qt event loop; every outcome is an event carrying a Windows Sockets
// error number (WSocketErrors.h). The SOCKS layer lets a socket reach its peer
// through a SOCKS 4, 4A or 5 proxy; the TLS layer above it encrypts what the
// owner sends and receives.

#include <QObject>
#include <QSocketNotifier>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Exception.h"
#include "TlsSession.h"
#include "WSockBuf.h"
#include "WSocketErrors.h"

ZARNAVIS_DECLARE_EXCEPTION(ESocketException, Exception);

enum TSocketState {
  wsInvalidState,
  wsOpened,
  wsBound,
  wsConnecting,
  wsConnected,
  wsAccepting,
  wsListening,
  wsClosed
};

// Bits of ComponentOptions.
constexpr unsigned wsoNoReceiveLoop = 1;  // one OnDataAvailable per readiness notice
constexpr unsigned wsoTcpNoDelay = 2;

// "wsConnected" and so on, for traces.
const char* SocketStateName(TSocketState State);

enum TSocketLingerOnOff { wsLingerOff, wsLingerOn, wsLingerNoSet };
enum TSocksAuthentication { socksNoAuthentication, socksAuthenticateUsercode };
enum TSocksAuthState { socksAuthStart, socksAuthSuccess, socksAuthFailure, socksAuthNotRequired };

// Directions of Shutdown.
constexpr int SD_RECEIVE = 0;
constexpr int SD_SEND = 1;
constexpr int SD_BOTH = 2;

constexpr int SendBlockSize = 1460;

// Blocking resolution as Connect and Listen use it. Raise ESocketException.
uint32_t WSocketResolveHost(const std::string& Host);  // IPv4, host byte order
uint16_t WSocketResolvePort(const std::string& Port, const std::string& Proto);
// Only "tcp" is offered; anything else raises "WSocketResolvePort: Invalid Proto.".
void WSocketResolveProto(const std::string& Proto);
// True for dotted-decimal text; Ip receives the address (host byte order).
bool WSocketIsDottedIP(const std::string& Text, uint32_t* Ip = nullptr);
std::string WSocketIPToStr(uint32_t Ip);
// The dotted address of the peer of a connected socket handle (empty when none).
std::string WSocketPeerAddr(int Handle);

// Asks a background-exception handler whether the object may be closed
// (it may unless the handler says otherwise; a handler that throws itself
// cannot keep it open).
template <class Handler, class Sender>
bool BgExceptionMayClose(const Handler& OnBgException, Sender* Self, const std::exception& E) {
  bool canClose = true;
  if (OnBgException) {
    try {
      OnBgException(Self, E, canClose);
    } catch (...) {
      canClose = true;
    }
  }
  return canClose;
}

class TCustomWSocket;

// One connection of a socket. A handler the socket calls may close it, or
// close it and start another on the same object; code that goes on after
// such a call asks Current() before it touches the socket again. (A handle
// number is no such name: the system gives a closed one out again.)
class TSocketToken {
 public:
  bool Current() const;

 private:
  friend class TCustomWSocket;
  TSocketToken(const TCustomWSocket* Socket, uint64_t Generation)
      : FSocket(Socket), FGeneration(Generation) {}
  const TCustomWSocket* FSocket;
  uint64_t FGeneration;
};

class TCustomWSocket {
 public:
  using TErrorEvent = std::function<void(TCustomWSocket* Sender, uint16_t Error)>;

  TCustomWSocket();
  virtual ~TCustomWSocket();
  TCustomWSocket(const TCustomWSocket&) = delete;
  TCustomWSocket& operator=(const TCustomWSocket&) = delete;

  void DnsLookup(const std::string& HostName);
  void CancelDnsLookup();
  virtual void Connect();
  virtual void Listen();
  int Accept();
  void Dup(int NewHSocket);
  virtual int Send(const void* Data, int Len);
  int SendStr(const std::string& Str);
  virtual int Receive(void* Buffer, int BufferSize);
  virtual int RcvdCount();
  void Close();
  void CloseDelayed();
  void Shutdown(int How);
  void Abort();
  // 0 on success, else the error number.
  int GetSockName(std::string& Addr, uint16_t& Port);
  // The dotted address of the connected peer (empty when none).
  std::string GetPeerAddr();

  const std::string& Addr() const { return FAddr; }
  void SetAddr(const std::string& Value);
  const std::string& Port() const { return FPort; }
  void SetPort(const std::string& Value);
  const std::string& Proto() const { return FProto; }
  void SetProto(const std::string& Value);
  const std::string& LocalAddr() const { return FLocalAddr; }
  void SetLocalAddr(const std::string& Value);
  const std::string& LocalPort() const { return FLocalPort; }
  void SetLocalPort(const std::string& Value);
  TSocketState State() const { return FState; }
  int LastError() const { return FLastError; }
  const std::string& LastErrorMessage() const { return FLastErrorMessage; }
  unsigned ComponentOptions() const { return FComponentOptions; }
  void SetComponentOptions(unsigned Value) { FComponentOptions = Value; }
  TSocketLingerOnOff LingerOnOff() const { return FLingerOnOff; }
  void SetLingerOnOff(TSocketLingerOnOff Value) { FLingerOnOff = Value; }
  int LingerTimeout() const { return FLingerTimeout; }
  void SetLingerTimeout(int Value) { FLingerTimeout = Value; }
  const std::string& DnsResult() const { return FDnsResult; }
  bool MultiThreaded() const { return FMultiThreaded; }
  void SetMultiThreaded(bool Value) { FMultiThreaded = Value; }
  bool AllSent() const { return FAllSent; }
  int HSocket() const { return FHSocket; }
  // The connection the socket has now (or its absence).
  TSocketToken Token() const { return TSocketToken(this, FGeneration); }
  // Number of blocks in the send queue (for tests and diagnostics).
  int SendQueueBlocks() const { return static_cast<int>(FBufList.size()); }

  TErrorEvent OnDnsLookupDone;
  TErrorEvent OnSessionConnected;
  TErrorEvent OnSessionAvailable;
  TErrorEvent OnDataAvailable;
  TErrorEvent OnDataSent;
  TErrorEvent OnSessionClosed;
  std::function<void(TCustomWSocket* Sender, int Count)> OnSendData;
  std::function<void(TCustomWSocket* Sender, TSocketState Old, TSocketState New)> OnChangeState;
  std::function<void(TCustomWSocket* Sender)> OnError;
  std::function<void(TCustomWSocket* Sender, const std::exception& E, bool& CanClose)>
      OnBgException;

 protected:
  // Hooks of the SOCKS layer.
  virtual void TriggerSessionConnected(uint16_t Error);
  virtual void TriggerDataAvailable(uint16_t Error);
  virtual void TriggerSessionClosed(uint16_t Error);
  virtual void AssignDefaultValue();
  // Creates the socket and starts a connection to Ip:Port (host order).
  void ConnectTo(uint32_t Ip, uint16_t Port);
  // The plain read underneath any SOCKS buffering.
  int RawReceive(void* Buffer, int BufferSize);
  // Resolves FAddr, FPort and FProto; a failure is refused as
  // "Operation: reason" and gives false.
  bool ResolveEndpoint(const char* Operation, uint32_t& Ip, uint16_t& Port);
  // Usage refusals: to OnError when assigned, else raised.
  void RaiseException(const std::string& Text);
  void SocketError(const std::string& FuncName, int Error);
  void InternalClose(bool ShutdownFirst, uint16_t Error);
  void ChangeState(TSocketState NewState);
  void SetLastError(int Error) { FLastError = Error; }
  // Runs Fn later from the event loop, unless this socket is gone by then.
  void Post(std::function<void()> Fn);
  void HandleBackgroundException(const std::exception& E);

  std::string FAddr;
  std::string FPort;
  std::string FProto = "tcp";
  std::string FLocalAddr = "0.0.0.0";
  std::string FLocalPort = "0";
  bool FDestroying = false;

 private:
  friend class TSocketToken;
  struct TDnsJob;

  // The only places where the handle changes: each starts a new connection
  // as far as TSocketToken is concerned.
  void AdoptHandle(int Handle);
  void ReleaseHandle();
  void CreateNotifiers();
  void DestroyNotifiers();
  void UpdateWriteNotifier();
  void ReadReady(TSocketToken Connection);
  void WriteReady(TSocketToken Connection);
  // Takes the outcome of a pending connect from the socket.
  void CompletePendingConnect();
  void CompleteConnect(TSocketToken Connection, uint16_t Error);
  void ReceiveLoop(bool SingleRead);
  void HandleCloseBit(uint16_t Error);
  void DropReceived();
  void TryToSend();
  void ApplyLinger();
  void DeleteBufferList();
  void DnsLookupDone(uint64_t Id, int Error, uint32_t Ip);
  void Guarded(const std::function<void()>& Body);

  QObject FWindow;  // context of posted events and the readiness notifiers
  QSocketNotifier* FReadNotifier = nullptr;
  QSocketNotifier* FWriteNotifier = nullptr;
  int FHSocket = -1;
  uint64_t FGeneration = 0;  // counts the changes of FHSocket
  TSocketState FState = wsClosed;
  int FLastError = 0;
  std::string FLastErrorMessage;
  unsigned FComponentOptions = 0;
  TSocketLingerOnOff FLingerOnOff = wsLingerOn;
  int FLingerTimeout = 0;
  std::string FDnsResult;
  bool FMultiThreaded = false;
  std::deque<TBuffer> FBufList;
  bool FAllSent = true;
  bool FCloseInvoked = false;
  bool FConnectPending = false;  // waiting for the connect outcome
  bool FPeerClosed = false;      // a read saw the end of the stream
  int FPeerError = 0;            // a read saw a hard error
  bool FReceiveCalled = false;
  std::shared_ptr<TDnsJob> FDnsJob;
  uint64_t FDnsId = 0;
};

inline bool TSocketToken::Current() const {
  return FSocket->FGeneration == FGeneration;
}

// socksData: transparent, the negotiation is over (or none is needed).
enum TSocksState { socksData, socksNegociateMethods, socksAuthenticate, socksConnect };
const char* SocksStateName(TSocksState State);

class TCustomSocksWSocket : public TCustomWSocket {
 public:
  TCustomSocksWSocket();

  void Connect() override;
  void Listen() override;
  int Receive(void* Buffer, int BufferSize) override;
  int RcvdCount() override;

  const std::string& SocksServer() const { return FSocksServer; }
  void SetSocksServer(const std::string& Value);
  const std::string& SocksPort() const { return FSocksPort; }
  void SetSocksPort(const std::string& Value);
  const std::string& SocksLevel() const { return FSocksLevel; }
  void SetSocksLevel(const std::string& Value);
  const std::string& SocksUsercode() const { return FSocksUsercode; }
  void SetSocksUsercode(const std::string& Value) { FSocksUsercode = Value; }
  const std::string& SocksPassword() const { return FSocksPassword; }
  void SetSocksPassword(const std::string& Value) { FSocksPassword = Value; }
  TSocksAuthentication SocksAuthentication() const { return FSocksAuthentication; }
  void SetSocksAuthentication(TSocksAuthentication Value) { FSocksAuthentication = Value; }
  TSocksState SocksState() const { return FSocksState; }
  const std::string& BoundAddr() const { return FBoundAddr; }
  const std::string& BoundPort() const { return FBoundPort; }

  TErrorEvent OnSocksConnected;
  std::function<void(TCustomWSocket* Sender, int Error, const std::string& Msg)> OnSocksError;
  std::function<void(TCustomWSocket* Sender, TSocksAuthState AuthState)> OnSocksAuthState;
  std::function<void(TCustomWSocket* Sender, TSocksState Old, TSocksState New)> OnSocksStateChange;

 protected:
  void TriggerSessionConnected(uint16_t Error) override;
  void TriggerDataAvailable(uint16_t Error) override;
  void TriggerSessionClosed(uint16_t Error) override;
  void AssignDefaultValue() override;

 private:
  void SetSocksState(TSocksState NewState);
  void SendBytes(const std::vector<uint8_t>& Bytes);
  void SocksDoConnect();
  void SocksDoAuthenticate();
  void SocksError(int Error, const std::string& Msg);
  void SocksProcessReply();
  void SocksDone(size_t ReplyLength);

  std::string FSocksServer;
  std::string FSocksPort;
  std::string FSocksLevel = "5";
  std::string FSocksUsercode;
  std::string FSocksPassword;
  TSocksAuthentication FSocksAuthentication = socksNoAuthentication;
  TSocksState FSocksState = socksData;
  bool FSocksResolved = false;
  uint32_t FSocksIp = 0;
  uint16_t FSocksPortNum = 0;
  uint16_t FTargetPort = 0;
  std::string FSocksRcv;      // reply bytes received so far
  std::string FSocksPending;  // application bytes that came with the reply
  std::string FBoundAddr;
  std::string FBoundPort;
};

// The error numbers of a TLS handshake that failed: the server's certificate
// failed verification (its reason is the session's Error()), or anything
// else did.
constexpr int TlsHandshakeFailed = 20101;
constexpr int TlsCertificateRejected = 20102;

// TLS over the connection (direct or through SOCKS): once StartTls has been
// called on a connected socket, Send takes and Receive gives plain text, and
// the ciphertext passes through the layers below unchanged. Only the peer's
// close notice ends the stream cleanly: a stream that stops without it, or
// a record that does not decrypt, closes the connection with 10053.
class TCustomTlsWSocket : public TCustomSocksWSocket {
 public:
  TCustomTlsWSocket();
  ~TCustomTlsWSocket() override;

  // Starts the handshake with the server Host names (its certificate must
  // be for Host); OnTlsDone follows: 0 once the session is established,
  // else TlsCertificateRejected or TlsHandshakeFailed with Tls()->Error()
  // telling why. Resume: an earlier connection's session.
  void StartTls(std::shared_ptr<TTlsContext> Context, const std::string& Host,
                const TTlsSavedSession& Resume = {});
  // The connection's session (null without TLS); it lasts until the socket
  // is closed and its close has been reported.
  const TTlsSession* Tls() const { return FTls.get(); }

  int Send(const void* Data, int Len) override;
  int Receive(void* Buffer, int BufferSize) override;
  int RcvdCount() override;

  TErrorEvent OnTlsDone;

 protected:
  void TriggerDataAvailable(uint16_t Error) override;
  void TriggerSessionClosed(uint16_t Error) override;
  void AssignDefaultValue() override;

 private:
  void ContinueHandshake();
  int PullCiphertext();
  void PushCiphertext();
  int EndOfTls();
  bool TlsCarrying() const;
  int DropCiphertext();

  std::unique_ptr<TTlsSession> FTls;
  bool FTlsNoticePosted = false;
  std::vector<char> FCipherIn;
};

class TWSocket : public TCustomTlsWSocket {};
