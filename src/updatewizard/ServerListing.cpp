#include "ServerListing.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "TextUtils.h"
#include "UpdateFiles.h"

namespace {

// The distance from the space before the name back to the size's last
// character: " Jun 02 09:30 " or " Jun 02  2003 ".
constexpr size_t SizeEndOffset = 14;

int64_t ListedSize(const std::string& Line, size_t NameSpace) {
  std::string token;
  if (NameSpace >= SizeEndOffset) {
    const size_t end = NameSpace - SizeEndOffset + 1;
    size_t start = Line.find_last_of(' ', end - 1);
    start = start == std::string::npos ? 0 : start + 1;
    token = Line.substr(start, end - start);
  }
  // An integer of 32 bits, as the listing's field was read.
  errno = 0;
  char* stop = nullptr;
  const long long value = token.empty() ? 0 : std::strtoll(token.c_str(), &stop, 10);
  if (token.empty() || *stop != '\0' || errno != 0 || value < INT32_MIN || value > INT32_MAX)
    throw EConvertError("'" + token + "' is not a valid integer value");
  return value;
}

}  // namespace

std::vector<TRemoteFile> ParseServerListing(const std::string& Listing) {
  std::vector<TRemoteFile> files;
  size_t pos = 0;
  while (pos < Listing.size()) {
    size_t end = Listing.find('\n', pos);
    if (end == std::string::npos) end = Listing.size();
    std::string line = Listing.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string ext = ExtractFileExt(line);
    if (ext != ".idx" && ext != ".120" && ext != ".240") continue;
    const size_t space = line.find_last_of(' ');
    const std::string name = space == std::string::npos ? line : line.substr(space + 1);
    // Names become local file names: only plain ones.
    if (!IsUpdateFileName(name)) continue;
    files.push_back({name, ListedSize(line, space == std::string::npos ? 0 : space)});
  }
  return files;
}

const TRemoteFile* FindRemoteFile(const std::vector<TRemoteFile>& Files, const std::string& Name) {
  for (const TRemoteFile& f : Files)
    if (SameText(f.Name, Name)) return &f;
  return nullptr;
}
