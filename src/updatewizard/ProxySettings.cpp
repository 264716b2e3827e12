#include "ProxySettings.h"

#include "QvRegistry.h"

const char* const DefaultUpdateHost = "ftp.quorvel.example.com";
const char* const AnonymousPassword = "zarnavis@quorvel.example.com";

namespace {

const char* const Key = "Update";

}  // namespace

TProxySettings LoadProxySettings() {
  TProxySettings s;
  s.Type = RegReadIntegerDef(rkUser, Key, "Proxy type", ptNone);
  if (s.Type < ptNone || s.Type > ptSocks4A) s.Type = ptNone;
  s.Server = RegReadString(rkUser, Key, "Proxy server", "");
  s.Port = RegReadIntegerDef(rkUser, Key, "Proxy port", 21);
  s.Login = RegReadBoolDef(rkUser, Key, "Proxy login", false);
  s.UserName = RegReadString(rkUser, Key, "Proxy username", "");
  s.Password = RegReadString(rkUser, Key, "Proxy password", "");
  return s;
}

void SaveProxySettings(const TProxySettings& Settings) {
  RegWriteValues(rkUser, Key,
                 {TRegValue::DWord("Proxy type", uint32_t(Settings.Type)),
                  TRegValue::String("Proxy server", Settings.Server),
                  TRegValue::DWord("Proxy port", uint32_t(Settings.Port)),
                  TRegValue::DWord("Proxy login", Settings.Login ? 1 : 0),
                  TRegValue::String("Proxy username", Settings.UserName),
                  TRegValue::String("Proxy password", Settings.Password)});
}

TFtpTlsMode LoadEncryptionMode() {
  const int mode = RegReadIntegerDef(rkUser, Key, "Encryption", ftpTlsAuto);
  return mode == ftpTlsRequire || mode == ftpTlsOff ? TFtpTlsMode(mode) : ftpTlsAuto;
}

void SaveEncryptionMode(TFtpTlsMode Mode) {
  RegWriteInteger(rkUser, Key, "Encryption", int(Mode));
}

std::string UpdateServerHost() {
  const std::string host = RegReadString(rkUser, Key, "Server host", "");
  return host.empty() ? DefaultUpdateHost : host;
}

std::string UpdateServerPort() {
  const int port = RegReadIntegerDef(rkUser, Key, "Server port", DefaultUpdatePort);
  return std::to_string(port > 0 && port < 65536 ? port : DefaultUpdatePort);
}

void SaveUpdateServer(const std::string& Host, int Port) {
  RegWriteValues(
      rkUser, Key,
      {TRegValue::String("Server host", Host), TRegValue::DWord("Server port", uint32_t(Port))});
}

TFtpConnectionType ProxyConnectionType(int Type) {
  switch (Type) {
    case ptUser:
      return ftpProxy;
    case ptSocks5:
      return ftpSocks5;
    case ptSocks4:
      return ftpSocks4;
    case ptSocks4A:
      return ftpSocks4A;
    default:
      return ftpDirect;
  }
}

std::string CheckProxySettings(const TProxySettings& Settings) {
  if (ProxyConnectionType(Settings.Type) == ftpDirect) return {};
  if (Settings.Server.empty()) return "No proxy server entered";
  if (Settings.Login) {
    if (Settings.UserName.empty()) return "No proxy username entered";
    if (Settings.Password.empty()) return "No proxy password entered";
  }
  return {};
}

void ApplyProxySettings(TFtpClient& Client, const TProxySettings& Settings, bool Passive) {
  const TFtpConnectionType type = ProxyConnectionType(Settings.Type);
  Client.SetConnectionType(type);
  Client.SetPassive(Passive);
  const std::string port = std::to_string(Settings.Port);
  if (type == ftpProxy) {
    Client.SetProxyServer(Settings.Server);
    Client.SetProxyPort(port);
  } else if (type != ftpDirect) {
    Client.SetSocksServer(Settings.Server);
    Client.SetSocksPort(port);
    Client.SetSocksUserCode(Settings.Login ? Settings.UserName : "");
    Client.SetSocksPassword(Settings.Login ? Settings.Password : "");
  }
}
