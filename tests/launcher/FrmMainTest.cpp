#include <gtest/gtest.h>

#include <QLineEdit>

#include <QApplication>
#include <QLabel>
#include <QLocale>
#include <fstream>

#include "BitBtn.h"
#include "FrmBazUpdate.h"
#include "FrmMain.h"
#include "Languages.h"
#include "LauncherFixture.h"
#include "QvLanguage.h"
#include "QvRegistry.h"
#include "Shell.h"
#include "WizardLinks.h"

namespace {

const std::string kNone = "<none>";

std::string Machine(const std::string& name) {
  return RegReadString(rkMachine, "", name, kNone);
}
std::string UserLanguage() {
  return RegReadString(rkUser, "International", "Language", kNone);
}

class MainWindowTest : public LauncherTest {
 protected:
  void SetUp() override {
    LauncherTest::SetUp();
    InitProgram();
    FPreviousShell = SetShellHook([this](const TShellRequest& r) {
      FShell.push_back(r);
      return FShellResult;
    });
  }
  void TearDown() override {
    SetShellHook(std::move(FPreviousShell));
    TFormMain::InstallWizard = nullptr;
    TFormMain::UpdateWizard = nullptr;
    TFormMain::DefaultChartsFolder = nullptr;
    LauncherTest::TearDown();
  }
  std::vector<TShellRequest> FShell;
  bool FShellResult = false;

 private:
  TShellHook FPreviousShell;
};

std::vector<std::string> ActionCaptions(const TFormMain& f) {
  std::vector<std::string> out;
  for (auto* b :
       {f.ButtonKoppix, f.ButtonInstall, f.ButtonBaZ, f.ButtonLegend, f.ButtonHelp, f.ButtonExit})
    out.push_back(b->text().toStdString());
  out.push_back(f.LabelReproduction->text().toStdString());
  return out;
}

}  // namespace

TEST_F(MainWindowTest, ControlsStandWhereTheyBelong) {
  TFormMain form;
  form.show();
  EXPECT_EQ(form.size(), QSize(592, 423));
  EXPECT_EQ(form.minimumSize(), form.maximumSize());
  struct Row {
    QWidget* w;
    QRect r;
  };
  const Row rows[] = {
      {form.ImageBackground, {0, 0, 592, 423}},        {form.LabelQuorvel, {409, 4, 176, 16}},
      {form.ImageBackgroundSmall, {8, 268, 105, 105}}, {form.ButtonDutch, {488, 324, 100, 30}},
      {form.ButtonEnglish, {488, 356, 100, 30}},       {form.ButtonGerman, {488, 388, 100, 30}},
      {form.LabelReproduction, {6, 394, 470, 31}},     {form.ButtonKoppix, {181, 32, 230, 40}},
      {form.ButtonInstall, {181, 120, 230, 40}},       {form.ButtonBaZ, {181, 164, 230, 40}},
      {form.ButtonLegend, {181, 208, 230, 40}},        {form.ButtonHelp, {181, 252, 230, 40}},
      {form.ButtonExit, {181, 344, 230, 40}},
  };
  for (const Row& r : rows) EXPECT_EQ(r.w->geometry(), r.r) << r.w->objectName().toStdString();
  EXPECT_EQ(form.LabelLink->geometry().right() + 1, 586);
  EXPECT_EQ(form.LabelLink->geometry().top(), 20);
  EXPECT_GE(form.LabelLink->width(), 118);
  EXPECT_EQ(form.LabelBuild->geometry().right() + 1, 587);
  EXPECT_EQ(form.LabelBuild->y(), 295);
  EXPECT_FALSE(form.ImageBackgroundSmall->isVisible());
  EXPECT_EQ(form.SmallPicture().size(), QSize(105, 105));
  EXPECT_EQ(MainWindowSmallPicture().size(), QSize(105, 105));
  EXPECT_EQ(form.ButtonKoppix->font().pixelSize(), 11);
  EXPECT_EQ(form.font().pixelSize(), 13);
  EXPECT_TRUE(form.font().bold());
  EXPECT_EQ(form.ButtonExit->TextLeft(), 10);
  EXPECT_EQ(form.ButtonInstall->TextLeft(), 10 + 24 + 10);
  // Tab order runs down the column.
  EXPECT_EQ(form.ButtonKoppix->nextInFocusChain(), form.ButtonInstall);
  EXPECT_EQ(form.ButtonHelp->nextInFocusChain(), form.ButtonExit);
  // The background picture really is the decoded JPEG, not an empty pixmap.
  const QImage shot = form.grab().toImage();
  EXPECT_NE(shot.pixelColor(20, 200), shot.pixelColor(88, 150));
}

TEST_F(MainWindowTest, FirstRunCreatesTheSettings) {
  {
    TFormMain form;
    EXPECT_EQ(RegReadInteger(rkMachine, "", "BaZ Index size 120"), 0);
    EXPECT_EQ(RegReadInteger(rkMachine, "", "BaZ Index 120"), 0);
    EXPECT_EQ(RegReadInteger(rkMachine, "", "BaZ Index size 240"), 0);
    EXPECT_EQ(RegReadInteger(rkMachine, "", "BaZ Index 240"), 0);
    EXPECT_EQ(form.ZRNFolder(), ProgramFolder() + "Charts/");
    EXPECT_EQ(form.ChartsFolder(), "");
    EXPECT_EQ(CurrentLanguage, 2);  // no stored language: the window's default is Dutch
    EXPECT_TRUE(form.ButtonDutch->isChecked());
    EXPECT_EQ(Machine("ZRN Folder"), kNone);  // written only when the window goes
  }
  EXPECT_EQ(Machine("ZRN Folder"), ProgramFolder() + "Charts/");
  EXPECT_EQ(Machine("Charts Folder"), "");
  EXPECT_EQ(Machine("BaZ Folder"), "");
  EXPECT_EQ(UserLanguage(), "Dutch");
}

TEST_F(MainWindowTest, ExistingIndexIsLeftAlone) {
  const uint8_t record[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  RegWriteInteger(rkMachine, "", "BaZ Index size 120", 12);
  RegWriteBinary(rkMachine, "", "BaZ Index 120", 12, record);
  RegWriteString(rkMachine, "", "ZRN Folder", "/media/cdrom/Charts/");
  RegWriteString(rkMachine, "", "BaZ Folder", "/home/sailor/BaZ/");
  TFormMain::DefaultChartsFolder = [] { return std::string("/nav/Charts/"); };
  TFormMain form;
  EXPECT_EQ(RegReadInteger(rkMachine, "", "BaZ Index size 120"), 12);
  EXPECT_EQ(RegReadBinaryData(rkMachine, "", "BaZ Index 120"),
            std::vector<uint8_t>(record, record + 12));
  EXPECT_EQ(form.ZRNFolder(), "/media/cdrom/Charts/");
  EXPECT_EQ(form.ChartsFolder(), "/nav/Charts/");  // empty setting: the navigation program's
  EXPECT_EQ(form.BaZFolder(), "/home/sailor/BaZ/");
}

TEST_F(MainWindowTest, StoredLanguageIsComparedExactly) {
  struct Row {
    std::string stored;
    uint8_t language;
    TBitBtn* TFormMain::*button;
  };
  const Row rows[] = {{"English", 1, &TFormMain::ButtonEnglish},
                      {"German", 3, &TFormMain::ButtonGerman},
                      {"Dutch", 2, &TFormMain::ButtonDutch},
                      {"german", 0, &TFormMain::ButtonDutch},
                      {"French", 0, &TFormMain::ButtonDutch}};
  for (const Row& r : rows) {
    CurrentLanguage = 0;
    RegWriteString(rkUser, "International", "Language", r.stored);
    TFormMain form;
    EXPECT_EQ(CurrentLanguage, r.language) << r.stored;
    EXPECT_TRUE((form.*r.button)->isChecked()) << r.stored;
  }
}

TEST_F(MainWindowTest, LanguageButtonsSwitchTextsButNotTheirOwnCaptions) {
  RegWriteString(rkUser, "International", "Language", "English");
  TFormMain form;
  EXPECT_EQ(form.windowTitle().toStdString(), "Zarnavis, Edition 2003");
  EXPECT_EQ(QCoreApplication::applicationName().toStdString(), "ZRN Edition 2003");
  EXPECT_EQ(ActionCaptions(form)[0], "Install Koppix Pro");
  EXPECT_EQ(ActionCaptions(form)[5], "Exit");
  form.ButtonGermanClick();
  EXPECT_EQ(CurrentLanguage, 3);
  EXPECT_EQ(LibraryLanguage(), 3);
  EXPECT_TRUE(form.ButtonGerman->isChecked());
  EXPECT_FALSE(form.ButtonEnglish->isChecked());
  std::vector<std::string> german;
  for (TTextId id : {txtInstallKoppixPro, txtInstallCharts, txtDownloadAndUpdateBaZ, txtLegend,
                     txtHelp, txtExit, txtReproductionNotice})
    german.push_back(GetText(id));
  EXPECT_EQ(ActionCaptions(form), german);
  EXPECT_EQ(ActionCaptions(form)[5], "Beenden");
  EXPECT_EQ(form.windowTitle().toStdString(), GetText(txtZarnavisEdition) + "2003");
  form.ButtonDutch->click();
  EXPECT_EQ(ActionCaptions(form)[5], "Afsluiten");
  EXPECT_EQ(form.ButtonDutch->text().toStdString(), "Nederlands");
  EXPECT_EQ(form.ButtonEnglish->text().toStdString(), "English");
  EXPECT_EQ(form.ButtonGerman->text().toStdString(), "Deutsch");
  EXPECT_EQ(UserLanguage(), "English");  // stored only when the window goes
  FBoxes.ReplyResult(mrOk);
  ShowMsgBox("x", mtError, {mbOK});
  EXPECT_EQ(FBoxes.Shown().back().Caption, "Fout");
}

TEST_F(MainWindowTest, LanguageChoiceIsStoredOnDestruction) {
  {
    TFormMain form;
    form.ButtonGermanClick();
  }
  EXPECT_EQ(UserLanguage(), "German");
}

TEST_F(MainWindowTest, LegendIsTestedOnceAtCreation) {
  {
    TFormMain form;
    EXPECT_FALSE(form.ButtonLegend->isEnabled());
    WriteProgramFile("legenda.chm");
    form.ButtonEnglishClick();
    EXPECT_FALSE(form.ButtonLegend->isEnabled());
  }
  TFormMain form;
  EXPECT_TRUE(form.ButtonLegend->isEnabled());
  form.ButtonLegendClick();
  ASSERT_EQ(FShell.size(), 1u);
  EXPECT_EQ(FShell[0].File, ProgramFolder() + "legenda.chm");
  EXPECT_EQ(FShell[0].Parameters, "");
  EXPECT_EQ(FShell[0].Directory, ProgramFolder());
  EXPECT_TRUE(FBoxes.Shown().empty());  // the result is not checked
}

TEST_F(MainWindowTest, HelpFollowsTheHelpFileOfTheLanguage) {
  WriteProgramFile("language/dutch.chm");
  TFormMain form;
  form.ButtonDutchClick();
  EXPECT_TRUE(form.ButtonHelp->isEnabled());
  form.ButtonGermanClick();
  EXPECT_FALSE(form.ButtonHelp->isEnabled());
  form.ButtonDutchClick();
  EXPECT_TRUE(form.ButtonHelp->isEnabled());
  form.ButtonHelpClick();
  ASSERT_EQ(FShell.size(), 1u);
  EXPECT_EQ(FShell[0].File, ProgramFolder() + "language/dutch.chm");
  EXPECT_EQ(FShell[0].Directory, ProgramFolder());
}

TEST_F(MainWindowTest, SetupProgramStartedClosesTheLauncher) {
  TFormMain form;
  form.show();
  FShellResult = true;
  form.ButtonKoppixClick();
  ASSERT_EQ(FShell.size(), 1u);
  EXPECT_EQ(FShell[0].File, ProgramFolder() + "koppix/Setup.exe");
  EXPECT_EQ(FShell[0].Parameters, "DEMO");
  EXPECT_EQ(FShell[0].Directory, ProgramFolder() + "koppix");
  EXPECT_FALSE(form.isVisible());
  EXPECT_TRUE(FBoxes.Shown().empty());
}

TEST_F(MainWindowTest, SetupProgramFailingKeepsTheLauncherAndWarns) {
  RegWriteString(rkUser, "International", "Language", "English");
  TFormMain form;
  form.show();
  FBoxes.ReplyResult(mrOk);
  form.ButtonKoppixClick();
  EXPECT_TRUE(form.isVisible());
  ASSERT_EQ(FBoxes.Shown().size(), 1u);
  EXPECT_EQ(FBoxes.Shown()[0].Message, GetText(txtKoppixSetupFailed));
  EXPECT_EQ(FBoxes.Shown()[0].Type, mtWarning);
  EXPECT_EQ(FBoxes.Shown()[0].Buttons, TMsgDlgButtons({mbOK}));
}

TEST_F(MainWindowTest, WebAddressFailingShowsText86) {
  RegWriteString(rkUser, "International", "Language", "English");
  TFormMain form;
  FBoxes.ReplyResult(mrOk);
  form.LabelLinkClick();
  ASSERT_EQ(FShell.size(), 3u);
  EXPECT_EQ(FShell[0].File, MakerWebAddress());
  ASSERT_EQ(FBoxes.Shown().size(), 1u);
  EXPECT_EQ(FBoxes.Shown()[0].Message, GetText(txtBrowserFailed));
  FShellResult = true;
  form.LabelLinkClick();
  EXPECT_EQ(FBoxes.Shown().size(), 1u);
}

TEST_F(MainWindowTest, WizardsTakeFoldersBackOnlyOnOK) {
  RegWriteString(rkMachine, "", "ZRN Folder", "/cd/Charts/");
  RegWriteString(rkMachine, "", "Charts Folder", "/charts/");
  RegWriteString(rkMachine, "", "BaZ Folder", "/baz/");
  TFormMain form;
  bool ok = false;
  std::string seenBaz;
  TFormMain::UpdateWizard = [&](std::string& zrn, std::string& charts, const std::string& baz) {
    seenBaz = baz;
    zrn = "/new/cd/";
    charts = "/new/charts/";
    return ok;
  };
  TFormMain::InstallWizard = [&](std::string& zrn, std::string& charts) {
    zrn = "/inst/cd/";
    charts = "/inst/charts/";
    return ok;
  };
  form.ButtonBaZClick();
  EXPECT_EQ(seenBaz, "/baz/");
  EXPECT_EQ(form.ZRNFolder(), "/cd/Charts/");
  form.ButtonInstallClick();
  EXPECT_EQ(form.ChartsFolder(), "/charts/");
  ok = true;
  form.ButtonBaZClick();
  EXPECT_EQ(form.ZRNFolder(), "/new/cd/");
  EXPECT_EQ(form.ChartsFolder(), "/new/charts/");
  EXPECT_EQ(form.BaZFolder(), "/baz/");
  form.ButtonInstallClick();
  EXPECT_EQ(form.ZRNFolder(), "/inst/cd/");
  EXPECT_EQ(form.ChartsFolder(), "/inst/charts/");
}

// The BaZ button opens the update wizard with the launcher's chart folders.
TEST_F(MainWindowTest, BaZButtonOpensTheUpdateWizard) {
  RegWriteString(rkMachine, "", "ZRN Folder", "/cd/Charts/");
  RegWriteString(rkMachine, "", "Charts Folder", "/charts/");
  ConnectWizards();
  TFormMain form;
  std::string title, source, dest;
  SetModalHook([&](QDialog& Dialog) {
    auto* wizard = dynamic_cast<TFormBaZUpdate*>(&Dialog);
    if (!wizard) return int(QDialog::Rejected);
    title = wizard->windowTitle().toStdString();
    wizard->ButtonDownloadUpdateClick();
    source = wizard->EditSource->text().toStdString();
    dest = wizard->EditDest->text().toStdString();
    return int(QDialog::Rejected);
  });
  form.ButtonBaZClick();
  SetModalHook({});
  EXPECT_EQ(title, GetText(txtChooseAction));  // in the language the launcher chose
  EXPECT_EQ(source, "/cd/Charts/");
  EXPECT_EQ(dest, "/charts/");
  EXPECT_EQ(form.ZRNFolder(), "/cd/Charts/");
}

TEST_F(MainWindowTest, BuildLabelShowsThreeComponentsAndTheShortDate) {
  TFormMain form;
  const QString expected = QStringLiteral("Build: 2.6.0\nDate: ") +
                           QLocale().toString(QDate(2003, 5, 1), QLocale::ShortFormat);
  EXPECT_EQ(form.LabelBuild->text(), expected);
  EXPECT_EQ(BuildText(MakeVersion(10, 20, 30, 40), QDate(2003, 5, 1)).section('\n', 0, 0),
            "Build: 10.20.30");
}

TEST_F(MainWindowTest, SettingsThatCannotBeWrittenReachTheReport) {
  std::vector<std::string> reports;
  AnswerDialogs([&](QDialog& d) {
    if (auto* report = d.findChild<QLabel*>("ExceptionLabel"))
      reports.push_back(report->text().toStdString());
    return 1;
  });
  {
    TFormMain form;
    // The machine hive is damaged while the program runs: it is never
    // overwritten, so writing the folders fails.
    std::ofstream(FSettings / "system.reg") << "this is not a registry export\n";
  }
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0], "ERegistryException");
}

TEST_F(MainWindowTest, EveryCaptionFitsItsButtonInEveryLanguage) {
  TFormMain form;
  for (auto click : {&TFormMain::ButtonEnglishClick, &TFormMain::ButtonDutchClick,
                     &TFormMain::ButtonGermanClick}) {
    (form.*click)();
    for (TBitBtn* b :
         {form.ButtonKoppix, form.ButtonInstall, form.ButtonBaZ, form.ButtonLegend, form.ButtonHelp,
          form.ButtonExit, form.ButtonDutch, form.ButtonEnglish, form.ButtonGerman}) {
      QString shown = b->text();
      shown.remove('&');
      EXPECT_LE(b->TextLeft() + b->fontMetrics().horizontalAdvance(shown), b->width() - 2)
          << shown.toStdString();
    }
  }
}
