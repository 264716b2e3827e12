#pragma once
// The bytes of the SOCKS 4, 4A and 5 conversations (RFC 1928, RFC 1929 and
// the SOCKS 4/4A notes): the requests a client sends and the checks of the
// proxy's replies. Free of sockets, so the reply checks can be fed any bytes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using TSocksBytes = std::vector<uint8_t>;

struct TSocksReply {
  enum TKind { NeedMore, Failed, Complete };
  TKind Kind = NeedMore;
  int Error = 0;      // SOCKS error number when Failed
  std::string Text;   // its text
  size_t Length = 0;  // bytes of the reply when Complete; later bytes are application data
  int Method = 0;     // the method chosen by a SOCKS 5 proxy
  std::string BoundAddr;
  std::string BoundPort;
};

constexpr uint8_t socksMethodNone = 0;
constexpr uint8_t socksMethodUsercode = 2;

// Version 5, one method: 2 (user name and password) or 0 (none).
TSocksBytes SocksGreeting(bool Usercode);
// RFC 1929 sub-negotiation; each field is cut at 255 bytes.
TSocksBytes SocksAuthRequest(const std::string& User, const std::string& Password);
// SOCKS 4 CONNECT to a resolved IPv4 address (host order).
TSocksBytes SocksRequest4(uint16_t Port, uint32_t Ip, const std::string& User);
// SOCKS 4A CONNECT: address 0.0.0.1 and the host name after the user id.
TSocksBytes SocksRequest4A(uint16_t Port, const std::string& User, const std::string& Host);
// SOCKS 5 CONNECT by domain name (address type 3), also for a dotted address.
TSocksBytes SocksRequest5(const std::string& Host, uint16_t Port);

TSocksReply SocksCheckMethodReply(const uint8_t* Data, size_t Len);
TSocksReply SocksCheckAuthReply(const uint8_t* Data, size_t Len);
TSocksReply SocksCheckReply4(const uint8_t* Data, size_t Len);
TSocksReply SocksCheckReply5(const uint8_t* Data, size_t Len);
