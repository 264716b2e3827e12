#include "DirTreeViewFilter.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <set>

#include "DirTreeViewTrash.h"
#include "FileAttributes.h"
#include "Paths.h"

namespace {

std::string Lower(std::string Text) {
  for (char& c : Text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return Text;
}

// Names that mark a recycle-bin folder wherever they stand.
bool IsRecycleBinName(const std::string& Name) {
  const std::string lower = Lower(Name);
  if (lower == "recycled" || lower == "recycler" || lower == "$recycle.bin") return true;
  return Name == ".Trash" || Name.rfind(".Trash-", 0) == 0;
}

bool IsFolder(const std::string& Path) {
  struct stat st {};
  return ::stat(Path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Calls Visit with each subfolder's name until it returns false.
void ForEachSubfolder(const std::string& Folder, const TDirFilter& Filter,
                      const std::function<bool(const std::string&)>& Visit) {
  const std::string base = IncludeTrailingPathDelimiter(Folder);
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(base.c_str()), ::closedir);
  if (!dir) return;
  while (dirent* entry = ::readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    const bool maybeFolder =
        entry->d_type == DT_DIR || entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN;
    if (!maybeFolder || !IsFolder(base + name)) continue;
    if (!Filter.Passes(base + name + "/")) continue;
    if (!Visit(name)) return;
  }
}

}  // namespace

bool IsBelowRecycleBin(const std::string& Path) {
  const std::string path = IncludeTrailingPathDelimiter(Path);
  const std::string homeTrash = HomeTrashFolder();
  if (path.size() > homeTrash.size() && path.compare(0, homeTrash.size(), homeTrash) == 0)
    return true;
  // Every component but the last.
  size_t start = 1;
  const size_t last = path.rfind('/', path.size() - 2);
  while (start <= last && last != std::string::npos) {
    const size_t slash = path.find('/', start);
    if (slash == std::string::npos || slash > last) break;
    if (IsRecycleBinName(path.substr(start, slash - start))) return true;
    start = slash + 1;
  }
  return false;
}

bool TDirFilter::Passes(const std::string& Path) const {
  if (!GoBelowRecycleBin && IsBelowRecycleBin(Path)) return false;
  if (OnAddDir) {
    bool accept = true;
    OnAddDir(IncludeTrailingPathDelimiter(Path), accept);
    if (!accept) return false;
  }
  if (DirType & dtAll) return true;
  // There is no system attribute here; read-only is the missing owner write
  // bit and hidden a name starting with ".".
  const bool readOnly = FileIsReadOnly(Path);
  const bool hidden = FileIsHidden(Path);
  if (!readOnly && !hidden) return (DirType & dtNormal) != 0;
  if (readOnly && !(DirType & dtReadOnly)) return false;
  if (hidden && !(DirType & dtHidden)) return false;
  return true;
}

std::vector<std::string> ListSubfolders(const std::string& Folder, const TDirFilter& Filter) {
  std::vector<std::string> names;
  ForEachSubfolder(Folder, Filter, [&](const std::string& Name) {
    names.push_back(Name);
    return true;
  });
  std::sort(names.begin(), names.end(), [](const std::string& A, const std::string& B) {
    const int c = ::strcasecmp(A.c_str(), B.c_str());
    return c != 0 ? c < 0 : A < B;
  });
  return names;
}

bool HasSubfolder(const std::string& Folder, const TDirFilter& Filter) {
  bool found = false;
  ForEachSubfolder(Folder, Filter, [&](const std::string&) {
    found = true;
    return false;
  });
  return found;
}

bool IsNetworkFileSystem(const std::string& FileSystem) {
  static const std::set<std::string> network = {
      "nfs",        "nfs4",        "cifs",  "smb3",           "smbfs",
      "ncpfs",      "afs",         "9p",    "ceph",           "glusterfs",
      "fuse.sshfs", "fuse.davfs2", "davfs", "fuse.glusterfs", "fuse.rclone"};
  return network.count(FileSystem) != 0;
}
