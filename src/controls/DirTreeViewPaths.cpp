#include "DirTreeViewPaths.h"

#include <strings.h>
#include <unistd.h>

#include <climits>
#include <memory>

#include "Paths.h"

std::string CurrentFolder() {
  std::unique_ptr<char, void (*)(void*)> cwd(::getcwd(nullptr, 0), ::free);
  return IncludeTrailingPathDelimiter(cwd ? std::string(cwd.get()) : std::string("/"));
}

std::string NormalizePath(const std::string& Path, const std::string& Base) {
  std::string full = Path;
  if (full.empty() || full[0] != '/') full = (Base.empty() ? CurrentFolder() : Base) + "/" + full;
  std::vector<std::string> parts;
  for (const std::string& part : SplitPath(full)) {
    if (part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  std::string result;
  for (const std::string& part : parts) result += "/" + part;
  if (result.empty()) return "/";
  if (Path.size() > 1 && Path.back() == '/') result += "/";
  return result;
}

bool IsPathPrefix(const std::string& Root, const std::string& Path) {
  return Path.size() >= Root.size() && Path.compare(0, Root.size(), Root) == 0;
}

bool IsPathPrefixNoCase(const std::string& Root, const std::string& Path) {
  return Path.size() >= Root.size() && ::strncasecmp(Path.c_str(), Root.c_str(), Root.size()) == 0;
}

std::vector<std::string> SplitPath(const std::string& Relative) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start < Relative.size()) {
    size_t slash = Relative.find('/', start);
    if (slash == std::string::npos) slash = Relative.size();
    if (slash > start) parts.push_back(Relative.substr(start, slash - start));
    start = slash + 1;
  }
  return parts;
}

std::string LastPathComponent(const std::string& Path) {
  const std::string p = ExcludeTrailingPathDelimiter(Path);
  return p.substr(p.rfind('/') + 1);
}

std::string ParentFolder(const std::string& Path) {
  const std::string p = Path.size() > 1 ? ExcludeTrailingPathDelimiter(Path) : Path;
  if (p == "/" || p.empty()) return "";
  const size_t slash = p.rfind('/');
  if (slash == std::string::npos) return "";
  return slash == 0 ? "/" : p.substr(0, slash);
}

bool IsValidFolderName(const std::string& Name) {
  return !Name.empty() && Name != "." && Name != ".." && Name.find('/') == std::string::npos &&
         Name.find('\0') == std::string::npos;
}
