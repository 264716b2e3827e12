// The FTP client's encryption (explicit FTP over TLS): "AUTH TLS" after the
// greeting, the handshake on the control connection, "PBSZ 0" and "PROT P"
// after the login, and every data connection in TLS on the control
// connection's session. The TLS itself is the sockets' layer (WSocket.h):
// the client only decides when it starts and what its outcome means.

#include "FtpCli.h"
#include "TlsSession.h"

namespace {

// The answers to AUTH of a server that speaks no TLS: "not understood",
// "not implemented", "not implemented for that parameter", "refused for
// policy reasons".
bool RefusesTls(int Code) {
  return Code == 500 || Code == 502 || Code == 504 || Code == 534;
}

}  // namespace

// The steps of ConnectAsync: AUTH before the login unless TLS is off (PBSZ
// and PROT join once the handshake is done).
std::set<TFtpStep> TCustomFtpCli::ConnectSteps() {
  std::set<TFtpStep> steps = {TFtpStep::Open, TFtpStep::User, TFtpStep::Pass};
  if (FTlsMode != ftpTlsOff) steps.insert(TFtpStep::Auth);
  return steps;
}

bool TCustomFtpCli::DoAuth() {
  if (!FTlsContext) {
    std::string error;
    FTlsContext = TTlsContext::Make(error);
    if (!FTlsContext) {
      StartSingle(ftpConnectAsync);
      FTlsOutcome.Why = "TLS cannot be used: " + error;
      FailRequest(TlsHandshakeFailed, "TLS: " + error);
      return true;
    }
  }
  return ExecAsync(ftpConnectAsync, "AUTH TLS", {234}, TFtpWait::Auth);
}

void TCustomFtpCli::AuthReply() {
  if (FStatusCode == 234) {
    FRequest.Wait = TFtpWait::Tls;
    FControlSocket->OnTlsDone = [this](TCustomWSocket*, uint16_t Error) {
      Guarded([&] { ControlTlsDone(Error); });
    };
    FControlSocket->StartTls(FTlsContext, FHostName);
    return;
  }
  if (RefusesTls(FStatusCode) && FTlsMode == ftpTlsAuto) {
    FTlsOutcome.Why = "the server does not offer TLS (" + FLastResponse + ")";
    Trace("! TLS: " + TlsOutcomeText(FTlsOutcome));
    return DoneStep(0);
  }
  FTlsOutcome.Why = (RefusesTls(FStatusCode) ? "TLS is required, but the server refused it: "
                                             : "AUTH TLS failed: ") +
                    FLastResponse;
  FailRequest(FStatusCode, FTlsOutcome.Why);
}

void TCustomFtpCli::ControlTlsDone(uint16_t Error) {
  if (FRequest.Wait != TFtpWait::Tls) return;
  const TTlsSession* tls = FControlSocket->Tls();
  if (Error == 0) {
    FTlsOutcome = {true, tls->Version(), FHostName, ""};
    Trace("! TLS: " + tls->Version() + ", " + tls->Cipher() + ", certificate of " + FHostName +
          " verified");
    FStepSet.insert({TFtpStep::Pbsz, TFtpStep::Prot});
    return DoneStep(0);
  }
  const std::string reason = tls ? tls->Error() : "TLS error";
  FTlsOutcome.Why = tls && tls->CertificateRejected()
                        ? "the certificate of " + FHostName + " was not accepted: " + reason
                        : "the TLS handshake with " + FHostName + " failed: " + reason;
  Trace("! TLS: " + FTlsOutcome.Why);
  // Nothing goes on in plain text over a connection that asked for TLS.
  DropControl(Error, "TLS: " + FTlsOutcome.Why);
}

bool TCustomFtpCli::DoPbsz() {
  return ExecAsync(ftpConnectAsync, "PBSZ 0", {200});
}

bool TCustomFtpCli::DoProt() {
  return ExecAsync(ftpConnectAsync, "PROT P", {200});
}

// A data connection that is up: with PROT P its handshake comes first, on
// the control connection's session (servers may insist on that).
void TCustomFtpCli::StartDataTls() {
  const TTlsSession* control = FControlSocket->Tls();
  FDataSocket->OnTlsDone = [this](TCustomWSocket*, uint16_t Error) {
    Guarded([&] { DataTlsDone(Error); });
  };
  FDataSocket->StartTls(FTlsContext, FHostName, control ? control->SavedSession() : nullptr);
}

void TCustomFtpCli::DataTlsDone(uint16_t Error) {
  if (!FRequest.Transfer.Active()) return;
  if (Error == 0) {
    FStartTick = std::chrono::steady_clock::now();
    return;
  }
  const TTlsSession* tls = FDataSocket->Tls();
  FailRequest(550, std::string(FtpDataConnectionFailed) +
                       ", TLS: " + (tls ? tls->Error() : std::string("TLS error")));
}
