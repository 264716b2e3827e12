#include "ProgressPageView.h"

#include "MsgBox.h"

int TProgressPageView::Message(const std::string& Text, TMsgDlgType Type, TMsgDlgButtons Buttons) {
  return FFrame.Message(Text, Type, Buttons);
}

void TProgressPageView::ErrorBox(const std::string& Caption, const std::string& Text) {
  ShowMsgBoxCaption(Caption, Text, mtError, {mbOK});
}

void TProgressPageView::HideProgressPage() {
  FPage->hide();
}
