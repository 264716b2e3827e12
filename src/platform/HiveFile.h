#pragma once
// One hive on disk. Reading takes the file as it is; a change takes an
// advisory lock, re-reads the file (another running copy may have written
// meanwhile), applies the change and saves atomically: a temporary file in
// the same folder, written and flushed to disk, is renamed over the hive, so
// the hive is always either the old or the new text. The file has mode 0600.
// A hive that cannot be parsed is never overwritten. A temporary file that
// a killed save left behind is removed by the next change, under the lock.

#include <sys/types.h>

#include <functional>
#include <string>

#include "RegistryHive.h"

// The hive file or its folder cannot be read, created or written.
ZARNAVIS_DECLARE_EXCEPTION(EHiveIOError, Exception);
// ... because the disk is full; the message says so and names the hive.
ZARNAVIS_DECLARE_EXCEPTION(EHiveDiskFullError, EHiveIOError);

class THiveFile {
 public:
  THiveFile(std::string FileName, std::string Root);

  const std::string& FileName() const { return FFileName; }
  const std::string& Root() const { return FRoot; }

  // The hive as the file holds it now; a missing file is an empty hive.
  // Raises EHiveError (cannot be parsed) or EHiveIOError (cannot be read).
  const THive& Read();
  // Raises EHiveError when the file cannot be parsed (the file stays as it
  // was), EHiveIOError when it cannot be written (EHiveDiskFullError for a
  // full disk); Change is not applied then.
  void Update(const std::function<void(THive&)>& Change);

 private:
  struct TStamp {
    dev_t Device = 0;
    ino_t Inode = 0;
    off_t Size = -1;
    int64_t ModifiedNs = 0;
    int64_t ChangedNs = 0;
    bool operator==(const TStamp&) const = default;
  };
  // Reads and parses the file into FCache unless FStamp shows it unchanged.
  void Refresh();
  void Save(const THive& Hive);
  std::string TemporaryName() const { return FFileName + ".new"; }
  [[noreturn]] void FailIO(const std::string& What, int Error) const;

  std::string FFileName;
  std::string FRoot;
  THive FCache;
  TStamp FStamp;
  bool FCached = false;
};
