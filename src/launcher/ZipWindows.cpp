#include "ZipWindows.h"

#include <QApplication>
#include <QCursor>

#include "MsgBox.h"
#include "ZipHooks.h"

namespace {

// The message-box combinations the program uses: an error with OK, a
// confirmation with Yes and No or with OK and Cancel. Modal results are the
// same numbers on both sides.
int ShowZipMessage(const std::string& Text, const std::string& Caption, TZipButtons Buttons) {
  switch (Buttons) {
    case TZipButtons::Ok:
      return ShowMsgBoxCaption(Caption, Text, mtError, {mbOK});
    case TZipButtons::YesNo:
      return ShowMsgBoxCaption(Caption, Text, mtConfirmation, {mbYes, mbNo});
    case TZipButtons::OkCancel:
      return ShowMsgBoxCaption(Caption, Text, mtConfirmation, {mbOK, mbCancel});
  }
  return zmrCancel;
}

}  // namespace

void ConnectZipToWindows() {
  SetZipMessageHook(ShowZipMessage);
  SetZipBusyHook([](bool Busy) {
    if (Busy)
      QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    else
      QApplication::restoreOverrideCursor();
  });
  SetZipProcessMessagesHook([] { QCoreApplication::processEvents(); });
}
