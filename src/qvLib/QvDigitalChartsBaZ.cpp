// The update stream and the update index records.
//
// A record: one flags byte, then the skip field, the length field and the
// data. Flags bits 7-6: skip width (0x: 1 byte, 10: 2 bytes, 11: 4 bytes);
// bits 5-4: length width (00: none, the length is bits 3-0; 01: 1 byte;
// 10: 2 bytes; 11: 4 bytes). The record starts skip bytes after the end of
// the previous one; positions wrap at 2^32.

#include <algorithm>
#include <cctype>
#include <cstring>

#include "QvDigitalCharts.h"

namespace {

const char* const BaZMagic = "BaZ1";
constexpr int PaletteBytes = 256 * 3;

// Reads Count bytes or raises, naming what was cut short.
void ReadPart(TStream& Stream, void* Buffer, int64_t Count, const char* What) {
  if (Stream.Read(Buffer, Count) != Count)
    throw EBaZFormatError(std::string("The update ends before its ") + What + " is complete.");
}

uint32_t ReadField(TStream& Stream, int Bytes) {
  uint8_t b[4] = {0, 0, 0, 0};
  ReadPart(Stream, b, Bytes, "last record");
  return uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24);
}

void WriteField(TStream& Stream, uint32_t Value, int Bytes) {
  const uint8_t b[4] = {uint8_t(Value), uint8_t(Value >> 8), uint8_t(Value >> 16),
                        uint8_t(Value >> 24)};
  Stream.WriteBuffer(b, Bytes);
}

int SkipWidth(uint8_t Flags) {
  if (!(Flags & 0x80)) return 1;
  return (Flags & 0x40) ? 4 : 2;
}

int LengthWidth(uint8_t Flags) {
  static const int widths[4] = {0, 1, 2, 4};
  return widths[(Flags >> 4) & 3];
}

std::vector<TRGB> ReadPalette(TStream& Update) {
  uint8_t raw[PaletteBytes];
  ReadPart(Update, raw, PaletteBytes, "palette");
  std::vector<TRGB> palette(256);
  for (int i = 0; i < 256; ++i) palette[i] = TRGB{raw[3 * i], raw[3 * i + 1], raw[3 * i + 2]};
  return palette;
}

int32_t LittleInt32(const uint8_t* Bytes) {
  return int32_t(uint32_t(Bytes[0]) | (uint32_t(Bytes[1]) << 8) | (uint32_t(Bytes[2]) << 16) |
                 (uint32_t(Bytes[3]) << 24));
}

int32_t ReadRecordCount(TStream& Update) {
  uint8_t count[4];
  ReadPart(Update, count, 4, "record count");
  return LittleInt32(count);
}

// Where the next record patches the 24-bit view: its start, which follows
// End (the end of the one before) by its skip, and its length. The data
// follow in the stream.
struct TRecordPlace {
  uint32_t Start;
  uint32_t Length;
};
TRecordPlace ReadRecordPlace(TStream& Update, uint32_t End) {
  uint8_t flags;
  ReadPart(Update, &flags, 1, "last record");
  const uint32_t start = End + ReadField(Update, SkipWidth(flags));
  const int lengthWidth = LengthWidth(flags);
  return {start, lengthWidth ? ReadField(Update, lengthWidth) : uint32_t(flags & 0x0F)};
}

bool Fits(uint32_t Value, int Bytes) {
  return Bytes >= 4 || Value < (uint32_t(1) << (8 * Bytes));
}

}  // namespace

TBaZHeader ReadBaZHeader(TStream& Stream) {
  char magic[4];
  if (Stream.Read(magic, 4) != 4 || std::memcmp(magic, BaZMagic, 4) != 0)
    throw EStreamError("TBaZFile.Create: This is not a .baz file.");
  TBaZHeader header;
  uint8_t edition[2];
  ReadPart(Stream, edition, 2, "edition");
  header.Edition = int16_t(uint16_t(edition[0] | (edition[1] << 8)));
  uint8_t date[8];
  ReadPart(Stream, date, 8, "date");
  uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = (bits << 8) | date[i];
  std::memcpy(&header.Date, &bits, 8);
  return header;
}

int64_t BaZStreamBound(const std::vector<uint8_t>& Head, int64_t ViewBytes) {
  constexpr int64_t MaxRecordHead = 1 + 4 + 4;  // flags, skip, length
  int64_t records = 0;
  if (Head.size() >= BaZStreamHeadSize) records = LittleInt32(Head.data() + BaZStreamHeadSize - 4);
  records = std::clamp<int64_t>(records, 0, 2 * ViewBytes + 1);
  return int64_t(BaZStreamHeadSize) + records * MaxRecordHead + ViewBytes;
}

void WriteBaZHeader(TStream& Stream, int32_t Edition, double Date) {
  Stream.WriteBuffer(BaZMagic, 4);
  Stream.WriteWord(uint16_t(Edition));
  uint64_t bits = 0;
  std::memcpy(&bits, &Date, 8);
  uint8_t date[8];
  for (int i = 0; i < 8; ++i) date[i] = uint8_t(bits >> (8 * i));
  Stream.WriteBuffer(date, 8);
}

namespace {

// The chart re-coloured to the target's palette by nearest colour. A palette
// chart's pixel takes the entry nearest to its own colour, so one table of
// 256 entries does for the whole sheet; a true-colour chart goes through
// the rows' 24-bit view. With TakeChart an 8-bit chart's image becomes the
// target's and is re-coloured where it lies: a sheet is some 30 MB, and
// fresh memory for a second one costs more than the re-colouring itself.
void RecolourChart(TBaZBitmap& Chart, TBaZBitmap& Target, bool TakeChart) {
  if (Chart.BitsPerPixel() == 24) {
    for (int32_t row = 0; row < Chart.Height(); ++row) {
      Chart.SelectRow(row);
      Target.SelectRow(row);
      Target.CopyRowFrom(Chart);
    }
    Chart.SelectRow(-1);
    Target.SelectRow(-1);
    return;
  }
  TNearestColour nearest(Target.Palette());
  const std::vector<TRGB> palette = Chart.Palette();
  uint8_t table[256];
  for (size_t i = 0; i < 256; ++i) table[i] = nearest.Map(i < palette.size() ? palette[i] : TRGB{});
  TBaZBitmap* source = &Chart;
  if (TakeChart && Chart.BitsPerPixel() == 8) {
    const std::vector<TRGB> targetPalette = Target.Palette();
    static_cast<TBitmap&>(Target) = std::move(static_cast<TBitmap&>(Chart));
    Chart.SetSize(0, 0);
    Target.SetPalette(targetPalette);
    Target.SetWidth(Target.Width());
    source = &Target;
  }
  // An update that keeps the colours of every index the sheet uses (the
  // usual case) leaves a taken-over image as it is; finding the highest
  // index used is much cheaper than a table look-up per pixel.
  if (source == &Target) {
    uint8_t highest = 0;
    for (int32_t row = 0; row < Target.Height(); ++row) {
      const uint8_t* line = Target.ScanLine(row);
      for (int32_t x = 0; x < Target.Width(); ++x) highest = std::max(highest, line[x]);
    }
    bool identity = true;
    for (int i = 0; identity && i <= highest; ++i) identity = table[i] == i;
    if (identity) return;
  }
  std::vector<uint8_t> indexes(size_t(Target.Width()));
  for (int32_t row = 0; row < Target.Height(); ++row) {
    const uint8_t* in = source->ScanLine(row);
    if (source->BitsPerPixel() != 8) {
      source->ExpandRow(row, indexes.data());
      in = indexes.data();
    }
    uint8_t* out = Target.ScanLine(row);
    for (int32_t x = 0; x < Target.Width(); ++x) out[x] = table[in[x]];
  }
}

void ApplyUpdateStream(TStream& Update, TBaZBitmap& Chart, TBaZBitmap& Target, bool TakeChart) {
  const std::vector<TRGB> palette = ReadPalette(Update);
  const bool take = TakeChart && Chart.BitsPerPixel() == 8;
  if (!take) {
    Target.SetHeight(Chart.Height());
    Target.SetWidth(Chart.Width());
  }
  Target.SetPalette(palette);
  RecolourChart(Chart, Target, take);

  const int32_t records = ReadRecordCount(Update);
  uint32_t end = 0;
  for (int32_t i = 0; i < records; ++i) {
    const TRecordPlace place = ReadRecordPlace(Update, end);
    Target.WriteBytes(Update, place.Start, place.Length);
    end = place.Start + place.Length;
  }
  Target.SelectRow(-1);
}

}  // namespace

void ApplyBaZStream(TStream& Update, TBaZBitmap& Chart, TBaZBitmap& Target) {
  ApplyUpdateStream(Update, Chart, Target, false);
}

void ApplyBaZStream(TStream& Update, TBaZBitmap&& Chart, TBaZBitmap& Target) {
  ApplyUpdateStream(Update, Chart, Target, true);
}

TBaZRowPatches::TBaZRowPatches(TStream& Update, const std::vector<TRGB>& ChartPalette,
                               int32_t Width, int32_t Height)
    : FWidth(Width), FPalette(ReadPalette(Update)) {
  FNearest.SetPalette(FPalette);
  for (size_t i = 0; i < 256; ++i)
    FTable[i] = FNearest.Map(i < ChartPalette.size() ? ChartPalette[i] : TRGB{});
  while (FUnchanged < 256 && FTable[FUnchanged] == FUnchanged) ++FUnchanged;
  FView.resize(size_t(Width) * 3);

  const int32_t records = ReadRecordCount(Update);
  const uint32_t rowBytes = uint32_t(Width) * 3;
  // The rows the records select, in their order: a new visit begins
  // whenever the selected row changes (leaving a row maps it back).
  int64_t selected = -1;
  uint32_t visit = 0;
  uint32_t end = 0;
  for (int32_t i = 0; i < records; ++i) {
    const TRecordPlace place = ReadRecordPlace(Update, end);
    const uint32_t start = place.Start;
    uint32_t length = place.Length;
    end = start + length;
    if (int64_t(length) > Update.GetSize() - Update.Position())
      throw EBaZFormatError("The update ends inside a record.");
    if (rowBytes == 0) {
      Update.Seek(length, soFromCurrent);
      continue;
    }
    int64_t row = start / rowBytes;
    uint32_t column = start % rowBytes;
    while (length != 0) {
      if (row != selected) ++visit;
      selected = row;
      if (row >= Height) {
        Update.Seek(length, soFromCurrent);  // below the last row: nothing changes
        break;
      }
      const uint32_t piece = std::min(length, rowBytes - column);
      FPieces.push_back({int32_t(row), visit, column, piece, FData.size()});
      FData.resize(FData.size() + piece);
      Update.ReadBuffer(FData.data() + FData.size() - piece, piece);
      length -= piece;
      column = 0;
      ++row;
    }
  }
  std::stable_sort(FPieces.begin(), FPieces.end(),
                   [](const TPiece& A, const TPiece& B) { return A.Row < B.Row; });
}

void TBaZRowPatches::MapBack(uint8_t* Out) {
  const uint8_t* in = FView.data();
  for (int32_t x = 0; x < FWidth; ++x, in += 3)
    Out[x] = FNearest.Map((uint32_t(in[2]) << 16) | (uint32_t(in[1]) << 8) | in[0]);
}

void TBaZRowPatches::Apply(int32_t Row, const uint8_t* ChartIndexes, uint8_t* Out) {
  // Most updates keep the indexes a sheet uses: a row whose highest index
  // lies in the table's leading run of unchanged entries is copied (finding
  // the highest is much cheaper than a look-up per pixel).
  uint8_t highest = 0;
  for (int32_t x = 0; x < FWidth; ++x) highest = std::max(highest, ChartIndexes[x]);
  if (highest < FUnchanged)
    std::memcpy(Out, ChartIndexes, size_t(FWidth));
  else
    for (int32_t x = 0; x < FWidth; ++x) Out[x] = FTable[ChartIndexes[x]];
  // Rows come in any order: find this row's pieces.
  if (FNext >= FPieces.size() || FPieces[FNext].Row != Row)
    FNext = size_t(std::lower_bound(FPieces.begin(), FPieces.end(), Row,
                                    [](const TPiece& P, int32_t R) { return P.Row < R; }) -
                   FPieces.begin());
  size_t i = FNext;
  while (i < FPieces.size() && FPieces[i].Row == Row) {
    const uint32_t visit = FPieces[i].Visit;
    uint8_t* view = FView.data();
    for (int32_t x = 0; x < FWidth; ++x, view += 3) {
      const TRGB& c = FPalette[Out[x]];
      view[0] = c.Blue;
      view[1] = c.Green;
      view[2] = c.Red;
    }
    for (; i < FPieces.size() && FPieces[i].Row == Row && FPieces[i].Visit == visit; ++i)
      std::memcpy(FView.data() + FPieces[i].Column, FData.data() + FPieces[i].Data,
                  FPieces[i].Length);
    MapBack(Out);
  }
  FNext = i;
}

TBaZRecordForm SmallestRecordForm(uint32_t Skip, uint32_t Length) {
  TBaZRecordForm form;
  form.SkipBytes = Fits(Skip, 1) ? 1 : Fits(Skip, 2) ? 2 : 4;
  form.LengthBytes = Length <= 15 ? 0 : Fits(Length, 1) ? 1 : Fits(Length, 2) ? 2 : 4;
  return form;
}

void WriteBaZRecord(TStream& Stream, const TBaZRecordForm& Form, uint32_t Skip,
                    const std::vector<uint8_t>& Data) {
  const auto length = uint32_t(Data.size());
  const bool skipOk = Form.SkipBytes == 1 || Form.SkipBytes == 2 || Form.SkipBytes == 4;
  const bool lengthOk = Form.LengthBytes == 0 || Form.LengthBytes == 1 || Form.LengthBytes == 2 ||
                        Form.LengthBytes == 4;
  if (!skipOk || !lengthOk || !Fits(Skip, Form.SkipBytes) ||
      (Form.LengthBytes == 0 ? length > 15 : !Fits(length, Form.LengthBytes)))
    throw EBaZFormatError("The record does not fit its form.");
  uint8_t flags = Form.SkipBytes == 1 ? 0x00 : Form.SkipBytes == 2 ? 0x80 : 0xC0;
  if (Form.LengthBytes == 0)
    flags |= uint8_t(length);
  else
    flags |= uint8_t((Form.LengthBytes == 1 ? 1 : Form.LengthBytes == 2 ? 2 : 3) << 4);
  Stream.WriteByte(flags);
  WriteField(Stream, Skip, Form.SkipBytes);
  if (Form.LengthBytes) WriteField(Stream, length, Form.LengthBytes);
  Stream.WriteBuffer(Data.data(), int64_t(Data.size()));
}

std::vector<TBaZIndexRecord> ReadBaZIndexRecords(TStream& Stream) {
  std::vector<TBaZIndexRecord> records;
  while (Stream.GetSize() - Stream.Position() >= 12) {
    TBaZIndexRecord r;
    r.Value = Stream.ReadUInt32();
    r.Code = Stream.ReadUInt32();
    r.Date = Stream.ReadInt32();
    records.push_back(r);
  }
  return records;
}

void WriteBaZIndexRecord(TStream& Stream, const TBaZIndexRecord& Record) {
  Stream.WriteUInt32(Record.Value);
  Stream.WriteUInt32(Record.Code);
  Stream.WriteInt32(Record.Date);
}

bool TCaseInsensitiveLess::operator()(const std::string& A, const std::string& B) const {
  const size_t n = std::min(A.size(), B.size());
  for (size_t i = 0; i < n; ++i) {
    const int a = std::tolower(uint8_t(A[i])), b = std::tolower(uint8_t(B[i]));
    if (a != b) return a < b;
  }
  return A.size() < B.size();
}

void ReadBaZIndex(TStream& Stream, TBaZIndexList& List, const TBaZIndexFilter& Filter) {
  List.clear();
  for (const TBaZIndexRecord& record : ReadBaZIndexRecords(Stream)) {
    std::string name;
    if (!ChartCodeToName(record.Code, name)) continue;
    // A code whose name does not parse back (set or sheet numbers out of
    // range) could never be written back as a record: leave it out.
    uint32_t canonical = 0;
    if (!ChartNameToCode(name, canonical)) continue;
    bool applies = false;
    if (Filter && !Filter(name, applies)) continue;
    List.emplace(name, TBaZIndexEntry{record.Date, record.Value, applies});
  }
}

void WriteBaZIndex(TStream& Stream,
                   const std::vector<std::pair<std::string, TBaZIndexEntry>>& Entries) {
  for (const auto& [name, entry] : Entries) {
    uint32_t code = 0;
    if (!ChartNameToCode(name, code)) throw EZRNError("\"" + name + "\" is not a chart name.");
    WriteBaZIndexRecord(Stream, TBaZIndexRecord{entry.Value, code, entry.Date});
  }
}
