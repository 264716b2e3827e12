// The update wizard's window offscreen: its pages in the three modes, the
// settings checks, the chart list and the catalogue, the proxy page, and
// what the window keeps of the user's choices.

#include <gtest/gtest.h>

#include <QHeaderView>
#include <filesystem>

#include "ChartListDraw.h"
#include "CursorAtBoxes.h"
#include "FolderDialogAnswer.h"
#include "MouseInput.h"
#include "Paths.h"
#include "QvEditEx.h"
#include "SimulatedVolumes.h"
#include "UpdateProcessor.h"
#include "WizardControls.h"
#include "WizardTestSupport.h"

namespace fs = std::filesystem;

namespace {

class FrmBazUpdate : public TWizardFixture {};

TEST_F(FrmBazUpdate, StartPageAndTheThreeModes) {
  TFormBaZUpdate& f = NewForm("/cd/Charts/", "/charts/");
  EXPECT_EQ(f.windowTitle(), "Choose your BaZ-action");
  EXPECT_EQ(f.size(), QSize(482, 393));
  EXPECT_EQ(f.ButtonDownloadUpdate->text(), "Download and apply BaZ");
  EXPECT_EQ(f.ButtonDownload->text(), "Download BaZ");
  EXPECT_EQ(f.ButtonUpdate->text(), "Apply BaZ");
  EXPECT_TRUE(f.ButtonCancel->isVisible());
  EXPECT_FALSE(f.ButtonNext->isVisible());
  EXPECT_FALSE(f.ButtonPrev->isVisible());
  EXPECT_FALSE(f.PanelDebug->isVisible());
  // Each action's text fits beside its picture, in every language.
  for (uint8_t language : {TextEnglish, TextDutch, TextGerman}) {
    CurrentLanguage = language;
    TFormBaZUpdate other("", "", "");
    for (QPushButton* b : {other.ButtonDownloadUpdate, other.ButtonDownload, other.ButtonUpdate})
      EXPECT_LE(b->fontMetrics().horizontalAdvance(b->text()) + b->iconSize().width() + 24,
                b->width())
          << b->text().toStdString();
    // "Durchsuchen..." on the browse buttons too.
    EXPECT_LE(other.ButtonBrowseSource->fontMetrics().horizontalAdvance(
                  other.ButtonBrowseSource->text()) +
                  12,
              other.ButtonBrowseSource->width());
  }
  CurrentLanguage = TextEnglish;

  struct Row {
    QPushButton* action;
    const char* caption;
    TTextId info;
    bool source, dest, updates;
    const char* updatesLabel;
  };
  const Row rows[] = {
      {f.ButtonDownloadUpdate, "Download and apply BaZ-updates", txtSettingsInfoDownloadApply, true,
       true, false, ""},
      {f.ButtonDownload, "Download BaZ-updates", txtSettingsInfoDownload, false, false, true,
       "Update(s) folder:"},
      {f.ButtonUpdate, "Apply BaZ-updates", txtSettingsInfoApply, true, true, true,
       "Update(s) folder:"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.caption);
    Click(r.action);
    EXPECT_EQ(f.windowTitle(), r.caption);
    EXPECT_TRUE(f.PanelSettings->isVisible());
    EXPECT_FALSE(f.ButtonDownloadUpdate->isVisible());
    EXPECT_EQ(f.LabelSettingsInfo->text(), FlowText(r.info));
    EXPECT_EQ(f.LabelLocations->text(), "File locations");
    EXPECT_EQ(f.PanelEditSource->isVisible(), r.source);
    EXPECT_EQ(f.PanelEditDest->isVisible(), r.dest);
    EXPECT_EQ(f.PanelEditUpdates->isVisible(), r.updates);
    if (r.updates) {
      EXPECT_EQ(f.LabelUpdates->text(), r.updatesLabel);
    }
    EXPECT_EQ(f.LabelSource->text(), "Original chart folder:");
    EXPECT_EQ(f.LabelDest->text(), "Installed chart folder:");
    EXPECT_EQ(f.EditSource->text(), "/cd/Charts/");
    EXPECT_EQ(f.EditDest->text(), "/charts/");
    EXPECT_EQ(f.ButtonNext->text(), "&Next >");
    EXPECT_EQ(f.ButtonPrev->text(), "< &Back");
    EXPECT_EQ(f.ButtonBrowseSource->text(), "Browse...");
    // The fields of a mode stand one below the other.
    if (!r.source) {
      EXPECT_EQ(f.PanelEditUpdates->y(), 0);
    }
    Click(f.ButtonPrev);
    EXPECT_EQ(f.windowTitle(), "Choose your BaZ-action");
    EXPECT_TRUE(f.ButtonDownload->isVisible());
    EXPECT_FALSE(f.PanelSettings->isVisible());
  }
}

TEST_F(FrmBazUpdate, SettingsChecksWarnAndStay) {
  Install({"1801"});
  const std::string noSets = FTemp / "empty/";
  fs::create_directories(noSets);
  const std::string other = FTemp / "other/";
  fs::create_directories(other);
  struct Row {
    const char* name;
    TUpdateMode mode;
    std::string source, dest, updates;
    std::string warning;
    QLineEdit* TFormBaZUpdate::*focus;
  };
  const Row rows[] = {
      {"no original folder", TUpdateMode::DownloadAndApply, "", FInstalled, "",
       "No original file folder has been entered.", &TFormBaZUpdate::EditSource},
      {"no installed folder", TUpdateMode::ApplyOnly, Cd(), "", UpdateDisk(),
       "Invalid installation folder entered.", &TFormBaZUpdate::EditDest},
      {"no archives", TUpdateMode::DownloadAndApply, noSets, FInstalled, "",
       "No original charts (*.zra) were found of edition 2003.", nullptr},
      {"nothing installed", TUpdateMode::DownloadAndApply, Cd(), other, "",
       "No installed charts (*.bmp) were found.\rCheck if the entered file locations are correct",
       nullptr},
      {"no updates folder", TUpdateMode::DownloadOnly, "", "", "",
       "Invalid update(s) directory entered.", &TFormBaZUpdate::EditUpdates},
      {"no updates there", TUpdateMode::ApplyOnly, Cd(), FInstalled, other,
       "No updates where found on the entered location.", nullptr},
  };
  TFormBaZUpdate& f = NewForm();
  // The boxes wait for the user: no hourglass over them.
  TCursorAtBoxes cursors;
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    const size_t before = FRecorder->Shown().size();
    Click(r.mode == TUpdateMode::DownloadAndApply ? f.ButtonDownloadUpdate
          : r.mode == TUpdateMode::DownloadOnly   ? f.ButtonDownload
                                                  : f.ButtonUpdate);
    f.EditSource->setText(QString::fromStdString(r.source));
    f.EditDest->setText(QString::fromStdString(r.dest));
    f.EditUpdates->setText(QString::fromStdString(r.updates));
    Click(f.ButtonNext);
    ASSERT_EQ(FRecorder->Shown().size(), before + 1);
    EXPECT_EQ(FRecorder->Shown().back().Message, r.warning);
    EXPECT_EQ(FRecorder->Shown().back().Type, mtWarning);
    EXPECT_TRUE(f.PanelSettings->isVisible());
    EXPECT_TRUE(f.ButtonNext->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    if (r.focus) {
      EXPECT_EQ(f.focusWidget(), f.*r.focus);
    }
    Click(f.ButtonPrev);
  }
  // Download-only offers to make a missing folder, and goes on once made.
  Click(f.ButtonDownload);
  const std::string missing = FTemp / "usb/new";
  f.EditUpdates->setText(QString::fromStdString(missing));
  FRecorder->ReplyResult(mrYes);
  Click(f.ButtonNext);
  EXPECT_EQ(Messages().back(),
            missing + "/\r\rThis folder does not exist. Do you wish to make this folder?");
  EXPECT_TRUE(fs::is_directory(missing));
  EXPECT_TRUE(f.PanelCharts->isVisible());
  EXPECT_EQ(f.UpdatesFolder(), missing + "/");
  // One that cannot be made (below a file, also for root): the question,
  // then the warning, and the page stays.
  Click(f.ButtonPrev);
  WriteFileText(FTemp / "plain", "x");
  const std::string impossible = FTemp / "plain/new/";
  f.EditUpdates->setText(QString::fromStdString(impossible));
  FRecorder->ReplyResult(mrYes);
  Click(f.ButtonNext);
  EXPECT_EQ(Messages().back(), impossible + "\r\r" + GetText(txtFolderNotCreated));
  EXPECT_TRUE(f.PanelSettings->isVisible());
  EXPECT_TRUE(f.ButtonNext->isEnabled());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(cursors.Shapes.size(), FRecorder->Shown().size());
  EXPECT_EQ(cursors.Shapes, std::vector<Qt::CursorShape>(cursors.Shapes.size(), Qt::ArrowCursor));
}

TEST_F(FrmBazUpdate, UpdatesFieldStartsByMode) {
  // The download-only field starts with the first removable volume, every
  // time; the apply-only field empty, then with the last accepted folder.
  TSimulatedVolumes volumes(FTemp / "disks");
  fs::create_directories(FTemp / "disks");
  volumes.AddRemovableDrive(FTemp / "stick");
  volumes.InsertDisk(volumes.AddDisk(1440 * 1024));
  TScopedVolumes use(volumes);
  Install({"1801"});
  TFormBaZUpdate& f = NewForm(Cd(), FInstalled);
  const QString stick = QString::fromStdString(FTemp / "stick/");
  Click(f.ButtonDownload);
  EXPECT_EQ(f.EditUpdates->text(), stick);
  f.EditUpdates->setText("/elsewhere/");
  Click(f.ButtonPrev);
  Click(f.ButtonDownload);
  EXPECT_EQ(f.EditUpdates->text(), stick);
  Click(f.ButtonPrev);

  Click(f.ButtonUpdate);
  EXPECT_EQ(f.EditUpdates->text(), "");
  f.EditUpdates->setText(QString::fromStdString(UpdateDisk()));
  Click(f.ButtonNext);
  ASSERT_TRUE(f.PanelCharts->isVisible()) << Shown();
  Click(f.ButtonPrev);
  EXPECT_EQ(f.EditUpdates->text(), QString::fromStdString(UpdateDisk()));
  Click(f.ButtonPrev);
  Click(f.ButtonUpdate);
  EXPECT_EQ(f.EditUpdates->text(), QString::fromStdString(UpdateDisk()));
  // Without a removable volume the download-only field starts empty.
  volumes.EjectDisk();
  TSimulatedVolumes none(FTemp / "disks");
  TScopedVolumes useNone(none);
  Click(f.ButtonPrev);
  Click(f.ButtonDownload);
  EXPECT_EQ(f.EditUpdates->text(), "");
}

TEST_F(FrmBazUpdate, BrowseButtonsUseTheFolderDialogWithTheirTitles) {
  const std::string chosen = FTemp / "chosen";
  fs::create_directories(chosen);
  TFormBaZUpdate& f = NewForm("/start/cd/", "/start/charts/");
  Click(f.ButtonUpdate);
  struct Row {
    QPushButton* button;
    QLineEdit* edit;
    const char* title;
    std::string typed;  // empty: Cancel
    std::string result;
  };
  const Row rows[] = {
      {f.ButtonBrowseSource, f.EditSource, "Original folder", chosen, chosen},
      {f.ButtonBrowseDest, f.EditDest, "Install folder", "", "/start/charts"},
      {f.ButtonBrowseUpdates, f.EditUpdates, "Update(s) folder", chosen, chosen},
      {f.ButtonBrowseUpdates, f.EditUpdates, "Update(s) folder", FTemp / "missing", chosen},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.title);
    std::string title;
    SetModalHook(FolderDialogAnswer(r.typed, title));
    Click(r.button);
    SetModalHook({});
    EXPECT_EQ(title, r.title);
    // A folder that must exist and does not is not taken.
    EXPECT_EQ(ExcludeTrailingPathDelimiter(r.edit->text().toStdString()), r.result);
  }
}

TEST_F(FrmBazUpdate, ChartListDrawsAndTogglesTheInstalledResolutions) {
  Install({"1801", "1805"});
  Install({"1810"}, 1);
  TFormBaZUpdate& f = NewForm();
  ToChartsPage(TUpdateMode::DownloadAndApply);
  EXPECT_EQ(f.LabelChartInfo->text(), FlowText(txtChartsInfoApply));
  TChartListView* list = f.ListViewCharts;
  ASSERT_EQ(list->columnCount(), 3);
  EXPECT_EQ(list->columnWidth(0), 245);
  EXPECT_EQ(list->columnWidth(1), 65);
  EXPECT_EQ(list->columnWidth(2), 60);
  EXPECT_EQ(list->headerItem()->text(0), "Chartset(s)");
  EXPECT_EQ(list->headerItem()->text(1), "dpi");
  EXPECT_EQ(list->headerItem()->text(2), "Size");
  const TChartSetsList& sets = f.Processor().ChartSets();
  ASSERT_EQ(sets.size(), 3u);
  ASSERT_EQ(list->topLevelItemCount(), 3);
  // The size is that of both resolutions, selected or not.
  EXPECT_EQ(list->topLevelItem(0)->text(2).toStdString(),
            SizeText(sets[0]->GetSize(0) + sets[0]->GetSize(1)));
  int row1810 = -1;
  for (int i = 0; i < 3; ++i)
    if (sets[size_t(i)]->Code == "1810") row1810 = i;
  ASSERT_GE(row1810, 0);
  EXPECT_EQ(ChartImageIndex(*sets[size_t(row1810)], 0), 2);

  // A click selects the row and toggles the box under it; the edges of a
  // box count, one pixel outside does not.
  auto clickAt = [&](int Row, int X, int Dy = 5) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(X, list->ImageTop(Row) + Dy));
  };
  struct Step {
    const char* name;
    int row, x, dy;
    bool sel120, sel240;
  };
  const Step steps[] = {
      {"left edge of 120", 0, 247, 5, false, true}, {"right edge of 120", 0, 256, 5, true, true},
      {"beside 120", 0, 257, 5, true, true},        {"left edge of 240", 0, 279, 5, true, false},
      {"right edge of 240", 0, 288, 5, true, true}, {"above the boxes", 0, 250, 1, true, true},
      {"top edge", 0, 250, 2, false, true},         {"bottom edge", 0, 250, 11, true, true},
      {"below the boxes", 0, 250, 12, true, true},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.name);
    clickAt(s.row, s.x, s.dy);
    EXPECT_EQ(sets[size_t(s.row)]->GetSelected(0), s.sel120);
    EXPECT_EQ(sets[size_t(s.row)]->GetSelected(1), s.sel240);
  }
  // An absent resolution's box changes nothing.
  clickAt(row1810, 250);
  EXPECT_FALSE(sets[size_t(row1810)]->GetSelected(0));
  EXPECT_TRUE(sets[size_t(row1810)]->GetSelected(1));
  // A quick double click is two presses: the box ends as it was.
  DoubleClickAsDelivered(list->viewport(), QPoint(283, list->ImageTop(0) + 5));
  EXPECT_TRUE(sets[0]->GetSelected(1));
  // The boxes follow the first column's edge.
  list->setColumnWidth(0, 200);
  clickAt(0, 205);
  EXPECT_FALSE(sets[0]->GetSelected(0));
  list->setColumnWidth(0, 245);

  // Back to the folders and Next again: every choice is new.
  Click(f.ButtonPrev);
  EXPECT_TRUE(f.Processor().ChartSets().empty());
  Click(f.ButtonNext);
  ASSERT_TRUE(f.PanelCharts->isVisible());
  for (const auto& set : f.Processor().ChartSets())
    for (int res = 0; res < 2; ++res)
      EXPECT_EQ(set->GetSelected(res), set->GetChartSet(res) != nullptr) << set->Name;
}

TEST_F(FrmBazUpdate, LongNamesAreCutToTheColumn) {
  Install({"1801"});
  TFormBaZUpdate& f = NewForm();
  ToChartsPage(TUpdateMode::DownloadAndApply);
  f.Processor().ChartSets()[0]->Name = "1801: " + std::string(80, 'W');
  f.FillChartList();
  const QString drawn = f.ListViewCharts->DrawnCaption(0);
  EXPECT_TRUE(drawn.endsWith("...")) << drawn.toStdString();
  EXPECT_LE(QFontMetrics(f.ListViewCharts->font()).horizontalAdvance(drawn), 245);
  // Narrower than "..." itself: the shortening still ends.
  f.ListViewCharts->setColumnWidth(0, 3);
  EXPECT_EQ(f.ListViewCharts->DrawnCaption(0), "...");
}

TEST_F(FrmBazUpdate, NothingSelectedIsRefusedInBothListKinds) {
  Install({"1801"});
  TFormBaZUpdate& f = NewForm();
  ToChartsPage(TUpdateMode::ApplyOnly, UpdateDisk());
  for (const auto& set : f.Processor().ChartSets())
    for (int res = 0; res < 2; ++res) set->SetSelected(res, false);
  Click(f.ButtonNext);
  const std::string none = GetText(txtNoSetsSelected);
  EXPECT_EQ(Messages().back(), none);
  EXPECT_TRUE(f.PanelCharts->isVisible());

  Click(f.ButtonPrev);
  Click(f.ButtonPrev);
  Click(f.ButtonDownload);
  f.EditUpdates->setText(QString::fromStdString(FTemp / "out"));
  fs::create_directories(FTemp / "out");
  Click(f.ButtonNext);
  ASSERT_TRUE(f.PanelCharts->isVisible()) << Shown();
  EXPECT_EQ(f.LabelChartInfo->text(), FlowText(txtChartsInfoDownload));
  TChartListView* list = f.ListViewCharts;
  ASSERT_EQ(list->columnCount(), 1);
  EXPECT_EQ(list->columnWidth(0), 370);
  ASSERT_EQ(list->topLevelItemCount(), 9);
  EXPECT_EQ(list->topLevelItem(0)->text(0).toStdString(), ChartSetCatalogue()[0]);
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(list->topLevelItem(i)->checkState(0), Qt::Checked);
    list->topLevelItem(i)->setCheckState(0, Qt::Unchecked);
  }
  Click(f.ButtonNext);
  EXPECT_EQ(Messages().back(), none);
  EXPECT_TRUE(f.PanelCharts->isVisible());
  // Two ticked: the summary names them, after the folder.
  list->topLevelItem(1)->setCheckState(0, Qt::Checked);
  list->topLevelItem(8)->setCheckState(0, Qt::Checked);
  Click(f.ButtonNext);
  ASSERT_TRUE(f.PanelFTP->isVisible());
  Click(f.ButtonNext);
  ASSERT_TRUE(f.PanelUpdate->isVisible());
  EXPECT_EQ(f.ButtonNext->text(), "&Update");
  const std::vector<std::string> want = {"Update(s) folder:",
                                         "   " + (FTemp / "out/"),
                                         "",
                                         "Chartset(s) to be updated:",
                                         "   " + ChartSetCatalogue()[1],
                                         "   " + ChartSetCatalogue()[8],
                                         ""};
  EXPECT_EQ(Lines(f.MemoUpdateOptions), want);
}

TEST_F(FrmBazUpdate, SummaryOfTheApplyingModes) {
  Install({"1801", "1805"});
  TFormBaZUpdate& f = NewForm();
  ToChartsPage(TUpdateMode::ApplyOnly, UpdateDisk());
  // 1801 with no resolution left is not named.
  f.Processor().ChartSets()[0]->SetSelected(0, false);
  f.Processor().ChartSets()[0]->SetSelected(1, false);
  ToUpdatePage();
  const std::vector<std::string> want = {"Original chart folder:",
                                         "   " + Cd(),
                                         "",
                                         "Installed chart folder:",
                                         "   " + FInstalled,
                                         "",
                                         "Update(s) folder:",
                                         "   " + UpdateDisk(),
                                         "",
                                         "Chartset(s) to be updated:",
                                         "   " + f.Processor().ChartSets()[1]->Name,
                                         ""};
  EXPECT_EQ(Lines(f.MemoUpdateOptions), want);
  EXPECT_EQ(f.LabelUpdateInfo->text(), FlowText(txtUpdateSummaryInfo));
  // Back from the summary of apply-only goes to the chart sets.
  Click(f.ButtonPrev);
  EXPECT_TRUE(f.PanelCharts->isVisible());
}

namespace {

// Each proxy type sets the client's connection type and enables the server
// fields (and PASV) for a proxy and the login for SOCKS.
void ExpectProxyFieldsFollowTheType(TFormBaZUpdate& f) {
  struct Row {
    int index;
    TFtpConnectionType type;
    bool server, login;
  };
  const Row rows[] = {{0, ftpDirect, false, false},
                      {1, ftpProxy, true, false},
                      {2, ftpSocks5, true, true},
                      {3, ftpSocks4, true, true},
                      {4, ftpSocks4A, true, true}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.index);
    f.ComboBoxProxy->setCurrentIndex(r.index);
    f.ComboBoxProxyChange();
    EXPECT_EQ(f.Download().Client().ConnectionType(), r.type);
    EXPECT_EQ(f.CheckBoxPassive->isChecked(), r.server);
    EXPECT_EQ(f.CheckBoxPassive->isEnabled(), r.server);
    for (QWidget* w : std::initializer_list<QWidget*>{f.EditProxyServer, f.EditProxyPort,
                                                      f.LabelProxyServer, f.LabelProxyPort})
      EXPECT_EQ(w->isEnabled(), r.server);
    EXPECT_EQ(f.CheckBoxProxyLogin->isEnabled(), r.login);
    EXPECT_EQ(f.LabelProxyLogin->isEnabled(), r.login);
  }
}

}  // namespace

TEST_F(FrmBazUpdate, ProxyPageEnablesByTypeAndWarns) {
  Install({"1801"});
  TFormBaZUpdate& f = NewForm();
  ToChartsPage(TUpdateMode::DownloadAndApply);
  Click(f.ButtonNext);
  ASSERT_TRUE(f.PanelFTP->isVisible());
  EXPECT_EQ(f.LabelFTPInfo->text(), FlowText(txtProxyPageInfo));
  ASSERT_EQ(f.ComboBoxProxy->count(), 5);
  const QStringList items = {"None", "USER (user@site)", "SOCKS 5", "SOCKS 4", "SOCKS 4A"};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(f.ComboBoxProxy->itemText(i), items[i]);
  EXPECT_EQ(f.CheckBoxPassive->text(), "PASV mode");
  EXPECT_EQ(f.EditProxyPassword->echoMode(), QLineEdit::Password);
  EXPECT_EQ(f.EditProxyPort->IntValue(), 21);

  ExpectProxyFieldsFollowTheType(f);
  // The login's label and its box both toggle it, and with it the fields.
  EXPECT_FALSE(f.EditProxyUser->isEnabled());
  Click(f.LabelProxyLogin);
  EXPECT_TRUE(f.CheckBoxProxyLogin->isChecked());
  for (QWidget* w : std::initializer_list<QWidget*>{f.EditProxyUser, f.EditProxyPassword,
                                                    f.LabelProxyUser, f.LabelProxyPassword})
    EXPECT_TRUE(w->isEnabled());
  Click(f.CheckBoxProxyLogin);
  EXPECT_FALSE(f.CheckBoxProxyLogin->isChecked());
  EXPECT_FALSE(f.EditProxyPassword->isEnabled());
  Click(f.LabelProxyLogin);

  // The three warnings, in the order of the check; the page stays.
  struct Warn {
    const char* server;
    const char* user;
    const char* password;
    const char* warning;
  };
  const Warn warns[] = {{"", "u", "p", "No proxy server entered"},
                        {"proxy.lan", "", "p", "No proxy username entered"},
                        {"proxy.lan", "u", "", "No proxy password entered"}};
  for (const Warn& w : warns) {
    f.EditProxyServer->setText(w.server);
    f.EditProxyUser->setText(w.user);
    f.EditProxyPassword->setText(w.password);
    Click(f.ButtonNext);
    EXPECT_EQ(Messages().back(), w.warning);
    EXPECT_EQ(FRecorder->Shown().back().Type, mtWarning);
    EXPECT_TRUE(f.PanelFTP->isVisible());
  }
  f.EditProxyPassword->setText("secret");
  f.EditProxyPort->SetIntValue(1080);
  Click(f.ButtonNext);
  EXPECT_TRUE(f.PanelUpdate->isVisible());
  EXPECT_EQ(f.Download().Client().SocksServer(), "proxy.lan");
  EXPECT_EQ(f.Download().Client().SocksPort(), "1080");
  EXPECT_EQ(f.Download().Client().ConnectionType(), ftpSocks4A);
  // Without a proxy the page passes as it is.
  Click(f.ButtonPrev);
  f.ComboBoxProxy->setCurrentIndex(0);
  f.ComboBoxProxyChange();
  f.EditProxyServer->clear();
  Click(f.ButtonNext);
  EXPECT_TRUE(f.PanelUpdate->isVisible());
}

TEST_F(FrmBazUpdate, ProxySettingsOutliveTheWizard) {
  {
    TFormBaZUpdate& f = NewForm();
    EXPECT_EQ(f.ComboBoxProxy->currentIndex(), 0);
    EXPECT_FALSE(f.EditProxyServer->isEnabled());
    f.ComboBoxProxy->setCurrentIndex(2);
    f.ComboBoxProxyChange();
    f.EditProxyServer->setText("socks.marina.lan");
    f.EditProxyPort->SetIntValue(1080);
    f.LabelProxyLoginClick();
    f.EditProxyUser->setText("skipper");
    f.EditProxyPassword->setText("s3cret");
    FForm.reset();
  }
  const std::string hive = ReadFileText(FTemp / "home/user.reg");
  for (const char* line : {"\"Proxy type\"=dword:00000002", "\"Proxy server\"=\"socks.marina.lan\"",
                           "\"Proxy port\"=dword:00000438", "\"Proxy login\"=dword:00000001",
                           "\"Proxy username\"=\"skipper\"", "\"Proxy password\"=\"s3cret\""})
    EXPECT_NE(hive.find(line), std::string::npos) << line << "\n" << hive;
  // A new wizard shows them as chosen, with the enabling they call for.
  TFormBaZUpdate& f = NewForm();
  EXPECT_EQ(f.ComboBoxProxy->currentIndex(), 2);
  EXPECT_EQ(f.Download().Client().ConnectionType(), ftpSocks5);
  EXPECT_TRUE(f.EditProxyServer->isEnabled());
  EXPECT_EQ(f.EditProxyServer->text(), "socks.marina.lan");
  EXPECT_EQ(f.EditProxyPort->IntValue(), 1080);
  EXPECT_TRUE(f.CheckBoxProxyLogin->isChecked());
  EXPECT_TRUE(f.EditProxyUser->isEnabled());
  EXPECT_EQ(f.EditProxyUser->text(), "skipper");
  EXPECT_EQ(f.EditProxyPassword->text(), "s3cret");
}

TEST_F(FrmBazUpdate, ClicksDuringTheFolderScanAreDropped) {
  Install({"1801"});
  TFormBaZUpdate& f = NewForm(Cd(), FInstalled);
  Click(f.ButtonDownloadUpdate);
  QueueClick(f.ButtonNext);
  f.ButtonNext->click();
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  EXPECT_TRUE(f.PanelCharts->isVisible()) << "a held click skipped the chart sets page";
  EXPECT_TRUE(f.ButtonNext->isEnabled());
}

TEST_F(FrmBazUpdate, ExecuteHandsTheChartFoldersBackOnOk) {
  Install({"1801"});
  std::string original = "/old/cd/", installed = "/old/charts/";
  // The wizard as the launcher runs it, answered by a user who applies the
  // demo disk and closes with OK.
  SetModalHook([&](QDialog& Dialog) {
    auto& f = static_cast<TFormBaZUpdate&>(Dialog);
    f.show();
    Click(f.ButtonUpdate);
    f.EditSource->setText(QString::fromStdString(Cd()));
    f.EditDest->setText(QString::fromStdString(FInstalled));
    f.EditUpdates->setText(QString::fromStdString(UpdateDisk()));
    Click(f.ButtonNext);
    Click(f.ButtonNext);
    Click(f.ButtonNext);
    if (!f.PanelResults->isVisible()) return int(mrCancel);
    Click(f.ButtonOk);
    return f.result();
  });
  EXPECT_TRUE(ExecuteUpdateWizard(original, installed, "/baz/"));
  SetModalHook({});
  EXPECT_EQ(original, Cd());
  EXPECT_EQ(installed, FInstalled);
  EXPECT_TRUE(FReports.empty()) << Shown();
}

}  // namespace
