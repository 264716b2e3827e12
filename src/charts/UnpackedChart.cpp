#include "UnpackedChart.h"

#include <ctime>
#include <system_error>

#include "ChartArchiveReader.h"
#include "FileTimes.h"
#include "QvBaZFile.h"

namespace {

// Ends an unpacking whose chart is no longer wanted.
struct TUnpackStopped {};

// The largest chart file taken: a BMP file of the largest image the program
// takes on at 24 bits a pixel, with its rows' padding, headers and palette.
constexpr uint64_t MaxChartFileSize =
    14 + 14 + 1024 + 256 * 4 + 3 * uint64_t(MaxBitmapPixels) + 4 * uint64_t(MaxBitmapSide);

// The date a file unpacked from an entry of packed date EntryDate carries:
// the entry's local time as the file system keeps it (a time that a change
// to summer time skips moves as the system moves it), or the moment of
// unpacking when the entry's date is no date.
int32_t UnpackedFileDate(int32_t EntryDate) {
  const time_t t = FileDateToUnixTime(EntryDate);
  return UnixTimeToFileDate(t == time_t(-1) ? std::time(nullptr) : t);
}

// Runs Convert; when it raises, an error of the unpacking goes first.
template <class TConvert>
void UnpackingErrorsFirst(TUnpackedChart& Chart, TConvert&& Convert) {
  try {
    Convert();
  } catch (...) {
    Chart.Complete();
    throw;
  }
}

}  // namespace

TUnpackedChart::TUnpackedChart(TChartArchiveReader& Reader, int Index)
    : FReader(Reader), FIndex(Index), FName(Reader.FileName(Index)) {
  Reader.CheckUnpackable(Index);
  const uint64_t size = Reader.UnpackedSize(Index);
  if (size > MaxChartFileSize)
    throw EZRNError("The file \"" + FName + "\" in " + Reader.ArchiveName() +
                    " is larger than any chart file.");
  FDate = UnpackedFileDate(Reader.PackedDate(Index));
  FBlock = TLargeBlock(size_t(size));
  Attach(FBlock.Data(), FBlock.Size());
  // Set before the thread starts, which reads it.
  FThreaded = std::thread::hardware_concurrency() > 1;
  if (FThreaded) {
    try {
      FThread = std::thread([this] { Unpack(); });
    } catch (const std::system_error&) {
      // No second thread to be had: unpacked here, as on one core.
      FThreaded = false;
    }
  }
  if (!FThreaded) Unpack();
}

TUnpackedChart::~TUnpackedChart() {
  FStop = true;
  if (FThread.joinable()) FThread.join();
}

void TUnpackedChart::Unpack() {
  try {
    FReader.UnpackInto(FIndex, FBlock.Data(), [this](uint64_t Done) {
      FThere.store(size_t(Done), std::memory_order_release);
      if (FStop.load(std::memory_order_relaxed)) throw TUnpackStopped();
      if (!FThreaded) return;
      const std::lock_guard<std::mutex> lock(FLock);
      if (FWaiting) FChanged.notify_one();
    });
    Ended(nullptr);
  } catch (...) {
    Ended(std::current_exception());
  }
}

void TUnpackedChart::Ended(std::exception_ptr Error) {
  const std::lock_guard<std::mutex> lock(FLock);
  FEnded = true;
  FError = std::move(Error);
  FChanged.notify_all();
}

size_t TUnpackedChart::Arrived(size_t End) {
  size_t there = FThere.load(std::memory_order_acquire);
  if (there >= End) return there;
  std::unique_lock<std::mutex> lock(FLock);
  while ((there = FThere.load(std::memory_order_acquire)) < End && !FEnded) {
    FWaiting = true;
    FChanged.wait(lock);
  }
  FWaiting = false;
  if (there < End && FError) std::rethrow_exception(FError);
  return there;
}

void TUnpackedChart::Complete() {
  std::unique_lock<std::mutex> lock(FLock);
  FChanged.wait(lock, [this] { return FEnded; });
  if (FError) std::rethrow_exception(FError);
}

void WriteInstalledChart(TUnpackedChart& Chart, const std::string& OutputFile, bool Stamp) {
  UnpackingErrorsFirst(
      Chart, [&] { ConvertChartBitmap(OutputFile, Chart.Name(), Chart, Chart.Date(), Stamp); });
}

void WriteUpdatedChart(TUnpackedChart& Chart, const std::string& ChartFile,
                       const std::string& OutputFile, const std::string& UpdateFile, bool Stamp) {
  UnpackingErrorsFirst(Chart,
                       [&] { UpdateChartBitmap(OutputFile, ChartFile, Chart, UpdateFile, Stamp); });
}
