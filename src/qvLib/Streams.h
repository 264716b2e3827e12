#pragma once
// The abstract stream every reader and writer of the program works on, and the
// in-memory stream that holds chart-set archives and update files.

#include <cstdint>
#include <string>
#include <vector>

#include "Exception.h"

ZARNAVIS_DECLARE_EXCEPTION(EStreamError, Exception);
ZARNAVIS_DECLARE_EXCEPTION(EReadError, EStreamError);
ZARNAVIS_DECLARE_EXCEPTION(EWriteError, EStreamError);

// Seek origins.
constexpr int soFromBeginning = 0;
constexpr int soFromCurrent = 1;
constexpr int soFromEnd = 2;

class TStream {
 public:
  virtual ~TStream() = default;

  // Return the number of bytes moved; may be less than Count.
  virtual int64_t Read(void* Buffer, int64_t Count) = 0;
  virtual int64_t Write(const void* Buffer, int64_t Count) = 0;
  // Returns the new position.
  virtual int64_t Seek(int64_t Offset, int Origin) = 0;
  virtual void SetSize(int64_t NewSize) = 0;
  virtual int64_t GetSize();

  int64_t Position() { return Seek(0, soFromCurrent); }
  void SetPosition(int64_t Pos) { Seek(Pos, soFromBeginning); }

  // All or nothing: raise EReadError "Stream read error" / EWriteError
  // "Stream write error" when fewer bytes move.
  void ReadBuffer(void* Buffer, int64_t Count);
  void WriteBuffer(const void* Buffer, int64_t Count);
  // Copies Count bytes from Source (all of it from its start when Count is 0).
  int64_t CopyFrom(TStream& Source, int64_t Count);

  // Little-endian fields of the program's own formats.
  uint8_t ReadByte();
  uint16_t ReadWord();
  int32_t ReadInt32();
  uint32_t ReadUInt32();
  void WriteByte(uint8_t Value);
  void WriteWord(uint16_t Value);
  void WriteInt32(int32_t Value);
  void WriteUInt32(uint32_t Value);
};

// A stream on a block of memory that grows as it is written.
class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::vector<uint8_t> Data) : FData(std::move(Data)) {}

  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, int Origin) override;
  void SetSize(int64_t NewSize) override;
  int64_t GetSize() override { return static_cast<int64_t>(FData.size()); }

  void Clear();
  uint8_t* Memory() { return FData.data(); }
  const uint8_t* Memory() const { return FData.data(); }
  const std::vector<uint8_t>& Data() const { return FData; }
  std::vector<uint8_t>& Data() { return FData; }

  // Raise EStreamError "Cannot open file " / "Cannot create file " + name.
  void LoadFromFile(const std::string& FileName);
  void SaveToFile(const std::string& FileName);

 private:
  std::vector<uint8_t> FData;
  int64_t FPosition = 0;
};
