#include "ZipSpanTarget.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "DiskFull.h"
#include "Volumes.h"
#include "ZipDisks.h"
#include "ZipErrors.h"
#include "ZipFormat.h"

namespace {

// The first four bytes of an archive that was meant to span but fits on one disk.
constexpr uint32_t SingleDiskMarker = 0x30304b50;
// Times a disk is asked for again when the drive still holds a written one.
constexpr int MaxDiskRetries = 10;

// A failed write on the disk's file: a full disk says so and names the file.
[[noreturn]] void FailWrite(int Error, const std::string& FileName) {
  throw EZipError(WriteErrorMessage(Error, FileName, ZipText::NoRoom));
}

void PutU32(int Handle, off_t At, uint32_t Value, const std::string& FileName) {
  const uint8_t b[4] = {uint8_t(Value), uint8_t(Value >> 8), uint8_t(Value >> 16),
                        uint8_t(Value >> 24)};
  const ssize_t n = ::pwrite(Handle, b, 4, At);
  if (n != 4) FailWrite(n < 0 ? errno : EIO, FileName);
}

}  // namespace

TZipSpanTarget::TZipSpanTarget(const std::string& ZipName, TZipSpanSettings Settings,
                               TRequest Request)
    : FZipName(ZipName), FSettings(Settings), FRequest(std::move(Request)) {
  // A constructor that fails runs no destructor: the first disk is given up here.
  try {
    StartDisk();
    const uint8_t sig[4] = {0x50, 0x4b, 0x07, 0x08};
    Write(sig, sizeof sig);
  } catch (...) {
    AbandonDisk();
    throw;
  }
}

// A disk whose file is still open when the target goes was cut short by a
// failure: its half-written file would look like a part of the set.
TZipSpanTarget::~TZipSpanTarget() {
  AbandonDisk();
}

void TZipSpanTarget::AbandonDisk() {
  if (FHandle < 0) return;
  ::close(FHandle);
  FHandle = -1;
  ::unlink(FZipName.c_str());
}

bool TZipSpanTarget::IsWrittenDisk() {
  struct stat st {};
  if (::stat(FZipName.c_str(), &st) == 0 &&
      std::find(FWritten.begin(), FWritten.end(), std::make_pair(st.st_dev, st.st_ino)) !=
          FWritten.end())
    return true;
  if (!FSettings.CheckDiskLabels) return false;
  const std::string label = Volumes().GetLabel(FZipName);
  for (int n = 1; n <= FDisk; ++n)
    if (label == ZipDiskLabel(n)) return true;
  return false;
}

void TZipSpanTarget::StartDisk() {
  ::unlink(FZipName.c_str());  // an old archive's room belongs to the new one
  FHandle = ::open(FZipName.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (FHandle < 0) {
    const int error = errno;
    throw EZipError(WriteErrorMessage(error, FZipName, "Cannot create file " + FZipName));
  }
  struct stat st {};
  if (::fstat(FHandle, &st) == 0) FWritten.emplace_back(st.st_dev, st.st_ino);
  if (FSettings.WriteDiskLabels && Volumes().IsRemovable(FZipName))
    Volumes().SetLabel(FZipName, ZipDiskLabel(FDisk + 1));
  FRoom = Volumes().FreeSpace(FZipName);
  if (FDisk == 0) FRoom -= FSettings.FirstDiskReserve;
  // A disk must at least take the end record, or the set could never end.
  if (FRoom < ZipEndRecordSize) {
    AbandonDisk();
    ZipFail(ZipText::NoRoom);
  }
  FOffset = 0;
}

void TZipSpanTarget::CloseDisk() {
  if (FHandle < 0) return;
  const bool ok = ::fsync(FHandle) == 0 || errno == EINVAL;
  int error = ok ? 0 : errno;
  const bool closed = ::close(FHandle) == 0;
  if (!closed && ok) error = errno;
  FHandle = -1;
  if (!ok || !closed) {
    ::unlink(FZipName.c_str());  // not known to be on the disk
    FailWrite(error, FZipName);
  }
}

void TZipSpanTarget::NextDisk() {
  CloseDisk();
  for (int attempt = 0;; ++attempt) {
    if (attempt == MaxDiskRetries) ZipFail(ZipText::UserCanceledDisk);
    std::string name = FZipName;
    if (FRequest) FRequest(FDisk + 2, name);
    if (name.empty()) ZipFail(ZipText::UserCanceledDisk);
    FZipName = name;
    if (!IsWrittenDisk()) break;
  }
  ++FDisk;
  StartDisk();
}

void TZipSpanTarget::Write(const uint8_t* Data, size_t Count) {
  while (Count > 0) {
    if (FOffset >= FRoom) NextDisk();
    const size_t n = static_cast<size_t>(std::min<int64_t>(int64_t(Count), FRoom - FOffset));
    const ssize_t written = ::write(FHandle, Data, n);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) FailWrite(written < 0 ? errno : EIO, FZipName);
    Data += written;
    Count -= static_cast<size_t>(written);
    FOffset += written;
  }
}

void TZipSpanTarget::EnsureRoom(size_t Count) {
  if (FOffset + int64_t(Count) > FRoom) NextDisk();
}

void TZipSpanTarget::Finish() {
  if (FDisk == 0 && FHandle >= 0) PutU32(FHandle, 0, SingleDiskMarker, FZipName);
  CloseDisk();
}
