#pragma once
// The update server of the download tests: pyftpdlib serving the demo's
// pub/baz/2003 on 127.0.0.1, with the faults a test asks for
// (update_ftp_server.py), and one conversation run in this process.

#include <filesystem>
#include <string>
#include <vector>

#include "../net/NetTestSupport.h"
#include "UpdateDownload.h"
#include "UpdateTestSupport.h"

// A host name the resolver refuses without asking anyone (a label longer
// than 63 characters): "host not found" with no traffic off this machine.
inline std::string UnresolvableHost() {
  return std::string(64, 'a') + ".invalid";
}

class TDownloadFixture : public TUpdateFixture {
 protected:
  void SetUp() override {
    TestApp();
    TUpdateFixture::SetUp();
  }

  // Serves Root (the demo folder unless given) with the script's options.
  void StartServer(const std::vector<std::string>& Options = {}, const std::string& Root = {}) {
    std::vector<std::string> argv = {"/usr/bin/python3", TestScriptDir() + "/update_ftp_server.py",
                                     Root.empty() ? Demo->Path() : Root, "--log",
                                     FTemp / "ftp.log"};
    argv.insert(argv.end(), Options.begin(), Options.end());
    ASSERT_TRUE(FServer.Start(argv));
  }

  // The commands the server received, in order.
  std::vector<std::string> ServerLog() const {
    std::vector<std::string> lines;
    const std::string text = ReadFileText(FTemp / "ftp.log");
    for (size_t pos = 0, nl; (nl = text.find('\n', pos)) != std::string::npos; pos = nl + 1)
      lines.push_back(text.substr(pos, nl - pos));
    return lines;
  }

  // One conversation in Mode; Setup may change the download before it starts.
  TDownloadResult Download(
      TUpdateMode Mode, TRecordingView& View,
      const std::function<void(TUpdateDownload&, TUpdateProcessor&)>& Setup = {},
      const std::string& Updates = "") {
    TUpdateProcessor processor(Mode, View);
    if (Applying(Mode)) {
      processor.SetFolders(Cd(), FInstalled, "");
      processor.SetChartSets(InstalledSets());
    } else {
      processor.SetFolders("", "", Updates);
      processor.SetCheckedCatalogue(ChartSetCatalogue());
    }
    TUpdateDownload download(processor, View);
    download.SetServer("127.0.0.1", FServer.PortText());
    download.SetTimeout(20);
    if (Setup) Setup(download, processor);
    download.Start();
    RunUntil([&] { return !download.Running(); }, 90000);
    FResults = processor.Results();
    FFetched = download.Fetched();
    FUpdateList = processor.UpdateList();
    // A QUIT sent at the end is still on its way: its reply comes first.
    RunUntil([&] { return download.Client().State() != ftpsAwaitingReply; }, 5000);
    FConnectedAfter = download.Client().Connected();
    download.CloseQuery();
    return download.Result();
  }

  TPeerProcess FServer;
  std::vector<std::string> FFetched;
  TUpdateList FUpdateList;
  bool FConnectedAfter = false;
};
