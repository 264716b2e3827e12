#include "ZipDisks.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "QvFileIO.h"
#include "ZipErrors.h"

namespace {

bool IsRegularFile(const std::string& Name) {
  struct stat st {};
  return ::stat(Name.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

TZipDiskSet::TZipDiskSet(TStream& Stream) : FStream(&Stream) {}

TZipDiskSet::TZipDiskSet(const std::string& FileName, TZipDiskRequest Request)
    : FFileName(FileName), FRequest(std::move(Request)) {
  OpenFile(FileName);
}

void TZipDiskSet::OpenFile(const std::string& Name) {
  FFile.reset();
  try {
    FFile = std::make_unique<TBufferedFileStream>(Name, TBufferedFileStream::MaxBufferSize,
                                                  fmOpenRead | fmShareDenyNone);
  } catch (const EStreamError&) {
    throw EZipError("Cannot open file " + Name);
  }
}

std::string TZipDiskSet::SplitPartName(int Number) const {
  const size_t dot = FFileName.find_last_of('.');
  const size_t slash = FFileName.find_last_of('/');
  const std::string base = dot != std::string::npos && (slash == std::string::npos || dot > slash)
                               ? FFileName.substr(0, dot)
                               : FFileName;
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, ".z%02d", Number + 1);
  const std::string name = base + suffix;
  return IsRegularFile(name) ? name : std::string();
}

TStream& TZipDiskSet::Disk(int Number) {
  if (Number == FCurrent) return FStream ? *FStream : *FFile;
  if (FStream) ZipFail(ZipText::Incomplete);
  std::string name = Number == FLast ? FFileName : SplitPartName(Number);
  if (name.empty()) {
    // A disk of a set spanned over a removable drive: ask for it.
    name = FFileName;
    if (FRequest) FRequest(Number + 1, name);
    if (name.empty()) ZipFail(ZipText::UserCanceledDisk);
  }
  OpenFile(name);
  FCurrent = Number;
  return *FFile;
}

TZipSpanReader::TZipSpanReader(TZipDiskSet& Disks, int Disk, int64_t Offset, int LastDisk)
    : FDisks(Disks), FDisk(Disk), FOffset(Offset), FLastDisk(LastDisk) {}

size_t TZipSpanReader::Read(uint8_t* Buffer, size_t Count) {
  size_t done = 0;
  while (done < Count) {
    TStream& disk = FDisks.Disk(FDisk);
    const int64_t size = disk.GetSize();
    if (FOffset >= size) {
      if (FDisk >= FLastDisk) break;
      FOffset -= size;
      ++FDisk;
      continue;
    }
    const size_t n = static_cast<size_t>(std::min<int64_t>(size - FOffset, Count - done));
    disk.SetPosition(FOffset);
    disk.ReadBuffer(Buffer + done, static_cast<int64_t>(n));
    FOffset += static_cast<int64_t>(n);
    done += n;
  }
  return done;
}

void TZipSpanReader::ReadExact(uint8_t* Buffer, size_t Count) {
  if (Read(Buffer, Count) != Count) ZipFail(ZipText::PrematureEnd);
}

void TZipSpanReader::Skip(int64_t Count) {
  std::vector<uint8_t> scratch(4096);
  while (Count > 0) {
    const size_t n = static_cast<size_t>(std::min<int64_t>(Count, 4096));
    ReadExact(scratch.data(), n);
    Count -= static_cast<int64_t>(n);
  }
}
