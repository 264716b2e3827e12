#include "StoredUpdateIndex.h"

#include <string>

#include "QvRegistry.h"

namespace {

std::string SizeName(int Resolution) {
  return std::string("BaZ Index size ") + DpiText(Resolution);
}

std::string IndexName(int Resolution) {
  return std::string("BaZ Index ") + DpiText(Resolution);
}

}  // namespace

std::vector<uint8_t> ReadStoredUpdateIndex(int Resolution) {
  const int32_t size = RegReadIntegerDef(rkMachine, "", SizeName(Resolution), 0);
  if (size <= 0) return {};
  std::vector<uint8_t> records = RegReadBinaryData(rkMachine, "", IndexName(Resolution));
  if (records.size() > size_t(size)) records.resize(size_t(size));
  return records;
}

void WriteStoredUpdateIndexes(const std::vector<uint8_t> (&Records)[ResolutionCount]) {
  std::vector<TRegValue> values;
  for (int res = 0; res < ResolutionCount; ++res) {
    values.push_back(TRegValue::DWord(SizeName(res), uint32_t(Records[res].size())));
    values.push_back(TRegValue::Binary(IndexName(res), Records[res].data(), Records[res].size()));
  }
  RegWriteValues(rkMachine, "", values);
}
