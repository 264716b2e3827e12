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
  ButtonPrev->setText(TableText(txtBack));
  if (License || Folders || Charts) {
    ButtonNext->setText(QString::fromStdString(GetText(txtNext)));
    FNextHandler = &TFormInstall::GoNext;
    ButtonPrev->setEnabled(!License);
  }
  if (Summary) {
    ButtonNext->setText(QString::fromStdString(GetText(txtInstall)));
    FNextHandler = &TFormInstall::RunInstallation;
    ButtonPrev->setEnabled(true);
  }
  // Next on the chart sets page follows the selection; elsewhere it is free.
  if (Charts)
    UpdateChartStatus();
  else
    ButtonNext->setEnabled(true);
  PanelLicense->setVisible(License);
  PanelPaths->setVisible(Folders);
  PanelInstall->setVisible(Summary);
  PanelCharts->setVisible(Charts);
}

void TFormInstall::ButtonNextClick() {
  (this->*FNextHandler)();
}

void TFormInstall::GoNext() {
  if (PanelLicense->isVisible()) {
    ShowPage(false, true, false, false);
  } else if (PanelPaths->isVisible()) {
    if (CheckFolders()) ShowPage(false, false, false, true);
  } else if (PanelCharts->isVisible()) {
    if (CheckSelection()) ShowPage(false, false, true, false);
  }
}

void TFormInstall::ButtonPrevClick() {
  if (PanelPaths->isVisible()) {
    ShowPage(true, false, false, false);
  } else if (PanelCharts->isVisible()) {
    ShowPage(false, true, false, false);
  } else if (PanelInstall->isVisible()) {
    ShowPage(false, false, false, true);
  }
}

bool TFormInstall::CheckFolders() {
  TBusyCheck busy(this, ButtonNext);
  if (EditSource->text().isEmpty()) {
    Warn(GetText(txtNoOriginalFolder));
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
    Warn(GetText(txtNoOriginalCharts) + std::to_string(ChartEdition) + ".");
    return false;
  }
  if (EditDest->text().isEmpty()) {
    EditDest->setFocus();
    Warn(GetText(txtInvalidInstallFolder));
    return false;
  }
  FDestFolder = FullFolderName(EditDest->text().toStdString());
  if (!DirectoryExists(FDestFolder)) {
    EditDest->setFocus();
    if (ShowMsgBox(FDestFolder + "\r\r" + GetText(txtMakeFolder), mtConfirmation, {mbYes, mbNo}) !=
        mrYes)
      return false;
    if (!CreateFolders(FDestFolder)) {
      Warn(FDestFolder + "\r\r" + GetText(txtFolderNotCreated));
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
