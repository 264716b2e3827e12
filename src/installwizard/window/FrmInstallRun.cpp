// The chart list of the wizard and the installation run.
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>

#include "ChartListText.h"
#include "ChartListView.h"
#include "CopyAnimation.h"
#include "FrmInstall.h"
#include "FrmReplace.h"
#include "Languages.h"
#include "MsgBox.h"
#include "ProgressBarEx.h"
#include "WizardFrame.h"
#include "WizardProgressView.h"

void TFormInstall::FillChartList() {
  ListViewCharts->clear();
  ListViewCharts->setColumnCount(3);
  ListViewCharts->setHeaderLabels({QString::fromStdString(GetText(txtChartsets)),
                                   QString::fromStdString(GetText(txtResolution)),
                                   QString::fromStdString(GetText(txtSize))});
  ListViewCharts->setColumnWidth(0, 245);
  ListViewCharts->setColumnWidth(1, 65);
  ListViewCharts->setColumnWidth(2, 60);
  for (const auto& set : FChartSets) {
    auto* item = new QTreeWidgetItem(ListViewCharts);
    item->setText(0, QString::fromStdString(set->Name));
    item->setSizeHint(0, QSize(245, TChartListView::RowHeight));
  }
  UpdateChartStatus();
}

void TFormInstall::UpdateChartStatus() {
  const TSelectionTotals totals = CountSelection(FChartSets);
  FSelectedCount = totals.Count;
  FSelectedSize = totals.Size;
  LabelChartStatus->setText(QString::fromStdString(ChartStatusText(totals.Count, totals.Size)));
  ButtonNext->setEnabled(FSelectedCount != 0 && FSelectedSize != 0);
}

void TFormInstall::ListViewChartsMouseDown(QPoint Position) {
  const int row = ListViewCharts->ClickedRow();
  if (row < 0) return;
  ToggleHitResolution(*FChartSets[size_t(row)],
                      ChartListHitTest(Position.x(), Position.y(), ListViewCharts->ImageTop(row)));
}

void TFormInstall::ListViewChartsMouseUp(QPoint) {
  ListViewCharts->viewport()->update();
  UpdateChartStatus();
}

TReplaceAnswer TFormInstall::AskReplace(const std::string& Message, const std::string&,
                                        const std::string&) {
  TFormReplace dialog(Message, true, true, this);
  switch (ExecModal(dialog)) {
    case mrYes:
      return TReplaceAnswer::Yes;
    case mrYesToAll:
      return TReplaceAnswer::YesToAll;
    case mrNo:
      return TReplaceAnswer::No;
    default:
      return TReplaceAnswer::Cancel;
  }
}

namespace {

// The installation run on the wizard's progress page; the replace question
// is the wizard's dialog.
class TInstallPageView : public TWizardProgressView<TInstallView> {
 public:
  TInstallPageView(TFormInstall& Form, const TWizardProgress& Controls)
      : TWizardProgressView(Controls), FForm(Form) {}
  TReplaceAnswer AskReplace(const std::string& Message, const std::string& ExistingFile,
                            const std::string& NewFile) override {
    return FForm.AskReplace(Message, ExistingFile, NewFile);
  }

 private:
  TFormInstall& FForm;
};

}  // namespace

void TFormInstall::RunInstallation() {
  FFrame->ShowButtons(false, false, false);
  ShowPage(TInstallPage::Run);
  PanelProgress->show();
  FFrame->SetAnimation(true);

  TInstallPageView view(*this, {Animate, LabelProgressSingle, ProgressBarSingle,
                                LabelProgressEntire, ProgressBarEntire});
  TChartInstaller installer(FChartSets, FDestFolder, view);

  TInstallResult result;
  try {
    // The window refuses to close while charts are written; on every way
    // out the hourglass and the animation end.
    TWizardFrame::TRun run(*FFrame);
    result = installer.RunInstallation();
  } catch (...) {
    // A failed run (a damaged archive, a full disk) gives the window back
    // on the summary with its buttons, so the user can go back, try again
    // or close; the application's handler then reports the error.
    PanelProgress->hide();
    FFrame->Restore();
    ShowPage(TInstallPage::Summary);
    throw;
  }
  FReplaceAll = installer.ReplaceAll();
  FCancelled = installer.Cancelled();

  PanelProgress->hide();
  const std::string message = InstalledSetsMessage(result);
  if (!message.empty()) ShowMsgBox(message, mtInformation, {mbOK});
  installer.PruneUpdateIndex();
  installer.RegisterChartSets(result);
  done(mrOk);
}
