#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "ChartInstaller.h"
#include "FileTimes.h"
#include "InstallPages.h"
#include "InstallTestData.h"
#include "NavProgram.h"
#include "Paths.h"
#include "TempDir.h"

namespace {

class ChartInstallerTest : public TInstallFixture {
 protected:
  TChartSetsList Find() { return FindChartSets(FSource, FDest); }

  // Answers with Answers in order; records every question and the
  // progress of every chart done.
  class TRecordingView : public TInstallView {
   public:
    TRecordingView(ChartInstallerTest& Test, std::vector<TReplaceAnswer> Answers)
        : FTest(Test), FAnswers(std::move(Answers)) {}
    TReplaceAnswer AskReplace(const std::string& Message, const std::string&,
                              const std::string&) override {
      FTest.FQuestions.push_back(Message);
      const size_t i = FTest.FQuestions.size() - 1;
      return i < FAnswers.size() ? FAnswers[i] : TReplaceAnswer::Cancel;
    }
    void SetBar(TProgressItem Item, int Position, int) override {
      if (Item == TProgressItem::Entire) FProcessed = Position;
      if (Item == TProgressItem::Single && Position > 0)
        FTest.FProgress.push_back({Position, FProcessed});
    }

   private:
    ChartInstallerTest& FTest;
    std::vector<TReplaceAnswer> FAnswers;
    int32_t FProcessed = 0;
  };

  TInstallResult Install(const TChartSetsList& Sets, std::vector<TReplaceAnswer> Answers = {}) {
    TRecordingView view(*this, std::move(Answers));
    TChartInstaller installer(Sets, FDest, view);
    TInstallResult result = installer.RunInstallation();
    installer.PruneUpdateIndex();
    installer.RegisterChartSets(result);
    return result;
  }

  std::vector<std::string> FQuestions;
  std::vector<std::pair<int32_t, int32_t>> FProgress;
};

TEST_F(ChartInstallerTest, InstallsEverySetAtBothResolutions) {
  MakeSets(ThreeSetsLayout);
  const TChartSetsList sets = Find();
  ASSERT_EQ(sets.size(), 3u);
  const TInstallResult result = Install(sets);
  EXPECT_TRUE(FQuestions.empty());
  EXPECT_EQ(result.Installed[0], (std::vector<std::string>{"1801 Waddenzee", "1803 Zeeland"}));
  EXPECT_EQ(result.Installed[1],
            (std::vector<std::string>{"1801 Waddenzee", "1803 Zeeland", "NNZK Noordzee"}));

  const std::vector<std::string> expected = {
      "180101_120_2003.bmp",    "180101_240_2003.bmp",  "180102_120_2003.bmp",
      "180102_240_2003.bmp",    "1801031_120_2003.bmp", "1801031_240_2003.bmp",
      "1801_120_2003.bds",      "1801_120_2003.chi",    "1801_240_2003.bds",
      "1801_240_2003.chi",      "180301_120_2003.bmp",  "180301_240_2003.bmp",
      "180302_120_2003.bmp",    "180302_240_2003.bmp",  "1803_120_2003.bds",
      "1803_120_2003.chi",      "1803_240_2003.bds",    "1803_240_2003.chi",
      "NNZK_1014_240_2003.bmp", "nnzk_240_2003.bds",    "nnzk_240_2003.chi"};
  std::vector<std::string> sortedExpected = expected;
  std::sort(sortedExpected.begin(), sortedExpected.end());
  EXPECT_EQ(DestFiles(), sortedExpected);

  // Bitmaps: the source pixels outside the stamp, dated with the chart.
  const std::map<std::string, int> day = {{"180101", 1}, {"180102", 2}, {"1801031", 3},
                                          {"180301", 1}, {"180302", 2}, {"NNZK_1014", 1}};
  for (const auto& [chart, d] : day) {
    for (int dpi : {120, 240}) {
      if (chart == "NNZK_1014" && dpi == 120) continue;
      SCOPED_TRACE(chart + " " + std::to_string(dpi));
      EXPECT_EQ(CheckInstalled(chart, dpi), "ok\n");
      EXPECT_EQ(FileAge(FDest + chart + "_" + std::to_string(dpi) + "_2003.bmp"),
                EncodeFileDate(2003, 4, d, 9 + d, 30, 0));
    }
  }
  // The navigation program's files arrive unchanged and writable.
  EXPECT_EQ(ReadFileText(FDest + "1801_240_2003.chi"), "calibration 1801_240_2003.chi\r\n");
  EXPECT_FALSE(FileIsReadOnly(FDest + "1801_240_2003.chi"));
  EXPECT_FALSE(FileIsReadOnly(FDest + "1803_120_2003.bds"));

  // Progress counts charts per set and over the run: 3+2 at 120, then 3+2+1.
  ASSERT_EQ(FProgress.size(), 11u);
  EXPECT_EQ(FProgress[2], std::make_pair(3, 3));
  EXPECT_EQ(FProgress[4], std::make_pair(2, 5));
  EXPECT_EQ(FProgress.back(), std::make_pair(1, 11));
}

TEST_F(ChartInstallerTest, RegistersSelectedSetsForTheProgramAndTheNavigationProgram) {
  MakeSets(ThreeSetsLayout);
  TChartSetsList sets = Find();
  sets[1]->SetSelected(0, false);  // 1803 only at 240 dpi
  Install(sets);
  struct Row {
    std::string set, dpi;
    bool present;
  };
  const Row rows[] = {{"1801 Waddenzee", "120", true}, {"1801 Waddenzee", "240", true},
                      {"1803 Zeeland", "120", false},  {"1803 Zeeland", "240", true},
                      {"NNZK Noordzee", "120", false}, {"NNZK Noordzee", "240", true}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.set + " " + r.dpi);
    EXPECT_EQ(RegReadString(rkMachine, "ChartSets\\" + r.set, r.dpi, "-"), r.present ? FDest : "-");
  }
  EXPECT_EQ(RegReadRootString(TRegRoot::CurrentUser, NavAutoImportKey, "1801 Waddenzee (120)", ""),
            FDest + "1801_120_2003.chi");
  // The archive spells the set's calibration file in lower case.
  EXPECT_EQ(RegReadRootString(TRegRoot::CurrentUser, NavAutoImportKey, "NNZK Noordzee (240)", ""),
            FDest + "nnzk_240_2003.chi");
  const auto names = RegReadValueNames(TRegRoot::CurrentUser, NavAutoImportKey);
  EXPECT_EQ(names.size(), 4u);
  for (const std::string& name : names)
    EXPECT_TRUE(FileExists(RegReadRootString(TRegRoot::CurrentUser, NavAutoImportKey, name, "")))
        << name;
}

// The user's settings cannot be written (the hive does not parse, so it is
// never overwritten): the navigation program gets no list, the program still
// records its own sets, and nothing raises.
TEST_F(ChartInstallerTest, UnwritableUserSettingsSkipOnlyTheNavigationProgramsList) {
  MakeSets(ThreeSetsLayout);
  TChartSetsList sets = Find();
  const std::string userHive = GetSettingsFolder() + "user.reg";
  WriteFileText(userHive, "this is no settings file\n");
  EXPECT_NO_THROW(Install(sets));
  EXPECT_EQ(RegReadString(rkMachine, "ChartSets\\1801 Waddenzee", "240", "-"), FDest);
  EXPECT_EQ(ReadFileText(userHive), "this is no settings file\n");
}

// A calibration file already there and read-only is not replaced by the
// reader's rules, but it ends writable like every installed file.
TEST_F(ChartInstallerTest, ExistingReadOnlyCalibrationFileEndsWritable) {
  MakeSets(ThreeSetsLayout);
  TChartSetsList sets = Find();
  const std::string chi = FDest + "1801_240_2003.chi";
  WriteFileText(chi, "older calibration\r\n");
  ASSERT_TRUE(FileSetReadOnly(chi, true));
  Install(sets);
  EXPECT_FALSE(FileIsReadOnly(chi));
}

// One planted installed chart per case; the answer decides its fate.
TEST_F(ChartInstallerTest, ReplaceAnswersDecideOverExistingCharts) {
  struct Row {
    const char* name;
    std::vector<TReplaceAnswer> answers;
    size_t questions;
    bool firstReplaced, secondReplaced, cancelled;
  };
  const Row rows[] = {
      {"yes", {TReplaceAnswer::Yes, TReplaceAnswer::Yes}, 2, true, true, false},
      {"no", {TReplaceAnswer::No, TReplaceAnswer::No}, 2, false, false, false},
      {"yes then no", {TReplaceAnswer::Yes, TReplaceAnswer::No}, 2, true, false, false},
      {"yes to all", {TReplaceAnswer::YesToAll}, 1, true, true, false},
      {"cancel", {TReplaceAnswer::Cancel}, 1, false, false, true},
  };
  MakeSets(R"({"sets":[{"prefix":"1801","name":"1801 Waddenzee","resolutions":[120],
      "charts":["180101","180102","180103"],"width":80,"height":40}]})");
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    std::filesystem::remove_all(FDest);
    std::filesystem::create_directories(FDest);
    FQuestions.clear();
    PlantInstalled("180102_120_2003.bmp");
    // Installed before under another letter case: asked about and kept or
    // replaced under that name, never doubled.
    PlantInstalled("180103_120_2003.BMP");
    const TChartSetsList sets = Find();
    const TInstallResult result = Install(sets, r.answers);
    EXPECT_EQ(FQuestions.size(), r.questions);
    EXPECT_EQ(result.Cancelled, r.cancelled);
    EXPECT_EQ(result.Installed[0].size(), r.cancelled ? 0u : 1u);
    EXPECT_EQ(ReadFileText(FDest + "180102_120_2003.bmp") != "old chart", r.firstReplaced);
    EXPECT_EQ(ReadFileText(FDest + "180103_120_2003.BMP") != "old chart", r.secondReplaced);
    EXPECT_FALSE(FileExists(FDest + "180103_120_2003.bmp"));
    if (r.firstReplaced) {
      EXPECT_EQ(CheckInstalled("180102", 120), "ok\n");
    }
    // The chart before the question is installed in every case.
    EXPECT_EQ(CheckInstalled("180101", 120), "ok\n");
    for (const std::string& name : DestFiles()) EXPECT_EQ(name.find(".zrn"), std::string::npos);
  }
  EXPECT_EQ(FQuestions.front(),
            "1801 Waddenzee\r\rA chart already exists with the name \"180102_120_2003.bmp\".\r"
            "If you overwrite this chart, all previous \"BaZ-updates\" applied to the chart will "
            "be lost.");
}

TEST_F(ChartInstallerTest, CancelInSecondSetEndsTheRunAndRegistersOnlyTheFirst) {
  MakeSets(R"({"sets":[
    {"prefix":"1801","name":"1801 A","resolutions":[120],"charts":["180101"],"width":40,"height":30},
    {"prefix":"1802","name":"1802 B","resolutions":[120],"charts":["180201","180202"],"width":40,"height":30},
    {"prefix":"1803","name":"1803 C","resolutions":[120],"charts":["180301"],"width":40,"height":30}]})");
  PlantInstalled("180202_120_2003.bmp");
  const TChartSetsList sets = Find();
  const TInstallResult result = Install(sets, {TReplaceAnswer::Cancel});
  EXPECT_TRUE(result.Cancelled);
  EXPECT_EQ(result.Installed[0], std::vector<std::string>{"1801 A"});
  EXPECT_EQ(InstalledSetsMessage(result),
            "The following chartsets have been installed:\r\r120 dpi:\r - 1801 A\r");
  EXPECT_TRUE(FileExists(FDest + "180201_120_2003.bmp"));
  EXPECT_FALSE(FileExists(FDest + "180301_120_2003.bmp"));
  // Recorded is what the message lists: the sets never reached are not
  // installed, and the navigation program is not sent for their files.
  EXPECT_EQ(RegReadString(rkMachine, "ChartSets\\1801 A", "120", ""), FDest);
  for (const char* set : {"1802 B", "1803 C"})
    EXPECT_EQ(RegReadString(rkMachine, std::string("ChartSets\\") + set, "120", ""), "") << set;
  EXPECT_EQ(RegReadValueNames(TRegRoot::CurrentUser, NavAutoImportKey),
            std::vector<std::string>{"1801 A (120)"});
}

TEST_F(ChartInstallerTest, ClosingMessageListsResolutionsSeparately) {
  struct Row {
    std::vector<std::string> at120, at240;
    std::string message;
  };
  const std::string head = "The following chartsets have been installed:\r";
  const Row rows[] = {
      {{}, {}, ""},
      {{"A"}, {}, head + "\r120 dpi:\r - A\r"},
      {{}, {"A", "B"}, head + "\r240 dpi:\r - A\r - B"},
      {{"A"}, {"B"}, head + "\r120 dpi:\r - A\r\r240 dpi:\r - B"},
  };
  for (const Row& r : rows) {
    TInstallResult result;
    result.Installed[0] = r.at120;
    result.Installed[1] = r.at240;
    EXPECT_EQ(InstalledSetsMessage(result), r.message);
  }
}

std::vector<uint8_t> IndexOf(const std::vector<std::string>& Charts) {
  std::vector<uint8_t> bytes;
  uint32_t value = 1;
  for (const std::string& chart : Charts) {
    uint32_t code = 0;
    if (!ChartNameToCode(chart, code)) code = 0x7F000000;  // a code without a name
    for (uint32_t field : {value++, code, uint32_t(0x2E812345)}) {
      for (int i = 0; i < 4; ++i) bytes.push_back(uint8_t(field >> (8 * i)));
    }
  }
  return bytes;
}

TEST_F(ChartInstallerTest, PrunesIndexRecordsOfTheSelectedSetsOnly) {
  struct Row {
    std::vector<std::string> index, codes, kept;
  };
  const Row rows[] = {
      {{"180101", "180201", "1801031", "NNZK_1014"}, {"1801"}, {"180201", "NNZK_1014"}},
      {{"180101", "NNZK_1014"}, {"nnzk"}, {"180101"}},
      {{"180101", "?"}, {"1801"}, {"?"}},
      {{"180101"}, {}, {"180101"}},
  };
  for (const Row& r : rows) {
    std::vector<uint8_t> expected;
    const std::vector<uint8_t> all = IndexOf(r.index);
    for (size_t i = 0; i < r.index.size(); ++i) {
      if (std::find(r.kept.begin(), r.kept.end(), r.index[i]) != r.kept.end())
        expected.insert(expected.end(), all.begin() + long(12 * i),
                        all.begin() + long(12 * i + 12));
    }
    EXPECT_EQ(PruneIndexRecords(all, r.codes), expected);
  }
}

TEST_F(ChartInstallerTest, InstallingAt120PrunesOnlyThe120Index) {
  MakeSets(
      R"({"sets":[{"prefix":"1801","name":"1801 A","charts":["180101"],"width":40,"height":30}]})");
  const std::vector<uint8_t> index = IndexOf({"180101", "180201", "1801031"});
  for (const char* dpi : {"120", "240"}) {
    RegWriteBinary(rkMachine, "", std::string("BaZ Index ") + dpi, int(index.size()), index.data());
    RegWriteInteger(rkMachine, "", std::string("BaZ Index size ") + dpi, int(index.size()));
  }
  TChartSetsList sets = Find();
  sets[0]->SetSelected(1, false);
  Install(sets);
  const std::vector<uint8_t> kept120 = RegReadBinaryData(rkMachine, "", "BaZ Index 120");
  EXPECT_EQ(kept120, std::vector<uint8_t>(index.begin() + 12, index.begin() + 24));
  EXPECT_EQ(RegReadInteger(rkMachine, "", "BaZ Index size 120"), 12);
  EXPECT_EQ(RegReadBinaryData(rkMachine, "", "BaZ Index 240"), index);
  EXPECT_EQ(RegReadInteger(rkMachine, "", "BaZ Index size 240"), 36);
}

TEST_F(ChartInstallerTest, DamagedArchiveRaisesAndLeavesNoPartialFiles) {
  MakeSets(R"({"sets":[{"prefix":"1801","name":"1801 A","resolutions":[120],
      "charts":["180101","180102","180103"],"width":200,"height":120,"damage":"180102"}]})");
  const TChartSetsList sets = Find();
  EXPECT_THROW(Install(sets), Exception);
  // The chart before the damaged one is complete; nothing else is left over.
  EXPECT_EQ(CheckInstalled("180101", 120), "ok\n");
  EXPECT_EQ(DestFiles(), (std::vector<std::string>{"180101_120_2003.bmp", "1801_120_2003.bds",
                                                   "1801_120_2003.chi"}));
  // Over an older installation the damaged chart ends the run before the
  // question about replacing its bitmap: only the chart before it is asked.
  WriteFileText(FDest + "180102_120_2003.bmp", "older");
  EXPECT_THROW(Install(sets, {TReplaceAnswer::Yes, TReplaceAnswer::Yes}), Exception);
  ASSERT_EQ(FQuestions.size(), 1u);
  EXPECT_NE(FQuestions[0].find("180101_120_2003.bmp"), std::string::npos);
  EXPECT_EQ(ReadFileText(FDest + "180102_120_2003.bmp"), "older");
}

TEST_F(ChartInstallerTest, OnlyLowerCaseChiAndBdsAreNavigationFiles) {
  struct Row {
    const char* name;
    bool navigation;
  };
  const Row rows[] = {{"1801_120_2003.chi", true},  {"1801_120_2003.bds", true},
                      {"1801_120_2003.CHI", false}, {"1801.chi.zrn", false},
                      {"180101.zrn", false},        {"chi", false}};
  for (const Row& r : rows) EXPECT_EQ(IsNavigationFile(r.name), r.navigation) << r.name;
}

TEST_F(ChartInstallerTest, CapitalChiEntryIsTreatedAsAChart) {
  MakeSets(R"({"sets":[{"prefix":"1801","name":"1801 A","resolutions":[120],
      "charts":["180101"],"width":40,"height":30,"extra":{"1801_120_2003.CHI":"x"}}]})");
  const TChartSetsList sets = Find();
  // Not a chart name: the conversion refuses it, and the unpacked file goes.
  try {
    Install(sets);
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "\"1801_120_2003\" is not a valid .zrn filename.");
  }
  EXPECT_FALSE(FileExists(FDest + "1801_120_2003.CHI"));
}

// The wizard's one order: Next from the licence to the run, Back from the
// summary to the licence; neither leads on from the licence (Back) nor from
// the run.
TEST(InstallPages, Order) {
  using P = TInstallPage;
  const std::vector<P> forward{P::License, P::Folders, P::Charts, P::Summary, P::Run};
  std::vector<P> next{P::License}, back{P::Summary};
  while (NextPage(next.back()) != next.back()) next.push_back(NextPage(next.back()));
  EXPECT_EQ(next, forward);
  while (PrevPage(back.back()) != back.back()) back.push_back(PrevPage(back.back()));
  EXPECT_EQ(back, std::vector<P>(forward.rbegin() + 1, forward.rend()));
  EXPECT_EQ(PrevPage(P::Run), P::Run);
}

}  // namespace
