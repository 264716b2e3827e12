#include "WSockBuf.h"

#include <algorithm>
#include <cstring>

TBuffer::TBuffer(int Size) : FData(static_cast<size_t>(Size > 0 ? Size : 1514)) {}

int TBuffer::Write(const void* Data, int Len) {
  const int room = BufSize() - FWrCount;
  const int n = std::clamp(Len, 0, room);
  if (n > 0) std::memcpy(FData.data() + FWrCount, Data, static_cast<size_t>(n));
  FWrCount += n;
  return n;
}

const uint8_t* TBuffer::Peek(int& Len) const {
  Len = FWrCount - FRdCount;
  return FData.data() + FRdCount;
}

void TBuffer::Remove(int Len) {
  FRdCount = std::min(FRdCount + std::max(Len, 0), FWrCount);
  if (FRdCount == FWrCount) FRdCount = FWrCount = 0;
}

void TBuffer::SetBufSize(int Size) {
  if (Size <= 0) Size = 1514;
  std::vector<uint8_t> data(static_cast<size_t>(Size));
  const int keep = std::min(Count(), Size);
  if (keep > 0) std::memcpy(data.data(), FData.data() + FRdCount, static_cast<size_t>(keep));
  FData.swap(data);
  FRdCount = 0;
  FWrCount = keep;
}
