#include "QvBaZFile.h"

#include "FileTimes.h"
#include "Zipper.h"

namespace {

const char* const DataEntry = "Data";

std::string EditionMessage(const std::string& ChartFile, const std::string& BaZFile) {
  return "\"" + ChartFile + "\" and\r\"" + BaZFile +
         "\"\r\rThe files are not of the same chart edition.";
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
  FZip->OnBadCRC = [this](const std::string&, uint32_t, uint32_t) {
    throw EStreamError("The update file " + FBaZFileName + " is damaged (CRC error).");
  };
  FZip->ExtractToStream(FStream.get(), DataEntry);
  FStream->SetPosition(0);
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
  ApplyBaZStream(*FStream, *FChart, Target);
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

void UpdateChartBitmap(const std::string& OutputFile, const std::string& ChartFile,
                       const std::string& UpdateFile, bool Stamp) {
  TBaZBitmap target;
  double date = 0;
  {
    TBaZFile update(UpdateFile, ChartFile, TBaZFileMode::Read, date);
    update.Apply(target);
  }
  const int32_t fileDate = DateTimeToFileDate(date);
  if (fileDate == -1)
    throw EBaZFormatError("The update file " + UpdateFile + " carries no valid date.");
  if (Stamp) DrawStampText(target, UpdateStampText(date));
  WriteBitmapFile(OutputFile, target);
  if (!FileSetDate(OutputFile, fileDate))
    throw EStreamError("Cannot set the date of " + OutputFile);
}
