#include "TerminalView.h"

#include <unistd.h>

#include <cctype>

std::string TerminalText(const std::string& Message) {
  std::string text = Message;
  for (char& c : text) c = c == '\r' ? '\n' : c;
  return text;
}

TTerminalView::TTerminalView(std::string Program, FILE* Input)
    : FProgram(std::move(Program)), FInput(Input), FShowProgress(::isatty(STDERR_FILENO) == 1) {}

TTerminalView::~TTerminalView() {
  EndProgressLine();
}

void TTerminalView::EndProgressLine() {
  if (!FLineOpen) return;
  std::fputs("\n", stderr);
  FLineOpen = false;
}

std::string TTerminalView::ReadAnswer() {
  std::string line;
  int c;
  while ((c = std::fgetc(FInput)) != EOF && c != '\n') line += char(c);
  if (c == EOF && line.empty()) return "\x04";  // end of input
  while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
  for (char& ch : line) ch = char(std::tolower(static_cast<unsigned char>(ch)));
  return line;
}

int TTerminalView::Message(const std::string& Text, TMsgDlgType Type, TMsgDlgButtons Buttons) {
  EndProgressLine();
  const std::string text = TerminalText(Text);
  if (Buttons.Contains(mbYes)) {
    for (;;) {
      std::fprintf(stderr, "%s [y/n] ", text.c_str());
      std::fflush(stderr);
      const std::string answer = ReadAnswer();
      if (answer == "y" || answer == "yes") return mrYes;
      if (answer == "n" || answer == "no" || answer == "\x04") return mrNo;
    }
  }
  if (Buttons.Contains(mbCancel)) {
    std::fprintf(stderr, "%s [Enter: OK, q: Cancel] ", text.c_str());
    std::fflush(stderr);
    const std::string answer = ReadAnswer();
    return answer == "q" || answer == "\x04" ? mrCancel : mrOk;
  }
  if (Type == mtInformation)
    std::printf("%s\n", text.c_str());
  else
    std::fprintf(stderr, "%s: %s\n", FProgram.c_str(), text.c_str());
  std::fflush(stdout);
  return mrOk;
}

void TTerminalView::SetLabel(TProgressItem Item, const std::string& Text) {
  const int i = Item == TProgressItem::Single ? 0 : 1;
  if (FLabel[i] == Text) return;
  FLabel[i] = Text;
  if (i == 0) FPercent[0] = -1;
  DrawProgress();
}

void TTerminalView::SetBar(TProgressItem Item, int Position, int Max) {
  const int i = Item == TProgressItem::Single ? 0 : 1;
  const int percent = Max > 0 ? Position * 100 / Max : 0;
  if (FPercent[i] == percent) return;
  FPercent[i] = percent;
  DrawProgress();
}

void TTerminalView::DrawProgress() {
  if (!FShowProgress || FLabel[0].empty()) return;
  std::string line = FLabel[0];
  if (FPercent[0] >= 0) line += " " + std::to_string(FPercent[0]) + "%";
  if (!FLabel[1].empty() && FPercent[1] > 0)
    line += "  (" + FLabel[1] + " " + std::to_string(FPercent[1]) + "%)";
  std::fprintf(stderr, "\r\033[K%s", line.c_str());
  std::fflush(stderr);
  FLineOpen = true;
}
