#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <cstdlib>

#include "AppNotify.h"
#include "BrowseFolderForm.h"
#include "ChartListView.h"
#include "CopyAnimation.h"
#include "CursorAtBoxes.h"
#include "FolderDialogAnswer.h"
#include "FrmInstall.h"
#include "FrmReplace.h"
#include "InstallTestData.h"
#include "MouseInput.h"
#include "MsgBoxHook.h"
#include "NavProgram.h"
#include "ProgressBarEx.h"
#include "SimulatedVolumes.h"
#include "TestApplication.h"

namespace {

const char* const TwoSetsLayout = R"({"sets":[
  {"prefix":"1801","name":"1801 Waddenzee","charts":["180101","180102"],"width":120,"height":60},
  {"prefix":"1802","name":"1802 IJsselmeer","resolutions":[240],"charts":["180201"],"width":80,"height":40}]})";

class FrmInstallTest : public TInstallFixture {
 protected:
  void SetUp() override {
    TInstallFixture::SetUp();
    FRecorder = std::make_unique<TMsgBoxRecorder>();
    FPreviousHandler = SetApplicationExceptionHandler(
        [this](QObject*, const TExceptionInfo& Info) { FReports.push_back(Info); });
  }
  void TearDown() override {
    SetApplicationExceptionHandler(FPreviousHandler);
    SetModalHook({});
  }

  std::unique_ptr<TFormInstall> NewForm(const std::string& Source, const std::string& Dest) {
    auto form = std::make_unique<TFormInstall>(Source, Dest);
    form->show();
    return form;
  }
  static void Click(QWidget* Widget) { QTest::mouseClick(Widget, Qt::LeftButton); }
  // From the licence page to the chart sets page.
  std::unique_ptr<TFormInstall> FormOnChartsPage() {
    auto form = NewForm(FSource, FDest);
    Click(form->ButtonNext);
    Click(form->ButtonNext);
    EXPECT_TRUE(form->PanelCharts->isVisible());
    return form;
  }
  void ClickList(TFormInstall& Form, int Row, int X) {
    auto* list = Form.ListViewCharts;
    const QRect rect = list->visualItemRect(list->topLevelItem(Row));
    // The first click selects the row, like the user's click on it.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(X, list->ImageTop(Row) + 5));
    EXPECT_TRUE(rect.isValid());
  }
  std::vector<std::string> Messages() const {
    std::vector<std::string> texts;
    for (const TMsgBoxRequest& r : FRecorder->Shown()) texts.push_back(r.Message);
    return texts;
  }
  // check_demo_install.py's verdict on the demo CD's charts at Dpi in FDest.
  std::string CheckDemoInstall(const std::string& Demo, const char* Dpi) {
    return RunCommand("/usr/bin/python3 " + Script("check_demo_install.py") + " " +
                      Quote(Demo + "/Charts") + " " + Quote(FDest) + " " + Dpi)
        .Output;
  }

  std::unique_ptr<TMsgBoxRecorder> FRecorder;
  std::vector<TExceptionInfo> FReports;
  TExceptionHandler FPreviousHandler;
};

TEST_F(FrmInstallTest, PagesAndButtons) {
  auto form = NewForm("/cd/", "/charts/");
  EXPECT_EQ(form->windowTitle(), "Install charts");
  EXPECT_EQ(form->size(), QSize(482, 393));
  EXPECT_TRUE(form->PanelLicense->isVisible());
  EXPECT_FALSE(form->ButtonPrev->isEnabled());
  EXPECT_FALSE(form->HasWindowPicture());
  QImage picture(24, 16, QImage::Format_RGB32);
  picture.fill(Qt::blue);
  EXPECT_TRUE(TFormInstall("", "", picture).HasWindowPicture());
  // Without a picture of its own the wizard takes the main window's.
  QImage small(105, 105, QImage::Format_RGB32);
  small.fill(Qt::green);
  SetMainWindowSmallPicture(small);
  EXPECT_EQ(TFormInstall("", "").WindowPicture().size(), QSize(105, 105));
  SetMainWindowSmallPicture(QImage());
  // Black to blue for the set, black to lime for the whole run, white text.
  EXPECT_EQ(form->ProgressBarSingle->ColorStart(), QColor(Qt::black));
  EXPECT_EQ(form->ProgressBarSingle->ColorEnd(), QColor(0, 0, 255));
  EXPECT_EQ(form->ProgressBarEntire->ColorStart(), QColor(Qt::black));
  EXPECT_EQ(form->ProgressBarEntire->ColorEnd(), QColor(0, 255, 0));
  EXPECT_EQ(form->ProgressBarSingle->FontColor(), QColor(Qt::white));
  EXPECT_EQ(form->ProgressBarEntire->FontColor(), QColor(Qt::white));
  EXPECT_EQ(form->ButtonNext->text(), "&Next >");
  EXPECT_EQ(form->ButtonPrev->text(), "< &Back");
  EXPECT_EQ(form->PanelLicense->geometry(), QRect(40, 20, 390, 320));
  EXPECT_TRUE(form->LabelLicenseText->text().startsWith("No National Hydrographic Office"));
  Click(form->ButtonNext);
  EXPECT_TRUE(form->PanelPaths->isVisible());
  EXPECT_FALSE(form->PanelLicense->isVisible());
  EXPECT_TRUE(form->ButtonPrev->isEnabled());
  EXPECT_EQ(form->EditSource->text(), "/cd/");
  EXPECT_EQ(form->LabelDest->text(), "Folder in which the charts will be installed:");
  Click(form->ButtonPrev);
  EXPECT_TRUE(form->PanelLicense->isVisible());
  EXPECT_FALSE(form->ButtonPrev->isEnabled());
  // The browse buttons hold their text in every language ("Durchsuchen...").
  for (uint8_t language : {TextEnglish, TextDutch, TextGerman}) {
    CurrentLanguage = language;
    TFormInstall other("", "");
    QPushButton* browse = other.ButtonBrowseSource;
    EXPECT_LE(browse->fontMetrics().horizontalAdvance(browse->text()) + 12, browse->width())
        << browse->text().toStdString();
  }
  CurrentLanguage = TextEnglish;
}

TEST_F(FrmInstallTest, FolderChecksWarnAndStay) {
  MakeSets(TwoSetsLayout);
  const std::string other = FTemp / "other/";
  std::filesystem::create_directories(other);
  WriteFileText(FTemp / "file", "x");
  const std::string edition = "No original charts (*.zra) were found of edition 2003.";
  struct Row {
    const char* name;
    std::string source, dest;
    int answer;  // to a question, if one comes
    std::string message;
    bool advances;
    const char* focus;
  };
  const std::string missing = FTemp / "new/sub";
  const std::string blocked = FTemp / "file/sub";
  const Row rows[] = {
      {"source empty", "", FDest, 0, "No original file folder has been entered.", false, "source"},
      {"source missing", FTemp / "nowhere", FDest, 0, edition, false, ""},
      {"source without sets", other, FDest, 0, edition, false, ""},
      {"both wrong", "", "", 0, "No original file folder has been entered.", false, "source"},
      {"dest empty", FSource, "", 0, "Invalid installation folder entered.", false, "dest"},
      {"dest refused", FSource, missing, mrNo,
       missing + "/\r\rThis folder does not exist. Do you wish to make this folder?", false,
       "dest"},
      {"dest made", FSource, missing, mrYes,
       missing + "/\r\rThis folder does not exist. Do you wish to make this folder?", true, ""},
      {"dest blocked", FSource, blocked, mrYes, blocked + "/\r\rThe folder could not be created.",
       false, ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    FRecorder.reset();  // its hook goes before the next one is installed
    FRecorder = std::make_unique<TMsgBoxRecorder>();
    if (r.answer) FRecorder->ReplyResult(r.answer);
    // The user is asked, not kept waiting: the normal cursor at each box.
    TCursorAtBoxes cursors;
    auto form = NewForm(r.source, r.dest);
    Click(form->ButtonNext);
    Click(form->ButtonNext);
    ASSERT_FALSE(Messages().empty());
    EXPECT_EQ(Messages().back(), r.message);
    EXPECT_EQ(cursors.Shapes, std::vector<Qt::CursorShape>(Messages().size(), Qt::ArrowCursor));
    EXPECT_EQ(form->PanelCharts->isVisible(), r.advances);
    EXPECT_EQ(form->PanelPaths->isVisible(), !r.advances);
    EXPECT_TRUE(form->ButtonNext->isEnabled());
    if (std::string(r.focus) == "source") {
      EXPECT_EQ(form->focusWidget(), form->EditSource);
    } else if (std::string(r.focus) == "dest") {
      EXPECT_EQ(form->focusWidget(), form->EditDest);
    }
  }
  EXPECT_TRUE(DirectoryExists(missing));
}

TEST_F(FrmInstallTest, BrowseButtonsUseTheFolderDialog) {
  struct Row {
    const char* name;
    bool source;
    std::string typed;  // into the dialog's folder field; empty: Cancel
    std::string title, result;
  };
  const std::string fresh = FTemp / "fresh";
  const Row rows[] = {
      {"source chosen", true, FSource, "Original folder", FSource},
      {"source cancelled", true, "", "Original folder", "/start/"},
      {"source must exist", true, fresh, "Original folder", "/start/"},
      {"dest may be new", false, fresh, "Install folder", fresh + "/"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    FRecorder.reset();
    FRecorder = std::make_unique<TMsgBoxRecorder>();
    std::string title;
    SetModalHook(FolderDialogAnswer(r.typed, title));
    auto form = NewForm("/start/", "/start/");
    Click(form->ButtonNext);
    Click(r.source ? form->ButtonBrowseSource : form->ButtonBrowseDest);
    EXPECT_EQ(title, r.title);
    QLineEdit* edit = r.source ? form->EditSource : form->EditDest;
    EXPECT_EQ(edit->text().toStdString(), r.result);
  }
}

TEST_F(FrmInstallTest, InvalidArchiveHeaderReachesTheReportAndNextComesBack) {
  MakeSets(TwoSetsLayout);
  WriteFileText(FSource + "1805_120.zra", "ZRA1 not an archive");
  auto form = NewForm(FSource, FDest);
  Click(form->ButtonNext);
  Click(form->ButtonNext);
  ASSERT_EQ(FReports.size(), 1u);
  EXPECT_EQ(FReports[0].Message, "LoadZRAFileHeader: This is not a valid .zra file.");
  EXPECT_TRUE(form->PanelPaths->isVisible());
  EXPECT_TRUE(form->ButtonNext->isEnabled());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(FrmInstallTest, WrongEditionIsNotListed) {
  MakeSets(R"({"sets":[
    {"prefix":"1801","name":"1801 Old","edition":2002,"charts":["180101"],"width":40,"height":30},
    {"prefix":"1802","name":"1802 New","charts":["180201"],"width":40,"height":30}]})");
  auto form = FormOnChartsPage();
  ASSERT_EQ(form->ChartSets().size(), 1u);
  EXPECT_EQ(form->ListViewCharts->topLevelItemCount(), 1);
  EXPECT_EQ(form->ChartSets()[0]->Name, "1802 New");
}

TEST_F(FrmInstallTest, RelativeDestinationGetsFullPathAndDelimiter) {
  MakeSets(TwoSetsLayout);
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(FTemp.Path());
  auto form = NewForm(FSource, "charts/../charts");
  Click(form->ButtonNext);
  Click(form->ButtonNext);
  std::filesystem::current_path(cwd);
  EXPECT_EQ(form->DestFolder(), FDest);
  EXPECT_TRUE(form->PanelCharts->isVisible());
}

TEST_F(FrmInstallTest, ChartListClicksToggleBoxesOnly) {
  MakeSets(TwoSetsLayout);
  auto form = FormOnChartsPage();
  TFormInstall& f = *form;
  ASSERT_EQ(f.ListViewCharts->topLevelItemCount(), 2);
  EXPECT_EQ(f.SelectedCount(), 3);
  const auto& sets = f.ChartSets();
  struct Row {
    const char* name;
    int row, x;
    bool sel120, sel240;  // of that row's set afterwards
  };
  const Row rows[] = {
      {"label 120 does nothing", 0, 265, true, true},
      {"box 120 clears", 0, 250, false, true},
      {"box 240 clears", 0, 283, false, false},
      {"label 240 does nothing", 0, 300, false, false},
      {"absent 120 stays absent", 1, 250, false, true},
      {"box 120 sets again", 0, 250, true, false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    ClickList(f, r.row, r.x);
    EXPECT_EQ(sets[size_t(r.row)]->GetSelected(0), r.sel120);
    EXPECT_EQ(sets[size_t(r.row)]->GetSelected(1), r.sel240);
  }
  // Now 1801 at 120 and 1802 at 240: clear both, and Next goes dark.
  ClickList(f, 0, 250);
  ClickList(f, 1, 283);
  EXPECT_EQ(f.LabelChartStatus->text(), "0 Chartset(s) (0.0 MB)");
  EXPECT_FALSE(f.ButtonNext->isEnabled());
  ClickList(f, 1, 283);
  EXPECT_TRUE(f.ButtonNext->isEnabled());
  EXPECT_EQ(f.SelectedCount(), 1);
  EXPECT_EQ(f.SelectedSize(), sets[1]->GetSize(1));
  // A quick double click is two presses, the second delivered as a
  // double-click event: the box is toggled twice and ends as it was.
  const QPoint box240(283, f.ListViewCharts->ImageTop(1) + 5);
  DoubleClickAsDelivered(f.ListViewCharts->viewport(), box240);
  EXPECT_TRUE(sets[1]->GetSelected(1));
  EXPECT_EQ(f.SelectedCount(), 1);
  // Three presses in a row: the third toggles like the first.
  DoubleClickAsDelivered(f.ListViewCharts->viewport(), box240);
  ClickList(f, 1, 283);
  EXPECT_FALSE(sets[1]->GetSelected(1));
  EXPECT_EQ(f.SelectedCount(), 0);
}

TEST_F(FrmInstallTest, ClicksDuringTheFolderScanAreDropped) {
  MakeSets(TwoSetsLayout);
  auto form = NewForm(FSource, FDest);
  Click(form->ButtonNext);
  ASSERT_TRUE(form->PanelPaths->isVisible());
  // The user clicks Next again while the CD is read: the window system
  // holds that click until the scan lets events run.
  QueueClick(form->ButtonNext);
  form->ButtonNext->click();
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  EXPECT_TRUE(form->PanelCharts->isVisible()) << "a held click skipped the chart sets page";
  EXPECT_FALSE(form->PanelInstall->isVisible());
  EXPECT_TRUE(form->ButtonNext->isEnabled());
}

TEST_F(FrmInstallTest, LongSetNameIsCutToTheColumn) {
  MakeSets(
      R"({"sets":[{"prefix":"1801","name":"1801 A very long chart set name that does not fit in the first column at all","charts":["180101"],"width":40,"height":30}]})");
  auto form = FormOnChartsPage();
  const QString drawn = form->ListViewCharts->DrawnCaption(0);
  EXPECT_TRUE(drawn.endsWith("..."));
  EXPECT_LE(QFontMetrics(form->ListViewCharts->font()).horizontalAdvance(drawn), 245);
}

TEST_F(FrmInstallTest, BackAndNextRescansAndResetsSelection) {
  MakeSets(TwoSetsLayout);
  auto form = FormOnChartsPage();
  ClickList(*form, 0, 250);
  EXPECT_EQ(form->SelectedCount(), 2);
  Click(form->ButtonPrev);
  EXPECT_TRUE(form->PanelPaths->isVisible());
  EXPECT_TRUE(form->ButtonNext->isEnabled());
  Click(form->ButtonNext);
  EXPECT_EQ(form->SelectedCount(), 3);
  EXPECT_TRUE(form->ChartSets()[0]->GetSelected(0));
}

TEST_F(FrmInstallTest, FreeSpaceOfTheDestinationVolume) {
  MakeSets(TwoSetsLayout);
  TSimulatedVolumes volumes(FTemp / "volumes");
  volumes.AddFixed(FDest, 1000);
  TScopedVolumes use(volumes);
  auto form = FormOnChartsPage();
  Click(form->ButtonNext);
  EXPECT_TRUE(form->PanelCharts->isVisible());
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0],
            "Insufficient free disk space on " + FDest.substr(0, FDest.size() - 1) + ".");
  // Enough room for the 240 dpi pair of the second set alone.
  ClickList(*form, 0, 250);
  ClickList(*form, 0, 283);
  TSimulatedVolumes roomy(FTemp / "volumes");
  roomy.AddFixed(FDest, form->SelectedSize());
  TScopedVolumes useRoomy(roomy);
  Click(form->ButtonNext);
  EXPECT_TRUE(form->PanelInstall->isVisible());
  EXPECT_EQ(form->ButtonNext->text(), "Install");
  EXPECT_EQ(form->MemoInstallOptions->toPlainText().toStdString(),
            "Folder in which the charts will be installed:\n   " + FDest +
                "\n\nThe folowing chartsets will be installed in 240 dpi:\n    1802 IJsselmeer");
  Click(form->ButtonPrev);
  EXPECT_TRUE(form->PanelCharts->isVisible());
  EXPECT_EQ(form->ButtonNext->text(), "&Next >");
}

// Drives the whole wizard through the modal hook, as the launcher runs it.
TEST_F(FrmInstallTest, InstallsThroughTheWizardEndToEnd) {
  MakeSets(ThreeSetsLayout);
  PlantInstalled("180102_240_2003.bmp");
  PlantInstalled("1801031_240_2003.bmp");
  std::vector<std::string> questions;
  bool overallShown = false;
  SetModalHook([&](QDialog& Dialog) -> int {
    if (auto* replace = dynamic_cast<TFormReplace*>(&Dialog)) {
      questions.push_back(replace->LabelMsg->text().toStdString());
      EXPECT_EQ(replace->windowTitle(), "Bestand vervangen");
      EXPECT_EQ(replace->ButtonCancel->geometry(), QRect(331, 100, 75, 25));
      EXPECT_EQ(replace->ButtonYes->geometry(), QRect(70, 100, 75, 25));
      replace->show();
      QTest::mouseClick(replace->ButtonAll, Qt::LeftButton);
      return replace->result();
    }
    auto& form = dynamic_cast<TFormInstall&>(Dialog);
    form.show();
    form.EditSource->setText(QString::fromStdString(FSource));
    Click(form.ButtonNext);
    Click(form.ButtonNext);
    Click(form.ButtonNext);
    Click(form.ButtonNext);
    overallShown = !form.ProgressBarEntire->isHidden();
    return form.result();
  });
  std::string source = "/somewhere/else/";
  std::string dest = FDest;
  ASSERT_TRUE(ExecuteInstallWizard(source, dest));
  EXPECT_EQ(source, FSource);
  EXPECT_EQ(dest, FDest);
  EXPECT_TRUE(overallShown);
  EXPECT_EQ(questions.size(), 1u);  // Yes to all answers the second one too
  EXPECT_EQ(FRecorder->Shown().size(), 1u);
  EXPECT_EQ(Messages()[0],
            "The following chartsets have been installed:\r\r120 dpi:\r - 1801 Waddenzee\r - "
            "1803 Zeeland\r\r240 dpi:\r - 1801 Waddenzee\r - 1803 Zeeland\r - NNZK Noordzee");
  EXPECT_EQ(FRecorder->Shown()[0].Type, mtInformation);
  for (const char* chart : {"180101", "180102", "1801031", "180301", "180302"}) {
    EXPECT_EQ(CheckInstalled(chart, 120), "ok\n") << chart;
    EXPECT_EQ(CheckInstalled(chart, 240), "ok\n") << chart;
  }
  EXPECT_EQ(CheckInstalled("NNZK_1014", 240), "ok\n");
  EXPECT_EQ(RegReadString(rkMachine, "ChartSets\\NNZK Noordzee", "240", ""), FDest);
  EXPECT_TRUE(FReports.empty());
}

// Index records (value, chart code, date) read back from the settings.
std::vector<uint32_t> IndexCodes(const char* Dpi) {
  std::vector<uint32_t> codes;
  if (RegReadIntegerDef(rkMachine, "", std::string("BaZ Index size ") + Dpi, 0) <= 0) return codes;
  const std::vector<uint8_t> bytes =
      RegReadBinaryData(rkMachine, "", std::string("BaZ Index ") + Dpi);
  for (size_t at = 0; at + 12 <= bytes.size(); at += 12)
    codes.push_back(uint32_t(bytes[at + 4]) | uint32_t(bytes[at + 5]) << 8 |
                    uint32_t(bytes[at + 6]) << 16 | uint32_t(bytes[at + 7]) << 24);
  return codes;
}

// The demo CD of our own tool, every set at both resolutions but one.
TEST_F(FrmInstallTest, InstallsTheDemoCd) {
  const std::string zrntool = std::string(std::getenv("ZARNAVIS_BUILD_DIR")) + "/tools/zrntool";
  if (!FileExists(zrntool)) GTEST_SKIP() << "zrntool is not built";
  const std::string demo = FTemp / "demo";
  const TCommandResult made = RunCommand(Quote(zrntool) + " demo " + Quote(demo) + " --scale 0.05");
  ASSERT_EQ(made.Status, 0) << made.Output;
  const std::vector<uint8_t> index = ReadFileBytes(demo + "/pub/baz/2003/baz.idx");
  ASSERT_FALSE(index.empty());
  for (const char* dpi : {"120", "240"}) {
    RegWriteBinary(rkMachine, "", std::string("BaZ Index ") + dpi, int(index.size()), index.data());
    RegWriteInteger(rkMachine, "", std::string("BaZ Index size ") + dpi, int(index.size()));
  }
  const std::vector<uint32_t> before = IndexCodes("240");
  SetModalHook([&](QDialog& Dialog) -> int {
    auto& form = dynamic_cast<TFormInstall&>(Dialog);
    form.show();
    form.EditSource->setText(QString::fromStdString(demo + "/Charts/"));
    Click(form.ButtonNext);
    Click(form.ButtonNext);
    // 1801 stays at 120 dpi only.
    EXPECT_EQ(form.ChartSets()[0]->Code, "1801");
    ClickList(form, 0, 283);
    Click(form.ButtonNext);
    Click(form.ButtonNext);
    return form.result();
  });
  std::string source = "", dest = FDest;
  ASSERT_TRUE(ExecuteInstallWizard(source, dest));
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(
      Messages()[0].rfind("The following chartsets have been installed:\r\r120 dpi:\r - 1801", 0),
      0u);
  EXPECT_TRUE(FReports.empty());

  // Every chart at 120 dpi; at 240 dpi every chart but those of 1801.
  const std::string at120 = CheckDemoInstall(demo, "120");
  EXPECT_EQ(at120.rfind("ok ", 0), 0u) << at120;
  for (const auto& entry : std::filesystem::directory_iterator(FDest)) {
    const std::string name = entry.path().filename().string();
    EXPECT_FALSE(name.rfind("1801", 0) == 0 && name.find("_240_") != std::string::npos) << name;
  }
  std::filesystem::remove(demo + "/Charts/1801_240.zra");
  const std::string at240 = CheckDemoInstall(demo, "240");
  EXPECT_EQ(at240.rfind("ok ", 0), 0u) << at240;

  // Registry: one folder per installed pair, and the automatic-import list.
  const auto sets = FindChartSets(demo + "/Charts", FDest);
  const auto wasInstalled = [](const TChartSets& Set, int Res) {
    return (Set.Resolutions >> Res & 1) && !(Set.Code == "1801" && Res == 1);
  };
  int pairs = 0;
  for (const auto& set : sets) {
    for (int res = 0; res < 2; ++res) {
      const bool installed = wasInstalled(*set, res);
      pairs += installed;
      EXPECT_EQ(RegReadString(rkMachine, "ChartSets\\" + set->Name, DpiText(res), ""),
                installed ? FDest : "")
          << set->Name << " " << DpiText(res);
    }
  }
  const auto imports = RegReadValueNames(TRegRoot::CurrentUser, NavAutoImportKey);
  EXPECT_EQ(imports.size(), size_t(pairs));
  for (const std::string& name : imports)
    EXPECT_TRUE(FileExists(RegReadRootString(TRegRoot::CurrentUser, NavAutoImportKey, name, "")))
        << name;

  // Each index keeps, in order, exactly the records of charts whose set was
  // not installed at its resolution (1801 at 240 dpi, 1810 at 120 dpi, ...).
  const auto setOf = [](uint32_t Code) {
    std::string name;
    return ChartCodeToName(Code, name) ? name.substr(0, 4) : std::string();
  };
  for (int res = 0; res < 2; ++res) {
    std::vector<uint32_t> kept;
    for (uint32_t code : before) {
      bool installed = false;
      for (const auto& set : sets) installed |= set->Code == setOf(code) && wasInstalled(*set, res);
      if (!installed) kept.push_back(code);
    }
    EXPECT_LT(kept.size(), before.size());
    EXPECT_EQ(IndexCodes(DpiText(res)), kept) << DpiText(res);
  }
  const std::vector<uint32_t> left240 = IndexCodes("240");
  EXPECT_NE(std::find(left240.begin(), left240.end(), 0x00010100u), left240.end());
}

TEST_F(FrmInstallTest, OnePairHidesTheOverallProgressAndCancelKeepsFolders) {
  MakeSets(
      R"({"sets":[{"prefix":"1801","name":"1801 A","resolutions":[120],"charts":["180101"],"width":40,"height":30}]})");
  PlantInstalled("180101_120_2003.bmp");
  bool overallHidden = false;
  SetModalHook([&](QDialog& Dialog) -> int {
    if (auto* replace = dynamic_cast<TFormReplace*>(&Dialog)) {
      overallHidden =
          replace->parentWidget() &&
          dynamic_cast<TFormInstall*>(replace->parentWidget())->ProgressBarEntire->isHidden();
      replace->show();
      replace->close();  // the close box answers Cancel
      return replace->result();
    }
    auto& form = dynamic_cast<TFormInstall&>(Dialog);
    form.show();
    for (int i = 0; i < 4; ++i) Click(form.ButtonNext);
    return form.result();
  });
  std::string source = FSource, dest = FDest;
  EXPECT_TRUE(ExecuteInstallWizard(source, dest));  // a cancelled run still ends with OK
  EXPECT_TRUE(overallHidden);
  EXPECT_TRUE(Messages().empty());  // nothing completed, nothing to report
  EXPECT_EQ(ReadFileBytes(FDest + "180101_120_2003.bmp").size(), 9u);  // "old chart"
  EXPECT_EQ(RegReadString(rkMachine, "ChartSets\\1801 A", "120", ""), "");

  SetModalHook([&](QDialog& Dialog) -> int {
    auto& form = dynamic_cast<TFormInstall&>(Dialog);
    form.show();
    Click(form.ButtonNext);
    form.EditDest->setText("/elsewhere/");
    Click(form.ButtonCancel);
    return form.result();
  });
  EXPECT_FALSE(ExecuteInstallWizard(source, dest));
  EXPECT_EQ(dest, FDest);
}

// Cancel at the replace question of the third set and resolution: recorded
// are exactly the sets the closing message lists, and the navigation
// program is sent only for calibration files that are there.
TEST_F(FrmInstallTest, CancelAtTheThirdSetRecordsWhatTheMessageLists) {
  MakeSets(ThreeSetsLayout);
  PlantInstalled("180101_240_2003.bmp");  // 1801 at 240 dpi comes third
  SetModalHook([&](QDialog& Dialog) -> int {
    if (auto* replace = dynamic_cast<TFormReplace*>(&Dialog)) {
      replace->show();
      QTest::mouseClick(replace->ButtonCancel, Qt::LeftButton);
      return replace->result();
    }
    auto& form = dynamic_cast<TFormInstall&>(Dialog);
    form.show();
    form.EditSource->setText(QString::fromStdString(FSource));
    for (int i = 0; i < 4; ++i) Click(form.ButtonNext);
    return form.result();
  });
  std::string source, dest = FDest;
  ASSERT_TRUE(ExecuteInstallWizard(source, dest));
  ASSERT_EQ(Messages(),
            std::vector<std::string>{"The following chartsets have been installed:\r"
                                     "\r120 dpi:\r - 1801 Waddenzee\r - 1803 Zeeland\r"});
  const struct {
    const char* Set;
    const char* Dpi;
    bool Listed;
  } pairs[] = {{"1801 Waddenzee", "120", true},
               {"1803 Zeeland", "120", true},
               {"1801 Waddenzee", "240", false},
               {"1803 Zeeland", "240", false},
               {"NNZK Noordzee", "240", false}};
  for (const auto& p : pairs) {
    SCOPED_TRACE(std::string(p.Set) + " " + p.Dpi);
    EXPECT_EQ(RegReadString(rkMachine, std::string("ChartSets\\") + p.Set, p.Dpi, ""),
              p.Listed ? FDest : "");
    const std::string file = RegReadRootString(TRegRoot::CurrentUser, NavAutoImportKey,
                                               std::string(p.Set) + " (" + p.Dpi + ")", "");
    EXPECT_TRUE(p.Listed ? FileExists(file) : file.empty()) << file;
  }
  EXPECT_TRUE(FReports.empty());
}

// A run that raises gives the window back on the summary, its buttons,
// cursor and animation restored, so the user can go back, retry or close.
TEST_F(FrmInstallTest, ExceptionDuringRunReachesTheReportAndTheSummaryComesBack) {
  MakeSets(R"({"sets":[{"prefix":"1801","name":"1801 A","resolutions":[120],
      "charts":["180101","180102"],"width":200,"height":120,"damage":"180102"}]})");
  auto form = FormOnChartsPage();
  Click(form->ButtonNext);
  ASSERT_TRUE(form->PanelInstall->isVisible());
  // On the retry 180101 is there from the first run: replaced.
  SetModalHook(
      [](QDialog& Dialog) { return dynamic_cast<TFormReplace*>(&Dialog) ? mrYes : mrCancel; });
  for (int round = 0; round < 2; ++round) {  // the first run, then a retry
    SCOPED_TRACE(round);
    Click(form->ButtonNext);
    ASSERT_EQ(FReports.size(), size_t(round + 1));
    EXPECT_FALSE(FReports.back().Message.empty());
    EXPECT_FALSE(form->PanelProgress->isVisible());
    EXPECT_TRUE(form->PanelInstall->isVisible());
    for (QPushButton* b : {form->ButtonPrev, form->ButtonNext, form->ButtonCancel})
      EXPECT_TRUE(b->isVisible() && b->isEnabled()) << b->text().toStdString();
    EXPECT_EQ(form->ButtonNext->text().toStdString(), GetText(txtInstall));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(form->Animate->Active());
  }
  EXPECT_EQ(DestFiles(), (std::vector<std::string>{"180101_120_2003.bmp", "1801_120_2003.bds",
                                                   "1801_120_2003.chi"}));
  Click(form->ButtonPrev);
  EXPECT_TRUE(form->PanelCharts->isVisible());
  form->close();
  EXPECT_FALSE(form->isVisible());
  EXPECT_NE(form->result(), int(QDialog::Accepted));
}

TEST_F(FrmInstallTest, ReplaceDialogLayoutAndAnswers) {
  struct Row {
    bool all, cancel;
    std::vector<int> lefts;  // of the visible buttons: Yes, Yes to all, No, Cancel
  };
  const Row rows[] = {
      {true, true, {70, 157, 244, 331}},
      {false, true, {157, -1, 244, 331}},
      {false, false, {244, -1, 331, -1}},
  };
  for (const Row& r : rows) {
    TFormReplace dialog("Set\r\rQuestion", r.all, r.cancel);
    QPushButton* buttons[] = {dialog.ButtonYes, dialog.ButtonAll, dialog.ButtonNo,
                              dialog.ButtonCancel};
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(buttons[i]->isHidden(), r.lefts[size_t(i)] < 0);
      if (r.lefts[size_t(i)] >= 0) {
        EXPECT_EQ(buttons[i]->x(), r.lefts[size_t(i)]);
      }
    }
  }
  TFormReplace dialog("Set\r\rQuestion", true, true);
  EXPECT_EQ(dialog.size(), QSize(418, 132));
  EXPECT_EQ(dialog.LabelMsg->text(), "Set\n\nQuestion");
  EXPECT_EQ(dialog.LabelMsg->geometry().left(), 68);
  EXPECT_EQ(dialog.LabelMsg->width(), 334);
  const std::pair<QPushButton*, int> answers[] = {{dialog.ButtonYes, mrYes},
                                                  {dialog.ButtonAll, mrYesToAll},
                                                  {dialog.ButtonNo, mrNo},
                                                  {dialog.ButtonCancel, mrCancel}};
  for (const auto& [button, result] : answers) {
    dialog.show();
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(dialog.result(), result);
  }
  dialog.show();
  QTest::keyClick(&dialog, Qt::Key_Escape);
  EXPECT_EQ(dialog.result(), mrCancel);
}

}  // namespace
