#pragma once
// The command line of zrnupdate.

#include <optional>
#include <string>
#include <vector>

#include "ProxySettings.h"
#include "UpdateSettings.h"

struct TZrnUpdateOptions {
  TUpdateMode Mode = TUpdateMode::ApplyOnly;
  std::vector<std::string> Folders;     // as the mode takes them
  int OnlyResolution = -1;              // --dpi
  std::vector<std::string> Codes;       // --set
  std::string Server;                   // --server HOST[:PORT]
  std::optional<TProxySettings> Proxy;  // a proxy option (--direct included)
  std::string ProxyUser;                // --proxy-user
  bool Active = false;                  // --active
  std::optional<TFtpTlsMode> Tls;       // --tls, else the stored setting
  int Timeout = 30;                     // --timeout
  bool Trace = false;                   // --trace
  bool DryRun = false;                  // --dry-run
};

extern const char* const ZrnUpdateProgram;  // "zrnupdate"

// 0 when the options can be used; otherwise the exit status after the
// usage error has been told. Done: --help or --version was answered.
int ParseZrnUpdateOptions(int argc, char** argv, TZrnUpdateOptions& Options, bool& Done);
