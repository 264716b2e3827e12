#pragma once
// Decoding the data of one entry: the compressed bytes come from a
// TZipInput, the decoded bytes go through a TZipOutput that counts them
// against the size the header declares and computes their CRC-32.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

class TZipInput {
 public:
  virtual ~TZipInput() = default;
  // Up to Count bytes; 0 only at the end of the entry's compressed data.
  virtual size_t Read(uint8_t* Buffer, size_t Count) = 0;
};

// Compressed data held in memory.
class TZipMemoryInput : public TZipInput {
 public:
  TZipMemoryInput(const uint8_t* Data, size_t Size) : FData(Data), FSize(Size) {}
  size_t Read(uint8_t* Buffer, size_t Count) override;

 private:
  const uint8_t* FData;
  size_t FSize;
  size_t FPos = 0;
};

class TZipOutput {
 public:
  using TSink = std::function<void(const uint8_t* Data, size_t Count)>;
  TZipOutput(uint64_t DeclaredSize, TSink Sink) : FDeclared(DeclaredSize), FSink(std::move(Sink)) {}
  // Output into memory: Target has room for the declared size and the bytes
  // land there; Sink sees each block there after it has landed.
  TZipOutput(uint64_t DeclaredSize, uint8_t* Target, TSink Sink)
      : FDeclared(DeclaredSize), FTarget(Target), FSink(std::move(Sink)) {}

  // Raises "File is larger than uncompressed size!" when more than declared arrives.
  void Write(const uint8_t* Data, size_t Count);
  // Where a decoder may put the next bytes itself (at most Remaining()),
  // or null when the output has no memory of its own.
  uint8_t* Next() const { return FTarget ? FTarget + FWritten : nullptr; }
  // Takes Count bytes a decoder has put at Next().
  void Placed(size_t Count);
  uint64_t Written() const { return FWritten; }
  uint64_t Remaining() const { return FDeclared - FWritten; }
  uint64_t Declared() const { return FDeclared; }
  uint32_t Crc() const { return FCrc; }

 private:
  uint64_t FDeclared;
  uint8_t* FTarget = nullptr;
  uint64_t FWritten = 0;
  uint32_t FCrc = 0;
  TSink FSink;
};

// Reads a compressed stream bit by bit, lowest bit of each byte first. Past
// the end of the input it yields zero bits and remembers the overrun.
class TZipBitReader {
 public:
  explicit TZipBitReader(TZipInput& Input) : FInput(Input), FBuffer(65536) {}
  // Count bits (at most 24), the first bit read in the lowest place.
  uint32_t Bits(int Count);
  bool Overrun() const { return FOverrun; }

 private:
  bool NextByte(uint8_t& Byte);

  TZipInput& FInput;
  std::vector<uint8_t> FBuffer;
  size_t FPos = 0;
  size_t FEnd = 0;
  uint32_t FHold = 0;
  int FHeld = 0;
  bool FOverrun = false;
};

// The history of the legacy methods: bytes go out in blocks, matches copy
// from up to 32K back; a match reaching before the start copies zeros.
class TZipWindow {
 public:
  explicit TZipWindow(TZipOutput& Output) : FOutput(Output), FData(Size) {}
  ~TZipWindow() = default;
  void Put(uint8_t Byte);
  void Copy(uint32_t Distance, uint32_t Length);
  void Flush();
  uint64_t Remaining() const { return FOutput.Remaining() - (FTotal - FFlushed); }

 private:
  static constexpr uint32_t Size = 65536;
  static constexpr uint32_t Mask = Size - 1;

  TZipOutput& FOutput;
  std::vector<uint8_t> FData;
  uint64_t FTotal = 0;
  uint64_t FFlushed = 0;
};

bool IsSupportedMethod(uint16_t Method);
// Decodes one entry; raises EZipError with the component's texts on bad data.
void DecodeEntry(uint16_t Method, uint16_t Flags, TZipInput& Input, TZipOutput& Output);

void Unstore(TZipInput& Input, TZipOutput& Output);
void Inflate(TZipInput& Input, TZipOutput& Output);
void Unshrink(TZipInput& Input, TZipOutput& Output);
// Factor 1 to 4 (methods 2 to 5).
void Unreduce(TZipInput& Input, TZipOutput& Output, int Factor);
void Explode(TZipInput& Input, TZipOutput& Output, uint16_t Flags);
