#pragma once
// Buffered file access for the chart data: one block of the file is kept in
// memory so that the many small fields of the formats do not each reach the
// file system. TAsciiFile adds CR LF text lines on top.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Streams.h"

class TBitmap;

// Open modes: access in the low bits; the sharing bits are accepted and ignored.
constexpr uint32_t fmOpenRead = 0x0000;
constexpr uint32_t fmOpenWrite = 0x0001;
constexpr uint32_t fmOpenReadWrite = 0x0002;
constexpr uint32_t fmShareDenyNone = 0x0040;
constexpr uint32_t fmCreate = 0xFFFF;

class TBufferedFileStream : public TStream {
 public:
  static constexpr int32_t MaxBufferSize = 32768;

  TBufferedFileStream(const std::string& FileName, int32_t BufferSize, uint32_t Mode);
  // Flushes what is still pending. A failure there cannot be raised from a
  // destructor: callers that must know call Close() first.
  ~TBufferedFileStream() override;
  TBufferedFileStream(const TBufferedFileStream&) = delete;
  TBufferedFileStream& operator=(const TBufferedFileStream&) = delete;

  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, int Origin) override;
  void SetSize(int64_t NewSize) override;
  int64_t GetSize() override { return FFileSize; }

  void Flush();
  // Writes what is pending and has the system put the file on the disk;
  // false (errno set) when the system cannot. Until the next write a flush
  // then has nothing to ask.
  bool SyncToDisk();
  // Flushes and closes the file, raising any failure; the stream is unusable after.
  void Close();
  bool IsEOF() const { return StreamPosition() >= FFileSize; }

  // A 32-bit signed length and that many single-byte characters (Windows-1252).
  void ReadString(std::string& Text);
  // A 32-bit length L followed by an embedded BMP file of L bytes.
  void ReadBitmap(TBitmap& Bitmap);
  // The same, the BMP file's bytes not decoded.
  void ReadBitmapFile(std::vector<uint8_t>& Image);

  void SetFlushAfterWrite(bool Value) { FFlushAfterWrite = Value; }
  int32_t BufferSize() const { return FBufferSize; }
  const std::string& FileName() const { return FFileName; }

 private:
  int64_t StreamPosition() const { return FBufferFilePos + FBufferPos; }
  void FillBuffer();
  // Reads Count bytes, whole blocks, from the buffer's file position on.
  void ReadBlocks(uint8_t* Out, int64_t Count);
  void WriteBufferToFile();
  void FlushFile();
  void MoveToNextBlock();

  std::unique_ptr<uint8_t[]> FBuffer;
  int32_t FBufferSize = 0;
  int64_t FBufferFilePos = 0;  // file offset of the buffer's first byte
  int32_t FBufferPos = 0;      // position inside the buffer
  int32_t FBufferValid = 0;    // valid bytes in the buffer
  int64_t FFileSize = 0;
  int FHandle = -1;
  bool FDirty = false;
  bool FReadOnly = false;
  bool FSynced = false;  // nothing written since the file was put on the disk
  bool FFlushAfterWrite = false;
  std::string FFileName;  // absolute; named in every error
};

class TAsciiFile : public TBufferedFileStream {
 public:
  TAsciiFile(const std::string& FileName, bool OemConvert, int32_t BufferSize, uint32_t Mode);

  int64_t Read(void* Buffer, int64_t Count) override;
  // Reads up to CR (an LF right after it is eaten); the end of the file ends
  // the line without an error. A lone LF belongs to the line.
  void ReadLine(std::string& Line);
  void WriteLine(const std::string& Text);

 private:
  bool FOemConvert;
};
