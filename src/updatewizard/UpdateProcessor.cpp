// The update run: choosing, applying and recording updates.

#include "UpdateProcessor.h"

#include <cstdio>

#include "ChartArchiveReader.h"
#include "FileAttributes.h"
#include "FileNameCase.h"
#include "Languages.h"
#include "StoredUpdateIndex.h"
#include "TemporaryFiles.h"
#include "TextUtils.h"
#include "UnZipper.h"
#include "UnpackedChart.h"
#include "UpdateFiles.h"
#include "Volumes.h"
#include "WorkFolder.h"
#include "Zipper.h"

namespace {

const char* const DeliveredIndexName = "baz.idx";

}  // namespace

TUpdateProcessor::TUpdateProcessor(TUpdateMode Mode, TUpdateView& View)
    : FMode(Mode), FView(View) {}

TUpdateProcessor::~TUpdateProcessor() = default;

void TUpdateProcessor::SetFolders(const std::string& Original, const std::string& Installed,
                                  const std::string& Updates) {
  FOriginalFolder = Original;
  FInstalledFolder = Installed;
  FUpdatesFolder = Updates;
}

void TUpdateProcessor::BeginRun() {
  FWork.reset();
  FWork = std::make_unique<TWorkFolder>();
  FDelivered.clear();
  for (TBaZIndexList& stored : FStored) stored.clear();
  FUpdateList.clear();
  FApplied.clear();
  FResults.clear();
}

void TUpdateProcessor::EndRun() {
  FWork.reset();
}

std::string TUpdateProcessor::WorkFolder() const {
  return FWork ? FWork->Path() : std::string();
}

void TUpdateProcessor::RequireRun() const {
  if (!FWork) throw EZRNError("The update run has not been started.");
}

void TUpdateProcessor::ResetBars() {
  FView.SetBar(TProgressItem::Single, 0, 100);
  FView.SetBar(TProgressItem::Entire, 0, 100);
}

void TUpdateProcessor::LoadUpdateIndexes() {
  RequireRun();
  const std::string delivered = FindFileNoCase(WorkFolder(), DeliveredIndexName);
  if (!delivered.empty()) {
    FDelivered.clear();
    {
      TBufferedFileStream file(delivered, TBufferedFileStream::MaxBufferSize, fmOpenRead);
      ReadUpdateIndex(file, FDelivered, &FChartSets);
    }
    std::remove(delivered.c_str());
  }
  for (int res = 0; res < ResolutionCount; ++res) {
    FStored[res].clear();
    TMemoryStream stored(ReadStoredUpdateIndex(res));
    ReadUpdateIndex(stored, FStored[res], &FChartSets);
  }
}

bool TUpdateProcessor::BuildUpdateList() {
  RequireRun();
  ResetBars();
  FUpdateList.clear();
  if (Applying(FMode)) {
    LoadUpdateIndexes();
    if (!FDelivered.empty())
      for (int res = 0; res < ResolutionCount; ++res)
        SelectUpdates(res, FStored[res], FDelivered, FChartSets, FUpdateList);
    for (auto key = FUpdateList.begin(); key != FUpdateList.end();) {
      std::string chart;
      int res = 0;
      SplitUpdateKey(*key, chart, res);
      // Apply-only takes a chart only when its update for this very
      // resolution came with the disk. The key spells the chart as its code
      // does; the installed bitmap and the update file may spell it otherwise.
      const bool keep = !FindFileNoCase(FInstalledFolder, *key + ".bmp").empty() &&
                        (FMode != TUpdateMode::ApplyOnly ||
                         !FindFileNoCase(WorkFolder(), chart + "." + DpiText(res)).empty());
      key = keep ? std::next(key) : FUpdateList.erase(key);
    }
  } else {
    for (const std::string& name : FServerFiles) {
      // "nnzk_1014.120" is of the set "NNZK" as much as "NNZK_1014.120".
      bool wanted = SameText(ExtractFileExt(name), ".idx");
      for (const std::string& caption : FChecked)
        wanted =
            wanted || LowerCase(name).find(LowerCase(caption.substr(0, 4))) != std::string::npos;
      if (wanted) FUpdateList.insert(name);
    }
  }
  if (FUpdateList.empty()) {
    FView.HideProgressPage();
    FView.Message(GetText(txtUpToDate), mtInformation, {mbOK});
    return false;
  }
  if (Downloading(FMode)) {
    FView.SetLabel(TProgressItem::Entire, GetText(txtEntireDownloadProgress));
    const bool several = FUpdateList.size() > 1;
    FView.ShowLabel(TProgressItem::Entire, several);
    FView.ShowBar(TProgressItem::Entire, several);
    FView.ShowBar(TProgressItem::Single, true);
  }
  return true;
}

TUpdateOutcome TUpdateProcessor::RunUpdate() {
  RequireRun();
  ResetBars();
  switch (FMode) {
    case TUpdateMode::DownloadAndApply:
      FView.ShowLabel(TProgressItem::Entire, false);
      FView.ShowBar(TProgressItem::Entire, false);
      ApplyUpdates();
      return TUpdateOutcome::Applied;
    case TUpdateMode::ApplyOnly:
      return UnpackAndApply();
    case TUpdateMode::DownloadOnly:
      break;
  }
  return PackUpdates();
}

bool TUpdateProcessor::WaitForUpdatesVolume(const std::string& Text) {
  // The prompt offers Cancel: a drive that never becomes ready must not
  // hold the user in the prompt.
  while (!Volumes().IsReady(FUpdatesFolder))
    if (FView.Message(Text, mtInformation, {mbOK, mbCancel}) != mrOk) return false;
  return true;
}

TUpdateOutcome TUpdateProcessor::UnpackAndApply() {
  if (!WaitForUpdatesVolume(GetText(txtInsertUpdateDisk))) return TUpdateOutcome::Cancelled;
  for (;;) {
    const std::string archive = FindFileNoCase(FUpdatesFolder, UpdateArchiveName);
    if (!archive.empty()) {
      FView.SetLabel(TProgressItem::Entire, "Entire process");
      FView.ShowLabel(TProgressItem::Entire, true);
      FView.ShowBar(TProgressItem::Entire, true);
      FView.ShowBar(TProgressItem::Single, true);
      UnpackArchive(archive);
      break;
    }
    if (FAcceptLoose && TakeLooseUpdates()) break;
    if (FView.Message(GetText(txtInsertFirstUpdateDisk), mtConfirmation, {mbOK, mbCancel}) != mrOk)
      return TUpdateOutcome::Cancelled;
  }
  if (!BuildUpdateList()) return TUpdateOutcome::UpToDate;
  FView.ShowLabel(TProgressItem::Entire, false);
  FView.ShowBar(TProgressItem::Entire, false);
  ApplyUpdates();
  return TUpdateOutcome::Applied;
}

bool TUpdateProcessor::TakeLooseUpdates() {
  if (FindFileNoCase(FUpdatesFolder, DeliveredIndexName).empty()) return false;
  for (const std::string& file : UpdateFilesIn(FUpdatesFolder)) {
    TMemoryStream data;
    data.LoadFromFile(file);
    data.SaveToFile(WorkFolder() + ExtractFileName(file));
  }
  return true;
}

void TUpdateProcessor::ConnectProgress(TUnZipper& Zip) {
  Zip.DoProcessMessages = false;
  Zip.OnFilePercentDone = [this](int Percent) {
    FView.SetBar(TProgressItem::Single, Percent, 100);
    FView.ProcessMessages();
  };
  Zip.OnTotalPercentDone = [this](int Percent) {
    FView.SetBar(TProgressItem::Entire, Percent, 100);
    FView.ProcessMessages();
  };
}

void TUpdateProcessor::UnpackArchive(const std::string& Archive) {
  TUnZipper zip;
  zip.SetZipName(Archive);
  zip.SetDestDir(WorkFolder());
  zip.OverwriteMode = TUZOverwriteMode::Always;
  zip.RecreateDirs = false;
  ConnectProgress(zip);
  zip.OnGetNextDisk = [this](int Disk, std::string& Name) { AskNextDisk(Disk, Name, false); };
  // The archive comes from outside: only update files are taken, each under
  // its plain name in the work folder.
  zip.OnStartUnZip = [this, &zip](int Index, std::string& Target, bool& Skip) {
    const std::string name = zip.Entry(Index).FileName;
    Skip = !IsUpdateFileName(name) || Target != WorkFolder() + name;
    if (Skip) return;
    FView.SetLabel(TProgressItem::Single, GetText(txtProcessing) + name);
    FView.SetBar(TProgressItem::Single, 0, 100);
  };
  zip.OnBadCRC = [&Archive](const std::string& File, uint32_t, uint32_t) {
    throw EZRNError("The update archive " + Archive + " is damaged: " + ExtractFileName(File) +
                    " has a CRC error.");
  };
  std::string failure;
  zip.OnSkippingFile = [&failure](const std::string& File, const std::string& Reason) {
    const std::string name = ExtractFileName(File);
    if (failure.empty() && IsUpdateFileName(name)) failure = name + ": " + Reason;
  };
  TRunBusy busy(FView);
  zip.ExtractAll();
  if (!failure.empty())
    throw EZRNError("The update archive " + Archive + " could not be unpacked (" + failure + ").");
}

TUpdateOutcome TUpdateProcessor::PackUpdates() {
  FView.SetAnimation(false);
  FUpdateList.clear();
  const std::vector<std::string> files = UpdateFilesIn(WorkFolder());
  FUpdateList.insert(files.begin(), files.end());
  if (!WaitForUpdatesVolume(GetText(txtInsertEmptyDisk))) return TUpdateOutcome::Cancelled;
  // An archive already there is replaced under the name it has.
  const std::string archive = ExistingFileName(FUpdatesFolder, UpdateArchiveName);
  // On a removable volume the disks take the archive in turns, so the old
  // one must go first; elsewhere the new archive is written beside it and
  // replaces it only when complete, so a failure keeps the old updates.
  const bool span = Volumes().IsRemovable(FUpdatesFolder);
  if (FileExists(archive)) {
    if (FView.Message(GetText(txtOverwriteUpdates), mtConfirmation, {mbYes, mbNo}) != mrYes)
      return TUpdateOutcome::Cancelled;
    if (span && std::remove(archive.c_str()) != 0) throw EWriteError("Cannot delete " + archive);
  }
  FView.SetLabel(TProgressItem::Entire, GetText(txtEntireUpdateProgress));
  FView.SetBar(TProgressItem::Single, 0, 100);
  FView.SetAnimation(true);
  FView.SetLabel(TProgressItem::Single, GetText(txtCopyingUpdates));

  TZipper zip;
  zip.SetZipName(archive);
  zip.ZipAction = zaReplace;
  zip.FilesList = files;
  ConnectProgress(zip);
  zip.OnStartZip = [this](const std::string& File, TZipCentralEntry&, bool&) {
    FView.SetLabel(TProgressItem::Single, GetText(txtProcessing) + ExtractFileName(File));
    FView.SetBar(TProgressItem::Single, 0, 100);
  };
  if (span) {
    zip.MultiZipInfo.MultiMode = mmSpan;
    zip.MultiZipInfo.WriteDiskLabels = true;
    zip.MultiZipInfo.SaveZipInfoOnFirstDisk = true;
    zip.MultiZipInfo.SaveOnFirstDisk = 2000;
    zip.OnGetNextDisk = [this](int Disk, std::string& Name) { AskNextDisk(Disk, Name, true); };
  }
  int stored = 0;
  {
    TRunBusy busy(FView);
    stored = zip.CreateArchive();
  }
  FView.SetAnimation(false);
  // A failure ends here with its own message: the success message below
  // would tell the user that updates are on a disk that does not hold them.
  if (stored != int(files.size()))
    throw EWriteError("Only " + std::to_string(stored) + " of " + std::to_string(files.size()) +
                      " update files could be saved to " + archive + ".");
  FView.HideProgressPage();
  FView.Message(GetText(txtDownloadedAndSaved), mtInformation, {mbOK});
  return TUpdateOutcome::Packed;
}

void TUpdateProcessor::AskNextDisk(int DiskNumber, std::string& FileName, bool Writing) {
  FView.SetBusy(false);
  if (DiskNumber <= 1) {
    if (FView.Message(GetText(txtReinsertFirstDisk), mtConfirmation, {mbOK, mbCancel}) != mrOk)
      FileName.clear();
  } else if (FView.Message(
                 GetText(txtInsertDisk) + std::to_string(DiskNumber) + GetText(txtClickOkToProceed),
                 mtConfirmation, {mbOK, mbCancel}) != mrOk) {
    FileName.clear();
  } else if (Writing && FileExists(FileName)) {
    // Only a disk about to be written is asked about its old archive: the
    // disks of an archive being read hold their parts, which must stay.
    if (FView.Message(GetText(txtOverwriteUpdates), mtConfirmation, {mbYes, mbNo}) == mrYes)
      std::remove(FileName.c_str());
    else
      FileName.clear();
  }
  FView.SetBusy(true);
}

void TUpdateProcessor::ApplyUpdates() {
  RequireRun();
  // What a killed run left beside the installed bitmaps goes first.
  SweepTemporaryFiles(FInstalledFolder);
  FView.SetLabel(TProgressItem::Single, GetText(txtProcessingUpdates));
  FView.SetBar(TProgressItem::Single, 0, int(FUpdateList.size()));
  FView.ShowBar(TProgressItem::Single, FUpdateList.size() > 1);
  FView.ProcessMessages();
  FApplied.clear();
  FResults = {GetText(txtChartsUpdatedHeading), ""};
  {
    TRunBusy busy(FView);
    for (const auto& set : FChartSets)
      for (int res = 0; res < ResolutionCount; ++res)
        if (set->GetSelected(res)) ApplyChartSetUpdates(*set->GetChartSet(res), res);
  }
  SaveUpdateIndexes();
}

void TUpdateProcessor::ApplyChartSetUpdates(const TChartSet& Set, int Resolution) {
  const std::string dpi = DpiText(Resolution);
  std::unique_ptr<TMemoryStream> archive = Set.OpenChartArchive();
  TChartArchiveReader reader(*archive, Set.FileName, WorkFolder());
  for (int i = 0; i < reader.Count(); ++i) {
    const std::string chart = StripFileExt(reader.FileName(i));
    const auto key = FUpdateList.find(UpdateKey(chart, Resolution));
    if (chart.empty() || key == FUpdateList.end()) continue;
    std::string keyChart;
    int keyResolution = 0;
    SplitUpdateKey(*key, keyChart, keyResolution);
    FView.SetLabel(TProgressItem::Single, GetText(txtUpdating) + chart + " - " + dpi + " dpi");
    TUnpackedChart chartFile(reader, i);
    // The installed bitmap keeps the name it has, and the update file is
    // the one of the index's chart, whatever the letter case of either.
    const std::string output =
        ExistingFileName(FInstalledFolder, InstalledBitmapName("", chart, Resolution));
    WriteUpdatedChart(chartFile, WorkFolder() + reader.FileName(i), output,
                      ExistingFileName(WorkFolder(), keyChart + "." + dpi), true);
    FApplied.insert(*key);
    FView.SetBar(TProgressItem::Single, int(FApplied.size()), int(FUpdateList.size()));
    FView.ProcessMessages();
    FResults.push_back("  " + dpi + " dpi - " + output);
  }
}

void TUpdateProcessor::SaveUpdateIndexes() {
  // Recorded are the updates this run really applied: a chart of the list
  // that its archive does not hold got no update and keeps its old date.
  std::vector<uint8_t> records[ResolutionCount];
  for (int res = 0; res < ResolutionCount; ++res)
    records[res] = IndexRecords(MergeUpdateIndex(res, FStored[res], FDelivered, FApplied));
  WriteStoredUpdateIndexes(records);
}
