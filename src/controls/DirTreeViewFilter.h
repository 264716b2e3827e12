#pragma once
// Which folders the directory tree lists, and reading them. No Qt here.

#include <functional>
#include <string>
#include <vector>

// Attribute filter of the listed folders, as a set of these bits.
enum TDirTypeFlag : unsigned {
  dtReadOnly = 1u << 0,
  dtHidden = 1u << 1,
  dtSystem = 1u << 2,
  dtNormal = 1u << 3,
  dtAll = 1u << 4,
};
using TDirTypes = unsigned;

// Called for every folder about to be listed; clearing Accept hides it.
using TAddDirEvent = std::function<void(const std::string& Path, bool& Accept)>;

struct TDirFilter {
  bool GoBelowRecycleBin = true;
  TDirTypes DirType = dtNormal | dtAll;
  TAddDirEvent OnAddDir;

  // Path ends in "/" or not; the folder must exist for the attribute checks.
  bool Passes(const std::string& Path) const;
};

// True when Path lies below a recycle-bin folder (the folder itself is not
// below one): the home trash, a volume's ".Trash-<uid>" or ".Trash", or the
// recycle-bin folders of disks that came from Windows machines.
bool IsBelowRecycleBin(const std::string& Path);

// Names of the subfolders of Folder ("." and ".." excluded) that pass the
// filter, sorted without regard to case. Links to folders count as folders.
std::vector<std::string> ListSubfolders(const std::string& Folder, const TDirFilter& Filter);
// Whether at least one subfolder of Folder passes the filter; stops at the first.
bool HasSubfolder(const std::string& Folder, const TDirFilter& Filter);

// File systems reached over the network (left out unless the tree allows them).
bool IsNetworkFileSystem(const std::string& FileSystem);
