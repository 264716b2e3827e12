#include "ProgressPageView.h"

#include <QApplication>
#include <QLabel>

#include "CopyAnimation.h"
#include "ExtForm.h"
#include "MsgBox.h"
#include "ProgressBarEx.h"

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

void TProgressPageView::SetLabel(TProgressItem Item, const std::string& Text) {
  (Item == TProgressItem::Single ? F.LabelSingle : F.LabelEntire)->setText(ShownText(Text));
}

void TProgressPageView::ShowLabel(TProgressItem Item, bool Visible) {
  (Item == TProgressItem::Single ? F.LabelSingle : F.LabelEntire)->setVisible(Visible);
}

void TProgressPageView::SetBar(TProgressItem Item, int Position, int Max) {
  TProgressBarEx* bar = Item == TProgressItem::Single ? F.ProgressBarSingle : F.ProgressBarEntire;
  bar->SetMax(Max);
  bar->SetPosition(Position);
}

void TProgressPageView::ShowBar(TProgressItem Item, bool Visible) {
  (Item == TProgressItem::Single ? F.ProgressBarSingle : F.ProgressBarEntire)->setVisible(Visible);
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

void TProgressPageView::ProcessMessages() {
  QCoreApplication::processEvents();
}

void TProgressPageView::Restore() {
  while (FBusy > 0) SetBusy(false);
  F.Animate->Stop();
}
