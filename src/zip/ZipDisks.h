#pragma once
// The disks of an archive. An ordinary archive is one disk: a file or an
// in-memory stream. A spanned or split archive is several: the earlier parts
// of a split set lie beside the last as name.z01, name.z02, ...; the disks
// of a set spanned over a removable drive all carry the same file name and
// the user is asked to insert each one.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "Streams.h"
#include "ZipFormat.h"

// Looks for the end record in the last 64K + 22 bytes of Stream; its offset or -1.
int64_t FindEndRecord(TStream& Stream, TZipEndRecord& Record);

// The volume label of disk DiskNumber (1 = first) of a spanned set: "PKBACK# 001".
std::string ZipDiskLabel(int DiskNumber);
// The disk number a label names, or 0 when it is no such label.
int ZipDiskOfLabel(const std::string& Label);

// Asks for disk DiskNumber (1 = first); empties FileName to cancel.
using TZipDiskRequest = std::function<void(int DiskNumber, std::string& FileName)>;

class TZipDiskSet {
 public:
  // An in-memory archive (not owned): one disk only.
  explicit TZipDiskSet(TStream& Stream);
  // The archive file FileName; Request is asked when another disk is needed.
  TZipDiskSet(const std::string& FileName, TZipDiskRequest Request);

  // Declares which disk the opened file is (the last one, when its end
  // record says so).
  void SetCurrentNumber(int Number) { FCurrent = Number; }
  // The disk that the archive file itself is (the one with the end record).
  void SetLastNumber(int Number) { FLast = Number; }
  int CurrentNumber() const { return FCurrent; }
  // The stream of disk Number (0 = first), asking for it when needed.
  TStream& Disk(int Number);
  // Path of the split part that holds disk Number, or empty.
  std::string SplitPartName(int Number) const;
  bool IsFile() const { return FStream == nullptr; }
  // A disk put in on request must carry the label of its number, if any.
  void SetCheckLabels(bool Check) { FCheckLabels = Check; }
  const std::string& FileName() const { return FFileName; }

 private:
  void OpenFile(const std::string& Name);

  TStream* FStream = nullptr;
  std::unique_ptr<TStream> FFile;
  std::string FFileName;
  TZipDiskRequest FRequest;
  int FCurrent = 0;
  int FLast = -1;  // number of the disk that FFileName itself is, once known
  bool FCheckLabels = true;
};

// Reads the bytes of an archive as one sequence over its disks: what runs
// past the end of a disk continues at the start of the next.
class TZipSpanReader {
 public:
  TZipSpanReader(TZipDiskSet& Disks, int Disk, int64_t Offset, int LastDisk);
  // Up to Count bytes; fewer only at the end of the last disk.
  size_t Read(uint8_t* Buffer, size_t Count);
  // Raises "Premature end of file reached" when Count bytes are not there.
  void ReadExact(uint8_t* Buffer, size_t Count);
  void Skip(int64_t Count);

 private:
  TZipDiskSet& FDisks;
  int FDisk;
  int64_t FOffset;
  int FLastDisk;
};
