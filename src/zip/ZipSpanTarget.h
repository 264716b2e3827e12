#pragma once
// Writing an archive over removable disks: every disk carries a file of the
// archive's name, filled up to the disk's free space; the first begins with
// the spanning signature. Local and central headers may run over into the
// next disk (as Info-ZIP's split archives do), the end record never does. Disks are labelled
// "PKBACK# 001", ...

#include <sys/types.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "ZipWriteTarget.h"

struct TZipSpanSettings {
  bool WriteDiskLabels = true;
  bool CheckDiskLabels = true;
  int64_t FirstDiskReserve = 0;  // kept free on the first disk
};

class TZipSpanTarget : public TZipWriteTarget {
 public:
  // Request asks for disk DiskNumber (1 = first) and empties the name to cancel.
  using TRequest = std::function<void(int DiskNumber, std::string& FileName)>;
  TZipSpanTarget(const std::string& ZipName, TZipSpanSettings Settings, TRequest Request);
  ~TZipSpanTarget() override;
  TZipSpanTarget(const TZipSpanTarget&) = delete;
  TZipSpanTarget& operator=(const TZipSpanTarget&) = delete;

  void Write(const uint8_t* Data, size_t Count) override;
  // Count bytes must follow on this disk; otherwise the next disk starts.
  void EnsureRoom(size_t Count) override;
  int Disk() const override { return FDisk; }
  int64_t Offset() const override { return FOffset; }
  void Finish() override;

 private:
  void StartDisk();
  void NextDisk();
  void CloseDisk();
  // Closes and removes the file of the disk being written.
  void AbandonDisk();
  // The disk in the drive is one this set already wrote (it was not changed).
  bool IsWrittenDisk();

  std::string FZipName;
  TZipSpanSettings FSettings;
  TRequest FRequest;
  int FHandle = -1;
  int FDisk = 0;
  int64_t FOffset = 0;
  int64_t FRoom = 0;  // bytes this disk takes
  std::vector<std::pair<dev_t, ino_t>> FWritten;
};
