#include "FrmRTLIError.h"

#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <cassert>

#include "ExtForm.h"
#include "MsgBox.h"
#include "QvLanguage.h"

namespace {

TFormRTLIError* gInstance = nullptr;

constexpr int kDesignWidth = 492;
constexpr int kDetailsHeight = 217;
constexpr int kMessageLeft = 60, kMessageTop = 68, kMessageWidth = 409;
// The window height of a report is h + button height + 118 with h the
// message's height; 118 covers the title bar of the form's design (23 pixels),
// so the client area is h + button height + 95: the buttons end 10 pixels
// above its bottom, as on the designed form.
constexpr int kHeightExtra = 118 - 23;

const TLocalizedStrings kSaveCaption = {"&Save", "Op&slaan", "&Speichern", "", "", "", "", ""};

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, int x, int y,
                  bool rightAligned) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QLatin1String(name));
  label->adjustSize();
  if (rightAligned)
    label->move(x - label->width(), y);
  else
    label->move(x, y);
  return label;
}

std::string DetailsCaption(bool open) {
  return std::string("&Details") + (open ? " <<<" : " >>>");
}

}  // namespace

TFormRTLIError::TFormRTLIError() {
  assert(gInstance == nullptr);
  gInstance = this;
  setObjectName(QStringLiteral("FormRTLIError"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  QFont f(QStringLiteral("MS Sans Serif"));
  f.setPixelSize(11);
  setFont(f);
  setFixedSize(kDesignWidth, 372);

  auto* image = new QLabel(this);
  image->setObjectName(QStringLiteral("Image"));
  image->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(32, 32));
  image->setGeometry(8, 16, 33, 33);
  MakeLabel(this, "Label1", QStringLiteral("Exception:"), 105, 12, true);
  MakeLabel(this, "Label3", QStringLiteral("In:"), 105, 28, true);
  MakeLabel(this, "Label5", QStringLiteral("Version:"), 105, 44, true);
  ExceptionLabel = MakeLabel(this, "ExceptionLabel", QString(), 116, 12, false);
  ModuleLabel = MakeLabel(this, "ModuleLabel", QApplication::applicationFilePath(), 116, 28, false);
  VersionLabel = MakeLabel(this, "VersionLabel", QString(), 116, 44, false);
  LabelMsg = new QLabel(this);
  LabelMsg->setObjectName(QStringLiteral("LabelMsg"));
  LabelMsg->setWordWrap(true);
  LabelMsg->setTextFormat(Qt::PlainText);
  LabelMsg->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  LabelMsg->setGeometry(kMessageLeft, kMessageTop, kMessageWidth, 13);

  ButtonOk = new QPushButton(this);
  ButtonOk->setObjectName(QStringLiteral("ButtonOk"));
  ButtonOk->setGeometry(40, 120, 91, 25);
  ButtonOk->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
  ButtonOk->setDefault(true);
  connect(ButtonOk, &QPushButton::clicked, this, [this] { done(mrOk); });
  ButtonSave = new QPushButton(this);
  ButtonSave->setObjectName(QStringLiteral("ButtonSave"));
  ButtonSave->setGeometry(152, 120, 91, 25);
  connect(ButtonSave, &QPushButton::clicked, this, [this] { ButtonSaveClick(); });
  ButtonDetails = new QPushButton(Q(DetailsCaption(false)), this);
  ButtonDetails->setObjectName(QStringLiteral("ButtonDetails"));
  ButtonDetails->setGeometry(264, 120, 91, 25);
  connect(ButtonDetails, &QPushButton::clicked, this, [this] { ButtonDetailsClick(); });

  RichEdit = new QPlainTextEdit(this);
  RichEdit->setObjectName(QStringLiteral("RichEdit"));
  QFont mono(QStringLiteral("Arial"));
  mono.setPixelSize(13);
  RichEdit->setFont(mono);
  RichEdit->setReadOnly(true);
  RichEdit->setLineWrapMode(QPlainTextEdit::NoWrap);
  RichEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  RichEdit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  RichEdit->setGeometry(0, 155, kDesignWidth, kDetailsHeight);
  RichEdit->hide();

  AskSaveFileName = [this] {
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.setNameFilter(QStringLiteral("ASCII text (*.txt)"));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
      return std::string();
    return dialog.selectedFiles().front().toStdString();
  };
}

TFormRTLIError::~TFormRTLIError() {
  if (gInstance == this) gInstance = nullptr;
}

TFormRTLIError& TFormRTLIError::Instance() {
  if (!gInstance) new TFormRTLIError();
  return *gInstance;
}

bool TFormRTLIError::Exists() {
  return gInstance != nullptr;
}

void TFormRTLIError::Free() {
  delete gInstance;
}

std::string TFormRTLIError::DetailsText(const std::string& date, const TExceptionInfo& error,
                                        const std::string& module, const std::string& versionText,
                                        const std::string& trace) {
  const std::string crlf = "\r\n";
  return "Date: " + date + crlf + "Exception " + error.ClassName + " in " + module + " (" +
         versionText + ")" + crlf + crlf + "\"" + error.Message + "\"" + crlf + crlf + trace;
}

void TFormRTLIError::PrepareReport(const TExceptionInfo& error, const std::string& trace,
                                   const std::string& versionText) {
  ExceptionLabel->setText(Q(error.ClassName));
  ExceptionLabel->adjustSize();
  VersionLabel->setText(Q(versionText));
  VersionLabel->adjustSize();

  const QRect measured = LabelMsg->fontMetrics().boundingRect(
      QRect(0, 0, kMessageWidth, 0), Qt::TextWordWrap | Qt::AlignLeft, ShownText(error.Message));
  const int h = measured.height();
  for (QPushButton* b : {ButtonDetails, ButtonOk, ButtonSave}) b->move(b->x(), h + 85);
  setFixedSize(kDesignWidth, h + ButtonOk->height() + kHeightExtra);
  LabelMsg->setText(ShownText(error.Message));
  LabelMsg->setGeometry(kMessageLeft, kMessageTop, kMessageWidth, h);

  setWindowTitle(Q(LocalizedString(LibraryTexts::CaptionError)));
  ButtonOk->setText(Q(LocalizedString(LibraryTexts::ButtonOK)));
  ButtonSave->setText(Q(LocalizedString(kSaveCaption)));
  ButtonDetails->setText(Q(DetailsCaption(false)));

  const QString date = QLocale().toString(QDateTime::currentDateTime(), QLocale::ShortFormat);
  FDetails =
      DetailsText(date.toStdString(), error, ModuleLabel->text().toStdString(), versionText, trace);
  RichEdit->hide();
  RichEdit->setPlainText(Q(FDetails));
  CentreOnScreen(*this);
}

void TFormRTLIError::ShowReport(const TExceptionInfo& error, const std::string& trace,
                                const std::string& versionText) {
  PrepareReport(error, trace, versionText);
  ExecModal(*this);
}

void TFormRTLIError::ButtonDetailsClick() {
  if (!RichEdit->isHidden()) {
    RichEdit->hide();
    setFixedSize(width(), height() - kDetailsHeight);
    ButtonDetails->setText(Q(DetailsCaption(false)));
  } else {
    setFixedSize(width(), height() + kDetailsHeight);
    // The details are aligned to the bottom of the window.
    RichEdit->setGeometry(0, height() - kDetailsHeight, width(), kDetailsHeight);
    RichEdit->show();
    ButtonDetails->setText(Q(DetailsCaption(true)));
  }
}

bool TFormRTLIError::SaveDetails(const std::string& fileName) const {
  QFile file(Q(fileName));
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  // The lines as shown, each ended by CR LF.
  QString text = RichEdit->toPlainText();
  text.remove(QLatin1Char('\r'));
  const QByteArray bytes = text.replace(QLatin1Char('\n'), QStringLiteral("\r\n")).toUtf8();
  return file.write(bytes) == bytes.size() && file.flush();
}

void TFormRTLIError::ButtonSaveClick() {
  const std::string fileName = AskSaveFileName ? AskSaveFileName() : std::string();
  if (fileName.empty()) return;
  if (!SaveDetails(fileName))
    ShowMsgBox("The file \"" + fileName + "\" could not be written.", mtError, {mbOK});
}
