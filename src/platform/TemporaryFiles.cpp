#include "TemporaryFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <vector>

#include "DiskFull.h"

namespace {

constexpr char Prefix[] = ".zrn-";
constexpr size_t MaxTargetPart = 40;

struct TProcessStat {
  char State = '?';
  uint64_t Start = 0;
};

// /proc/PID/stat: field 3 is the state, field 22 the start time in clock
// ticks after boot. The command name (field 2) is in parentheses and may
// hold spaces and parentheses itself, so fields are counted from the last ")".
bool ReadProcessStat(pid_t Pid, TProcessStat& Out) {
  const std::string path = "/proc/" + std::to_string(Pid) + "/stat";
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buffer[1024];
  const ssize_t n = ::read(fd, buffer, sizeof buffer - 1);
  ::close(fd);
  if (n <= 0) return false;
  buffer[n] = '\0';
  const char* p = std::strrchr(buffer, ')');
  if (!p) return false;
  ++p;
  for (int field = 3; field <= 22; ++field) {
    while (*p == ' ') ++p;
    if (*p == '\0') return false;
    if (field == 3) Out.State = *p;
    if (field == 22) {
      char* end = nullptr;
      Out.Start = std::strtoull(p, &end, 10);
      return end != p;
    }
    while (*p != '\0' && *p != ' ') ++p;
  }
  return false;
}

// Digits up to the next "-" (which is consumed).
bool TakeNumber(const std::string& Text, size_t& At, uint64_t& Value) {
  const size_t start = At;
  Value = 0;
  while (At < Text.size() && Text[At] >= '0' && Text[At] <= '9') {
    if (Value > (UINT64_MAX - 9) / 10) return false;
    Value = Value * 10 + uint64_t(Text[At] - '0');
    ++At;
  }
  if (At == start || At >= Text.size() || Text[At] != '-') return false;
  ++At;
  return true;
}

// The last name of Target cut to MaxTargetPart bytes, not inside a UTF-8 character.
std::string TargetPart(const std::string& Name) {
  size_t keep = std::min(Name.size(), MaxTargetPart);
  while (keep > 0 && keep < Name.size() && (uint8_t(Name[keep]) & 0xC0) == 0x80) --keep;
  return Name.substr(0, keep);
}

}  // namespace

uint64_t OwnProcessStart() {
  // Looked up once per process: a child made by fork has its own start.
  static std::mutex lock;
  static pid_t cachedPid = 0;
  static uint64_t cachedStart = 0;
  const std::lock_guard<std::mutex> guard(lock);
  const pid_t pid = ::getpid();
  if (cachedPid != pid) {
    TProcessStat stat;
    cachedStart = ReadProcessStat(pid, stat) ? stat.Start : 0;
    cachedPid = pid;
  }
  return cachedStart;
}

std::string TemporaryNameBeside(const std::string& Target) {
  static std::atomic<uint64_t> counter{0};
  const size_t slash = Target.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "" : Target.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? Target : Target.substr(slash + 1);
  return folder + Prefix + std::to_string(::getpid()) + "-" + std::to_string(OwnProcessStart()) +
         "-" + std::to_string(counter++) + "-" + TargetPart(name);
}

int CreateTemporaryBeside(const std::string& Target, std::string& Name, mode_t Mode) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = TemporaryNameBeside(Target);
    const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, Mode);
    if (fd >= 0) {
      Name = name;
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  return -1;
}

bool ParseTemporaryName(const std::string& FileName, pid_t& Pid, uint64_t& Start) {
  if (FileName.compare(0, sizeof Prefix - 1, Prefix) != 0) return false;
  size_t at = sizeof Prefix - 1;
  uint64_t pid = 0, start = 0, counter = 0;
  if (!TakeNumber(FileName, at, pid) || !TakeNumber(FileName, at, start) ||
      !TakeNumber(FileName, at, counter))
    return false;
  if (pid == 0 || pid > uint64_t(INT32_MAX)) return false;
  Pid = pid_t(pid);
  Start = start;
  return true;
}

bool ProcessRuns(pid_t Pid, uint64_t Start) {
  if (Pid <= 0) return false;
  TProcessStat stat;
  if (ReadProcessStat(Pid, stat)) {
    // A zombie writes nothing more: it only waits for its parent.
    if (stat.State == 'Z' || stat.State == 'X') return false;
    return Start == 0 || stat.Start == Start;
  }
  // Not to be read (gone, or hidden from other users): ask whether the number is in use.
  return ::kill(Pid, 0) == 0 || errno == EPERM;
}

namespace {

// Removes the files of a temporary folder, then the folder; a folder that
// holds folders of its own (not ours) stays.
bool RemoveTemporaryFolder(int ParentFd, const std::string& Name) {
  const int fd = ::openat(ParentFd, Name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  DIR* dir = ::fdopendir(fd);
  if (!dir) {
    ::close(fd);
    return false;
  }
  std::vector<std::string> files;
  while (const dirent* entry = ::readdir(dir)) {
    struct stat st {};
    if (::fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISDIR(st.st_mode))
      files.emplace_back(entry->d_name);
  }
  for (const std::string& file : files) ::unlinkat(fd, file.c_str(), 0);
  ::closedir(dir);
  return ::unlinkat(ParentFd, Name.c_str(), AT_REMOVEDIR) == 0;
}

}  // namespace

TTemporaryFolder::TTemporaryFolder(const std::string& Target) {
  for (int attempt = 0; attempt < 100 && FPath.empty(); ++attempt) {
    const std::string name = TemporaryNameBeside(Target);
    if (::mkdir(name.c_str(), 0700) == 0) {
      FPath = name + "/";
    } else if (errno != EEXIST) {
      const int error = errno;
      throw EOSError(WriteErrorMessage(error, name, "Cannot create folder " + name));
    }
  }
  if (FPath.empty()) throw EOSError("Cannot create a folder beside " + Target);
}

TTemporaryFolder::~TTemporaryFolder() {
  const std::string folder = FPath.substr(0, FPath.size() - 1);
  const size_t slash = folder.find_last_of('/');
  const std::string parent = slash == std::string::npos ? "." : folder.substr(0, slash + 1);
  const int fd = ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  RemoveTemporaryFolder(fd, folder.substr(slash + 1));
  ::close(fd);
}

int SweepTemporaryFiles(const std::string& Folder) {
  const std::string folder = Folder.empty() ? "." : Folder;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return 0;
  struct TStale {
    std::string Name;
    bool IsFolder;
  };
  std::vector<TStale> stale;
  while (const dirent* entry = ::readdir(dir)) {
    pid_t pid = 0;
    uint64_t start = 0;
    if (!ParseTemporaryName(entry->d_name, pid, start)) continue;
    struct stat st {};
    if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) continue;
    if (ProcessRuns(pid, start)) continue;
    stale.push_back({entry->d_name, S_ISDIR(st.st_mode)});
  }
  int removed = 0;
  for (const TStale& s : stale) {
    const bool gone = s.IsFolder ? RemoveTemporaryFolder(::dirfd(dir), s.Name)
                                 : ::unlinkat(::dirfd(dir), s.Name.c_str(), 0) == 0;
    if (gone) ++removed;
  }
  ::closedir(dir);
  return removed;
}
