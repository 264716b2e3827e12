#include "QvBaZFile.h"

#include <algorithm>

#include "FileTimes.h"
#include "QvBmpRowReader.h"
#include "ZipCodec.h"
#include "Zipper.h"

namespace {

const char* const DataEntry = "Data";

// The bytes of a sheet's 24-bit view, which update records address.
int64_t ViewBytes(int32_t Width, int32_t Height) {
  return int64_t(std::max(Width, 0)) * std::max(Height, 0) * 3;
}

std::string EditionMessage(const std::string& ChartFile, const std::string& BaZFile) {
  return "\"" + ChartFile + "\" and\r\"" + BaZFile +
         "\"\r\rThe files are not of the same chart edition.";
}

// Reads the first bytes of an entry and what its header declares, without
// inflating the rest.
class TEntryHead : public TUnZipper {
 public:
  // False when the archive has no entry Name.
  bool Read(const std::string& Name, size_t Count, uint64_t& Declared, std::vector<uint8_t>& Head) {
    auto disks = OpenDisks();
    ReadDirectoryFrom(*disks);
    const int index = FindEntry(Name);
    if (index < 0) return false;
    const TZipCentralEntry& h = FEntries[size_t(index)].Header;
    Declared = h.UncompressedSize;
    if (!IsSupportedMethod(h.Method) || (h.Flags & zfEncrypted)) return true;
    struct TEnough {};
    try {
      DecodeEntryTo(
          *disks, index,
          [&](const uint8_t* Data, size_t Size) {
            Head.insert(Head.end(), Data, Data + std::min(Size, Count - Head.size()));
            if (Head.size() == Count) throw TEnough();
          },
          nullptr);
    } catch (const TEnough&) {
    }
    return true;
  }
};

// The entry "Data" of an update file, from its start; raises when the file
// is no zip archive with such an entry or the entry is damaged. An entry
// that declares more than a chart whose 24-bit view has ViewBytes bytes can
// need is refused before it is inflated into memory.
void ReadUpdateData(const std::string& UpdateFile, TMemoryStream& Data, int64_t ViewBytes) {
  {
    TEntryHead head;
    head.SetZipName(UpdateFile);
    head.DoProcessMessages = false;
    uint64_t declared = 0;
    std::vector<uint8_t> bytes;
    if (head.Read(DataEntry, BaZStreamHeadSize, declared, bytes)) {
      const int64_t bound = BaZStreamBound(bytes, ViewBytes);
      if (declared > uint64_t(bound))
        throw EBaZFormatError(
            "The update file " + UpdateFile + " declares " + std::to_string(declared) +
            " bytes of data, more than its chart can need (" + std::to_string(bound) + ").");
    }
  }
  TUnZipper zip;
  zip.SetZipName(UpdateFile);
  zip.DoProcessMessages = false;
  zip.OnBadCRC = [&UpdateFile](const std::string&, uint32_t, uint32_t) {
    throw EStreamError("The update file " + UpdateFile + " is damaged (CRC error).");
  };
  zip.ExtractToStream(&Data, DataEntry);
  Data.SetPosition(0);
}

}  // namespace

TBaZFile::TBaZFile(const std::string& BaZFileName, const std::string& ChartFileName,
                   TBaZFileMode Mode, double& Date)
    : FChartFileName(ChartFileName),
      FChart(std::make_unique<TBaZBitmap>()),
      FStream(std::make_unique<TMemoryStream>()),
      FZip(std::make_unique<TZipper>()),
      FBaZFileName(BaZFileName),
      FMode(Mode) {
  FZip->SetZipName(BaZFileName);
  FZip->DoProcessMessages = false;
  int32_t chartDate = 0;
  {
    TZRNFile chart(ChartFileName, fmOpenRead, FChartEdition, chartDate);
    chart.ReadBitmap(*FChart);
    chart.Close();
  }
  FChart->SetWidth(FChart->Width());

  if (Mode == TBaZFileMode::Create) {
    WriteBaZHeader(*FStream, FChartEdition, Date);
    return;
  }
  ReadUpdateData(BaZFileName, *FStream, ViewBytes(FChart->Width(), FChart->Height()));
  const TBaZHeader header = ReadBaZHeader(*FStream);
  if (header.Edition != FChartEdition)
    throw EEditionError(EditionMessage(ChartFileName, BaZFileName));
  Date = header.Date;
}

TBaZFile::~TBaZFile() {
  // Only a created update is stored: rewriting the bytes a read-only update
  // already holds can only fail or damage the file.
  if (FMode == TBaZFileMode::Create && !FClosed) {
    try {
      Close();
    } catch (const Exception&) {
      // Callers that must know call Close() first.
    }
  }
}

void TBaZFile::Apply(TBaZBitmap& Target) {
  ApplyBaZStream(*FStream, std::move(*FChart), Target);
}

void TBaZFile::Close() {
  if (FClosed || FMode != TBaZFileMode::Create) {
    FClosed = true;
    return;
  }
  FClosed = true;
  FStream->SetPosition(0);
  if (FZip->StoreFromStream(FStream.get(), DataEntry) == 0)
    throw EStreamError("TBaZFile.Save: Couldn't save BaZ Stream.");
}

namespace {

// The updated bitmap of the chart image that Image locates in Chart, written
// and dated with the update's date.
void UpdateChartImage(const std::string& OutputFile, const std::string& ChartFile,
                      TChartBytes& Chart, const TZRNImage& Image, const std::string& UpdateFile,
                      bool Stamp) {
  TMemoryStream update;
  {
    const TBmpRowReader sheet(Chart.Data() + Image.Offset, Image.Size,
                              Chart.ArrivedFrom(Image.Offset));
    ReadUpdateData(UpdateFile, update, ViewBytes(sheet.Width(), sheet.Height()));
  }
  const TBaZHeader header = ReadBaZHeader(update);
  if (header.Edition != Image.Edition) throw EEditionError(EditionMessage(ChartFile, UpdateFile));
  const int32_t fileDate = DateTimeToFileDate(header.Date);
  if (fileDate == -1)
    throw EBaZFormatError("The update file " + UpdateFile + " carries no valid date.");
  // The date is the file's before it takes the installed name: a run cut
  // short between the two would leave an updated chart that looks old.
  WriteChartImage(OutputFile, Chart, Image, &update, Stamp ? UpdateStampText(header.Date) : "",
                  fileDate);
}

}  // namespace

void UpdateChartBitmap(const std::string& OutputFile, const std::string& ChartFile,
                       const std::string& UpdateFile, bool Stamp) {
  int32_t edition = 0, chartDate = 0;
  std::vector<uint8_t> image;
  {
    TZRNFile chart(ChartFile, fmOpenRead, edition, chartDate);
    chart.ReadBitmapFile(image);
    chart.Close();
  }
  TChartBytes bytes(image.data(), image.size());
  UpdateChartImage(OutputFile, ChartFile, bytes, {edition, 0, image.size()}, UpdateFile, Stamp);
}

void UpdateChartBitmap(const std::string& OutputFile, const std::string& ChartFile,
                       TChartBytes& Chart, const std::string& UpdateFile, bool Stamp) {
  const TZRNImage image = ReadZRNImage(Chart, ChartFile);
  UpdateChartImage(OutputFile, ChartFile, Chart, image, UpdateFile, Stamp);
}
