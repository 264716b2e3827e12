#include "QvFileIO.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "CodePage.h"
#include "DiskFull.h"

namespace {

std::string AbsoluteName(const std::string& FileName) {
  std::error_code ec;
  const auto abs = std::filesystem::absolute(FileName, ec);
  return ec ? FileName : abs.lexically_normal().string();
}

int OpenFlags(uint32_t Mode) {
  switch (Mode & 0x3) {
    case fmOpenWrite:
      return O_WRONLY;
    case fmOpenReadWrite:
      return O_RDWR;
    default:
      return O_RDONLY;
  }
}

int32_t RoundBufferSize(int32_t Requested) {
  if (Requested >= TBufferedFileStream::MaxBufferSize) return TBufferedFileStream::MaxBufferSize;
  if (Requested < 1) Requested = 1;
  return (Requested + 1023) / 1024 * 1024;
}

}  // namespace

TBufferedFileStream::TBufferedFileStream(const std::string& FileName, int32_t BufferSize,
                                         uint32_t Mode) {
  if (Mode == fmCreate) {
    FHandle = ::open(FileName.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (FHandle < 0) {
      const int error = errno;
      throw EStreamError(WriteErrorMessage(error, FileName, "Cannot create file " + FileName));
    }
  } else {
    FHandle = ::open(FileName.c_str(), OpenFlags(Mode) | O_CLOEXEC);
    if (FHandle < 0) throw EStreamError("Cannot open file " + FileName);
    FReadOnly = OpenFlags(Mode) == O_RDONLY;
  }
  FFileName = AbsoluteName(FileName);
  FBufferSize = RoundBufferSize(BufferSize);
  FBuffer = std::make_unique<uint8_t[]>(static_cast<size_t>(FBufferSize));
  const off_t end = ::lseek(FHandle, 0, SEEK_END);
  if (end < 0) {
    ::close(FHandle);
    FHandle = -1;
    throw EStreamError("Seek EOF failed in " + FFileName);
  }
  FFileSize = end;
}

TBufferedFileStream::~TBufferedFileStream() {
  try {
    Close();
  } catch (const Exception&) {
    // Nothing can be reported from here; Close() is the checked way.
  }
}

void TBufferedFileStream::Close() {
  if (FHandle < 0) return;
  try {
    if (FBuffer) Flush();
  } catch (...) {
    ::close(FHandle);
    FHandle = -1;
    throw;
  }
  ::close(FHandle);
  FHandle = -1;
}

void TBufferedFileStream::FillBuffer() {
  if (::lseek(FHandle, FBufferFilePos, SEEK_SET) < 0)
    throw EStreamError("Seek on reading failed in " + FFileName);
  ssize_t got;
  do {
    got = ::read(FHandle, FBuffer.get(), static_cast<size_t>(FBufferSize));
  } while (got < 0 && errno == EINTR);
  if (got <= 0) throw EStreamError("Read failed in " + FFileName);
  FBufferValid = static_cast<int32_t>(got);
}

void TBufferedFileStream::ReadBlocks(uint8_t* Out, int64_t Count) {
  if (::lseek(FHandle, FBufferFilePos, SEEK_SET) < 0)
    throw EStreamError("Seek on reading failed in " + FFileName);
  int64_t done = 0;
  while (done < Count) {
    const ssize_t got = ::read(FHandle, Out + done, static_cast<size_t>(Count - done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) throw EStreamError("Read failed in " + FFileName);
    done += got;
  }
}

void TBufferedFileStream::WriteBufferToFile() {
  if (::lseek(FHandle, FBufferFilePos, SEEK_SET) < 0)
    throw EStreamError("Seek on writing failed in " + FFileName);
  size_t done = 0;
  const size_t want = static_cast<size_t>(FBufferValid);
  while (done < want) {
    const ssize_t n = ::write(FHandle, FBuffer.get() + done, want - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int error = n < 0 ? errno : 0;
      throw EStreamError(WriteErrorMessage(error, FFileName, "Write failed in " + FFileName));
    }
    done += static_cast<size_t>(n);
  }
  FSynced = false;
  if (FFlushAfterWrite && ::fsync(FHandle) != 0) {
    const int error = errno;
    throw EStreamError(
        WriteErrorMessage(error, FFileName, "Flush after writing failed in " + FFileName));
  }
}

void TBufferedFileStream::FlushFile() {
  // A handle opened for reading has nothing of its own to flush; asking the
  // system anyway would write out what another writer left dirty.
  if (!FReadOnly && !FSynced) (void)::fsync(FHandle);
}

bool TBufferedFileStream::SyncToDisk() {
  if (FDirty) {
    WriteBufferToFile();
    FDirty = false;
  }
  if (::fsync(FHandle) != 0) return false;
  FSynced = true;
  return true;
}

// Leaves the current block for the next one. A dirty block is stored first so
// that no written byte is lost when a read runs off the end of the block.
void TBufferedFileStream::MoveToNextBlock() {
  if (FDirty) {
    WriteBufferToFile();
    FDirty = false;
  }
  FBufferFilePos += FBufferSize;
  FBufferPos = 0;
  FBufferValid = 0;
}

int64_t TBufferedFileStream::Read(void* Buffer, int64_t Count) {
  if (Count <= 0) return 0;
  if (StreamPosition() + Count > FFileSize)
    throw EStreamError("Read beyond end of file in " + FFileName);
  if (FBufferValid == 0) FillBuffer();
  auto* out = static_cast<uint8_t*>(Buffer);
  int64_t left = Count;
  int32_t part = static_cast<int32_t>(std::min<int64_t>(left, FBufferValid - FBufferPos));
  if (part < 0) part = 0;
  std::memcpy(out, FBuffer.get() + FBufferPos, static_cast<size_t>(part));
  left -= part;
  out += part;
  while (left > 0) {
    MoveToNextBlock();
    if (left >= FBufferSize) {
      // Whole blocks go from the file straight to the caller: the buffer
      // would only pass them on.
      const int64_t whole = left / FBufferSize * FBufferSize;
      ReadBlocks(out, whole);
      FBufferFilePos += whole;
      left -= whole;
      out += whole;
      part = 0;
      if (left == 0) break;
    }
    FillBuffer();
    part = static_cast<int32_t>(std::min<int64_t>(left, FBufferValid));
    std::memcpy(out, FBuffer.get(), static_cast<size_t>(part));
    left -= part;
    out += part;
  }
  FBufferPos += part;
  if (FBufferPos >= FBufferSize) MoveToNextBlock();
  return Count;
}

int64_t TBufferedFileStream::Write(const void* Buffer, int64_t Count) {
  if (Count <= 0) return 0;
  if (FBufferValid == 0 && FBufferFilePos < FFileSize) FillBuffer();
  const auto* in = static_cast<const uint8_t*>(Buffer);
  int64_t left = Count;
  int32_t part = static_cast<int32_t>(std::min<int64_t>(left, FBufferSize - FBufferPos));
  std::memcpy(FBuffer.get() + FBufferPos, in, static_cast<size_t>(part));
  FDirty = true;
  left -= part;
  in += part;
  while (left > 0) {
    FBufferValid = FBufferSize;
    WriteBufferToFile();
    FBufferFilePos += FBufferSize;
    FBufferPos = 0;
    FBufferValid = 0;
    if (FBufferFilePos < FFileSize) FillBuffer();
    part = static_cast<int32_t>(std::min<int64_t>(left, FBufferSize));
    std::memcpy(FBuffer.get(), in, static_cast<size_t>(part));
    left -= part;
    in += part;
  }
  FBufferPos += part;
  if (FBufferValid < FBufferPos) FBufferValid = FBufferPos;
  FFileSize = std::max(FFileSize, FBufferFilePos + FBufferValid);
  if (FBufferPos >= FBufferSize) MoveToNextBlock();
  return Count;
}

int64_t TBufferedFileStream::Seek(int64_t Offset, int Origin) {
  int64_t pos;
  switch (Origin) {
    case soFromBeginning:
      pos = Offset;
      break;
    case soFromCurrent:
      pos = Offset + StreamPosition();
      break;
    case soFromEnd:
      pos = Offset + FFileSize;
      break;
    default:
      throw EStreamError("TBufferedFileStream.Seek: Invalid origin.");
  }
  if (pos < 0 || pos > FFileSize) throw EStreamError("Invalid new position in " + FFileName);
  const int64_t blockStart = pos - pos % FBufferSize;
  if (blockStart != FBufferFilePos) {
    if (FDirty) {
      WriteBufferToFile();
      FDirty = false;
    }
    FBufferFilePos = blockStart;
    FBufferValid = 0;
  }
  FBufferPos = static_cast<int32_t>(pos - blockStart);
  return pos;
}

void TBufferedFileStream::SetSize(int64_t NewSize) {
  // Pending bytes go out first so that the truncation is not undone later
  // by a buffer that still holds bytes past the new end.
  if (FDirty) {
    WriteBufferToFile();
    FDirty = false;
  }
  FBufferValid = 0;
  FFileSize = NewSize;
  if (StreamPosition() > FFileSize) Seek(0, soFromEnd);
  if (::lseek(FHandle, NewSize, SEEK_SET) < 0)
    throw EStreamError("TBufferedFileStream.SetSize: Seek failed in " + FFileName);
  FSynced = false;
  if (::ftruncate(FHandle, NewSize) != 0) {
    const int error = errno;
    throw EStreamError(WriteErrorMessage(
        error, FFileName, "TBufferedFileStream.SetSize: Set end of file failed in " + FFileName));
  }
}

void TBufferedFileStream::Flush() {
  if (FDirty) {
    WriteBufferToFile();
    FDirty = false;
  }
  FlushFile();
}

void TBufferedFileStream::ReadString(std::string& Text) {
  const int32_t len = ReadInt32();
  Text.clear();
  if (len <= 0) return;
  std::string raw(static_cast<size_t>(len), '\0');
  ReadBuffer(raw.data(), len);
  Text = AnsiToUtf8(raw);
}

TAsciiFile::TAsciiFile(const std::string& FileName, bool OemConvert, int32_t BufferSize,
                       uint32_t Mode)
    : TBufferedFileStream(FileName, BufferSize, Mode), FOemConvert(OemConvert) {}

int64_t TAsciiFile::Read(void* Buffer, int64_t Count) {
  const int64_t n = TBufferedFileStream::Read(Buffer, Count);
  if (FOemConvert) OemToAnsiInPlace(static_cast<uint8_t*>(Buffer), static_cast<size_t>(n));
  return n;
}

void TAsciiFile::ReadLine(std::string& Line) {
  Line.clear();
  std::string raw;
  try {
    uint8_t b = ReadByte();
    while (b != '\r') {
      raw.push_back(static_cast<char>(b));
      b = ReadByte();
    }
    b = ReadByte();
    if (b != '\n') Seek(-1, soFromCurrent);
  } catch (const EStreamError&) {
    // The end of the file ends the line; any other failure is real.
    if (!IsEOF()) throw;
  }
  Line = AnsiToUtf8(raw);
}

void TAsciiFile::WriteLine(const std::string& Text) {
  const std::string raw = Utf8ToAnsi(Text);
  WriteBuffer(raw.data(), static_cast<int64_t>(raw.size()));
  WriteBuffer("\r\n", 2);
}
