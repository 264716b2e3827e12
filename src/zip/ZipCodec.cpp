#include "ZipCodec.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "ZipErrors.h"
#include "ZipFormat.h"

size_t TZipMemoryInput::Read(uint8_t* Buffer, size_t Count) {
  const size_t n = std::min(Count, FSize - FPos);
  if (n > 0) std::memcpy(Buffer, FData + FPos, n);
  FPos += n;
  return n;
}

void TZipOutput::Write(const uint8_t* Data, size_t Count) {
  if (Count == 0) return;
  if (Count > Remaining()) ZipFail(ZipText::TooLarge);
  if (FTarget) {
    std::memcpy(FTarget + FWritten, Data, Count);
    Placed(Count);
    return;
  }
  FCrc = ZipCrc32(FCrc, Data, Count);
  FWritten += Count;
  FSink(Data, Count);
}

void TZipOutput::Placed(size_t Count) {
  if (Count == 0) return;
  const uint8_t* data = FTarget + FWritten;
  FCrc = ZipCrc32(FCrc, data, Count);
  FWritten += Count;
  FSink(data, Count);
}

bool TZipBitReader::NextByte(uint8_t& Byte) {
  if (FPos == FEnd) {
    FEnd = FInput.Read(FBuffer.data(), FBuffer.size());
    FPos = 0;
    if (FEnd == 0) return false;
  }
  Byte = FBuffer[FPos++];
  return true;
}

uint32_t TZipBitReader::Bits(int Count) {
  if (Count <= 0) return 0;
  while (FHeld < Count) {
    uint8_t byte = 0;
    if (!NextByte(byte)) FOverrun = true;
    FHold |= uint32_t(byte) << FHeld;
    FHeld += 8;
  }
  const uint32_t value = FHold & ((1u << Count) - 1);
  FHold >>= Count;
  FHeld -= Count;
  return value;
}

void TZipWindow::Put(uint8_t Byte) {
  if (Remaining() == 0) return;
  FData[FTotal & Mask] = Byte;
  ++FTotal;
  if (FTotal - FFlushed >= Size / 2) Flush();
}

void TZipWindow::Copy(uint32_t Distance, uint32_t Length) {
  Length = static_cast<uint32_t>(std::min<uint64_t>(Length, Remaining()));
  for (uint32_t i = 0; i < Length; ++i) {
    const uint8_t b = Distance > FTotal ? 0 : FData[(FTotal - Distance) & Mask];
    Put(b);
  }
}

void TZipWindow::Flush() {
  while (FFlushed < FTotal) {
    const uint32_t start = static_cast<uint32_t>(FFlushed & Mask);
    const uint64_t n = std::min<uint64_t>(FTotal - FFlushed, Size - start);
    FOutput.Write(FData.data() + start, static_cast<size_t>(n));
    FFlushed += n;
  }
}

bool IsSupportedMethod(uint16_t Method) {
  return Method == zmStored || Method == zmDeflated || Method == zmShrunk ||
         (Method >= zmReduced1 && Method <= zmReduced4) || Method == zmImploded;
}

void DecodeEntry(uint16_t Method, uint16_t Flags, TZipInput& Input, TZipOutput& Output) {
  if (Method == zmStored)
    Unstore(Input, Output);
  else if (Method == zmDeflated)
    Inflate(Input, Output);
  else if (Method == zmShrunk)
    Unshrink(Input, Output);
  else if (Method >= zmReduced1 && Method <= zmReduced4)
    Unreduce(Input, Output, Method - 1);
  else if (Method == zmImploded)
    Explode(Input, Output, Flags);
  else
    ZipFail(ZipText::UnknownMethod);
  // Data that ends before the declared size is a cut-off entry.
  if (Output.Remaining() != 0) ZipFail(ZipText::PrematureEnd);
}

void Unstore(TZipInput& Input, TZipOutput& Output) {
  std::vector<uint8_t> block(65536);
  while (size_t n = Input.Read(block.data(), block.size())) Output.Write(block.data(), n);
}

namespace {

// Owns a raw-deflate zlib stream for one entry.
class TInflater {
 public:
  TInflater() {
    std::memset(&FStream, 0, sizeof FStream);
    const int rc = inflateInit2(&FStream, -MAX_WBITS);
    if (rc == Z_MEM_ERROR) ZipFail(ZipText::InflateNoMemory);
    if (rc != Z_OK) ZipFail(ZipText::NotValid);
  }
  ~TInflater() { inflateEnd(&FStream); }
  TInflater(const TInflater&) = delete;
  TInflater& operator=(const TInflater&) = delete;
  z_stream& Stream() { return FStream; }

 private:
  z_stream FStream;
};

}  // namespace

void Inflate(TZipInput& Input, TZipOutput& Output) {
  TInflater inflater;
  z_stream& z = inflater.Stream();
  std::vector<uint8_t> in(65536), out(65536);
  for (;;) {
    if (z.avail_in == 0) {
      z.avail_in = static_cast<uInt>(Input.Read(in.data(), in.size()));
      z.next_in = in.data();
      if (z.avail_in == 0) ZipFail(ZipText::PrematureEnd);
    }
    // Straight into the output's memory while it has room; what would go
    // beyond it goes through the block, where it raises.
    uint8_t* next = Output.Remaining() > 0 ? Output.Next() : nullptr;
    const size_t room =
        next ? static_cast<size_t>(std::min<uint64_t>(Output.Remaining(), out.size())) : out.size();
    z.next_out = next ? next : out.data();
    z.avail_out = static_cast<uInt>(room);
    const int rc = inflate(&z, Z_NO_FLUSH);
    if (next)
      Output.Placed(room - z.avail_out);
    else
      Output.Write(out.data(), room - z.avail_out);
    if (rc == Z_STREAM_END) return;
    if (rc == Z_MEM_ERROR) ZipFail(ZipText::InflateNoMemory);
    if (rc != Z_OK && rc != Z_BUF_ERROR) ZipFail(ZipText::NotValid);
  }
}
