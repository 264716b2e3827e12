#pragma once
// The connection to the help. One instance per run, created on the first help
// request of a window. A request looks for a help context on the control under
// it and its parents; a found context opens the help file at that topic. No
// control of this program has a help context, so a request normally shows
// nothing; the user's help is the document the main window opens.

#include <string>

class QWidget;

class THTMLHelper {
 public:
  static THTMLHelper& Instance();
  static bool Exists();

  // The help context of a control: its dynamic property "HelpContext", else
  // that of its nearest parent that has one; 0 when none has.
  static int HelpContextOf(const QWidget* widget);

  // Handles a help request on a control. Returns true when help was shown.
  bool HelpRequest(const QWidget* widget);
  // Shows the topic of a help context; context 0 shows nothing.
  bool ShowHelpContext(int context);

  void SetHelpFile(const std::string& file) { FHelpFile = file; }
  const std::string& HelpFile() const { return FHelpFile; }
  int Requests() const { return FRequests; }

 private:
  THTMLHelper() = default;
  std::string FHelpFile;
  int FRequests = 0;
};
