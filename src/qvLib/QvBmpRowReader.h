#pragma once
// The pixel rows of a BMP file held in memory, one at a time, in the order
// the file stores them: the bottom row first, or the top row first for a
// top-down image. A chart sheet can so be converted row by row with a few
// rows in memory instead of its whole image.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "QvGraphics.h"

// Waits until the first End bytes of a file that is still arriving are
// there (End is at most its size) and returns how many are there then.
using TBytesArrived = std::function<size_t(size_t End)>;

class TBmpRowReader {
 public:
  // Parses the headers and the palette (at most 256 entries kept). Raises
  // EGraphicsError for what the reader does not take. Data must outlive the
  // reader. With Arrived the file's Size bytes are still coming in while
  // the reader works: it reads none before Arrived says it is there.
  TBmpRowReader(const uint8_t* Data, size_t Size, TBytesArrived Arrived = {});

  int32_t Width() const { return FWidth; }
  int32_t Height() const { return FHeight; }
  int BitsPerPixel() const { return FBits; }
  bool TopDown() const { return FTopDown; }
  // The bytes of one row as TBitmap lays it out: no padding.
  size_t RowBytes() const { return FRowBytes; }
  const std::vector<TRGB>& Palette() const { return FPalette; }

  // Writes the next row in file order to Row (RowBytes() bytes). Pixels the
  // file never sets are index 0; pixels beyond the row's end are dropped. A
  // run-length stream may end without its end-of-bitmap mark at a command
  // boundary, never inside a command. Raises EGraphicsError when the data
  // are cut short or every row has been read.
  void ReadRow(uint8_t* Row) { ReadRow(Row, false); }
  // The same into a row known to hold zeros only: rows the file leaves
  // blank are then not touched at all.
  void ReadIntoBlankRow(uint8_t* Row) { ReadRow(Row, true); }

 private:
  void ReadRow(uint8_t* Row, bool Blank);
  void DecodeRow(uint8_t* Row, bool Blank);
  // Makes the first End bytes readable; raises when the file is shorter.
  void Need(size_t End, const char* Missing);
  uint8_t Next();
  void Fill(uint8_t* Row, int Count, uint8_t Value);
  void Absolute(uint8_t* Row, int Count);
  void Put(uint8_t* Row, uint8_t Index);

  const uint8_t* FData;
  size_t FSize;
  size_t FThere;  // bytes known to be there: all of them without FArrived
  TBytesArrived FArrived;
  int32_t FWidth = 0;
  int32_t FHeight = 0;
  int FBits = 0;
  bool FTopDown = false;
  uint32_t FCompression = 0;
  size_t FDataOffset = 0;
  size_t FStride = 0;  // bytes per row in an uncompressed file, padded to 4
  size_t FRowBytes = 0;
  std::vector<TRGB> FPalette;

  int32_t FRowsRead = 0;
  // Run-length state: read position, column of the cursor, rows a delta
  // escape skipped that are still to be handed out blank, and whether the
  // stream has ended.
  size_t FPos = 0;
  int64_t FX = 0;
  int64_t FSkippedRows = 0;
  bool FEnded = false;
};
