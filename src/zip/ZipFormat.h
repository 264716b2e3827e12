#pragma once
// The records of a zip archive (little-endian, as the published format
// describes them) and a bounds-checked reader for their fields.

#include <cstdint>
#include <string>
#include <vector>

namespace ZipSig {
constexpr uint32_t Local = 0x04034b50;
constexpr uint32_t Central = 0x02014b50;
constexpr uint32_t End = 0x06054b50;
// Starts the first disk of a spanned or split archive; also the optional
// signature of a data descriptor.
constexpr uint32_t Spanning = 0x08074b50;
}  // namespace ZipSig

constexpr int ZipLocalHeaderSize = 30;
constexpr int ZipCentralHeaderSize = 46;
constexpr int ZipEndRecordSize = 22;
constexpr int ZipMaxCommentSize = 65535;

// General-purpose flag bits.
constexpr uint16_t zfEncrypted = 0x0001;
constexpr uint16_t zfDataDescriptor = 0x0008;
constexpr uint16_t zfUtf8Name = 0x0800;

// Compression methods.
constexpr uint16_t zmStored = 0;
constexpr uint16_t zmShrunk = 1;
constexpr uint16_t zmReduced1 = 2;
constexpr uint16_t zmReduced4 = 5;
constexpr uint16_t zmImploded = 6;
constexpr uint16_t zmDeflated = 8;

// One entry of the central directory.
struct TZipCentralEntry {
  uint16_t VersionMadeBy = 0;
  uint16_t VersionNeeded = 0;
  uint16_t Flags = 0;
  uint16_t Method = 0;
  uint16_t ModTime = 0;
  uint16_t ModDate = 0;
  uint32_t Crc32 = 0;
  uint32_t CompressedSize = 0;
  uint32_t UncompressedSize = 0;
  uint16_t DiskStart = 0;
  uint16_t InternalAttr = 0;
  uint32_t ExternalAttr = 0;
  uint32_t LocalOffset = 0;  // relative to the start of disk DiskStart
  std::string StoredName;    // UTF-8, as stored (may carry folders)
  std::vector<uint8_t> Extra;
  std::string Comment;

  uint32_t DateTime() const { return (uint32_t(ModDate) << 16) | ModTime; }
  bool IsDirectory() const;
  bool IsReadOnly() const { return (ExternalAttr & 0x01) != 0; }
};

// The end-of-central-directory record.
struct TZipEndRecord {
  uint16_t ThisDisk = 0;
  uint16_t CentralDisk = 0;  // disk on which the central directory starts
  uint16_t EntriesOnDisk = 0;
  uint16_t TotalEntries = 0;
  uint32_t CentralSize = 0;
  uint32_t CentralOffset = 0;  // relative to the start of CentralDisk
  std::string Comment;
};

// Reads little-endian fields from a block. A short read yields zeros and
// marks the reader failed, so a record parser checks once at the end.
class TZipFieldReader {
 public:
  TZipFieldReader(const uint8_t* Data, size_t Size) : FData(Data), FSize(Size) {}

  uint16_t U16();
  uint32_t U32();
  std::string Text(size_t Count);
  std::vector<uint8_t> Bytes(size_t Count);
  void Skip(size_t Count);

  bool Ok() const { return FOk; }
  size_t Position() const { return FPos; }
  size_t Left() const { return FSize - FPos; }

 private:
  bool Take(size_t Count);

  const uint8_t* FData;
  size_t FSize;
  size_t FPos = 0;
  bool FOk = true;
};

// Appends little-endian fields to a block.
class TZipFieldWriter {
 public:
  void U16(uint16_t Value);
  void U32(uint32_t Value);
  void Bytes(const void* Data, size_t Count);
  void Text(const std::string& Value) { Bytes(Value.data(), Value.size()); }
  const std::vector<uint8_t>& Data() const { return FData; }

 private:
  std::vector<uint8_t> FData;
};

// Parses a central header at the reader's position (its signature included);
// false when the block is short or the signature is wrong.
bool ParseCentralEntry(TZipFieldReader& Reader, TZipCentralEntry& Entry);
// Parses the end record starting at Data (signature included).
bool ParseEndRecord(const uint8_t* Data, size_t Size, TZipEndRecord& Record);

std::vector<uint8_t> BuildLocalHeader(const TZipCentralEntry& Entry);
std::vector<uint8_t> BuildCentralHeader(const TZipCentralEntry& Entry);
std::vector<uint8_t> BuildEndRecord(const TZipEndRecord& Record);

// Host system in the high byte of "version made by".
constexpr uint16_t ZipHostUnix = 3;

// Names are stored in the Windows ANSI code page unless the UTF-8 flag is
// set or a Unix program stored valid UTF-8.
std::string DecodeStoredName(const std::string& Raw, uint16_t Flags, uint16_t MadeBy);
// Returns the bytes to store and sets zfUtf8Name in Flags when ANSI cannot hold the name.
std::string EncodeStoredName(const std::string& Utf8, uint16_t& Flags);

// The last part of a stored name, with "/" and "\" both separators and any
// drive prefix dropped; empty for a folder entry or for "." and "..".
std::string SafeEntryFileName(const std::string& StoredName);

uint32_t ZipCrc32(uint32_t Crc, const uint8_t* Data, size_t Count);
