#pragma once
// The update wizard: a start page with three actions (download and apply,
// download only, apply only), then the folders, the chart sets, the proxy
// (when downloading), the summary, the progress of the run and its results.
// The work is the window-free update run and download; the window only
// chooses, shows and answers.

#include <memory>
#include <string>

#include "BrowseFolder.h"
#include "ExtForm.h"
#include "UpdatePages.h"
#include "UpdateSettings.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class TBusyCheck;
class TChartListView;
class TCopyAnimation;
class TNumberEdit;
class TProgressBarEx;
class TProgressPageView;
class TUpdateDownload;
class TUpdateProcessor;
class TWizardFrame;
struct TDownloadResult;
struct TProxySettings;

class TFormBaZUpdate : public TExtForm {
  Q_OBJECT
 public:
  // Original and Installed: the chart folders the wizard starts with and
  // hands back on OK. The launcher's updates folder is not read: the
  // updates field of a new wizard starts empty. Picture: the main window's small picture
  // unless another is given.
  TFormBaZUpdate(const std::string& Original, const std::string& Installed,
                 const std::string& /*Updates*/, const QImage& Picture = QImage(),
                 QWidget* Parent = nullptr);
  // Stores the proxy settings; the run's work folder is gone by then.
  ~TFormBaZUpdate() override;

  // Shows the page whose flag is set, the start page when none is.
  void ShowPage(bool Settings, bool Charts, bool Results, bool Progress, bool Update, bool FTP);
  // Shows Page with its buttons and texts; it becomes the current page.
  void ShowPage(TUpdatePage Page);
  TUpdatePage Page() const { return FPage; }

  void ButtonDownloadUpdateClick();
  void ButtonDownloadClick();
  void ButtonUpdateClick();
  void ButtonNextClick();
  void ButtonPrevClick();
  void ButtonBrowseSourceClick();
  void ButtonBrowseDestClick();
  void ButtonBrowseUpdatesClick();
  void ComboBoxProxyChange();
  void LabelProxyLoginClick();
  // Whether the window may close now (the close box, Cancel, OK).
  bool FormCloseQuery();

  bool CheckSettingsPage();
  bool CheckChartsPage();
  bool CheckFTPPage();
  void FillChartList();

  TUpdateMode Mode() const { return FMode; }
  bool Downloading() const;
  bool Applying() const;
  const std::string& OriginalFolder() const { return FOriginalFolder; }
  const std::string& InstalledFolder() const { return FInstalledFolder; }
  const std::string& UpdatesFolder() const { return FUpdatesFolder; }
  TUpdateProcessor& Processor() { return *FProcessor; }
  TUpdateDownload& Download() { return *FDownload; }
  // The proxy settings as the page shows them.
  TProxySettings ProxySettings() const;
  // A run (download, application or packing) is under way.
  bool Running() const;

  QPushButton* ButtonDownloadUpdate = nullptr;
  QPushButton* ButtonDownload = nullptr;
  QPushButton* ButtonUpdate = nullptr;
  QPushButton* ButtonPrev = nullptr;
  QPushButton* ButtonNext = nullptr;
  QPushButton* ButtonCancel = nullptr;
  QFrame* PanelSettings = nullptr;
  QLabel* LabelSettingsInfo = nullptr;
  QLabel* LabelLocations = nullptr;
  QFrame* PanelSettingsLocation = nullptr;
  QFrame* PanelEditSource = nullptr;
  QLabel* LabelSource = nullptr;
  QLineEdit* EditSource = nullptr;
  QPushButton* ButtonBrowseSource = nullptr;
  QFrame* PanelEditDest = nullptr;
  QLabel* LabelDest = nullptr;
  QLineEdit* EditDest = nullptr;
  QPushButton* ButtonBrowseDest = nullptr;
  QFrame* PanelEditUpdates = nullptr;
  QLabel* LabelUpdates = nullptr;
  QLineEdit* EditUpdates = nullptr;
  QPushButton* ButtonBrowseUpdates = nullptr;
  QFrame* PanelCharts = nullptr;
  QLabel* LabelChartInfo = nullptr;
  TChartListView* ListViewCharts = nullptr;
  QFrame* PanelFTP = nullptr;
  QLabel* LabelFTPInfo = nullptr;
  QLabel* LabelProxySettings = nullptr;
  QLabel* LabelProxyType = nullptr;
  QComboBox* ComboBoxProxy = nullptr;
  QCheckBox* CheckBoxPassive = nullptr;
  QLabel* LabelProxyServer = nullptr;
  QLineEdit* EditProxyServer = nullptr;
  QLabel* LabelProxyPort = nullptr;
  TNumberEdit* EditProxyPort = nullptr;
  QCheckBox* CheckBoxProxyLogin = nullptr;
  QLabel* LabelProxyLogin = nullptr;
  QLabel* LabelProxyUser = nullptr;
  QLineEdit* EditProxyUser = nullptr;
  QLabel* LabelProxyPassword = nullptr;
  QLineEdit* EditProxyPassword = nullptr;
  QFrame* PanelUpdate = nullptr;
  QLabel* LabelUpdateInfo = nullptr;
  QPlainTextEdit* MemoUpdateOptions = nullptr;
  QFrame* PanelProgress = nullptr;
  TCopyAnimation* Animate = nullptr;
  QLabel* LabelSingle = nullptr;
  TProgressBarEx* ProgressBarSingle = nullptr;
  QLabel* LabelEntire = nullptr;
  TProgressBarEx* ProgressBarEntire = nullptr;
  QFrame* PanelResults = nullptr;
  QPlainTextEdit* MemoResults = nullptr;
  QPushButton* ButtonOk = nullptr;
  QFrame* PanelDebug = nullptr;

 public slots:
  void done(int Result) override;

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;
  void keyPressEvent(QKeyEvent* Event) override;

 private:
  void CreateControls();
  void CreateActionButtons();
  void CreateSettingsPage();
  QFrame* CreateFolderField(QWidget* Parent, QLabel*& Label, QLineEdit*& Edit,
                            QPushButton*& Browse);
  void CreateChartsPage();
  void CreateFTPPage();
  void CreateUpdatePage();
  void CreateProgressPage();
  void CreateResultsPage();
  void SetTexts();
  void LoadProxySettings();
  // Enables the user name and password as the login box says.
  void ProxyLoginChanged();
  // Gives the client the way to the server that the proxy page shows; the
  // client must not be connected.
  void ApplyProxyPage();
  void ChooseAction(TUpdateMode Mode);
  // The folders of the mode and an empty chart-set list.
  void FillSettingsPage();
  void ListViewChartsMouseDown(QPoint Position);
  void ListViewChartsMouseUp(QPoint Position);
  // Busy: the check under way, whose boxes the user answers.
  bool MakeUpdatesFolder(const std::string& Folder, TBusyCheck& Busy);

  // The run (FrmBazUpdateRun.cpp).
  void StartRun();
  void RunApplyOnly();
  void DownloadFinished(const TDownloadResult& Result);
  void ShowResults();
  // After a failure or an error: the window is usable again on Page.
  void RestoreAfterFailure(bool ProxyPage);

  TUpdateMode FMode = TUpdateMode::DownloadAndApply;
  std::string FOriginalFolder, FInstalledFolder, FUpdatesFolder;
  TUpdatePage FPage = TUpdatePage::Start;
  TBrowseFolderDialog FBrowseFolderDialog;
  // Outlives the run's view, which shows through it.
  std::unique_ptr<TWizardFrame> FFrame;
  std::unique_ptr<TProgressPageView> FView;
  std::unique_ptr<TUpdateProcessor> FProcessor;
  std::unique_ptr<TUpdateDownload> FDownload;
};

// Shows the wizard modally; on OK hands the original and the installed
// chart folders back and returns true. Updates is passed in only.
bool ExecuteUpdateWizard(std::string& Original, std::string& Installed, const std::string& Updates,
                         const QImage& Picture = QImage());
