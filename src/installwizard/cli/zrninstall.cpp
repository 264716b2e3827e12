// zrninstall: installs chart sets from a folder of chart-set archives into a
// folder of installed charts, as the installation wizard does, and records
// them in the settings.
//
//   zrninstall [--dpi 120|240] [--set CODE]... [--keep] ARCHIVES DEST
//
// --dpi installs one resolution only; --set limits the run to the sets with
// that code (repeatable); --keep leaves installed charts that exist already
// (the default replaces them, like "Yes to all").

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ChartInstaller.h"
#include "Exception.h"
#include "FileAttributes.h"
#include "Languages.h"
#include "Paths.h"
#include "QvRegistry.h"

namespace {

struct TOptions {
  int OnlyResolution = -1;
  std::vector<std::string> Codes;
  bool Keep = false;
  std::string Archives, Dest;
};

int Usage() {
  std::fprintf(stderr,
               "usage: zrninstall [--dpi 120|240] [--set CODE]... [--keep] ARCHIVES DEST\n");
  return 2;
}

bool ParseOptions(int argc, char** argv, TOptions& O) {
  std::vector<std::string> folders;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--dpi" && i + 1 < argc) {
      const std::string dpi = argv[++i];
      if (dpi != "120" && dpi != "240") return false;
      O.OnlyResolution = dpi == "120" ? 0 : 1;
    } else if (arg == "--set" && i + 1 < argc) {
      O.Codes.push_back(argv[++i]);
    } else if (arg == "--keep") {
      O.Keep = true;
    } else if (!arg.empty() && arg[0] == '-') {
      return false;
    } else {
      folders.push_back(arg);
    }
  }
  if (folders.size() != 2) return false;
  O.Archives = folders[0];
  O.Dest = IncludeTrailingPathDelimiter(folders[1]);
  return true;
}

bool SameCode(const std::string& A, const std::string& B) {
  return A.size() == B.size() && strncasecmp(A.c_str(), B.c_str(), A.size()) == 0;
}

void ApplySelection(const TOptions& O, TChartSetsList& Sets) {
  for (auto& set : Sets) {
    bool wanted = O.Codes.empty();
    for (const std::string& code : O.Codes) wanted = wanted || SameCode(code, set->Code);
    for (int res = 0; res < ResolutionCount; ++res) {
      const bool keep = wanted && (O.OnlyResolution < 0 || O.OnlyResolution == res);
      if (!keep) set->SetSelected(res, false);
    }
  }
}

// "\r" separates the lines of the program's messages.
std::string TerminalLines(const std::string& Message) {
  std::string text = Message;
  for (char& c : text) c = c == '\r' ? '\n' : c;
  return text;
}

void PrintMessage(const std::string& Message) {
  std::printf("%s\n", TerminalLines(Message).c_str());
}

}  // namespace

int main(int argc, char** argv) {
  TOptions options;
  if (!ParseOptions(argc, argv, options)) return Usage();
  try {
    SetRegistryKeyNames("ZRN", "2003");
    CurrentLanguage = TextEnglish;
    TChartSetsList sets =
        FindChartSets(ExcludeTrailingPathDelimiter(options.Archives), options.Dest);
    ApplySelection(options, sets);
    if (!DirectoryExists(options.Dest)) {
      std::fprintf(stderr, "zrninstall: %s does not exist\n", options.Dest.c_str());
      return 1;
    }
    TInstallCallbacks callbacks;
    callbacks.OnSetStart = [](const TChartSets& Set, int Resolution, int32_t Count) {
      std::printf("%s - %s dpi: %d charts\n", Set.Name.c_str(), DpiText(Resolution), Count);
    };
    callbacks.OnAskReplace = [&options](const std::string&, const std::string&,
                                        const std::string&) {
      return options.Keep ? TReplaceAnswer::No : TReplaceAnswer::YesToAll;
    };
    TChartInstaller installer(sets, options.Dest, callbacks);
    if (installer.SelectedCount() == 0) {
      std::fprintf(stderr, "zrninstall: no chart set selected in %s\n", options.Archives.c_str());
      return 1;
    }
    const TInstallResult result = installer.RunInstallation();
    // What was installed is told first, as the wizard does, then recorded.
    const std::string message = InstalledSetsMessage(result);
    if (!message.empty()) PrintMessage(message);
    installer.PruneUpdateIndex();
    installer.RegisterChartSets();
    return 0;
  } catch (const Exception& e) {
    std::fprintf(stderr, "zrninstall: %s: %s\n", e.ClassName(), TerminalLines(e.Message()).c_str());
    return 1;
  }
}
