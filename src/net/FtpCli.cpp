// The FTP client's command engine: request bookkeeping, composite requests,
// the control connection and the evaluation of final replies.

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

// What the control connection reads for one readiness notice at most, and
// for one command at most: no real reply comes near it.
constexpr size_t MaxControlBytesPerNotice = 64 * 1024;
constexpr size_t MaxReplyBytes = 256 * 1024;

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
  if (FControlSocket->State() == wsConnected) FControlSocket->SendStr(Cmd + "\r\n");
}

bool TCustomFtpCli::StartSingle(TFtpRequest Rq) {
  if (!FComposite) {
    FRequestType = Rq;
    FBusy = true;
  }
  FRequestDoneFlag = false;
  FRequestResult = 0;
  return true;
}

bool TCustomFtpCli::ExecAsync(TFtpRequest Rq, const std::string& Cmd, std::vector<int> OkReplies,
                              bool IsQuit) {
  if (Cmd != "ABOR" && Cmd != "STAT" && Cmd != "QUIT") {
    if (!IsReady() && FState != ftpsPassiveOffered) return UsageError("FTP component not ready");
    if (!FConnected) return UsageError("FTP component not connected");
  }
  StartSingle(Rq);
  FOkReplies = std::move(OkReplies);
  FNext = &TCustomFtpCli::GeneralReply;
  FQuitPending = IsQuit;
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
    if (!FConnected) return UsageError(std::string(cmd) + ": not connected");
    if (FLocalFileName.empty() && !FLocalStream && !FDisplayFileFlag)
      return UsageError("LocalFileName empty");
  }
  FRequestType = Rq;
  FRequestResult = 0;
  FLastResponse.clear();
  FErrorMessage.clear();
  FComposite = true;
  FBusy = true;
  FStepSet = std::move(Steps);
  FHaveLastStep = false;
  FQuitStepRan = false;
  RunNextStep();
  return true;
}

void TCustomFtpCli::RunNextStep() {
  while (!FStepSet.empty()) {
    const TFtpStep step = *FStepSet.begin();
    FStepSet.erase(FStepSet.begin());
    // A server that answers USER with 230 needs no password.
    if (step == TFtpStep::Pass && FHaveLastStep && FLastStep == TFtpStep::User &&
        FStatusCode != 331)
      continue;
    FHaveLastStep = true;
    FLastStep = step;
    if (step == TFtpStep::Quit) {
      FQuitStepRan = true;
      FSavedLastResponse = FLastResponse;
      FSavedStatusCode = FStatusCode;
    }
    if (!RunStep(step) && FBusy) {
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
  }
  return false;
}

void TCustomFtpCli::DoneStep(int Error) {
  if (FRequestDoneFlag) return;
  FRequestDoneFlag = true;
  if (FComposite && Error == 0) {
    if (FState == ftpsAborted) {
      FStepSet.clear();
      FErrorMessage = "426 Operation aborted.";
      return FinishRequest(426);
    }
    if (FState != ftpsPassiveOffered) SetState(ftpsStepReady);
    return RunNextStep();
  }
  FinishRequest(Error);
}

void TCustomFtpCli::FinishRequest(int Error) {
  SetState(ftpsReady);
  FTransferActive = false;
  if (FDataSocket->State() != wsClosed) FDataSocket->Close();
  if (FComposite && FQuitStepRan) {
    FLastResponse = FSavedLastResponse;
    FStatusCode = FSavedStatusCode;
  }
  FComposite = false;
  FStepSet.clear();
  FBusy = false;
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

void TCustomFtpCli::FailWithWinsock(int Error) {
  FLastResponse = WinsockFailure(Error);
  FStatusCode = 500;
  FRequestResult = 500;
  FErrorMessage = FLastResponse;
}

// ---- requests ------------------------------------------------------------

bool TCustomFtpCli::ConnectAsync() {
  return HighLevelAsync(ftpConnectAsync, {TFtpStep::Open, TFtpStep::User, TFtpStep::Pass});
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
  FBusy = true;
  FLastResponse.clear();
  FErrorMessage.clear();
  return DoOpen();
}

bool TCustomFtpCli::UserAsync() {
  if (!FComposite) FRequestType = ftpUserAsync;
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
  if (!FConnected) {
    // Nothing to end: the control connection is already gone.
    StartSingle(ftpQuitAsync);
    DoneStep(0);
    return true;
  }
  return ExecAsync(ftpQuitAsync, "QUIT", {221}, true);
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
    if (IsReady() && !FBusy) return FLastResult == 0;
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
  FBusy = false;
  FComposite = false;
  FStepSet.clear();
  FTransferActive = false;
  FRequestDoneFlag = true;
  FControlSocket->CancelDnsLookup();
  if (FControlSocket->State() != wsClosed) FControlSocket->Close();
  if (FDataSocket->State() != wsClosed) FDataSocket->Close();
  FConnected = false;
  SetState(ftpsReady);
}

// ---- control connection --------------------------------------------------

bool TCustomFtpCli::DoOpen() {
  StartSingle(ftpOpenAsync);
  // A QUIT of an earlier session must not make this session's early close
  // look like a requested one.
  FQuitPending = false;
  FReader.Clear();
  FReplyBytes = 0;
  FReader.SetAcceptLF((FOptions & ftpAcceptLF) != 0);
  SetState(ftpsResolving);
  ApplySocks(*FControlSocket);
  FControlSocket->DnsLookup(FConnectionType == ftpProxy ? FProxyServer : FHostName);
  return true;
}

void TCustomFtpCli::ControlDnsLookupDone(uint16_t Error) {
  if (FState != ftpsResolving) return;
  if (Error != 0) {
    FailWithWinsock(Error);
    return DoneStep(Error);
  }
  TWSocket& s = *FControlSocket;
  s.SetAddr(s.DnsResult());
  s.SetLocalAddr(FLocalAddr);
  s.SetProto("tcp");
  s.SetPort(FConnectionType == ftpProxy && !FProxyPort.empty() ? FProxyPort : FPort);
  SetState(ftpsAwaitingGreeting);
  try {
    s.Connect();
  } catch (const Exception& e) {
    FLastResponse = std::string("500 ") + e.ClassName() + ": " + e.Message();
    FStatusCode = 500;
    FRequestResult = 500;
    FErrorMessage = FLastResponse;
    DoneStep(500);
  }
}

void TCustomFtpCli::ControlSessionConnected(uint16_t Error) {
  if (Error != 0) {
    FailWithWinsock(Error);
    SetState(ftpsReady);
    return DoneStep(Error);
  }
  FConnected = true;
}

// At most MaxControlBytesPerNotice per readiness notice (the socket makes one
// call per notice): a server that sends a reply without end, faster than it
// is read, must not keep the event loop, and with it every timer, waiting.
void TCustomFtpCli::ControlDataAvailable() {
  const int handle = FControlSocket->HSocket();
  for (size_t taken = 0; taken < MaxControlBytesPerNotice;) {
    char buffer[TFtpLineReader::BufferSize];
    const size_t room = std::max<size_t>(FReader.Room(), 1);
    const int n = FControlSocket->Receive(buffer, static_cast<int>(room));
    if (n <= 0) return;  // nothing now, or the close notice follows
    taken += static_cast<size_t>(n);
    FReplyBytes += static_cast<size_t>(n);
    FReader.Append(buffer, static_cast<size_t>(n));
    std::string line;
    while (handle == FControlSocket->HSocket() && FReader.NextLine(line)) ProcessLine(line);
    if (handle != FControlSocket->HSocket()) return;
    // A server that never ends its line, or its reply, would otherwise hold
    // the request for ever.
    if (FReader.Overflow()) return DropControl("500 Reply line too long.");
    if (FReplyBytes > MaxReplyBytes) return DropControl("500 Reply too long.");
  }
}

void TCustomFtpCli::DropControl(const char* Reason) {
  FReader.Clear();
  FLastResponse = Reason;
  FStatusCode = 500;
  FRequestResult = 500;
  FErrorMessage = FLastResponse;
  FControlSocket->Close();
}

void TCustomFtpCli::ProcessLine(const std::string& Line) {
  FLastResponse = Line;
  if (OnResponse) OnResponse(this);
  if (FRequestType == ftpRqAbort) return;
  const TFtpReplyLine reply = FtpClassifyReply(Line);
  switch (FState) {
    case ftpsAwaitingGreeting:
      Trace("< " + Line);
      if (!reply.Final) return;
      FStatusCode = reply.Code;
      if (reply.Code != 220) {
        FRequestResult = reply.Code;
        FErrorMessage = Line;
        FControlSocket->Close();
        return;
      }
      SetState(ftpsGreetingReceived);
      if (OnSessionConnected) OnSessionConnected(this, 0);
      return DoneStep(0);
    case ftpsAwaitingReply:
      if (!reply.Final) return Trace("< " + Line);
      if (!FNext) {
        UsageError("Program error: FNext is nil");
        return;
      }
      return (this->*FNext)();
    default:
      Trace("< " + Line);
  }
}

void TCustomFtpCli::GeneralReply() {
  Trace("< " + FLastResponse);
  FStatusCode = FtpClassifyReply(FLastResponse).Code;
  const bool ok = FOkReplies.empty() ? FStatusCode < 500
                                     : std::find(FOkReplies.begin(), FOkReplies.end(),
                                                 FStatusCode) != FOkReplies.end();
  if (!ok) {
    FRequestResult = FStatusCode;
    if (FErrorMessage.empty()) FErrorMessage = FLastResponse;
  }
  if (FPassive && FStatusCode == 227) {
    SetState(ftpsPassiveOffered);
    FPasvResponse = FLastResponse;
  }
  if (FQuitPending) {
    FControlSocket->Close();  // the request ends through the close handling
    return;
  }
  DoneStep(FRequestResult);
}

void TCustomFtpCli::ControlSessionClosed(uint16_t Error) {
  if (FConnected) {
    FConnected = false;
    if (FState != ftpsAborted) SetState(ftpsDisconnected);
    if (OnSessionClosed) OnSessionClosed(this, Error);
  }
  if (FState != ftpsAborted) SetState(ftpsStepReady);
  if (FRequestType == ftpRqAbort || !FBusy) return;
  if (FQuitPending && Error == 0) return DoneStep(FRequestResult);
  // A close in the middle of a request is a failure, also without a socket
  // error: a transfer cut off by the server must not look like a success.
  if (Error != 0) {
    FLastResponse = "500 Control connection closed. " + WSocketErrorDesc(Error) +
                    " (Winsock error #" + std::to_string(Error) + ")";
    FRequestResult = 500;
    FErrorMessage = FLastResponse;
  } else if (FRequestResult == 0) {
    FLastResponse = "500 Control connection closed.";
    FRequestResult = 500;
    FErrorMessage = FLastResponse;
  }
  FStatusCode = FRequestResult;
  FTransferActive = false;
  CloseLocalFile();
  FRequestDoneFlag = false;  // the step that waited ends now
  DoneStep(FRequestResult);
}
