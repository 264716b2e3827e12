#pragma once
// The conventions that every command of the program follows, so that they
// behave like their neighbours on a Linux system:
//   --help     usage, one line per option, where settings live and the exit
//              statuses, on standard output; exit status 0
//   --version  VersionText() on standard output; exit status 0
//   a usage error (unknown option, missing or surplus argument): UsageError()
//              on standard error; exit status 2
//   any other failure: a message on standard error; exit status 1
// Progress is written to standard error, and only when that is a terminal,
// so that logs and pipes get the results alone. No Qt.

#include <cstdio>
#include <string>

inline constexpr int ExitSuccess = 0;
inline constexpr int ExitFailure = 1;
inline constexpr int ExitUsage = 2;

// The program's version in three components ("2.6.0"), from the project's.
const char* ProgramVersionText();

// "PROGRAM 2.6.0", a line break and the maker's copyright line.
std::string VersionText(const std::string& Program);

// Writes VersionText(Program) on To; returns ExitSuccess.
int PrintVersion(const std::string& Program, FILE* To = stdout);

// Writes "PROGRAM: Message" and "Try 'PROGRAM --help' for more information."
// on To; returns ExitUsage, so a caller can `return UsageError(...)`.
int UsageError(const std::string& Program, const std::string& Message, FILE* To = stderr);

// The program's messages break their lines with "\r"; a terminal wants "\n".
// Breaks at the end are left off.
std::string TerminalText(const std::string& Message);

// "HOST:PORT" into its parts (the last colon divides them); false unless
// both are there and PORT is a number from 1 to 65535.
bool SplitHostPort(const std::string& Text, std::string& Host, std::string& Port);

// True when standard error is a terminal (progress is shown only then).
bool StderrIsTerminal();

// One line of progress on a terminal that each Show() rewrites in place;
// Finish() (or the destructor) clears it so that the next message starts on
// an empty line. Does nothing when not enabled.
class TProgressLine {
 public:
  explicit TProgressLine(bool Enabled = StderrIsTerminal(), FILE* To = stderr);
  ~TProgressLine();
  TProgressLine(const TProgressLine&) = delete;
  TProgressLine& operator=(const TProgressLine&) = delete;

  bool Enabled() const { return FEnabled; }
  void Show(const std::string& Text);
  void Finish();

 private:
  bool FEnabled;
  FILE* FTo;
  bool FShown = false;
};
