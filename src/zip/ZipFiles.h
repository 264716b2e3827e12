#pragma once
// The file-system side of extraction and packing: packed dates of files,
// the read-only attribute, temporary files beside a target.

#include <cstdint>
#include <ctime>
#include <string>

// Packed local date-time (date in the high word, time in the low word,
// seconds halved); the packed order is the order in time.
uint32_t UnixTimeToPacked(time_t Time);
time_t PackedToUnixTime(uint32_t Packed);
// Packed modification time of a file; false when it cannot be read.
bool GetFilePackedTime(const std::string& FileName, uint32_t& Packed);
void SetFilePackedTime(const std::string& FileName, uint32_t Packed);

bool PathExists(const std::string& Name);
bool PathIsReadOnly(const std::string& Name);
// Read-only takes every write bit; writable gives the owner the write bit.
bool PathSetReadOnly(const std::string& Name, bool ReadOnly);
// Creates Dir and the folders above it; false when that fails.
bool MakeFolders(const std::string& Dir);
// The folder part of a path ("" when there is none) and the last name.
std::string FolderOf(const std::string& Path);
std::string LastNameOf(const std::string& Path);

// A new file beside Target that replaces Target on Commit and vanishes
// otherwise, so a failed write never costs the old file.
class TZipTempFile {
 public:
  explicit TZipTempFile(const std::string& Target);
  ~TZipTempFile();
  TZipTempFile(const TZipTempFile&) = delete;
  TZipTempFile& operator=(const TZipTempFile&) = delete;

  bool IsOpen() const { return FHandle >= 0; }
  // False when the bytes could not all be written.
  bool Write(const uint8_t* Data, size_t Count);
  // Closes, sets the usual permissions and renames over the target.
  bool Commit();
  void Discard();
  const std::string& Name() const { return FName; }
  int Handle() const { return FHandle; }

 private:
  std::string FTarget;
  std::string FName;
  int FHandle = -1;
};
