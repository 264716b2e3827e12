// The update wizard's window through whole runs, offscreen, against
// pyftpdlib on 127.0.0.1 serving the demo's updates: download and apply,
// download onto a disk folder and apply from it, and the ways a run ends
// badly. Whatever way the window is left, the run's work folder is gone.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "CopyAnimation.h"
#include "QvEditEx.h"
#include "StoredUpdateIndex.h"
#include "TextUtils.h"
#include "UpdateDownload.h"
#include "WizardTestSupport.h"

namespace fs = std::filesystem;

namespace {

class FrmBazUpdateRun : public TWizardFixture {
 protected:
  std::set<std::string> ResultBitmaps() const {
    return TDownloadFixture::ResultBitmaps(Lines(FForm->MemoResults));
  }
  // The first update file of set 1801 the run fetches after the index.
  std::string FirstUpdate() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(ServerFolder()))
      if (e.path().filename().string().rfind("1801", 0) == 0)
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end(), TCaseInsensitiveLess());
    return names.at(0);
  }
  bool WorkFolderGone() const { return fs::is_empty(FTemp / "runtime"); }
  // The window is the user's again: its buttons, the normal cursor, no
  // animation.
  void ExpectUsable() {
    EXPECT_FALSE(FForm->PanelProgress->isVisible());
    EXPECT_TRUE(FForm->ButtonPrev->isVisible());
    EXPECT_TRUE(FForm->ButtonNext->isVisible());
    EXPECT_TRUE(FForm->ButtonCancel->isVisible());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(FForm->Animate->Active());
    EXPECT_FALSE(FForm->Running());
    EXPECT_TRUE(WorkFolderGone());
  }
  void StartDownloadAndApply() {
    NewForm();
    ToChartsPage(TUpdateMode::DownloadAndApply);
    ToUpdatePage();
  }
};

TEST_F(FrmBazUpdateRun, DownloadAndApplyListsTheUpdatedChartsAndIsUpToDateNextTime) {
  Install({"1801", "1805", "NNZK"});
  StartServer();
  PointSettingsAtServer("127.0.0.1", FServer.Port());
  StartDownloadAndApply();
  // The progress page while the files come in.
  bool sawDownload = false;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    sawDownload = sawDownload || (FForm->PanelProgress->isVisible() &&
                                  FForm->LabelSingle->text().startsWith("Downloading "));
  });
  watch.start(1);
  RunAndWait();
  watch.stop();
  EXPECT_TRUE(sawDownload);
  ASSERT_TRUE(Form().PanelResults->isVisible()) << Shown();
  EXPECT_TRUE(Messages().empty()) << Shown();
  EXPECT_FALSE(Form().ButtonNext->isVisible());
  EXPECT_FALSE(Form().ButtonCancel->isVisible());
  const std::vector<std::string> lines = Lines(Form().MemoResults);
  ASSERT_GT(lines.size(), 2u);
  EXPECT_EQ(lines[0], "The following charts have been updated:");
  EXPECT_EQ(lines[1], "");
  EXPECT_EQ(lines[2].rfind("  120 dpi - " + FInstalled, 0), 0u) << lines[2];
  const std::set<std::string> expected = ServerUpdates();
  ASSERT_GT(expected.size(), 5u);
  EXPECT_EQ(ResultBitmaps(), expected);
  EXPECT_EQ(CheckUpdated({expected.begin(), expected.end()}), "ok\n");
  EXPECT_FALSE(ReadStoredUpdateIndex(0).empty());
  EXPECT_TRUE(WorkFolderGone());
  Click(Form().ButtonOk);
  EXPECT_TRUE(ClosedWith(mrOk));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);

  // Again: nothing new, the message, and the wizard closes with OK.
  StartDownloadAndApply();
  RunAndWait();
  EXPECT_EQ(Messages().back(), GetText(txtUpToDate));
  EXPECT_TRUE(ClosedWith(mrOk));
  EXPECT_TRUE(WorkFolderGone());
}

TEST_F(FrmBazUpdateRun, DownloadOntoADiskFolderThenApplyFromIt) {
  StartServer();
  PointSettingsAtServer("127.0.0.1", FServer.Port());
  const std::string usb = FTemp / "usb/";
  fs::create_directories(usb);
  NewForm();
  Click(Form().ButtonDownload);
  Form().EditUpdates->setText(QString::fromStdString(usb));
  Click(Form().ButtonNext);
  ASSERT_TRUE(Form().PanelCharts->isVisible()) << Shown();
  // Only 1801 and 1805 of the catalogue.
  for (int i = 0; i < Form().ListViewCharts->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = Form().ListViewCharts->topLevelItem(i);
    const std::string code = item->text(0).toStdString().substr(0, 4);
    item->setCheckState(0, code == "1801" || code == "1805" ? Qt::Checked : Qt::Unchecked);
  }
  ToUpdatePage();
  RunAndWait();
  EXPECT_EQ(Messages().back(), GetText(txtDownloadedAndSaved)) << Shown();
  EXPECT_TRUE(ClosedWith(mrOk));
  EXPECT_TRUE(WorkFolderGone());
  std::string listing;
  ASSERT_EQ(RunShellCommand("unzip -Z1 " + Q(usb + "Updates.BaZ"), &listing), 0) << listing;
  EXPECT_NE(listing.find("baz.idx\n"), std::string::npos) << listing;
  EXPECT_NE(listing.find("180101.120\n"), std::string::npos) << listing;
  EXPECT_NE(listing.find("180501.240\n"), std::string::npos) << listing;
  EXPECT_EQ(listing.find("1803"), std::string::npos) << listing;

  // On the other computer: the charts installed, the disk applied.
  Install({"1801", "1805"});
  NewForm();
  ToChartsPage(TUpdateMode::ApplyOnly, usb);
  ToUpdatePage();
  RunAndWait();
  ASSERT_TRUE(Form().PanelResults->isVisible()) << Shown();
  const std::set<std::string> expected = ServerUpdates();
  EXPECT_EQ(ResultBitmaps(), expected);
  EXPECT_EQ(CheckUpdated({expected.begin(), expected.end()}), "ok\n");
  EXPECT_TRUE(WorkFolderGone());
  Click(Form().ButtonOk);
  EXPECT_TRUE(ClosedWith(mrOk));
}

TEST_F(FrmBazUpdateRun, RefusedConnectionLeadsToTheProxyPageAndARetryWorks) {
  Install({"1801"});
  const auto before = Bitmaps();
  // A port that nobody listens on: a server started and stopped.
  StartServer();
  const int deadPort = FServer.Port();
  FServer.Stop();
  PointSettingsAtServer("127.0.0.1", deadPort);
  StartDownloadAndApply();
  RunAndWait();
  ASSERT_EQ(Messages().size(), 1u) << Shown();
  EXPECT_EQ(Messages()[0].rfind("(Error 10061) ", 0), 0u) << Messages()[0];
  EXPECT_EQ(FRecorder->Shown()[0].Type, mtError);
  EXPECT_TRUE(Form().PanelFTP->isVisible());
  ExpectUsable();
  EXPECT_EQ(Bitmaps(), before);

  // The server is up again: Next, Update, and the run goes through.
  StartServer();
  PointSettingsAtServer("127.0.0.1", FServer.Port());
  Click(Form().ButtonNext);
  ASSERT_TRUE(Form().PanelUpdate->isVisible());
  RunAndWait();
  EXPECT_TRUE(Form().PanelResults->isVisible()) << Shown();
  EXPECT_NE(Bitmaps(), before);
}

TEST_F(FrmBazUpdateRun, ARefusedFetchLeavesTheConnectionToARetryThroughAProxyAndToClosing) {
  Install({"1801"});
  const auto before = Bitmaps();
  StartServer({"--fail", FirstUpdate() + ":550"});
  PointSettingsAtServer("127.0.0.1", FServer.Port());
  StartDownloadAndApply();
  RunAndWait();
  const std::string refused = "(Error 550) 550 Fetch refused.";
  EXPECT_EQ(Messages(), std::vector<std::string>{refused});
  // The server refused a file: the way to it is not at fault.
  EXPECT_TRUE(Form().PanelUpdate->isVisible());
  ExpectUsable();
  ASSERT_TRUE(Form().Download().Client().Connected());

  // The user goes back and chooses a SOCKS 5 proxy: microsocks, which logs
  // every connection it makes. The retry goes through it, after a QUIT to
  // the conversation left open.
  const int socksPort = FreePort();
  const std::string socksLog = FTemp / "microsocks.log";
  TPeerProcess socks;
  ASSERT_TRUE(socks.Start({"/bin/sh", "-c",
                           "exec /usr/bin/microsocks -i 127.0.0.1 -p " + std::to_string(socksPort) +
                               " 2>>" + Q(socksLog)},
                          socksPort));
  Click(Form().ButtonPrev);
  ASSERT_TRUE(Form().PanelFTP->isVisible());
  Form().ComboBoxProxy->setCurrentIndex(ptSocks5);
  Form().ComboBoxProxyChange();
  Form().EditProxyServer->setText("127.0.0.1");
  Form().EditProxyPort->SetIntValue(socksPort);
  Click(Form().ButtonNext);
  ASSERT_TRUE(Form().PanelUpdate->isVisible()) << Shown();
  RunAndWait();
  // No "FTP component connected" on the way: the same refusal again.
  EXPECT_EQ(Messages(), (std::vector<std::string>{refused, refused})) << Shown();
  EXPECT_NE(ReadFileText(socksLog).find("connected to 127.0.0.1:" + FServer.PortText()),
            std::string::npos)
      << ReadFileText(socksLog);
  const auto log = ServerLog();
  EXPECT_EQ(std::count(log.begin(), log.end(), "QUIT"), 1);
  EXPECT_TRUE(Form().PanelUpdate->isVisible());
  ExpectUsable();
  ASSERT_TRUE(Form().Download().Client().Connected());

  // The close box: the blocking QUIT, then the window closes.
  Form().close();
  EXPECT_TRUE(ClosedWith(QDialog::Rejected));
  EXPECT_FALSE(Form().Download().Client().Connected());
  ASSERT_TRUE(RunUntil([&] { return !ServerLog().empty() && ServerLog().back() == "QUIT"; }, 5000))
      << ServerLog().back();
  EXPECT_EQ(Bitmaps(), before);
  EXPECT_TRUE(WorkFolderGone());
}

TEST_F(FrmBazUpdateRun, ClosingDuringATransferDropsTheRun) {
  Install({"1801"});
  const auto before = Bitmaps();
  const std::string hive = HiveText();
  const std::string stalled = FirstUpdate();
  StartServer({"--stall", stalled});
  PointSettingsAtServer("127.0.0.1", FServer.Port());
  StartDownloadAndApply();
  Click(Form().ButtonNext);
  ASSERT_TRUE(RunUntil(
      [&] { return Form().LabelSingle->text().toStdString() == "Downloading " + stalled; }, 30000))
      << Form().LabelSingle->text().toStdString();
  EXPECT_TRUE(Form().Running());
  EXPECT_FALSE(WorkFolderGone());
  // Escape is no way out of the progress page; the close box is.
  QTest::keyClick(&Form(), Qt::Key_Escape);
  EXPECT_TRUE(Form().isVisible());
  Form().close();
  EXPECT_TRUE(ClosedWith(QDialog::Rejected));
  EXPECT_FALSE(Form().Running());
  EXPECT_TRUE(WorkFolderGone());
  EXPECT_EQ(Bitmaps(), before);
  EXPECT_EQ(HiveText(), hive);
  PumpFor(200);
  EXPECT_TRUE(Messages().empty()) << Shown();
}

TEST_F(FrmBazUpdateRun, AnErrorInTheRunReachesTheReportAndLeavesTheWindowUsable) {
  Install({"1801"});
  const auto before = Bitmaps();
  const std::string hive = HiveText();
  // The server's copy of the first update is damaged past its header.
  const std::string root = FTemp / "server";
  fs::create_directories(root);
  fs::copy(Demo->Path() + "/pub", root + "/pub", fs::copy_options::recursive);
  const std::string damaged = root + "/pub/baz/2003/" + FirstUpdate();
  std::vector<uint8_t> bytes = ReadFileBytes(damaged);
  for (size_t i = 40; i < bytes.size() - 30; ++i) bytes[i] ^= 0x5A;
  WriteFileBytes(damaged, bytes);
  StartServer({}, root);
  PointSettingsAtServer("127.0.0.1", FServer.Port());
  StartDownloadAndApply();
  RunAndWait();
  ASSERT_EQ(FReports.size(), 1u) << Shown();
  EXPECT_FALSE(FReports[0].Message.empty());
  // The damage is no fault of the way to the server: back to the summary.
  EXPECT_TRUE(Form().PanelUpdate->isVisible());
  ExpectUsable();
  EXPECT_EQ(Bitmaps(), before);
  EXPECT_EQ(HiveText(), hive);

  // Apply-only from a disk with the same damage: the same.
  const std::string disk = FTemp / "disk/";
  fs::create_directories(disk);
  fs::copy_file(root + "/pub/baz/2003/baz.idx", disk + "baz.idx");
  fs::copy_file(damaged, disk + FirstUpdate());
  std::string out;
  ASSERT_EQ(
      RunShellCommand("cd " + Q(disk) + " && zip -q Updates.BaZ baz.idx " + FirstUpdate(), &out), 0)
      << out;
  Form().done(mrCancel);
  NewForm();
  ToChartsPage(TUpdateMode::ApplyOnly, disk);
  ToUpdatePage();
  RunAndWait();
  ASSERT_EQ(FReports.size(), 2u) << Shown();
  EXPECT_TRUE(Form().PanelUpdate->isVisible());
  ExpectUsable();
  EXPECT_EQ(Bitmaps(), before);
  EXPECT_EQ(HiveText(), hive);
  // Cancel leaves it.
  Click(Form().ButtonCancel);
  EXPECT_TRUE(ClosedWith(QDialog::Rejected));
}

}  // namespace
