#pragma once
// The chart data: chart sets and their archives, chart files and chart codes,
// the update stream and the update index, the chart bitmap with its one-row
// work buffer, and the writer of installed chart bitmaps.
//
// What needs the zip component (update files, charts read from an archive)
// lives in src/charts, on top of this.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Exception.h"
#include "QvFileIO.h"
#include "QvGraphics.h"
#include "Streams.h"

// The one chart edition this program handles.
constexpr int32_t ChartEdition = 2003;

// Resolution index 0 is 120 dpi, 1 is 240 dpi.
constexpr int ResolutionCount = 2;
inline const char* DpiText(int Resolution) {
  return Resolution == 0 ? "120" : "240";
}

ZARNAVIS_DECLARE_EXCEPTION(EZRNError, Exception);
ZARNAVIS_DECLARE_EXCEPTION(EEditionError, EZRNError);

// ---------------------------------------------------------------------------
// Chart names and codes. A code packs series (bits 24-31), set number
// (16-23), sheet (8-15), first sub-sheet (4-7) and second sub-sheet (0-3).

struct TChartCodeFields {
  uint8_t Series = 0;
  uint8_t SetNumber = 0;
  uint8_t Sheet = 0;
  uint8_t SubSheet1 = 0;
  uint8_t SubSheet2 = 0;
};

bool ChartNameToCode(const std::string& Name, uint32_t& Code);
bool ChartCodeToName(uint32_t Code, std::string& Name);
TChartCodeFields SplitChartCode(uint32_t Code);
uint32_t MakeChartCode(const TChartCodeFields& Fields);
// The code of the chart set a chart belongs to ("1801", "NNZK"), or empty
// for charts of no set.
std::string ChartSetCodeOfChart(uint32_t Code);

// ---------------------------------------------------------------------------
// Chart-set archives (.zra).

struct TZRAHeader {
  std::string Name;  // UTF-8
  int32_t Edition = 0;
  int32_t ChartCount = 0;
  int32_t Size = 0;
  int32_t Size2 = 0;
};

// Reads the header at the stream's position; raises the archive error.
TZRAHeader ReadZRAHeader(TStream& Stream);
void WriteZRAHeader(TStream& Stream, const TZRAHeader& Header);

// The chart archive inside a .zra file, complemented back into a plain zip
// archive, in a new memory stream owned by the caller.
std::unique_ptr<TMemoryStream> OpenChartArchive(const std::string& FileName);

class TChartSet {
 public:
  TChartSet(const std::string& FileName, const std::string& Folder, std::string& Name,
            int32_t& Edition, int32_t& ChartCount);

  std::unique_ptr<TMemoryStream> OpenChartArchive() const { return ::OpenChartArchive(FileName); }

  std::string Name;
  std::string Code;
  std::string FileName;
  std::string Folder;
  int32_t Size = 0;
  int32_t Size2 = 0;
  int32_t ChartCount = 0;
  bool Selected = true;
  uint8_t Resolution = 0;
};

// One chart set with up to two resolutions.
class TChartSets {
 public:
  // Prefix is the archives' path without "_120.zra" / "_240.zra".
  TChartSets(const std::string& Prefix, const std::string& Folder, int32_t Edition);

  TChartSet* GetChartSet(int Index) const;
  void DeleteChartSet(int Index);
  bool GetSelected(int Index) const;
  void SetSelected(int Index, bool Value);
  int32_t GetSize(int Index) const;

  std::string Name;
  int32_t Edition = 0;
  std::string Code;
  int32_t ChartCount = 0;
  uint8_t Resolutions = 0;

 private:
  std::unique_ptr<TChartSet> FChartSet[ResolutionCount];
};

using TChartSetsList = std::vector<std::unique_ptr<TChartSets>>;

// The chart sets of the archives in ArchiveFolder, in ascending order of
// their lower-cased prefix; sets with no archive of this edition are left out.
// BetweenFiles, when given, runs before each file of the folder is looked at
// and before each set is opened: reading a CD takes a while, and a window
// stays responsive meanwhile.
TChartSetsList FindChartSets(const std::string& ArchiveFolder, const std::string& InstalledFolder,
                             const std::function<void()>& BetweenFiles = {});

// Keeps only the selections a command line asks for: the sets whose code is
// one of Codes (without regard to case; all sets when empty), and only
// OnlyResolution (0 or 1; -1 for both).
void RestrictSelection(TChartSetsList& Sets, const std::vector<std::string>& Codes,
                       int OnlyResolution);

// The chart sets of the edition, as the download catalogue lists them; the
// first four characters of a caption are the set's code.
const std::vector<std::string>& ChartSetCatalogue();

// ---------------------------------------------------------------------------
// Chart files (.zrn): "ZRN2", chart code, 16-bit edition, then a 32-bit
// length and a complete BMP file.

// A chart file's bytes in memory. They may still be arriving (a chart that
// is unpacked from its archive while it is converted): Arrived(End) returns
// once the first End bytes (End at most Size()) are there, with the number
// there, and raises what kept them from coming; Complete() returns once
// every byte is there and sound, and raises otherwise. Bytes that are all
// there from the start need neither.
class TChartBytes {
 public:
  TChartBytes(const uint8_t* Data, size_t Size) : FData(Data), FSize(Size) {}
  virtual ~TChartBytes() = default;
  TChartBytes(const TChartBytes&) = delete;
  TChartBytes& operator=(const TChartBytes&) = delete;

  const uint8_t* Data() const { return FData; }
  size_t Size() const { return FSize; }
  virtual bool Arriving() const { return false; }
  virtual size_t Arrived(size_t End) { return FSize; }
  virtual void Complete() {}
  // Arrived() for the bytes from Offset on, counted from there, as a reader
  // of those bytes takes it (TBmpRowReader); empty when all are there.
  std::function<size_t(size_t End)> ArrivedFrom(size_t Offset) {
    if (!Arriving()) return {};
    return [this, Offset](size_t End) { return Arrived(Offset + End) - Offset; };
  }

 protected:
  TChartBytes() = default;
  void Attach(const uint8_t* Data, size_t Size) {
    FData = Data;
    FSize = Size;
  }

 private:
  const uint8_t* FData = nullptr;
  size_t FSize = 0;
};

// Where a chart file's embedded BMP file lies in its bytes, and the chart's
// edition.
struct TZRNImage {
  int32_t Edition = 0;
  size_t Offset = 0;
  size_t Size = 0;
};

// Reads a chart file's header from Chart as the file FileName would be read
// (the name must fit the code). Raises as TZRNFile does.
TZRNImage ReadZRNImage(TChartBytes& Chart, const std::string& FileName);

class TZRNFile {
 public:
  // Read mode (any Mode but fmCreate): checks name, magic and code and
  // returns the edition and the file's last-write date. Create mode: writes
  // the header for the code of the file's name with Edition; Date is the
  // last-write date the file gets when it is closed.
  TZRNFile(const std::string& FileName, uint32_t Mode, int32_t& Edition, int32_t& Date);
  // Closes the file; a created file then gets its date. Close() first to
  // learn of failures.
  ~TZRNFile();
  TZRNFile(const TZRNFile&) = delete;
  TZRNFile& operator=(const TZRNFile&) = delete;

  void ReadBitmap(TBitmap& Bitmap) { FStream->ReadBitmap(Bitmap); }
  // The embedded BMP file's bytes, not decoded.
  void ReadBitmapFile(std::vector<uint8_t>& Image) { FStream->ReadBitmapFile(Image); }
  // Create mode: the image length and the BMP file's bytes.
  void WriteImage(const std::vector<uint8_t>& BmpFile);
  void Close();

 private:
  std::unique_ptr<TBufferedFileStream> FStream;
  std::string FFileName;
  int32_t FDate = 0;
  bool FCreated = false;
};

// ---------------------------------------------------------------------------
// The chart bitmap: an 8-bit palette image with a one-row 24-bit work buffer
// through which whole rows are copied and bytes of the 24-bit view (rows top
// to bottom, width x 3 bytes each, blue, green, red) are patched.

class TBaZBitmap : public TBitmap {
 public:
  TBaZBitmap();

  // Also prepares the row buffer: no row selected, nothing dirty. Setting the
  // width to its own value prepares a bitmap that was loaded from a file.
  void SetWidth(int32_t Width) override;
  void SetPalette(const std::vector<TRGB>& Palette) override;
  // Makes Row the buffered row, writing a dirty buffer back first (by
  // nearest colour); -1 or less only writes back.
  void SelectRow(int64_t Row);
  void CopyRowFrom(const TBaZBitmap& Source);
  // Copies Length bytes from Stream into the 24-bit view at Position. Bytes
  // beyond the last row are consumed and change nothing. Raises when the
  // stream holds fewer than Length bytes.
  void WriteBytes(TStream& Stream, uint32_t Position, uint32_t Length);

  int64_t CurrentRow() const { return FCurrentRow; }
  bool Dirty() const { return FDirty; }
  uint32_t RowByteCount() const { return FRowByteCount; }

 private:
  void WriteBackRow();
  void LoadRow();

  std::vector<uint8_t> FRow;      // the 24-bit row buffer
  std::vector<uint8_t> FIndexes;  // one row as palette indexes, while loading
  bool FDirty = false;
  int64_t FCurrentRow = -1;
  uint32_t FRowByteCount = 0;
  TNearestColour FNearest;
};

// ---------------------------------------------------------------------------
// The update stream (the "Data" entry of an update file): "BaZ1", 16-bit
// edition, 8-byte day-count date, 768 palette bytes (red, green, blue),
// 32-bit record count, records.

ZARNAVIS_DECLARE_EXCEPTION(EBaZFormatError, EStreamError);

struct TBaZHeader {
  int32_t Edition = 0;  // sign-extended from 16 bits
  double Date = 0;
};

// Raises "TBaZFile.Create: This is not a .baz file." for a wrong magic.
TBaZHeader ReadBaZHeader(TStream& Stream);
void WriteBaZHeader(TStream& Stream, int32_t Edition, double Date);

// The bytes of an update stream up to its first record: magic, edition,
// date, palette and record count.
constexpr size_t BaZStreamHeadSize = 786;
// The most bytes an update stream can need for a chart whose 24-bit view
// has ViewBytes bytes, given the first bytes of the stream (Head, for its
// record count; a shorter one counts as no records): the head, and records
// of at most 9 bytes before their data that write each byte of the view at
// most once, so at most two records a byte (with a mere move between).
int64_t BaZStreamBound(const std::vector<uint8_t>& Head, int64_t ViewBytes);

// Builds the updated sheet in Target from Chart (with the row buffer
// prepared) and the rest of the update stream after the date: the palette,
// the count and the records. A stream that ends early raises.
void ApplyBaZStream(TStream& Update, TBaZBitmap& Chart, TBaZBitmap& Target);
// The same with a chart that is no longer needed: an 8-bit chart's image
// becomes Target's (the chart is left empty), which spares a second sheet.
void ApplyBaZStream(TStream& Update, TBaZBitmap&& Chart, TBaZBitmap& Target);

// An update stream made ready to be applied row by row, as a sheet is read
// from its chart file: the palette, and the records cut into the pieces of
// each row. Applying it gives exactly what ApplyBaZStream gives, with one
// row in memory instead of the sheet: a row a run of records revisits after
// leaving it goes through the 24-bit view once per visit, as there.
class TBaZRowPatches {
 public:
  // Reads everything after the date for a palette chart of Width x Height
  // with ChartPalette; a stream that ends early raises as ApplyBaZStream.
  TBaZRowPatches(TStream& Update, const std::vector<TRGB>& ChartPalette, int32_t Width,
                 int32_t Height);
  const std::vector<TRGB>& Palette() const { return FPalette; }
  // One row of chart palette indexes (one byte a pixel) into the updated
  // row of update palette indexes.
  void Apply(int32_t Row, const uint8_t* ChartIndexes, uint8_t* Out);

 private:
  struct TPiece {
    int32_t Row;
    uint32_t Visit;   // pieces of one visit share the row's 24-bit view
    uint32_t Column;  // byte offset in the row's 24-bit view
    uint32_t Length;
    size_t Data;  // offset into FData
  };
  void MapBack(uint8_t* Out);

  int32_t FWidth;
  std::vector<TRGB> FPalette;
  uint8_t FTable[256];  // chart index -> update palette index
  int FUnchanged = 0;   // FTable[i] == i for every i below this
  TNearestColour FNearest;
  std::vector<TPiece> FPieces;  // by row, then in the order they patch
  size_t FNext = 0;             // first piece of a row not yet applied
  std::vector<uint8_t> FData;
  std::vector<uint8_t> FView;  // one row as blue, green, red
};

// How a record's skip and length are stored: field widths in bytes (skip 1,
// 2 or 4; length 0, 1, 2 or 4; with 0 the length lives in the flags).
struct TBaZRecordForm {
  int SkipBytes = 1;
  int LengthBytes = 1;
};
// The smallest form that holds Skip and Length.
TBaZRecordForm SmallestRecordForm(uint32_t Skip, uint32_t Length);
void WriteBaZRecord(TStream& Stream, const TBaZRecordForm& Form, uint32_t Skip,
                    const std::vector<uint8_t>& Data);

// ---------------------------------------------------------------------------
// The update index: 12-byte records value, chart code, packed date-time.

struct TBaZIndexRecord {
  uint32_t Value = 0;
  uint32_t Code = 0;
  int32_t Date = 0;
};

// Whole records while the position is below the size; a final partial
// record is dropped.
std::vector<TBaZIndexRecord> ReadBaZIndexRecords(TStream& Stream);
void WriteBaZIndexRecord(TStream& Stream, const TBaZIndexRecord& Record);

struct TBaZIndexEntry {
  int32_t Date = 0;
  uint32_t Value = 0;
  bool Applies = false;
};

struct TCaseInsensitiveLess {
  bool operator()(const std::string& A, const std::string& B) const;
};
// A name-keyed index: sorted, names compared without regard to case, a name
// already present keeps its first entry.
using TBaZIndexList = std::map<std::string, TBaZIndexEntry, TCaseInsensitiveLess>;

// Decides for one chart name whether its record is taken: returns false to
// skip it, true to take it with Applies set as wanted.
using TBaZIndexFilter = std::function<bool(const std::string& Name, bool& Applies)>;

// Clears List and reads the records of Stream into it under their chart
// names; records whose code has no name, or a name that does not parse back
// to a code, are skipped, and so are those the filter refuses (no filter:
// all, Applies false).
void ReadBaZIndex(TStream& Stream, TBaZIndexList& List, const TBaZIndexFilter& Filter = {});
// Writes (name, entry) pairs in order as records; a name that is no chart
// name raises EZRNError.
void WriteBaZIndex(TStream& Stream,
                   const std::vector<std::pair<std::string, TBaZIndexEntry>>& Entries);

// ---------------------------------------------------------------------------
// Installed chart bitmaps.

// The rights notice that starts every stamp line.
extern const char* const StampNotice;
// "<notice> - last update: dd-mm-yyyy" for an update day count.
std::string UpdateStampText(double UpdateDate);

// Writes Bitmap (1, 4 or 8 bits per pixel) as an 8-bit RLE8 BMP file with a
// 256-entry palette. The file is written beside FileName under a temporary
// name and renamed over it only when complete: a failure leaves FileName as
// it was. With Date, the file carries that file date from the moment it has
// its name.
void WriteBitmapFile(const std::string& FileName, const TBitmap& Bitmap,
                     std::optional<int32_t> Date = std::nullopt);
// Appends one row encoded as RLE8 pieces (without the end-of-line mark).
void EncodeRLE8Row(const uint8_t* Row, size_t Count, std::vector<uint8_t>& Out);
// The same into Out, which has room for 2 * Count + 2 bytes; returns the
// number of bytes written. Count is at least 1.
size_t EncodeRLE8RowTo(const uint8_t* Row, size_t Count, uint8_t* Out);

// Writes the chart file's image as an installed bitmap dated with the
// chart file's date.
void ConvertChartBitmap(const std::string& OutputFile, const std::string& ChartFile, bool Stamp);
// The same for the chart file FileName held as Chart, whose date is Date.
void ConvertChartBitmap(const std::string& OutputFile, const std::string& FileName,
                        TChartBytes& Chart, int32_t Date, bool Stamp);

// Writes the image of Chart that Image locates as an installed bitmap dated
// Date, stamped with StampText unless it is empty; with Update (standing
// after the update's date) the update is applied on the way. Row by row,
// with the rows read as they arrive, where the image allows; whole where it
// must be taken whole (rows stored top down, or no palette). The file gets
// its name only after Chart is complete.
void WriteChartImage(const std::string& OutputFile, TChartBytes& Chart, const TZRNImage& Image,
                     TStream* Update, const std::string& StampText, int32_t Date);

// Installed bitmap name: folder + chart name + "_120_" / "_240_" + "2003.bmp".
std::string InstalledBitmapName(const std::string& Folder, const std::string& ChartName,
                                int Resolution);
