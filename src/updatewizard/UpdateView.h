#pragma once
// What the update run shows, as callbacks: the wizard's window answers them
// with its message boxes, progress page and cursor; the command line with
// the terminal; tests record them. Only Message must be answered.

#include <string>

#include "MsgDlgTypes.h"

enum class TProgressItem { Single, Entire };

class TUpdateView {
 public:
  virtual ~TUpdateView() = default;

  // A message box; returns the modal result of the button pressed.
  virtual int Message(const std::string& Text, TMsgDlgType Type, TMsgDlgButtons Buttons) = 0;
  // An error box with its own caption and an OK button.
  virtual void ErrorBox(const std::string& Caption, const std::string& Text) {
    Message(Text, mtError, {mbOK});
  }

  // The progress page: the label and the bar of the file under way (Single)
  // and of the whole run (Entire).
  virtual void SetLabel(TProgressItem Item, const std::string& Text) {}
  virtual void ShowLabel(TProgressItem Item, bool Visible) {}
  virtual void SetBar(TProgressItem Item, int Position, int Max) {}
  virtual void ShowBar(TProgressItem Item, bool Visible) {}
  virtual void SetAnimation(bool Running) {}
  virtual void HideProgressPage() {}
  // The hourglass while the run works; false restores the cursor.
  virtual void SetBusy(bool Busy) {}
  // Lets pending window events run.
  virtual void ProcessMessages() {}
};

// The busy cursor for one scope, restored on every way out.
class TUpdateBusy {
 public:
  explicit TUpdateBusy(TUpdateView& View) : FView(View) { FView.SetBusy(true); }
  ~TUpdateBusy() { FView.SetBusy(false); }
  TUpdateBusy(const TUpdateBusy&) = delete;
  TUpdateBusy& operator=(const TUpdateBusy&) = delete;

 private:
  TUpdateView& FView;
};
