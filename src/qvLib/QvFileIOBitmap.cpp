// The embedded BMP image of a chart file, read through the buffered stream.

#include "QvFileIO.h"
#include "QvGraphics.h"

void TBufferedFileStream::ReadBitmap(TBitmap& Bitmap) {
  std::vector<uint8_t> image;
  ReadBitmapFile(image);
  Bitmap.LoadFromMemory(image.data(), image.size());
}

void TBufferedFileStream::ReadBitmapFile(std::vector<uint8_t>& Image) {
  const int32_t length = ReadInt32();
  // A length beyond the file's end must not allocate memory for bytes that
  // are not there: it fails like any read beyond the end.
  if (length < 0 || length > GetSize() - Position())
    throw EStreamError("Read beyond end of file in " + FileName());
  Image.resize(static_cast<size_t>(length));
  if (Read(Image.data(), length) != length) throw EStreamError("Error reading " + FileName());
}
