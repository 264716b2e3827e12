// Method 6, "imploded": matches over a 4K or 8K window (flag bit 1) with
// lengths and distance high bits coded by Shannon-Fano trees, and literals
// coded by a third tree (flag bit 2) or stored as plain bytes. The trees are
// sent as run-length coded bit lengths; their codes are sent inverted.

#include <array>
#include <vector>

#include "ZipCodec.h"
#include "ZipErrors.h"

namespace {

constexpr int MaxBits = 16;

// A prefix code by bit lengths, decoded bit by bit: codes of one length are
// consecutive and ordered by symbol value.
class TSfTree {
 public:
  void Read(TZipBitReader& Bits, int Symbols);
  int Decode(TZipBitReader& Bits) const;

 private:
  std::array<int, MaxBits + 1> FCount{};
  std::vector<int> FSymbol;
};

void TSfTree::Read(TZipBitReader& Bits, int Symbols) {
  std::vector<int> lengths;
  const int bytes = static_cast<int>(Bits.Bits(8)) + 1;
  for (int i = 0; i < bytes; ++i) {
    const uint32_t b = Bits.Bits(8);
    const int length = static_cast<int>(b & 15) + 1;
    const int repeat = static_cast<int>(b >> 4) + 1;
    if (static_cast<int>(lengths.size()) + repeat > Symbols) ZipFail(ZipText::NotValid);
    lengths.insert(lengths.end(), repeat, length);
  }
  if (Bits.Overrun()) ZipFail(ZipText::PrematureEnd);
  if (static_cast<int>(lengths.size()) != Symbols) ZipFail(ZipText::NotValid);
  for (int length : lengths) ++FCount[length];
  // More codes than the lengths allow cannot be a prefix code.
  int left = 1;
  for (int len = 1; len <= MaxBits; ++len) {
    left = (left << 1) - FCount[len];
    if (left < 0) ZipFail(ZipText::NotValid);
  }
  for (int len = 1; len <= MaxBits; ++len)
    for (int s = 0; s < Symbols; ++s)
      if (lengths[s] == len) FSymbol.push_back(s);
}

int TSfTree::Decode(TZipBitReader& Bits) const {
  int code = 0, first = 0, index = 0;
  for (int len = 1; len <= MaxBits; ++len) {
    code |= static_cast<int>(Bits.Bits(1) ^ 1);
    const int count = FCount[len];
    if (code - first < count) return FSymbol[index + code - first];
    index += count;
    first = (first + count) << 1;
    code <<= 1;
  }
  ZipFail(ZipText::NotValid);
}

}  // namespace

void Explode(TZipInput& Input, TZipOutput& Output, uint16_t Flags) {
  const bool bigWindow = (Flags & 2) != 0;
  const bool literalTree = (Flags & 4) != 0;
  TZipBitReader bits(Input);
  TZipWindow window(Output);
  TSfTree literals, lengths, distances;
  if (literalTree) literals.Read(bits, 256);
  lengths.Read(bits, 64);
  distances.Read(bits, 64);

  const uint32_t minMatch = literalTree ? 3 : 2;
  const int lowBits = bigWindow ? 7 : 6;
  while (window.Remaining() > 0) {
    if (bits.Bits(1)) {
      const int c = literalTree ? literals.Decode(bits) : static_cast<int>(bits.Bits(8));
      window.Put(static_cast<uint8_t>(c));
    } else {
      const uint32_t low = bits.Bits(lowBits);
      const uint32_t distance = ((uint32_t(distances.Decode(bits)) << lowBits) | low) + 1;
      uint32_t length = static_cast<uint32_t>(lengths.Decode(bits));
      if (length == 63) length += bits.Bits(8);
      window.Copy(distance, length + minMatch);
    }
    if (bits.Overrun()) ZipFail(ZipText::PrematureEnd);
  }
  window.Flush();
}
