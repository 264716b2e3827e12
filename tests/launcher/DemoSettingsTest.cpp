// The demo's seeded settings: an empty settings folder gets the demo's
// installed-charts folder, which the launcher then hands to the wizard.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "FrmMain.h"
#include "LauncherFixture.h"
#include "QvRegistry.h"

namespace {

int Seed(const std::string& settings, const std::string& installed) {
  const char* data = std::getenv("ZARNAVIS_TEST_DATA");
  const std::string script = std::string(data ? data : ".") + "/../../scripts/seed-demo-settings";
  const std::string command = "'" + script + "' '" + settings + "' '" + installed + "'";
  return std::system(command.c_str());
}

}  // namespace

TEST_F(LauncherTest, DemoSettingsNameTheInstalledFolderAndFirstRunsStayEmpty) {
  InitProgram();
  {
    // A real first run: no installed-charts folder.
    TFormMain form;
    EXPECT_EQ(form.ChartsFolder(), "");
  }
  std::filesystem::remove(FSettings / "system.reg");
  // A folder name that the hive's text format must escape.
  const std::string installed = FDir / "demo \"installed\" \\ charts";
  ASSERT_EQ(Seed(FSettings.Path(), installed), 0);
  EXPECT_TRUE(std::filesystem::is_directory(installed));
  EXPECT_EQ(
      std::filesystem::status(FSettings / "system.reg").permissions() & std::filesystem::perms::all,
      std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  {
    TFormMain form;
    EXPECT_EQ(form.ChartsFolder(), installed + "/");
    EXPECT_EQ(form.ZRNFolder(), ProgramFolder() + "Charts/");
  }
  // Settings that exist are not seeded again.
  RegWriteString(rkMachine, "", "Charts Folder", "/home/sailor/charts/");
  ASSERT_EQ(Seed(FSettings.Path(), FDir / "other"), 0);
  EXPECT_EQ(RegReadString(rkMachine, "", "Charts Folder", ""), "/home/sailor/charts/");
}
