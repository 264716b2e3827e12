#pragma once
// The update run shown on the wizard's progress page: the labels and bars
// of the file under way and of the whole run, and the event pumping that
// keeps the window alive during long steps; the message boxes, the copy
// animation and the hourglass are the wizard frame's.

#include "UpdateView.h"
#include "WizardFrame.h"
#include "WizardProgressView.h"

class TProgressPageView : public TWizardProgressView<TUpdateView> {
 public:
  TProgressPageView(QWidget* Page, const TWizardProgress& Controls, TWizardFrame& Frame)
      : TWizardProgressView(Controls), FPage(Page), FFrame(Frame) {}

  int Message(const std::string& Text, TMsgDlgType Type, TMsgDlgButtons Buttons) override;
  void ErrorBox(const std::string& Caption, const std::string& Text) override;
  void SetAnimation(bool Running) override { FFrame.SetAnimation(Running); }
  void HideProgressPage() override;
  void SetBusy(bool Busy) override { FFrame.SetBusy(Busy); }

 private:
  QWidget* FPage;
  TWizardFrame& FFrame;
};
