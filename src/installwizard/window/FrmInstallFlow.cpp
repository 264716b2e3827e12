// The wizard's pages and the checks between them.
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <filesystem>

#include "BusyCheck.h"
#include "ChartListText.h"
#include "ChartListView.h"
#include "FileAttributes.h"
#include "FrmInstall.h"
#include "FrmReplace.h"
#include "Languages.h"
#include "MsgBox.h"
#include "Paths.h"
#include "Volumes.h"
#include "WizardControls.h"
#include "WizardFrame.h"

namespace {

void Warn(const std::string& Message) {
  ShowMsgBox(Message, mtWarning, {mbOK});
}

bool CreateFolders(const std::string& Folder) {
  std::error_code ec;
  std::filesystem::create_directories(Folder, ec);
  return DirectoryExists(Folder);
}

}  // namespace

void TFormInstall::ShowPage(bool License, bool Folders, bool Summary, bool Charts) {
  ShowPage(License   ? TInstallPage::License
           : Folders ? TInstallPage::Folders
           : Summary ? TInstallPage::Summary
           : Charts  ? TInstallPage::Charts
                     : TInstallPage::Run);
}

void TFormInstall::ShowPage(TInstallPage Page) {
  FPage = Page;
  PanelLicense->setVisible(Page == TInstallPage::License);
  PanelPaths->setVisible(Page == TInstallPage::Folders);
  PanelInstall->setVisible(Page == TInstallPage::Summary);
  PanelCharts->setVisible(Page == TInstallPage::Charts);
  if (Page == TInstallPage::Run) return;
  // On the summary Next starts the run.
  if (Page == TInstallPage::Summary)
    FFrame->SetNext(txtInstall, [this] { RunInstallation(); });
  else
    FFrame->SetNext(txtNext, [this] { GoNext(); });
  ButtonPrev->setEnabled(Page != TInstallPage::License);
  // Next on the chart sets page follows the selection; elsewhere it is free.
  if (Page == TInstallPage::Charts)
    UpdateChartStatus();
  else
    ButtonNext->setEnabled(true);
}

void TFormInstall::GoNext() {
  switch (FPage) {
    case TInstallPage::License:
      break;
    case TInstallPage::Folders:
      if (!CheckFolders()) return;
      break;
    case TInstallPage::Charts:
      if (!CheckSelection()) return;
      break;
    case TInstallPage::Summary:
    case TInstallPage::Run:
      return;
  }
  ShowPage(NextPage(FPage));
}

void TFormInstall::ButtonPrevClick() {
  const TInstallPage back = PrevPage(FPage);
  if (back != FPage) ShowPage(back);
}

bool TFormInstall::CheckFolders() {
  TBusyCheck busy = FFrame->Check();
  if (EditSource->text().isEmpty()) {
    busy.MsgBox(GetText(txtNoOriginalFolder), mtWarning, {mbOK});
    EditSource->setFocus();
    return false;
  }
  ListViewCharts->clear();
  FChartSets.clear();
  // The window keeps painting while a slow CD is read; clicks made meanwhile
  // are dropped, so neither they nor Back or Cancel cut into the scan.
  FChartSets = FindChartSets(ExcludeTrailingPathDelimiter(EditSource->text().toStdString()),
                             FDestFolder, TBusyCheck::Pump);
  if (FChartSets.empty()) {
    busy.MsgBox(GetText(txtNoOriginalCharts) + std::to_string(ChartEdition) + ".", mtWarning,
                {mbOK});
    return false;
  }
  if (EditDest->text().isEmpty()) {
    EditDest->setFocus();
    busy.MsgBox(GetText(txtInvalidInstallFolder), mtWarning, {mbOK});
    return false;
  }
  FDestFolder = FullFolderName(EditDest->text().toStdString());
  if (!DirectoryExists(FDestFolder)) {
    EditDest->setFocus();
    if (busy.MsgBox(FDestFolder + "\r\r" + GetText(txtMakeFolder), mtConfirmation, {mbYes, mbNo}) !=
        mrYes)
      return false;
    if (!CreateFolders(FDestFolder)) {
      busy.MsgBox(FDestFolder + "\r\r" + GetText(txtFolderNotCreated), mtWarning, {mbOK});
      return false;
    }
  }
  FillChartList();
  return true;
}

bool TFormInstall::CheckSelection() {
  // The free space of the volume that holds the destination; a volume that
  // cannot be read counts as full rather than as roomy.
  const int64_t free = Volumes().FreeSpace(FDestFolder);
  if (free < FSelectedSize) {
    Warn(InsufficientSpaceText(Volumes().MountPointOf(FDestFolder)));
    return false;
  }
  FillSummary();
  return true;
}

void TFormInstall::FillSummary() {
  MemoInstallOptions->clear();
  for (const std::string& line : InstallSummaryLines(FChartSets, FDestFolder))
    MemoInstallOptions->appendPlainText(QString::fromStdString(line));
}
