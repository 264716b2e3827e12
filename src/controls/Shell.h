#pragma once
// The shell's "open": documents and web addresses go to the desktop's opener,
// programs are started directly, Windows programs through wine when it is
// installed. Success means that the opener or the program was started, the
// counterpart of a shell result above 32.

#include <functional>
#include <string>

struct TShellRequest {
  std::string File;
  std::string Parameters;  // split like a command line
  std::string Directory;   // working folder, empty for the current one
};

bool ShellOpen(const std::string& file, const std::string& parameters,
               const std::string& directory);

// Opens a web address: the address itself, then the two browsers that the
// Windows world named, each through ShellOpen; true at the first success.
bool OpenURL(const std::string& url);

// Tests see and answer every shell request through a hook (empty: real shell).
using TShellHook = std::function<bool(const TShellRequest&)>;
TShellHook SetShellHook(TShellHook hook);

// What ShellOpen would do with a file, without doing it.
enum class TShellAction { Url, Program, WindowsProgram, Document, Missing };
TShellAction ClassifyShellFile(const std::string& file, const std::string& directory);
