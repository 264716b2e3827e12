// zrnupdate: downloads notices-to-mariners updates from the update server
// and applies them to the installed charts, as the update wizard does, from
// the command line.
//
//   zrnupdate [OPTIONS] download-apply ORIGINAL INSTALLED
//   zrnupdate [OPTIONS] download UPDATES
//   zrnupdate [OPTIONS] apply ORIGINAL INSTALLED UPDATES

#include <cstdio>
#include <string>

#include "Exception.h"
#include "Languages.h"
#include "QvRegistry.h"
#include "UpdateProcessor.h"
#include "ZrnUpdateRuns.h"

int FailRun(TTerminalView& View, const std::string& Message) {
  View.EndProgressLine();
  std::fprintf(stderr, "%s: %s\n", ZrnUpdateProgram, TerminalText(Message).c_str());
  return 1;
}

void PrintResults(const std::vector<std::string>& Results) {
  for (const std::string& line : Results) std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

int RunApply(const TZrnUpdateOptions& O, TTerminalView& View) {
  TSettingsCheck check = CheckSettingsFolders(TUpdateMode::ApplyOnly, O.Folders[0], O.Folders[1],
                                              O.Folders[2], {}, true);
  if (!check.Ok) return FailRun(View, check.Warning);
  RestrictSelection(check.ChartSets, O.Codes, O.OnlyResolution);
  if (CountSelectedResolutions(check.ChartSets) == 0)
    return FailRun(View, GetText(txtNoSetsSelected));

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
      PrintResults(processor.Results());
      return 0;
    case TUpdateOutcome::UpToDate:
    case TUpdateOutcome::Packed:
      return 0;
    case TUpdateOutcome::Cancelled:
      break;
  }
  return FailRun(View, "cancelled; nothing was updated");
}

int main(int argc, char** argv) {
  TZrnUpdateOptions options;
  bool done = false;
  if (const int status = ParseZrnUpdateOptions(argc, argv, options, done); status != 0 || done)
    return status;
  TTerminalView view(ZrnUpdateProgram);
  try {
    SetRegistryKeyNames("ZRN", "2003");
    CurrentLanguage = TextEnglish;
    return options.Mode == TUpdateMode::ApplyOnly ? RunApply(options, view)
                                                  : RunDownload(options, view);
  } catch (const Exception& e) {
    return FailRun(view, std::string(e.ClassName()) + ": " + e.Message());
  }
}
