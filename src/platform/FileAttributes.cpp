#include "FileAttributes.h"

#include <sys/stat.h>

#include "Paths.h"

bool FileIsReadOnly(const std::string& FileName) {
  struct stat st {};
  if (::stat(FileName.c_str(), &st) != 0) return false;
  return (st.st_mode & S_IWUSR) == 0;
}

bool FileSetReadOnly(const std::string& FileName, bool ReadOnly) {
  struct stat st {};
  if (::stat(FileName.c_str(), &st) != 0) return false;
  mode_t mode = st.st_mode & 07777;
  mode = ReadOnly ? (mode & ~(S_IWUSR | S_IWGRP | S_IWOTH)) : (mode | S_IWUSR);
  return ::chmod(FileName.c_str(), mode) == 0;
}

bool FileIsHidden(const std::string& FileName) {
  std::string p = ExcludeTrailingPathDelimiter(FileName);
  std::string::size_type slash = p.rfind('/');
  std::string name = slash == std::string::npos ? p : p.substr(slash + 1);
  return name.size() > 1 && name[0] == '.' && name != "..";
}

bool FileExists(const std::string& FileName) {
  struct stat st {};
  return ::stat(FileName.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& Path) {
  struct stat st {};
  return ::stat(Path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
