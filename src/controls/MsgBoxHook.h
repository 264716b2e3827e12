#pragma once
// A hook through which tests see every message box and answer it, so that no
// test waits on a real modal dialog. The box is built as for the user (real
// captions and layout); instead of running its modal loop, ShowMsgBox hands
// it to the hook.

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "MsgBox.h"

class QDialog;

struct TMsgBoxRequest {
  std::string Caption;
  std::string Message;
  TMsgDlgType Type = mtWarning;
  TMsgDlgButtons Buttons;
  std::vector<std::string> ButtonCaptions;  // left to right, as shown
  int DefaultResult = mrNone;               // what Enter returns
  int CancelResult = mrNone;                // what Escape returns
};

// Returns the modal result the box gives back. The dialog is alive during the
// call (not shown); MsgBoxPressKey and MsgBoxClick work on it.
using TMsgBoxHook = std::function<int(const TMsgBoxRequest&, QDialog& box)>;

// Installs a hook and returns the previous one (empty: real modal boxes).
TMsgBoxHook SetMsgBoxHook(TMsgBoxHook hook);

// Shows the box without a modal loop, sends the key to its focused control
// and returns the modal result it ended with (mrNone if it stayed open).
int MsgBoxPressKey(QDialog& box, int qtKey);
// Clicks the button with the given caption (as shown, with its '&').
int MsgBoxClick(QDialog& box, const std::string& caption);

// One reply to a box: a fixed result, a key (Enter, Escape) or a button caption.
struct TMsgBoxReply {
  enum TKind { Result, Key, Click } Kind = Result;
  int Value = mrNone;
  std::string Caption;
  static TMsgBoxReply WithResult(int r) { return {Result, r, {}}; }
  static TMsgBoxReply WithKey(int key) { return {Key, key, {}}; }
  static TMsgBoxReply WithClick(std::string caption) { return {Click, 0, std::move(caption)}; }
};

// Installs itself as the hook for its lifetime, records every box and answers
// from a queue. A box without a queued reply is answered with its cancel
// result (mrCancel when it has no cancel button) and counted as unexpected.
class TMsgBoxRecorder {
 public:
  TMsgBoxRecorder();
  ~TMsgBoxRecorder();
  TMsgBoxRecorder(const TMsgBoxRecorder&) = delete;
  TMsgBoxRecorder& operator=(const TMsgBoxRecorder&) = delete;

  void Reply(TMsgBoxReply reply) { FReplies.push_back(std::move(reply)); }
  void ReplyResult(int result) { Reply(TMsgBoxReply::WithResult(result)); }

  const std::vector<TMsgBoxRequest>& Shown() const { return FShown; }
  const std::vector<int>& Results() const { return FResults; }
  int Unexpected() const { return FUnexpected; }

 private:
  int Answer(const TMsgBoxRequest& request, QDialog& box);

  std::deque<TMsgBoxReply> FReplies;
  std::vector<TMsgBoxRequest> FShown;
  std::vector<int> FResults;
  int FUnexpected = 0;
  TMsgBoxHook FPrevious;
};
