#include "WizardFrame.h"

#include <QApplication>
#include <QDialog>
#include <QPushButton>

#include "CopyAnimation.h"
#include "MsgBox.h"
#include "WizardControls.h"

TWizardFrame::TWizardFrame(QDialog& Form, TCopyAnimation& Animate, std::function<void()> Back)
    : ButtonPrev(NewButton(&Form, QRect(193, 355, 75, 25))),
      ButtonNext(NewButton(&Form, QRect(268, 355, 75, 25))),
      ButtonCancel(NewButton(&Form, QRect(355, 355, 75, 25))),
      FForm(Form),
      FAnimate(Animate) {
  ButtonNext->setDefault(true);
  ButtonPrev->setText(TableText(txtBack));
  ButtonCancel->setText(TableText(txtCancel));
  QObject::connect(ButtonPrev, &QPushButton::clicked, &Form, std::move(Back));
  QObject::connect(ButtonNext, &QPushButton::clicked, &Form, [this] {
    if (FNext) FNext();
  });
  QObject::connect(ButtonCancel, &QPushButton::clicked, &Form, &QDialog::reject);
}

TWizardFrame::~TWizardFrame() {
  while (FBusy > 0) SetBusy(false);
}

void TWizardFrame::SetNext(TTextId Label, std::function<void()> Action) {
  ButtonNext->setText(TableText(Label));
  FNext = std::move(Action);
}

void TWizardFrame::ShowButtons(bool Back, bool Next, bool Cancel) {
  ButtonPrev->setVisible(Back);
  ButtonNext->setVisible(Next);
  ButtonCancel->setVisible(Cancel);
}

TBusyCheck TWizardFrame::Check() {
  return TBusyCheck(&FForm, ButtonNext);
}

void TWizardFrame::SetBusy(bool Busy) {
  if (Busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ++FBusy;
  } else if (FBusy > 0) {
    QApplication::restoreOverrideCursor();
    --FBusy;
  }
}

void TWizardFrame::SetAnimation(bool Running) {
  if (Running)
    FAnimate.Start();
  else
    FAnimate.Stop();
}

int TWizardFrame::Message(const std::string& Text, TMsgDlgType Type, TMsgDlgButtons Buttons) {
  // A question wants the normal cursor, whatever the run shows meanwhile.
  if (FBusy > 0) return TBusyCheck::MsgBox(Text, Type, Buttons);
  return ShowMsgBox(Text, Type, Buttons);
}

void TWizardFrame::EndRun() {
  while (FBusy > 0) SetBusy(false);
  FAnimate.Stop();
}

void TWizardFrame::Restore() {
  EndRun();
  ShowButtons(true, true, true);
}
