#include "UpdateFiles.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

#include "TextUtils.h"

bool IsPlainFileName(const std::string& Name) {
  if (Name.empty() || Name[0] == '.') return false;
  for (const char c : Name)
    if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
  return true;
}

bool IsUpdateFileName(const std::string& Name) {
  const std::string ext = ExtractFileExt(Name);
  return IsPlainFileName(Name) && (SameText(ext, ".idx") || ext == ".120" || ext == ".240");
}

std::vector<std::string> UpdateFilesIn(const std::string& Folder) {
  std::vector<std::string> files;
  DIR* dir = ::opendir(Folder.c_str());
  if (!dir) return files;
  while (const dirent* d = ::readdir(dir)) {
    struct stat st {};
    const std::string full = Folder + d->d_name;
    if (IsUpdateFileName(d->d_name) && ::lstat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode))
      files.push_back(full);
  }
  ::closedir(dir);
  std::sort(files.begin(), files.end());
  return files;
}
