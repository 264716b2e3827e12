#include "BusyCheck.h"

#include <QApplication>
#include <QEvent>
#include <QPushButton>
#include <QWidget>
#include <QWindow>

#include "MsgBox.h"

namespace {

bool IsUserInput(QEvent::Type Type) {
  switch (Type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::Close:
      return true;
    default:
      return false;
  }
}

}  // namespace

TBusyCheck::TBusyCheck(QWidget* Window, QPushButton* Button)
    : FWindow(Window), FButton(Button), FWasEnabled(Button->isEnabled()) {
  FButton->setEnabled(false);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  qApp->installEventFilter(this);
}

TBusyCheck::~TBusyCheck() {
  qApp->removeEventFilter(this);
  QApplication::restoreOverrideCursor();
  FButton->setEnabled(FWasEnabled);
}

void TBusyCheck::Pump() {
  QCoreApplication::processEvents();
}

int TBusyCheck::MsgBox(const std::string& Message, TMsgDlgType Type, TMsgDlgButtons Buttons) {
  QApplication::setOverrideCursor(Qt::ArrowCursor);
  struct TRestore {
    ~TRestore() { QApplication::restoreOverrideCursor(); }
  } restore;
  return ShowMsgBox(Message, Type, Buttons);
}

bool TBusyCheck::eventFilter(QObject* Watched, QEvent* Event) {
  if (!IsUserInput(Event->type())) return false;
  // Input reaches a widget and, before it, the widget's native window.
  if (Watched == FWindow->windowHandle()) return true;
  const auto* widget = qobject_cast<const QWidget*>(Watched);
  return widget && widget->window() == FWindow;
}
