#pragma once
// The zip component has no windows. Its message boxes and the "let pending
// events run" calls go through hooks that the GUI installs; without them a
// message goes to standard error and is answered with its default button.

#include <functional>
#include <string>

enum class TZipButtons { Ok, OkCancel, YesNo };

// Modal results, as the message box of the program returns them.
constexpr int zmrOk = 1;
constexpr int zmrCancel = 2;
constexpr int zmrYes = 6;
constexpr int zmrNo = 7;

using TZipMessageHook =
    std::function<int(const std::string& Text, const std::string& Caption, TZipButtons Buttons)>;
using TZipProcessMessagesHook = std::function<void()>;
// Called with true when a wait starts (the GUI shows the hourglass) and false when it ends.
using TZipBusyHook = std::function<void(bool Busy)>;

// Install a hook (an empty function restores the default); returns the previous.
TZipMessageHook SetZipMessageHook(TZipMessageHook Hook);
TZipProcessMessagesHook SetZipProcessMessagesHook(TZipProcessMessagesHook Hook);
TZipBusyHook SetZipBusyHook(TZipBusyHook Hook);

int ZipMessageBox(const std::string& Text, const std::string& Caption, TZipButtons Buttons);
void ZipProcessMessages();

// Shows the busy state for one scope.
class TZipBusy {
 public:
  TZipBusy();
  ~TZipBusy();
  TZipBusy(const TZipBusy&) = delete;
  TZipBusy& operator=(const TZipBusy&) = delete;
};
