#pragma once
// What the update run shows: the progress of every run (RunView.h), and its
// message boxes, the copy animation, the count of downloaded files and the
// end of the progress page. The wizard's window answers them with its
// message boxes, progress page and cursor; the command line with the
// terminal; tests record them. Only Message must be answered.

#include <string>

#include "MsgDlgTypes.h"
#include "RunView.h"

class TUpdateView : public TRunView {
 public:
  // A message box; returns the modal result of the button pressed.
  virtual int Message(const std::string& Text, TMsgDlgType Type, TMsgDlgButtons Buttons) = 0;
  // An error box with its own caption and an OK button.
  virtual void ErrorBox(const std::string& Caption, const std::string& Text) {
    Message(Text, mtError, {mbOK});
  }

  virtual void SetAnimation(bool Running) {}
  // Downloads: Done of Total files fetched.
  virtual void SetFileCount(int Done, int Total) {}
  virtual void HideProgressPage() {}
};
