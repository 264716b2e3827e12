#include "UpdateIndex.h"

#include "FileTimes.h"
#include "TextUtils.h"

namespace {

const char* const KeySuffix = "_2003";

// Dates compare as moments, the packed values are not ordered.
bool IsLater(int32_t A, int32_t B) {
  return FileDateToDateTime(A) > FileDateToDateTime(B);
}

}  // namespace

std::string UpdateKey(const std::string& ChartName, int Resolution) {
  return ChartName + "_" + DpiText(Resolution) + KeySuffix;
}

bool SplitUpdateKey(const std::string& Key, std::string& ChartName, int& Resolution) {
  // "_120_2003" or "_240_2003": the last nine characters.
  if (Key.size() <= 9) return false;
  const std::string tail = Key.substr(Key.size() - 9);
  for (int res = 0; res < ResolutionCount; ++res) {
    if (SameText(tail, std::string("_") + DpiText(res) + KeySuffix)) {
      ChartName = Key.substr(0, Key.size() - 9);
      Resolution = res;
      return true;
    }
  }
  return false;
}

void ReadUpdateIndex(TStream& Stream, TBaZIndexList& List, const TChartSetsList* ChartSets) {
  ReadBaZIndex(Stream, List, [ChartSets](const std::string& Name, bool& Applies) {
    if (!ChartSets || LowerCase(Name).find("frl") != std::string::npos) return false;
    for (const auto& set : *ChartSets) {
      if (!SameText(Name.substr(0, 4), set->Code)) continue;
      Applies = set->GetSelected(0) || set->GetSelected(1);
      return true;
    }
    return false;
  });
}

bool IsChartInSelectedSet(const TChartSetsList& ChartSets, const std::string& ChartName,
                          int Resolution) {
  uint32_t code = 0;
  if (!ChartNameToCode(ChartName, code)) return false;
  const std::string setCode = ChartSetCodeOfChart(code);
  if (setCode.empty()) return false;
  // Compared as the index reading compares it: a header may spell the code
  // "nnzk", and its charts must not fall out of the run here.
  for (const auto& set : ChartSets)
    if (SameText(set->Code, setCode) && set->GetSelected(Resolution)) return true;
  return false;
}

void SelectUpdates(int Resolution, const TBaZIndexList& Stored, const TBaZIndexList& Delivered,
                   const TChartSetsList& ChartSets, TUpdateList& UpdateList) {
  const auto wanted = [&](const std::string& Name, const TBaZIndexEntry& Entry) {
    return Entry.Applies && IsChartInSelectedSet(ChartSets, Name, Resolution);
  };
  TBaZIndexList delivered = Delivered;
  for (auto s = Stored.rbegin(); s != Stored.rend(); ++s) {
    const auto n = delivered.find(s->first);
    if (n == delivered.end()) continue;
    if (IsLater(n->second.Date, s->second.Date) && wanted(n->first, n->second))
      UpdateList.insert(UpdateKey(n->first, Resolution));
    delivered.erase(n);
  }
  for (auto n = delivered.rbegin(); n != delivered.rend(); ++n)
    if (wanted(n->first, n->second)) UpdateList.insert(UpdateKey(n->first, Resolution));
}

TIndexEntries MergeUpdateIndex(int Resolution, const TBaZIndexList& Stored,
                               const TBaZIndexList& Delivered, const TUpdateList& UpdateList) {
  const auto applied = [&](const std::string& Name) {
    return UpdateList.count(UpdateKey(Name, Resolution)) != 0;
  };
  TIndexEntries result;
  for (auto s = Stored.rbegin(); s != Stored.rend(); ++s) {
    const auto n = Delivered.find(s->first);
    // The delivered date is recorded only for a chart this run updated at
    // this resolution: any other chart keeps its stored date, so that an
    // update it did not get is selected again next time.
    const bool takeDelivered = n != Delivered.end() && IsLater(n->second.Date, s->second.Date) &&
                               n->second.Applies && applied(s->first);
    result.emplace_back(s->first, takeDelivered ? n->second : s->second);
  }
  for (auto n = Delivered.rbegin(); n != Delivered.rend(); ++n)
    if (n->second.Applies && applied(n->first)) result.emplace_back(n->first, n->second);
  return result;
}

std::vector<uint8_t> IndexRecords(const TIndexEntries& Entries) {
  TMemoryStream stream;
  WriteBaZIndex(stream, Entries);
  return stream.Data();
}
