// The update stream and the update index records.
//
// A record: one flags byte, then the skip field, the length field and the
// data. Flags bits 7-6: skip width (0x: 1 byte, 10: 2 bytes, 11: 4 bytes);
// bits 5-4: length width (00: none, the length is bits 3-0; 01: 1 byte;
// 10: 2 bytes; 11: 4 bytes). The record starts skip bytes after the end of
// the previous one; positions wrap at 2^32.

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

void WriteBaZHeader(TStream& Stream, int32_t Edition, double Date) {
  Stream.WriteBuffer(BaZMagic, 4);
  Stream.WriteWord(uint16_t(Edition));
  uint64_t bits = 0;
  std::memcpy(&bits, &Date, 8);
  uint8_t date[8];
  for (int i = 0; i < 8; ++i) date[i] = uint8_t(bits >> (8 * i));
  Stream.WriteBuffer(date, 8);
}

void ApplyBaZStream(TStream& Update, TBaZBitmap& Chart, TBaZBitmap& Target) {
  Target.SetHeight(Chart.Height());
  Target.SetWidth(Chart.Width());

  uint8_t raw[PaletteBytes];
  ReadPart(Update, raw, PaletteBytes, "palette");
  std::vector<TRGB> palette(256);
  for (int i = 0; i < 256; ++i) palette[i] = TRGB{raw[3 * i], raw[3 * i + 1], raw[3 * i + 2]};
  Target.SetPalette(palette);

  // The chart re-coloured to the update's palette by nearest colour.
  for (int32_t row = 0; row < Chart.Height(); ++row) {
    Chart.SelectRow(row);
    Target.SelectRow(row);
    Target.CopyRowFrom(Chart);
  }
  Chart.SelectRow(-1);
  Target.SelectRow(-1);

  uint8_t count[4];
  ReadPart(Update, count, 4, "record count");
  const auto records = int32_t(uint32_t(count[0]) | (uint32_t(count[1]) << 8) |
                               (uint32_t(count[2]) << 16) | (uint32_t(count[3]) << 24));
  uint32_t end = 0;
  for (int32_t i = 0; i < records; ++i) {
    uint8_t flags;
    ReadPart(Update, &flags, 1, "last record");
    const uint32_t start = end + ReadField(Update, SkipWidth(flags));
    const int lengthWidth = LengthWidth(flags);
    const uint32_t length = lengthWidth ? ReadField(Update, lengthWidth) : (flags & 0x0F);
    Target.WriteBytes(Update, start, length);
    end = start + length;
  }
  Target.SelectRow(-1);
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
