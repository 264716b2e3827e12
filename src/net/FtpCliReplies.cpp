// The FTP client's control connection as a reader of replies: bytes to lines,
// lines to replies, and every final reply to the handler of what the request
// under way waits for (OnFinalReply).

#include <algorithm>

#include "FtpCli.h"

namespace {

// What the control connection reads for one readiness notice at most, and
// for one command at most: no real reply comes near it.
constexpr size_t MaxControlBytesPerNotice = 64 * 1024;
constexpr size_t MaxReplyBytes = 256 * 1024;

}  // namespace

int TCustomFtpCli::ControlReceive(char* Buffer, int Size) {
  return FControlSocket->Receive(Buffer, Size);
}

void TCustomFtpCli::ControlSend(const std::string& Line) {
  FControlSocket->SendStr(Line);
}

// At most MaxControlBytesPerNotice per readiness notice (the socket makes one
// call per notice): a server that sends a reply without end, faster than it
// is read, must not keep the event loop, and with it every timer, waiting.
void TCustomFtpCli::ControlDataAvailable() {
  const TSocketToken connection = FControlSocket->Token();
  for (size_t taken = 0; taken < MaxControlBytesPerNotice;) {
    char buffer[TFtpLineReader::BufferSize];
    const size_t room = std::max<size_t>(FReader.Room(), 1);
    const int n = ControlReceive(buffer, static_cast<int>(room));
    if (n <= 0) return;  // nothing now, or the close notice follows
    taken += static_cast<size_t>(n);
    FReplyBytes += static_cast<size_t>(n);
    FReader.Append(buffer, static_cast<size_t>(n));
    std::string line;
    while (connection.Current() && FReader.NextLine(line)) ProcessLine(line);
    if (!connection.Current()) return;
    // A server that never ends its line, or its reply, would otherwise hold
    // the request for ever.
    if (FReader.Overflow()) return DropControl(500, "500 Reply line too long.");
    if (FReplyBytes > MaxReplyBytes) return DropControl(500, "500 Reply too long.");
  }
}

void TCustomFtpCli::DropControl(int Code, const std::string& Reason) {
  FReader.Clear();
  NoteFailure(Code, Reason);
  FControlSocket->Close();  // the request ends through the close handling
}

void TCustomFtpCli::ProcessLine(const std::string& Line) {
  FLastResponse = Line;
  if (OnResponse) OnResponse(this);
  if (FRequestType == ftpRqAbort) return;
  const TFtpReplyLine reply = FtpClassifyReply(Line);
  if (!reply.Final) return Trace("< " + Line);
  OnFinalReply(reply);
}

// The one place where a final reply is routed: by what the request waits for.
void TCustomFtpCli::OnFinalReply(const TFtpReplyLine& Reply) {
  Trace("< " + FLastResponse);
  switch (FRequest.Wait) {
    case TFtpWait::Nothing:
    case TFtpWait::Lookup:
    case TFtpWait::Tls:
      return;  // nobody asked: traced only
    case TFtpWait::Greeting:
      return GreetingReply(Reply);
    case TFtpWait::Reply:
    case TFtpWait::Quit:
      FStatusCode = Reply.Code;
      return CommandReply();
    case TFtpWait::Transfer:
      FStatusCode = Reply.Code;
      return TransferReply();
    case TFtpWait::Auth:
      FStatusCode = Reply.Code;
      return AuthReply();
  }
}

void TCustomFtpCli::GreetingReply(const TFtpReplyLine& Reply) {
  FStatusCode = Reply.Code;
  if (Reply.Code != 220) return DropControl(Reply.Code, FLastResponse);
  SetState(ftpsGreetingReceived);
  if (OnSessionConnected) OnSessionConnected(this, 0);
  DoneStep(0);
}

// The reply to a command other than LIST and RETR: one of OkReplies (or,
// without any, below 500) lets the request go on.
void TCustomFtpCli::CommandReply() {
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
  if (FRequest.Wait == TFtpWait::Quit) {
    FControlSocket->Close();  // the request ends through the close handling
    return;
  }
  DoneStep(FRequestResult);
}
