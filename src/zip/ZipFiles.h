#pragma once
// The file-system side of extraction and packing: folders and temporary
// files beside a target. File dates and attributes come from the platform.

#include <cstdint>
#include <string>

// Anything of that name, also a folder or a dangling link.
bool PathExists(const std::string& Name);
// Creates Dir and the folders above it; false when that fails.
bool MakeFolders(const std::string& Dir);
// The folder part of a path ("" when there is none) and the last name.
std::string FolderOf(const std::string& Path);
std::string LastNameOf(const std::string& Path);

// A new file beside Target (of the program's temporary names, see
// TemporaryFiles.h) that replaces Target on Commit and vanishes otherwise,
// so a failed write never costs the old file.
class TZipTempFile {
 public:
  explicit TZipTempFile(const std::string& Target);
  ~TZipTempFile();
  TZipTempFile(const TZipTempFile&) = delete;
  TZipTempFile& operator=(const TZipTempFile&) = delete;

  bool IsOpen() const { return FHandle >= 0; }
  // False when the bytes could not all be written.
  bool Write(const uint8_t* Data, size_t Count);
  // Closes and renames over the target.
  bool Commit();
  void Discard();
  const std::string& Name() const { return FName; }
  const std::string& Target() const { return FTarget; }
  int Handle() const { return FHandle; }
  // The errno of the last failure (creating, writing, closing, renaming).
  int Error() const { return FError; }

 private:
  std::string FTarget;
  std::string FName;
  int FHandle = -1;
  int FError = 0;
};
