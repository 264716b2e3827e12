#include "ServerListing.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "TextUtils.h"
#include "UpdateFiles.h"

namespace {

// The distance from the space before the name back to the size's last
// character: " Jun 02 09:30 " or " Jun 02  2003 ".
constexpr size_t SizeEndOffset = 14;

// An integer of 32 bits, as the listing's field was read.
int64_t SizeValue(const std::string& Token) {
  errno = 0;
  char* stop = nullptr;
  const long long value = Token.empty() ? 0 : std::strtoll(Token.c_str(), &stop, 10);
  if (Token.empty() || *stop != '\0' || errno != 0 || value < INT32_MIN || value > INT32_MAX)
    throw EConvertError("'" + Token + "' is not a valid integer value");
  return value;
}

int64_t ListedSize(const std::string& Line, size_t NameSpace) {
  std::string token;
  if (NameSpace >= SizeEndOffset) {
    const size_t end = NameSpace - SizeEndOffset + 1;
    size_t start = Line.find_last_of(' ', end - 1);
    start = start == std::string::npos ? 0 : start + 1;
    token = Line.substr(start, end - start);
  }
  return SizeValue(token);
}

// Reads the characters of a listing line one field after the other.
class TLineCursor {
 public:
  explicit TLineCursor(const std::string& Line) : FLine(Line) {}
  // Between Min and Max digits; false when fewer come.
  bool Digits(size_t Min, size_t Max, std::string* Taken = nullptr) {
    const size_t start = FPos;
    while (FPos < FLine.size() && FPos - start < Max && std::isdigit(uint8_t(FLine[FPos]))) ++FPos;
    if (Taken) *Taken = FLine.substr(start, FPos - start);
    return FPos - start >= Min;
  }
  bool Char(char C) {
    if (FPos >= FLine.size() || FLine[FPos] != C) return false;
    ++FPos;
    return true;
  }
  bool Word(const char* W) {
    for (size_t i = 0; W[i]; ++i)
      if (FPos + i >= FLine.size() || std::toupper(uint8_t(FLine[FPos + i])) != W[i]) return false;
    FPos += std::char_traits<char>::length(W);
    return true;
  }
  // One space or more.
  bool Spaces() {
    const size_t start = FPos;
    while (FPos < FLine.size() && FLine[FPos] == ' ') ++FPos;
    return FPos > start;
  }
  std::string Rest() const { return FLine.substr(FPos); }

 private:
  const std::string& FLine;
  size_t FPos = 0;
};

// A line in the MS-DOS style of Windows FTP services:
// "12-08-03  07:56AM       2435 180101.120", a folder with "<DIR>" for the
// size, the year also in four digits and the time also in 24 hours. The
// name is all after the size and its spaces. False for any other line.
bool ReadDosLine(const std::string& Line, std::string& Name, std::string& Size, bool& Folder) {
  TLineCursor c(Line);
  if (!c.Digits(2, 2) || !c.Char('-') || !c.Digits(2, 2) || !c.Char('-') || !c.Digits(2, 4) ||
      !c.Spaces() || !c.Digits(1, 2) || !c.Char(':') || !c.Digits(2, 2))
    return false;
  if (!c.Word("AM")) c.Word("PM");
  if (!c.Spaces()) return false;
  Folder = c.Word("<DIR>");
  if (!Folder && !c.Digits(1, 20, &Size)) return false;
  if (!c.Spaces()) return false;
  Name = c.Rest();
  return !Name.empty();
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
    std::string name, size;
    bool folder = false;
    if (ReadDosLine(line, name, size, folder)) {
      if (!folder && IsUpdateFileName(name)) files.push_back({name, SizeValue(size)});
      continue;
    }
    const size_t space = line.find_last_of(' ');
    name = space == std::string::npos ? line : line.substr(space + 1);
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
