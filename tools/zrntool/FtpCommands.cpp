// zrntool ftp: list a directory or fetch files with the program's own FTP
// client and its event loop, for support and for tests.
//
//   zrntool ftp list URL
//   zrntool ftp get URL FILE [URL FILE ...]     (one connection for one server)
//
// URL is ftp://[user[:password]@]host[:port]/path; anonymous without a user.

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "FtpCli.h"
#include "Streams.h"
#include "ZrnTool.h"

namespace {

struct TFtpUrl {
  std::string User = "anonymous";
  std::string Password = "zarnavis@example.org";
  std::string Host;
  std::string Port = "21";
  std::string Path;
};

std::string PercentDecode(const std::string& Text) {
  std::string out;
  for (size_t i = 0; i < Text.size(); ++i) {
    if (Text[i] == '%' && i + 2 < Text.size()) {
      out += static_cast<char>(std::strtol(Text.substr(i + 1, 2).c_str(), nullptr, 16));
      i += 2;
    } else {
      out += Text[i];
    }
  }
  return out;
}

// The URL as an error message may show it: a password becomes "****".
std::string ShownUrl(const std::string& Url) {
  const size_t scheme = Url.find("://");
  const size_t start = scheme == std::string::npos ? 0 : scheme + 3;
  const size_t at = Url.substr(0, Url.find('/', start)).rfind('@');
  if (at == std::string::npos || at < start) return Url;
  const size_t colon = Url.find(':', start);
  if (colon == std::string::npos || colon > at) return Url;
  return Url.substr(0, colon + 1) + "****" + Url.substr(at);
}

bool ParseFtpUrl(const std::string& Url, TFtpUrl& Out, std::string& Error) {
  if (Url.rfind("ftp://", 0) != 0) {
    Error = "not an ftp:// URL: " + ShownUrl(Url);
    return false;
  }
  std::string rest = Url.substr(6);
  const size_t slash = rest.find('/');
  std::string authority = rest.substr(0, slash);
  Out.Path = slash == std::string::npos ? "/" : PercentDecode(rest.substr(slash));
  const size_t at = authority.rfind('@');
  if (at != std::string::npos) {
    const std::string userInfo = authority.substr(0, at);
    authority = authority.substr(at + 1);
    const size_t colon = userInfo.find(':');
    Out.User = PercentDecode(userInfo.substr(0, colon));
    if (colon != std::string::npos) Out.Password = PercentDecode(userInfo.substr(colon + 1));
  }
  const size_t colon = authority.rfind(':');
  Out.Host = authority.substr(0, colon);
  if (colon != std::string::npos) Out.Port = authority.substr(colon + 1);
  if (Out.Host.empty() || Out.Port.empty()) {
    Error = "no host in URL: " + ShownUrl(Url);
    return false;
  }
  return true;
}

struct TFtpToolOptions {
  bool Active = false;
  TFtpConnectionType Type = ftpDirect;
  std::string ProxyHost, ProxyPort;  // of --ftp-proxy or --socks*, HOST:PORT
  std::string SocksUser;
  std::string SocksPassword;
  int Timeout = 30;
  TFtpTlsMode Tls = ftpTlsOff;
  bool Trace = false;
  std::vector<std::string> Positional;
};

bool ParseOptions(const std::vector<std::string>& Args, TFtpToolOptions& O, std::string& Error) {
  for (size_t i = 0; i < Args.size(); ++i) {
    const std::string& a = Args[i];
    auto value = [&](std::string& Into) {
      if (i + 1 >= Args.size()) {
        Error = a + " needs a value";
        return false;
      }
      Into = Args[++i];
      return true;
    };
    std::string v;
    if (a == "--active") {
      O.Active = true;
    } else if (a == "--trace") {
      O.Trace = true;
    } else if (a == "--socks4" || a == "--socks4a" || a == "--socks5" || a == "--ftp-proxy") {
      if (!value(v)) return false;
      if (!SplitHostPort(v, O.ProxyHost, O.ProxyPort)) {
        Error = a + " needs HOST:PORT";
        return false;
      }
      O.Type = a == "--socks4"    ? ftpSocks4
               : a == "--socks4a" ? ftpSocks4A
               : a == "--socks5"  ? ftpSocks5
                                  : ftpProxy;
    } else if (a == "--socks-user") {
      if (!value(O.SocksUser)) return false;
    } else if (a == "--socks-password") {
      if (!value(O.SocksPassword)) return false;
    } else if (a == "--tls") {
      if (!value(v)) return false;
      if (!ParseTlsMode(v, O.Tls)) {
        Error = "--tls takes auto, require or off";
        return false;
      }
    } else if (a == "--timeout") {
      if (!value(v)) return false;
      O.Timeout = std::atoi(v.c_str());
    } else if (a.rfind("--", 0) == 0) {
      Error = "unknown option " + a;
      return false;
    } else {
      O.Positional.push_back(a);
    }
  }
  return true;
}

// One conversation: connect, TYPE I, then a listing or the files, then QUIT.
class TFtpToolSession {
 public:
  TFtpToolSession(const TFtpToolOptions& Options, const TFtpUrl& Url) {
    FClient.SetHostName(Url.Host);
    FClient.SetPort(Url.Port);
    FClient.SetUserName(Url.User);
    FClient.SetPassWord(Url.Password);
    FClient.SetTimeout(Options.Timeout);
    FClient.SetConnectionType(Options.Type);
    if (Options.Type == ftpProxy) {
      FClient.SetProxyServer(Options.ProxyHost);
      FClient.SetProxyPort(Options.ProxyPort);
    } else if (Options.Type != ftpDirect) {
      FClient.SetSocksServer(Options.ProxyHost);
      FClient.SetSocksPort(Options.ProxyPort);
      FClient.SetSocksUserCode(Options.SocksUser);
      FClient.SetSocksPassword(Options.SocksPassword);
    }
    FClient.SetPassive(!Options.Active);
    FClient.SetTlsMode(Options.Tls);
    if (Options.Trace) {
      FClient.OnDisplay = [](TCustomFtpCli*, std::string& Line) {
        std::fprintf(stderr, "%s\n", Line.c_str());
      };
    }
    FClient.OnRequestDone = [this](TCustomFtpCli*, TFtpRequest Rq, uint16_t Error) {
      RequestDone(Rq, Error);
    };
    FClient.OnProgress = [this](TCustomFtpCli*, int64_t, bool&) { FWatchdog.start(); };
    FWatchdog.setSingleShot(true);
    FWatchdog.setInterval(std::max(Options.Timeout, 1) * 1000);
    QObject::connect(&FWatchdog, &QTimer::timeout, [this] { Fail(WSAETIMEDOUT, "426 Timeout"); });
  }

  // Listing when Files is empty, else (remote, local) pairs.
  int Run(const std::string& ListDir, std::vector<std::pair<std::string, std::string>> Files) {
    FListDir = ListDir;
    FFiles = std::move(Files);
    FWatchdog.start();
    FClient.ConnectAsync();
    QCoreApplication::exec();
    return FExitCode;
  }

 private:
  void RequestDone(TFtpRequest Rq, uint16_t Error) {
    FWatchdog.start();
    if (Error != 0 && Rq != ftpQuitAsync) return Fail(Error, FClient.ErrorMessage());
    switch (Rq) {
      case ftpConnectAsync:
        FClient.TypeSetAsync();
        return;
      case ftpTypeSetAsync:
        if (!FFiles.empty()) return NextFile();
        if (FListDir.empty() || FListDir == "/") return StartListing();
        FClient.SetHostDirName(FListDir);
        FClient.CwdAsync();
        return;
      case ftpCwdAsync:
        return StartListing();
      case ftpDirAsync:
        std::fwrite(FListing.Memory(), 1, static_cast<size_t>(FListing.GetSize()), stdout);
        return Finish();
      case ftpGetAsync:
        return NextFile();
      case ftpQuitAsync:
        QCoreApplication::exit(0);
        return;
      default:
        return;
    }
  }

  void StartListing() {
    FClient.SetLocalStream(&FListing);
    FClient.SetHostFileName("");
    FClient.DirAsync();
  }

  void NextFile() {
    if (FNext >= FFiles.size()) return Finish();
    const auto& [remote, local] = FFiles[FNext++];
    FClient.SetHostFileName(remote);
    FClient.SetLocalFileName(local);
    FClient.GetAsync();
  }

  void Finish() {
    FExitCode = 0;
    FClient.QuitAsync();
  }

  void Fail(int Error, const std::string& Message) {
    std::fprintf(stderr, "zrntool: ftp: error %d: %s\n", Error, Message.c_str());
    FExitCode = 1;
    FClient.AbortSession();
    QCoreApplication::exit(1);
  }

  TFtpClient FClient;
  TMemoryStream FListing;
  QTimer FWatchdog;
  std::string FListDir;
  std::vector<std::pair<std::string, std::string>> FFiles;
  size_t FNext = 0;
  int FExitCode = 1;
};

const char* const Usage =
    "  ftp list URL [OPTION]...                list a remote directory\n"
    "  ftp get URL FILE [URL FILE]... [OPTION]...  fetch files from one server\n"
    "    URL is ftp://[user[:password]@]host[:port]/path (anonymous without user)\n"
    "    --active              the server connects for the data (PORT)\n"
    "    --socks4 H:P          through the SOCKS 4 server H:P\n"
    "    --socks4a H:P         through the SOCKS 4A server H:P\n"
    "    --socks5 H:P          through the SOCKS 5 server H:P\n"
    "    --socks-user U        user name for the SOCKS server\n"
    "    --socks-password P    password for the SOCKS 5 server\n"
    "    --ftp-proxy H:P       through the FTP proxy H:P (USER user@site)\n"
    "    --timeout S           give up after S seconds without progress\n"
    "    --tls auto|require|off  TLS when offered, TLS or nothing, or none (off)\n"
    "    --trace               show the FTP conversation on standard error";

int RunFtp(const std::vector<std::string>& Args) {
  if (Args.empty()) return ZrnUsageError("ftp: missing command (list, get)");
  const std::string command = Args[0];
  TFtpToolOptions options;
  std::string error;
  if (!ParseOptions({Args.begin() + 1, Args.end()}, options, error)) return ZrnUsageError(error);
  const auto& pos = options.Positional;
  const bool list = command == "list";
  if ((list && pos.size() != 1) || (command == "get" && (pos.empty() || pos.size() % 2 != 0)) ||
      (!list && command != "get"))
    return ZrnUsageError("ftp: wrong arguments");
  TFtpUrl first;
  if (!ParseFtpUrl(pos[0], first, error)) return ZrnUsageError(error);
  std::vector<std::pair<std::string, std::string>> files;
  for (size_t i = 0; !list && i < pos.size(); i += 2) {
    TFtpUrl url;
    if (!ParseFtpUrl(pos[i], url, error)) return ZrnUsageError(error);
    if (url.Host != first.Host || url.Port != first.Port || url.User != first.User)
      return ZrnUsageError("all URLs must name the same server and user");
    files.emplace_back(url.Path, pos[i + 1]);
  }
  int argc = 1;
  char name[] = "zrntool";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  TFtpToolSession session(options, first);
  return session.Run(list ? first.Path : std::string(), std::move(files));
}

const ZrnCommandGroup FtpGroup("ftp", Usage, RunFtp);

}  // namespace
