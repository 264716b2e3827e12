// Chart sets: the .zra archive header, the complemented chart archive after
// it, and the discovery of the sets in a folder.
//
// Archive header: "ZRA2", name length N (int32, <= 0 is empty), N bytes of
// name (Windows-1252), edition, chart count, size, second size (int32 each);
// then the zip archive with every byte complemented.

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>

#include "CodePage.h"
#include "FileNameCase.h"
#include "Paths.h"
#include "QvDigitalCharts.h"
#include "TextUtils.h"

namespace fs = std::filesystem;

namespace {

const char* const ZRAMagic = "ZRA2";

[[noreturn]] void NotAZRAFile() {
  throw EStreamError("LoadZRAFileHeader: This is not a valid .zra file.");
}

}  // namespace

TZRAHeader ReadZRAHeader(TStream& Stream) {
  char magic[4];
  if (Stream.Read(magic, 4) != 4 || std::string(magic, 4) != ZRAMagic) NotAZRAFile();
  TZRAHeader header;
  const int32_t length = Stream.ReadInt32();
  if (length > 0) {
    if (length > Stream.GetSize() - Stream.Position())
      throw EReadError("The .zra header is cut short.");
    std::string raw(size_t(length), '\0');
    Stream.ReadBuffer(raw.data(), length);
    header.Name = AnsiToUtf8(raw);
  }
  header.Edition = Stream.ReadInt32();
  header.ChartCount = Stream.ReadInt32();
  header.Size = Stream.ReadInt32();
  header.Size2 = Stream.ReadInt32();
  return header;
}

void WriteZRAHeader(TStream& Stream, const TZRAHeader& Header) {
  Stream.WriteBuffer(ZRAMagic, 4);
  const std::string raw = Utf8ToAnsi(Header.Name);
  Stream.WriteInt32(int32_t(raw.size()));
  Stream.WriteBuffer(raw.data(), int64_t(raw.size()));
  Stream.WriteInt32(Header.Edition);
  Stream.WriteInt32(Header.ChartCount);
  Stream.WriteInt32(Header.Size);
  Stream.WriteInt32(Header.Size2);
}

std::unique_ptr<TMemoryStream> OpenChartArchive(const std::string& FileName) {
  TBufferedFileStream file(FileName, 4096, fmOpenRead);
  ReadZRAHeader(file);
  const int64_t left = file.GetSize() - file.Position();
  std::vector<uint8_t> bytes(size_t(std::max<int64_t>(left, 0)));
  file.ReadBuffer(bytes.data(), int64_t(bytes.size()));
  for (uint8_t& b : bytes) b = uint8_t(~b);
  return std::make_unique<TMemoryStream>(std::move(bytes));
}

TChartSet::TChartSet(const std::string& FileName, const std::string& Folder, std::string& Name,
                     int32_t& Edition, int32_t& ChartCount)
    : FileName(FileName), Folder(Folder) {
  TBufferedFileStream file(FileName, 4096, fmOpenRead);
  const TZRAHeader header = ReadZRAHeader(file);
  Name = header.Name;
  Edition = header.Edition;
  ChartCount = header.ChartCount;
  this->Name = header.Name;
  this->Code = header.Name.substr(0, 4);
  this->ChartCount = header.ChartCount;
  Size = header.Size;
  Size2 = header.Size2;
}

TChartSets::TChartSets(const std::string& Prefix, const std::string& Folder, int32_t Edition) {
  const fs::path prefix(Prefix);
  for (int index = 0; index < ResolutionCount; ++index) {
    const std::string folder = prefix.parent_path().string();
    const std::string file =
        FindFileNoCase(folder.empty() ? folder : IncludeTrailingPathDelimiter(folder),
                       prefix.filename().string() + "_" + DpiText(index) + ".zra");
    if (file.empty()) continue;
    Name.clear();
    auto set = std::make_unique<TChartSet>(file, Folder, Name, this->Edition, ChartCount);
    if (this->Edition == Edition) {
      Resolutions |= uint8_t(1 << index);
      set->Resolution = uint8_t(index);
      FChartSet[index] = std::move(set);
    }
  }
  if (!Name.empty()) Code = Name.substr(0, 4);
}

TChartSet* TChartSets::GetChartSet(int Index) const {
  return Index >= 0 && Index < ResolutionCount ? FChartSet[Index].get() : nullptr;
}

void TChartSets::DeleteChartSet(int Index) {
  if (!GetChartSet(Index)) return;
  FChartSet[Index].reset();
  Resolutions &= uint8_t(~(1 << Index));
}

bool TChartSets::GetSelected(int Index) const {
  const TChartSet* set = GetChartSet(Index);
  return set && set->Selected;
}

void TChartSets::SetSelected(int Index, bool Value) {
  if (TChartSet* set = GetChartSet(Index)) set->Selected = Value;
}

int32_t TChartSets::GetSize(int Index) const {
  const TChartSet* set = GetChartSet(Index);
  return set ? set->Size : 0;
}

TChartSetsList FindChartSets(const std::string& ArchiveFolder, const std::string& InstalledFolder,
                             const std::function<void()>& BetweenFiles) {
  // Archives are grouped by their lower-cased name without "_120.zra" or
  // "_240.zra"; TChartSets opens them by their real names.
  std::set<std::string> prefixes;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(fs::path(ArchiveFolder), ec)) {
    if (BetweenFiles) BetweenFiles();
    const std::string name = entry.path().filename().string();
    if (!entry.is_regular_file(ec) || name.size() < 4 ||
        LowerCase(name.substr(name.size() - 4)) != ".zra")
      continue;
    const std::string stem = LowerCase(name.substr(0, name.size() - 4));
    prefixes.insert(stem.size() >= 4 ? stem.substr(0, stem.size() - 4) : std::string());
  }
  TChartSetsList result;
  for (const std::string& prefix : prefixes) {
    if (BetweenFiles) BetweenFiles();
    auto sets = std::make_unique<TChartSets>((fs::path(ArchiveFolder) / prefix).string(),
                                             InstalledFolder, ChartEdition);
    if (sets->Resolutions != 0) result.push_back(std::move(sets));
  }
  return result;
}

std::string InstalledBitmapName(const std::string& Folder, const std::string& ChartName,
                                int Resolution) {
  return Folder + ChartName + "_" + DpiText(Resolution) + "_" + std::to_string(ChartEdition) +
         ".bmp";
}

void RestrictSelection(TChartSetsList& Sets, const std::vector<std::string>& Codes,
                       int OnlyResolution) {
  for (auto& set : Sets) {
    bool wanted = Codes.empty();
    for (const std::string& code : Codes) wanted = wanted || SameText(code, set->Code);
    for (int res = 0; res < ResolutionCount; ++res)
      if (!wanted || (OnlyResolution >= 0 && OnlyResolution != res)) set->SetSelected(res, false);
  }
}

const std::vector<std::string>& ChartSetCatalogue() {
  static const std::vector<std::string> catalogue = {
      "NNZK: Nederlandse Noordzeekust (1014, 2322, 2593, 3371)",
      "1801: Noordzeekust. De Panne tot Den Helder",
      "1803: Westerschelde. Vlissingen tot Antwerpen",
      "1805: Oosterschelde, Veerse Meer en Grevelingenmeer",
      "1807: Zoommeer, Volkerak en Spui, Haringvliet, Hollandsch Diep",
      "1809: Nieuwe Waterweg, Nieuwe en Oude Maas, Spui en Noord, Dordtsche Kil, Brielse Meer",
      "1810: IJsselmeer met Randmeren",
      "1811: Waddenzee (Westblad) en aangrenzende Noordzeekust",
      "1812: Waddenzee (Oostblad) en aangrenzende Noordzeekust"};
  return catalogue;
}
