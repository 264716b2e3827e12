#pragma once
// Where the writer puts the archive's bytes: one file, or a set of disks.
// Positions are (disk, offset on that disk), as the headers record them.

#include <cstdint>
#include <string>
#include <vector>

#include "ZipFiles.h"

class TZipWriteTarget {
 public:
  virtual ~TZipWriteTarget() = default;
  // Bytes that may run over into the next disk (entry data).
  virtual void Write(const uint8_t* Data, size_t Count) = 0;
  // Starts the next disk when Count bytes do not fit on this one. Headers
  // ask for one byte (they start on the disk whose offset they record), the
  // end record for all of itself (it never leaves the last disk).
  virtual void EnsureRoom(size_t Count) = 0;
  virtual int Disk() const = 0;
  virtual int64_t Offset() const = 0;
  // Completes the archive (after the end record); false on failure.
  virtual void Finish() = 0;
};

// The archive as one new file beside ZipName that replaces it on Finish.
class TZipFileTarget : public TZipWriteTarget {
 public:
  explicit TZipFileTarget(const std::string& ZipName);
  void Write(const uint8_t* Data, size_t Count) override;
  void EnsureRoom(size_t) override {}
  int Disk() const override { return 0; }
  int64_t Offset() const override { return FOffset; }
  void Finish() override;

 private:
  void FlushBuffer();
  // A failed write: a full disk says so and names the archive.
  [[noreturn]] void Fail() const;

  TZipTempFile FFile;
  std::vector<uint8_t> FBuffer;
  int64_t FOffset = 0;
};
