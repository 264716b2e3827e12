#include "HiveFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "DiskFull.h"
#include "UniqueFd.h"
#include "WriteAll.h"

namespace {

std::string FolderOf(const std::string& FileName) {
  size_t slash = FileName.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : FileName.substr(0, slash);
}

// Creates the folder and its missing parents for the owner only.
bool MakeFolders(const std::string& Folder) {
  struct stat st {};
  if (::stat(Folder.c_str(), &st) == 0) return S_ISDIR(st.st_mode) || (errno = ENOTDIR, false);
  std::string parent = FolderOf(Folder);
  if (parent != Folder && !MakeFolders(parent)) return false;
  return ::mkdir(Folder.c_str(), 0700) == 0 || errno == EEXIST;
}

}  // namespace

THiveFile::THiveFile(std::string FileName, std::string Root)
    : FFileName(std::move(FileName)), FRoot(Root), FCache(std::move(Root)) {}

void THiveFile::FailIO(const std::string& What, int Error) const {
  if (IsDiskFullError(Error)) throw EHiveDiskFullError(DiskFullMessage(FFileName));
  throw EHiveIOError("Settings file \"" + FFileName + "\": " + What + ": " + std::strerror(Error));
}

void THiveFile::Refresh() {
  TUniqueFd fd(::open(FFileName.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.Get() < 0) {
    if (errno != ENOENT) FailIO("cannot be read", errno);
    FCache = THive(FRoot);
    FStamp = TStamp{};
    FCached = true;
    return;
  }
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0) FailIO("cannot be read", errno);
  if (!S_ISREG(st.st_mode)) FailIO("cannot be read", EISDIR);
  TStamp stamp{st.st_dev, st.st_ino, st.st_size,
               static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
               static_cast<int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec};
  if (FCached && stamp == FStamp) return;
  std::string text;
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd.Get(), buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) FailIO("cannot be read", errno);
    if (n == 0) break;
    text.append(buf, static_cast<size_t>(n));
  }
  FCached = false;
  FCache = ParseHive(text, FRoot, FFileName);
  FStamp = stamp;
  FCached = true;
}

const THive& THiveFile::Read() {
  Refresh();
  return FCache;
}

void THiveFile::Update(const std::function<void(THive&)>& Change) {
  std::string folder = FolderOf(FFileName);
  if (!MakeFolders(folder)) FailIO("its folder cannot be created", errno);
  // The lock is a file of its own: the hive itself is replaced on each save.
  std::string lockName = FFileName + ".lock";
  TUniqueFd lock(::open(lockName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (lock.Get() < 0) FailIO("cannot be locked", errno);
  while (::flock(lock.Get(), LOCK_EX) != 0)
    if (errno != EINTR) FailIO("cannot be locked", errno);
  // Only a save holds the lock while its temporary file exists: one found
  // now was left by a save that was killed before its rename.
  ::unlink(TemporaryName().c_str());
  Refresh();
  THive changed = FCache;
  Change(changed);
  // Writing what is already stored (the program writes its settings every
  // time, changed or not) costs a full save with its flush to disk: skip it.
  if (changed == FCache) return;
  Save(changed);
  FCache = std::move(changed);
  FCached = false;  // the next read takes the new file's stamp
}

void THiveFile::Save(const THive& Hive) {
  std::string text = FormatHive(Hive);
  const std::string temp = TemporaryName();
  TUniqueFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600));
  if (fd.Get() < 0) FailIO("cannot be written", errno);
  int error = ::fchmod(fd.Get(), 0600) != 0 ? errno : WriteAll(fd.Get(), text.data(), text.size());
  if (error == 0 && (::fsync(fd.Get()) != 0 || ::close(fd.Release()) != 0)) error = errno;
  if (error != 0) {
    ::unlink(temp.c_str());
    FailIO("cannot be written", error);
  }
  if (::rename(temp.c_str(), FFileName.c_str()) != 0) {
    error = errno;
    ::unlink(temp.c_str());
    FailIO("cannot be replaced", error);
  }
  // The rename itself must reach the disk before we call the save done.
  TUniqueFd dir(::open(FolderOf(FFileName).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.Get() >= 0) ::fsync(dir.Get());
}
