// Name and port resolution: the blocking forms used by Connect and Listen,
// and the asynchronous DnsLookup, whose worker thread posts its result back
// to the owner's thread.

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>

#include <QMetaObject>
#include <algorithm>
#include <cctype>
#include <cstring>
#include <mutex>
#include <thread>

#include "WSocket.h"

namespace {

std::string Trim(const std::string& Text) {
  const auto first = Text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return Text.substr(first, Text.find_last_not_of(' ') - first + 1);
}

// Names in the reserved "invalid" domain never exist; they are answered here
// without asking any name server.
bool IsReservedInvalidName(const std::string& Name) {
  std::string lower = Name;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  while (!lower.empty() && lower.back() == '.') lower.pop_back();
  return lower == "invalid" || (lower.size() > 8 && lower.ends_with(".invalid"));
}

// getaddrinfo for one IPv4 address; returns the gai code.
int LookupIPv4(const std::string& Name, uint32_t& Ip) {
  if (IsReservedInvalidName(Name)) return EAI_NONAME;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* result = nullptr;
  const int rc = ::getaddrinfo(Name.c_str(), nullptr, &hints, &result);
  if (rc != 0) return rc;
  Ip = ntohl(reinterpret_cast<sockaddr_in*>(result->ai_addr)->sin_addr.s_addr);
  ::freeaddrinfo(result);
  return 0;
}

}  // namespace

bool WSocketIsDottedIP(const std::string& Text, uint32_t* Ip) {
  const std::string s = Trim(Text);
  if (s.empty()) return false;
  int dots = 0;
  int part = -1;
  for (char c : s) {
    if (c == '.') {
      if (part < 0 || ++dots > 3) return false;
      part = -1;
    } else if (std::isdigit(static_cast<unsigned char>(c))) {
      part = (part < 0 ? 0 : part) * 10 + (c - '0');
      if (part > 255) return false;
    } else {
      return false;
    }
  }
  if (part < 0) return false;
  in_addr addr{};
  if (::inet_aton(s.c_str(), &addr) == 0) return false;
  const uint32_t value = ntohl(addr.s_addr);
  if (value == 0xFFFFFFFFu) return false;
  if (Ip) *Ip = value;
  return true;
}

std::string WSocketIPToStr(uint32_t Ip) {
  return std::to_string(Ip >> 24) + "." + std::to_string((Ip >> 16) & 0xFF) + "." +
         std::to_string((Ip >> 8) & 0xFF) + "." + std::to_string(Ip & 0xFF);
}

uint32_t WSocketResolveHost(const std::string& Host) {
  if (Host.empty() || Host.size() > 256)
    throw ESocketException("WSocketResolveHost: '" + Host + "' Invalid Hostname.");
  const std::string s = Trim(Host);
  if (!s.empty() && std::isdigit(static_cast<unsigned char>(s[0])) &&
      s.find_first_not_of("0123456789. ") == std::string::npos) {
    uint32_t ip = 0;
    if (!WSocketIsDottedIP(s, &ip))
      throw ESocketException("WSocketResolveHost: '" + Host + "' Invalid IP address.");
    return ip;
  }
  uint32_t ip = 0;
  const int rc = LookupIPv4(s, ip);
  if (rc != 0)
    throw ESocketException("WSocketResolveHost: Cannot convert host address '" + Host +
                           "', Error #" + std::to_string(WSocketResolverError(rc)));
  return ip;
}

void WSocketResolveProto(const std::string& Proto) {
  std::string p = Trim(Proto);
  std::transform(p.begin(), p.end(), p.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (p != "tcp" && p != "6") throw ESocketException("WSocketResolvePort: Invalid Proto.");
}

uint16_t WSocketResolvePort(const std::string& Port, const std::string& Proto) {
  if (Port.empty() || Port.size() >= 32)
    throw ESocketException("WSocketResolvePort: Invalid Port.");
  if (Proto.empty() || Proto.size() >= 32)
    throw ESocketException("WSocketResolvePort: Invalid Proto.");
  size_t i = Port.find_first_not_of(' ');
  if (i != std::string::npos && std::isdigit(static_cast<unsigned char>(Port[i]))) {
    unsigned value = 0;
    for (; i < Port.size() && std::isdigit(static_cast<unsigned char>(Port[i])); ++i)
      value = std::min(value * 10 + static_cast<unsigned>(Port[i] - '0'), 0xFFFFu + 1);
    return static_cast<uint16_t>(value);
  }
  servent entry{};
  servent* found = nullptr;
  char buffer[1024];
  ::getservbyname_r(Port.c_str(), Proto.c_str(), &entry, buffer, sizeof buffer, &found);
  if (!found)
    throw ESocketException("WSocketResolvePort: Cannot convert port '" + Port + "', Error #" +
                           std::to_string(WSANO_DATA));
  return ntohs(static_cast<uint16_t>(found->s_port));
}

// Shared by the socket and its lookup thread: the socket clears Target when
// it cancels the lookup or goes away, so a late result finds no one to post to.
struct TCustomWSocket::TDnsJob {
  std::mutex Lock;
  QObject* Target = nullptr;
  TCustomWSocket* Socket = nullptr;
};

void TCustomWSocket::DnsLookup(const std::string& HostName) {
  if (HostName.empty()) {
    RaiseException("DNS lookup: invalid host name.");
    if (OnDnsLookupDone) OnDnsLookupDone(this, WSAEINVAL);
    return;
  }
  CancelDnsLookup();
  FDnsResult.clear();
  uint32_t ip = 0;
  if (WSocketIsDottedIP(HostName, &ip)) {
    FDnsResult = WSocketIPToStr(ip);
    if (OnDnsLookupDone) OnDnsLookupDone(this, 0);
    return;
  }
  auto job = std::make_shared<TDnsJob>();
  job->Target = &FWindow;
  job->Socket = this;
  FDnsJob = job;
  const uint64_t id = ++FDnsId;
  std::string name = Trim(HostName);
  try {
    std::thread([job, id, name] {
      uint32_t found = 0;
      const int rc = LookupIPv4(name, found);
      const int error = WSocketResolverError(rc);
      std::lock_guard<std::mutex> guard(job->Lock);
      if (!job->Target) return;
      TCustomWSocket* socket = job->Socket;
      QMetaObject::invokeMethod(
          job->Target, [socket, id, error, found] { socket->DnsLookupDone(id, error, found); },
          Qt::QueuedConnection);
    }).detach();
  } catch (const std::system_error& e) {
    FDnsJob.reset();
    FLastError = WSocketErrnoToError(e.code().value());
    RaiseException(HostName + ": can't start DNS lookup, error #" + std::to_string(FLastError));
  }
}

void TCustomWSocket::DnsLookupDone(uint64_t Id, int Error, uint32_t Ip) {
  if (Id != FDnsId || !FDnsJob) return;
  FDnsJob.reset();
  Guarded([&] {
    if (Error == 0) FDnsResult = WSocketIPToStr(Ip);
    if (OnDnsLookupDone) OnDnsLookupDone(this, static_cast<uint16_t>(Error));
  });
}

void TCustomWSocket::CancelDnsLookup() {
  if (!FDnsJob) return;
  {
    std::lock_guard<std::mutex> guard(FDnsJob->Lock);
    FDnsJob->Target = nullptr;
  }
  FDnsJob.reset();
  ++FDnsId;
  if (!FDestroying && OnDnsLookupDone) OnDnsLookupDone(this, WSAEINTR);
}
