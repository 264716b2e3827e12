#pragma once
// Error numbers of the socket layer. Network results travel as the classic
// Windows Sockets numbers (10004..11004) plus the SOCKS numbers (20001..20017),
// so this maps the POSIX errno and resolver codes onto them.

#include <cstdint>
#include <string>

constexpr int WSAEINTR = 10004;
constexpr int WSAEBADF = 10009;
constexpr int WSAEINVAL = 10022;
constexpr int WSAEWOULDBLOCK = 10035;
constexpr int WSAENOTSOCK = 10038;
constexpr int WSAECONNABORTED = 10053;
constexpr int WSAECONNRESET = 10054;
constexpr int WSAENOTCONN = 10057;
constexpr int WSAETIMEDOUT = 10060;
constexpr int WSAECONNREFUSED = 10061;
constexpr int WSANOTINITIALISED = 10093;
constexpr int WSAHOST_NOT_FOUND = 11001;
constexpr int WSATRY_AGAIN = 11002;
constexpr int WSANO_RECOVERY = 11003;
constexpr int WSANO_DATA = 11004;

// SOCKS negotiation failures.
constexpr int socksProtocolError = 20001;
constexpr int socksVersionError = 20002;
constexpr int socksAuthMethodError = 20003;
constexpr int socksGeneralFailure = 20004;
constexpr int socksConnectionNotAllowed = 20005;
constexpr int socksNetworkUnreachable = 20006;
constexpr int socksHostUnreachable = 20007;
constexpr int socksConnectionRefused = 20008;
constexpr int socksTtlExpired = 20009;
constexpr int socksUnknownCommand = 20010;
constexpr int socksUnknownAddressType = 20011;
constexpr int socksUnassignedError = 20012;
constexpr int socksInternalError = 20013;
constexpr int socksDataReceiveError = 20014;
constexpr int socksAuthenticationFailed = 20015;
constexpr int socksRejectedOrFailed = 20016;
constexpr int socksHostResolutionFailed = 20017;

// The text of a Windows Sockets number; "Not a WinSock error" for others.
std::string WSocketErrorDesc(int Error);
// errno -> Windows Sockets number.
int WSocketErrnoToError(int Errno);
// getaddrinfo / getservbyname result -> Windows Sockets number.
int WSocketResolverError(int GaiCode);
// "Error 10061 in function Connect" + CR LF + text.
std::string WSocketErrorText(int Error, const std::string& FuncName);
