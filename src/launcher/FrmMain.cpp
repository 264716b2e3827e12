#include "FrmMain.h"

#include <QApplication>
#include <QButtonGroup>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLocale>
#include <QMouseEvent>
#include <QScreen>

#include "AppNotify.h"
#include "BitBtn.h"
#include "ChartMedium.h"
#include "ExtForm.h"
#include "JpegImage.h"
#include "Languages.h"
#include "ProgInfo.h"

TFormMain* FormMain = nullptr;
TInstallWizardRunner TFormMain::InstallWizard;
TUpdateWizardRunner TFormMain::UpdateWizard;
std::function<std::string()> TFormMain::DefaultChartsFolder;

namespace {

constexpr int kClientWidth = 592, kClientHeight = 423;

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

// A label that reports clicks (the web address).
class TLinkLabel : public QLabel {
 public:
  using QLabel::QLabel;
  std::function<void()> OnClick;

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) &&
        OnClick)
      OnClick();
  }
};

QFont ArialPixels(int pixels, bool bold) {
  QFont f(QStringLiteral("Arial"));
  f.setPixelSize(pixels);
  f.setBold(bold);
  return f;
}

QLabel* TransparentLabel(QWidget* parent, const char* name, const QColor& colour) {
  auto* label = new QLabel(parent);
  label->setObjectName(QLatin1String(name));
  label->setAttribute(Qt::WA_TranslucentBackground);
  QPalette p = label->palette();
  p.setColor(QPalette::WindowText, colour);
  label->setPalette(p);
  return label;
}

QImage LoadPicture(const char* resource) {
  return LoadJpeg(QStringLiteral(":/launcher/") + QLatin1String(resource));
}

// The web address as shown: without its scheme.
QString ShownAddress(const std::string& url) {
  QString s = Q(url);
  const int scheme = s.indexOf(QStringLiteral("://"));
  return scheme >= 0 ? s.mid(scheme + 3) : s;
}

}  // namespace

QString BuildText(uint32_t version, QDate releaseDate) {
  return QStringLiteral("Build: ") + Q(VersionToStr(version, 3)) + QLatin1Char('\n') +
         QStringLiteral("Date: ") + QLocale().toString(releaseDate, QLocale::ShortFormat);
}

void TFormMain::CreateControls() {
  setObjectName(QStringLiteral("FormMain"));
  setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setFixedSize(kClientWidth, kClientHeight);
  setFont(ArialPixels(13, true));

  ImageBackground = new QLabel(this);
  ImageBackground->setObjectName(QStringLiteral("ImageBackground"));
  ImageBackground->setGeometry(0, 0, kClientWidth, kClientHeight);
  ImageBackground->setScaledContents(true);
  ImageBackground->setPixmap(QPixmap::fromImage(LoadPicture("background.jpg")));

  CreateMakerLabels();

  FSmallPicture = LoadPicture("background_small.jpg");
  ImageBackgroundSmall = new QLabel(this);
  ImageBackgroundSmall->setObjectName(QStringLiteral("ImageBackgroundSmall"));
  ImageBackgroundSmall->setGeometry(8, 268, 105, 105);
  ImageBackgroundSmall->setPixmap(QPixmap::fromImage(FSmallPicture));
  ImageBackgroundSmall->hide();
  SetMainWindowSmallPicture(FSmallPicture);

  CreateLanguageButtons();

  LabelReproduction = TransparentLabel(this, "LabelReproduction", Qt::white);
  LabelReproduction->setFont(ArialPixels(11, true));
  LabelReproduction->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  LabelReproduction->setWordWrap(true);
  LabelReproduction->setGeometry(6, 394, 470, 31);

  LabelBuild = TransparentLabel(this, "LabelBuild", Qt::white);
  LabelBuild->setFont(ArialPixels(11, true));
  LabelBuild->setAlignment(Qt::AlignRight | Qt::AlignTop);

  CreateActionButtons();
  CentreOnScreen(*this);
}

// The maker's web address (a link) and copyright in the top right corner.
void TFormMain::CreateMakerLabels() {
  auto* link = new TLinkLabel(this);
  link->setObjectName(QStringLiteral("LabelLink"));
  link->setAttribute(Qt::WA_TranslucentBackground);
  QPalette lp = link->palette();
  lp.setColor(QPalette::WindowText, QColor(0x66, 0xB2, 0xFF));  // a blue that reads on the sea
  link->setPalette(lp);
  QFont lf = ArialPixels(13, true);
  lf.setUnderline(true);
  link->setFont(lf);
  link->setCursor(Qt::PointingHandCursor);
  link->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  link->setText(ShownAddress(MakerWebAddress()));
  // Right edge at 586; wider than 118 only when the address needs it.
  const int linkWidth = std::max(118, link->sizeHint().width());
  link->setGeometry(586 - linkWidth, 20, linkWidth, 16);
  link->OnClick = [this] { LabelLinkClick(); };
  LabelLink = link;

  LabelQuorvel = TransparentLabel(this, "LabelQuorvel", Qt::white);
  LabelQuorvel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  LabelQuorvel->setText(QStringLiteral("\u00A9 2003 Quorvel B.V."));
  LabelQuorvel->setGeometry(409, 4, 176, 16);
}

void TFormMain::CreateLanguageButtons() {
  FLanguageGroup = new QButtonGroup(this);
  FLanguageGroup->setExclusive(true);
  auto languageButton = [this](const char* name, const char* caption, const char* flag, int top,
                               void (TFormMain::*handler)()) {
    // Speed buttons of one group: a flag and the language's own name.
    auto* b = new TBitBtn(this);
    b->setObjectName(QLatin1String(name));
    b->setText(QString::fromUtf8(caption));
    b->SetGlyph(QPixmap(QStringLiteral(":/launcher/flag_%1.png").arg(QLatin1String(flag))));
    b->SetMargin(-1);
    b->SetSpacing(4);
    b->setCheckable(true);
    b->setAutoDefault(false);
    b->setFocusPolicy(Qt::NoFocus);
    b->setGeometry(488, top, 100, 30);
    FLanguageGroup->addButton(b);
    connect(b, &QPushButton::clicked, this, [this, handler] { (this->*handler)(); });
    return b;
  };
  ButtonDutch =
      languageButton("ButtonDutch", "Nederlands", "dutch", 324, &TFormMain::ButtonDutchClick);
  ButtonEnglish =
      languageButton("ButtonEnglish", "English", "english", 356, &TFormMain::ButtonEnglishClick);
  ButtonGerman =
      languageButton("ButtonGerman", "Deutsch", "german", 388, &TFormMain::ButtonGermanClick);
  ButtonDutch->setChecked(true);
}

void TFormMain::CreateActionButtons() {
  auto actionButton = [this](const char* name, int top, const char* glyph,
                             void (TFormMain::*handler)()) {
    auto* b = new TBitBtn(this);
    b->setObjectName(QLatin1String(name));
    // Regular weight: the longest caption (German txtDownloadAndUpdateBaZ) fits beside the glyph.
    b->setFont(ArialPixels(11, false));
    b->setGeometry(181, top, 230, 40);
    if (glyph) b->SetGlyph(QPixmap(QStringLiteral(":/launcher/glyph_%1.png").arg(glyph)));
    b->SetMargin(10);
    b->SetSpacing(10);
    b->setAutoDefault(false);
    connect(b, &QPushButton::clicked, this, [this, handler] { (this->*handler)(); });
    return b;
  };
  ButtonKoppix = actionButton("ButtonKoppix", 32, "koppix", &TFormMain::ButtonKoppixClick);
  ButtonInstall = actionButton("ButtonInstall", 120, "install", &TFormMain::ButtonInstallClick);
  ButtonBaZ = actionButton("ButtonBaZ", 164, "baz", &TFormMain::ButtonBaZClick);
  ButtonLegend = actionButton("ButtonLegend", 208, "legend", &TFormMain::ButtonLegendClick);
  ButtonHelp = actionButton("ButtonHelp", 252, "help", &TFormMain::ButtonHelpClick);
  ButtonExit = actionButton("ButtonExit", 344, nullptr, &TFormMain::ButtonExitClick);
  QWidget::setTabOrder(ButtonKoppix, ButtonInstall);
  QWidget::setTabOrder(ButtonInstall, ButtonBaZ);
  QWidget::setTabOrder(ButtonBaZ, ButtonLegend);
  QWidget::setTabOrder(ButtonLegend, ButtonHelp);
  QWidget::setTabOrder(ButtonHelp, ButtonExit);
}

TFormMain::TFormMain(QWidget* parent) : QWidget(parent) {
  CreateControls();
  FormMain = this;
  // Installed in /usr/bin the program has no CD around it: the files that
  // lie beside it on the CD are taken from the mounted CD.
  FProgramFolder =
      ChartMediumFolder(ProgInfo() ? ProgInfo()->ProgramFolder()
                                   : QCoreApplication::applicationDirPath().toStdString());
  // Tested once: a legend that appears later does not enable the button.
  ButtonLegend->setEnabled(QFileInfo::exists(Q(FProgramFolder + "legenda.chm")));
  ReadSettings();
  ApplyLanguage();
  const uint32_t version = ProgInfo() ? ProgInfo()->Version() : 0;
  const QDate date = ProgInfo() ? ProgInfo()->ReleaseDate() : QDate();
  LabelBuild->setText(BuildText(version, date));
  LabelBuild->adjustSize();
  LabelBuild->move(587 - LabelBuild->width(), 295);
}

TFormMain::~TFormMain() {
  // A failing write (a settings hive that cannot be written) goes to the
  // exception report; a destructor must not let it escape.
  try {
    WriteSettings();
  } catch (...) {
    HandleApplicationException(this, std::current_exception());
  }
  if (FormMain == this) FormMain = nullptr;
}

void TFormMain::ApplyLanguage() {
  QCoreApplication::setApplicationName(Q(GetText(txtZrnEdition) + "2003"));
  setWindowTitle(Q(GetText(txtZarnavisEdition) + "2003"));
  ButtonBaZ->setText(Q(GetText(txtDownloadAndUpdateBaZ)));
  ButtonExit->setText(Q(GetText(txtExit)));
  ButtonHelp->setText(Q(GetText(txtHelp)));
  ButtonInstall->setText(Q(GetText(txtInstallCharts)));
  ButtonLegend->setText(Q(GetText(txtLegend)));
  ButtonKoppix->setText(Q(GetText(txtInstallKoppixPro)));
  LabelReproduction->setText(ShownText(GetText(txtReproductionNotice)));
  if (CurrentLanguage >= 1 && CurrentLanguage <= 3)
    ButtonHelp->setEnabled(QFileInfo::exists(Q(HelpFile())));
}

std::string TFormMain::HelpFileName(uint8_t language) {
  switch (language) {
    case 1:
      return "language/english.chm";
    case 2:
      return "language/dutch.chm";
    case 3:
      return "language/german.chm";
    default:
      return std::string();
  }
}

std::string TFormMain::HelpFile() const {
  const std::string name = HelpFileName(CurrentLanguage);
  return name.empty() ? name : FProgramFolder + name;
}
