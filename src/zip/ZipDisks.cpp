#include "ZipDisks.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "QvFileIO.h"
#include "Volumes.h"
#include "ZipErrors.h"

namespace {

bool IsRegularFile(const std::string& Name) {
  struct stat st {};
  return ::stat(Name.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Times a disk is asked for again when the drive holds another disk of the set.
constexpr int MaxDiskRetries = 10;

}  // namespace

std::string ZipDiskLabel(int DiskNumber) {
  char label[16];
  std::snprintf(label, sizeof label, "PKBACK# %03d", DiskNumber % 1000);
  return label;
}

int ZipDiskOfLabel(const std::string& Label) {
  if (Label.size() != 11 || Label.compare(0, 8, "PKBACK# ") != 0) return 0;
  int number = 0;
  for (size_t i = 8; i < 11; ++i) {
    if (Label[i] < '0' || Label[i] > '9') return 0;
    number = number * 10 + (Label[i] - '0');
  }
  return number;
}

int64_t FindEndRecord(TStream& Stream, TZipEndRecord& Record) {
  const int64_t size = Stream.GetSize();
  if (size < ZipEndRecordSize) return -1;
  const int64_t tail = std::min<int64_t>(size, ZipEndRecordSize + ZipMaxCommentSize);
  std::vector<uint8_t> block(static_cast<size_t>(tail));
  Stream.SetPosition(size - tail);
  Stream.ReadBuffer(block.data(), tail);
  for (int64_t i = tail - ZipEndRecordSize; i >= 0; --i) {
    const uint8_t* p = block.data() + i;
    if (p[0] != 'P' || p[1] != 'K' || p[2] != 5 || p[3] != 6) continue;
    if (ParseEndRecord(p, static_cast<size_t>(tail - i), Record)) return size - tail + i;
  }
  return -1;
}

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
  // Split parts lie beside the last part; the disks of a removable drive
  // all have the archive's name and are asked for.
  std::string name;
  if (!SplitPartName(0).empty()) {
    name = Number == FLast ? FFileName : SplitPartName(Number);
    if (name.empty()) ZipFail(ZipText::Incomplete);
  }
  for (int attempt = 0; name.empty(); ++attempt) {
    // A disk of a set spanned over a removable drive: ask for it.
    if (attempt == MaxDiskRetries) ZipFail(ZipText::UserCanceledDisk);
    name = FFileName;
    if (FRequest) FRequest(Number + 1, name);
    if (name.empty()) ZipFail(ZipText::UserCanceledDisk);
    const int labelled =
        FCheckLabels && Volumes().IsRemovable(name) ? ZipDiskOfLabel(Volumes().GetLabel(name)) : 0;
    if (labelled != 0 && labelled != Number + 1) name.clear();
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
