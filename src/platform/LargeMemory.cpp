#include "LargeMemory.h"

#include <sys/mman.h>

#include <cstring>
#include <new>
#include <utility>

namespace {

// Below this a block comes from the heap: mapping costs a system call and
// rounds up to whole pages.
constexpr size_t MapThreshold = size_t(1) << 20;
// The huge-page size of x86-64 and arm64 with 4 KB pages.
constexpr size_t HugePage = size_t(2) << 20;

size_t RoundUp(size_t Value, size_t Unit) {
  return (Value + Unit - 1) / Unit * Unit;
}

}  // namespace

TLargeBlock::TLargeBlock(size_t Size) {
  if (Size == 0) return;
  if (Size < MapThreshold) {
    FData = new uint8_t[Size]();
    FSize = Size;
    return;
  }
  // Map one huge page more than needed and cut off both ends, so that the
  // block starts on a huge-page boundary.
  const size_t length = RoundUp(Size, HugePage);
  if (length < Size || length > SIZE_MAX - HugePage) throw std::bad_alloc();
  void* raw =
      mmap(nullptr, length + HugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) throw std::bad_alloc();
  auto* start = static_cast<uint8_t*>(raw);
  auto* aligned = reinterpret_cast<uint8_t*>(RoundUp(reinterpret_cast<uintptr_t>(start), HugePage));
  if (aligned > start) munmap(start, size_t(aligned - start));
  const size_t tail = size_t(start + length + HugePage - (aligned + length));
  if (tail > 0) munmap(aligned + length, tail);
  // Only advice: where huge pages are off, the block works the same.
  madvise(aligned, length, MADV_HUGEPAGE);
  FData = aligned;
  FSize = Size;
  FMappedSize = length;
}

TLargeBlock::~TLargeBlock() {
  Release();
}

TLargeBlock::TLargeBlock(const TLargeBlock& Other) : TLargeBlock(Other.FSize) {
  if (FSize > 0) std::memcpy(FData, Other.FData, FSize);
}

TLargeBlock& TLargeBlock::operator=(const TLargeBlock& Other) {
  if (this != &Other) {
    TLargeBlock copy(Other);
    Swap(copy);
  }
  return *this;
}

TLargeBlock::TLargeBlock(TLargeBlock&& Other) noexcept {
  Swap(Other);
}

TLargeBlock& TLargeBlock::operator=(TLargeBlock&& Other) noexcept {
  if (this != &Other) {
    Release();
    Swap(Other);
  }
  return *this;
}

void TLargeBlock::Swap(TLargeBlock& Other) noexcept {
  std::swap(FData, Other.FData);
  std::swap(FSize, Other.FSize);
  std::swap(FMappedSize, Other.FMappedSize);
}

void TLargeBlock::Release() noexcept {
  if (FMappedSize > 0)
    munmap(FData, FMappedSize);
  else
    delete[] FData;
  FData = nullptr;
  FSize = 0;
  FMappedSize = 0;
}
