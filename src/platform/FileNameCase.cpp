#include "FileNameCase.h"

#include <dirent.h>

#include "FileAttributes.h"
#include "TextUtils.h"

std::string FindFileNoCase(const std::string& Folder, const std::string& Name) {
  if (FileExists(Folder + Name)) return Folder + Name;
  // A name with a folder in it is no entry of this folder.
  if (Name.empty() || Name.find('/') != std::string::npos) return "";
  std::string found;
  DIR* dir = ::opendir(Folder.empty() ? "." : Folder.c_str());
  if (!dir) return "";
  while (const dirent* d = ::readdir(dir)) {
    const std::string entry = d->d_name;
    if (SameText(entry, Name) && (found.empty() || Folder + entry < found) &&
        FileExists(Folder + entry))
      found = Folder + entry;
  }
  ::closedir(dir);
  return found;
}

std::string ExistingFileName(const std::string& Folder, const std::string& Name) {
  const std::string found = FindFileNoCase(Folder, Name);
  return found.empty() ? Folder + Name : found;
}
