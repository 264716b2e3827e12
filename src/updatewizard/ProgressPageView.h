#pragma once
// The update run shown on the wizard's progress page: message boxes, the
// labels and bars of the file under way and of the whole run, the copy
// animation, the hourglass, and the event pumping that keeps the window
// alive during long steps.

#include "UpdateView.h"
#include "WizardProgressView.h"

class TProgressPageView : public TWizardProgressView<TUpdateView> {
 public:
  TProgressPageView(QWidget* Page, const TWizardProgress& Controls)
      : TWizardProgressView(Controls), FPage(Page) {}
  ~TProgressPageView() override;

  int Message(const std::string& Text, TMsgDlgType Type, TMsgDlgButtons Buttons) override;
  void ErrorBox(const std::string& Caption, const std::string& Text) override;
  void SetAnimation(bool Running) override;
  void HideProgressPage() override;
  void SetBusy(bool Busy) override;

  // Ends every hourglass the run left and stops the animation: the window
  // is the user's again after a failure.
  void Restore();

 private:
  QWidget* FPage;
  int FBusy = 0;
};
