#include "ZipWriteTarget.h"

#include <cstring>

#include "ZipErrors.h"

TZipFileTarget::TZipFileTarget(const std::string& ZipName) : FFile(ZipName) {
  if (!FFile.IsOpen()) throw EZipError("Cannot create file " + ZipName);
  FBuffer.reserve(1 << 20);
}

void TZipFileTarget::FlushBuffer() {
  if (!FFile.Write(FBuffer.data(), FBuffer.size())) ZipFail(ZipText::NoRoom);
  FBuffer.clear();
}

void TZipFileTarget::Write(const uint8_t* Data, size_t Count) {
  FOffset += static_cast<int64_t>(Count);
  if (FBuffer.size() + Count > FBuffer.capacity()) {
    FlushBuffer();
    if (Count >= FBuffer.capacity()) {
      if (!FFile.Write(Data, Count)) ZipFail(ZipText::NoRoom);
      return;
    }
  }
  FBuffer.insert(FBuffer.end(), Data, Data + Count);
}

void TZipFileTarget::Finish() {
  FlushBuffer();
  if (!FFile.Commit()) ZipFail(ZipText::NoRoom);
}
