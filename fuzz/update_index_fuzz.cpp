// A delivered and a stored update index given as bytes (the first byte
// chooses the selected resolutions, the rest splits in two): read against a
// fixed list of chart sets, the updates chosen, the merge written and read
// back. Records of charts outside the sets, and "frl" charts, never get in;
// the merge keeps every stored chart.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "QvChartArchive.h"
#include "TextUtils.h"
#include "UpdateIndex.h"

namespace {

// Four sets, headers only: 1801 and NNZK at both resolutions, 1810 at 240
// and 1812 at 120 dpi.
TChartSetsList& ChartSets() {
  static TChartSetsList sets = [] {
    char folder[] = "/tmp/zrn-fuzz-sets-XXXXXX";
    if (!::mkdtemp(folder)) std::abort();
    const std::pair<const char*, const char*> archives[] = {
        {"1801_120", "1801: a"}, {"1801_240", "1801: a"}, {"NNZK_120", "NNZK: b"},
        {"NNZK_240", "NNZK: b"}, {"1810_240", "1810: c"}, {"1812_120", "1812: d"}};
    for (const auto& [file, name] : archives)
      WriteChartArchive(std::string(folder) + "/" + file + ".zra",
                        TZRAHeader{name, ChartEdition, 1, 100, 100}, {});
    return FindChartSets(folder, "/nowhere/");
  }();
  return sets;
}

bool Taken(const TChartSetsList& Sets, const std::string& Name) {
  if (LowerCase(Name).find("frl") != std::string::npos) return false;
  for (const auto& set : Sets)
    if (SameText(Name.substr(0, 4), set->Code)) return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size == 0) return 0;
  TChartSetsList& sets = ChartSets();
  for (size_t i = 0; i < sets.size(); ++i)
    for (int res = 0; res < ResolutionCount; ++res)
      sets[i]->SetSelected(res, (Data[0] >> ((2 * i + res) % 8)) & 1);
  const size_t half = 1 + (Size - 1) / 2;
  TMemoryStream deliveredBytes(std::vector<uint8_t>(Data + 1, Data + half));
  TMemoryStream storedBytes(std::vector<uint8_t>(Data + half, Data + Size));
  TBaZIndexList delivered, stored;
  ReadUpdateIndex(deliveredBytes, delivered, &sets);
  ReadUpdateIndex(storedBytes, stored, &sets);
  for (const auto* list : {&delivered, &stored})
    for (const auto& [name, entry] : *list)
      if (!Taken(sets, name)) std::abort();

  for (int res = 0; res < ResolutionCount; ++res) {
    TUpdateList updates;
    SelectUpdates(res, stored, delivered, sets, updates);
    for (const std::string& key : updates) {
      std::string chart;
      int keyRes = -1;
      if (!SplitUpdateKey(key, chart, keyRes) || keyRes != res ||
          !IsChartInSelectedSet(sets, chart, res) || delivered.count(chart) == 0)
        std::abort();
    }
    const TIndexEntries merged = MergeUpdateIndex(res, stored, delivered, updates);
    if (merged.size() < stored.size()) std::abort();
    TMemoryStream records(IndexRecords(merged));
    TBaZIndexList again;
    ReadUpdateIndex(records, again, &sets);
    for (const auto& [name, entry] : stored)
      if (again.count(name) == 0) std::abort();
  }
  return 0;
}
