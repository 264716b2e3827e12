#include "Paths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace {

std::string EnvOrEmpty(const char* Name) {
  const char* v = std::getenv(Name);
  return v ? std::string(v) : std::string();
}

bool IsFolder(const std::string& Path) {
  struct stat st {};
  return ::stat(Path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string IncludeTrailingPathDelimiter(const std::string& Path) {
  if (!Path.empty() && Path.back() == '/') return Path;
  return Path + "/";
}

std::string ExcludeTrailingPathDelimiter(const std::string& Path) {
  std::string r = Path;
  while (r.size() > 1 && r.back() == '/') r.pop_back();
  return r;
}

std::string GetTempFolder() {
  std::string t = EnvOrEmpty("TMPDIR");
  return IncludeTrailingPathDelimiter(t.empty() ? "/tmp" : t);
}

std::string GetHomeFolder() {
  std::string h = EnvOrEmpty("HOME");
  if (h.empty()) {
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) h = pw->pw_dir;
  }
  return IncludeTrailingPathDelimiter(h.empty() ? "/" : h);
}

std::string GetSettingsFolder() {
  std::string z = EnvOrEmpty("ZARNAVIS_HOME");
  if (!z.empty()) return IncludeTrailingPathDelimiter(z);
  std::string x = EnvOrEmpty("XDG_CONFIG_HOME");
  if (!x.empty()) return IncludeTrailingPathDelimiter(x) + "zarnavis/";
  return GetHomeFolder() + ".config/zarnavis/";
}

std::string NearestExistingFolder(const std::string& Path) {
  std::filesystem::path p = std::filesystem::absolute(Path.empty() ? "." : Path).lexically_normal();
  while (!p.empty()) {
    std::string s = p.string();
    if (IsFolder(s)) return IncludeTrailingPathDelimiter(s);
    if (p == p.root_path()) break;
    p = p.parent_path();
  }
  return "/";
}

std::string FullFolderName(const std::string& Folder) {
  if (Folder.empty()) return {};
  std::error_code ec;
  const std::filesystem::path full = std::filesystem::absolute(Folder, ec);
  return IncludeTrailingPathDelimiter(ec ? Folder : full.lexically_normal().string());
}
