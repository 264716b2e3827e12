#pragma once
// What a long run without a window shows while it works (an installation,
// an update run): one set of callbacks that each front end answers its own
// way, the wizards on their progress page, the command-line programs on the
// terminal, tests by recording them. The run calls them on its own thread,
// the thread of the window.

#include <string>

// The label and the bar of the part under way (Single) and of the whole
// run (Entire).
enum class TProgressItem { Single, Entire };

class TRunView {
 public:
  virtual ~TRunView() = default;

  virtual void SetLabel(TProgressItem Item, const std::string& Text) {}
  virtual void ShowLabel(TProgressItem Item, bool Visible) {}
  virtual void SetBar(TProgressItem Item, int Position, int Max) {}
  virtual void ShowBar(TProgressItem Item, bool Visible) {}
  // The hourglass while the run works; false restores the cursor.
  virtual void SetBusy(bool Busy) {}
  // Lets pending window events run.
  virtual void ProcessMessages() {}
};

// The busy cursor for one scope, restored on every way out.
class TRunBusy {
 public:
  explicit TRunBusy(TRunView& View) : FView(View) { FView.SetBusy(true); }
  ~TRunBusy() { FView.SetBusy(false); }
  TRunBusy(const TRunBusy&) = delete;
  TRunBusy& operator=(const TRunBusy&) = delete;

 private:
  TRunView& FView;
};
