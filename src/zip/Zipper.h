#pragma once
// TZipper writes zip archives: from a list of files (CreateArchive), or one
// entry from a stream into an existing archive (StoreFromStream), and over
// several removable disks when MultiZipInfo.MultiMode is mmSpan. It reads
// like TUnZipper, from which it derives.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "UnZipper.h"

enum TZipAction { zaUpdate, zaReplace, zaFreshen };
enum TMultiMode { mmNone, mmSpan, mmBlocks };

struct TMultiZipInfo {
  TMultiMode MultiMode = mmNone;
  bool SaveZipInfoOnFirstDisk = false;
  int64_t SaveOnFirstDisk = 0;  // bytes kept free on the first disk
  bool WriteDiskLabels = true;
  bool CheckDiskLabels = true;
  int64_t BlockSize = 1457600;  // not used in mmSpan mode
  int64_t FirstBlockSize = 1457600;
};

class TZipWriteTarget;

class TZipper : public TUnZipper {
 public:
  int PackLevel = 6;
  bool StorePaths = false;
  bool Recurse = false;
  TZipAction ZipAction = zaUpdate;
  TMultiZipInfo MultiZipInfo;
  // FilesList (inherited) holds the full path of every file to pack.

  std::function<void(const std::string& FileName, TZipCentralEntry& Header, bool& Skip)> OnStartZip;

  // Packs every file of FilesList into ZipName; returns the number stored.
  int CreateArchive();
  // Stores the whole of Stream as entry EntryName of ZipName, replacing an
  // entry of that name and keeping the others; 0 when nothing was given.
  int StoreFromStream(TStream* Stream, const std::string& EntryName);

  // Room kept on the first disk for a copy of the directory, by the settings.
  int64_t FirstDiskReserve(int FileCount) const;

 protected:
  int64_t ExistingCentralSize() const;

 private:
  struct TNewItem {
    std::string Path;           // file to pack, or empty for the stream
    TStream* Stream = nullptr;  // stream to pack
    TZipCentralEntry Header;
  };

  std::vector<TNewItem> CollectFiles();
  void AddFile(std::vector<TNewItem>& Items, const std::string& Path, const std::string& Base);
  TZipCentralEntry NewHeader(const std::string& StoredName, uint32_t DateTime, bool ReadOnly) const;
  // Entries of the existing archive ZipName that none of Items replaces.
  std::vector<int> KeptEntries(const std::vector<TNewItem>& Items);
  // Writes kept and new entries and the directory; returns the new entries stored.
  int WriteArchive(TZipWriteTarget& Target, const std::vector<int>& Kept,
                   std::vector<TNewItem>& Items);
  void CopyEntry(TZipDiskSet& Disks, int Index, TZipWriteTarget& Target,
                 std::vector<TZipCentralEntry>& Central);
};
