#include "ChartArchiveReader.h"

#include <cstdio>

#include "FileAttributes.h"
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

void TChartArchiveReader::Fail(int Index) const {
  throw EZRNError("The file \"" + FileName(Index) + "\" could not be unpacked from " +
                  FArchiveName + ": " + (FReason.empty() ? "unknown reason" : FReason) + ".");
}

void TIntermediateFile::Remove() {
  if (FileExists(FName)) {
    FileSetReadOnly(FName, false);
    std::remove(FName.c_str());
  }
}
