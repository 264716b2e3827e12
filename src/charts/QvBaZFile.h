#pragma once
// Update files: a zip archive with one entry "Data" holding the update
// stream, opened against the chart file it updates; and the operation that
// turns a chart and its update into an installed bitmap.

#include <memory>
#include <string>

#include "QvDigitalCharts.h"

class TZipper;

enum class TBaZFileMode { Read, Create };

class TBaZFile {
 public:
  // Loads the chart from ChartFileName. Read mode: extracts "Data" and
  // checks magic and edition; Date returns the update date and the stream is
  // left just after it. Create mode: starts a stream with the magic, the
  // chart's edition and Date, stored as "Data" by Close().
  TBaZFile(const std::string& BaZFileName, const std::string& ChartFileName, TBaZFileMode Mode,
           double& Date);
  // A created update is stored by Close(); the destructor stores it only
  // when Close() was not called and swallows a failure.
  ~TBaZFile();
  TBaZFile(const TBaZFile&) = delete;
  TBaZFile& operator=(const TBaZFile&) = delete;

  // Builds the updated sheet in Target; the chart's image is used up.
  void Apply(TBaZBitmap& Target);
  // Create mode: stores the stream as the entry "Data" of the update file.
  void Close();

  TMemoryStream& Stream() { return *FStream; }
  TBaZBitmap& Chart() { return *FChart; }
  int32_t ChartEditionOfFile() const { return FChartEdition; }

 private:
  std::string FChartFileName;
  std::unique_ptr<TBaZBitmap> FChart;
  std::unique_ptr<TMemoryStream> FStream;
  std::unique_ptr<TZipper> FZip;
  std::string FBaZFileName;
  TBaZFileMode FMode;
  int32_t FChartEdition = 0;
  bool FClosed = false;
};

// Writes the chart updated by the update file as an installed bitmap dated
// with the update date. Nothing is written when the chart or the update is
// faulty.
void UpdateChartBitmap(const std::string& OutputFile, const std::string& ChartFile,
                       const std::string& UpdateFile, bool Stamp);
// The same with the chart file's bytes in Chart (read as the file
// ChartFile, which need not exist).
void UpdateChartBitmap(const std::string& OutputFile, const std::string& ChartFile,
                       TChartBytes& Chart, const std::string& UpdateFile, bool Stamp);
