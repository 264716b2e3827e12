// The SOCKS layer: after the TCP connection to the proxy is made, the method
// negotiation (SOCKS 5), the user-name authentication (RFC 1929) and the
// CONNECT request run here before the owner hears OnSessionConnected.

#include <algorithm>
#include <cctype>

#include "SocksProtocol.h"
#include "WSocket.h"

namespace {

std::string TrimAll(const std::string& Text) {
  const auto first = Text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return Text.substr(first, Text.find_last_not_of(" \t") - first + 1);
}

// The SOCKS reply area never needs more: the longest reply is 262 bytes.
constexpr size_t SocksAreaLimit = 1024;

}  // namespace

TCustomSocksWSocket::TCustomSocksWSocket() = default;

const char* SocksStateName(TSocksState State) {
  switch (State) {
    case socksData:
      return "socksData";
    case socksNegociateMethods:
      return "socksNegociateMethods";
    case socksAuthenticate:
      return "socksAuthenticate";
    case socksConnect:
      return "socksConnect";
  }
  return "?";
}

// The one place where the negotiation's state changes.
void TCustomSocksWSocket::SetSocksState(TSocksState NewState) {
  const TSocksState old = FSocksState;
  FSocksState = NewState;
  if (old != NewState && OnSocksStateChange) OnSocksStateChange(this, old, NewState);
}

void TCustomSocksWSocket::AssignDefaultValue() {
  TCustomWSocket::AssignDefaultValue();
  SetSocksState(socksData);
  FSocksRcv.clear();
}

void TCustomSocksWSocket::SetSocksServer(const std::string& Value) {
  if (State() != wsClosed) return RaiseException("Can't change socks server if not closed");
  FSocksServer = TrimAll(Value);
  FSocksResolved = false;
}

void TCustomSocksWSocket::SetSocksPort(const std::string& Value) {
  if (State() != wsClosed) return RaiseException("Can't change socks port if not closed");
  FSocksPort = TrimAll(Value);
  FSocksResolved = false;
}

void TCustomSocksWSocket::SetSocksLevel(const std::string& Value) {
  if (State() != wsClosed) return RaiseException("Can't change socks level if not closed");
  std::string level = Value;
  std::transform(level.begin(), level.end(), level.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  if (level != "4" && level != "4A" && level != "5")
    return RaiseException("Invalid socks level. Must be 4, 4A or 5.");
  FSocksLevel = level;
}

void TCustomSocksWSocket::Listen() {
  if (!FSocksServer.empty()) return RaiseException("Listening is not supported thru socks server");
  TCustomWSocket::Listen();
}

void TCustomSocksWSocket::Connect() {
  if (FSocksServer.empty()) return TCustomWSocket::Connect();
  std::string proto = FProto;
  std::transform(proto.begin(), proto.end(), proto.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (proto != "tcp") return RaiseException("tcp is the only protocol supported thru socks server");
  if (State() != wsClosed) return RaiseException("Connect: Socket already in use");
  if (FPort.empty()) return RaiseException("Connect: No Port Specified");
  if (FAddr.empty()) return RaiseException("Connect: No IP Address Specified");
  try {
    if (!FSocksResolved) {
      FSocksPortNum = WSocketResolvePort(FSocksPort.empty() ? "1080" : FSocksPort, "tcp");
      FSocksIp = WSocketResolveHost(FSocksServer);
      FSocksResolved = true;
    }
    FTargetPort = WSocketResolvePort(FPort, "tcp");
  } catch (const ESocketException& e) {
    return RaiseException("connect: " + e.Message());
  }
  SetSocksState(socksNegociateMethods);
  FSocksRcv.clear();
  FSocksPending.clear();
  FBoundAddr.clear();
  FBoundPort.clear();
  ConnectTo(FSocksIp, FSocksPortNum);
}

void TCustomSocksWSocket::SendBytes(const std::vector<uint8_t>& Bytes) {
  Send(Bytes.data(), static_cast<int>(Bytes.size()));
}

void TCustomSocksWSocket::TriggerSessionConnected(uint16_t Error) {
  if (FSocksState == socksData) return TCustomWSocket::TriggerSessionConnected(Error);
  if (OnSocksConnected) OnSocksConnected(this, Error);
  if (Error != 0) {
    SetSocksState(socksData);
    return TCustomWSocket::TriggerSessionConnected(Error);
  }
  if (FSocksLevel[0] == '4') return SocksDoConnect();
  SetSocksState(socksNegociateMethods);
  SendBytes(SocksGreeting(FSocksAuthentication == socksAuthenticateUsercode));
}

void TCustomSocksWSocket::SocksDoConnect() {
  SetSocksState(socksConnect);
  FSocksRcv.clear();
  if (FSocksLevel == "4A") return SendBytes(SocksRequest4A(FTargetPort, FSocksUsercode, FAddr));
  if (FSocksLevel == "4") {
    uint32_t ip = 0;
    try {
      ip = WSocketResolveHost(FAddr);
    } catch (const Exception& e) {
      return SocksError(socksHostResolutionFailed, std::string(e.ClassName()) + " " + e.Message());
    }
    return SendBytes(SocksRequest4(FTargetPort, ip, FSocksUsercode));
  }
  SendBytes(SocksRequest5(FAddr, FTargetPort));
}

void TCustomSocksWSocket::SocksDoAuthenticate() {
  SetSocksState(socksAuthenticate);
  FSocksRcv.clear();
  if (OnSocksAuthState) OnSocksAuthState(this, socksAuthStart);
  SendBytes(SocksAuthRequest(FSocksUsercode, FSocksPassword));
}

void TCustomSocksWSocket::SocksError(int Error, const std::string& Msg) {
  if (OnSocksError) OnSocksError(this, Error, Msg);
  SetSocksState(socksData);
  const TSocketToken connection = Token();
  TCustomWSocket::TriggerSessionConnected(static_cast<uint16_t>(Error));
  if (connection.Current()) InternalClose(false, static_cast<uint16_t>(Error));
}

void TCustomSocksWSocket::TriggerDataAvailable(uint16_t Error) {
  if (FSocksState == socksData) return TCustomWSocket::TriggerDataAvailable(Error);
  char buffer[512];
  const size_t room = std::min(sizeof buffer, SocksAreaLimit - FSocksRcv.size());
  const int n = RawReceive(buffer, static_cast<int>(room));
  if (n < 0) {
    if (LastError() != WSAEWOULDBLOCK) SocksError(LastError(), "data receive error");
    return;
  }
  if (n == 0) return;  // the close notice follows
  FSocksRcv.append(buffer, static_cast<size_t>(n));
  SocksProcessReply();
}

void TCustomSocksWSocket::SocksProcessReply() {
  const auto* data = reinterpret_cast<const uint8_t*>(FSocksRcv.data());
  const size_t len = FSocksRcv.size();
  TSocksReply reply;
  switch (FSocksState) {
    case socksNegociateMethods:
      if (FSocksLevel[0] == '4') return SocksError(socksProtocolError, "TWSocket logic error");
      reply = SocksCheckMethodReply(data, len);
      break;
    case socksAuthenticate:
      reply = SocksCheckAuthReply(data, len);
      break;
    case socksConnect:
      reply = FSocksLevel[0] == '4' ? SocksCheckReply4(data, len) : SocksCheckReply5(data, len);
      break;
    default:
      return SocksError(socksInternalError, "internal error");
  }
  if (reply.Kind == TSocksReply::NeedMore) {
    if (len >= SocksAreaLimit) SocksError(socksInternalError, "internal error");
    return;
  }
  if (reply.Kind == TSocksReply::Failed) return SocksError(reply.Error, reply.Text);
  if (FSocksState == socksNegociateMethods) {
    FSocksRcv.erase(0, reply.Length);
    if (reply.Method == socksMethodUsercode) return SocksDoAuthenticate();
    if (FSocksAuthentication == socksAuthenticateUsercode && OnSocksAuthState)
      OnSocksAuthState(this, socksAuthNotRequired);
    return SocksDoConnect();
  }
  if (FSocksState == socksAuthenticate) {
    if (OnSocksAuthState) OnSocksAuthState(this, socksAuthSuccess);
    return SocksDoConnect();
  }
  FBoundAddr = reply.BoundAddr;
  FBoundPort = reply.BoundPort;
  SocksDone(reply.Length);
}

void TCustomSocksWSocket::SocksDone(size_t ReplyLength) {
  FSocksPending = FSocksRcv.substr(ReplyLength);
  FSocksRcv.clear();
  SetSocksState(socksData);
  const TSocketToken connection = Token();
  TCustomWSocket::TriggerSessionConnected(0);
  // Application bytes that travelled with the reply are read first.
  if (connection.Current() && !FSocksPending.empty()) TriggerDataAvailable(0);
}

void TCustomSocksWSocket::TriggerSessionClosed(uint16_t Error) {
  if (FSocksState != socksData) {
    // The proxy went away in the middle of the negotiation: the owner still
    // gets its connect outcome, so nothing waits for a session that never came.
    if (FSocksState == socksAuthenticate && OnSocksAuthState)
      OnSocksAuthState(this, socksAuthFailure);
    SetSocksState(socksData);
    TCustomWSocket::TriggerSessionConnected(Error != 0 ? Error : WSAECONNRESET);
  }
  TCustomWSocket::TriggerSessionClosed(Error);
}

int TCustomSocksWSocket::Receive(void* Buffer, int BufferSize) {
  if (!FSocksPending.empty() && BufferSize > 0) {
    const size_t n = std::min(FSocksPending.size(), static_cast<size_t>(BufferSize));
    FSocksPending.copy(static_cast<char*>(Buffer), n);
    FSocksPending.erase(0, n);
    return static_cast<int>(n);
  }
  return TCustomWSocket::Receive(Buffer, BufferSize);
}

int TCustomSocksWSocket::RcvdCount() {
  return static_cast<int>(FSocksPending.size()) + TCustomWSocket::RcvdCount();
}
