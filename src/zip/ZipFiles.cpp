#include "ZipFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "TemporaryFiles.h"
#include "WriteAll.h"

bool PathExists(const std::string& Name) {
  struct stat st {};
  return ::lstat(Name.c_str(), &st) == 0;
}

bool MakeFolders(const std::string& Dir) {
  if (Dir.empty()) return true;
  struct stat st {};
  if (::stat(Dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  const std::string parent = FolderOf(Dir);
  if (!parent.empty() && parent != Dir && !MakeFolders(parent)) return false;
  return ::mkdir(Dir.c_str(), 0777) == 0 || errno == EEXIST;
}

std::string FolderOf(const std::string& Path) {
  const size_t slash = Path.find_last_of('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? "/" : Path.substr(0, slash);
}

std::string LastNameOf(const std::string& Path) {
  const size_t slash = Path.find_last_of('/');
  return slash == std::string::npos ? Path : Path.substr(slash + 1);
}

// Created with mode 0666 so that the umask gives the file its usual rights.
TZipTempFile::TZipTempFile(const std::string& Target) : FTarget(Target) {
  FHandle = CreateTemporaryBeside(Target, FName, 0666);
  if (FHandle < 0) FError = errno;
}

TZipTempFile::~TZipTempFile() {
  Discard();
}

bool TZipTempFile::Write(const uint8_t* Data, size_t Count) {
  const int error = WriteAll(FHandle, Data, Count);
  if (error != 0) FError = error;
  return error == 0;
}

bool TZipTempFile::Commit() {
  if (FHandle < 0) return false;
  const bool closed = ::close(FHandle) == 0;
  if (!closed) FError = errno;
  FHandle = -1;
  if (!closed || ::rename(FName.c_str(), FTarget.c_str()) != 0) {
    if (closed) FError = errno;
    ::unlink(FName.c_str());
    FName.clear();
    return false;
  }
  FName.clear();
  return true;
}

void TZipTempFile::Discard() {
  if (FHandle >= 0) ::close(FHandle);
  FHandle = -1;
  if (!FName.empty()) ::unlink(FName.c_str());
  FName.clear();
}
