#pragma once
// A test folder with a settings home, a source folder of chart-set archives
// written by make_chart_sets.py, and a destination folder; and the Pillow
// check of installed bitmaps.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "FileAttributes.h"
#include "Languages.h"
#include "QvRegistry.h"
#include "ShellCommand.h"
#include "TempDir.h"

struct TCommandResult {
  int Status = -1;
  std::string Output;
};

inline TCommandResult RunCommand(const std::string& Command) {
  TCommandResult result;
  result.Status = RunShellCommand(Command, &result.Output);
  return result;
}

inline std::string Quote(const std::string& Text) {
  return ShellQuote(Text);
}

class TInstallFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("ZARNAVIS_HOME", (FTemp / "home").c_str(), 1);
    std::filesystem::create_directories(FTemp / "home");
    SetRegistryKeyNames("ZRN", "2003");
    CurrentLanguage = TextEnglish;
    FSource = FTemp / "cd/";
    FDest = FTemp / "charts/";
    std::filesystem::create_directories(FSource);
    std::filesystem::create_directories(FDest);
  }

  // Writes the archives described by the JSON layout into the source folder.
  void MakeSets(const std::string& Layout) {
    const std::string layoutFile = FTemp / "layout.json";
    WriteFileText(layoutFile, Layout);
    const TCommandResult r = RunCommand("/usr/bin/python3 " + Script("make_chart_sets.py") + " " +
                                        Quote(FSource) + " " + Quote(layoutFile));
    ASSERT_EQ(r.Status, 0) << r.Output;
  }

  // "ok" when the installed bitmap shows the source chart's pixels.
  std::string CheckInstalled(const std::string& Chart, int Dpi) {
    const std::string dpi = std::to_string(Dpi);
    return RunCommand("/usr/bin/python3 " + Script("check_installed.py") + " " +
                      Quote(FDest + Chart + "_" + dpi + "_2003.bmp") + " " +
                      Quote(FSource + "source/" + Chart + "_" + dpi + ".bmp"))
        .Output;
  }

  static std::string Script(const std::string& Name) {
    return Quote(std::string(INSTALL_TEST_SCRIPTS) + "/" + Name);
  }

  // An installed file that the run must keep or replace.
  void PlantInstalled(const std::string& Name, const std::string& Text = "old chart") {
    WriteFileText(FDest + Name, Text);
  }

  // Names of the files in the destination folder, sorted.
  std::vector<std::string> DestFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(FDest))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  TempDir FTemp;
  std::string FSource;
  std::string FDest;
};

// Two sets of three and two charts at both resolutions, and a 240 dpi set.
inline const char* const ThreeSetsLayout = R"({"sets":[
  {"prefix":"1801","name":"1801 Waddenzee","charts":["180101","180102","1801031"],
   "width":160,"height":90},
  {"prefix":"1803","name":"1803 Zeeland","charts":["180301","180302"],"width":120,"height":70},
  {"prefix":"nnzk","name":"NNZK Noordzee","resolutions":[240],"charts":["NNZK_1014"],
   "width":100,"height":60}]})";
