#pragma once
// A wizard page check that may read slow folders (a CD): while it runs, the
// button that started it is disabled, the cursor is the hourglass, and what
// the user clicks or types in the wizard's window is dropped, not held
// until the check ends (a held click on Next would land on the next page's
// Next and skip it). The window keeps painting through Pump. Everything is
// restored on every way out, also when an exception passes. Message boxes
// the check shows are windows of their own and take input as usual; shown
// through MsgBox they have the normal cursor while they wait for the user.

#include <QObject>
#include <string>

#include "MsgDlgTypes.h"

class QPushButton;
class QWidget;

class TBusyCheck : public QObject {
 public:
  TBusyCheck(QWidget* Window, QPushButton* Button);
  ~TBusyCheck() override;
  TBusyCheck(const TBusyCheck&) = delete;
  TBusyCheck& operator=(const TBusyCheck&) = delete;

  // Lets pending events run: paint events and the like go through, the
  // user's input to the window is dropped.
  static void Pump();
  // A message box of the check, as ShowMsgBox shows it: with the normal
  // cursor, since the user is asked and not kept waiting; the hourglass is
  // back once the box is gone and the check goes on. Runs ask the same way.
  static int MsgBox(const std::string& Message, TMsgDlgType Type, TMsgDlgButtons Buttons);

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;

 private:
  QWidget* FWindow;
  QPushButton* FButton;
  bool FWasEnabled;
};
