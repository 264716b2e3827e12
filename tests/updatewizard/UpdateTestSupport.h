#pragma once
// The update tests' world: the demo CD written once per test program by
// zrntool demo, a fresh settings home and installed-charts folder per test
// with chosen sets installed by the installation run, a view that records
// what the run shows and answers its questions, and the independent check
// of updated bitmaps (Pillow and a record parser of its own).

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ChartInstaller.h"
#include "Languages.h"
#include "QvGraphics.h"
#include "QvRegistry.h"
#include "ShellCommand.h"
#include "TempDir.h"
#include "UpdateProcessor.h"
#include "UpdateView.h"

struct TShown {
  std::string Text;
  TMsgDlgType Type;
  TMsgDlgButtons Buttons;
};

// Records every message and progress call; answers with Answer (by default
// OK, or Yes where Yes is offered).
class TRecordingView : public TUpdateView {
 public:
  int Message(const std::string& Text, TMsgDlgType Type, TMsgDlgButtons Buttons) override {
    Shown.push_back({Text, Type, Buttons});
    if (Answer) return Answer(Shown.back());
    return Buttons.Contains(mbYes) ? mrYes : mrOk;
  }
  void SetLabel(TProgressItem Item, const std::string& Text) override {
    if (Item == TProgressItem::Single) Labels.push_back(Text);
  }
  void SetBusy(bool On) override { Busy += On ? 1 : -1; }
  void HideProgressPage() override { ++Hidden; }
  void ProcessMessages() override { ++Pumped; }

  std::vector<std::string> Texts() const {
    std::vector<std::string> t;
    for (const TShown& s : Shown) t.push_back(s.Text);
    return t;
  }

  std::vector<TShown> Shown;
  std::vector<std::string> Labels;
  std::function<int(const TShown&)> Answer;
  int Busy = 0;
  int Hidden = 0;
  int Pumped = 0;
};

inline std::string BuildDir() {
  const char* build = std::getenv("ZARNAVIS_BUILD_DIR");
  return build ? build : ".";
}

inline std::string TestScriptDir() {
  return ZARNAVIS_TEST_SOURCE_DIR;
}

inline std::string Q(const std::string& Text) {
  return ShellQuote(Text);
}

// The demo CD of the whole test program, and per test a settings home and
// an installed-charts folder.
class TUpdateFixture : public ::testing::Test {
 public:
  static void SetUpTestSuite() {
    Demo = new TempDir;
    std::string out;
    ASSERT_EQ(
        RunShellCommand(
            BuildDir() + "/tools/zrntool demo " + Demo->Path() + " --scale 0.04 --seed 5", &out),
        0)
        << out;
  }
  static void TearDownTestSuite() {
    delete Demo;
    Demo = nullptr;
  }

 protected:
  void SetUp() override {
    setenv("ZARNAVIS_HOME", (FTemp / "home").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (FTemp / "runtime").c_str(), 1);
    std::filesystem::create_directories(FTemp / "home");
    std::filesystem::create_directories(FTemp / "runtime");
    std::filesystem::permissions(FTemp / "runtime", std::filesystem::perms::owner_all);
    SetRegistryKeyNames("ZRN", "2003");
    CurrentLanguage = TextEnglish;
    FInstalled = FTemp / "installed/";
    std::filesystem::create_directories(FInstalled);
  }
  void TearDown() override { unsetenv("XDG_RUNTIME_DIR"); }

  static std::string Cd() { return Demo->Path() + "/Charts/"; }
  static std::string ServerFolder() { return Demo->Path() + "/pub/baz/2003/"; }
  static std::string UpdateDisk() { return Demo->Path() + "/Updates/"; }

  // Installs the sets with these codes (all when empty) at both resolutions.
  void Install(const std::vector<std::string>& Codes = {}, int OnlyResolution = -1) {
    TChartSetsList sets = FindChartSets(Demo->Path() + "/Charts", FInstalled);
    RestrictSelection(sets, Codes, OnlyResolution);
    TChartInstaller installer(sets, FInstalled);
    const TInstallResult result = installer.RunInstallation();
    installer.PruneUpdateIndex();
    installer.RegisterChartSets(result);
  }

  // The chart sets as the settings page accepts them.
  TChartSetsList InstalledSets() {
    TSettingsCheck check =
        CheckSettingsFolders(TUpdateMode::ApplyOnly, Cd(), FInstalled, UpdateDisk());
    EXPECT_TRUE(check.Ok) << check.Warning;
    return std::move(check.ChartSets);
  }

  // An apply-only run from the updates folder Updates with the installed
  // sets, restricted as a command line would.
  TUpdateOutcome ApplyFrom(const std::string& Updates, TRecordingView& View,
                           const std::vector<std::string>& Codes = {}, int OnlyResolution = -1,
                           std::string* Work = nullptr) {
    TUpdateProcessor processor(TUpdateMode::ApplyOnly, View);
    TChartSetsList sets = InstalledSets();
    RestrictSelection(sets, Codes, OnlyResolution);
    processor.SetFolders(Cd(), FInstalled, Updates);
    processor.SetChartSets(std::move(sets));
    processor.SetAcceptLooseUpdates(true);
    processor.BeginRun();
    if (Work) *Work = processor.WorkFolder();
    const TUpdateOutcome outcome = processor.RunUpdate();
    FResults = processor.Results();
    return outcome;
  }

  // The installed bitmaps, by file name, with their bytes.
  std::map<std::string, std::vector<uint8_t>> Bitmaps() const {
    std::map<std::string, std::vector<uint8_t>> files;
    for (const auto& e : std::filesystem::directory_iterator(FInstalled))
      if (e.path().extension() == ".bmp")
        files[e.path().filename().string()] = ReadFileBytes(e.path().string());
    return files;
  }

  std::vector<std::string> InstalledNames() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(FInstalled))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  // "ok" when every listed installed bitmap shows its chart from the CD with
  // the update of the server folder applied (the stamp rows aside).
  std::string CheckUpdated(const std::vector<std::string>& Bitmaps,
                           const std::string& CdFolder = Cd(),
                           const std::string& Server = ServerFolder()) {
    std::string args;
    for (const std::string& b : Bitmaps) args += " " + Q(b);
    std::string out;
    RunShellCommand("/usr/bin/python3 " + Q(TestScriptDir() + "/check_updated.py") + " " +
                        std::to_string(TStampFont::Get().TextHeight()) + " " + Q(CdFolder) + " " +
                        Q(Server) + " " + Q(FInstalled) + args,
                    &out);
    return out;
  }

  std::string HiveText() const { return ReadFileText(FTemp / "home/system.reg"); }

  static TempDir* Demo;
  TempDir FTemp;
  std::string FInstalled;
  std::vector<std::string> FResults;
};

inline TempDir* TUpdateFixture::Demo = nullptr;
