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
#include "WizardFrame.h"

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
  ShowPage(Settings   ? TUpdatePage::Settings
           : Charts   ? TUpdatePage::Charts
           : Results  ? TUpdatePage::Results
           : Progress ? TUpdatePage::Progress
           : Update   ? TUpdatePage::Summary
           : FTP      ? TUpdatePage::Proxy
                      : TUpdatePage::Start);
}

void TFormBaZUpdate::ShowPage(TUpdatePage Page) {
  FPage = Page;
  PanelSettings->setVisible(Page == TUpdatePage::Settings);
  PanelCharts->setVisible(Page == TUpdatePage::Charts);
  PanelFTP->setVisible(Page == TUpdatePage::Proxy);
  PanelUpdate->setVisible(Page == TUpdatePage::Summary);
  PanelResults->setVisible(Page == TUpdatePage::Results);
  // The run shows the progress page itself.
  PanelProgress->hide();
  const bool start = Page == TUpdatePage::Start;
  const bool run = Page == TUpdatePage::Progress || Page == TUpdatePage::Results;
  for (QPushButton* action : {ButtonDownloadUpdate, ButtonDownload, ButtonUpdate})
    action->setVisible(start);
  FFrame->ShowButtons(!start && !run, !start && !run, !run);
  const auto next = [this] { ButtonNextClick(); };
  switch (Page) {
    case TUpdatePage::Settings:
      FillSettingsPage();
      return FFrame->SetNext(txtNext, next);
    case TUpdatePage::Charts:
      LabelChartInfo->setText(FlowText(Applying() ? txtChartsInfoApply : txtChartsInfoDownload));
      return FFrame->SetNext(txtNext, next);
    case TUpdatePage::Proxy:
      LabelFTPInfo->setText(FlowText(txtProxyPageInfo));
      return FFrame->SetNext(txtNext, next);
    case TUpdatePage::Summary:
      return FFrame->SetNext(txtUpdate, [this] { StartRun(); });
    case TUpdatePage::Start:
    case TUpdatePage::Progress:
    case TUpdatePage::Results:
      return;
  }
}

void TFormBaZUpdate::FillSettingsPage() {
  const TTextId info = FMode == TUpdateMode::DownloadAndApply ? txtSettingsInfoDownloadApply
                       : FMode == TUpdateMode::DownloadOnly   ? txtSettingsInfoDownload
                                                              : txtSettingsInfoApply;
  LabelSettingsInfo->setText(FlowText(info));
  EditSource->setText(QString::fromStdString(FOriginalFolder));
  EditDest->setText(QString::fromStdString(FInstalledFolder));
  EditUpdates->setText(QString::fromStdString(FUpdatesFolder));
  // The chart-set list is built anew by the next Next.
  ListViewCharts->clear();
  FProcessor->ChartSets().clear();
}

void TFormBaZUpdate::ChooseAction(TUpdateMode Mode) {
  FMode = Mode;
  FProcessor->SetMode(Mode);
  ShowPage(TUpdatePage::Settings);
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
  switch (FPage) {
    case TUpdatePage::Settings:
      if (!CheckSettingsPage()) return;
      break;
    case TUpdatePage::Charts:
      if (!CheckChartsPage()) return;
      break;
    case TUpdatePage::Proxy:
      if (!CheckFTPPage()) return;
      break;
    case TUpdatePage::Summary:
      return StartRun();
    case TUpdatePage::Start:
    case TUpdatePage::Progress:
    case TUpdatePage::Results:
      return;
  }
  ShowPage(NextPage(FPage, FMode));
}

void TFormBaZUpdate::ButtonPrevClick() {
  const TUpdatePage back = PrevPage(FPage, FMode);
  if (back == FPage) return;
  ShowPage(back);
  if (back == TUpdatePage::Start) setWindowTitle(TableText(txtChooseAction));
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
  TBusyCheck busy = FFrame->Check();
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
