#include "SocksProtocol.h"

#include <algorithm>

#include "WSocketErrors.h"

namespace {

TSocksReply Fail(int Error, std::string Text) {
  TSocksReply r;
  r.Kind = TSocksReply::Failed;
  r.Error = Error;
  r.Text = std::move(Text);
  return r;
}

TSocksReply Done(size_t Length) {
  TSocksReply r;
  r.Kind = TSocksReply::Complete;
  r.Length = Length;
  return r;
}

void AppendField(TSocksBytes& Out, const std::string& Text) {
  const size_t n = std::min<size_t>(Text.size(), 255);
  Out.push_back(static_cast<uint8_t>(n));
  Out.insert(Out.end(), Text.begin(), Text.begin() + static_cast<std::ptrdiff_t>(n));
}

void AppendPort(TSocksBytes& Out, uint16_t Port) {
  Out.push_back(static_cast<uint8_t>(Port >> 8));
  Out.push_back(static_cast<uint8_t>(Port & 0xFF));
}

uint16_t PortAt(const uint8_t* Data) {
  return static_cast<uint16_t>(Data[0] << 8 | Data[1]);
}

TSocksReply Reply5Error(uint8_t Code) {
  switch (Code) {
    case 1:
      return Fail(socksGeneralFailure, "general SOCKS server failure");
    case 2:
      return Fail(socksConnectionNotAllowed, "connection not allowed by ruleset");
    case 3:
      return Fail(socksNetworkUnreachable, "network unreachable");
    case 4:
      return Fail(socksHostUnreachable, "host unreachable");
    case 5:
      return Fail(socksConnectionRefused, "connection refused");
    case 6:
      return Fail(socksTtlExpired, "time to live expired");
    case 7:
      return Fail(socksUnknownCommand, "command not supported");
    case 8:
      return Fail(socksUnknownAddressType, "address type not supported");
    default:
      return Fail(socksUnassignedError, "unassigned error #" + std::to_string(Code));
  }
}

}  // namespace

TSocksBytes SocksGreeting(bool Usercode) {
  return {5, 1, Usercode ? socksMethodUsercode : socksMethodNone};
}

TSocksBytes SocksAuthRequest(const std::string& User, const std::string& Password) {
  TSocksBytes out{1};
  AppendField(out, User);
  AppendField(out, Password);
  return out;
}

TSocksBytes SocksRequest4(uint16_t Port, uint32_t Ip, const std::string& User) {
  TSocksBytes out{4, 1};
  AppendPort(out, Port);
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(Ip >> shift));
  out.insert(out.end(), User.begin(), User.end());
  out.push_back(0);
  return out;
}

TSocksBytes SocksRequest4A(uint16_t Port, const std::string& User, const std::string& Host) {
  TSocksBytes out = SocksRequest4(Port, 0x00000001, User);
  out.insert(out.end(), Host.begin(), Host.end());
  out.push_back(0);
  return out;
}

TSocksBytes SocksRequest5(const std::string& Host, uint16_t Port) {
  TSocksBytes out{5, 1, 0, 3};
  AppendField(out, Host);
  AppendPort(out, Port);
  return out;
}

TSocksReply SocksCheckMethodReply(const uint8_t* Data, size_t Len) {
  if (Len < 2) return {};
  if (Data[0] != 5) return Fail(socksVersionError, "socks version error");
  if (Data[1] != socksMethodNone && Data[1] != socksMethodUsercode)
    return Fail(socksAuthMethodError, "authentification method not acceptable");
  TSocksReply r = Done(2);
  r.Method = Data[1];
  return r;
}

TSocksReply SocksCheckAuthReply(const uint8_t* Data, size_t Len) {
  if (Len < 2) return {};
  if (Len > 2) return Fail(socksProtocolError, "too much data availaible");
  if (Data[0] != 1) return Fail(socksVersionError, "socks version error");
  if (Data[1] != 0) return Fail(socksAuthenticationFailed, "socks authentication failed");
  return Done(2);
}

TSocksReply SocksCheckReply4(const uint8_t* Data, size_t Len) {
  if (Len < 8) return {};
  if (Data[0] != 0) return Fail(socksVersionError, "socks version error");
  switch (Data[1]) {
    case 90:
      break;
    case 91:
      return Fail(socksRejectedOrFailed, "request rejected or failed");
    case 92:
      return Fail(socksConnectionRefused, "connection refused");
    case 93:
      return Fail(socksAuthenticationFailed, "authentification failed");
    default:
      return Fail(socksUnassignedError, "unassigned error #" + std::to_string(Data[1]));
  }
  TSocksReply r = Done(8);
  r.BoundPort = std::to_string(PortAt(Data + 2));
  r.BoundAddr = std::to_string(Data[4]) + "." + std::to_string(Data[5]) + "." +
                std::to_string(Data[6]) + "." + std::to_string(Data[7]);
  return r;
}

TSocksReply SocksCheckReply5(const uint8_t* Data, size_t Len) {
  if (Len < 2) return {};
  if (Data[0] != 5) return Fail(socksVersionError, "socks version error");
  if (Data[1] != 0) return Reply5Error(Data[1]);
  if (Len <= 4) return {};
  const uint8_t type = Data[3];
  const size_t need = type == 1 ? 10 : type == 3 ? 7 + size_t{Data[4]} : 5;
  if (Len < need) return {};
  TSocksReply r = Done(need);
  if (type == 1) {
    r.BoundAddr = std::to_string(Data[4]) + "." + std::to_string(Data[5]) + "." +
                  std::to_string(Data[6]) + "." + std::to_string(Data[7]);
  } else if (type == 3) {
    r.BoundAddr.assign(reinterpret_cast<const char*>(Data + 5), Data[4]);
  } else {
    return Fail(socksUnknownAddressType, "address type not supported");
  }
  r.BoundPort = std::to_string(PortAt(Data + need - 2));
  return r;
}
