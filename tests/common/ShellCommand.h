#pragma once
// Running a shell command from a test, as a user would in a terminal.

#include <sys/wait.h>

#include <cstdio>
#include <string>

// Runs Command with its standard error joined to its output; returns the
// exit status (-1 when it did not exit) and, when asked, what it printed.
inline int RunShellCommand(const std::string& Command, std::string* Output = nullptr) {
  FILE* p = ::popen((Command + " 2>&1").c_str(), "r");
  if (!p) return -1;
  std::string text;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) text.append(buffer, n);
  const int status = ::pclose(p);
  if (Output) *Output = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Text as one word for the shell, whatever it holds.
inline std::string ShellQuote(const std::string& Text) {
  std::string q = "'";
  for (char c : Text) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}
