#include "DirTreeViewTrash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>

#include "Paths.h"

namespace {

bool MakeFolder(const std::string& Path, mode_t Mode) {
  return ::mkdir(Path.c_str(), Mode) == 0 || errno == EEXIST;
}

// Creates the trash with its two subfolders (private to the user).
bool PrepareTrash(const std::string& Trash) {
  std::string path;
  for (size_t i = 1; i <= Trash.size(); ++i) {
    if (i == Trash.size() || Trash[i] == '/') {
      path = Trash.substr(0, i);
      if (!MakeFolder(path, 0700)) return false;
    }
  }
  return MakeFolder(Trash + "files", 0700) && MakeFolder(Trash + "info", 0700);
}

std::string LastComponent(const std::string& Path) {
  std::string p = ExcludeTrailingPathDelimiter(Path);
  return p.substr(p.rfind('/') + 1);
}

std::string DeletionDate() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  return text;
}

// Reserves a name in the trash by creating its info file exclusively, so two
// programs trashing the same name at once cannot take the same slot.
bool ReserveInfo(const std::string& Trash, const std::string& Base, const std::string& InfoPath,
                 std::string& Name, std::string& Error) {
  for (int n = 1; n < 10000; ++n) {
    Name = n == 1 ? Base : Base + "." + std::to_string(n);
    const std::string info = Trash + "info/" + Name + ".trashinfo";
    int fd = ::open(info.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      Error = info + ": " + std::strerror(errno);
      return false;
    }
    const std::string text = "[Trash Info]\nPath=" + TrashInfoEscape(InfoPath) +
                             "\nDeletionDate=" + DeletionDate() + "\n";
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    const bool closed = ::close(fd) == 0;
    if (written && closed) return true;
    Error = info + ": " + std::strerror(errno);
    ::unlink(info.c_str());
    return false;
  }
  Error = "no free name in " + Trash;
  return false;
}

// Moves Folder into one trash; EXDEV in Errno means another file system.
bool MoveInto(const std::string& Trash, const std::string& Folder, const std::string& InfoPath,
              std::string& Error, int& Errno) {
  Errno = 0;
  if (!PrepareTrash(Trash)) {
    Errno = errno;
    Error = Trash + ": " + std::strerror(Errno);
    return false;
  }
  std::string name;
  if (!ReserveInfo(Trash, LastComponent(Folder), InfoPath, name, Error)) return false;
  const std::string target = Trash + "files/" + name;
  if (::rename(ExcludeTrailingPathDelimiter(Folder).c_str(), target.c_str()) == 0) return true;
  Errno = errno;
  Error = Folder + ": " + std::strerror(Errno);
  ::unlink((Trash + "info/" + name + ".trashinfo").c_str());
  return false;
}

// The top folder of the file system holding Path: the last folder upwards
// whose parent lies on another device.
std::string TopFolderOf(const std::string& Path) {
  std::string current = ExcludeTrailingPathDelimiter(Path);
  struct stat st {};
  if (::stat(current.c_str(), &st) != 0) return "/";
  while (current != "/" && !current.empty()) {
    std::string parent = current.substr(0, current.rfind('/'));
    if (parent.empty()) parent = "/";
    struct stat up {};
    if (::stat(parent.c_str(), &up) != 0 || up.st_dev != st.st_dev) break;
    current = parent;
  }
  return IncludeTrailingPathDelimiter(current);
}

}  // namespace

std::string HomeTrashFolder() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data && *data == '/') return IncludeTrailingPathDelimiter(data) + "Trash/";
  return GetHomeFolder() + ".local/share/Trash/";
}

std::string TrashInfoEscape(const std::string& Path) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : Path) {
    const bool plain =
        std::isalnum(c) || std::string_view("/-_.~!$&'()*+,;=:@").find(c) != std::string_view::npos;
    if (plain) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

bool MoveFolderToTrash(const std::string& Folder, std::string& Error) {
  const std::string folder = ExcludeTrailingPathDelimiter(Folder);
  struct stat st {};
  if (folder.empty() || folder == "/" || ::lstat(folder.c_str(), &st) != 0) {
    Error = Folder + ": " +
            (folder.empty() || folder == "/" ? "cannot be trashed" : std::strerror(errno));
    return false;
  }
  int err = 0;
  if (MoveInto(HomeTrashFolder(), folder, folder, Error, err)) return true;
  if (err != EXDEV) return false;
  // Another file system: its own trash at the top of the volume, with the
  // path recorded relative to that top so the disk can move between machines.
  const std::string top = TopFolderOf(folder);
  const std::string trash = top + ".Trash-" + std::to_string(::getuid()) + "/";
  const std::string relative = folder.substr(top.size());
  return MoveInto(trash, folder, relative, Error, err);
}
