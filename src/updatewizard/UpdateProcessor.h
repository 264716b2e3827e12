#pragma once
// The update run without a window: which charts need an update, applying
// the updates to the installed charts (each chart fresh from its archive on
// the CD, so applying the same update again gives the same bitmap), the
// results, and the record of what was applied; in download-only mode the
// packing of the fetched files into "Updates.BaZ" (spanned over removable
// disks where the folder is on one), in apply-only mode the unpacking of
// it. The wizard and zrnupdate drive it; it shows everything through a
// TUpdateView.
//
// A run begins with BeginRun, which makes the private work folder, and ends
// with EndRun (or the processor's end), which removes it, also after an
// error. Errors of the chart data, the zip component and the file system
// are raised; the stored indexes are then left as they were.

#include <memory>
#include <string>
#include <vector>

#include "QvDigitalCharts.h"
#include "UpdateIndex.h"
#include "UpdateSettings.h"
#include "UpdateView.h"

class TWorkFolder;
class TUnZipper;

enum class TUpdateOutcome {
  Applied,   // updates applied: the results page follows
  UpToDate,  // nothing to do; the message has been shown
  Packed,    // download-only: "Updates.BaZ" written; the message has been shown
  Cancelled  // the user refused a disk prompt
};

class TUpdateProcessor {
 public:
  TUpdateProcessor(TUpdateMode Mode, TUpdateView& View);
  ~TUpdateProcessor();
  TUpdateProcessor(const TUpdateProcessor&) = delete;
  TUpdateProcessor& operator=(const TUpdateProcessor&) = delete;

  TUpdateMode Mode() const { return FMode; }
  // The wizard chooses the mode on its start page; a run keeps its mode.
  void SetMode(TUpdateMode Mode) { FMode = Mode; }
  // Folders end in "/"; a mode uses only its own.
  void SetFolders(const std::string& Original, const std::string& Installed,
                  const std::string& Updates);
  // Applying modes: the installed chart sets with the user's selections.
  void SetChartSets(TChartSetsList Sets) { FChartSets = std::move(Sets); }
  TChartSetsList& ChartSets() { return FChartSets; }
  // Download-only: the checked captions of the catalogue and the names the
  // server lists, in its order.
  void SetCheckedCatalogue(std::vector<std::string> Captions) { FChecked = std::move(Captions); }
  void SetServerFiles(std::vector<std::string> Names) { FServerFiles = std::move(Names); }
  // Apply-only: an updates folder without "Updates.BaZ" but with "baz.idx"
  // is taken as a folder of loose update files (the command line's way).
  void SetAcceptLooseUpdates(bool Accept) { FAcceptLoose = Accept; }

  void BeginRun();
  void EndRun();
  bool Running() const { return FWork != nullptr; }
  // The work folder of the run, ending in "/"; empty outside a run.
  std::string WorkFolder() const;
  // The work folder itself; null outside a run.
  TWorkFolder* Work() const { return FWork.get(); }

  // Reads the delivered index from the work folder's "baz.idx" (deleting
  // the file) and both stored indexes from the settings.
  void LoadUpdateIndexes();
  // Computes the update list for the mode. False when it is empty: the
  // "up to date" message has been shown and the run has nothing more to do.
  bool BuildUpdateList();
  // After the downloads (download modes) or as the start (apply-only).
  TUpdateOutcome RunUpdate();
  // Applies every entry of the update list, set by set, then stores the
  // new indexes.
  void ApplyUpdates();
  void ApplyChartSetUpdates(const TChartSet& Set, int Resolution);
  void SaveUpdateIndexes();
  // The zip component asks for disk DiskNumber; clearing FileName cancels.
  // Writing: a disk that holds an old archive is overwritten only when the
  // user agrees.
  void AskNextDisk(int DiskNumber, std::string& FileName, bool Writing);

  const TUpdateList& UpdateList() const { return FUpdateList; }
  // The keys of the update list that this run has applied.
  const TUpdateList& Applied() const { return FApplied; }
  // The lines of the results page.
  const std::vector<std::string>& Results() const { return FResults; }
  const TBaZIndexList& DeliveredIndex() const { return FDelivered; }
  const TBaZIndexList& StoredIndex(int Resolution) const { return FStored[Resolution]; }

 private:
  TUpdateOutcome UnpackAndApply();
  TUpdateOutcome PackUpdates();
  // Repeats the prompt Text until the updates folder's volume is ready;
  // false when the user cancels.
  bool WaitForUpdatesVolume(const std::string& Text);
  bool TakeLooseUpdates();
  void UnpackArchive(const std::string& Archive);
  void ConnectProgress(TUnZipper& Zip);
  void ResetBars();
  void RequireRun() const;

  TUpdateMode FMode;
  TUpdateView& FView;
  std::string FOriginalFolder, FInstalledFolder, FUpdatesFolder;
  std::unique_ptr<TWorkFolder> FWork;
  TChartSetsList FChartSets;
  std::vector<std::string> FChecked;
  std::vector<std::string> FServerFiles;
  bool FAcceptLoose = false;
  TBaZIndexList FDelivered;
  TBaZIndexList FStored[ResolutionCount];
  TUpdateList FUpdateList;
  TUpdateList FApplied;
  std::vector<std::string> FResults;
};
