#include <gtest/gtest.h>

#include "InstallTestData.h"
#include "NavProgram.h"

namespace {

class NavProgramTest : public TInstallFixture {
 protected:
  void MakeKey(TRegRoot Root, const std::string& Key) {
    RegWriteRootString(Root, Key, "Marker", "1");
  }
  void SetNav(const std::string& Name, const std::string& Value) {
    RegWriteRootString(TRegRoot::CurrentUser, NavProgramSettingsKey, Name, Value);
  }
  // A program folder with the program file in it, named File.
  std::string ProgramFolder(bool WithProgram, const std::string& File = "rur.exe") {
    const std::string folder = FTemp / "rur/";
    std::filesystem::create_directories(folder);
    if (WithProgram) WriteFileText(folder + File, "MZ");
    return folder;
  }
};

const char* const Uninstall = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

TEST_F(NavProgramTest, NothingInstalledGivesNoFolder) {
  const TNavProgramInfo info = DetectNavigationProgram();
  EXPECT_EQ(info.Generation, 0);
  EXPECT_FALSE(info.UninstallEntry);
  EXPECT_FALSE(info.ProgramFile);
  EXPECT_EQ(DefaultChartsFolder(), "");
}

TEST_F(NavProgramTest, GenerationFromTheNewestProductKey) {
  struct Row {
    std::vector<std::string> keys;
    int generation;
  };
  const Row rows[] = {
      {{"\\Software\\Quorvel\\KOPPIX Pro\\1.7"}, 3},
      {{"\\Software\\Quorvel\\KOPPIX Pro\\1.7", "\\Software\\Quorvel\\KOPPIX Pro\\2.0"}, 4},
      {{"\\Software\\Quorvel\\KOPPIX Pro\\2.0", "\\Software\\Quorvel\\Koppix Pro\\3.0"}, 5},
      {{"\\Software\\Quorvel\\KOPPIX Pro\\1.8"}, 0},
  };
  for (const Row& r : rows) {
    std::filesystem::remove_all(FTemp / "home");
    std::filesystem::create_directories(FTemp / "home");
    for (const std::string& key : r.keys) MakeKey(TRegRoot::LocalMachine, key);
    EXPECT_EQ(DetectNavigationProgram().Generation, r.generation) << r.keys.back();
  }
}

TEST_F(NavProgramTest, DefaultFolderNeedsProductUninstallEntryAndProgramFile) {
  struct Row {
    const char* name;
    bool product, uninstall, program;
    const char* chartDir;
    std::string expected;  // "<rur>" stands for the program folder
    const char* file = "rur.exe";
  };
  const Row rows[] = {
      {"complete, ChartDir", true, true, true, "/data/kaarten", "/data/kaarten/"},
      {"ChartDir with slash", true, true, true, "/data/kaarten/", "/data/kaarten/"},
      {"ChartDir empty", true, true, true, "", "<rur>Charts/"},
      {"program file missing", true, true, false, "/data/kaarten", ""},
      {"no uninstall entry", true, false, true, "/data/kaarten", ""},
      {"no product key", false, true, true, "/data/kaarten", ""},
      {"program file in capitals", true, true, true, "/data/kaarten", "/data/kaarten/", "RUR.EXE"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    std::filesystem::remove_all(FTemp / "home");
    std::filesystem::remove_all(FTemp / "rur");
    std::filesystem::create_directories(FTemp / "home");
    if (r.product) MakeKey(TRegRoot::LocalMachine, "\\Software\\Quorvel\\Koppix Pro\\3.0");
    if (r.uninstall) MakeKey(TRegRoot::LocalMachine, std::string(Uninstall) + "KOPPIX Pro 3.0");
    // InstDir without its trailing delimiter: the program file is found anyway.
    const std::string rur = ProgramFolder(r.program, r.file);
    SetNav("InstDir", rur.substr(0, rur.size() - 1));
    SetNav("ChartDir", r.chartDir);
    std::string expected = r.expected;
    if (expected.rfind("<rur>", 0) == 0) expected = rur + expected.substr(5);
    EXPECT_EQ(DefaultChartsFolder(), expected);
    EXPECT_EQ(DetectNavigationProgram().ProgramFile, r.program);
  }
}

}  // namespace
