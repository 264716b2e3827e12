// zrntool settings: values of the program's settings that no window sets.
//
//   zrntool settings update-server HOST PORT
//       the update server the update wizard and zrnupdate reach (the demo
//       points it at its own server on 127.0.0.1)

#include <cstdio>
#include <string>
#include <vector>

#include "Exception.h"
#include "Paths.h"
#include "ProxySettings.h"
#include "QvRegistry.h"
#include "ZrnTool.h"

namespace {

int RunSettings(const std::vector<std::string>& Args) {
  if (Args.size() != 3 || Args[0] != "update-server")
    return ZrnUsageError("settings: usage: zrntool settings update-server HOST PORT");
  int port = 0;
  try {
    size_t used = 0;
    port = std::stoi(Args[2], &used);
    if (used != Args[2].size()) port = 0;
  } catch (const std::exception&) {
    port = 0;
  }
  if (Args[1].empty() || port <= 0 || port > 65535)
    return ZrnUsageError("settings: update-server needs a host and a port from 1 to 65535");
  try {
    SetRegistryKeyNames("ZRN", "2003");
    SaveUpdateServer(Args[1], port);
  } catch (const Exception& e) {
    return ZrnFail(e.Message());
  }
  std::printf("update server %s port %d in %s\n", Args[1].c_str(), port,
              GetSettingsFolder().c_str());
  return 0;
}

const ZrnCommandGroup settingsGroup("settings", "  settings update-server HOST PORT", RunSettings);

}  // namespace
