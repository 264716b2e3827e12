#include "ZipWriteTarget.h"

#include <cstring>

#include "DiskFull.h"
#include "ZipErrors.h"

TZipFileTarget::TZipFileTarget(const std::string& ZipName) : FFile(ZipName) {
  if (!FFile.IsOpen())
    throw EZipError(WriteErrorMessage(FFile.Error(), ZipName, "Cannot create file " + ZipName));
  FBuffer.reserve(1 << 20);
}

void TZipFileTarget::Fail() const {
  throw EZipError(WriteErrorMessage(FFile.Error(), FFile.Target(), ZipText::NoRoom));
}

void TZipFileTarget::FlushBuffer() {
  if (!FFile.Write(FBuffer.data(), FBuffer.size())) Fail();
  FBuffer.clear();
}

void TZipFileTarget::Write(const uint8_t* Data, size_t Count) {
  FOffset += static_cast<int64_t>(Count);
  if (FBuffer.size() + Count > FBuffer.capacity()) {
    FlushBuffer();
    if (Count >= FBuffer.capacity()) {
      if (!FFile.Write(Data, Count)) Fail();
      return;
    }
  }
  FBuffer.insert(FBuffer.end(), Data, Data + Count);
}

void TZipFileTarget::Finish() {
  FlushBuffer();
  if (!FFile.Commit()) Fail();
}
