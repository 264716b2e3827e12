#include "Streams.h"

#include <algorithm>
#include <cstring>
#include <fstream>

int64_t TStream::GetSize() {
  const int64_t pos = Seek(0, soFromCurrent);
  const int64_t size = Seek(0, soFromEnd);
  Seek(pos, soFromBeginning);
  return size;
}

void TStream::ReadBuffer(void* Buffer, int64_t Count) {
  if (Count != 0 && Read(Buffer, Count) != Count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* Buffer, int64_t Count) {
  if (Count != 0 && Write(Buffer, Count) != Count) throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& Source, int64_t Count) {
  if (Count == 0) {
    Source.SetPosition(0);
    Count = Source.GetSize();
  }
  std::vector<uint8_t> block(static_cast<size_t>(std::min<int64_t>(Count, 65536)));
  int64_t left = Count;
  while (left > 0) {
    const int64_t n = std::min<int64_t>(left, static_cast<int64_t>(block.size()));
    Source.ReadBuffer(block.data(), n);
    WriteBuffer(block.data(), n);
    left -= n;
  }
  return Count;
}

uint8_t TStream::ReadByte() {
  uint8_t b;
  ReadBuffer(&b, 1);
  return b;
}

uint16_t TStream::ReadWord() {
  uint8_t b[2];
  ReadBuffer(b, 2);
  return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

uint32_t TStream::ReadUInt32() {
  uint8_t b[4];
  ReadBuffer(b, 4);
  return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
         (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

int32_t TStream::ReadInt32() {
  return static_cast<int32_t>(ReadUInt32());
}

void TStream::WriteByte(uint8_t Value) {
  WriteBuffer(&Value, 1);
}

void TStream::WriteWord(uint16_t Value) {
  const uint8_t b[2] = {static_cast<uint8_t>(Value), static_cast<uint8_t>(Value >> 8)};
  WriteBuffer(b, 2);
}

void TStream::WriteUInt32(uint32_t Value) {
  const uint8_t b[4] = {static_cast<uint8_t>(Value), static_cast<uint8_t>(Value >> 8),
                        static_cast<uint8_t>(Value >> 16), static_cast<uint8_t>(Value >> 24)};
  WriteBuffer(b, 4);
}

void TStream::WriteInt32(int32_t Value) {
  WriteUInt32(static_cast<uint32_t>(Value));
}

int64_t TMemoryStream::Read(void* Buffer, int64_t Count) {
  if (Count <= 0 || FPosition >= GetSize()) return 0;
  const int64_t n = std::min<int64_t>(Count, GetSize() - FPosition);
  std::memcpy(Buffer, FData.data() + FPosition, static_cast<size_t>(n));
  FPosition += n;
  return n;
}

int64_t TMemoryStream::Write(const void* Buffer, int64_t Count) {
  if (Count <= 0) return 0;
  const int64_t end = FPosition + Count;
  if (end > GetSize()) FData.resize(static_cast<size_t>(end));
  std::memcpy(FData.data() + FPosition, Buffer, static_cast<size_t>(Count));
  FPosition = end;
  return Count;
}

int64_t TMemoryStream::Seek(int64_t Offset, int Origin) {
  switch (Origin) {
    case soFromBeginning:
      FPosition = Offset;
      break;
    case soFromCurrent:
      FPosition += Offset;
      break;
    case soFromEnd:
      FPosition = GetSize() + Offset;
      break;
    default:
      throw EStreamError("Invalid seek origin");
  }
  if (FPosition < 0) FPosition = 0;
  return FPosition;
}

void TMemoryStream::SetSize(int64_t NewSize) {
  if (NewSize < 0) NewSize = 0;
  FData.resize(static_cast<size_t>(NewSize));
  if (FPosition > NewSize) FPosition = NewSize;
}

void TMemoryStream::Clear() {
  FData.clear();
  FPosition = 0;
}

void TMemoryStream::LoadFromFile(const std::string& FileName) {
  std::ifstream in(FileName, std::ios::binary);
  if (!in) throw EStreamError("Cannot open file " + FileName);
  std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw EReadError("Read failed in " + FileName);
  FData = std::move(data);
  FPosition = 0;
}

void TMemoryStream::SaveToFile(const std::string& FileName) {
  std::ofstream out(FileName, std::ios::binary | std::ios::trunc);
  if (!out) throw EStreamError("Cannot create file " + FileName);
  out.write(reinterpret_cast<const char*>(FData.data()),
            static_cast<std::streamsize>(FData.size()));
  out.close();
  if (!out) throw EWriteError("Write failed in " + FileName);
}
