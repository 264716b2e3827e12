// The update wizard's window: its controls, their places and texts, and
// what it keeps from one wizard to the next (the proxy settings).
#include "FrmBazUpdate.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ActionGlyphs.h"
#include "AppNotify.h"
#include "ChartListDraw.h"
#include "ChartListView.h"
#include "CopyAnimation.h"
#include "Languages.h"
#include "ProgressBarEx.h"
#include "ProgressPageView.h"
#include "ProxySettings.h"
#include "QvEditEx.h"
#include "UpdateDownload.h"
#include "UpdateProcessor.h"
#include "WizardControls.h"
#include "WizardFrame.h"

namespace {

QPlainTextEdit* NewMemo(QWidget* Parent, const QRect& Rect) {
  auto* memo = new QPlainTextEdit(Parent);
  memo->setGeometry(Rect);
  memo->setReadOnly(true);
  memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  return memo;
}

QPushButton* NewActionButton(QWidget* Parent, int Top, TActionGlyph Glyph) {
  QPushButton* button = NewButton(Parent, QRect(120, Top, 310, 64));
  button->setIcon(MakeActionGlyph(Glyph));
  button->setIconSize(QSize(40, 40));
  QFont font = button->font();
  font.setPixelSize(12);
  font.setBold(true);
  button->setFont(font);
  button->setStyleSheet("text-align: left; padding-left: 12px;");
  return button;
}

}  // namespace

TFormBaZUpdate::TFormBaZUpdate(const std::string& Original, const std::string& Installed,
                               const std::string&, const QImage& Picture, QWidget* Parent)
    : TExtForm(Parent), FOriginalFolder(Original), FInstalledFolder(Installed) {
  SetUpWizardWindow(*this, Picture);
  CreateControls();
  FView = std::make_unique<TProgressPageView>(
      PanelProgress,
      TWizardProgress{Animate, LabelSingle, ProgressBarSingle, LabelEntire, ProgressBarEntire},
      *FFrame);
  FProcessor = std::make_unique<TUpdateProcessor>(FMode, *FView);
  FDownload = std::make_unique<TUpdateDownload>(*FProcessor, *FView);
  FDownload->OnFinished = [this](const TDownloadResult& Result) { DownloadFinished(Result); };
  ListViewCharts->SetSizeOf(TotalSize);
  SetTexts();
  LoadProxySettings();
  ShowPage(TUpdatePage::Start);
}

TFormBaZUpdate::~TFormBaZUpdate() {
  // Stored whatever the outcome, as the page shows them.
  try {
    SaveProxySettings(ProxySettings());
  } catch (...) {
    HandleApplicationException(this, std::current_exception());
  }
  // The conversation and the run end before the view they show through.
  FDownload.reset();
  FProcessor.reset();
}

void TFormBaZUpdate::CreateControls() {
  CreateActionButtons();
  CreateSettingsPage();
  CreateChartsPage();
  CreateFTPPage();
  CreateUpdatePage();
  CreateProgressPage();
  CreateResultsPage();
  FFrame = std::make_unique<TWizardFrame>(*this, *Animate, [this] { ButtonPrevClick(); });
  ButtonPrev = FFrame->ButtonPrev;
  ButtonNext = FFrame->ButtonNext;
  ButtonCancel = FFrame->ButtonCancel;
}

void TFormBaZUpdate::CreateActionButtons() {
  ButtonDownloadUpdate = NewActionButton(this, 60, TActionGlyph::DownloadAndApply);
  ButtonDownload = NewActionButton(this, 140, TActionGlyph::Download);
  ButtonUpdate = NewActionButton(this, 220, TActionGlyph::Apply);
  connect(ButtonDownloadUpdate, &QPushButton::clicked, this,
          &TFormBaZUpdate::ButtonDownloadUpdateClick);
  connect(ButtonDownload, &QPushButton::clicked, this, &TFormBaZUpdate::ButtonDownloadClick);
  connect(ButtonUpdate, &QPushButton::clicked, this, &TFormBaZUpdate::ButtonUpdateClick);
}

QFrame* TFormBaZUpdate::CreateFolderField(QWidget* Parent, QLabel*& Label, QLineEdit*& Edit,
                                          QPushButton*& Browse) {
  auto* panel = new QFrame(Parent);
  panel->setFixedSize(390, 56);
  Label = NewLabel(panel, QRect(0, 4, 300, 16));
  Edit = new QLineEdit(panel);
  // Wide enough for "Durchsuchen...".
  Edit->setGeometry(0, 22, 282, 21);
  Browse = NewButton(panel, QRect(290, 20, 100, 25));
  Label->setBuddy(Edit);
  return panel;
}

void TFormBaZUpdate::CreateSettingsPage() {
  PanelSettings = NewWizardPage(this);
  LabelSettingsInfo = NewInfoLabel(PanelSettings, QRect(0, 0, 390, 76));
  LabelLocations = NewBoldLabel(PanelSettings, QRect(0, 96, 390, 18));
  // The fields of the mode stand one below the other, without gaps where
  // a field of another mode is hidden.
  PanelSettingsLocation = new QFrame(PanelSettings);
  PanelSettingsLocation->setGeometry(0, 118, 390, 200);
  auto* layout = new QVBoxLayout(PanelSettingsLocation);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);
  PanelEditSource =
      CreateFolderField(PanelSettingsLocation, LabelSource, EditSource, ButtonBrowseSource);
  PanelEditDest = CreateFolderField(PanelSettingsLocation, LabelDest, EditDest, ButtonBrowseDest);
  PanelEditUpdates =
      CreateFolderField(PanelSettingsLocation, LabelUpdates, EditUpdates, ButtonBrowseUpdates);
  for (QFrame* field : {PanelEditSource, PanelEditDest, PanelEditUpdates}) layout->addWidget(field);
  layout->addStretch(1);
  connect(ButtonBrowseSource, &QPushButton::clicked, this,
          &TFormBaZUpdate::ButtonBrowseSourceClick);
  connect(ButtonBrowseDest, &QPushButton::clicked, this, &TFormBaZUpdate::ButtonBrowseDestClick);
  connect(ButtonBrowseUpdates, &QPushButton::clicked, this,
          &TFormBaZUpdate::ButtonBrowseUpdatesClick);
}

void TFormBaZUpdate::CreateChartsPage() {
  PanelCharts = NewWizardPage(this);
  LabelChartInfo = NewInfoLabel(PanelCharts, QRect(0, 0, 390, 64));
  ListViewCharts = new TChartListView(PanelCharts);
  ListViewCharts->setGeometry(0, 74, 390, 242);
  connect(ListViewCharts, &TChartListView::MouseDown, this,
          &TFormBaZUpdate::ListViewChartsMouseDown);
  connect(ListViewCharts, &TChartListView::MouseUp, this, &TFormBaZUpdate::ListViewChartsMouseUp);
}

void TFormBaZUpdate::CreateFTPPage() {
  PanelFTP = NewWizardPage(this);
  LabelFTPInfo = NewInfoLabel(PanelFTP, QRect(0, 0, 390, 64));
  LabelProxySettings = NewBoldLabel(PanelFTP, QRect(0, 80, 390, 18));
  LabelProxyType = NewLabel(PanelFTP, QRect(0, 110, 90, 21));
  ComboBoxProxy = new QComboBox(PanelFTP);
  ComboBoxProxy->setGeometry(96, 108, 170, 23);
  CheckBoxPassive = new QCheckBox(PanelFTP);
  CheckBoxPassive->setGeometry(280, 110, 110, 21);
  LabelProxyServer = NewLabel(PanelFTP, QRect(0, 142, 90, 21));
  EditProxyServer = new QLineEdit(PanelFTP);
  EditProxyServer->setGeometry(96, 142, 170, 21);
  LabelProxyPort = NewLabel(PanelFTP, QRect(280, 142, 40, 21));
  EditProxyPort = new TNumberEdit(PanelFTP);
  EditProxyPort->setGeometry(322, 142, 66, 21);
  EditProxyPort->SetMin(1);
  EditProxyPort->SetMax(65535);
  CheckBoxProxyLogin = new QCheckBox(PanelFTP);
  CheckBoxProxyLogin->setGeometry(0, 182, 18, 21);
  LabelProxyLogin = NewLabel(PanelFTP, QRect(20, 182, 200, 21));
  LabelProxyLogin->installEventFilter(this);
  LabelProxyUser = NewLabel(PanelFTP, QRect(20, 214, 76, 21));
  EditProxyUser = new QLineEdit(PanelFTP);
  EditProxyUser->setGeometry(96, 214, 170, 21);
  LabelProxyPassword = NewLabel(PanelFTP, QRect(20, 246, 76, 21));
  EditProxyPassword = new QLineEdit(PanelFTP);
  EditProxyPassword->setGeometry(96, 246, 170, 21);
  EditProxyPassword->setEchoMode(QLineEdit::Password);
  LabelProxyType->setBuddy(ComboBoxProxy);
  LabelProxyServer->setBuddy(EditProxyServer);
  LabelProxyPort->setBuddy(EditProxyPort);
  LabelProxyUser->setBuddy(EditProxyUser);
  LabelProxyPassword->setBuddy(EditProxyPassword);
  connect(ComboBoxProxy, &QComboBox::activated, this, &TFormBaZUpdate::ComboBoxProxyChange);
  // A click on the box itself has toggled it as a click on its label does.
  connect(CheckBoxProxyLogin, &QCheckBox::clicked, this, &TFormBaZUpdate::ProxyLoginChanged);
}

void TFormBaZUpdate::CreateUpdatePage() {
  PanelUpdate = NewWizardPage(this);
  LabelUpdateInfo = NewInfoLabel(PanelUpdate, QRect(0, 0, 390, 48));
  MemoUpdateOptions = NewMemo(PanelUpdate, QRect(0, 58, 390, 258));
}

void TFormBaZUpdate::CreateProgressPage() {
  PanelProgress = NewWizardPage(this);
  const TWizardProgress progress = NewProgressControls(PanelProgress);
  Animate = progress.Animate;
  LabelSingle = progress.LabelSingle;
  ProgressBarSingle = progress.ProgressBarSingle;
  LabelEntire = progress.LabelEntire;
  ProgressBarEntire = progress.ProgressBarEntire;
}

void TFormBaZUpdate::CreateResultsPage() {
  PanelResults = NewWizardPage(this);
  MemoResults = NewMemo(PanelResults, QRect(0, 0, 390, 290));
  ButtonOk = NewButton(PanelResults, QRect(315, 295, 75, 25));
  ButtonOk->setText("OK");
  connect(ButtonOk, &QPushButton::clicked, this, [this] { done(mrOk); });
  // Kept from the original window, never shown.
  PanelDebug = NewWizardPage(this);
  NewMemo(PanelDebug, QRect(0, 0, 390, 320));
}

void TFormBaZUpdate::SetTexts() {
  setWindowTitle(TableText(txtChooseAction));
  ButtonDownloadUpdate->setText(TableText(txtDownloadAndApplyBaZ));
  ButtonDownload->setText(TableText(txtDownloadBaZ));
  ButtonUpdate->setText(TableText(txtApplyBaZ));
  for (QPushButton* browse : {ButtonBrowseSource, ButtonBrowseDest, ButtonBrowseUpdates})
    browse->setText(TableText(txtBrowse));
  CheckBoxPassive->setText(TableText(txtPasvMode));
  LabelDest->setText(TableText(txtInstalledChartFolder));
  LabelSource->setText(TableText(txtOriginalChartFolder));
  LabelLocations->setText(TableText(txtFileLocations));
  LabelUpdateInfo->setText(FlowText(txtUpdateSummaryInfo));
  LabelProxySettings->setText(TableText(txtProxySettings));
  LabelProxyType->setText(TableText(txtProxyType));
  LabelProxyServer->setText(TableText(txtProxyServerLabel));
  LabelProxyPort->setText(TableText(txtPort));
  LabelProxyLogin->setText(TableText(txtProxyLogin));
  LabelProxyUser->setText(TableText(txtUserName));
  LabelProxyPassword->setText(TableText(txtPassword));
  const QString socks = TableText(txtSocks);
  ComboBoxProxy->addItems({TableText(txtProxyNone), TableText(txtProxyUserAtSite), socks + " 5",
                           socks + " 4", socks + " 4A"});
}

bool TFormBaZUpdate::eventFilter(QObject* Watched, QEvent* Event) {
  if (Watched == LabelProxyLogin && Event->type() == QEvent::MouseButtonPress &&
      LabelProxyLogin->isEnabled()) {
    LabelProxyLoginClick();
    return true;
  }
  return TExtForm::eventFilter(Watched, Event);
}

void TFormBaZUpdate::done(int Result) {
  if (!FormCloseQuery()) return;
  TExtForm::done(Result);
}

bool ExecuteUpdateWizard(std::string& Original, std::string& Installed, const std::string& Updates,
                         const QImage& Picture) {
  TFormBaZUpdate form(Original, Installed, Updates, Picture);
  if (ExecModal(form) != QDialog::Accepted) return false;
  Original = form.OriginalFolder();
  Installed = form.InstalledFolder();
  return true;
}
