// The update wizard's pages, the three actions, Next and Back, and the
// checks between the pages.
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <filesystem>

#include "BusyCheck.h"
#include "ChartListDraw.h"
#include "ChartListView.h"
#include "FileAttributes.h"
#include "FrmBazUpdate.h"
#include "Languages.h"
#include "MsgBox.h"
#include "UpdateDownload.h"
#include "UpdateProcessor.h"
#include "Volumes.h"
#include "WizardControls.h"

namespace {

void Warn(const std::string& Message) {
  ShowMsgBox(Message, mtWarning, {mbOK});
}

}  // namespace

bool TFormBaZUpdate::Downloading() const {
  return ::Downloading(FMode);
}

bool TFormBaZUpdate::Applying() const {
  return ::Applying(FMode);
}

void TFormBaZUpdate::ShowPage(bool Settings, bool Charts, bool Results, bool Progress, bool Update,
                              bool FTP) {
  PanelSettings->setVisible(Settings);
  PanelCharts->setVisible(Charts);
  PanelResults->setVisible(Results);
  PanelProgress->setVisible(Progress);
  PanelUpdate->setVisible(Update);
  PanelFTP->setVisible(FTP);
  for (QPushButton* button : {ButtonPrev, ButtonNext, ButtonCancel}) button->show();
  for (QPushButton* action : {ButtonDownloadUpdate, ButtonDownload, ButtonUpdate}) action->hide();
  if (Settings) {
    const TTextId info = FMode == TUpdateMode::DownloadAndApply ? txtSettingsInfoDownloadApply
                         : FMode == TUpdateMode::DownloadOnly   ? txtSettingsInfoDownload
                                                                : txtSettingsInfoApply;
    LabelSettingsInfo->setText(FlowText(info));
    ButtonNext->setText(TableText(txtNext));
    EditSource->setText(QString::fromStdString(FOriginalFolder));
    EditDest->setText(QString::fromStdString(FInstalledFolder));
    EditUpdates->setText(QString::fromStdString(FUpdatesFolder));
    // The chart-set list is built anew by the next Next.
    ListViewCharts->clear();
    FProcessor->ChartSets().clear();
  }
  if (Charts) {
    LabelChartInfo->setText(FlowText(Applying() ? txtChartsInfoApply : txtChartsInfoDownload));
    ButtonNext->setText(TableText(txtNext));
  }
  if (FTP) {
    LabelFTPInfo->setText(FlowText(txtProxyPageInfo));
    ButtonNext->setText(TableText(txtNext));
  }
  if (Update) ButtonNext->setText(TableText(txtUpdate));
  if (Progress || Results) {
    for (QPushButton* button : {ButtonPrev, ButtonNext, ButtonCancel}) button->hide();
  }
  if (!(Settings || Charts || Results || Progress || Update || FTP)) {
    for (QPushButton* action : {ButtonDownloadUpdate, ButtonDownload, ButtonUpdate}) action->show();
    ButtonPrev->hide();
    ButtonNext->hide();
    ButtonCancel->show();
  }
  // The run shows the progress page itself.
  PanelProgress->hide();
}

void TFormBaZUpdate::ChooseAction(TUpdateMode Mode) {
  FMode = Mode;
  FProcessor->SetMode(Mode);
  ShowPage(true, false, false, false, false, false);
  PanelEditSource->setVisible(Applying());
  PanelEditDest->setVisible(Applying());
  PanelEditUpdates->setVisible(Mode != TUpdateMode::DownloadAndApply);
  switch (Mode) {
    case TUpdateMode::DownloadAndApply:
      setWindowTitle(TableText(txtDownloadApplyCaption));
      break;
    case TUpdateMode::DownloadOnly:
      LabelUpdates->setText(TableText(txtUpdatesFolderDownload));
      // Where the floppy drive was: the first removable volume, every time.
      EditUpdates->setText(QString::fromStdString(Volumes().FirstRemovableMountPoint()));
      setWindowTitle(TableText(txtDownloadCaption));
      break;
    case TUpdateMode::ApplyOnly:
      LabelUpdates->setText(TableText(txtUpdatesFolderApply));
      EditUpdates->setText(QString::fromStdString(FUpdatesFolder));
      setWindowTitle(TableText(txtApplyCaption));
      break;
  }
}

void TFormBaZUpdate::ButtonDownloadUpdateClick() {
  ChooseAction(TUpdateMode::DownloadAndApply);
}

void TFormBaZUpdate::ButtonDownloadClick() {
  ChooseAction(TUpdateMode::DownloadOnly);
}

void TFormBaZUpdate::ButtonUpdateClick() {
  ChooseAction(TUpdateMode::ApplyOnly);
}

void TFormBaZUpdate::ButtonNextClick() {
  if (PanelSettings->isVisible()) {
    if (CheckSettingsPage()) ShowPage(false, true, false, false, false, false);
  } else if (PanelCharts->isVisible()) {
    if (CheckChartsPage()) ShowPage(false, false, false, false, !Downloading(), Downloading());
  } else if (PanelFTP->isVisible()) {
    if (CheckFTPPage()) ShowPage(false, false, false, false, true, false);
  } else if (PanelUpdate->isVisible()) {
    StartRun();
  }
}

void TFormBaZUpdate::ButtonPrevClick() {
  if (PanelSettings->isVisible()) {
    ShowPage(false, false, false, false, false, false);
    setWindowTitle(TableText(txtChooseAction));
  } else if (PanelCharts->isVisible()) {
    ShowPage(true, false, false, false, false, false);
  } else if (PanelFTP->isVisible()) {
    ShowPage(false, true, false, false, false, false);
  } else if (PanelUpdate->isVisible()) {
    // The proxy page belongs to the download modes only.
    ShowPage(false, !Downloading(), false, false, false, Downloading());
  }
}

void TFormBaZUpdate::ButtonBrowseSourceClick() {
  BrowseIntoEdit(FBrowseFolderDialog, this, txtOriginalFolder, bfDirMustExist | bfPathMustExist,
                 EditSource);
}

void TFormBaZUpdate::ButtonBrowseDestClick() {
  BrowseIntoEdit(FBrowseFolderDialog, this, txtInstallFolder, bfDirMustExist | bfPathMustExist,
                 EditDest);
}

void TFormBaZUpdate::ButtonBrowseUpdatesClick() {
  BrowseIntoEdit(FBrowseFolderDialog, this, txtUpdatesFolder, bfDirMustExist | bfPathMustExist,
                 EditUpdates);
}

bool TFormBaZUpdate::MakeUpdatesFolder(const std::string& Folder, TBusyCheck& Busy) {
  if (DirectoryExists(Folder)) return true;
  EditUpdates->setFocus();
  if (Busy.MsgBox(Folder + "\r\r" + GetText(txtMakeFolder), mtConfirmation, {mbYes, mbNo}) != mrYes)
    return false;
  std::error_code ec;
  std::filesystem::create_directories(Folder, ec);
  if (DirectoryExists(Folder)) return true;
  Busy.MsgBox(Folder + "\r\r" + GetText(txtFolderNotCreated), mtWarning, {mbOK});
  return false;
}

bool TFormBaZUpdate::CheckSettingsPage() {
  TBusyCheck busy(this, ButtonNext);
  TSettingsCheck check =
      CheckSettingsFolders(FMode, EditSource->text().toStdString(), EditDest->text().toStdString(),
                           EditUpdates->text().toStdString(), TBusyCheck::Pump);
  if (!check.Ok) {
    busy.MsgBox(check.Warning, mtWarning, {mbOK});
    if (check.Focus == TSettingsField::Source) EditSource->setFocus();
    if (check.Focus == TSettingsField::Dest) EditDest->setFocus();
    if (check.Focus == TSettingsField::Updates) EditUpdates->setFocus();
    return false;
  }
  // The downloads need a folder to be packed into; one that is not there
  // yet is made when the user agrees.
  if (FMode == TUpdateMode::DownloadOnly && !MakeUpdatesFolder(check.UpdatesFolder, busy))
    return false;
  if (Applying()) {
    FOriginalFolder = check.OriginalFolder;
    FInstalledFolder = check.InstalledFolder;
  }
  if (FMode != TUpdateMode::DownloadAndApply) FUpdatesFolder = check.UpdatesFolder;
  FProcessor->SetFolders(FOriginalFolder, FInstalledFolder, FUpdatesFolder);
  FProcessor->SetChartSets(std::move(check.ChartSets));
  FillChartList();
  return true;
}

void TFormBaZUpdate::FillChartList() {
  ListViewCharts->clear();
  if (Applying()) {
    ListViewCharts->SetChartSets(&FProcessor->ChartSets());
    ListViewCharts->setColumnCount(3);
    ListViewCharts->setHeaderLabels(
        {TableText(txtChartsets), QStringLiteral("dpi"), TableText(txtSize)});
    ListViewCharts->setColumnWidth(0, 245);
    ListViewCharts->setColumnWidth(1, 65);
    ListViewCharts->setColumnWidth(2, 60);
    for (const auto& set : FProcessor->ChartSets()) {
      auto* item = new QTreeWidgetItem(ListViewCharts);
      item->setText(0, QString::fromStdString(set->Name));
      item->setText(2, QString::fromStdString(SizeText(TotalSize(*set))));
      item->setSizeHint(0, QSize(245, TChartListView::RowHeight));
    }
    return;
  }
  // The download catalogue: nine sets to tick.
  ListViewCharts->SetChartSets(nullptr);
  ListViewCharts->setColumnCount(1);
  ListViewCharts->setHeaderLabels({TableText(txtChartsets)});
  ListViewCharts->setColumnWidth(0, 370);
  for (const std::string& caption : ChartSetCatalogue()) {
    auto* item = new QTreeWidgetItem(ListViewCharts);
    item->setText(0, QString::fromStdString(caption));
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, Qt::Checked);
  }
}

void TFormBaZUpdate::ListViewChartsMouseDown(QPoint Position) {
  const int row = ListViewCharts->ClickedRow();
  if (!Applying() || row < 0) return;
  // The boxes move with the first column's right edge.
  const int x = Position.x() + ListViewCharts->header()->offset();
  ToggleHitResolution(*FProcessor->ChartSets()[size_t(row)],
                      ChartListHitTest(x, Position.y(), ListViewCharts->ImageTop(row),
                                       ListViewCharts->columnWidth(0)));
}

void TFormBaZUpdate::ListViewChartsMouseUp(QPoint) {
  ListViewCharts->viewport()->update();
}

bool TFormBaZUpdate::CheckChartsPage() {
  std::vector<std::string> checked;
  int count = 0;
  if (Applying()) {
    count = CountSelectedResolutions(FProcessor->ChartSets());
  } else {
    for (int i = 0; i < ListViewCharts->topLevelItemCount(); ++i) {
      const QTreeWidgetItem* item = ListViewCharts->topLevelItem(i);
      if (item->checkState(0) == Qt::Checked) checked.push_back(item->text(0).toStdString());
    }
    count = int(checked.size());
  }
  if (count == 0) {
    Warn(GetText(txtNoSetsSelected));
    return false;
  }
  FProcessor->SetCheckedCatalogue(checked);
  MemoUpdateOptions->clear();
  for (const std::string& line :
       UpdateSummaryLines(FMode, FOriginalFolder, FInstalledFolder, FUpdatesFolder,
                          FProcessor->ChartSets(), checked))
    MemoUpdateOptions->appendPlainText(QString::fromStdString(line));
  MemoUpdateOptions->moveCursor(QTextCursor::Start);
  return true;
}
