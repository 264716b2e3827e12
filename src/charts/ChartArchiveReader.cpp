#include "ChartArchiveReader.h"

#include "QvDigitalCharts.h"
#include "UnZipper.h"

TChartArchiveReader::TChartArchiveReader(TMemoryStream& Archive, const std::string& ArchiveName,
                                         const std::string& DestFolder)
    : FZip(std::make_unique<TUnZipper>()), FArchiveName(ArchiveName) {
  FZip->SetArchiveStream(&Archive);
  FZip->OverwriteMode = TUZOverwriteMode::Always;
  FZip->DoProcessMessages = false;
  FZip->SetDestDir(DestFolder);
  FZip->OnSkippingFile = [this](const std::string&, const std::string& Reason) {
    FReason = Reason;
  };
  FZip->OnBadCRC = [this](const std::string&, uint32_t, uint32_t) {
    FReason = "the data is damaged (CRC error)";
    FDamaged = true;
  };
  FZip->ReadDirectory();
}

// The stream is detached before either is freed.
TChartArchiveReader::~TChartArchiveReader() {
  FZip->SetArchiveStream(nullptr);
}

int TChartArchiveReader::Count() const {
  return FZip->EntryCount();
}

const std::string& TChartArchiveReader::FileName(int Index) const {
  return FZip->Entry(Index).FileName;
}

bool TChartArchiveReader::Unpack(int Index) {
  FReason.clear();
  FDamaged = false;
  FZip->SetEntrySelected(Index, true);
  const int done = FZip->ExtractSelected();
  FZip->SetEntrySelected(Index, false);
  if (FDamaged) Fail(Index);
  return done == 1;
}

uint64_t TChartArchiveReader::UnpackedSize(int Index) const {
  return FZip->Entry(Index).Header.UncompressedSize;
}

int32_t TChartArchiveReader::PackedDate(int Index) const {
  return int32_t(FZip->Entry(Index).Header.DateTime());
}

void TChartArchiveReader::CheckUnpackable(int Index) {
  FReason.clear();
  if (!FZip->CanDecode(Index)) Fail(Index);
}

void TChartArchiveReader::UnpackInto(int Index, uint8_t* Out,
                                     const std::function<void(uint64_t Done)>& Arrived) {
  FReason.clear();
  FDamaged = false;
  if (!FZip->DecodeInto(Index, Out, Arrived) || FDamaged) Fail(Index);
}

void TChartArchiveReader::Fail(int Index) const {
  throw EZRNError("The file \"" + FileName(Index) + "\" could not be unpacked from " +
                  FArchiveName + ": " + (FReason.empty() ? "unknown reason" : FReason) + ".");
}
