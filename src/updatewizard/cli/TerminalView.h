#pragma once
// The update run on a terminal: messages on standard output (information)
// or standard error (warnings, errors), prompts answered on standard input
// (Enter for OK, q for Cancel; y or n for Yes and No; the end of the input
// answers Cancel or No), and progress on standard error when that is a
// terminal.

#include <cstdio>
#include <string>

#include "UpdateView.h"

class TTerminalView : public TUpdateView {
 public:
  TTerminalView(std::string Program, FILE* Input = stdin);
  ~TTerminalView() override;

  int Message(const std::string& Text, TMsgDlgType Type, TMsgDlgButtons Buttons) override;
  void SetLabel(TProgressItem Item, const std::string& Text) override;
  void SetBar(TProgressItem Item, int Position, int Max) override;
  void HideProgressPage() override { EndProgressLine(); }

  // Ends a progress line so that the next output starts on a line of its own.
  void EndProgressLine();

 private:
  void DrawProgress();
  std::string ReadAnswer();

  std::string FProgram;
  FILE* FInput;
  bool FShowProgress;
  bool FLineOpen = false;
  std::string FLabel[2];
  int FPercent[2] = {-1, -1};
};

// "\r" separates the lines of the program's messages.
std::string TerminalText(const std::string& Message);
