#include "ChartInstaller.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "ChartArchiveReader.h"
#include "FileAttributes.h"
#include "FileNameCase.h"
#include "Languages.h"
#include "NavProgram.h"
#include "QvRegistry.h"
#include "StoredUpdateIndex.h"
#include "TemporaryFiles.h"
#include "TextUtils.h"
#include "UnpackedChart.h"

bool IsNavigationFile(const std::string& EntryName) {
  const std::string ext = ExtractFileExt(EntryName);
  return ext == ".chi" || ext == ".bds";
}

std::string ReplaceQuestion(const std::string& SetName, const std::string& InstalledFile) {
  return SetName + "\r\r" + GetText(txtChartExists) + "\"" + ExtractFileName(InstalledFile) +
         "\".\r" + GetText(txtOverwriteLosesUpdates);
}

std::string InstalledSetsMessage(const TInstallResult& Result) {
  std::string parts[ResolutionCount];
  for (int res = 0; res < ResolutionCount; ++res) {
    std::string list;
    for (const std::string& name : Result.Installed[res]) list += "\r - " + name;
    if (!list.empty()) parts[res] = std::string("\r") + DpiText(res) + " dpi:" + list;
  }
  if (parts[0].empty() && parts[1].empty()) return "";
  if (!parts[0].empty()) parts[0] += "\r";
  return GetText(txtSetsInstalled) + "\r" + parts[0] + parts[1];
}

std::vector<uint8_t> PruneIndexRecords(const std::vector<uint8_t>& Index,
                                       const std::vector<std::string>& SetCodes) {
  constexpr size_t RecordSize = 12;
  std::vector<uint8_t> kept;
  for (size_t at = 0; at + RecordSize <= Index.size(); at += RecordSize) {
    const uint8_t* record = Index.data() + at;
    // Second field: the chart code, little-endian.
    const uint32_t code = uint32_t(record[4]) | uint32_t(record[5]) << 8 |
                          uint32_t(record[6]) << 16 | uint32_t(record[7]) << 24;
    std::string name;
    if (!ChartCodeToName(code, name)) name.clear();
    const std::string prefix = name.substr(0, 4);
    bool drop = false;
    for (const std::string& setCode : SetCodes) drop = drop || SameText(prefix, setCode);
    if (!drop) kept.insert(kept.end(), record, record + RecordSize);
  }
  return kept;
}

namespace {

// The view of a run that shows nothing.
TInstallView& NoView() {
  static TInstallView view;
  return view;
}

}  // namespace

TChartInstaller::TChartInstaller(const TChartSetsList& Sets, std::string DestFolder,
                                 TInstallView& View)
    : FChartSets(Sets), FDestFolder(std::move(DestFolder)), FView(View) {}

TChartInstaller::TChartInstaller(const TChartSetsList& Sets, std::string DestFolder)
    : TChartInstaller(Sets, std::move(DestFolder), NoView()) {}

int32_t TChartInstaller::TotalCharts() const {
  int32_t total = 0;
  for (const auto& set : FChartSets) {
    for (int res = 0; res < ResolutionCount; ++res) {
      if (set->GetSelected(res)) total += set->ChartCount;
    }
  }
  return total;
}

int TChartInstaller::SelectedCount() const {
  int count = 0;
  for (const auto& set : FChartSets) {
    for (int res = 0; res < ResolutionCount; ++res) count += set->GetSelected(res) ? 1 : 0;
  }
  return count;
}

void TChartInstaller::ShowRunStart() {
  // The whole run has a label and a bar of its own only when it installs
  // more than one set and resolution.
  const bool overall = SelectedCount() >= 2;
  FView.ShowLabel(TProgressItem::Entire, overall);
  FView.ShowBar(TProgressItem::Entire, overall);
  FView.SetLabel(TProgressItem::Entire, overall ? GetText(txtEntireInstallation) : "");
  FView.SetBar(TProgressItem::Entire, 0, TotalCharts());
}

void TChartInstaller::ShowChartDone(int32_t SetDone, int32_t SetCount, int32_t Processed) {
  FView.SetBar(TProgressItem::Entire, Processed, TotalCharts());
  FView.SetBar(TProgressItem::Single, SetDone, SetCount);
  FView.ProcessMessages();
}

TInstallResult TChartInstaller::RunInstallation() {
  ShowRunStart();
  TInstallResult result;
  int32_t processed = 0;
  // What a killed run left (its temporary files) goes before this run starts.
  SweepTemporaryFiles(FDestFolder);
  // Pruned before any chart is replaced: a run cut short then leaves old
  // charts whose updates come again, never new charts whose updates the
  // index counts as applied. The callers' pruning afterwards changes nothing.
  PruneUpdateIndex();
  FReplaceAll = false;
  FCancelled = false;
  for (int res = 0; res < ResolutionCount && !FCancelled; ++res) {
    for (const auto& set : FChartSets) {
      if (!set->GetSelected(res)) continue;
      const int32_t start = processed;
      if (InstallChartSet(*set, res, processed)) {
        result.Installed[res].push_back(set->Name);
        processed = start + set->ChartCount;
      }
      if (FCancelled) break;
    }
  }
  result.Cancelled = FCancelled;
  return result;
}

bool TChartInstaller::InstallChartSet(const TChartSets& Set, int Resolution, int32_t& Processed) {
  const TChartSet* chartSet = Set.GetChartSet(Resolution);
  if (!chartSet) return true;
  std::unique_ptr<TMemoryStream> archive = OpenChartArchive(chartSet->FileName);
  TChartArchiveReader reader(*archive, chartSet->FileName, FDestFolder);

  for (int i = reader.Count() - 1; i >= 0; --i) {
    if (!IsNavigationFile(reader.FileName(i))) continue;
    // A file the reader's rules skip (an existing read-only one) stays, but
    // becomes writable like a fresh one.
    reader.Unpack(i);
    FileSetReadOnly(FDestFolder + reader.FileName(i), false);
  }

  FView.SetLabel(TProgressItem::Single, Set.Name + " - " + DpiText(Resolution) + " dpi");
  FView.SetBar(TProgressItem::Single, 0, chartSet->ChartCount);
  FView.ProcessMessages();

  int32_t setDone = 0;
  for (int i = 0; i < reader.Count(); ++i) {
    const std::string& entry = reader.FileName(i);
    if (entry.empty() || IsNavigationFile(entry)) continue;
    TUnpackedChart chart(reader, i);
    // A chart installed before under another letter case is replaced under
    // the name it has, not doubled.
    const std::string installed =
        ExistingFileName(FDestFolder, InstalledBitmapName("", StripFileExt(entry), Resolution));
    bool convert = true;
    if (!FReplaceAll && FileExists(installed)) {
      // The question comes after the whole chart is there: a damaged chart
      // ends the run before anyone is asked about it.
      chart.Complete();
      switch (FView.AskReplace(ReplaceQuestion(Set.Name, installed), installed, entry)) {
        case TReplaceAnswer::Cancel:
          FCancelled = true;
          return false;
        case TReplaceAnswer::YesToAll:
          FReplaceAll = true;
          break;
        case TReplaceAnswer::No:
          convert = false;
          break;
        case TReplaceAnswer::Yes:
          break;
      }
    }
    if (convert) WriteInstalledChart(chart, installed, true);
    ++setDone;
    ++Processed;
    ShowChartDone(setDone, chartSet->ChartCount, Processed);
  }
  return true;
}

void TChartInstaller::PruneUpdateIndex() {
  std::vector<uint8_t> kept[ResolutionCount];
  bool stored = false;
  for (int res = 0; res < ResolutionCount; ++res) {
    const std::vector<uint8_t> index = ReadStoredUpdateIndex(res);
    stored = stored || !index.empty();
    std::vector<std::string> codes;
    for (const auto& set : FChartSets)
      if (set->GetSelected(res)) codes.push_back(set->Code);
    kept[res] = PruneIndexRecords(index, codes);
  }
  if (stored) WriteStoredUpdateIndexes(kept);
}

void TChartInstaller::RegisterChartSets(const TInstallResult& Result) {
  // Without the navigation program's key (it cannot be created) the program
  // still records its own sets; a failing write after that raises.
  const bool autoImport = RegCreateRootKey(TRegRoot::CurrentUser, NavAutoImportKey);
  for (const auto& set : FChartSets) {
    for (int res = 0; res < ResolutionCount; ++res) {
      const std::vector<std::string>& installed = Result.Installed[res];
      if (!set->GetSelected(res) ||
          std::find(installed.begin(), installed.end(), set->Name) == installed.end())
        continue;
      const std::string dpi = DpiText(res);
      RegWriteString(rkMachine, "ChartSets\\" + set->Name, dpi, FDestFolder);
      // The calibration file as the archive spelt it ("nnzk_240_2003.chi"
      // for the set code "NNZK").
      if (autoImport)
        RegWriteRootString(
            TRegRoot::CurrentUser, NavAutoImportKey, set->Name + " (" + dpi + ")",
            ExistingFileName(FDestFolder,
                             set->Code + "_" + dpi + "_" + std::to_string(ChartEdition) + ".chi"));
    }
  }
}
