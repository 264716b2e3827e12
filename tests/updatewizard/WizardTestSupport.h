#pragma once
// The update wizard's window in tests: shown offscreen, its message boxes
// answered through the recorder, what reaches the exception report kept,
// the update server named in the settings as the wizard reads it, and the
// steps a user takes from page to page.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "AppNotify.h"
#include "ChartListView.h"
#include "DownloadTestSupport.h"
#include "FrmBazUpdate.h"
#include "MsgBoxHook.h"
#include "ProxySettings.h"
#include "TestApplication.h"

class TWizardFixture : public TDownloadFixture {
 protected:
  void SetUp() override {
    TDownloadFixture::SetUp();
    FRecorder = std::make_unique<TMsgBoxRecorder>();
    FPreviousHandler = SetApplicationExceptionHandler(
        [this](QObject*, const TExceptionInfo& Info) { FReports.push_back(Info); });
  }
  void TearDown() override {
    FForm.reset();
    SetApplicationExceptionHandler(FPreviousHandler);
    FRecorder.reset();
    TDownloadFixture::TearDown();
  }

  TFormBaZUpdate& NewForm(const std::string& Original = "", const std::string& Installed = "") {
    FForm = std::make_unique<TFormBaZUpdate>(Original, Installed, "/third/");
    FForm->show();
    return *FForm;
  }
  static void Click(QWidget* Widget) { QTest::mouseClick(Widget, Qt::LeftButton); }
  TFormBaZUpdate& Form() { return *FForm; }

  // The update server as the wizard finds it in the settings.
  void PointSettingsAtServer(const std::string& Host, int Port) {
    RegWriteString(rkUser, "Update", "Server host", Host);
    RegWriteInteger(rkUser, "Update", "Server port", Port);
  }

  // From the start page through the settings page of Mode with the demo CD
  // and the installed folder (or Updates) to the chart sets.
  void ToChartsPage(TUpdateMode Mode, const std::string& Updates = "") {
    QPushButton* action = Mode == TUpdateMode::DownloadAndApply ? FForm->ButtonDownloadUpdate
                          : Mode == TUpdateMode::DownloadOnly   ? FForm->ButtonDownload
                                                                : FForm->ButtonUpdate;
    Click(action);
    FForm->EditSource->setText(QString::fromStdString(Cd()));
    FForm->EditDest->setText(QString::fromStdString(FInstalled));
    if (Mode != TUpdateMode::DownloadAndApply)
      FForm->EditUpdates->setText(QString::fromStdString(Updates));
    Click(FForm->ButtonNext);
    ASSERT_TRUE(FForm->PanelCharts->isVisible()) << Shown();
  }
  // On to the summary page (through the proxy page when downloading).
  void ToUpdatePage() {
    Click(FForm->ButtonNext);
    if (FForm->PanelFTP->isVisible()) Click(FForm->ButtonNext);
    ASSERT_TRUE(FForm->PanelUpdate->isVisible()) << Shown();
  }
  // Confirms the summary and waits until the run has left the progress page.
  void RunAndWait(int TimeoutMs = 90000) {
    Click(FForm->ButtonNext);
    RunUntil([&] { return !FForm->Running() && !FForm->PanelProgress->isVisible(); }, TimeoutMs);
    // What the end of the run leaves for the window to do comes next.
    PumpFor(50);
  }

  std::vector<std::string> Lines(const QPlainTextEdit* Memo) const {
    std::vector<std::string> lines;
    for (const QString& line : Memo->toPlainText().split('\n')) lines.push_back(line.toStdString());
    return lines;
  }
  std::vector<std::string> Messages() const {
    std::vector<std::string> texts;
    for (const TMsgBoxRequest& r : FRecorder->Shown()) texts.push_back(r.Message);
    return texts;
  }
  std::string Shown() const {
    std::string all;
    for (const std::string& m : Messages()) all += "[" + m + "] ";
    for (const TExceptionInfo& e : FReports) all += "{" + e.ClassName + ": " + e.Message + "} ";
    return all;
  }
  // The wizard is closed with Result.
  bool ClosedWith(int Result) const { return !FForm->isVisible() && FForm->result() == Result; }

  std::unique_ptr<TMsgBoxRecorder> FRecorder;
  std::vector<TExceptionInfo> FReports;
  TExceptionHandler FPreviousHandler;
  std::unique_ptr<TFormBaZUpdate> FForm;
};
