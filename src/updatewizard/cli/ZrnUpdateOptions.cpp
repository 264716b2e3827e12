#include "ZrnUpdateOptions.h"

#include <cstdio>
#include <cstdlib>

#include "CommandLine.h"

const char* const ZrnUpdateProgram = "zrnupdate";

namespace {

const char* const HelpText =
    "Usage: zrnupdate [OPTIONS] download-apply ORIGINAL INSTALLED\n"
    "       zrnupdate [OPTIONS] download UPDATES\n"
    "       zrnupdate [OPTIONS] apply ORIGINAL INSTALLED UPDATES\n"
    "Downloads notices-to-mariners (BaZ) updates from the update server and\n"
    "applies them to the installed charts, as the update wizard of the chart CD\n"
    "does.\n"
    "\n"
    "  download-apply  fetch the updates the installed charts lack and apply them\n"
    "  download        fetch the updates of the chosen chart sets into\n"
    "                  UPDATES/Updates.BaZ (spanned over removable disks)\n"
    "  apply           apply the updates of UPDATES: the folder that holds\n"
    "                  \"Updates.BaZ\" or a folder of loose update files with their\n"
    "                  \"baz.idx\"\n"
    "  ORIGINAL        the folder of chart-set archives (the CD's Charts folder)\n"
    "  INSTALLED       the folder of installed charts\n"
    "\n"
    "Options:\n"
    "  --dpi 120|240         update one resolution only (download-apply, apply)\n"
    "  --set CODE            only the chart set CODE (1801, NNZK, ...); repeatable\n"
    "  --server HOST[:PORT]  the update server (default: the stored one)\n"
    "  --direct              no proxy, whatever is stored\n"
    "  --ftp-proxy HOST:PORT through an FTP proxy (USER user@site)\n"
    "  --socks5 HOST:PORT    through a SOCKS 5 proxy\n"
    "  --socks4 HOST:PORT    through a SOCKS 4 proxy\n"
    "  --socks4a HOST:PORT   through a SOCKS 4A proxy\n"
    "  --proxy-user NAME     log in to the SOCKS proxy as NAME; the password comes\n"
    "                        from $ZARNAVIS_PROXY_PASSWORD or the stored setting\n"
    "  --active              active data connections (direct connections only)\n"
    "  --tls auto|require|off  encryption (TLS) of the connection: auto uses it\n"
    "                        when the server offers it, require refuses a server\n"
    "                        that does not, off never asks (default: the stored\n"
    "                        setting, else auto)\n"
    "  --timeout SECONDS     give up on a silent server after SECONDS (30)\n"
    "  --trace               show the conversation with the server and the TLS\n"
    "                        handshake's outcome on standard error (passwords\n"
    "                        as ****)\n"
    "  --dry-run             download-apply: list what would be updated, change\n"
    "                        nothing\n"
    "  --help                show this help and exit\n"
    "  --version             show the version and exit\n"
    "\n"
    "Without a proxy option the proxy the update wizard stored is used. Each\n"
    "updated chart is listed as \"  <dpi> dpi - <installed file>\". Disk prompts\n"
    "are answered on standard input: Enter for OK, q for Cancel, y or n for Yes\n"
    "and No. Progress goes to standard error when it is a terminal, and so does\n"
    "one line that says whether the connection is encrypted. The server's\n"
    "certificate is checked against the system's authorities ($SSL_CERT_FILE,\n"
    "$SSL_CERT_DIR) and the server's name.\n"
    "\n"
    "Settings (the installed chart sets, the record of the applied updates, the\n"
    "update server and the proxy) are those of the program: $ZARNAVIS_HOME, else\n"
    "$XDG_CONFIG_HOME/zarnavis (~/.config/zarnavis).\n"
    "\n"
    "Exit status: 0 when the updates were applied or saved, the charts are up\n"
    "to date, or the dry run listed them; 1 on a failure; 2 on a usage error.\n";

int UsageError(const std::string& Message) {
  return ::UsageError(ZrnUpdateProgram, Message);
}

bool ReadMode(const std::string& Word, TUpdateMode& Mode, size_t& Folders) {
  if (Word == "apply") {
    Mode = TUpdateMode::ApplyOnly;
    Folders = 3;
  } else if (Word == "download-apply") {
    Mode = TUpdateMode::DownloadAndApply;
    Folders = 2;
  } else if (Word == "download") {
    Mode = TUpdateMode::DownloadOnly;
    Folders = 1;
  } else {
    return false;
  }
  return true;
}

const char* FolderNames(TUpdateMode Mode) {
  switch (Mode) {
    case TUpdateMode::ApplyOnly:
      return "apply needs ORIGINAL, INSTALLED and UPDATES";
    case TUpdateMode::DownloadAndApply:
      return "download-apply needs ORIGINAL and INSTALLED";
    case TUpdateMode::DownloadOnly:
      break;
  }
  return "download needs UPDATES";
}

}  // namespace

int ParseZrnUpdateOptions(int argc, char** argv, TZrnUpdateOptions& O, bool& Done) {
  Done = false;
  std::string command;
  size_t folders = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    const auto value = [&]() { return std::string(argv[++i]); };
    if (arg == "--help") {
      std::fputs(HelpText, stdout);
      Done = true;
      return 0;
    } else if (arg == "--version") {
      Done = true;
      return PrintVersion(ZrnUpdateProgram);
    } else if (arg == "--dpi") {
      if (!hasValue) return UsageError("--dpi needs a value");
      const std::string dpi = value();
      if (dpi != "120" && dpi != "240") return UsageError("--dpi takes 120 or 240");
      O.OnlyResolution = dpi == "120" ? 0 : 1;
    } else if (arg == "--set") {
      if (!hasValue) return UsageError("--set needs a chart-set code");
      O.Codes.push_back(value());
    } else if (arg == "--server") {
      if (!hasValue) return UsageError("--server needs HOST[:PORT]");
      O.Server = value();
    } else if (arg == "--direct") {
      O.Proxy = TProxySettings{};
    } else if (arg == "--ftp-proxy" || arg == "--socks5" || arg == "--socks4" ||
               arg == "--socks4a") {
      if (!hasValue) return UsageError(arg + " needs HOST:PORT");
      TProxySettings proxy;
      std::string port;
      if (!SplitHostPort(value(), proxy.Server, port)) return UsageError(arg + " needs HOST:PORT");
      proxy.Port = std::atoi(port.c_str());
      proxy.Type = arg == "--ftp-proxy" ? ptUser
                   : arg == "--socks5"  ? ptSocks5
                   : arg == "--socks4"  ? ptSocks4
                                        : ptSocks4A;
      O.Proxy = proxy;
    } else if (arg == "--proxy-user") {
      if (!hasValue) return UsageError("--proxy-user needs a name");
      O.ProxyUser = value();
    } else if (arg == "--active") {
      O.Active = true;
    } else if (arg == "--tls") {
      TFtpTlsMode mode = ftpTlsAuto;
      if (!hasValue || !ParseTlsMode(value(), mode))
        return UsageError("--tls takes auto, require or off");
      O.Tls = mode;
    } else if (arg == "--timeout") {
      if (!hasValue) return UsageError("--timeout needs a number of seconds");
      char* end = nullptr;
      const std::string seconds = value();
      O.Timeout = int(std::strtol(seconds.c_str(), &end, 10));
      if (*end || seconds.empty() || O.Timeout < 1) return UsageError("--timeout takes seconds");
    } else if (arg == "--trace") {
      O.Trace = true;
    } else if (arg == "--dry-run") {
      O.DryRun = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return UsageError("unknown option " + arg);
    } else if (command.empty()) {
      command = arg;
      if (!ReadMode(command, O.Mode, folders)) return UsageError("unknown command " + command);
    } else {
      O.Folders.push_back(arg);
    }
  }
  if (command.empty()) return UsageError("no command given");
  if (O.Folders.size() != folders) return UsageError(FolderNames(O.Mode));
  if (O.DryRun && O.Mode != TUpdateMode::DownloadAndApply)
    return UsageError("--dry-run goes with download-apply");
  if (O.Mode == TUpdateMode::DownloadOnly && O.OnlyResolution >= 0)
    return UsageError("--dpi does not go with download");
  if (!Downloading(O.Mode) && (O.Proxy || !O.Server.empty() || O.Active || O.Tls || O.Trace))
    return UsageError("server, proxy, TLS and trace options go with the download commands");
  return 0;
}
