#pragma once
// The installation wizard: licence, folders, chart sets, summary; then the
// installation run on the same window.

#include <cstdint>
#include <memory>
#include <string>

#include "BrowseFolder.h"
#include "ChartInstaller.h"
#include "ExtForm.h"
#include "InstallPages.h"
#include "QvDigitalCharts.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QFrame;
class TChartListView;
class TCopyAnimation;
class TProgressBarEx;
class TWizardFrame;

class TFormInstall : public TExtForm {
  Q_OBJECT
 public:
  // Picture: the main window's small picture, drawn in the window's corner.
  TFormInstall(const std::string& Source, const std::string& Dest, const QImage& Picture = QImage(),
               QWidget* Parent = nullptr);
  ~TFormInstall() override;

  // Shows the page whose flag is set; with none, no page (the run).
  void ShowPage(bool License, bool Folders, bool Summary, bool Charts);
  // Shows Page with its buttons; it becomes the current page.
  void ShowPage(TInstallPage Page);
  TInstallPage Page() const { return FPage; }
  void GoNext();
  void ButtonPrevClick();
  void ButtonBrowseSourceClick();
  void ButtonBrowseDestClick();
  bool CheckFolders();
  bool CheckSelection();
  void FillSummary();
  void FillChartList();
  void UpdateChartStatus();
  void RunInstallation();
  TReplaceAnswer AskReplace(const std::string& Message, const std::string& ExistingFile,
                            const std::string& NewFile);

  const TChartSetsList& ChartSets() const { return FChartSets; }
  const std::string& DestFolder() const { return FDestFolder; }
  int SelectedCount() const { return FSelectedCount; }
  int64_t SelectedSize() const { return FSelectedSize; }
  bool Running() const;

  QPushButton* ButtonPrev = nullptr;
  QPushButton* ButtonNext = nullptr;
  QPushButton* ButtonCancel = nullptr;
  QFrame* PanelLicense = nullptr;
  QFrame* PanelPaths = nullptr;
  QFrame* PanelCharts = nullptr;
  QFrame* PanelInstall = nullptr;
  QFrame* PanelProgress = nullptr;
  QLabel* LabelLicenseTitle = nullptr;
  QLabel* LabelLicenseAgreement = nullptr;
  QLabel* LabelLicenseText = nullptr;
  QLabel* LabelPathInfo = nullptr;
  QLabel* LabelLocations = nullptr;
  QLabel* LabelSource = nullptr;
  QLineEdit* EditSource = nullptr;
  QPushButton* ButtonBrowseSource = nullptr;
  QLabel* LabelDest = nullptr;
  QLineEdit* EditDest = nullptr;
  QPushButton* ButtonBrowseDest = nullptr;
  QLabel* LabelChartInfo = nullptr;
  TChartListView* ListViewCharts = nullptr;
  QLabel* LabelChartStatus = nullptr;
  QLabel* LabelOptionsInfo = nullptr;
  QPlainTextEdit* MemoInstallOptions = nullptr;
  TCopyAnimation* Animate = nullptr;
  QLabel* LabelProgressSingle = nullptr;
  TProgressBarEx* ProgressBarSingle = nullptr;
  QLabel* LabelProgressEntire = nullptr;
  TProgressBarEx* ProgressBarEntire = nullptr;

 protected:
  void reject() override;
  void closeEvent(QCloseEvent* Event) override;

 private:
  void CreateControls();
  void CreateLicensePage();
  void CreatePathsPage();
  void CreateChartsPage();
  void CreateInstallPage();
  void CreateProgressPanel();
  void SetTexts();
  void ListViewChartsMouseDown(QPoint Position);
  void ListViewChartsMouseUp(QPoint Position);

  TBrowseFolderDialog FBrowseFolderDialog;
  TChartSetsList FChartSets;
  std::string FDestFolder;
  int FSelectedCount = 0;
  int64_t FSelectedSize = 0;
  bool FReplaceAll = false;
  bool FCancelled = false;
  TInstallPage FPage = TInstallPage::License;
  std::unique_ptr<TWizardFrame> FFrame;
};

// Shows the wizard modally; on OK hands the two folders back and returns true.
bool ExecuteInstallWizard(std::string& Source, std::string& Dest, const QImage& Picture = QImage());
