// An update index given as bytes: read into the name-keyed list and written
// back. The records written must read back to the same list.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "QvDigitalCharts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  TMemoryStream index(std::vector<uint8_t>(Data, Data + Size));
  TBaZIndexList list;
  ReadBaZIndex(index, list, [](const std::string& Name, bool& Applies) {
    Applies = Name.size() % 2 == 0;
    return true;
  });
  std::vector<std::pair<std::string, TBaZIndexEntry>> entries(list.begin(), list.end());
  TMemoryStream out;
  WriteBaZIndex(out, entries);
  out.SetPosition(0);
  TBaZIndexList again;
  ReadBaZIndex(out, again);
  if (again.size() != list.size()) std::abort();
  for (const auto& [name, entry] : list) {
    const auto it = again.find(name);
    if (it == again.end() || it->second.Date != entry.Date || it->second.Value != entry.Value)
      std::abort();
  }
  return 0;
}
