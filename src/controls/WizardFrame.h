#pragma once
// The frame both wizards' pages stand in: Back, Next and Cancel below the
// page area, with Next's label and what it does set by each page (the step
// to the next page; on the last page the run, under "Install" or
// "&Update"); the check of a page before Next goes on; and the run on the
// progress page with its hourglass and copy animation. Whichever way a run
// ends, the hourglass and the animation end with it; after a failure or an
// error Restore gives the window back to the user with its buttons.

#include <functional>
#include <string>

#include "BusyCheck.h"
#include "MsgDlgTypes.h"
#include "TextIds.h"

class QDialog;
class QPushButton;
class TCopyAnimation;

class TWizardFrame {
 public:
  // The buttons stand below Form's page area, Next as the default button;
  // Back calls Back, Cancel rejects Form. Animate: the copy animation of
  // the progress page.
  TWizardFrame(QDialog& Form, TCopyAnimation& Animate, std::function<void()> Back);
  // Ends an hourglass a run left.
  ~TWizardFrame();
  TWizardFrame(const TWizardFrame&) = delete;
  TWizardFrame& operator=(const TWizardFrame&) = delete;

  QPushButton* const ButtonPrev;
  QPushButton* const ButtonNext;
  QPushButton* const ButtonCancel;

  // Next reads Label and does Action when clicked.
  void SetNext(TTextId Label, std::function<void()> Action);
  // Which of Back, Next and Cancel the page shows.
  void ShowButtons(bool Back, bool Next, bool Cancel);

  // The check of the page before Next goes on (TBusyCheck): Next disabled,
  // the hourglass, the user's input to the window dropped, the check's
  // message boxes with the normal cursor.
  TBusyCheck Check();

  // The run: the hourglass (counted, so that every SetBusy(true) needs
  // its SetBusy(false) or EndRun), the animation, and message boxes that
  // show the normal cursor while they wait for the user.
  void SetBusy(bool Busy);
  void SetAnimation(bool Running);
  int Message(const std::string& Text, TMsgDlgType Type, TMsgDlgButtons Buttons);
  // No hourglass of the run left, the animation stopped.
  void EndRun();
  // After a run that failed or raised: EndRun, and Back, Next and Cancel
  // shown again on the page the wizard goes back to.
  void Restore();

  // A run is under way (TRun): the window must not close meanwhile.
  bool Running() const { return FRuns > 0; }
  // Marks a run for its scope; on every way out, also when an exception
  // passes, the run ends (EndRun).
  class TRun {
   public:
    explicit TRun(TWizardFrame& Frame) : FFrame(Frame) { ++FFrame.FRuns; }
    ~TRun() {
      --FFrame.FRuns;
      FFrame.EndRun();
    }
    TRun(const TRun&) = delete;
    TRun& operator=(const TRun&) = delete;

   private:
    TWizardFrame& FFrame;
  };

 private:
  QDialog& FForm;
  TCopyAnimation& FAnimate;
  std::function<void()> FNext;
  int FBusy = 0;
  int FRuns = 0;
};
