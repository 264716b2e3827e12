// The FTP client's command engine: request bookkeeping, composite requests,
// the steps' commands and the control connection's life.

#include "FtpCli.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QTimer>
#include <algorithm>
#include <cctype>

#include "FtpLocalFile.h"

namespace {

std::string Lower(std::string Text) {
  std::transform(Text.begin(), Text.end(), Text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return Text;
}

std::string WinsockFailure(int Error) {
  return "500 " + WSocketErrorDesc(Error) + " (Winsock error #" + std::to_string(Error) + ")";
}

// The command as a trace shows it: never a password.
std::string TracedCommand(const std::string& Cmd) {
  if (Lower(Cmd.substr(0, 5)) == "pass " || Lower(Cmd) == "pass") return "PASS ****";
  return Cmd;
}

}  // namespace

void TCustomFtpCli::Guarded(const std::function<void()>& Body) {
  try {
    Body();
  } catch (const std::exception& e) {
    HandleBgException(e);
  }
}

TCustomFtpCli::TCustomFtpCli()
    : FControlSocket(std::make_unique<TWSocket>()), FDataSocket(std::make_unique<TWSocket>()) {
  FControlSocket->OnDnsLookupDone = [this](TCustomWSocket*, uint16_t e) {
    Guarded([&] { ControlDnsLookupDone(e); });
  };
  FControlSocket->OnSessionConnected = [this](TCustomWSocket*, uint16_t e) {
    Guarded([&] { ControlSessionConnected(e); });
  };
  FControlSocket->OnDataAvailable = [this](TCustomWSocket*, uint16_t) {
    Guarded([&] { ControlDataAvailable(); });
  };
  FControlSocket->OnSessionClosed = [this](TCustomWSocket*, uint16_t e) {
    Guarded([&] { ControlSessionClosed(e); });
  };
  FControlSocket->SetComponentOptions(wsoNoReceiveLoop);
  for (TWSocket* s : {FControlSocket.get(), FDataSocket.get()}) {
    s->OnBgException = [this](TCustomWSocket*, const std::exception& e, bool& canClose) {
      canClose = false;
      HandleBgException(e);
    };
    TraceSocketStates(*s, s == FControlSocket.get() ? "Control" : "Data");
  }
}

// The sockets' own state machines, traced through the client's display event.
void TCustomFtpCli::TraceSocketStates(TWSocket& Socket, const char* Name) {
  const std::string name = Name;
  Socket.OnChangeState = [this, name](TCustomWSocket*, TSocketState Old, TSocketState New) {
    if (OnDisplay)
      Trace("! " + name + " socket " + SocketStateName(Old) + " -> " + SocketStateName(New));
  };
  Socket.OnSocksStateChange = [this, name](TCustomWSocket*, TSocksState Old, TSocksState New) {
    if (OnDisplay)
      Trace("! " + name + " SOCKS " + SocksStateName(Old) + " -> " + SocksStateName(New));
  };
  // The login goes to the proxy inside the socket layer: the trace tells
  // that it went, never what the password is.
  Socket.OnSocksAuthState = [this, &Socket](TCustomWSocket*, TSocksAuthState State) {
    if (State == socksAuthStart && OnDisplay)
      Trace("> SOCKS login " + Socket.SocksUsercode() + " PASS ****");
  };
}

TCustomFtpCli::~TCustomFtpCli() {
  FControlSocket->OnSessionClosed = nullptr;
  FControlSocket->OnDnsLookupDone = nullptr;
  FDataSocket->OnSessionClosed = nullptr;
  FLocalFile.reset();
}

void TCustomFtpCli::HandleBgException(const std::exception& E) {
  if (BgExceptionMayClose(OnBgException, this, E)) AbortSession();
}

const char* FtpStateName(TFtpState State) {
  switch (State) {
    case ftpsDisconnected:
      return "ftpsDisconnected";
    case ftpsReady:
      return "ftpsReady";
    case ftpsStepReady:
      return "ftpsStepReady";
    case ftpsResolving:
      return "ftpsResolving";
    case ftpsAwaitingGreeting:
      return "ftpsAwaitingGreeting";
    case ftpsGreetingReceived:
      return "ftpsGreetingReceived";
    case ftpsAwaitingReply:
      return "ftpsAwaitingReply";
    case ftpsPassiveOffered:
      return "ftpsPassiveOffered";
    case ftpsAborted:
      return "ftpsAborted";
  }
  return "?";
}

// The one place where the client's state changes.
void TCustomFtpCli::SetState(TFtpState NewState) {
  if (FState == NewState) return;
  const TFtpState old = FState;
  FState = NewState;
  if (OnDisplay) Trace(std::string("! FTP ") + FtpStateName(old) + " -> " + FtpStateName(NewState));
  if (OnStateChange) OnStateChange(this);
}

bool TCustomFtpCli::UsageError(const std::string& Msg) {
  if (OnError) {
    std::string text = Msg;
    OnError(this, text);
    return false;
  }
  throw FtpException(Msg);
}

void TCustomFtpCli::Trace(const std::string& Line) {
  if (!OnDisplay) return;
  std::string text = Line;
  OnDisplay(this, text);
}

void TCustomFtpCli::SetLocalFileName(const std::string& V) {
  FLocalFileName = V;
  if (!V.empty()) FLocalStream = nullptr;
}

void TCustomFtpCli::SetLocalStream(TStream* V) {
  FLocalStream = V;
  if (V) FLocalFileName.clear();
}

void TCustomFtpCli::SetConnectionType(TFtpConnectionType V) {
  if (Connected()) {
    UsageError("FTP component connected");
    return;
  }
  FConnectionType = V;
  if (V != ftpDirect) FPassive = true;
}

void TCustomFtpCli::SetSocksServer(const std::string& V) {
  FSocksServer = V;
  FControlSocket->SetSocksServer(V);
  FDataSocket->SetSocksServer(V);
}

void TCustomFtpCli::SetSocksPort(const std::string& V) {
  FSocksPort = V;
  FControlSocket->SetSocksPort(V);
  FDataSocket->SetSocksPort(V);
}

void TCustomFtpCli::SetSocksUserCode(const std::string& V) {
  FSocksUserCode = V;
  FControlSocket->SetSocksUsercode(V);
  FDataSocket->SetSocksUsercode(V);
}

void TCustomFtpCli::SetSocksPassword(const std::string& V) {
  FSocksPassword = V;
  FControlSocket->SetSocksPassword(V);
  FDataSocket->SetSocksPassword(V);
}

// The connection type alone decides whether a connection goes through SOCKS.
// User-name authentication is offered only when a user name was given: a
// proxy without accounts refuses a client that offers nothing else.
void TCustomFtpCli::ApplySocks(TWSocket& Socket) {
  const bool socks =
      FConnectionType == ftpSocks4 || FConnectionType == ftpSocks4A || FConnectionType == ftpSocks5;
  Socket.SetSocksServer(socks ? FSocksServer : std::string());
  Socket.SetSocksPort(FSocksPort);
  Socket.SetSocksUsercode(FSocksUserCode);
  Socket.SetSocksPassword(FSocksPassword);
  Socket.SetSocksLevel(FConnectionType == ftpSocks4    ? "4"
                       : FConnectionType == ftpSocks4A ? "4A"
                                                       : "5");
  Socket.SetSocksAuthentication(socks && !FSocksUserCode.empty() ? socksAuthenticateUsercode
                                                                 : socksNoAuthentication);
}

bool TCustomFtpCli::Connected() const {
  return FControlSocket->State() != wsClosed;
}

void TCustomFtpCli::SendCommand(std::string Cmd) {
  if (OnCommand) OnCommand(this, Cmd);
  Trace("> " + TracedCommand(Cmd));
  FReplyBytes = 0;
  if (FControlSocket->State() == wsConnected) ControlSend(Cmd + "\r\n");
}

bool TCustomFtpCli::StartSingle(TFtpRequest Rq) {
  if (FRequest.Run != TFtpRun::Composite) {
    FRequestType = Rq;
    FRequest.Run = TFtpRun::Single;
  }
  FRequestDoneFlag = false;
  FRequestResult = 0;
  return true;
}

bool TCustomFtpCli::ExecAsync(TFtpRequest Rq, const std::string& Cmd, std::vector<int> OkReplies,
                              TFtpWait Wait) {
  if (Cmd != "ABOR" && Cmd != "STAT" && Cmd != "QUIT") {
    if (!IsReady() && FState != ftpsPassiveOffered) return UsageError("FTP component not ready");
    if (FLink != TFtpLink::Connected) return UsageError("FTP component not connected");
  }
  StartSingle(Rq);
  FOkReplies = std::move(OkReplies);
  FRequest.Wait = Wait;
  FErrorMessage.clear();
  SetState(ftpsAwaitingReply);
  SendCommand(Cmd);
  return true;
}

bool TCustomFtpCli::HighLevelAsync(TFtpRequest Rq, std::set<TFtpStep> Steps) {
  if (Connected() && Steps.count(TFtpStep::Open))
    return UsageError("FTP component already connected");
  if (!IsReady()) return UsageError("FTP component not ready");
  if (Steps.count(TFtpStep::User) && FUserName.empty()) return UsageError("UserName emtpy");
  if (Steps.count(TFtpStep::Get) || Steps.count(TFtpStep::Dir)) {
    const char* cmd = Steps.count(TFtpStep::Get) ? "RETR" : "LIST";
    if (FLink != TFtpLink::Connected) return UsageError(std::string(cmd) + ": not connected");
    if (FLocalFileName.empty() && !FLocalStream && !FDisplayFileFlag)
      return UsageError("LocalFileName empty");
  }
  FRequestType = Rq;
  FRequestResult = 0;
  FLastResponse.clear();
  FErrorMessage.clear();
  FRequest.Run = TFtpRun::Composite;
  FRequest.Step.reset();
  FStepSet = std::move(Steps);
  RunNextStep();
  return true;
}

void TCustomFtpCli::RunNextStep() {
  while (!FStepSet.empty()) {
    const TFtpStep step = *FStepSet.begin();
    FStepSet.erase(FStepSet.begin());
    // A server that answers USER with 230 needs no password.
    if (step == TFtpStep::Pass && FRequest.Step == TFtpStep::User && FStatusCode != 331) continue;
    FRequest.Step = step;
    if (step == TFtpStep::Quit) {
      FSavedLastResponse = FLastResponse;
      FSavedStatusCode = FStatusCode;
    }
    if (!RunStep(step) && FRequest.Run != TFtpRun::Idle) {
      // The step refused (its usage error went to OnError): end the request
      // instead of leaving it waiting for ever.
      FErrorMessage = "500 Request could not be started.";
      FRequestDoneFlag = false;
      DoneStep(500);
    }
    return;
  }
  FinishRequest(0);
}

bool TCustomFtpCli::RunStep(TFtpStep Step) {
  switch (Step) {
    case TFtpStep::Open:
      return DoOpen();
    case TFtpStep::User:
      return DoUser();
    case TFtpStep::Pass:
      return DoPass();
    case TFtpStep::Cwd:
      return DoCwd();
    case TFtpStep::TypeSet:
      return DoTypeSet();
    case TFtpStep::Port:
      return DoPort();
    case TFtpStep::Rest:
      return DoRest();
    case TFtpStep::Get:
      return DoTransfer(ftpGetAsync);
    case TFtpStep::Dir:
      return DoTransfer(ftpDirAsync);
    case TFtpStep::Quit:
      return DoQuit();
    case TFtpStep::Auth:
      return DoAuth();
    case TFtpStep::Pbsz:
      return DoPbsz();
    case TFtpStep::Prot:
      return DoProt();
  }
  return false;
}

void TCustomFtpCli::DoneStep(int Error) {
  if (FRequestDoneFlag) return;
  FRequestDoneFlag = true;
  FRequest.Wait = TFtpWait::Nothing;
  if (FRequest.Run == TFtpRun::Composite && Error == 0) {
    if (FState == ftpsAborted) {
      FStepSet.clear();
      FErrorMessage = FtpOperationAborted;
      return FinishRequest(426);
    }
    if (FState != ftpsPassiveOffered) SetState(ftpsStepReady);
    return RunNextStep();
  }
  FinishRequest(Error);
}

void TCustomFtpCli::FinishRequest(int Error) {
  SetState(ftpsReady);
  FRequest.Transfer.Stage = TFtpTransfer::Idle;
  if (FDataSocket->State() != wsClosed) FDataSocket->Close();
  // A QUIT at the end tells nothing about the request: what LastResponse
  // and StatusCode said before it stays.
  if (FRequest.Run == TFtpRun::Composite && FRequest.Step == TFtpStep::Quit) {
    FLastResponse = FSavedLastResponse;
    FStatusCode = FSavedStatusCode;
  }
  FRequest.Run = TFtpRun::Idle;
  FRequest.Wait = TFtpWait::Nothing;
  FStepSet.clear();
  FRequestDoneFlag = true;
  FLastResult = Error;
  PostRequestDone(FRequestType, Error);
}

void TCustomFtpCli::PostRequestDone(TFtpRequest Rq, int Error) {
  QMetaObject::invokeMethod(
      &FWindow,
      [this, Rq, Error] {
        Guarded([&] {
          if (OnRequestDone) OnRequestDone(this, Rq, static_cast<uint16_t>(Error));
        });
      },
      Qt::QueuedConnection);
}

void TCustomFtpCli::NoteFailure(int Code, const std::string& Text) {
  FLastResponse = Text;
  FStatusCode = Code;
  FRequestResult = Code;
  FErrorMessage = Text;
}

void TCustomFtpCli::FailRequest(int Code, const std::string& Text, int Error) {
  NoteFailure(Code, Text);
  const int reported = Error != 0 ? Error : Code;
  if (FRequest.Transfer.Active()) return EndTransfer(reported);
  DoneStep(reported);
}

// ---- requests ------------------------------------------------------------

bool TCustomFtpCli::ConnectAsync() {
  return HighLevelAsync(ftpConnectAsync, ConnectSteps());
}
bool TCustomFtpCli::DirAsync() {
  return HighLevelAsync(ftpDirAsync, {TFtpStep::Port, TFtpStep::Dir});
}
bool TCustomFtpCli::GetAsync() {
  return HighLevelAsync(ftpGetAsync, {TFtpStep::Port, TFtpStep::Get});
}
bool TCustomFtpCli::RestGetAsync() {
  if (FResumeAt < 0) return UsageError("ResumeAt negative");
  return HighLevelAsync(ftpRestGetAsync, {TFtpStep::Port, TFtpStep::Rest, TFtpStep::Get});
}

bool TCustomFtpCli::OpenAsync() {
  if (Connected()) return UsageError("FTP component already connected");
  if (!IsReady()) return UsageError("FTP component not ready");
  FRequestType = ftpOpenAsync;
  FRequest.Run = TFtpRun::Single;
  FLastResponse.clear();
  FErrorMessage.clear();
  return DoOpen();
}

bool TCustomFtpCli::UserAsync() {
  if (FRequest.Run != TFtpRun::Composite) FRequestType = ftpUserAsync;
  return DoUser();
}
bool TCustomFtpCli::PassAsync() {
  return DoPass();
}
bool TCustomFtpCli::TypeSetAsync() {
  return DoTypeSet();
}
bool TCustomFtpCli::PortAsync() {
  return DoPort();
}

bool TCustomFtpCli::CwdAsync() {
  if (FHostDirName.empty()) return UsageError("HostDirName emtpy");
  return DoCwd();
}

bool TCustomFtpCli::QuitAsync() {
  return DoQuit();
}

bool TCustomFtpCli::DoUser() {
  if (FUserName.empty()) return UsageError("UserName emtpy");
  std::string cmd = "USER " + FUserName;
  if (FConnectionType == ftpProxy) {
    cmd += "@" + FHostName;
    const std::string port = Lower(FPort);
    if (port != "ftp" && port != "21") cmd += ":" + FPort;
  }
  return ExecAsync(ftpUserAsync, cmd, {331, 230});
}

bool TCustomFtpCli::DoPass() {
  if (FPassWord.empty()) return UsageError("Password emtpy");
  return ExecAsync(ftpPassAsync, "PASS " + FPassWord, {230});
}

bool TCustomFtpCli::DoCwd() {
  return ExecAsync(ftpCwdAsync, "CWD " + FHostDirName, {200, 250, 257});
}

bool TCustomFtpCli::DoTypeSet() {
  return ExecAsync(ftpTypeSetAsync, std::string("TYPE ") + (FBinary ? "I" : "A"), {200});
}

bool TCustomFtpCli::DoQuit() {
  FLocalFile.reset();
  if (FLink != TFtpLink::Connected) {
    // Nothing to end: the control connection is already gone.
    StartSingle(ftpQuitAsync);
    DoneStep(0);
    return true;
  }
  return ExecAsync(ftpQuitAsync, "QUIT", {221}, TFtpWait::Quit);
}

bool TCustomFtpCli::TypeSet() {
  FBinary = true;
  try {
    if (!TypeSetAsync()) return false;
  } catch (const std::exception&) {
    return false;
  }
  return WaitForReady();
}

bool TCustomFtpCli::Quit() {
  try {
    if (!QuitAsync()) return false;
  } catch (const std::exception&) {
    return false;
  }
  return WaitForReady();
}

bool TCustomFtpCli::WaitForReady() {
  FDeadline = std::chrono::steady_clock::now() + std::chrono::seconds(FTimeout);
  // Wakes the wait below now and then, so the deadline is seen without events.
  QTimer wake;
  wake.start(50);
  for (;;) {
    if (IsReady() && FRequest.Run == TFtpRun::Idle) return FLastResult == 0;
    if (!QCoreApplication::instance() || QCoreApplication::closingDown()) break;
    if (FTimeout > 0 && std::chrono::steady_clock::now() > FDeadline) break;
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  }
  AbortSession();
  FErrorMessage = "426 Timeout";
  FStatusCode = 426;
  return false;
}

void TCustomFtpCli::AbortSession() {
  SetState(ftpsAborted);
  CloseLocalFile();
  FRequest.Run = TFtpRun::Idle;
  FRequest.Wait = TFtpWait::Nothing;
  FRequest.Transfer.Stage = TFtpTransfer::Idle;
  FStepSet.clear();
  FRequestDoneFlag = true;
  FControlSocket->CancelDnsLookup();
  if (FControlSocket->State() != wsClosed) FControlSocket->Close();
  if (FDataSocket->State() != wsClosed) FDataSocket->Close();
  FLink = TFtpLink::Closed;
  SetState(ftpsReady);
}

// ---- control connection --------------------------------------------------

bool TCustomFtpCli::DoOpen() {
  StartSingle(ftpOpenAsync);
  // A QUIT of an earlier session must not make this session's early close
  // look like a requested one.
  FRequest.Wait = TFtpWait::Lookup;
  FLink = TFtpLink::Connecting;
  FReader.Clear();
  FReplyBytes = 0;
  FReader.SetAcceptLF((FOptions & ftpAcceptLF) != 0);
  FTlsOutcome = {};
  if (FTlsMode == ftpTlsOff) FTlsOutcome.Why = "TLS is turned off";
  SetState(ftpsResolving);
  ApplySocks(*FControlSocket);
  FControlSocket->DnsLookup(FConnectionType == ftpProxy ? FProxyServer : FHostName);
  return true;
}

void TCustomFtpCli::ControlDnsLookupDone(uint16_t Error) {
  if (FState != ftpsResolving) return;
  if (Error != 0) {
    FLink = TFtpLink::Closed;
    return FailRequest(500, WinsockFailure(Error), Error);
  }
  TWSocket& s = *FControlSocket;
  s.SetAddr(s.DnsResult());
  s.SetLocalAddr(FLocalAddr);
  s.SetProto("tcp");
  s.SetPort(FConnectionType == ftpProxy && !FProxyPort.empty() ? FProxyPort : FPort);
  FRequest.Wait = TFtpWait::Greeting;
  SetState(ftpsAwaitingGreeting);
  try {
    s.Connect();
  } catch (const Exception& e) {
    FailRequest(500, std::string("500 ") + e.ClassName() + ": " + e.Message());
  }
}

void TCustomFtpCli::ControlSessionConnected(uint16_t Error) {
  if (Error != 0) {
    FLink = TFtpLink::Closed;
    SetState(ftpsReady);
    return FailRequest(500, WinsockFailure(Error), Error);
  }
  FLink = TFtpLink::Connected;
}

void TCustomFtpCli::ControlSessionClosed(uint16_t Error) {
  const bool wasConnected = FLink == TFtpLink::Connected;
  FLink = TFtpLink::Closed;
  if (wasConnected) {
    if (FState != ftpsAborted) SetState(ftpsDisconnected);
    if (OnSessionClosed) OnSessionClosed(this, Error);
  }
  if (FState != ftpsAborted) SetState(ftpsStepReady);
  if (FRequestType == ftpRqAbort || FRequest.Run == TFtpRun::Idle) return;
  if (FRequest.Wait == TFtpWait::Quit && Error == 0) return DoneStep(FRequestResult);
  // A close in the middle of a request is a failure, also without a socket
  // error: a transfer cut off by the server must not look like a success.
  if (Error != 0)
    NoteFailure(500, "500 Control connection closed. " + WSocketErrorDesc(Error) +
                         " (Winsock error #" + std::to_string(Error) + ")");
  else if (FRequestResult == 0)
    NoteFailure(500, "500 Control connection closed.");
  FStatusCode = FRequestResult;
  FRequest.Transfer.Stage = TFtpTransfer::Idle;
  CloseLocalFile();
  FRequestDoneFlag = false;  // the step that waited ends now
  DoneStep(FRequestResult);
}
