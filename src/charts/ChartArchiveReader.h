#pragma once
// Unpacking single entries of a chart-set archive held in memory, as the
// installation and the update run do it chart by chart, and the unpacked
// chart file that must not outlive the chart it was unpacked for.

#include <memory>
#include <string>

#include "Streams.h"

class TUnZipper;

// The reader of one set's archive, fed from the in-memory archive (which
// stays the caller's and must outlive the reader).
class TChartArchiveReader {
 public:
  TChartArchiveReader(TMemoryStream& Archive, const std::string& ArchiveName,
                      const std::string& DestFolder);
  ~TChartArchiveReader();
  TChartArchiveReader(const TChartArchiveReader&) = delete;
  TChartArchiveReader& operator=(const TChartArchiveReader&) = delete;

  int Count() const;
  // The entry's name without folders.
  const std::string& FileName(int Index) const;
  // Unpacks one entry into the destination folder, replacing a file of that
  // name. A damaged entry raises; an entry the reader's rules skip gives false.
  bool Unpack(int Index);
  // Raises the error that names the entry and why it could not be unpacked.
  [[noreturn]] void Fail(int Index) const;

 private:
  std::unique_ptr<TUnZipper> FZip;
  std::string FArchiveName;
  std::string FReason;
  bool FDamaged = false;
};

// A file unpacked only to be converted; removed on every way out, so that
// no chart file is left behind, also when the conversion fails.
class TIntermediateFile {
 public:
  explicit TIntermediateFile(std::string Name) : FName(std::move(Name)) {}
  ~TIntermediateFile() { Remove(); }
  TIntermediateFile(const TIntermediateFile&) = delete;
  TIntermediateFile& operator=(const TIntermediateFile&) = delete;
  void Remove();
  const std::string& Name() const { return FName; }

 private:
  std::string FName;
};
