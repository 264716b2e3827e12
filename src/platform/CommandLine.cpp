#include "CommandLine.h"

#include <unistd.h>

#include <cstdlib>

#ifndef ZARNAVIS_VERSION
#error "ZARNAVIS_VERSION must be defined by the build (the project version)"
#endif

const char* ProgramVersionText() {
  return ZARNAVIS_VERSION;
}

std::string VersionText(const std::string& Program) {
  return Program + " " + ProgramVersionText() + "\nCopyright (C) 2003 Quorvel B.V.\n";
}

int PrintVersion(const std::string& Program, FILE* To) {
  std::fputs(VersionText(Program).c_str(), To);
  std::fflush(To);
  return ExitSuccess;
}

int UsageError(const std::string& Program, const std::string& Message, FILE* To) {
  std::fprintf(To, "%s: %s\nTry '%s --help' for more information.\n", Program.c_str(),
               Message.c_str(), Program.c_str());
  std::fflush(To);
  return ExitUsage;
}

bool StderrIsTerminal() {
  return ::isatty(STDERR_FILENO) == 1;
}

TProgressLine::TProgressLine(bool Enabled, FILE* To) : FEnabled(Enabled), FTo(To) {}

TProgressLine::~TProgressLine() {
  Finish();
}

void TProgressLine::Show(const std::string& Text) {
  if (!FEnabled) return;
  // Back to the line's start, the text, then erase what a longer text left.
  std::fprintf(FTo, "\r%s\033[K", Text.c_str());
  std::fflush(FTo);
  FShown = true;
}

void TProgressLine::Finish() {
  if (!FEnabled || !FShown) return;
  std::fputs("\r\033[K", FTo);
  std::fflush(FTo);
  FShown = false;
}

std::string TerminalText(const std::string& Message) {
  std::string text = Message;
  for (char& c : text) c = c == '\r' ? '\n' : c;
  // A break at the end (a message box keeps a margin) is left off.
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

bool SplitHostPort(const std::string& Text, std::string& Host, std::string& Port) {
  const size_t colon = Text.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == Text.size()) return false;
  Host = Text.substr(0, colon);
  Port = Text.substr(colon + 1);
  char* end = nullptr;
  const long port = std::strtol(Port.c_str(), &end, 10);
  return *end == '\0' && port > 0 && port < 65536;
}
