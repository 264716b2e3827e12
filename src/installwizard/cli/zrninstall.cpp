// zrninstall: installs chart sets from a folder of chart-set archives into a
// folder of installed charts, as the installation wizard does, and records
// them in the settings. See PrintHelp for the options.

#include <cstdio>
#include <string>
#include <vector>

#include "ChartInstaller.h"
#include "CommandLine.h"
#include "Exception.h"
#include "FileAttributes.h"
#include "Languages.h"
#include "Paths.h"
#include "QvRegistry.h"

namespace {

const char* const kProgram = "zrninstall";

void PrintHelp() {
  std::fputs(
      "Usage: zrninstall [OPTION]... ARCHIVES DEST\n"
      "Installs the chart sets of the chart-set archives (.zra) in the folder ARCHIVES\n"
      "into the folder of installed charts DEST, as the installation wizard does, and\n"
      "records them in the settings.\n"
      "\n"
      "Options:\n"
      "  --dpi 120|240  install this resolution only (default: both)\n"
      "  --set CODE     install the chart set CODE only; may be repeated (default: all)\n"
      "  --keep         keep installed charts that exist already (default: replace)\n"
      "  --help         display this help and exit\n"
      "  --version      output version information and exit\n"
      "\n"
      "Progress (chart set, chart, count) is shown on standard error when it is a\n"
      "terminal; the installed chart sets are listed on standard output.\n"
      "Settings are kept in $ZARNAVIS_HOME, else in $XDG_CONFIG_HOME/zarnavis\n"
      "(~/.config/zarnavis): system.reg and user.reg.\n"
      "\n"
      "Exit status:\n"
      " 0  the selected chart sets were installed\n"
      " 1  nothing was installed (the message says why), or the installation failed\n"
      " 2  wrong usage\n",
      stdout);
}

struct TOptions {
  int OnlyResolution = -1;
  std::vector<std::string> Codes;
  bool Keep = false;
  bool Help = false, Version = false;
  std::string Archives, Dest;
};

// The value of an option given as "--name VALUE" or "--name=VALUE"; false
// (with Error set) when it is missing.
bool TakeValue(const std::string& Name, const std::string& Arg, int argc, char** argv, int& i,
               std::string& Value, std::string& Error) {
  if (Arg.size() > Name.size() && Arg[Name.size()] == '=') {
    Value = Arg.substr(Name.size() + 1);
    return true;
  }
  if (i + 1 >= argc) {
    Error = "option '" + Name + "' requires an argument";
    return false;
  }
  Value = argv[++i];
  return true;
}

bool IsOption(const std::string& Arg, const std::string& Name) {
  return Arg == Name || Arg.compare(0, Name.size() + 1, Name + "=") == 0;
}

// False with Error set on a usage error.
bool ParseOptions(int argc, char** argv, TOptions& O, std::string& Error) {
  std::vector<std::string> folders;
  bool optionsEnd = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    std::string value;
    if (optionsEnd || arg.empty() || arg[0] != '-' || arg == "-") {
      folders.push_back(arg);
    } else if (arg == "--") {
      optionsEnd = true;
    } else if (arg == "--help") {
      O.Help = true;
      return true;
    } else if (arg == "--version") {
      O.Version = true;
      return true;
    } else if (IsOption(arg, "--dpi")) {
      if (!TakeValue("--dpi", arg, argc, argv, i, value, Error)) return false;
      if (value != "120" && value != "240") {
        Error = "invalid resolution '" + value + "' (120 or 240)";
        return false;
      }
      O.OnlyResolution = value == "120" ? 0 : 1;
    } else if (IsOption(arg, "--set")) {
      if (!TakeValue("--set", arg, argc, argv, i, value, Error)) return false;
      O.Codes.push_back(value);
    } else if (arg == "--keep") {
      O.Keep = true;
    } else {
      Error = "unrecognized option '" + arg + "'";
      return false;
    }
  }
  if (folders.size() < 2) {
    Error = folders.empty() ? "missing ARCHIVES and DEST" : "missing DEST";
    return false;
  }
  if (folders.size() > 2) {
    Error = "extra operand '" + folders[2] + "'";
    return false;
  }
  O.Archives = folders[0];
  O.Dest = folders[1];
  return true;
}

// Why nothing can be installed, in the wizard's words and order; empty
// when the run can go ahead.
std::string CheckRun(const TOptions& O, const TChartSetsList& Sets, const TChartInstaller& Run) {
  if (O.Archives.empty()) return GetText(txtNoOriginalFolder);
  if (Sets.empty()) return GetText(txtNoOriginalCharts) + std::to_string(ChartEdition) + ".";
  if (O.Dest.empty()) return GetText(txtInvalidInstallFolder);
  const std::string dest = IncludeTrailingPathDelimiter(O.Dest);
  if (!DirectoryExists(dest)) return dest + " does not exist.";
  if (Run.SelectedCount() == 0) return GetText(txtNoSetsSelected);
  return std::string();
}

// The run on a terminal: each set as it starts on standard output, the
// chart within the set and within the whole run as a progress line; the
// replace question answered by --keep.
class TTerminalInstallView : public TInstallView {
 public:
  explicit TTerminalInstallView(bool Keep) : FKeep(Keep) {}

  void SetLabel(TProgressItem Item, const std::string& Text) override {
    if (Item != TProgressItem::Single) return;
    FSet = Text;
    FSetStarts = true;
  }
  void SetBar(TProgressItem Item, int Position, int Max) override {
    if (Item == TProgressItem::Entire) {
      FProcessed = Position;
      FTotal = Max;
      return;
    }
    if (FSetStarts) {
      FLine.Finish();
      std::printf("%s: %d charts\n", FSet.c_str(), Max);
      std::fflush(stdout);
      FSetStarts = false;
    }
    FLine.Show(FSet + ": chart " + std::to_string(Position) + " of " + std::to_string(Max) + " (" +
               std::to_string(FProcessed) + " of " + std::to_string(FTotal) + ")");
  }
  TReplaceAnswer AskReplace(const std::string&, const std::string&, const std::string&) override {
    return FKeep ? TReplaceAnswer::No : TReplaceAnswer::YesToAll;
  }
  void Finish() { FLine.Finish(); }

 private:
  bool FKeep;
  TProgressLine FLine;
  std::string FSet;
  bool FSetStarts = false;
  int FProcessed = 0;
  int FTotal = 0;
};

int Install(const TOptions& options) {
  SetRegistryKeyNames("ZRN", "2003");
  CurrentLanguage = TextEnglish;
  const std::string dest = IncludeTrailingPathDelimiter(options.Dest);
  TChartSetsList sets = options.Archives.empty()
                            ? TChartSetsList()
                            : FindChartSets(ExcludeTrailingPathDelimiter(options.Archives), dest);
  RestrictSelection(sets, options.Codes, options.OnlyResolution);
  TTerminalInstallView view(options.Keep);
  TChartInstaller installer(sets, dest, view);
  const std::string why = CheckRun(options, sets, installer);
  if (!why.empty()) {
    std::fprintf(stderr, "%s: %s\n", kProgram, TerminalText(why).c_str());
    return ExitFailure;
  }
  const TInstallResult result = installer.RunInstallation();
  view.Finish();
  // What was installed is told first, as the wizard does, then recorded.
  const std::string message = InstalledSetsMessage(result);
  if (!message.empty()) std::printf("%s\n", TerminalText(message).c_str());
  installer.PruneUpdateIndex();
  installer.RegisterChartSets(result);
  return ExitSuccess;
}

}  // namespace

int main(int argc, char** argv) {
  TOptions options;
  std::string error;
  if (!ParseOptions(argc, argv, options, error)) return UsageError(kProgram, error);
  if (options.Help) {
    PrintHelp();
    return ExitSuccess;
  }
  if (options.Version) return PrintVersion(kProgram);
  try {
    return Install(options);
  } catch (const Exception& e) {
    std::fprintf(stderr, "%s: %s: %s\n", kProgram, e.ClassName(),
                 TerminalText(e.Message()).c_str());
    return ExitFailure;
  }
}
