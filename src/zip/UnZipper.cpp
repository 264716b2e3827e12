// TUnZipper: settings, the archive's disks and its directory.

#include "UnZipper.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <limits>
#include <map>

#include "Volumes.h"
#include "ZipHooks.h"

void TUnZipper::SetZipName(const std::string& Name) {
  FZipName = Name;
  FDirectoryRead = false;
}

void TUnZipper::SetDestDir(const std::string& Dir) {
  FDestDir = Dir;
  while (FDestDir.size() > 1 && (FDestDir.back() == '/' || FDestDir.back() == '\\'))
    FDestDir.pop_back();
}

void TUnZipper::SetArchiveStream(TStream* Stream) {
  FArchiveStream = Stream;
  FDirectoryRead = false;
  FEntries.clear();
}

const TZipEntry& TUnZipper::Entry(int Index) const {
  if (Index < 0 || Index >= EntryCount()) {
    char text[64];
    std::snprintf(text, sizeof text, ZipText::IndexOutOfRange, Index);
    throw EZipError(text);
  }
  return FEntries[static_cast<size_t>(Index)];
}

const std::string& TUnZipper::EntryName(int Index) const {
  return Entry(Index).FileName;
}

void TUnZipper::SetEntrySelected(int Index, bool Selected) {
  Entry(Index);  // range check
  FEntries[static_cast<size_t>(Index)].Selected = Selected;
}

bool TUnZipper::EntrySelected(int Index) const {
  return Entry(Index).Selected;
}

void TUnZipper::ProcessMessages() {
  if (DoProcessMessages) ZipProcessMessages();
  if (FCancel) {
    FCancel = false;
    ZipFail(ZipText::UserAborted);
  }
}

void TUnZipper::RequestDisk(int DiskNumber, std::string& FileName) {
  if (OnGetNextDisk) {
    OnGetNextDisk(DiskNumber, FileName);
    return;
  }
  const std::string text =
      "Please insert disk " + std::to_string(DiskNumber) + " of the multi-disk set.";
  if (ZipMessageBox(text, "Zip", TZipButtons::OkCancel) != zmrOk) FileName.clear();
}

std::unique_ptr<TZipDiskSet> TUnZipper::OpenDisks() {
  if (FArchiveStream) return std::make_unique<TZipDiskSet>(*FArchiveStream);
  if (FZipName.empty()) ZipFail(ZipText::NotValid);
  return std::make_unique<TZipDiskSet>(
      FZipName, [this](int Disk, std::string& Name) { RequestDisk(Disk, Name); });
}

void TUnZipper::ReadDirectory() {
  const TZipBusy hourglass;
  auto disks = OpenDisks();
  ReadDirectoryFrom(*disks);
}

namespace {

uint32_t FirstSignature(TStream& Stream) {
  if (Stream.GetSize() < 4) return 0;
  Stream.SetPosition(0);
  return Stream.ReadUInt32();
}

}  // namespace

// Only a set on a removable drive, or split parts beside the archive, can
// be walked; an ordinary file without its end record is cut off.
bool TUnZipper::CanWalkDisks(TZipDiskSet& Disks) {
  if (!Disks.IsFile()) return false;
  if (Volumes().IsRemovable(Disks.FileName())) {
    // A labelled disk tells which disk of the set it is.
    const int labelled = ZipDiskOfLabel(Volumes().GetLabel(Disks.FileName()));
    if (labelled > 0) Disks.SetCurrentNumber(labelled - 1);
    return true;
  }
  return !Disks.SplitPartName(Disks.CurrentNumber() + 1).empty();
}

void TUnZipper::ReadDirectoryFrom(TZipDiskSet& Disks) {
  FEntries.clear();
  FEntryLimit.clear();
  FDirectoryRead = false;
  TZipEndRecord end;
  TStream* disk = &Disks.Disk(Disks.CurrentNumber());
  int64_t endPos = FindEndRecord(*disk, end);
  if (endPos < 0) {
    const uint32_t sig = FirstSignature(*disk);
    if (sig != ZipSig::Local && sig != ZipSig::Spanning) ZipFail(ZipText::NotValid);
    // A part of a spanned set without the end record, or a cut-off archive.
    TIncompleteZipMode mode = IncompleteZipMode;
    if (OnInCompleteZip) OnInCompleteZip(mode);
    if (mode == izAssumeNotAZip) ZipFail(ZipText::NotValid);
    if (mode == izAssumeBad || !CanWalkDisks(Disks)) ZipFail(ZipText::Incomplete);
    // Walk forward through the set until the disk with the end record.
    for (int next = Disks.CurrentNumber() + 1; endPos < 0; ++next) {
      if (next > 998) ZipFail(ZipText::Incomplete);
      disk = &Disks.Disk(next);
      endPos = FindEndRecord(*disk, end);
    }
    if (end.ThisDisk != Disks.CurrentNumber()) ZipFail(ZipText::Incomplete);
  }
  Disks.SetCurrentNumber(end.ThisDisk);
  Disks.SetLastNumber(end.ThisDisk);
  if (end.CentralDisk > end.ThisDisk || end.TotalEntries == 0xFFFF ||
      end.CentralOffset == 0xFFFFFFFF)
    ZipFail(ZipText::NotValid);
  if (end.CentralDisk == end.ThisDisk &&
      int64_t(end.CentralOffset) + int64_t(end.CentralSize) > endPos)
    ZipFail(ZipText::NotValid);
  FEnd = end;

  // The directory may itself run over several disks: read it in blocks.
  TZipSpanReader reader(Disks, end.CentralDisk, end.CentralOffset, end.ThisDisk);
  std::vector<uint8_t> central;
  while (central.size() < end.CentralSize) {
    const size_t n = std::min<size_t>(end.CentralSize - central.size(), 1 << 20);
    const size_t old = central.size();
    central.resize(old + n);
    if (reader.Read(central.data() + old, n) != n) ZipFail(ZipText::NotValid);
  }
  TZipFieldReader fields(central.data(), central.size());
  for (int i = 0; i < end.TotalEntries; ++i) {
    TZipEntry entry;
    if (!ParseCentralEntry(fields, entry.Header)) ZipFail(ZipText::NotValid);
    if (entry.Header.DiskStart > end.ThisDisk) ZipFail(ZipText::NotValid);
    entry.FileName = SafeEntryFileName(entry.Header.StoredName);
    FEntries.push_back(std::move(entry));
  }
  CheckEntryRanges();
  FDirectoryRead = true;
}

// Entries on one disk lie one after the other: each entry's header and data
// must end before the next entry (or the directory) starts. Entries that
// share their bytes would let a small archive unpack to far more than it holds.
void TUnZipper::CheckEntryRanges() {
  constexpr int64_t Unlimited = std::numeric_limits<int64_t>::max();
  FEntryLimit.assign(FEntries.size(), Unlimited);
  std::map<int, std::vector<size_t>> byDisk;
  for (size_t i = 0; i < FEntries.size(); ++i) byDisk[FEntries[i].Header.DiskStart].push_back(i);
  for (auto& [diskNumber, indexes] : byDisk) {
    std::sort(indexes.begin(), indexes.end(), [this](size_t a, size_t b) {
      return FEntries[a].Header.LocalOffset < FEntries[b].Header.LocalOffset;
    });
    for (size_t k = 0; k < indexes.size(); ++k) {
      int64_t limit = Unlimited;
      if (k + 1 < indexes.size())
        limit = FEntries[indexes[k + 1]].Header.LocalOffset;
      else if (diskNumber == FEnd.CentralDisk)
        limit = FEnd.CentralOffset;
      const TZipCentralEntry& h = FEntries[indexes[k]].Header;
      const int64_t least = int64_t(h.LocalOffset) + ZipLocalHeaderSize + h.CompressedSize;
      if (limit != Unlimited && least > limit) ZipFail(ZipText::NotValid);
      FEntryLimit[indexes[k]] = limit;
    }
  }
}

namespace {

bool MatchMask(const char* Mask, const char* Name) {
  for (; *Mask; ++Mask, ++Name) {
    if (*Mask == '*') {
      for (const char* n = Name;; ++n) {
        if (MatchMask(Mask + 1, n)) return true;
        if (!*n) return false;
      }
    }
    if (!*Name) return false;
    if (*Mask != '?' && std::tolower(static_cast<unsigned char>(*Mask)) !=
                            std::tolower(static_cast<unsigned char>(*Name)))
      return false;
  }
  return *Name == 0;
}

std::string Trimmed(const std::string& Text) {
  const size_t first = Text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  const size_t last = Text.find_last_not_of(" \t");
  return Text.substr(first, last - first + 1);
}

}  // namespace

int TUnZipper::FindEntry(const std::string& Name) const {
  const std::string wanted = Trimmed(Name);
  if (wanted.empty()) return -1;
  for (int i = 0; i < EntryCount(); ++i)
    if (FEntries[i].FileName == wanted || FEntries[i].Header.StoredName == wanted) return i;
  for (int i = 0; i < EntryCount(); ++i)
    if (MatchMask(wanted.c_str(), FEntries[i].FileName.c_str()) &&
        wanted.find_first_of("*?") == std::string::npos)
      return i;
  return -1;
}

bool TUnZipper::Wanted(int Index, bool Selection) const {
  const TZipEntry& e = FEntries[static_cast<size_t>(Index)];
  if (DoAll) return true;
  if (Selection) return e.Selected;
  if (FilesList.empty()) return true;
  for (const std::string& mask : FilesList)
    if (MatchMask(Trimmed(mask).c_str(), e.FileName.c_str()) ||
        MatchMask(Trimmed(mask).c_str(), e.Header.StoredName.c_str()))
      return true;
  return false;
}
