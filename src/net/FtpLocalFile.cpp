#include "FtpLocalFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "WriteAll.h"

TFtpLocalFile::~TFtpLocalFile() {
  if (FHandle >= 0) ::close(FHandle);
}

bool TFtpLocalFile::Fail() {
  FError = errno;
  if (FHandle >= 0) ::close(FHandle);
  FHandle = -1;
  return false;
}

bool TFtpLocalFile::Create(const std::string& FileName) {
  FFileName = FileName;
  FHandle = ::open(FileName.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  struct stat st {};
  if (FHandle < 0 || ::fstat(FHandle, &st) != 0) return Fail();
  // Only a file with something in it is emptied. Emptying an empty one (as
  // O_TRUNC does) makes some file systems write the file out when it is
  // closed, and a file made ahead for the download is empty.
  if (S_ISREG(st.st_mode) && st.st_size != 0 && ::ftruncate(FHandle, 0) != 0) return Fail();
  return true;
}

bool TFtpLocalFile::OpenAt(const std::string& FileName, int64_t Offset) {
  FFileName = FileName;
  FHandle = ::open(FileName.c_str(), O_WRONLY | O_CLOEXEC);
  struct stat st {};
  if (FHandle < 0 || ::fstat(FHandle, &st) != 0) return Fail();
  if (!S_ISREG(st.st_mode) || st.st_size < Offset) {
    errno = EINVAL;
    return Fail();
  }
  if (::ftruncate(FHandle, Offset) != 0 || ::lseek(FHandle, Offset, SEEK_SET) != Offset)
    return Fail();
  return true;
}

bool TFtpLocalFile::Write(const char* Data, size_t Count) {
  FError = WriteAll(FHandle, Data, Count);
  return FError == 0;
}

bool TFtpLocalFile::Close() {
  if (FHandle < 0) return true;
  const int rc = ::close(FHandle);
  FHandle = -1;
  if (rc != 0) FError = errno;
  return rc == 0;
}
