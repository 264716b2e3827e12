#pragma once
// The private folder of one update run: the fetched index and update files
// lie there while the run lasts (the charts are unpacked into memory).
//
// The shared temporary folder belongs to every user, so the folder is made
// new with mkdtemp (mode 0700, prefix "zrn-") under $XDG_RUNTIME_DIR when
// that is set, else under the temporary folder, and nothing in it is ever
// followed through a symbolic link while it is emptied or removed. A run
// holds a lock on the file ".lock" inside its folder for its whole life;
// the folder of a run that was killed is swept by the next one.

#include <atomic>
#include <string>
#include <thread>
#include <vector>

class TWorkFolder {
 public:
  // Raises EOSError when no folder can be made.
  TWorkFolder();
  // Removes the folder with everything in it.
  ~TWorkFolder();
  TWorkFolder(const TWorkFolder&) = delete;
  TWorkFolder& operator=(const TWorkFolder&) = delete;

  // Ends in "/".
  const std::string& Path() const { return FPath; }
  // Removes everything inside (except the lock), keeping the folder.
  void Clear();
  // Makes the files Names (plain names; others are left out) in the folder,
  // empty, in their order, on a thread of its own; one that is there stays
  // as it is. On some file systems making a file costs more than fetching
  // a small one, so the downloads make theirs ahead and then only open
  // them. A call stops what an earlier one still had to make.
  void MakeFilesAhead(std::vector<std::string> Names);

 private:
  void StopMakingFiles();

  std::string FPath;
  int FLock = -1;
  std::thread FMaker;
  std::atomic<bool> FStopMaking{false};
};

// Where work folders are made: $XDG_RUNTIME_DIR when it names a folder, else
// the temporary folder. Ends in "/".
std::string WorkFolderParent();

// Removes the work folders under Parent that belong to this user and whose
// run has ended without removing them (its lock is free). Returns how many.
int SweepStaleWorkFolders(const std::string& Parent);

// Removes Path and everything below it without following any symbolic link
// (a link is removed, not what it points to). False when something stayed.
bool RemoveTreeNoFollow(const std::string& Path);
