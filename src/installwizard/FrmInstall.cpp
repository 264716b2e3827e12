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

namespace {

constexpr int ClientWidth = 482;
constexpr int ClientHeight = 393;
const QRect PageRect(40, 20, 390, 320);

QFrame* NewPage(QWidget* Parent) {
  auto* page = new QFrame(Parent);
  page->setGeometry(PageRect);
  // Pages are opaque, as the panels of the original windows: the window
  // picture shows only around them.
  page->setAutoFillBackground(true);
  page->hide();
  return page;
}

// Information text on a panel in the tooltip colour with a single border.
QLabel* NewInfoLabel(QWidget* Parent, const QRect& Rect) {
  auto* label = new QLabel(Parent);
  label->setGeometry(Rect);
  label->setFrameStyle(QFrame::Box | QFrame::Plain);
  label->setAlignment(Qt::AlignCenter);
  label->setWordWrap(true);
  label->setAutoFillBackground(true);
  QPalette palette = label->palette();
  palette.setColor(QPalette::Window, palette.color(QPalette::ToolTipBase));
  palette.setColor(QPalette::WindowText, palette.color(QPalette::ToolTipText));
  label->setPalette(palette);
  return label;
}

QLabel* NewLabel(QWidget* Parent, const QRect& Rect) {
  auto* label = new QLabel(Parent);
  label->setGeometry(Rect);
  return label;
}

QPushButton* NewButton(QWidget* Parent, const QRect& Rect) {
  auto* button = new QPushButton(Parent);
  button->setGeometry(Rect);
  button->setAutoDefault(false);
  return button;
}

QString Text(int Id) {
  return DisplayText(GetText(uint8_t(Id)));
}

// The information panels wrap their text to the panel's width themselves;
// the line breaks of the texts were made for a narrower font.
QString FlowText(int Id) {
  QString text = QString::fromStdString(GetText(uint8_t(Id)));
  text.replace('\r', ' ');
  return text.simplified();
}

}  // namespace

TFormInstall::TFormInstall(const std::string& Source, const std::string& Dest,
                           const QImage& Picture, QWidget* Parent)
    : TExtForm(Parent) {
  setFixedSize(ClientWidth, ClientHeight);
  CentreOnScreen(*this);
  // The main window's small picture unless the caller names another.
  const QImage& picture = Picture.isNull() ? MainWindowSmallPicture() : Picture;
  if (!picture.isNull()) SetWindowPicture(picture);
  QFont form = font();
  form.setPixelSize(11);
  setFont(form);
  CreateControls();
  EditSource->setText(QString::fromStdString(Source));
  EditDest->setText(QString::fromStdString(Dest));
  SetTexts();
  ShowPage(true, false, false, false);
}

TFormInstall::~TFormInstall() = default;

void TFormInstall::CreateControls() {
  CreateLicensePage();
  CreatePathsPage();
  CreateChartsPage();
  CreateInstallPage();
  CreateProgressPanel();
  ButtonPrev = NewButton(this, QRect(193, 355, 75, 25));
  ButtonNext = NewButton(this, QRect(268, 355, 75, 25));
  ButtonCancel = NewButton(this, QRect(355, 355, 75, 25));
  ButtonNext->setDefault(true);
  connect(ButtonPrev, &QPushButton::clicked, this, &TFormInstall::ButtonPrevClick);
  connect(ButtonNext, &QPushButton::clicked, this, &TFormInstall::ButtonNextClick);
  connect(ButtonCancel, &QPushButton::clicked, this, &TFormInstall::reject);
}

void TFormInstall::CreateLicensePage() {
  PanelLicense = NewPage(this);
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
  PanelPaths = NewPage(this);
  LabelPathInfo = NewInfoLabel(PanelPaths, QRect(0, 0, 390, 76));
  LabelLocations = NewLabel(PanelPaths, QRect(0, 96, 390, 18));
  QFont bold = font();
  bold.setBold(true);
  LabelLocations->setFont(bold);
  LabelSource = NewLabel(PanelPaths, QRect(0, 124, 300, 16));
  EditSource = new QLineEdit(PanelPaths);
  EditSource->setGeometry(0, 142, 300, 21);
  ButtonBrowseSource = NewButton(PanelPaths, QRect(312, 140, 75, 25));
  LabelDest = NewLabel(PanelPaths, QRect(0, 184, 300, 16));
  EditDest = new QLineEdit(PanelPaths);
  EditDest->setGeometry(0, 202, 300, 21);
  ButtonBrowseDest = NewButton(PanelPaths, QRect(312, 200, 75, 25));
  LabelSource->setBuddy(EditSource);
  LabelDest->setBuddy(EditDest);
  connect(ButtonBrowseSource, &QPushButton::clicked, this, &TFormInstall::ButtonBrowseSourceClick);
  connect(ButtonBrowseDest, &QPushButton::clicked, this, &TFormInstall::ButtonBrowseDestClick);
}

void TFormInstall::CreateChartsPage() {
  PanelCharts = NewPage(this);
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
  PanelInstall = NewPage(this);
  LabelOptionsInfo = NewInfoLabel(PanelInstall, QRect(0, 0, 390, 48));
  MemoInstallOptions = new QPlainTextEdit(PanelInstall);
  MemoInstallOptions->setGeometry(0, 58, 390, 258);
  MemoInstallOptions->setReadOnly(true);
  MemoInstallOptions->setLineWrapMode(QPlainTextEdit::NoWrap);
  MemoInstallOptions->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  MemoInstallOptions->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

void TFormInstall::CreateProgressPanel() {
  PanelProgress = NewPage(this);
  Animate = new TCopyAnimation(PanelProgress);
  Animate->setGeometry(59, 16, 272, 60);
  LabelProgressSingle = NewLabel(PanelProgress, QRect(0, 110, 390, 16));
  ProgressBarSingle = new TProgressBarEx(PanelProgress);
  ProgressBarSingle->setGeometry(0, 128, 390, 18);
  LabelProgressEntire = NewLabel(PanelProgress, QRect(0, 170, 390, 16));
  ProgressBarEntire = new TProgressBarEx(PanelProgress);
  ProgressBarEntire->setGeometry(0, 188, 390, 18);
  // Black to blue for the chart set, black to lime for the whole run, with
  // the percentage in white.
  for (TProgressBarEx* bar : {ProgressBarSingle, ProgressBarEntire}) {
    bar->SetColorStart(Qt::black);
    bar->SetFontColor(Qt::white);
  }
  ProgressBarSingle->SetColorEnd(QColor(0, 0, 255));
  ProgressBarEntire->SetColorEnd(QColor(0, 255, 0));
}

void TFormInstall::SetTexts() {
  setWindowTitle(Text(30));
  ButtonBrowseSource->setText(Text(7));
  ButtonBrowseDest->setText(Text(7));
  ButtonCancel->setText(Text(1));
  LabelSource->setText(Text(16));
  LabelDest->setText(Text(29));
  LabelLocations->setText(Text(18));
  LabelPathInfo->setText(FlowText(28));
  LabelChartInfo->setText(FlowText(31));
  LabelOptionsInfo->setText(FlowText(34));
  LabelLicenseTitle->setText(Text(26));
  LabelLicenseAgreement->setText(Text(27));
  LabelLicenseText->setText(Text(25));
}

void TFormInstall::reject() {
  // While charts are written the run cannot be left half-way by Escape or
  // the close box; the replace question offers Cancel.
  if (FRunning) return;
  QDialog::reject();
}

void TFormInstall::closeEvent(QCloseEvent* Event) {
  if (FRunning) {
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
