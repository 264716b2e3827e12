// Method 1, "shrunk": LZW with codes of 9 to 13 bits. Code 256 escapes a
// control code: 1 widens the codes by one bit, 2 frees every code that is no
// prefix of another ("partial clear"). New strings take the lowest free code.

#include <vector>

#include "ZipCodec.h"
#include "ZipErrors.h"

namespace {

constexpr int FirstFree = 257;
constexpr int CodeCount = 8192;
constexpr int MaxCodeSize = 13;
constexpr int Free = -1;

class TUnshrinker {
 public:
  TUnshrinker(TZipInput& Input, TZipOutput& Output)
      : FBits(Input), FWindow(Output), FParent(CodeCount, Free), FChar(CodeCount) {
    for (int c = 0; c < 256; ++c) {
      FParent[c] = c;  // a literal is its own root
      FChar[c] = static_cast<uint8_t>(c);
    }
  }

  void Run();

 private:
  bool InUse(int Code) const { return Code < 256 || (Code >= FirstFree && FParent[Code] != Free); }
  // The string of Code, last byte first, into FStack.
  void Spell(int Code);
  int NextFreeCode();
  void PartialClear();

  TZipBitReader FBits;
  TZipWindow FWindow;
  std::vector<int> FParent;
  std::vector<uint8_t> FChar;
  std::vector<uint8_t> FStack;
  int FCodeSize = 9;
  int FFreeSearch = FirstFree;
};

void TUnshrinker::Spell(int Code) {
  FStack.clear();
  while (Code >= 256) {
    // A chain longer than the table is a loop: only damaged data makes one.
    if (FStack.size() >= CodeCount || !InUse(Code)) ZipFail(ZipText::NotValid);
    FStack.push_back(FChar[Code]);
    Code = FParent[Code];
  }
  FStack.push_back(static_cast<uint8_t>(Code));
}

int TUnshrinker::NextFreeCode() {
  while (FFreeSearch < CodeCount && FParent[FFreeSearch] != Free) ++FFreeSearch;
  return FFreeSearch < CodeCount ? FFreeSearch : -1;
}

void TUnshrinker::PartialClear() {
  std::vector<bool> isPrefix(CodeCount, false);
  for (int c = FirstFree; c < CodeCount; ++c)
    if (FParent[c] != Free) isPrefix[FParent[c]] = true;
  for (int c = FirstFree; c < CodeCount; ++c)
    if (!isPrefix[c]) FParent[c] = Free;
  FFreeSearch = FirstFree;
}

void TUnshrinker::Run() {
  int previous = static_cast<int>(FBits.Bits(FCodeSize));
  if (FBits.Overrun()) return;
  if (previous > 255) ZipFail(ZipText::NotValid);
  FWindow.Put(static_cast<uint8_t>(previous));
  uint8_t previousFirst = static_cast<uint8_t>(previous);
  while (FWindow.Remaining() > 0) {
    const int code = static_cast<int>(FBits.Bits(FCodeSize));
    if (FBits.Overrun()) break;
    if (code == 256) {
      const int control = static_cast<int>(FBits.Bits(FCodeSize));
      if (FBits.Overrun()) break;
      if (control == 1 && FCodeSize < MaxCodeSize)
        ++FCodeSize;
      else if (control == 2)
        PartialClear();
      else
        ZipFail(ZipText::NotValid);
      continue;
    }
    const int slot = NextFreeCode();
    if (InUse(code)) {
      Spell(code);
      if (slot >= 0) {
        FParent[slot] = previous;
        FChar[slot] = FStack.back();
      }
    } else if (code == slot) {
      // The string being defined right now: the previous one plus its own first byte.
      FParent[slot] = previous;
      FChar[slot] = previousFirst;
      Spell(code);
    } else {
      ZipFail(ZipText::NotValid);
    }
    for (auto it = FStack.rbegin(); it != FStack.rend(); ++it) FWindow.Put(*it);
    previousFirst = FStack.back();
    previous = code;
  }
  FWindow.Flush();
}

}  // namespace

void Unshrink(TZipInput& Input, TZipOutput& Output) {
  TUnshrinker(Input, Output).Run();
}
