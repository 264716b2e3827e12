// TZipper: creating archives and storing streams as entries.

#include "Zipper.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <memory>

#include "FileAttributes.h"
#include "FileTimes.h"
#include "QvFileIO.h"
#include "TextUtils.h"
#include "ZipFiles.h"
#include "ZipPack.h"
#include "ZipSpanTarget.h"
#include "ZipWriteTarget.h"

namespace {

// DOS attribute bits of the external attributes.
constexpr uint32_t faReadOnly = 0x01;
constexpr uint32_t faArchive = 0x20;
// Made by: MS-DOS file system, format version 2.0.
constexpr uint16_t MadeByFat20 = 20;

bool IsFolder(const std::string& Path) {
  struct stat st {};
  return ::stat(Path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

uint64_t FileSizeOf(const std::string& Path) {
  struct stat st {};
  return ::stat(Path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

void WriteRecord(TZipWriteTarget& Target, const std::vector<uint8_t>& Record) {
  Target.EnsureRoom(Record.size());
  Target.Write(Record.data(), Record.size());
}

}  // namespace

TZipCentralEntry TZipper::NewHeader(const std::string& StoredName, uint32_t DateTime,
                                    bool ReadOnly) const {
  TZipCentralEntry h;
  h.VersionMadeBy = MadeByFat20;
  h.StoredName = StoredName;
  h.ModDate = static_cast<uint16_t>(DateTime >> 16);
  h.ModTime = static_cast<uint16_t>(DateTime & 0xFFFF);
  h.ExternalAttr = faArchive | (ReadOnly ? faReadOnly : 0);
  return h;
}

void TZipper::AddFile(std::vector<TNewItem>& Items, const std::string& Path,
                      const std::string& Base) {
  if (IsFolder(Path)) {
    if (!Recurse) return;
    DIR* dir = ::opendir(Path.c_str());
    if (!dir) return;
    std::vector<std::string> names;
    while (dirent* d = ::readdir(dir))
      if (std::string(d->d_name) != "." && std::string(d->d_name) != "..")
        names.push_back(d->d_name);
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) AddFile(Items, Path + "/" + name, Base);
    return;
  }
  std::string stored = LastNameOf(Path);
  if (StorePaths) {
    stored = Path.compare(0, Base.size(), Base) == 0 ? Path.substr(Base.size()) : Path;
    stored.erase(0, stored.find_first_not_of('/'));
  }
  for (const TNewItem& item : Items)
    if (SameText(item.Header.StoredName, stored)) {
      Skipping(Path, "an entry of that name is already packed");
      return;
    }
  const int32_t date = FileAge(Path);
  if (date == -1) {
    Skipping(Path, "the file cannot be read");
    return;
  }
  TNewItem item;
  item.Path = Path;
  item.Header = NewHeader(stored, static_cast<uint32_t>(date), FileIsReadOnly(Path));
  Items.push_back(std::move(item));
}

std::vector<TZipper::TNewItem> TZipper::CollectFiles() {
  std::vector<TNewItem> items;
  for (const std::string& path : FilesList) {
    std::string base = FolderOf(path);
    if (!base.empty() && base.back() != '/') base += '/';
    AddFile(items, path, base);
  }
  return items;
}

std::vector<int> TZipper::KeptEntries(const std::vector<TNewItem>& Items) {
  std::vector<int> kept;
  if (ArchiveStream() == nullptr && !PathExists(ZipName())) {
    FEntries.clear();
    FDirectoryRead = false;
    return kept;
  }
  ReadDirectory();
  for (int i = 0; i < EntryCount(); ++i) {
    const bool replaced = std::any_of(Items.begin(), Items.end(), [&](const TNewItem& item) {
      return SameText(item.Header.StoredName, FEntries[i].Header.StoredName);
    });
    if (!replaced) kept.push_back(i);
  }
  return kept;
}

void TZipper::CopyEntry(TZipDiskSet& Disks, int Index, TZipWriteTarget& Target,
                        std::vector<TZipCentralEntry>& Central) {
  TZipCentralEntry h = FEntries[static_cast<size_t>(Index)].Header;
  TZipSpanReader reader(Disks, h.DiskStart, h.LocalOffset, FEnd.ThisDisk);
  uint8_t local[ZipLocalHeaderSize];
  reader.ReadExact(local, sizeof local);
  TZipFieldReader fields(local, sizeof local);
  if (fields.U32() != ZipSig::Local) ZipFail(ZipText::NotValid);
  fields.Skip(22);
  const uint16_t nameLength = fields.U16();
  const uint16_t extraLength = fields.U16();
  reader.Skip(int64_t(nameLength) + extraLength);
  // Sizes and CRC go into the new local header; a data descriptor is not needed.
  h.Flags &= static_cast<uint16_t>(~zfDataDescriptor);
  const std::vector<uint8_t> header = BuildLocalHeader(h);
  Target.EnsureRoom(1);  // headers may run over into the next disk
  h.DiskStart = static_cast<uint16_t>(Target.Disk());
  h.LocalOffset = static_cast<uint32_t>(Target.Offset());
  Target.Write(header.data(), header.size());
  std::vector<uint8_t> block(65536);
  for (uint64_t left = h.CompressedSize; left > 0;) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(left, block.size()));
    reader.ReadExact(block.data(), n);
    Target.Write(block.data(), n);
    left -= n;
  }
  Central.push_back(std::move(h));
}

int TZipper::WriteArchive(TZipWriteTarget& Target, const std::vector<int>& Kept,
                          std::vector<TNewItem>& Items) {
  StartOperation();
  std::vector<TZipCentralEntry> central;
  if (!Kept.empty()) {
    auto disks = OpenForExtraction();
    for (int index : Kept) CopyEntry(*disks, index, Target, central);
  }
  uint64_t total = 0, done = 0;
  for (const TNewItem& item : Items)
    total += item.Stream ? static_cast<uint64_t>(item.Stream->GetSize()) : FileSizeOf(item.Path);
  int stored = 0;
  TZipPacker packer(PackLevel);
  for (TNewItem& item : Items) {
    bool skip = false;
    if (OnStartZip)
      OnStartZip(item.Path.empty() ? item.Header.StoredName : item.Path, item.Header, skip);
    if (skip) continue;
    std::unique_ptr<TZipPackSource> source;
    if (item.Stream)
      source = std::make_unique<TZipStreamSource>(*item.Stream);
    else
      source = std::make_unique<TZipFileSource>(item.Path);
    const uint64_t size = source->Size();
    int lastPercent = -1;
    const std::vector<uint8_t> data = packer.Pack(*source, item.Header, [&](uint64_t Done) {
      const int percent = size == 0 ? 100 : static_cast<int>(std::min(Done, size) * 100 / size);
      if (percent != lastPercent && OnFilePercentDone) OnFilePercentDone(percent);
      lastPercent = percent;
      ProcessMessages();
    });
    const std::vector<uint8_t> header = BuildLocalHeader(item.Header);
    Target.EnsureRoom(1);  // headers may run over into the next disk
    item.Header.DiskStart = static_cast<uint16_t>(Target.Disk());
    item.Header.LocalOffset = static_cast<uint32_t>(Target.Offset());
    Target.Write(header.data(), header.size());
    Target.Write(data.data(), data.size());
    central.push_back(item.Header);
    ++stored;
    done += size;
    if (OnTotalPercentDone)
      OnTotalPercentDone(total == 0 ? 100 : static_cast<int>(done * 100 / std::max(total, done)));
    ProcessMessages();
  }
  if (central.size() > 0xFFFE) throw EZipError("Too many entries for a zip archive");

  TZipEndRecord end;
  int64_t centralStart = -1;
  int entriesOnLastDisk = 0;
  for (const TZipCentralEntry& h : central) {
    const std::vector<uint8_t> record = BuildCentralHeader(h);
    Target.EnsureRoom(1);
    if (centralStart < 0) {
      end.CentralDisk = static_cast<uint16_t>(Target.Disk());
      centralStart = Target.Offset();
    }
    if (Target.Disk() != end.ThisDisk) entriesOnLastDisk = 0;
    end.ThisDisk = static_cast<uint16_t>(Target.Disk());
    ++entriesOnLastDisk;
    Target.Write(record.data(), record.size());
    end.CentralSize += static_cast<uint32_t>(record.size());
  }
  Target.EnsureRoom(ZipEndRecordSize);
  if (centralStart < 0) {
    end.CentralDisk = static_cast<uint16_t>(Target.Disk());
    centralStart = Target.Offset();
  }
  if (Target.Disk() != end.ThisDisk) entriesOnLastDisk = 0;
  end.ThisDisk = static_cast<uint16_t>(Target.Disk());
  end.CentralOffset = static_cast<uint32_t>(centralStart);
  end.EntriesOnDisk = static_cast<uint16_t>(entriesOnLastDisk);
  end.TotalEntries = static_cast<uint16_t>(central.size());
  WriteRecord(Target, BuildEndRecord(end));
  Target.Finish();
  FDirectoryRead = false;
  return stored;
}

int TZipper::CreateArchive() {
  if (ZipName().empty()) ZipFail(ZipText::NotValid);
  std::vector<TNewItem> items = CollectFiles();
  if (MultiZipInfo.MultiMode == mmSpan) {
    TZipSpanSettings settings;
    settings.WriteDiskLabels = MultiZipInfo.WriteDiskLabels;
    settings.CheckDiskLabels = MultiZipInfo.CheckDiskLabels;
    settings.FirstDiskReserve = FirstDiskReserve(static_cast<int>(items.size()));
    TZipSpanTarget target(ZipName(), settings,
                          [this](int Disk, std::string& Name) { RequestDisk(Disk, Name); });
    return WriteArchive(target, {}, items);
  }
  std::vector<int> kept;
  if (ZipAction != zaReplace) kept = KeptEntries(items);
  TZipFileTarget target(ZipName());
  return WriteArchive(target, kept, items);
}

int TZipper::StoreFromStream(TStream* Stream, const std::string& EntryName) {
  const size_t first = EntryName.find_first_not_of(" \t");
  if (!Stream || first == std::string::npos) return 0;
  const std::string name = EntryName.substr(first, EntryName.find_last_not_of(" \t") - first + 1);
  if (ZipName().empty()) ZipFail(ZipText::NotValid);
  std::vector<TNewItem> items(1);
  items[0].Stream = Stream;
  items[0].Header =
      NewHeader(name, static_cast<uint32_t>(UnixTimeToFileDate(time(nullptr))), false);
  const std::vector<int> kept = KeptEntries(items);
  TZipFileTarget target(ZipName());
  return WriteArchive(target, kept, items);
}

int64_t TZipper::FirstDiskReserve(int FileCount) const {
  if (!MultiZipInfo.SaveZipInfoOnFirstDisk) return 0;
  return MultiZipInfo.SaveOnFirstDisk + int64_t(FileCount) * (StorePaths ? 83 : 58) + 2070 +
         ExistingCentralSize();
}

int64_t TZipper::ExistingCentralSize() const {
  if (!PathExists(ZipName())) return 0;
  try {
    TBufferedFileStream file(ZipName(), TBufferedFileStream::MaxBufferSize, fmOpenRead);
    TZipEndRecord end;
    return FindEndRecord(file, end) >= 0 ? int64_t(end.CentralSize) : 0;
  } catch (const EStreamError&) {
    return 0;
  }
}
