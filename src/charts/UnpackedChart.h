#pragma once
// The one way a chart of a set's archive becomes an installed bitmap, for
// the installation and the update run alike: the chart file is unpacked
// into memory (one block of its own size, never a file) and converted from
// there row by row. Where the machine has a second core the unpacking runs
// on a thread of its own and the conversion takes each row as soon as it
// has arrived; the caller's thread still does everything the user sees, in
// the same order, and an unpacking error still comes before any error of
// the conversion, as when the whole chart was unpacked first.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <string>
#include <thread>

#include "LargeMemory.h"
#include "QvDigitalCharts.h"

class TChartArchiveReader;

class TUnpackedChart : public TChartBytes {
 public:
  // Starts unpacking entry Index of Reader. The reader must outlive this
  // object and is not to be used meanwhile. Raises at once when the entry
  // cannot be unpacked at all (its method, encryption, its size).
  TUnpackedChart(TChartArchiveReader& Reader, int Index);
  // Stops an unpacking that still runs.
  ~TUnpackedChart() override;
  TUnpackedChart(const TUnpackedChart&) = delete;
  TUnpackedChart& operator=(const TUnpackedChart&) = delete;

  // The chart file's name in the archive.
  const std::string& Name() const { return FName; }
  // The date the chart file would carry unpacked on disk: the entry's date
  // as the file system keeps it.
  int32_t Date() const { return FDate; }

  bool Arriving() const override { return FThreaded; }
  size_t Arrived(size_t End) override;
  // Waits for the whole chart file; raises what ended the unpacking.
  void Complete() override;

 private:
  void Unpack();
  void Ended(std::exception_ptr Error);

  TChartArchiveReader& FReader;
  int FIndex;
  std::string FName;
  int32_t FDate = 0;
  TLargeBlock FBlock;
  bool FThreaded = false;
  std::atomic<size_t> FThere{0};
  std::atomic<bool> FStop{false};
  std::mutex FLock;
  std::condition_variable FChanged;
  bool FEnded = false;    // guarded by FLock, like the two below
  bool FWaiting = false;  // the caller waits for bytes
  std::exception_ptr FError;
  std::thread FThread;
};

// The installed bitmap of an unpacked chart as it is, dated with the
// chart's date.
void WriteInstalledChart(TUnpackedChart& Chart, const std::string& OutputFile, bool Stamp);
// The installed bitmap of an unpacked chart with the update file applied,
// the chart read as the file ChartFile would be, dated with the update's
// date.
void WriteUpdatedChart(TUnpackedChart& Chart, const std::string& ChartFile,
                       const std::string& OutputFile, const std::string& UpdateFile, bool Stamp);
