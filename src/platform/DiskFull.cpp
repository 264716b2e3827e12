#include "DiskFull.h"

#include <cerrno>

bool IsDiskFullError(int Errno) {
  return Errno == ENOSPC || Errno == EFBIG || Errno == EDQUOT;
}

std::string DiskFullMessage(const std::string& FileName) {
  return "The disk is full: \"" + FileName + "\" could not be written.";
}

std::string WriteErrorMessage(int Errno, const std::string& FileName,
                              const std::string& Otherwise) {
  return IsDiskFullError(Errno) ? DiskFullMessage(FileName) : Otherwise;
}
