#pragma once
// The update server of the download tests: pyftpdlib serving the demo's
// pub/baz/2003 on 127.0.0.1, with the faults a test asks for
// (update_ftp_server.py), and one conversation run in this process.

#include <filesystem>
#include <set>
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

  // The installed bitmaps the server holds an update for (of the charts
  // that begin with Prefix), by name.
  std::set<std::string> ServerUpdates(const std::string& Prefix = "") const {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(ServerFolder())) {
      const std::string ext = e.path().extension().string();
      const std::string stem = e.path().stem().string();
      const std::string bitmap = stem + "_" + ext.substr(ext.empty() ? 0 : 1) + "_2003.bmp";
      if ((ext == ".120" || ext == ".240") && stem.rfind(Prefix, 0) == 0 &&
          std::filesystem::exists(FInstalled + bitmap))
        names.insert(bitmap);
    }
    return names;
  }
  // The bitmaps that results lines name, after their two heading lines.
  static std::set<std::string> ResultBitmaps(const std::vector<std::string>& Lines) {
    std::set<std::string> names;
    for (size_t i = 2; i < Lines.size(); ++i)
      names.insert(Lines[i].substr(Lines[i].find_last_of('/') + 1));
    return names;
  }

  TPeerProcess FServer;
  std::vector<std::string> FFetched;
  TUpdateList FUpdateList;
  bool FConnectedAfter = false;
};
