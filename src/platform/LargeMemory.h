#pragma once
// Zero-filled memory for large images. A chart sheet at 240 dpi is some
// 30 MB of 8-bit pixels; taken from the heap and cleared, it costs one page
// fault per 4 KB page and a second pass over all of it. Blocks from here come
// straight from the kernel, already zero, aligned so that the kernel may back
// them with huge pages.

#include <cstddef>
#include <cstdint>

class TLargeBlock {
 public:
  TLargeBlock() = default;
  // Size bytes, all zero. Throws std::bad_alloc when the system has no room.
  explicit TLargeBlock(size_t Size);
  ~TLargeBlock();
  TLargeBlock(const TLargeBlock& Other);
  TLargeBlock& operator=(const TLargeBlock& Other);
  TLargeBlock(TLargeBlock&& Other) noexcept;
  TLargeBlock& operator=(TLargeBlock&& Other) noexcept;

  uint8_t* Data() { return FData; }
  const uint8_t* Data() const { return FData; }
  size_t Size() const { return FSize; }

  void Swap(TLargeBlock& Other) noexcept;

 private:
  void Release() noexcept;

  uint8_t* FData = nullptr;
  size_t FSize = 0;
  size_t FMappedSize = 0;  // 0: FData came from the heap
};
