#include "ProgressPageView.h"

#include <QApplication>

#include "CopyAnimation.h"
#include "MsgBox.h"

TProgressPageView::~TProgressPageView() {
  Restore();
}

int TProgressPageView::Message(const std::string& Text, TMsgDlgType Type, TMsgDlgButtons Buttons) {
  // A question wants the normal cursor, whatever the run shows meanwhile.
  if (FBusy > 0) QApplication::setOverrideCursor(Qt::ArrowCursor);
  const int result = ShowMsgBox(Text, Type, Buttons);
  if (FBusy > 0) QApplication::restoreOverrideCursor();
  return result;
}

void TProgressPageView::ErrorBox(const std::string& Caption, const std::string& Text) {
  ShowMsgBoxCaption(Caption, Text, mtError, {mbOK});
}

void TProgressPageView::SetAnimation(bool Running) {
  if (Running)
    F.Animate->Start();
  else
    F.Animate->Stop();
}

void TProgressPageView::HideProgressPage() {
  FPage->hide();
}

void TProgressPageView::SetBusy(bool Busy) {
  if (Busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ++FBusy;
  } else if (FBusy > 0) {
    QApplication::restoreOverrideCursor();
    --FBusy;
  }
}

void TProgressPageView::Restore() {
  while (FBusy > 0) SetBusy(false);
  F.Animate->Stop();
}
