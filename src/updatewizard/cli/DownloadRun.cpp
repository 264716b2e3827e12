// zrnupdate download-apply and download: the conversation with the update
// server in an event loop of its own.

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "CommandLine.h"
#include "FileAttributes.h"
#include "FileTimes.h"
#include "Languages.h"
#include "TextUtils.h"
#include "UpdateDownload.h"
#include "ZrnUpdateRuns.h"

namespace {

// The proxy of the run: the command line's, else the stored one; the
// password never comes from the command line, where other users see it.
TProxySettings ProxyOf(const TZrnUpdateOptions& O) {
  TProxySettings proxy = O.Proxy ? *O.Proxy : LoadProxySettings();
  if (!O.ProxyUser.empty()) {
    proxy.Login = true;
    proxy.UserName = O.ProxyUser;
    if (const char* password = std::getenv("ZARNAVIS_PROXY_PASSWORD"))
      proxy.Password = password;
    else
      proxy.Password = LoadProxySettings().Password;
  }
  return proxy;
}

std::string DateText(int32_t FileDate) {
  const time_t t = FileDateToUnixTime(FileDate);
  if (t == -1) return "-";
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", std::localtime(&t));
  return text;
}

// What a real run would update, one line a chart and resolution.
void PrintDryRun(const TUpdateProcessor& Processor, const TUpdateDownload& Download) {
  int64_t total = 0;
  for (const std::string& key : Processor.UpdateList()) {
    std::string chart;
    int res = 0;
    SplitUpdateKey(key, chart, res);
    const auto stored = Processor.StoredIndex(res).find(chart);
    const auto delivered = Processor.DeliveredIndex().find(chart);
    const TRemoteFile* file = FindRemoteFile(Download.ServerFiles(), chart + "." + DpiText(res));
    const int64_t size = file ? file->Size : 0;
    total += size;
    std::printf(
        "%-10s %s dpi  stored %-16s  delivered %-16s  %lld bytes\n", chart.c_str(), DpiText(res),
        stored == Processor.StoredIndex(res).end() ? "-" : DateText(stored->second.Date).c_str(),
        delivered == Processor.DeliveredIndex().end() ? "-"
                                                      : DateText(delivered->second.Date).c_str(),
        static_cast<long long>(size));
  }
  std::printf("%zu updates, %lld bytes\n", Processor.UpdateList().size(),
              static_cast<long long>(total));
}

}  // namespace

int RunDownload(const TZrnUpdateOptions& O, TTerminalView& View) {
  const bool applying = O.Mode == TUpdateMode::DownloadAndApply;
  TSettingsCheck check =
      CheckSettingsFolders(O.Mode, applying ? O.Folders[0] : "", applying ? O.Folders[1] : "",
                           applying ? "" : O.Folders[0]);
  if (!check.Ok) return FailRun(View, check.Warning);
  // Known before anything is fetched: a command line cannot offer to make it.
  if (!applying && !DirectoryExists(check.UpdatesFolder))
    return FailRun(View, "the updates folder " + check.UpdatesFolder + " does not exist");
  std::vector<std::string> captions;
  if (applying) {
    RestrictSelection(check.ChartSets, O.Codes, O.OnlyResolution);
    if (CountSelectedResolutions(check.ChartSets) == 0)
      return FailRun(View, GetText(txtNoSetsSelected));
  } else {
    for (const std::string& caption : ChartSetCatalogue()) {
      bool wanted = O.Codes.empty();
      for (const std::string& code : O.Codes)
        wanted = wanted || SameText(code, caption.substr(0, 4));
      if (wanted) captions.push_back(caption);
    }
    if (captions.empty()) return FailRun(View, GetText(txtNoSetsSelected));
  }
  const TProxySettings proxy = ProxyOf(O);
  if (const std::string warning = CheckProxySettings(proxy); !warning.empty())
    return FailRun(View, warning);

  int argc = 1;
  char name[] = "zrnupdate";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  TUpdateProcessor processor(O.Mode, View);
  processor.SetFolders(check.OriginalFolder, check.InstalledFolder, check.UpdatesFolder);
  processor.SetChartSets(std::move(check.ChartSets));
  processor.SetCheckedCatalogue(captions);
  TUpdateDownload download(processor, View);
  std::string host = UpdateServerHost(), port = UpdateServerPort();
  if (!O.Server.empty() && !SplitHostPort(O.Server, host, port)) {
    host = O.Server;
    port = "21";
  }
  download.SetServer(host, port);
  download.SetProxy(proxy, !O.Active);
  download.SetEncryption(O.Tls ? *O.Tls : LoadEncryptionMode());
  download.SetTimeout(O.Timeout);
  download.SetDryRun(O.DryRun);
  download.OnConnected = [&View](const TTlsOutcome& Tls) {
    View.EndProgressLine();
    std::fprintf(stderr, "%s\n", TlsOutcomeText(Tls).c_str());
  };
  download.OnFinished = [](const TDownloadResult&) { QCoreApplication::exit(0); };
  if (O.Trace) {
    // The client writes PASS as "PASS ****" and never a TLS secret.
    download.Client().OnDisplay = [&View](TCustomFtpCli*, std::string& Line) {
      View.EndProgressLine();
      std::fprintf(stderr, "%s\n", Line.c_str());
    };
  }
  download.Start();
  if (download.Running()) QCoreApplication::exec();
  download.CloseQuery();
  View.EndProgressLine();

  const TDownloadResult& result = download.Result();
  switch (result.End) {
    case TDownloadEnd::Applied:
      PrintResults(processor.Results());
      return 0;
    case TDownloadEnd::Listed:
      PrintDryRun(processor, download);
      return 0;
    case TDownloadEnd::UpToDate:
    case TDownloadEnd::Packed:
      return 0;
    case TDownloadEnd::Cancelled:
      return FailRun(View, "cancelled; nothing was updated");
    case TDownloadEnd::Error:
      return FailRun(View, result.ErrorClass + ": " + result.Message);
    case TDownloadEnd::NoIndex:
    case TDownloadEnd::Failed:
    case TDownloadEnd::Aborted:
    case TDownloadEnd::Running:
      break;
  }
  return 1;  // the report has been shown
}
