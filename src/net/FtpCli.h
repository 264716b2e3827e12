#pragma once
// TFtpClient: a non-blocking FTP client (RFC 959) on the owner's thread. Each
// request sends one command or a short fixed sequence, returns at once, and
// ends later with OnRequestDone (request code and error number: 0, an FTP
// reply code, a Windows Sockets number or a SOCKS number).
//
// Read TFtpRequestState first: it says where the request under way stands.
// Every final reply is handled in TCustomFtpCli::OnFinalReply, one switch on
// what the request waits for; a failure is ended by FailRequest; the steps of
// a composite request are listed in RunStep. TFtpState is the outward state
// that OnStateChange and the trace show.

#include <QObject>
#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Exception.h"
#include "FtpReply.h"
#include "TlsMode.h"
#include "WSocket.h"

// The steps of composite requests, in the fixed order in which they run.
// AUTH comes before the login, PBSZ and PROT after it (TLS only).
enum class TFtpStep {
  Open,
  Auth,
  User,
  Pass,
  Pbsz,
  Prot,
  Cwd,
  TypeSet,
  Port,
  Rest,
  Get,
  Dir,
  Quit
};

// What kind of request is under way.
enum class TFtpRun {
  Idle,       // none: a new request may start
  Single,     // one command; its final reply ends the request
  Composite,  // a fixed sequence of steps (ConnectAsync, GetAsync, ...)
};

// What the request under way waits for next. OnFinalReply switches on it.
enum class TFtpWait {
  Nothing,   // no reply: idle, between two steps, or the request has ended
  Lookup,    // the name of the server (or proxy): ControlDnsLookupDone
  Greeting,  // the connect, then the server's 220
  Reply,     // the final reply of a command
  Transfer,  // the replies of LIST or RETR and the close of the data connection
  Quit,      // QUIT was sent: its reply, then the server's close ends the request
  Auth,      // the reply to AUTH TLS
  Tls,       // the control connection's TLS handshake: the socket's OnTlsDone
};

// How far a LIST or RETR has come. It ends once both the final reply and the
// close of the data connection have arrived, in either order.
struct TFtpTransfer {
  enum TStage {
    Idle,       // no transfer under way
    Requested,  // the command is out, no preliminary reply yet
    Started,    // 150 or 125 arrived
    ReplyDone,  // the final reply (226/250) arrived
  };
  // What went wrong on our side; the first report of the server or the
  // socket is told before it.
  enum TFault { None, Aborted, WriteFailed };
  TStage Stage = Idle;
  std::optional<int> DataClosed;  // the data connection's close: its error
  TFault Fault = None;
  std::string WriteError;  // a full disk's message, else empty
  std::string TlsError;    // why the data connection's TLS stream broke

  bool Active() const { return Stage != Idle; }
  bool Complete() const { return Stage == ReplyDone && DataClosed.has_value(); }
  // The 426 reply that tells the fault on our side; empty when there is none.
  std::string FaultReply() const;
};

// Where a request and its transfer stand.
struct TFtpRequestState {
  TFtpRun Run = TFtpRun::Idle;
  TFtpWait Wait = TFtpWait::Nothing;
  // The step of the composite request that ran last (none yet in this one).
  std::optional<TFtpStep> Step;
  TFtpTransfer Transfer;
};

// Where the control connection stands.
enum class TFtpLink {
  Closed,      // none, or it was closed
  Connecting,  // name lookup, connect, SOCKS negotiation
  Connected,   // the session is up (the greeting may still be on its way)
};

class TStream;
class TFtpLocalFile;

ZARNAVIS_DECLARE_EXCEPTION(FtpException, Exception);

// The ordinals (0..42) are what OnRequestDone carries.
enum TFtpRequest {
  ftpNone,
  ftpOpenAsync,
  ftpUserAsync,
  ftpPassAsync,
  ftpCwdAsync,
  ftpConnectAsync,
  ftpReceiveAsync,
  ftpDirAsync,
  ftpLsAsync,
  ftpPortAsync,
  ftpGetAsync,
  ftpDirectoryAsync,
  ftpListAsync,
  ftpSystemAsync,
  ftpSystAsync,
  ftpQuitAsync,
  ftpAbortXferAsync,
  ftpSizeAsync,
  ftpPutAsync,
  ftpAppendAsync,
  ftpFileSizeAsync,
  ftpRqAbort,
  ftpMkdAsync,
  ftpRmdAsync,
  ftpRenameAsync,
  ftpDeleAsync,
  ftpRenAsync,
  ftpRenToAsync,
  ftpRenFromAsync,
  ftpDeleteAsync,
  ftpMkdirAsync,
  ftpRmdirAsync,
  ftpPwdAsync,
  ftpQuoteAsync,
  ftpCDupAsync,
  ftpDoQuoteAsync,
  ftpTransmitAsync,
  ftpTypeSetAsync,
  ftpRestAsync,
  ftpRestGetAsync,
  ftpRestartGetAsync,
  ftpRestPutAsync,
  ftpRestartPutAsync
};

enum TFtpConnectionType { ftpDirect, ftpProxy, ftpSocks4, ftpSocks4A, ftpSocks5 };
enum TFtpShareMode {
  ftpShareCompat,
  ftpShareExclusive,
  ftpShareDenyWrite,
  ftpShareDenyRead,
  ftpShareDenyNone
};
// Bits of Options.
constexpr unsigned ftpAcceptLF = 1;
constexpr unsigned ftpNoAutoResumeAt = 2;

enum TFtpState {
  ftpsDisconnected,      // the control connection was closed
  ftpsReady,             // idle: a new request may start
  ftpsStepReady,         // between two steps of a composite request
  ftpsResolving,         // looking up the server (or proxy) name
  ftpsAwaitingGreeting,  // connected or connecting, waiting for 220
  ftpsGreetingReceived,  // 220 arrived
  ftpsAwaitingReply,     // a command was sent
  ftpsPassiveOffered,    // 227 received, the data connection may be made
  ftpsAborted            // AbortSession is tearing everything down
};

// The start of the message of a data connection that could not be made (the
// request ends with 550, as a server's refusal does).
extern const char* const FtpDataConnectionFailed;
// The reply a request ends with when it was aborted on our side.
extern const char* const FtpOperationAborted;

// "ftpsReady" and so on, for traces.
const char* FtpStateName(TFtpState State);

class TCustomFtpCli {
 public:
  TCustomFtpCli();
  virtual ~TCustomFtpCli();
  TCustomFtpCli(const TCustomFtpCli&) = delete;
  TCustomFtpCli& operator=(const TCustomFtpCli&) = delete;

  // Requests. They return false when a usage error went to OnError instead
  // of being raised.
  bool ConnectAsync();
  bool OpenAsync();
  bool UserAsync();
  bool PassAsync();
  bool TypeSetAsync();
  bool CwdAsync();
  bool PortAsync();
  bool DirAsync();
  bool GetAsync();
  // A fetch that goes on from ResumeAt: PASV or PORT, "REST <ResumeAt>", RETR;
  // the data is written to LocalFileName (an existing file, cut to ResumeAt
  // bytes) or LocalStream from offset ResumeAt on. Any reply to REST but 350
  // ends the request with that reply code, so the caller can fetch from 0.
  // Ends as ftpRestGetAsync; ByteCount counts the bytes of this transfer.
  bool RestGetAsync();
  bool QuitAsync();
  // Blocking forms: pump events until the request ended or Timeout passed.
  bool TypeSet();
  bool Quit();
  bool WaitForReady();
  void AbortSession();
  bool Connected() const;

  const std::string& HostName() const { return FHostName; }
  void SetHostName(const std::string& V) { FHostName = V; }
  const std::string& Port() const { return FPort; }
  void SetPort(const std::string& V) { FPort = V; }
  const std::string& LocalAddr() const { return FLocalAddr; }
  void SetLocalAddr(const std::string& V) { FLocalAddr = V; }
  const std::string& UserName() const { return FUserName; }
  void SetUserName(const std::string& V) { FUserName = V; }
  const std::string& PassWord() const { return FPassWord; }
  void SetPassWord(const std::string& V) { FPassWord = V; }
  const std::string& HostDirName() const { return FHostDirName; }
  void SetHostDirName(const std::string& V) { FHostDirName = V; }
  const std::string& HostFileName() const { return FHostFileName; }
  void SetHostFileName(const std::string& V) { FHostFileName = V; }
  const std::string& LocalFileName() const { return FLocalFileName; }
  void SetLocalFileName(const std::string& V);
  TStream* LocalStream() const { return FLocalStream; }
  void SetLocalStream(TStream* V);
  bool Binary() const { return FBinary; }
  void SetBinary(bool V) { FBinary = V; }
  bool DisplayFileFlag() const { return FDisplayFileFlag; }
  void SetDisplayFileFlag(bool V) { FDisplayFileFlag = V; }
  TFtpShareMode ShareMode() const { return FShareMode; }
  void SetShareMode(TFtpShareMode V) { FShareMode = V; }
  unsigned Options() const { return FOptions; }
  void SetOptions(unsigned V) { FOptions = V; }
  TFtpConnectionType ConnectionType() const { return FConnectionType; }
  void SetConnectionType(TFtpConnectionType V);
  const std::string& ProxyServer() const { return FProxyServer; }
  void SetProxyServer(const std::string& V) { FProxyServer = V; }
  const std::string& ProxyPort() const { return FProxyPort; }
  void SetProxyPort(const std::string& V) { FProxyPort = V; }
  std::string SocksServer() const { return FControlSocket->SocksServer(); }
  void SetSocksServer(const std::string& V);
  std::string SocksPort() const { return FControlSocket->SocksPort(); }
  void SetSocksPort(const std::string& V);
  std::string SocksUserCode() const { return FControlSocket->SocksUsercode(); }
  void SetSocksUserCode(const std::string& V);
  std::string SocksPassword() const { return FControlSocket->SocksPassword(); }
  void SetSocksPassword(const std::string& V);
  bool Passive() const { return FPassive; }
  void SetPassive(bool V) { FPassive = FConnectionType == ftpDirect ? V : true; }
  // The step of the last composite request that ran last: where it ended
  // when it failed.
  TFtpStep LastStep() const { return FRequest.Step.value_or(TFtpStep::Open); }
  // The offset of RestGetAsync; a finished transfer sets it back to 0.
  int64_t ResumeAt() const { return FResumeAt; }
  void SetResumeAt(int64_t V) { FResumeAt = V; }
  int Timeout() const { return FTimeout; }
  void SetTimeout(int V) { FTimeout = V; }
  bool MultiThreaded() const { return FMultiThreaded; }
  void SetMultiThreaded(bool V) { FMultiThreaded = V; }
  const std::string& ErrorMessage() const { return FErrorMessage; }
  const std::string& LastResponse() const { return FLastResponse; }
  int StatusCode() const { return FStatusCode; }
  TFtpState State() const { return FState; }
  TFtpRequest RequestType() const { return FRequestType; }
  int64_t ByteCount() const { return FByteCount; }
  TWSocket& ControlSocket() { return *FControlSocket; }
  TWSocket& DataSocket() { return *FDataSocket; }
  // Whether ConnectAsync asks for TLS: off (the default: the plain
  // conversation), when the server offers it, or required.
  TFtpTlsMode TlsMode() const { return FTlsMode; }
  void SetTlsMode(TFtpTlsMode V) { FTlsMode = V; }
  // How the last ConnectAsync went as to encryption (once it is known).
  const TTlsOutcome& TlsOutcome() const { return FTlsOutcome; }

  std::function<void(TCustomFtpCli* Sender, TFtpRequest RqType, uint16_t Error)> OnRequestDone;
  std::function<void(TCustomFtpCli* Sender, int64_t Count, bool& Abort)> OnProgress;
  std::function<void(TCustomFtpCli* Sender, const std::exception& E, bool& CanClose)> OnBgException;
  std::function<void(TCustomFtpCli* Sender, std::string& Msg)> OnError;
  std::function<void(TCustomFtpCli* Sender, std::string& Msg)> OnDisplay;
  std::function<void(TCustomFtpCli* Sender, std::string& Cmd)> OnCommand;
  std::function<void(TCustomFtpCli* Sender)> OnResponse;
  std::function<void(TCustomFtpCli* Sender, uint16_t Error)> OnSessionConnected;
  std::function<void(TCustomFtpCli* Sender, uint16_t Error)> OnSessionClosed;
  std::function<void(TCustomFtpCli* Sender)> OnStateChange;
  std::function<void(TCustomFtpCli* Sender, std::string& Line)> OnDisplayFile;

 private:
  // Engine: state, commands, replies, request ends.
  void SetState(TFtpState NewState);
  bool UsageError(const std::string& Msg);
  bool IsReady() const { return FState == ftpsReady || FState == ftpsStepReady; }
  void Trace(const std::string& Line);
  void SendCommand(std::string Cmd);
  bool ExecAsync(TFtpRequest Rq, const std::string& Cmd, std::vector<int> OkReplies,
                 TFtpWait Wait = TFtpWait::Reply);
  bool StartSingle(TFtpRequest Rq);
  bool HighLevelAsync(TFtpRequest Rq, std::set<TFtpStep> Steps);
  void RunNextStep();
  bool RunStep(TFtpStep Step);
  void DoneStep(int Error);
  void FinishRequest(int Error);
  void PostRequestDone(TFtpRequest Rq, int Error);
  void Guarded(const std::function<void()>& Body);
  void HandleBgException(const std::exception& E);

  // Replies. ProcessLine takes every line; OnFinalReply hands a final reply
  // to the handler of what the request waits for.
  void ProcessLine(const std::string& Line);
  void OnFinalReply(const TFtpReplyLine& Reply);
  void GreetingReply(const TFtpReplyLine& Reply);
  void CommandReply();
  void TransferReply();

  // Failures. NoteFailure sets what LastResponse, StatusCode and
  // ErrorMessage tell; FailRequest also ends the request (Error: what
  // OnRequestDone carries, when not Code).
  void NoteFailure(int Code, const std::string& Text);
  void FailRequest(int Code, const std::string& Text, int Error = 0);

  // Steps.
  bool DoOpen();
  bool DoUser();
  bool DoPass();
  bool DoCwd();
  bool DoTypeSet();
  bool DoQuit();
  std::set<TFtpStep> ConnectSteps();
  bool DoAuth();
  void AuthReply();
  void ControlTlsDone(uint16_t Error);
  bool DoPbsz();
  bool DoProt();
  // Data connections are in TLS exactly when the control connection is: PROT P
  // follows every handshake within the connect, and a refused PROT fails it.
  void StartDataTls();
  void DataTlsDone(uint16_t Error);
  bool DoPort();
  bool DoRest();
  bool DoTransfer(TFtpRequest Rq);
  bool ConnectPassiveData();
  bool OpenLocalTarget();
  bool CanResume();
  bool FailLocalTarget();
  void ApplySocks(TWSocket& Socket);
  void TraceSocketStates(TWSocket& Socket, const char* Name);

  // Control connection. ControlReceive and ControlSend are the only places
  // where its bytes pass: a layer between the socket and the line reader
  // (encryption) goes there.
  void ControlDnsLookupDone(uint16_t Error);
  void ControlSessionConnected(uint16_t Error);
  void ControlDataAvailable();
  void ControlSessionClosed(uint16_t Error);
  int ControlReceive(char* Buffer, int Size);
  void ControlSend(const std::string& Line);
  // Closes the control connection of a server that broke the protocol.
  void DropControl(int Code, const std::string& Reason);

  // Data connection; DataReceive is where its bytes pass.
  void InstallDataHandlers();
  void DataSessionAvailable(uint16_t Error);
  void DataSessionConnected(uint16_t Error);
  void DataDataAvailable();
  int DataReceive(char* Buffer, int Size);
  void DataSessionClosed(uint16_t Error);
  void WriteReceived(const char* Data, int Len);
  void CloseLocalFile();
  void NoteWriteFailure(const std::string& DiskFullText);
  void LocalFileFailed();
  void EndTransfer(int Error);
  void CheckTransferDone();
  std::string TransferStatistics() const;

  std::unique_ptr<TWSocket> FControlSocket;
  std::unique_ptr<TWSocket> FDataSocket;
  QObject FWindow;  // receives the posted request-done notices

  std::string FHostName;
  std::string FPort = "ftp";
  std::string FLocalAddr = "0.0.0.0";
  std::string FUserName;
  std::string FPassWord;
  std::string FHostDirName;
  std::string FHostFileName;
  std::string FLocalFileName;
  TStream* FLocalStream = nullptr;
  bool FBinary = true;
  bool FDisplayFileFlag = false;
  TFtpShareMode FShareMode = ftpShareExclusive;
  unsigned FOptions = ftpAcceptLF;
  TFtpConnectionType FConnectionType = ftpDirect;
  std::string FProxyServer;
  std::string FProxyPort = "ftp";
  std::string FSocksServer;
  std::string FSocksPort;
  std::string FSocksUserCode;
  std::string FSocksPassword;
  bool FPassive = false;
  int FTimeout = 15;
  int64_t FResumeAt = 0;
  bool FMultiThreaded = false;

  TFtpState FState = ftpsReady;
  TFtpRequest FRequestType = ftpNone;
  int FStatusCode = 0;
  std::string FLastResponse;
  std::string FErrorMessage;
  int FRequestResult = 0;  // of the command under way
  int FLastResult = 0;     // of the last request that ended
  TFtpRequestState FRequest;
  TFtpLink FLink = TFtpLink::Closed;
  // Set once the step (or single request) under way has ended: a second end
  // notice of the same step is ignored.
  bool FRequestDoneFlag = true;
  std::set<TFtpStep> FStepSet;  // the steps still to run
  std::string FSavedLastResponse;
  int FSavedStatusCode = 0;
  std::vector<int> FOkReplies;
  TFtpLineReader FReader;
  size_t FReplyBytes = 0;  // received since the last command was sent
  std::chrono::steady_clock::time_point FDeadline;

  std::string FDataCommand = "LIST";
  std::string FPasvResponse;
  int64_t FByteCount = 0;
  std::chrono::steady_clock::time_point FStartTick;
  std::chrono::steady_clock::time_point FStopTick;
  std::unique_ptr<TFtpLocalFile> FLocalFile;
  std::vector<char> FDataBuffer;
  std::string FDisplayLine;

  TFtpTlsMode FTlsMode = ftpTlsOff;
  TTlsOutcome FTlsOutcome;
  std::shared_ptr<TTlsContext> FTlsContext;  // made by the first AUTH, kept
};

class TFtpClient : public TCustomFtpCli {};
