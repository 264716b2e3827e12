#include "NavProgram.h"

#include "FileNameCase.h"
#include "Paths.h"
#include "QvRegistry.h"

const char* const NavProgramSettingsKey = "\\Software\\VB and VBA Program Settings\\RUR\\RUR";
const char* const NavAutoImportKey = "Software\\VB and VBA Program Settings\\RUR\\AutoImport\\";

namespace {

// Product keys under the local-machine root, newest generation first.
struct TProductKey {
  const char* Key;
  uint8_t Generation;
};
constexpr TProductKey ProductKeys[] = {
    {"\\Software\\Quorvel\\Koppix Pro\\3.0", 5},
    {"\\Software\\Quorvel\\KOPPIX Pro\\2.0", 4},
    {"\\Software\\Quorvel\\KOPPIX Pro\\1.7", 3},
};

constexpr const char* UninstallKeys[] = {
    "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KOPPIX Pro",
    "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KOPPIX Pro 3.0",
};

// A registry failure of any kind counts as "not there".
bool KeyExists(TRegRoot Root, const std::string& Key) {
  try {
    return RegKeyExists(Root, Key);
  } catch (const Exception&) {
    return false;
  }
}

std::string ReadNavString(const std::string& Name) {
  try {
    return RegReadRootString(TRegRoot::CurrentUser, NavProgramSettingsKey, Name, "");
  } catch (const Exception&) {
    return "";
  }
}

// Keeps the text up to and including the last folder delimiter: a folder
// name without a delimiter after it is not a folder of the result.
std::string LongFolderForm(const std::string& Path) {
  const size_t last = Path.find_last_of('/');
  return last == std::string::npos ? std::string() : Path.substr(0, last + 1);
}

}  // namespace

TNavProgramInfo DetectNavigationProgram() {
  TNavProgramInfo info;
  for (const TProductKey& product : ProductKeys) {
    if (KeyExists(TRegRoot::LocalMachine, product.Key)) {
      info.Generation = product.Generation;
      break;
    }
  }
  for (const char* key : UninstallKeys) {
    if (KeyExists(TRegRoot::LocalMachine, key)) info.UninstallEntry = true;
  }
  const std::string instDir = ReadNavString("InstDir");
  if (!instDir.empty())
    info.ProgramFile = !FindFileNoCase(IncludeTrailingPathDelimiter(instDir), "rur.exe").empty();
  return info;
}

std::string DefaultChartsFolder() {
  const TNavProgramInfo info = DetectNavigationProgram();
  if (info.Generation == 0 || !info.UninstallEntry || !info.ProgramFile) return "";
  if (!KeyExists(TRegRoot::CurrentUser, NavProgramSettingsKey)) return "";
  std::string result = ReadNavString("ChartDir");
  if (result.empty()) {
    const std::string instDir = ReadNavString("InstDir");
    if (!instDir.empty()) result = IncludeTrailingPathDelimiter(instDir) + "Charts";
  }
  if (!result.empty()) result = IncludeTrailingPathDelimiter(result);
  return LongFolderForm(result);
}
