// TUnZipper: extracting entries into a folder or a stream.

#include <algorithm>

#include "DiskFull.h"
#include "FileAttributes.h"
#include "FileTimes.h"
#include "UnZipper.h"
#include "ZipCodec.h"
#include "ZipFiles.h"
#include "ZipHooks.h"

namespace {

// The compressed bytes of one entry, read across disks, never more than the
// header declares.
class TEntryInput : public TZipInput {
 public:
  TEntryInput(TZipSpanReader& Reader, uint64_t Size) : FReader(Reader), FLeft(Size) {}
  size_t Read(uint8_t* Buffer, size_t Count) override {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(Count, FLeft));
    if (n == 0) return 0;
    if (FReader.Read(Buffer, n) != n) ZipFail(ZipText::PrematureEnd);
    FLeft -= n;
    return n;
  }

 private:
  TZipSpanReader& FReader;
  uint64_t FLeft;
};

int Percent(uint64_t Done, uint64_t Total) {
  return Total == 0 ? 100 : static_cast<int>(Done * 100 / Total);
}

}  // namespace

int64_t TUnZipper::LocalDataOffset(TZipSpanReader& Reader, const TZipEntry& Entry) {
  uint8_t header[ZipLocalHeaderSize];
  Reader.ReadExact(header, sizeof header);
  TZipFieldReader fields(header, sizeof header);
  if (fields.U32() != ZipSig::Local) ZipFail(ZipText::NotValid);
  fields.Skip(22);
  const uint16_t nameLength = fields.U16();
  const uint16_t extraLength = fields.U16();
  Reader.Skip(int64_t(nameLength) + extraLength);
  return int64_t(Entry.Header.LocalOffset) + ZipLocalHeaderSize + nameLength + extraLength;
}

uint32_t TUnZipper::DecodeEntryTo(TZipDiskSet& Disks, int Index,
                                  const std::function<void(const uint8_t*, size_t)>& Sink,
                                  const std::function<void(uint64_t Done)>& Progress,
                                  uint8_t* Target) {
  const TZipEntry& entry = FEntries[static_cast<size_t>(Index)];
  const TZipCentralEntry& h = entry.Header;
  // A header beyond the end of its disk: the directory points nowhere.
  if (int64_t(h.LocalOffset) > Disks.Disk(h.DiskStart).GetSize()) ZipFail(ZipText::SeekError);
  TZipSpanReader reader(Disks, h.DiskStart, h.LocalOffset, FEnd.ThisDisk);
  const int64_t dataStart = LocalDataOffset(reader, entry);
  if (dataStart + int64_t(h.CompressedSize) > FEntryLimit[static_cast<size_t>(Index)])
    ZipFail(ZipText::NotValid);
  TEntryInput input(reader, h.CompressedSize);
  TZipOutput output(h.UncompressedSize, Target, [&](const uint8_t* Data, size_t Count) {
    Sink(Data, Count);
    if (Progress) Progress(Count);
  });
  DecodeEntry(h.Method, h.Flags, input, output);
  return output.Crc();
}

namespace {

// The stored folders and name, with every part that could climb out of
// DestDir dropped ("", ".", "..", drive prefixes).
std::string SafeRelativePath(const std::string& Stored) {
  std::string path, part;
  for (size_t i = 0; i <= Stored.size(); ++i) {
    if (i == Stored.size() || Stored[i] == '/' || Stored[i] == '\\') {
      if (!part.empty() && part != "." && part != ".." && part.find(':') == std::string::npos)
        path += (path.empty() ? "" : "/") + part;
      part.clear();
    } else {
      part += Stored[i];
    }
  }
  return path;
}

}  // namespace

std::string TUnZipper::DestPath(const std::string& Relative) const {
  return (FDestDir.empty() ? std::string(".") : FDestDir) + "/" + Relative;
}

std::string TUnZipper::TargetName(const TZipEntry& Entry) const {
  std::string relative = Entry.FileName;
  if (RecreateDirs) {
    const std::string path = SafeRelativePath(Entry.Header.StoredName);
    if (!path.empty() && LastNameOf(path) == Entry.FileName) relative = path;
  }
  return DestPath(relative);
}

void TUnZipper::Skipping(const std::string& FileName, const std::string& Reason) {
  if (OnSkippingFile) OnSkippingFile(FileName, Reason);
}

bool TUnZipper::MayReplace(const std::string& Target, int Index) {
  const TZipCentralEntry& h = FEntries[static_cast<size_t>(Index)].Header;
  const int32_t fileTime = FileAge(Target);
  switch (OverwriteMode) {
    case TUZOverwriteMode::Always:
      return true;
    case TUZOverwriteMode::Never:
      return false;
    case TUZOverwriteMode::ifNewer:
      return fileTime != -1 && h.DateTime() > static_cast<uint32_t>(fileTime);
    case TUZOverwriteMode::ifOlder:
      return fileTime != -1 && h.DateTime() < static_cast<uint32_t>(fileTime);
    case TUZOverwriteMode::Prompt:
      break;
  }
  if (OnPromptForOverwrite) {
    bool overwrite = false;
    OnPromptForOverwrite(Target, Index, overwrite);
    return overwrite;
  }
  return ZipMessageBox("Replace existing file " + Target + "?", "File Exists Alert",
                       TZipButtons::YesNo) == zmrYes;
}

bool TUnZipper::ExtractOne(TZipDiskSet& Disks, int Index) {
  const TZipEntry& entry = FEntries[static_cast<size_t>(Index)];
  const TZipCentralEntry& h = entry.Header;
  if (h.IsDirectory()) {
    // Folders are no files: with RecreateDirs they are made, never counted.
    const std::string folder = SafeRelativePath(h.StoredName);
    if (RecreateDirs && !folder.empty()) MakeFolders(DestPath(folder));
    return false;
  }
  if (entry.FileName.empty()) {
    Skipping(h.StoredName, "the entry has no usable file name");
    return false;
  }
  std::string target = TargetName(entry);
  bool skip = false;
  if (OnStartUnZip) OnStartUnZip(Index, target, skip);
  if (skip) return false;
  if (!IsSupportedMethod(h.Method)) {
    ZipMessageBox(ZipText::UnknownMethod, ZipText::ErrorCaption, TZipButtons::Ok);
    Skipping(target, ZipText::UnknownMethod);
    return false;
  }
  if (h.Flags & zfEncrypted) {
    if (OnBadPassword) OnBadPassword(target);
    Skipping(target, "the entry is encrypted");
    return false;
  }
  if (PathExists(target)) {
    if (!MayReplace(target, Index)) {
      Skipping(target, "the file exists");
      return false;
    }
    if (FileIsReadOnly(target)) {
      if (!ReplaceReadOnly || !FileSetReadOnly(target, false)) {
        Skipping(target, "the file is read-only");
        return false;
      }
    }
  }
  if (!MakeFolders(FolderOf(target))) {
    Skipping(target, "the folder cannot be created");
    return false;
  }
  TZipTempFile file(target);
  if (!file.IsOpen()) {
    Skipping(target, "the file cannot be created");
    return false;
  }
  uint64_t done = 0;
  int lastPercent = -1;
  const uint32_t crc = DecodeEntryTo(
      Disks, Index,
      [&](const uint8_t* Data, size_t Count) {
        if (!file.Write(Data, Count))
          throw EZipError(WriteErrorMessage(file.Error(), target, ZipText::CantWrite));
      },
      [&](uint64_t Count) {
        done += Count;
        const int percent = Percent(done, h.UncompressedSize);
        if (percent != lastPercent && OnFilePercentDone) OnFilePercentDone(percent);
        lastPercent = percent;
        ProcessMessages();
      });
  if (crc != h.Crc32) {
    file.Discard();
    if (OnBadCRC) OnBadCRC(target, crc, h.Crc32);
    return false;
  }
  // Dated before the rename, so the file under its name is complete with its date.
  FileSetDate(file.Name(), static_cast<int32_t>(h.DateTime()));
  if (!file.Commit()) throw EZipError(WriteErrorMessage(file.Error(), target, ZipText::CantWrite));
  if (RetainAttributes && h.IsReadOnly()) FileSetReadOnly(target, true);
  if (OnEndUnZip) OnEndUnZip(Index, target);
  return true;
}

std::unique_ptr<TZipDiskSet> TUnZipper::OpenForExtraction() {
  auto disks = OpenDisks();
  if (!FDirectoryRead) {
    ReadDirectoryFrom(*disks);
  } else {
    // The selection belongs to the directory read before: keep it and
    // take the archive file for the disk with the end record again.
    disks->SetCurrentNumber(FEnd.ThisDisk);
    disks->SetLastNumber(FEnd.ThisDisk);
  }
  return disks;
}

int TUnZipper::Extract(bool Selection) {
  StartOperation();
  auto disks = OpenForExtraction();
  std::vector<int> wanted;
  uint64_t total = 0;
  for (int i = 0; i < EntryCount(); ++i) {
    if (!Wanted(i, Selection)) continue;
    wanted.push_back(i);
    total += FEntries[static_cast<size_t>(i)].Header.UncompressedSize;
  }
  // Disks are read in order: entries sorted by where they start.
  std::stable_sort(wanted.begin(), wanted.end(), [this](int a, int b) {
    const TZipCentralEntry& x = FEntries[static_cast<size_t>(a)].Header;
    const TZipCentralEntry& y = FEntries[static_cast<size_t>(b)].Header;
    return x.DiskStart != y.DiskStart ? x.DiskStart < y.DiskStart : x.LocalOffset < y.LocalOffset;
  });
  int extracted = 0;
  uint64_t done = 0;
  for (int index : wanted) {
    if (ExtractOne(*disks, index)) ++extracted;
    done += FEntries[static_cast<size_t>(index)].Header.UncompressedSize;
    if (OnTotalPercentDone) OnTotalPercentDone(Percent(done, total));
    ProcessMessages();
  }
  return extracted;
}

int TUnZipper::ExtractSelected() {
  return Extract(true);
}

int TUnZipper::ExtractAll() {
  return Extract(false);
}

int TUnZipper::ExtractToStream(TStream* Stream, const std::string& EntryName) {
  if (!Stream || EntryName.find_first_not_of(" \t") == std::string::npos) return 0;
  auto disks = OpenDisks();
  ReadDirectoryFrom(*disks);
  const int index = FindEntry(EntryName);
  if (index < 0) return 0;
  const TZipCentralEntry& h = FEntries[static_cast<size_t>(index)].Header;
  if (!IsSupportedMethod(h.Method)) {
    ZipMessageBox(ZipText::UnknownMethod, ZipText::ErrorCaption, TZipButtons::Ok);
    return 0;
  }
  if (h.Flags & zfEncrypted) {
    if (OnBadPassword) OnBadPassword(EntryName);
    return 0;
  }
  // Decoded into memory first, so a damaged entry leaves the stream as it was.
  TMemoryStream decoded;
  const uint32_t crc = DecodeEntryTo(
      *disks, index,
      [&](const uint8_t* Data, size_t Count) {
        decoded.WriteBuffer(Data, static_cast<int64_t>(Count));
      },
      nullptr);
  if (crc != h.Crc32) {
    if (OnBadCRC) OnBadCRC(EntryName, crc, h.Crc32);
    return 0;
  }
  Stream->WriteBuffer(decoded.Memory(), decoded.GetSize());
  return 1;
}

bool TUnZipper::CanDecode(int Index) {
  if (!FDirectoryRead) ReadDirectory();
  const TZipEntry& entry = Entry(Index);
  const TZipCentralEntry& h = entry.Header;
  if (!IsSupportedMethod(h.Method)) {
    ZipMessageBox(ZipText::UnknownMethod, ZipText::ErrorCaption, TZipButtons::Ok);
    Skipping(entry.FileName, ZipText::UnknownMethod);
    return false;
  }
  if (h.Flags & zfEncrypted) {
    if (OnBadPassword) OnBadPassword(entry.FileName);
    Skipping(entry.FileName, "the entry is encrypted");
    return false;
  }
  return true;
}

bool TUnZipper::DecodeInto(int Index, uint8_t* Out,
                           const std::function<void(uint64_t Done)>& Arrived) {
  const TZipEntry& entry = Entry(Index);
  auto disks = OpenForExtraction();
  uint64_t done = 0;
  // The output counts against the declared size before it lands in Out, so
  // Out never takes more than that.
  const uint32_t crc = DecodeEntryTo(
      *disks, Index,
      [&](const uint8_t*, size_t Count) {
        done += Count;
        if (Arrived) Arrived(done);
      },
      nullptr, Out);
  if (crc == entry.Header.Crc32) return true;
  if (OnBadCRC) OnBadCRC(entry.FileName, crc, entry.Header.Crc32);
  return false;
}
