#include "MsgBoxDialog.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <map>

#include "ExtForm.h"
#include "HTMLHelper.h"

namespace {

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

// X of the layout: the average width of the 52 letters A-Z and a-z.
int AverageLetterWidth(const QFontMetrics& fm) {
  static const QString letters =
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  return fm.horizontalAdvance(letters) / 52;
}

// Caption widths are measured once per library language and button and kept
// for the run, as the box is built often and the captions never change.
int CaptionWidth(const QFontMetrics& fm, TMsgDlgBtn button) {
  static std::map<std::pair<std::string, int>, int> cache;
  const std::string caption = MsgButtonCaption(button);
  const auto key = std::make_pair(caption, static_cast<int>(button));
  auto it = cache.find(key);
  if (it != cache.end()) return it->second;
  QString shown = Q(caption);
  shown.remove(QLatin1Char('&'));
  const int w = fm.horizontalAdvance(shown);
  cache.emplace(key, w);
  return w;
}

QStyle::StandardPixmap IconOf(TMsgDlgType type) {
  switch (type) {
    case mtWarning:
      return QStyle::SP_MessageBoxWarning;
    case mtError:
      return QStyle::SP_MessageBoxCritical;
    case mtInformation:
      return QStyle::SP_MessageBoxInformation;
    default:
      return QStyle::SP_MessageBoxQuestion;
  }
}

int ScreenWidth() {
  QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->geometry().width() : 1024;
}

QRect ToQRect(const TMsgRect& r) {
  return QRect(r.Left, r.Top, r.Width, r.Height);
}

}  // namespace

TMsgBoxDialog::TMsgBoxDialog(const std::string& caption, const std::string& message,
                             TMsgDlgType type, TMsgDlgButtons buttons, int helpContext)
    : QDialog(QApplication::activeWindow()), FHelpContext(helpContext) {
  setFont(QApplication::font());
  const QFontMetrics fm(font());
  const int textFlags = Qt::TextWordWrap | Qt::TextExpandTabs | Qt::AlignLeft;
  const QRect textRect =
      fm.boundingRect(QRect(0, 0, ScreenWidth() / 2, 0), textFlags, ShownText(message));

  TMsgBoxMetrics m;
  m.AvgCharWidth = AverageLetterWidth(fm);
  m.CharHeight = fm.height();
  m.TextWidth = textRect.width();
  m.TextHeight = textRect.height();
  m.HasIcon = type != mtCustom;
  for (TMsgDlgBtn b : MsgButtonOrder())
    if (buttons.Contains(b)) m.WidestCaption = std::max(m.WidestCaption, CaptionWidth(fm, b));
  FLayout = ComputeMsgBoxLayout(m, buttons);

  FRequest.Caption = caption;
  FRequest.Message = message;
  FRequest.Type = type;
  FRequest.Buttons = buttons;
  FRequest.DefaultResult = FLayout.DefaultResult;
  FRequest.CancelResult = FLayout.CancelResult;

  setWindowTitle(Q(caption));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setFixedSize(FLayout.ClientWidth, FLayout.ClientHeight);

  if (m.HasIcon) {
    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("Image"));
    icon->setPixmap(style()->standardIcon(IconOf(type)).pixmap(32, 32));
    icon->setGeometry(ToQRect(FLayout.Icon));
  }
  FLabel = new QLabel(ShownText(message), this);
  FLabel->setObjectName(QStringLiteral("Message"));
  FLabel->setWordWrap(true);
  FLabel->setTextFormat(Qt::PlainText);
  FLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  FLabel->setGeometry(ToQRect(FLayout.Text));

  const int def = MsgDefaultButton(buttons);
  for (const TMsgBoxButtonPlace& place : FLayout.Buttons) {
    const std::string text = MsgButtonCaption(place.Button);
    auto* button = new QPushButton(Q(text), this);
    button->setGeometry(ToQRect(place.Rect));
    button->setAutoDefault(true);
    if (place.Button == def) {
      button->setDefault(true);
      setFocusProxy(button);
    }
    const TMsgDlgBtn which = place.Button;
    connect(button, &QPushButton::clicked, this, [this, which] { ButtonClick(which); });
    FButtons.emplace_back(place.Button, button);
    FRequest.ButtonCaptions.push_back(text);
  }
  if (def >= 0) Button(static_cast<TMsgDlgBtn>(def))->setFocus();

  CentreOnScreen(*this);
}

QPushButton* TMsgBoxDialog::Button(TMsgDlgBtn b) const {
  for (const auto& [kind, button] : FButtons)
    if (kind == b) return button;
  return nullptr;
}

void TMsgBoxDialog::ButtonClick(TMsgDlgBtn button) {
  if (button == mbHelp) {
    THTMLHelper::Instance().ShowHelpContext(FHelpContext);
    return;
  }
  done(MsgButtonResult(button));
}

void TMsgBoxDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    const int cancel = MsgCancelButton(FRequest.Buttons);
    if (cancel >= 0) ButtonClick(static_cast<TMsgDlgBtn>(cancel));
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

// Closing by the title bar.
void TMsgBoxDialog::reject() {
  done(mrCancel);
}
