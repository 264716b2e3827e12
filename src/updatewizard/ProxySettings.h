#pragma once
// How the update wizard and zrnupdate reach the update server: the server
// itself, the proxy in front of it and the encryption, as the user key
// "Update" stores them, the proxy page's check, and the FTP client set up
// from them.

#include <string>

#include "FtpCli.h"
#include "TlsMode.h"

// The update server when the settings name none. The demo and the tests
// point "Server host" and "Server port" at a server of their own.
extern const char* const DefaultUpdateHost;  // "ftp.quorvel.example.com"
constexpr int DefaultUpdatePort = 21;
// The password of the anonymous login: an e-mail address, as anonymous FTP
// servers expect.
extern const char* const AnonymousPassword;

// The proxy types in the order the proxy page lists them.
enum TProxyType { ptNone = 0, ptUser = 1, ptSocks5 = 2, ptSocks4 = 3, ptSocks4A = 4 };

struct TProxySettings {
  int Type = ptNone;     // "Proxy type"
  std::string Server;    // "Proxy server"
  int Port = 21;         // "Proxy port"
  bool Login = false;    // "Proxy login"
  std::string UserName;  // "Proxy username"
  std::string Password;  // "Proxy password"
};

// Reads the stored settings; a missing value takes its default, a type out
// of range is none.
TProxySettings LoadProxySettings();
void SaveProxySettings(const TProxySettings& Settings);

// "Encryption": 0 TLS when the server offers it (also for a missing or
// unknown value), 1 TLS required, 2 off. No window sets it; it is kept
// apart from the proxy page's values, which the wizard writes back.
TFtpTlsMode LoadEncryptionMode();
void SaveEncryptionMode(TFtpTlsMode Mode);

// "Server host" and "Server port" of the key, or the defaults.
std::string UpdateServerHost();
std::string UpdateServerPort();
// Names the update server in the settings (the demo's and the tests' own).
void SaveUpdateServer(const std::string& Host, int Port);

// The client's connection type of a proxy-page entry.
TFtpConnectionType ProxyConnectionType(int Type);

// The proxy page's check: empty when the settings can be used, else the
// warning ("No proxy server entered", "No proxy username entered", "No proxy
// password entered").
std::string CheckProxySettings(const TProxySettings& Settings);

// Sets the client's connection type, proxy or SOCKS server and login from
// Settings. Passive asks for passive data connections on a direct
// connection; through a proxy they are always passive.
void ApplyProxySettings(TFtpClient& Client, const TProxySettings& Settings, bool Passive);
