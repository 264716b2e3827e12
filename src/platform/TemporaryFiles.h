#pragma once
// The program's temporary files. A writer that replaces a file writes a new
// file beside it and renames it over the target, so the target is always
// either the old or the complete new file. The temporary name tells which
// process made it:
//
//   .zrn-<pid>-<start>-<n>-<target name, at most 40 bytes>
//
// <pid> and <start> (the process's start time in clock ticks after boot, 0
// when unknown) name the writer, <n> counts within that process. A run that
// dies (killed, power lost) leaves such files behind; a later run removes
// them with SweepTemporaryFiles once their writer no longer runs, and never
// touches the files of a copy that still runs nor any other name. Folders of
// such names (TTemporaryFolder) hold files that keep their own names.

#include <sys/types.h>

#include <cstdint>
#include <string>

#include "Exception.h"

// A fresh temporary name beside Target (same folder); nothing is created.
std::string TemporaryNameBeside(const std::string& Target);

// Creates a new, empty temporary file beside Target (never an existing one)
// with Mode before the umask. Returns the open descriptor and sets Name, or
// returns -1 with errno set.
int CreateTemporaryBeside(const std::string& Target, std::string& Name, mode_t Mode);

// True when FileName (without folder) has the form above; Pid and Start
// receive its writer.
bool ParseTemporaryName(const std::string& FileName, pid_t& Pid, uint64_t& Start);

// True while the process Pid runs and (when Start is not 0) is the one that
// started at Start, not a later process that got the same number. A process
// that cannot be looked at counts as running.
bool ProcessRuns(pid_t Pid, uint64_t Start);

// The start time of this process as the temporary names record it.
uint64_t OwnProcessStart();

// A private folder (mode 0700) of a temporary name beside Target, for files
// that must keep their own names while they are worked on. It is removed
// with the files in it when the object goes. Raises EOSError when it cannot
// be made.
class TTemporaryFolder {
 public:
  explicit TTemporaryFolder(const std::string& Target);
  ~TTemporaryFolder();
  TTemporaryFolder(const TTemporaryFolder&) = delete;
  TTemporaryFolder& operator=(const TTemporaryFolder&) = delete;

  // Ends in "/".
  const std::string& Path() const { return FPath; }

 private:
  std::string FPath;
};

// Removes from Folder every file and every temporary folder (with the files
// in it) of a temporary name whose writer no longer runs. Folders below are
// not searched. Returns the number of names removed from Folder; a folder
// that cannot be read gives 0.
int SweepTemporaryFiles(const std::string& Folder);
