// The wizard window: its controls, their places and texts.
#include "FrmInstall.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "ChartListView.h"
#include "CopyAnimation.h"
#include "FrmReplace.h"
#include "Languages.h"
#include "ProgressBarEx.h"
#include "WizardControls.h"
#include "WizardFrame.h"

TFormInstall::TFormInstall(const std::string& Source, const std::string& Dest,
                           const QImage& Picture, QWidget* Parent)
    : TExtForm(Parent) {
  SetUpWizardWindow(*this, Picture);
  CreateControls();
  EditSource->setText(QString::fromStdString(Source));
  EditDest->setText(QString::fromStdString(Dest));
  SetTexts();
  ShowPage(TInstallPage::License);
}

TFormInstall::~TFormInstall() = default;

void TFormInstall::CreateControls() {
  CreateLicensePage();
  CreatePathsPage();
  CreateChartsPage();
  CreateInstallPage();
  CreateProgressPanel();
  FFrame = std::make_unique<TWizardFrame>(*this, *Animate, [this] { ButtonPrevClick(); });
  ButtonPrev = FFrame->ButtonPrev;
  ButtonNext = FFrame->ButtonNext;
  ButtonCancel = FFrame->ButtonCancel;
}

void TFormInstall::CreateLicensePage() {
  PanelLicense = NewWizardPage(this);
  LabelLicenseTitle = NewLabel(PanelLicense, QRect(0, 0, 390, 30));
  LabelLicenseTitle->setAlignment(Qt::AlignCenter);
  QFont title = font();
  title.setPixelSize(20);
  title.setBold(true);
  LabelLicenseTitle->setFont(title);
  LabelLicenseAgreement = NewLabel(PanelLicense, QRect(0, 32, 390, 20));
  LabelLicenseAgreement->setAlignment(Qt::AlignCenter);
  auto* border = new QFrame(PanelLicense);
  border->setGeometry(0, 64, 390, 250);
  border->setFrameStyle(QFrame::Box | QFrame::Sunken);
  LabelLicenseText = NewLabel(border, QRect(4, 4, 382, 242));
  LabelLicenseText->setAlignment(Qt::AlignCenter);
  QFont arial("Liberation Sans");
  arial.setPixelSize(13);
  LabelLicenseText->setFont(arial);
}

void TFormInstall::CreatePathsPage() {
  PanelPaths = NewWizardPage(this);
  LabelPathInfo = NewInfoLabel(PanelPaths, QRect(0, 0, 390, 76));
  LabelLocations = NewBoldLabel(PanelPaths, QRect(0, 96, 390, 18));
  LabelSource = NewLabel(PanelPaths, QRect(0, 124, 300, 16));
  EditSource = new QLineEdit(PanelPaths);
  EditSource->setGeometry(0, 142, 282, 21);
  ButtonBrowseSource = NewButton(PanelPaths, QRect(290, 140, 100, 25));
  LabelDest = NewLabel(PanelPaths, QRect(0, 184, 300, 16));
  EditDest = new QLineEdit(PanelPaths);
  EditDest->setGeometry(0, 202, 282, 21);
  ButtonBrowseDest = NewButton(PanelPaths, QRect(290, 200, 100, 25));
  LabelSource->setBuddy(EditSource);
  LabelDest->setBuddy(EditDest);
  connect(ButtonBrowseSource, &QPushButton::clicked, this, &TFormInstall::ButtonBrowseSourceClick);
  connect(ButtonBrowseDest, &QPushButton::clicked, this, &TFormInstall::ButtonBrowseDestClick);
}

void TFormInstall::CreateChartsPage() {
  PanelCharts = NewWizardPage(this);
  LabelChartInfo = NewInfoLabel(PanelCharts, QRect(0, 0, 390, 64));
  ListViewCharts = new TChartListView(PanelCharts);
  ListViewCharts->setGeometry(0, 74, 390, 216);
  ListViewCharts->SetChartSets(&FChartSets);
  LabelChartStatus = NewLabel(PanelCharts, QRect(0, 298, 390, 18));
  connect(ListViewCharts, &TChartListView::MouseDown, this, &TFormInstall::ListViewChartsMouseDown);
  connect(ListViewCharts, &TChartListView::MouseUp, this, &TFormInstall::ListViewChartsMouseUp);
  connect(ListViewCharts, &QTreeWidget::currentItemChanged, this, [this] { update(); });
}

void TFormInstall::CreateInstallPage() {
  PanelInstall = NewWizardPage(this);
  LabelOptionsInfo = NewInfoLabel(PanelInstall, QRect(0, 0, 390, 48));
  MemoInstallOptions = new QPlainTextEdit(PanelInstall);
  MemoInstallOptions->setGeometry(0, 58, 390, 258);
  MemoInstallOptions->setReadOnly(true);
  MemoInstallOptions->setLineWrapMode(QPlainTextEdit::NoWrap);
  MemoInstallOptions->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  MemoInstallOptions->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

void TFormInstall::CreateProgressPanel() {
  PanelProgress = NewWizardPage(this);
  const TWizardProgress progress = NewProgressControls(PanelProgress);
  Animate = progress.Animate;
  LabelProgressSingle = progress.LabelSingle;
  ProgressBarSingle = progress.ProgressBarSingle;
  LabelProgressEntire = progress.LabelEntire;
  ProgressBarEntire = progress.ProgressBarEntire;
}

void TFormInstall::SetTexts() {
  setWindowTitle(TableText(txtInstallChartsCaption));
  ButtonBrowseSource->setText(TableText(txtBrowse));
  ButtonBrowseDest->setText(TableText(txtBrowse));
  LabelSource->setText(TableText(txtOriginalChartFolder));
  LabelDest->setText(TableText(txtFolderToInstallIn));
  LabelLocations->setText(TableText(txtFileLocations));
  LabelPathInfo->setText(FlowText(txtInstallFoldersInfo));
  LabelChartInfo->setText(FlowText(txtInstallChartsInfo));
  LabelOptionsInfo->setText(FlowText(txtInstallSummaryInfo));
  LabelLicenseTitle->setText(TableText(txtLicenseTitle));
  LabelLicenseAgreement->setText(TableText(txtLicenseAgreement));
  LabelLicenseText->setText(TableText(txtLicenseText));
}

bool TFormInstall::Running() const {
  return FFrame->Running();
}

void TFormInstall::reject() {
  // While charts are written the run cannot be left half-way by Escape or
  // the close box; the replace question offers Cancel.
  if (Running()) return;
  QDialog::reject();
}

void TFormInstall::closeEvent(QCloseEvent* Event) {
  if (Running()) {
    Event->ignore();
    return;
  }
  TExtForm::closeEvent(Event);
}

bool ExecuteInstallWizard(std::string& Source, std::string& Dest, const QImage& Picture) {
  TFormInstall form(Source, Dest, Picture);
  if (ExecModal(form) != QDialog::Accepted) return false;
  Source = form.EditSource->text().toStdString();
  Dest = form.EditDest->text().toStdString();
  return true;
}
