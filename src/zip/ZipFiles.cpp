#include "ZipFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

uint32_t UnixTimeToPacked(time_t Time) {
  struct tm t {};
  localtime_r(&Time, &t);
  if (t.tm_year < 80) return (0u << 25) | (1u << 21) | (1u << 16);
  if (t.tm_year > 207)
    return (127u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u;
  const uint32_t date =
      (uint32_t(t.tm_year - 80) << 9) | (uint32_t(t.tm_mon + 1) << 5) | uint32_t(t.tm_mday);
  const uint32_t time =
      (uint32_t(t.tm_hour) << 11) | (uint32_t(t.tm_min) << 5) | uint32_t(t.tm_sec / 2);
  return (date << 16) | time;
}

time_t PackedToUnixTime(uint32_t Packed) {
  struct tm t {};
  const uint32_t date = Packed >> 16, time = Packed & 0xFFFF;
  t.tm_year = static_cast<int>((date >> 9) & 0x7F) + 80;
  t.tm_mon = static_cast<int>((date >> 5) & 0x0F) - 1;
  t.tm_mday = static_cast<int>(date & 0x1F);
  t.tm_hour = static_cast<int>((time >> 11) & 0x1F);
  t.tm_min = static_cast<int>((time >> 5) & 0x3F);
  t.tm_sec = static_cast<int>(time & 0x1F) * 2;
  t.tm_isdst = -1;
  if (t.tm_mon < 0 || t.tm_mon > 11 || t.tm_mday < 1) return -1;
  return mktime(&t);
}

bool GetFilePackedTime(const std::string& FileName, uint32_t& Packed) {
  struct stat st {};
  if (::stat(FileName.c_str(), &st) != 0) return false;
  Packed = UnixTimeToPacked(st.st_mtime);
  return true;
}

void SetFilePackedTime(const std::string& FileName, uint32_t Packed) {
  const time_t t = PackedToUnixTime(Packed);
  if (t == -1) return;
  struct timespec times[2] = {{t, 0}, {t, 0}};
  (void)::utimensat(AT_FDCWD, FileName.c_str(), times, 0);
}

bool PathExists(const std::string& Name) {
  struct stat st {};
  return ::lstat(Name.c_str(), &st) == 0;
}

bool PathIsReadOnly(const std::string& Name) {
  struct stat st {};
  return ::stat(Name.c_str(), &st) == 0 && (st.st_mode & S_IWUSR) == 0;
}

bool PathSetReadOnly(const std::string& Name, bool ReadOnly) {
  struct stat st {};
  if (::stat(Name.c_str(), &st) != 0) return false;
  mode_t mode = st.st_mode & 07777;
  mode = ReadOnly ? (mode & ~mode_t(0222)) : (mode | S_IWUSR);
  return ::chmod(Name.c_str(), mode) == 0;
}

bool MakeFolders(const std::string& Dir) {
  if (Dir.empty()) return true;
  struct stat st {};
  if (::stat(Dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  const std::string parent = FolderOf(Dir);
  if (!parent.empty() && parent != Dir && !MakeFolders(parent)) return false;
  return ::mkdir(Dir.c_str(), 0777) == 0 || errno == EEXIST;
}

std::string FolderOf(const std::string& Path) {
  const size_t slash = Path.find_last_of('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? "/" : Path.substr(0, slash);
}

std::string LastNameOf(const std::string& Path) {
  const size_t slash = Path.find_last_of('/');
  return slash == std::string::npos ? Path : Path.substr(slash + 1);
}

namespace {

mode_t CurrentUmask() {
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return mask;
}

}  // namespace

TZipTempFile::TZipTempFile(const std::string& Target) : FTarget(Target) {
  std::string folder = FolderOf(Target);
  if (folder.empty()) folder = ".";
  std::string pattern = folder + "/.zrn-" + LastNameOf(Target).substr(0, 40) + "-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  FHandle = ::mkostemp(buf.data(), O_CLOEXEC);
  if (FHandle >= 0) FName = buf.data();
}

TZipTempFile::~TZipTempFile() {
  Discard();
}

bool TZipTempFile::Write(const uint8_t* Data, size_t Count) {
  while (Count > 0) {
    const ssize_t n = ::write(FHandle, Data, Count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    Data += n;
    Count -= static_cast<size_t>(n);
  }
  return true;
}

bool TZipTempFile::Commit() {
  if (FHandle < 0) return false;
  (void)::fchmod(FHandle, 0666 & ~CurrentUmask());
  const bool closed = ::close(FHandle) == 0;
  FHandle = -1;
  if (!closed || ::rename(FName.c_str(), FTarget.c_str()) != 0) {
    ::unlink(FName.c_str());
    FName.clear();
    return false;
  }
  FName.clear();
  return true;
}

void TZipTempFile::Discard() {
  if (FHandle >= 0) ::close(FHandle);
  FHandle = -1;
  if (!FName.empty()) ::unlink(FName.c_str());
  FName.clear();
}
