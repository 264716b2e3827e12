#include "ChartMedium.h"

#include <filesystem>

#include "FileAttributes.h"
#include "Paths.h"
#include "Volumes.h"

namespace fs = std::filesystem;

namespace {

bool IsArchiveName(const std::string& Name) {
  if (Name.size() <= 4) return false;
  std::string ext = Name.substr(Name.size() - 4);
  for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return ext == ".zra";
}

}  // namespace

bool HoldsChartArchives(const std::string& Folder) {
  std::error_code ec;
  for (const auto& entry :
       fs::directory_iterator(IncludeTrailingPathDelimiter(Folder) + "Charts", ec)) {
    if (IsArchiveName(entry.path().filename().string()) && entry.is_regular_file(ec)) return true;
  }
  return false;
}

std::string ChartMediumFolder(const std::string& ProgramFolder) {
  const std::string own = IncludeTrailingPathDelimiter(ProgramFolder);
  if (DirectoryExists(own + "Charts")) return own;
  for (const TVolumeInfo& volume : Volumes().List()) {
    // Looking into an automounter's folder would mount whatever it names.
    if (volume.FileSystem == "autofs") continue;
    if (HoldsChartArchives(volume.MountPoint))
      return IncludeTrailingPathDelimiter(volume.MountPoint);
  }
  return own;
}
