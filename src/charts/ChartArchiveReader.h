#pragma once
// Unpacking single entries of a chart-set archive held in memory, as the
// installation and the update run do it entry by entry: the navigation
// program's files into a folder, the chart files into memory.

#include <cstdint>
#include <functional>
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
  const std::string& ArchiveName() const { return FArchiveName; }
  // Unpacks one entry into the destination folder, replacing a file of that
  // name. A damaged entry raises; an entry the reader's rules skip gives false.
  bool Unpack(int Index);
  // The entry's size unpacked, as its header declares it, and its packed
  // date-time.
  uint64_t UnpackedSize(int Index) const;
  int32_t PackedDate(int Index) const;
  // Raises, on the calling thread, the error that tells why the entry cannot
  // be unpacked into memory (its method, encryption); the zip component's
  // message box, if any, comes first.
  void CheckUnpackable(int Index);
  // Unpacks a checked entry into Out, which has room for its UnpackedSize;
  // Arrived follows every block with the count of bytes there. Raises when
  // the entry is damaged. Shows nothing, so it may run on a thread of its
  // own while nothing else uses the reader or the archive.
  void UnpackInto(int Index, uint8_t* Out, const std::function<void(uint64_t Done)>& Arrived);
  // Raises the error that names the entry and why it could not be unpacked.
  [[noreturn]] void Fail(int Index) const;

 private:
  std::unique_ptr<TUnZipper> FZip;
  std::string FArchiveName;
  std::string FReason;
  bool FDamaged = false;
};
