#pragma once
// A wizard's progress page answering the progress of a run (RunView.h):
// the labels and bars of the part under way and of the whole run, and the
// event pumping that keeps the window alive while the run works. TView is
// the run's view class (the update run's or the installation's), whose
// other callbacks the wizard answers itself.

#include <QCoreApplication>
#include <QLabel>

#include "ExtForm.h"
#include "ProgressBarEx.h"
#include "RunView.h"
#include "WizardControls.h"

template <class TView>
class TWizardProgressView : public TView {
 public:
  explicit TWizardProgressView(const TWizardProgress& Controls) : F(Controls) {}

  void SetLabel(TProgressItem Item, const std::string& Text) override {
    Label(Item)->setText(ShownText(Text));
  }
  void ShowLabel(TProgressItem Item, bool Visible) override { Label(Item)->setVisible(Visible); }
  void SetBar(TProgressItem Item, int Position, int Max) override {
    Bar(Item)->SetMax(Max);
    Bar(Item)->SetPosition(Position);
  }
  void ShowBar(TProgressItem Item, bool Visible) override { Bar(Item)->setVisible(Visible); }
  void ProcessMessages() override { QCoreApplication::processEvents(); }

 protected:
  QLabel* Label(TProgressItem Item) const {
    return Item == TProgressItem::Single ? F.LabelSingle : F.LabelEntire;
  }
  TProgressBarEx* Bar(TProgressItem Item) const {
    return Item == TProgressItem::Single ? F.ProgressBarSingle : F.ProgressBarEntire;
  }

  TWizardProgress F;
};
