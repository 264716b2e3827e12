// Chart files (.zrn): "ZRN2", the chart code (int32, must name the file
// itself), the chart edition (int16), then a 32-bit length and the sheet's
// image as a complete BMP file. The file's last-write date is the chart date.

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "FileTimes.h"
#include "QvDigitalCharts.h"

namespace {

const char* const ZRNMagic = "ZRN2";

std::string BaseName(const std::string& FileName) {
  return std::filesystem::path(FileName).stem().string();
}

std::string Upper(std::string Text) {
  for (char& c : Text) c = char(std::toupper(uint8_t(c)));
  return Text;
}

uint32_t CodeOfFileName(const std::string& FileName) {
  const std::string base = BaseName(FileName);
  uint32_t code = 0;
  if (!ChartNameToCode(base, code))
    throw EStreamError("\"" + base + "\" is not a valid .zrn filename.");
  return code;
}

// Magic and code of a chart file whose name is FileName; returns the
// edition, the stream standing before the image length.
int32_t ReadZRNHeader(TStream& Stream, const std::string& FileName) {
  char magic[4];
  if (Stream.Read(magic, 4) != 4 || std::string(magic, 4) != ZRNMagic)
    throw EStreamError("Invalid header. This is not a .zrn file.");
  std::string built;
  if (!ChartCodeToName(Stream.ReadUInt32(), built))
    throw EStreamError("Invalid code. This is not a .zrn file.");
  if (Upper(built) != Upper(BaseName(FileName)))
    throw EStreamError("Invalid code. This is not a valid .zrn file.");
  return int16_t(Stream.ReadWord());
}

}  // namespace

TZRNImage ReadZRNImage(TChartBytes& Chart, const std::string& FileName) {
  CodeOfFileName(FileName);
  // The header: magic, code, edition and the image length.
  constexpr size_t HeaderSize = 14;
  const size_t there = std::min(Chart.Size(), HeaderSize);
  Chart.Arrived(there);
  TMemoryStream header(std::vector<uint8_t>(Chart.Data(), Chart.Data() + there));
  TZRNImage image;
  image.Edition = ReadZRNHeader(header, FileName);
  const int32_t length = header.ReadInt32();
  // A length beyond the end must not be taken for bytes that are there.
  if (length < 0 || size_t(length) > Chart.Size() - HeaderSize)
    throw EStreamError("Read beyond end of file in " + FileName);
  image.Offset = HeaderSize;
  image.Size = size_t(length);
  return image;
}

TZRNFile::TZRNFile(const std::string& FileName, uint32_t Mode, int32_t& Edition, int32_t& Date)
    : FFileName(FileName) {
  const uint32_t code = CodeOfFileName(FileName);
  FStream = std::make_unique<TBufferedFileStream>(FileName, 32768, Mode);
  if (Mode == fmCreate) {
    FCreated = true;
    FDate = Date;
    FStream->WriteBuffer(ZRNMagic, 4);
    FStream->WriteUInt32(code);
    FStream->WriteWord(uint16_t(Edition));
    return;
  }
  Date = FileAge(FileName);
  Edition = ReadZRNHeader(*FStream, FileName);
}

void TZRNFile::WriteImage(const std::vector<uint8_t>& BmpFile) {
  FStream->WriteInt32(int32_t(BmpFile.size()));
  FStream->WriteBuffer(BmpFile.data(), int64_t(BmpFile.size()));
}

void TZRNFile::Close() {
  if (!FStream) return;
  FStream->Close();
  FStream.reset();
  if (FCreated && !FileSetDate(FFileName, FDate))
    throw EStreamError("Cannot set the date of " + FFileName);
}

TZRNFile::~TZRNFile() {
  try {
    Close();
  } catch (const Exception&) {
    // Callers that must know call Close() first.
  }
}
