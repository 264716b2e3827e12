// The launcher installed outside any CD (as in /usr/bin): the CD's files and
// the default original chart folder come from the mounted chart CD.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "BitBtn.h"
#include "FrmMain.h"
#include "Languages.h"
#include "LauncherFixture.h"
#include "QvRegistry.h"
#include "Shell.h"

namespace {

class RunInstalledTest : public LauncherTest {
 protected:
  void SetUp() override {
    LauncherTest::SetUp();
    FPreviousShell = SetShellHook([this](const TShellRequest& r) {
      FShell.push_back(r);
      return false;
    });
  }
  void TearDown() override {
    SetShellHook(std::move(FPreviousShell));
    LauncherTest::TearDown();
  }

  // A fixed simulated volume over a new folder; returns its mount point.
  std::string AddVolume(const std::string& name) {
    const std::string mount = FVolumeRoot / name + "/";
    QDir().mkpath(QString::fromStdString(mount));
    FVolumes->AddFixed(mount, 650 << 20);
    return mount;
  }
  static void Write(const std::string& file) {
    QDir().mkpath(QFileInfo(QString::fromStdString(file)).absolutePath());
    QFile f(QString::fromStdString(file));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("x");
  }

  std::vector<TShellRequest> FShell;

 private:
  TShellHook FPreviousShell;
};

}  // namespace

TEST_F(RunInstalledTest, CdFilesComeFromTheFirstVolumeWithChartArchives) {
  InitProgram();
  const std::string usb = AddVolume("usb");  // a volume without charts
  Write(usb + "legenda.chm");
  const std::string other = AddVolume("other");  // Charts/ without archives
  Write(other + "Charts/readme.txt");
  const std::string cd = AddVolume("cd");
  for (const char* file : {"Charts/1801_120.zra", "legenda.chm", "language/english.chm"})
    Write(cd + file);
  const std::string later = AddVolume("later");
  Write(later + "Charts/1803_240.zra");
  RegWriteString(rkUser, "International", "Language", "English");

  {
    TFormMain form;
    EXPECT_EQ(form.ProgramFolder(), cd);
    EXPECT_EQ(form.ZRNFolder(), cd + "Charts/");
    EXPECT_TRUE(form.ButtonLegend->isEnabled());
    EXPECT_TRUE(form.ButtonHelp->isEnabled());
    form.ButtonLegendClick();
    form.ButtonHelpClick();
    form.ButtonKoppixClick();
    ASSERT_EQ(FShell.size(), 3u);
    EXPECT_EQ(FShell[0].File, cd + "legenda.chm");
    EXPECT_EQ(FShell[0].Directory, cd);
    EXPECT_EQ(FShell[1].File, cd + "language/english.chm");
    EXPECT_EQ(FShell[2].File, cd + "koppix/Setup.exe");
    EXPECT_EQ(FShell[2].Directory, cd + "koppix");
  }
  EXPECT_EQ(RegReadString(rkMachine, "", "ZRN Folder", ""), cd + "Charts/");
}

TEST_F(RunInstalledTest, AStoredFolderAndAProgramOnItsCdWin) {
  InitProgram();
  const std::string cd = AddVolume("cd");
  Write(cd + "Charts/1801_120.zra");
  {
    RegWriteString(rkMachine, "", "ZRN Folder", "/home/sailor/cd-copy/Charts/");
    TFormMain form;
    EXPECT_EQ(form.ZRNFolder(), "/home/sailor/cd-copy/Charts/");
    EXPECT_EQ(form.ProgramFolder(), cd);
  }
  // Beside a Charts/ folder of its own the program is on its CD: the volume
  // is not looked at, and the legend that is not there stays greyed.
  QDir().mkpath(QString::fromStdString(ProgramFolder() + "Charts"));
  Write(cd + "legenda.chm");
  QFile::remove(QString::fromStdString(FSettings / "system.reg"));
  TFormMain form;
  EXPECT_EQ(form.ProgramFolder(), ProgramFolder());
  EXPECT_EQ(form.ZRNFolder(), ProgramFolder() + "Charts/");
  EXPECT_FALSE(form.ButtonLegend->isEnabled());
}

TEST_F(RunInstalledTest, WithoutAChartCdTodaysDefaultsStay) {
  InitProgram();
  Write(AddVolume("usb") + "legenda.chm");
  TFormMain form;
  EXPECT_EQ(form.ProgramFolder(), ProgramFolder());
  EXPECT_EQ(form.ZRNFolder(), ProgramFolder() + "Charts/");
  EXPECT_FALSE(form.ButtonLegend->isEnabled());
}
