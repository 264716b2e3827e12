#include "ChartInstaller.h"

#include <cctype>
#include <cstdio>
#include <memory>
#include <utility>

#include "FileAttributes.h"
#include "Languages.h"
#include "NavProgram.h"
#include "QvRegistry.h"
#include "TemporaryFiles.h"
#include "UnZipper.h"

namespace {

std::string Extension(const std::string& Name) {
  const size_t dot = Name.find_last_of('.');
  return dot == std::string::npos ? std::string() : Name.substr(dot);
}

std::string WithoutExtension(const std::string& Name) {
  const size_t dot = Name.find_last_of('.');
  return dot == std::string::npos ? Name : Name.substr(0, dot);
}

bool SameTextNoCase(const std::string& A, const std::string& B) {
  if (A.size() != B.size()) return false;
  for (size_t i = 0; i < A.size(); ++i) {
    if (std::toupper(uint8_t(A[i])) != std::toupper(uint8_t(B[i]))) return false;
  }
  return true;
}

// The file a chart entry is unpacked to before it is converted, under its
// own name (the chart file's name must match its chart code) in a temporary
// folder beside the installed bitmaps. It is removed on every way out, so
// that no chart file is left, also when the conversion fails; what a killed
// run left is swept by the next run.
class TIntermediateFile {
 public:
  explicit TIntermediateFile(std::string Name) : FName(std::move(Name)) {}
  ~TIntermediateFile() { Remove(); }
  TIntermediateFile(const TIntermediateFile&) = delete;
  TIntermediateFile& operator=(const TIntermediateFile&) = delete;
  void Remove() {
    if (FileExists(FName)) {
      FileSetReadOnly(FName, false);
      std::remove(FName.c_str());
    }
  }
  const std::string& Name() const { return FName; }

 private:
  std::string FName;
};

// The reader of one set's archive, fed from the in-memory archive. The
// stream is detached before either is freed.
class TArchiveReader {
 public:
  TArchiveReader(TMemoryStream& Archive, const std::string& ArchiveName,
                 const std::string& DestFolder)
      : FArchiveName(ArchiveName) {
    FZip.SetArchiveStream(&Archive);
    FZip.OverwriteMode = TUZOverwriteMode::Always;
    FZip.DoProcessMessages = false;
    FZip.SetDestDir(DestFolder);
    FZip.OnSkippingFile = [this](const std::string&, const std::string& Reason) {
      FReason = Reason;
    };
    FZip.OnBadCRC = [this](const std::string&, uint32_t, uint32_t) {
      FReason = "the data is damaged (CRC error)";
      FDamaged = true;
    };
    FZip.ReadDirectory();
  }
  ~TArchiveReader() { FZip.SetArchiveStream(nullptr); }
  TArchiveReader(const TArchiveReader&) = delete;
  TArchiveReader& operator=(const TArchiveReader&) = delete;

  int Count() const { return FZip.EntryCount(); }
  const std::string& FileName(int Index) const { return FZip.Entry(Index).FileName; }

  // Unpacks one entry into the destination folder. A damaged entry raises;
  // an entry the reader's rules skip gives false.
  bool Unpack(int Index) {
    FReason.clear();
    FDamaged = false;
    FZip.SetEntrySelected(Index, true);
    const int done = FZip.ExtractSelected();
    FZip.SetEntrySelected(Index, false);
    if (FDamaged) Fail(Index);
    return done == 1;
  }

  // Unpacks one entry under the name Target instead of its own.
  bool UnpackAs(int Index, const std::string& Target) {
    FZip.OnStartUnZip = [Target](int, std::string& Name, bool&) { Name = Target; };
    const bool done = Unpack(Index);
    FZip.OnStartUnZip = nullptr;
    return done;
  }

  [[noreturn]] void Fail(int Index) const {
    throw EZRNError("The file \"" + FileName(Index) + "\" could not be unpacked from " +
                    FArchiveName + ": " + (FReason.empty() ? "unknown reason" : FReason) + ".");
  }

 private:
  TUnZipper FZip;
  std::string FArchiveName;
  std::string FReason;
  bool FDamaged = false;
};

}  // namespace

bool IsNavigationFile(const std::string& EntryName) {
  const std::string ext = Extension(EntryName);
  return ext == ".chi" || ext == ".bds";
}

std::string ReplaceQuestion(const std::string& SetName, const std::string& InstalledFile) {
  const size_t slash = InstalledFile.find_last_of('/');
  const std::string name =
      slash == std::string::npos ? InstalledFile : InstalledFile.substr(slash + 1);
  return SetName + "\r\r" + GetText(53) + "\"" + name + "\".\r" + GetText(54);
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
  return GetText(40) + "\r" + parts[0] + parts[1];
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
    for (const std::string& setCode : SetCodes) drop = drop || SameTextNoCase(prefix, setCode);
    if (!drop) kept.insert(kept.end(), record, record + RecordSize);
  }
  return kept;
}

TChartInstaller::TChartInstaller(const TChartSetsList& Sets, std::string DestFolder,
                                 TInstallCallbacks Callbacks)
    : FChartSets(Sets), FDestFolder(std::move(DestFolder)), FCallbacks(std::move(Callbacks)) {}

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

void TChartInstaller::ProcessMessages() {
  if (FCallbacks.OnProcessMessages) FCallbacks.OnProcessMessages();
}

TInstallResult TChartInstaller::RunInstallation() {
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

TReplaceAnswer TChartInstaller::AskReplace(const TChartSets& Set, const std::string& Existing,
                                           const std::string& NewFile) {
  if (!FCallbacks.OnAskReplace) return TReplaceAnswer::Yes;
  return FCallbacks.OnAskReplace(ReplaceQuestion(Set.Name, Existing), Existing, NewFile);
}

bool TChartInstaller::InstallChartSet(const TChartSets& Set, int Resolution, int32_t& Processed) {
  const TChartSet* chartSet = Set.GetChartSet(Resolution);
  if (!chartSet) return true;
  std::unique_ptr<TMemoryStream> archive = OpenChartArchive(chartSet->FileName);
  TArchiveReader reader(*archive, chartSet->FileName, FDestFolder);

  for (int i = reader.Count() - 1; i >= 0; --i) {
    if (!IsNavigationFile(reader.FileName(i))) continue;
    // A file the reader's rules skip (an existing read-only one) stays, but
    // becomes writable like a fresh one.
    reader.Unpack(i);
    FileSetReadOnly(FDestFolder + reader.FileName(i), false);
  }

  if (FCallbacks.OnSetStart) FCallbacks.OnSetStart(Set, Resolution, chartSet->ChartCount);
  ProcessMessages();

  int32_t setDone = 0;
  const TTemporaryFolder work(FDestFolder + "charts");
  for (int i = 0; i < reader.Count(); ++i) {
    const std::string& entry = reader.FileName(i);
    if (entry.empty() || IsNavigationFile(entry)) continue;
    TIntermediateFile chartFile(work.Path() + entry);
    if (!reader.UnpackAs(i, chartFile.Name())) reader.Fail(i);
    const std::string installed =
        InstalledBitmapName(FDestFolder, WithoutExtension(entry), Resolution);
    bool convert = true;
    if (!FReplaceAll && FileExists(installed)) {
      switch (AskReplace(Set, installed, chartFile.Name())) {
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
    if (convert) ConvertChartBitmap(installed, chartFile.Name(), true);
    chartFile.Remove();
    ++setDone;
    ++Processed;
    if (FCallbacks.OnChartDone) FCallbacks.OnChartDone(setDone, Processed);
    ProcessMessages();
  }
  return true;
}

void TChartInstaller::PruneUpdateIndex() {
  for (int res = 0; res < ResolutionCount; ++res) {
    const std::string dpi = DpiText(res);
    const std::string sizeName = "BaZ Index size " + dpi;
    const std::string indexName = "BaZ Index " + dpi;
    const int32_t size = RegReadIntegerDef(rkMachine, "", sizeName, 0);
    if (size <= 0) continue;
    std::vector<uint8_t> index = RegReadBinaryData(rkMachine, "", indexName);
    if (index.size() > size_t(size)) index.resize(size_t(size));
    std::vector<std::string> codes;
    for (const auto& set : FChartSets) {
      if (set->GetSelected(res)) codes.push_back(set->Code);
    }
    const std::vector<uint8_t> kept = PruneIndexRecords(index, codes);
    RegWriteBinary(rkMachine, "", indexName, int(kept.size()), kept.data());
    RegWriteInteger(rkMachine, "", sizeName, int32_t(kept.size()));
  }
}

void TChartInstaller::RegisterChartSets() {
  // Without the navigation program's key (it cannot be created) the program
  // still records its own sets; a failing write after that raises.
  const bool autoImport = RegCreateRootKey(TRegRoot::CurrentUser, NavAutoImportKey);
  for (const auto& set : FChartSets) {
    for (int res = 0; res < ResolutionCount; ++res) {
      if (!set->GetSelected(res)) continue;
      const std::string dpi = DpiText(res);
      RegWriteString(rkMachine, "ChartSets\\" + set->Name, dpi, FDestFolder);
      if (autoImport)
        RegWriteRootString(
            TRegRoot::CurrentUser, NavAutoImportKey, set->Name + " (" + dpi + ")",
            FDestFolder + set->Code + "_" + dpi + "_" + std::to_string(ChartEdition) + ".chi");
    }
  }
}
