#pragma once
// One block of a socket's send queue: bytes waiting until the network takes
// them. Written at the end, consumed from the front.

#include <cstdint>
#include <vector>

class TBuffer {
 public:
  // A size that is not positive gives the default of 1514 bytes.
  explicit TBuffer(int Size);

  // Copies as many bytes as fit; returns that number.
  int Write(const void* Data, int Len);
  // The unsent part: its start and (through Len) its length.
  const uint8_t* Peek(int& Len) const;
  // Marks Len bytes as sent. When all is sent the block starts over empty.
  void Remove(int Len);
  // Keeps the unsent bytes (as many as fit in the new size).
  void SetBufSize(int Size);

  int BufSize() const { return static_cast<int>(FData.size()); }
  int Count() const { return FWrCount - FRdCount; }
  bool Empty() const { return FWrCount == FRdCount; }

 private:
  std::vector<uint8_t> FData;
  int FWrCount = 0;
  int FRdCount = 0;
};
