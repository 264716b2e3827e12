// Methods 2 to 5, "reduced" with compression factor 1 to 4. Two layers: a
// byte stream coded with a follower set per preceding byte, and on top of
// it runs of the escape byte 144 that encode (length, distance) matches.

#include <array>
#include <vector>

#include "ZipCodec.h"
#include "ZipErrors.h"

namespace {

constexpr uint8_t Escape = 144;

// Bits of a follower-set index for a set of N bytes (at least one).
int IndexBits(int N) {
  int bits = 1;
  while ((1 << bits) < N) ++bits;
  return bits;
}

struct TFollowerSets {
  std::array<std::array<uint8_t, 32>, 256> Bytes{};
  std::array<int, 256> Count{};
};

void ReadFollowerSets(TZipBitReader& Bits, TFollowerSets& Sets) {
  for (int j = 255; j >= 0; --j) {
    const int n = static_cast<int>(Bits.Bits(6));
    if (n > 32) ZipFail(ZipText::NotValid);
    Sets.Count[j] = n;
    for (int k = 0; k < n; ++k) Sets.Bytes[j][k] = static_cast<uint8_t>(Bits.Bits(8));
  }
  if (Bits.Overrun()) ZipFail(ZipText::PrematureEnd);
}

}  // namespace

void Unreduce(TZipInput& Input, TZipOutput& Output, int Factor) {
  static constexpr uint8_t LengthMask[5] = {0, 0x7f, 0x3f, 0x1f, 0x0f};
  TZipBitReader bits(Input);
  TZipWindow window(Output);
  TFollowerSets sets;
  ReadFollowerSets(bits, sets);

  const uint8_t mask = LengthMask[Factor];
  int state = 0;
  uint32_t length = 0;
  uint8_t high = 0;  // the byte after the escape: length bits and distance high bits
  uint8_t last = 0;
  while (window.Remaining() > 0) {
    uint8_t c;
    const int n = sets.Count[last];
    if (n == 0 || bits.Bits(1) == 1) {
      c = static_cast<uint8_t>(bits.Bits(8));
    } else {
      const uint32_t index = bits.Bits(IndexBits(n));
      if (index >= static_cast<uint32_t>(n)) ZipFail(ZipText::NotValid);
      c = sets.Bytes[last][index];
    }
    if (bits.Overrun()) ZipFail(ZipText::PrematureEnd);
    last = c;
    switch (state) {
      case 0:
        if (c == Escape)
          state = 1;
        else
          window.Put(c);
        break;
      case 1:
        if (c == 0) {
          window.Put(Escape);
          state = 0;
        } else {
          high = c;
          length = c & mask;
          state = length == mask ? 2 : 3;
        }
        break;
      case 2:
        length += c;
        state = 3;
        break;
      default: {
        const uint32_t distance = (uint32_t(high >> (8 - Factor)) << 8) + c + 1;
        window.Copy(distance, length + 3);
        state = 0;
        break;
      }
    }
  }
  window.Flush();
}
