#include "MsgBoxLayout.h"

#include <algorithm>

namespace {

constexpr int kIconSize = 32;

}  // namespace

std::initializer_list<TMsgDlgBtn> MsgButtonOrder() {
  static constexpr std::initializer_list<TMsgDlgBtn> order = {mbYes, mbYesToAll, mbNo,    mbNoToAll,
                                                              mbOK,  mbAbort,    mbRetry, mbIgnore,
                                                              mbAll, mbCancel,   mbHelp};
  return order;
}

int MsgButtonResult(TMsgDlgBtn button) {
  switch (button) {
    case mbYes:
      return mrYes;
    case mbNo:
      return mrNo;
    case mbOK:
      return mrOk;
    case mbCancel:
      return mrCancel;
    case mbAbort:
      return mrAbort;
    case mbRetry:
      return mrRetry;
    case mbIgnore:
      return mrIgnore;
    case mbAll:
      return mrAll;
    case mbNoToAll:
      return mrNoToAll;
    case mbYesToAll:
      return mrYesToAll;
    case mbHelp:
      return mrNone;
  }
  return mrNone;
}

int MsgDefaultButton(TMsgDlgButtons buttons) {
  for (TMsgDlgBtn b : {mbOK, mbYes, mbRetry})
    if (buttons.Contains(b)) return b;
  return -1;
}

int MsgCancelButton(TMsgDlgButtons buttons) {
  for (TMsgDlgBtn b : {mbCancel, mbNo, mbOK})
    if (buttons.Contains(b)) return b;
  return -1;
}

TMsgBoxLayout ComputeMsgBoxLayout(const TMsgBoxMetrics& m, TMsgDlgButtons buttons) {
  const int X = m.AvgCharWidth, Y = m.CharHeight;
  const int hMargin = 8 * X / 4, vMargin = 8 * Y / 8;
  const int hSpacing = 10 * X / 4, vSpacing = 10 * Y / 8;
  const int buttonHeight = 14 * Y / 8, buttonSpacing = 4 * X / 4;
  const int buttonWidth = std::max(50 * X / 4, m.WidestCaption + 8);

  TMsgBoxLayout l;
  int blockWidth = m.TextWidth, blockHeight = m.TextHeight;
  int textLeft = hMargin;
  if (m.HasIcon) {
    l.Icon = {hMargin, vMargin, kIconSize, kIconSize};
    textLeft = hMargin + kIconSize + hSpacing;
    blockWidth = m.TextWidth + kIconSize + hSpacing;
    blockHeight = std::max(m.TextHeight, kIconSize);
  }
  l.Text = {textLeft, vMargin, m.TextWidth, m.TextHeight};

  int count = 0;
  for (TMsgDlgBtn b : MsgButtonOrder())
    if (buttons.Contains(b)) ++count;
  const int rowWidth = count > 0 ? count * buttonWidth + (count - 1) * buttonSpacing : 0;
  l.ClientWidth = std::max(blockWidth, rowWidth) + 2 * hMargin;
  l.ClientHeight = blockHeight + buttonHeight + vSpacing + 2 * vMargin;

  const int top = blockHeight + vMargin + vSpacing;
  int left = (l.ClientWidth - rowWidth) / 2;
  for (TMsgDlgBtn b : MsgButtonOrder()) {
    if (!buttons.Contains(b)) continue;
    l.Buttons.push_back({b, {left, top, buttonWidth, buttonHeight}});
    left += buttonWidth + buttonSpacing;
  }
  const int def = MsgDefaultButton(buttons), cancel = MsgCancelButton(buttons);
  l.DefaultResult = def < 0 ? mrNone : MsgButtonResult(static_cast<TMsgDlgBtn>(def));
  l.CancelResult = cancel < 0 ? mrNone : MsgButtonResult(static_cast<TMsgDlgBtn>(cancel));
  return l;
}
