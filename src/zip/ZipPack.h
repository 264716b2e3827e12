#pragma once
// Compressing one entry for the writer: the data is packed into memory
// (Deflate at the given level, or stored when that is not smaller) so that
// its sizes and CRC-32 are known before its header is written.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Streams.h"
#include "ZipFormat.h"

struct z_stream_s;

// The bytes of one new entry; Rewind starts them over.
class TZipPackSource {
 public:
  virtual ~TZipPackSource() = default;
  virtual size_t Read(uint8_t* Buffer, size_t Count) = 0;
  virtual void Rewind() = 0;
  virtual uint64_t Size() = 0;
};

class TZipFileSource : public TZipPackSource {
 public:
  // Raises EZipError when the file cannot be opened.
  explicit TZipFileSource(const std::string& FileName);
  ~TZipFileSource() override;
  TZipFileSource(const TZipFileSource&) = delete;
  TZipFileSource& operator=(const TZipFileSource&) = delete;
  size_t Read(uint8_t* Buffer, size_t Count) override;
  void Rewind() override;
  uint64_t Size() override { return FSize; }

 private:
  std::string FName;
  int FHandle = -1;
  uint64_t FSize = 0;
};

class TZipStreamSource : public TZipPackSource {
 public:
  explicit TZipStreamSource(TStream& Stream) : FStream(Stream) { Rewind(); }
  size_t Read(uint8_t* Buffer, size_t Count) override;
  void Rewind() override { FStream.SetPosition(0); }
  uint64_t Size() override { return static_cast<uint64_t>(FStream.GetSize()); }

 private:
  TStream& FStream;
};

// Packs the new entries of one archive, one after the other. It keeps one
// Deflate stream, reset for each entry (the same result as a fresh one):
// the stream's quarter megabyte of tables is made once, not per entry.
class TZipPacker {
 public:
  // Level 0 stores; 1 to 9 deflate (a higher level counts as 9).
  explicit TZipPacker(int Level);
  ~TZipPacker();
  TZipPacker(const TZipPacker&) = delete;
  TZipPacker& operator=(const TZipPacker&) = delete;

  // Packs Source; fills Method, Crc32, sizes and VersionNeeded of Header and
  // returns the data. Progress gets the bytes read so far.
  std::vector<uint8_t> Pack(TZipPackSource& Source, TZipCentralEntry& Header,
                            const std::function<void(uint64_t Done)>& Progress);

 private:
  z_stream_s& FreshStream();

  int FLevel;
  std::unique_ptr<z_stream_s> FStream;
};
