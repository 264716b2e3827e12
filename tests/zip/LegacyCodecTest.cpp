// The legacy decoders on hand-made streams, so that each rule of the old
// methods is checked even where the shared vectors are absent.

#include <gtest/gtest.h>

#include <string>

#include "ZipCodec.h"
#include "ZipErrors.h"

namespace {

// Packs fields lowest bit first, as the old methods read them.
class TBitWriter {
 public:
  TBitWriter& Put(uint32_t Value, int Width) {
    for (int i = 0; i < Width; ++i) {
      if (FBits % 8 == 0) FBytes.push_back(0);
      if (i < 32 && ((Value >> i) & 1)) FBytes.back() |= static_cast<uint8_t>(1 << (FBits % 8));
      ++FBits;
    }
    return *this;
  }
  // A prefix code sent the imploded way: highest bit first, every bit inverted.
  TBitWriter& PutCode(uint32_t Code, int Length) {
    for (int i = Length - 1; i >= 0; --i) Put(((Code >> i) & 1) ^ 1, 1);
    return *this;
  }
  TBitWriter& Bytes(const std::vector<uint8_t>& Data) {
    for (uint8_t b : Data) Put(b, 8);
    return *this;
  }
  const std::vector<uint8_t>& Data() const { return FBytes; }

 private:
  std::vector<uint8_t> FBytes;
  int FBits = 0;
};

std::string Decode(uint16_t Method, uint16_t Flags, const std::vector<uint8_t>& Data, size_t Size) {
  std::string out;
  TZipMemoryInput input(Data.data(), Data.size());
  TZipOutput output(Size, [&](const uint8_t* Bytes, size_t Count) {
    out.append(reinterpret_cast<const char*>(Bytes), Count);
  });
  DecodeEntry(Method, Flags, input, output);
  return out;
}

TEST(LegacyCodec, ShrinkDefinesCodesWidensAndClearsLeaves) {
  TBitWriter bits;
  // A, B, "AB" (257), then 259 before it is defined: "ABA".
  bits.Put('A', 9).Put('B', 9).Put(257, 9).Put(259, 9);
  // Codes widen to 10 bits; B defines 260 = "ABAB".
  bits.Put(256, 9).Put(1, 9).Put('B', 10);
  // Partial clear frees the leaves 258 ("BA") and 260; C takes 258 = "BC".
  bits.Put(256, 10).Put(2, 10).Put('C', 10).Put(258, 10);
  const std::string expected = "ABABABABCBC";
  EXPECT_EQ(Decode(1, 0, bits.Data(), expected.size()), expected);
}

TEST(LegacyCodec, ReduceExpandsMatchesAndEscapes) {
  for (int factor = 1; factor <= 4; ++factor) {
    SCOPED_TRACE(factor);
    const uint8_t lengthMask = static_cast<uint8_t>(0xFF >> factor);
    TBitWriter bits;
    bits.Put(0, 6 * 255);                 // empty follower sets for 255 .. 1
    bits.Put(1, 6).Put('b', 8);           // byte 0 is followed by 'b'
    bits.Put(1, 1).Bytes({'a'});          // after 0: not from the set, 'a'
    bits.Bytes({'b', 'c', 144, 2, 2});    // match of 2 + 3 bytes, 3 back
    bits.Bytes({144, 0});                 // the escape byte itself
    bits.Put(1, 1);                       // after 0 again: not from the set
    bits.Bytes({144, lengthMask, 1, 0});  // long match: mask + 1 + 3 bytes, 1 back
    const std::string expected = std::string("abcabcab\x90") + std::string(lengthMask + 4, '\x90');
    EXPECT_EQ(Decode(static_cast<uint16_t>(1 + factor), 0, bits.Data(), expected.size()), expected);
  }
}

TEST(LegacyCodec, ReduceTakesBytesFromTheFollowerSet) {
  TBitWriter bits;
  bits.Put(0, 6 * 255).Put(3, 6).Bytes({'x', 'y', 'z'});  // set of byte 0
  bits.Put(0, 1).Put(2, 2);                               // index 2 of 3: 'z'
  EXPECT_EQ(Decode(2, 0, bits.Data(), 1), "z");
}

// Both imploded layouts: 2 trees (literals as bytes) with a 4K window, and
// 3 trees with an 8K window; every tree here has 6-bit codes for all symbols.
TEST(LegacyCodec, ExplodeDecodesLiteralsAndMatches) {
  for (bool threeTrees : {false, true}) {
    SCOPED_TRACE(threeTrees);
    TBitWriter bits;
    auto evenTree = [&](int Symbols) {
      bits.Put(static_cast<uint32_t>(Symbols / 16 - 1), 8);
      for (int i = 0; i < Symbols / 16; ++i) bits.Put(0xF5, 8);
    };
    if (threeTrees) {
      bits.Put(15, 8);
      for (int i = 0; i < 16; ++i) bits.Put(0xF7, 8);  // 256 literals of 8 bits
    }
    evenTree(64);  // lengths
    evenTree(64);  // distance high bits
    const int lowBits = threeTrees ? 7 : 6;
    const uint32_t minMatch = threeTrees ? 3 : 2;
    auto literal = [&](uint8_t c) {
      bits.Put(1, 1);
      if (threeTrees)
        bits.PutCode(c, 8);
      else
        bits.Put(c, 8);
    };
    literal('x');
    literal('y');
    // Match: distance 2, length 5 (symbol 5 - minimum).
    bits.Put(0, 1).Put(1, lowBits).PutCode(0, 6).PutCode(5 - minMatch, 6);
    // Long match: length symbol 63 plus a byte, distance 1.
    bits.Put(0, 1).Put(0, lowBits).PutCode(0, 6).PutCode(63, 6).Put(10, 8);
    const std::string expected = "xyxyxyx" + std::string(63 + 10 + minMatch, 'x');
    EXPECT_EQ(Decode(6, threeTrees ? 6 : 0, bits.Data(), expected.size()), expected);
  }
}

TEST(LegacyCodec, MatchesBeforeTheStartGiveZeros) {
  TBitWriter bits;
  bits.Put(0, 6 * 256).Bytes({144, 1, 9});  // 1 + 3 bytes from 10 back
  EXPECT_EQ(Decode(2, 0, bits.Data(), 4), std::string(4, '\0'));
}

TEST(LegacyCodec, OutputBeyondTheDeclaredSizeIsRefused) {
  const std::vector<uint8_t> stored(20, 'q');
  try {
    Decode(0, 0, stored, 10);
    FAIL() << "no error";
  } catch (const EZipError& e) {
    EXPECT_EQ(e.Message(), "File is larger than uncompressed size!");
  }
}

}  // namespace
