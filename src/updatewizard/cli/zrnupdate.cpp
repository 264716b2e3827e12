// zrnupdate: applies notices-to-mariners updates to the installed charts, as
// the update wizard does, from the command line.
//
//   zrnupdate [OPTIONS] apply ORIGINAL INSTALLED UPDATES

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Exception.h"
#include "Languages.h"
#include "Paths.h"
#include "QvRegistry.h"
#include "TerminalView.h"
#include "UpdateProcessor.h"
#include "UpdateSettings.h"

namespace {

const char* const Program = "zrnupdate";

struct TOptions {
  std::string Command;
  std::vector<std::string> Folders;
  int OnlyResolution = -1;
  std::vector<std::string> Codes;
};

const char* const HelpText =
    "Usage: zrnupdate [OPTIONS] apply ORIGINAL INSTALLED UPDATES\n"
    "Applies notices-to-mariners (BaZ) updates to the installed charts, as the\n"
    "update wizard of the chart CD does.\n"
    "\n"
    "  apply       apply the updates of UPDATES: the folder that holds\n"
    "              \"Updates.BaZ\" (also spanned over removable disks) or a\n"
    "              folder of loose update files with their \"baz.idx\"\n"
    "  ORIGINAL    the folder of chart-set archives (the CD's Charts folder)\n"
    "  INSTALLED   the folder of installed charts\n"
    "\n"
    "Options:\n"
    "  --dpi 120|240   update one resolution only\n"
    "  --set CODE      update only the chart set CODE (1801, NNZK, ...); repeatable\n"
    "  --help          show this help and exit\n"
    "  --version       show the version and exit\n"
    "\n"
    "Each updated chart is listed as \"  <dpi> dpi - <installed file>\". Disk\n"
    "prompts are answered on standard input: Enter for OK, q for Cancel, y or n\n"
    "for Yes and No. Progress goes to standard error when it is a terminal.\n"
    "\n"
    "Settings (the installed chart sets, the record of the applied updates) are\n"
    "those of the program: $ZARNAVIS_HOME, else $XDG_CONFIG_HOME/zarnavis\n"
    "(~/.config/zarnavis).\n"
    "\n"
    "Exit status: 0 when the updates were applied or the charts are up to date,\n"
    "1 on a failure, 2 on a usage error.\n";

int UsageError(const std::string& Message) {
  std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", Program, Message.c_str(),
               Program);
  return 2;
}

// 0 when the options are usable, else the exit status to end with.
int ParseOptions(int argc, char** argv, TOptions& O, bool& Done) {
  Done = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--help") {
      std::fputs(HelpText, stdout);
      Done = true;
      return 0;
    } else if (arg == "--version") {
      std::printf("%s 2.6.0\n", Program);
      Done = true;
      return 0;
    } else if (arg == "--dpi") {
      if (!hasValue) return UsageError("--dpi needs a value");
      const std::string dpi = argv[++i];
      if (dpi != "120" && dpi != "240") return UsageError("--dpi takes 120 or 240");
      O.OnlyResolution = dpi == "120" ? 0 : 1;
    } else if (arg == "--set") {
      if (!hasValue) return UsageError("--set needs a chart-set code");
      O.Codes.push_back(argv[++i]);
    } else if (arg.size() > 1 && arg[0] == '-') {
      return UsageError("unknown option " + arg);
    } else if (O.Command.empty()) {
      O.Command = arg;
    } else {
      O.Folders.push_back(arg);
    }
  }
  if (O.Command.empty()) return UsageError("no command given");
  if (O.Command != "apply") return UsageError("unknown command " + O.Command);
  if (O.Folders.size() != 3) return UsageError("apply needs ORIGINAL, INSTALLED and UPDATES");
  return 0;
}

int Fail(TTerminalView& View, const std::string& Message) {
  View.EndProgressLine();
  std::fprintf(stderr, "%s: %s\n", Program, TerminalText(Message).c_str());
  return 1;
}

int RunApply(const TOptions& O, TTerminalView& View) {
  TSettingsCheck check = CheckSettingsFolders(TUpdateMode::ApplyOnly, O.Folders[0], O.Folders[1],
                                              O.Folders[2], {}, true);
  if (!check.Ok) return Fail(View, check.Warning);
  RestrictSelection(check.ChartSets, O.Codes, O.OnlyResolution);
  if (CountSelectedResolutions(check.ChartSets) == 0) return Fail(View, GetText(56));

  TUpdateProcessor processor(TUpdateMode::ApplyOnly, View);
  processor.SetFolders(check.OriginalFolder, check.InstalledFolder, check.UpdatesFolder);
  processor.SetChartSets(std::move(check.ChartSets));
  processor.SetAcceptLooseUpdates(true);
  processor.BeginRun();
  const TUpdateOutcome outcome = processor.RunUpdate();
  processor.EndRun();
  View.EndProgressLine();
  switch (outcome) {
    case TUpdateOutcome::Applied:
      for (const std::string& line : processor.Results()) std::printf("%s\n", line.c_str());
      return 0;
    case TUpdateOutcome::UpToDate:
    case TUpdateOutcome::Packed:
      return 0;
    case TUpdateOutcome::Cancelled:
      break;
  }
  return Fail(View, "cancelled; nothing was updated");
}

}  // namespace

int main(int argc, char** argv) {
  TOptions options;
  bool done = false;
  if (const int status = ParseOptions(argc, argv, options, done); status != 0 || done)
    return status;
  TTerminalView view(Program);
  try {
    SetRegistryKeyNames("ZRN", "2003");
    CurrentLanguage = TextEnglish;
    return RunApply(options, view);
  } catch (const Exception& e) {
    return Fail(view, std::string(e.ClassName()) + ": " + e.Message());
  }
}
