#pragma once
// The installation run without a window: for every selected chart set and
// resolution it opens the set's archive, unpacks the navigation program's
// files, converts every chart into an installed bitmap (asking before it
// replaces one), and afterwards prunes the stored update index and records
// the installed sets in the registry. The wizard and zrninstall show it
// through a TInstallView.

#include <cstdint>
#include <string>
#include <vector>

#include "QvDigitalCharts.h"
#include "RunView.h"

enum class TReplaceAnswer { Yes, YesToAll, No, Cancel };

// What the installation shows: the progress of every run (the set under way
// with its charts, the whole run when it installs more than one set), and
// the question before an installed chart is replaced.
class TInstallView : public TRunView {
 public:
  // NewFile is the chart file's name in its archive. Without an answer
  // every existing chart is replaced.
  virtual TReplaceAnswer AskReplace(const std::string& Message, const std::string& ExistingFile,
                                    const std::string& NewFile) {
    return TReplaceAnswer::Yes;
  }
};

struct TInstallResult {
  std::vector<std::string> Installed[ResolutionCount];  // set names, in run order
  bool Cancelled = false;
};

class TChartInstaller {
 public:
  // DestFolder ends in "/". The sets and the view stay the caller's;
  // without a view nothing is shown and every existing chart is replaced.
  TChartInstaller(const TChartSetsList& Sets, std::string DestFolder, TInstallView& View);
  TChartInstaller(const TChartSetsList& Sets, std::string DestFolder);

  // Number of charts of all selected pairs (the overall progress maximum).
  int32_t TotalCharts() const;
  // Number of selected (set, resolution) pairs.
  int SelectedCount() const;

  // All selected 120 dpi pairs, then all 240 dpi pairs; stops on Cancel.
  // First it sweeps what a killed run left in the destination folder and
  // prunes the update index, so that a run that dies halfway never leaves
  // a fresh chart that the index says has its updates.
  TInstallResult RunInstallation();
  // Installs one resolution of a set; false only when the user cancelled.
  bool InstallChartSet(const TChartSets& Set, int Resolution, int32_t& Processed);
  // Drops the stored update-index records of the charts of the selected sets.
  void PruneUpdateIndex();
  // Records the pairs whose installation finished (those of Result, the
  // closing message's list) in the settings and in the navigation program's
  // automatic-import list; a cancelled run records no pair it never reached.
  void RegisterChartSets(const TInstallResult& Result);

  bool ReplaceAll() const { return FReplaceAll; }
  bool Cancelled() const { return FCancelled; }

 private:
  void ShowRunStart();
  void ShowChartDone(int32_t SetDone, int32_t SetCount, int32_t Processed);

  const TChartSetsList& FChartSets;
  std::string FDestFolder;
  TInstallView& FView;
  int32_t FTotal = 0;
  bool FReplaceAll = false;
  bool FCancelled = false;
};

// The text of the closing message; empty when nothing was installed.
std::string InstalledSetsMessage(const TInstallResult& Result);

// The message of the replace question for an existing installed chart.
std::string ReplaceQuestion(const std::string& SetName, const std::string& InstalledFile);

// Keeps the 12-byte index records whose chart does not belong to one of
// the set codes (compared without regard to case), unchanged and in order.
std::vector<uint8_t> PruneIndexRecords(const std::vector<uint8_t>& Index,
                                       const std::vector<std::string>& SetCodes);

// Archive entries that belong to the navigation program and are unpacked
// unchanged: the extension is exactly ".chi" or ".bds".
bool IsNavigationFile(const std::string& EntryName);
