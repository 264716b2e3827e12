#pragma once
// TUnZipper reads a zip archive from a file or from an in-memory stream,
// lists its entries and extracts all or selected ones into a folder or a
// stream. Methods: stored, deflated, and the older shrunk, reduced and
// imploded. Archives spanned over removable disks or split into name.z01,
// name.z02, ..., name.zip are read across their disks.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Streams.h"
#include "ZipDisks.h"
#include "ZipErrors.h"
#include "ZipFormat.h"

enum class TUZOverwriteMode { Prompt, Always, Never, ifNewer, ifOlder };
enum TIncompleteZipMode { izAssumeMulti, izAssumeBad, izAssumeNotAZip };

// One entry after ReadDirectory.
struct TZipEntry {
  TZipCentralEntry Header;
  std::string FileName;  // the stored name without folders
  bool Selected = false;
};

class TUnZipper {
 public:
  TUnZipper() = default;
  virtual ~TUnZipper() = default;
  TUnZipper(const TUnZipper&) = delete;
  TUnZipper& operator=(const TUnZipper&) = delete;

  // Settings.
  void SetZipName(const std::string& Name);
  const std::string& ZipName() const { return FZipName; }
  // A trailing "/" or "\" is removed.
  void SetDestDir(const std::string& Dir);
  const std::string& DestDir() const { return FDestDir; }
  // Reads from Stream (owned by the caller) from now on; nullptr detaches it.
  void SetArchiveStream(TStream* Stream);
  TStream* ArchiveStream() const { return FArchiveStream; }

  TUZOverwriteMode OverwriteMode = TUZOverwriteMode::Prompt;
  bool DoAll = false;
  std::vector<std::string> FilesList;  // names or masks ("*", "?") to extract
  bool RecreateDirs = false;
  bool RetainAttributes = true;
  bool ReplaceReadOnly = false;
  bool DoProcessMessages = true;
  TIncompleteZipMode IncompleteZipMode = izAssumeMulti;

  // Events; one that is not set is skipped, except OnGetNextDisk, whose
  // default asks the user through the message hook.
  std::function<void(int Index, std::string& FileName, bool& Skip)> OnStartUnZip;
  std::function<void(int Percent)> OnFilePercentDone;
  std::function<void(int Percent)> OnTotalPercentDone;
  std::function<void(int DiskNumber, std::string& FileName)> OnGetNextDisk;
  std::function<void(const std::string& FileName, int Index, bool& Overwrite)> OnPromptForOverwrite;
  std::function<void(const std::string& FileName, const std::string& Reason)> OnSkippingFile;
  std::function<void(const std::string& FileName, uint32_t Computed, uint32_t Stored)> OnBadCRC;
  std::function<void(const std::string& FileName)> OnBadPassword;
  std::function<void(int Index, const std::string& FileName)> OnEndUnZip;
  std::function<void(TIncompleteZipMode& Mode)> OnInCompleteZip;

  // Operations.
  void ReadDirectory();
  int EntryCount() const { return static_cast<int>(FEntries.size()); }
  const std::string& EntryName(int Index) const;
  const TZipEntry& Entry(int Index) const;
  void SetEntrySelected(int Index, bool Selected);
  bool EntrySelected(int Index) const;
  int ExtractSelected();
  int ExtractAll();
  int ExtractToStream(TStream* Stream, const std::string& EntryName);
  // Entry Index decoded straight into memory, for callers that take the
  // entries one by one. CanDecode tells on the calling thread whether the
  // entry can be decoded at all (the unknown-method message and
  // OnSkippingFile say why not); it reads the directory if that has not
  // been read. DecodeInto then fills Out, which has room for the entry's
  // uncompressed size, and calls Arrived with the count of bytes there
  // after every block. It shows nothing and raises no event but OnBadCRC
  // (then it returns false), so it may run on a thread of its own while
  // nothing else uses this reader or its archive.
  bool CanDecode(int Index);
  bool DecodeInto(int Index, uint8_t* Out, const std::function<void(uint64_t Done)>& Arrived);
  // Asks the running operation (from an event or a pumped GUI event) to stop
  // at its next block; it then ends with "User Aborted Operation" and leaves
  // no partly written file.
  void Cancel() { FCancel = true; }

 protected:
  // Opens the archive's disks (the stream or ZipName) afresh.
  std::unique_ptr<TZipDiskSet> OpenDisks();
  void RequestDisk(int DiskNumber, std::string& FileName);
  // Lets pending GUI events run and ends the operation if it was cancelled.
  void ProcessMessages();
  void StartOperation() { FCancel = false; }
  // Reads the directory of the archive on Disks into FEntries.
  void ReadDirectoryFrom(TZipDiskSet& Disks);
  // Index of the entry whose name matches (blanks around Name ignored), or -1.
  int FindEntry(const std::string& Name) const;
  // Decodes entry Index from Disks into Sink, or into Target (room for the
  // entry's size) and then Sink; returns the CRC-32 of what came out.
  uint32_t DecodeEntryTo(TZipDiskSet& Disks, int Index,
                         const std::function<void(const uint8_t*, size_t)>& Sink,
                         const std::function<void(uint64_t Done)>& Progress,
                         uint8_t* Target = nullptr);

  // The disks with the directory read, read now when it was not before.
  std::unique_ptr<TZipDiskSet> OpenForExtraction();
  void Skipping(const std::string& FileName, const std::string& Reason);

  std::vector<TZipEntry> FEntries;
  TZipEndRecord FEnd;
  bool FDirectoryRead = false;
  bool FCancel = false;

 private:
  int Extract(bool Selection);
  bool Wanted(int Index, bool Selection) const;
  bool ExtractOne(TZipDiskSet& Disks, int Index);
  std::string TargetName(const TZipEntry& Entry) const;
  std::string DestPath(const std::string& Relative) const;
  bool MayReplace(const std::string& Target, int Index);
  void CheckEntryRanges();
  bool CanWalkDisks(TZipDiskSet& Disks);
  // Start of entry data on the local header's disk, after its header.
  int64_t LocalDataOffset(TZipSpanReader& Reader, const TZipEntry& Entry);

  std::string FZipName;
  std::string FDestDir;
  TStream* FArchiveStream = nullptr;
  // Per entry: the offset after which the next entry (or the directory) starts, on the same disk.
  std::vector<int64_t> FEntryLimit;
};
