#include "WorkFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "Exception.h"
#include "Paths.h"
#include "UniqueFd.h"

namespace {

const char* const Prefix = "zrn-";
const char* const LockName = ".lock";
// A folder without its lock file is a run killed right after mkdtemp, or
// one being made this moment: an empty one is taken at once (the run that
// makes it then makes another), one with files only when older than this.
constexpr time_t UnlockedGraceSeconds = 60;
// Times a new folder is made again when a sweep took it before its lock.
constexpr int MakeAttempts = 3;

std::vector<std::string> Names(int DirFd) {
  std::vector<std::string> names;
  const int dup = ::dup(DirFd);
  if (dup < 0) return names;
  DIR* dir = ::fdopendir(dup);
  if (!dir) {
    ::close(dup);
    return names;
  }
  while (const dirent* d = ::readdir(dir)) {
    const std::string name = d->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(dir);
  return names;
}

// Empties the folder open as DirFd; Keep, when given, stays.
bool EmptyFolderAt(int DirFd, const char* Keep) {
  bool ok = true;
  for (const std::string& name : Names(DirFd)) {
    if (Keep && name == Keep) continue;
    struct stat st {};
    if (::fstatat(DirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      ok = ok && errno == ENOENT;
      continue;
    }
    if (S_ISDIR(st.st_mode)) {
      TUniqueFd sub(::openat(DirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
      if (sub.Get() < 0 || !EmptyFolderAt(sub.Get(), nullptr) ||
          ::unlinkat(DirFd, name.c_str(), AT_REMOVEDIR) != 0)
        ok = false;
    } else if (::unlinkat(DirFd, name.c_str(), 0) != 0 && errno != ENOENT) {
      ok = false;
    }
  }
  return ok;
}

std::string ParentOf(const std::string& Path) {
  std::string p = ExcludeTrailingPathDelimiter(Path);
  const size_t slash = p.find_last_of('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : p.substr(0, slash);
}

std::string NameOf(const std::string& Path) {
  const std::string p = ExcludeTrailingPathDelimiter(Path);
  const size_t slash = p.find_last_of('/');
  return slash == std::string::npos ? p : p.substr(slash + 1);
}

}  // namespace

std::string WorkFolderParent() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  struct stat st {};
  if (runtime && *runtime && ::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode))
    return IncludeTrailingPathDelimiter(runtime);
  return GetTempFolder();
}

bool RemoveTreeNoFollow(const std::string& Path) {
  const std::string parent = ParentOf(Path), name = NameOf(Path);
  TUniqueFd parentFd(::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (parentFd.Get() < 0) return errno == ENOENT;
  struct stat st {};
  if (::fstatat(parentFd.Get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
    return errno == ENOENT;
  if (!S_ISDIR(st.st_mode)) return ::unlinkat(parentFd.Get(), name.c_str(), 0) == 0;
  TUniqueFd dir(
      ::openat(parentFd.Get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (dir.Get() < 0) return false;
  const bool emptied = EmptyFolderAt(dir.Get(), nullptr);
  return emptied && ::unlinkat(parentFd.Get(), name.c_str(), AT_REMOVEDIR) == 0;
}

TWorkFolder::TWorkFolder() {
  const std::string parent = WorkFolderParent();
  SweepStaleWorkFolders(parent);
  int error = 0;
  for (int attempt = 0; attempt < MakeAttempts; ++attempt) {
    std::string tmpl = parent + Prefix + "XXXXXX";
    if (!::mkdtemp(tmpl.data()))
      throw EOSError("Cannot create a work folder in " + parent + ": " + std::strerror(errno));
    FPath = tmpl + "/";
    FLock = ::open((FPath + LockName).c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                   0600);
    if (FLock >= 0 && ::flock(FLock, LOCK_EX | LOCK_NB) == 0) return;
    error = errno;
    if (FLock >= 0) ::close(FLock);
    FLock = -1;
    RemoveTreeNoFollow(FPath);
    // Another run's sweep took the folder before its lock was there.
    if (error != ENOENT) break;
  }
  throw EOSError("Cannot lock the work folder " + FPath + ": " + std::strerror(error));
}

TWorkFolder::~TWorkFolder() {
  StopMakingFiles();
  RemoveTreeNoFollow(FPath);
  if (FLock >= 0) ::close(FLock);
}

void TWorkFolder::Clear() {
  StopMakingFiles();
  TUniqueFd dir(::open(FPath.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (dir.Get() >= 0) EmptyFolderAt(dir.Get(), LockName);
}

void TWorkFolder::MakeFilesAhead(std::vector<std::string> Names) {
  StopMakingFiles();
  const int dir = ::open(FPath.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (dir < 0) return;
  FMaker = std::thread([this, dir, Names = std::move(Names)] {
    const TUniqueFd folder(dir);
    for (const std::string& name : Names) {
      if (FStopMaking) return;
      if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
        continue;
      // Without O_TRUNC: a download that came first keeps what it wrote.
      // A failure is the download's to meet and report.
      const int fd = ::openat(dir, name.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
      if (fd >= 0) ::close(fd);
    }
  });
}

void TWorkFolder::StopMakingFiles() {
  if (!FMaker.joinable()) return;
  FStopMaking = true;
  FMaker.join();
  FStopMaking = false;
}

int SweepStaleWorkFolders(const std::string& Parent) {
  TUniqueFd parent(::open(Parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (parent.Get() < 0) return 0;
  int swept = 0;
  for (const std::string& name : Names(parent.Get())) {
    if (name.rfind(Prefix, 0) != 0 || name.size() != std::strlen(Prefix) + 6) continue;
    struct stat st {};
    // Only our own private folders, as mkdtemp makes them.
    if (::fstatat(parent.Get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() || (st.st_mode & 077) != 0)
      continue;
    TUniqueFd dir(
        ::openat(parent.Get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (dir.Get() < 0) continue;
    TUniqueFd lock(::openat(dir.Get(), LockName, O_RDWR | O_NOFOLLOW | O_CLOEXEC));
    if (lock.Get() < 0) {
      if (errno != ENOENT) continue;
      const bool empty = Names(dir.Get()).empty();
      if (!empty && std::time(nullptr) - st.st_mtime < UnlockedGraceSeconds) continue;
    } else if (::flock(lock.Get(), LOCK_EX | LOCK_NB) != 0) {
      continue;  // a running copy holds it
    }
    if (RemoveTreeNoFollow(Parent + name)) ++swept;
  }
  return swept;
}
