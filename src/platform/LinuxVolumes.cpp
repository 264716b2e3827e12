#include "LinuxVolumes.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "Paths.h"

namespace {

bool IsOctal(char c) {
  return c >= '0' && c <= '7';
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string RealPath(const std::string& Path) {
  char buf[PATH_MAX];
  return ::realpath(Path.c_str(), buf) ? std::string(buf) : std::string();
}

bool StartsWithFolder(const std::string& Path, const std::string& Folder) {
  return Path.compare(0, Folder.size(), Folder) == 0;
}

// Where desktops mount the volumes a user plugs in.
bool IsUserMountArea(const std::string& MountPoint) {
  return StartsWithFolder(MountPoint, "/media/") || StartsWithFolder(MountPoint, "/run/media/") ||
         StartsWithFolder(MountPoint, "/mnt/");
}

// The folders in which a user's volume appears as its own folder; a missing
// folder directly below them is a volume that is not there.
bool IsMountParent(const std::string& Folder) {
  if (Folder == "/media/" || Folder == "/mnt/" || Folder == "/run/media/") return true;
  for (const char* base : {"/media/", "/run/media/"}) {
    std::string b = base;
    if (StartsWithFolder(Folder, b)) {
      std::string rest = Folder.substr(b.size());
      // /media/USER/ or /run/media/USER/
      if (!rest.empty() && rest.find('/') == rest.size() - 1) return true;
    }
  }
  return false;
}

std::string ReadFirstLine(const std::string& FileName) {
  std::ifstream in(FileName);
  std::string line;
  std::getline(in, line);
  return line;
}

bool RunTool(const std::vector<std::string>& Args) {
  pid_t pid = ::fork();
  if (pid < 0) return false;
  if (pid == 0) {
    int devnull = ::open("/dev/null", O_RDWR);
    if (devnull >= 0) {
      ::dup2(devnull, 1);
      ::dup2(devnull, 2);
    }
    std::vector<char*> argv;
    for (const std::string& a : Args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

std::string UnescapeMountField(const std::string& Field) {
  std::string r;
  for (size_t i = 0; i < Field.size(); ++i) {
    if (Field[i] == '\\' && i + 3 < Field.size() && IsOctal(Field[i + 1]) &&
        IsOctal(Field[i + 2]) && IsOctal(Field[i + 3])) {
      r += static_cast<char>(((Field[i + 1] - '0') << 6) | ((Field[i + 2] - '0') << 3) |
                             (Field[i + 3] - '0'));
      i += 3;
    } else {
      r += Field[i];
    }
  }
  return r;
}

std::string UnescapeLabelName(const std::string& Name) {
  std::string r;
  for (size_t i = 0; i < Name.size(); ++i) {
    if (Name[i] == '\\' && i + 3 < Name.size() && Name[i + 1] == 'x' &&
        HexValue(Name[i + 2]) >= 0 && HexValue(Name[i + 3]) >= 0) {
      r += static_cast<char>(HexValue(Name[i + 2]) * 16 + HexValue(Name[i + 3]));
      i += 3;
    } else {
      r += Name[i];
    }
  }
  return r;
}

TLinuxVolumes::TLinuxVolumes(std::string MountInfo) : FMountInfo(std::move(MountInfo)) {}

// Fields: id parent major:minor root mount-point options [optional...] -
// fs-type source super-options.
bool TLinuxVolumes::ParseMountInfoLine(const std::string& Line, TVolumeInfo& Info,
                                       std::string& DeviceNumber) {
  std::istringstream in(Line);
  std::vector<std::string> f;
  for (std::string w; in >> w;) f.push_back(w);
  if (f.size() < 7) return false;
  size_t dash = 6;
  while (dash < f.size() && f[dash] != "-") ++dash;
  if (dash + 2 >= f.size()) return false;
  if (f[4].empty() || f[4][0] != '/') return false;
  DeviceNumber = f[2];
  Info.MountPoint = IncludeTrailingPathDelimiter(UnescapeMountField(f[4]));
  Info.FileSystem = UnescapeMountField(f[dash + 1]);
  Info.Device = UnescapeMountField(f[dash + 2]);
  Info.Removable = false;
  return true;
}

bool TLinuxVolumes::IsRemovableDevice(const std::string& DeviceNumber) {
  std::string sys = RealPath("/sys/dev/block/" + DeviceNumber);
  if (sys.empty()) return false;
  // Disks on USB count as removable even when they do not say so.
  if (sys.find("/usb") != std::string::npos) return true;
  if (ReadFirstLine(sys + "/removable") == "1") return true;
  // A partition: the disk is the folder above.
  std::string parent = sys.substr(0, sys.rfind('/'));
  return ReadFirstLine(parent + "/removable") == "1";
}

std::vector<TLinuxVolumes::TMount> TLinuxVolumes::ReadMounts() {
  std::vector<TMount> mounts;
  std::ifstream in(FMountInfo);
  for (std::string line; std::getline(in, line);) {
    TMount m;
    if (!ParseMountInfoLine(line, m.Info, m.DeviceNumber)) continue;
    m.Info.Removable = IsRemovableDevice(m.DeviceNumber);
    mounts.push_back(std::move(m));
  }
  return mounts;
}

bool TLinuxVolumes::FindMount(const std::string& Path, TMount& Mount) {
  std::string folder = RealPath(NearestExistingFolder(Path));
  if (folder.empty()) return false;
  folder = IncludeTrailingPathDelimiter(folder);
  size_t best = 0;
  bool found = false;
  for (TMount& m : ReadMounts()) {
    const std::string& mp = m.Info.MountPoint;
    // ">=": a later mount over the same point hides the earlier one.
    if (StartsWithFolder(folder, mp) && mp.size() >= best) {
      best = mp.size();
      Mount = m;
      found = true;
    }
  }
  return found;
}

std::string TLinuxVolumes::MountPointOf(const std::string& Path) {
  TMount m;
  return FindMount(Path, m) ? m.Info.MountPoint : std::string();
}

bool TLinuxVolumes::IsReady(const std::string& Path) {
  std::string near = NearestExistingFolder(Path);
  std::string want = IncludeTrailingPathDelimiter(
      std::filesystem::absolute(Path.empty() ? "." : Path).lexically_normal().string());
  // The folder of a volume that is not mounted is missing below /media/USER.
  if (want != near && IsMountParent(near)) return false;
  struct statvfs sv {};
  return ::statvfs(near.c_str(), &sv) == 0 && ::access(near.c_str(), R_OK | X_OK) == 0;
}

bool TLinuxVolumes::IsRemovable(const std::string& Path) {
  TMount m;
  return FindMount(Path, m) && m.Info.Removable;
}

int64_t TLinuxVolumes::FreeSpace(const std::string& Path) {
  if (!IsReady(Path)) return -1;
  struct statvfs sv {};
  if (::statvfs(NearestExistingFolder(Path).c_str(), &sv) != 0) return -1;
  return static_cast<int64_t>(sv.f_bavail) * static_cast<int64_t>(sv.f_frsize);
}

int64_t TLinuxVolumes::Capacity(const std::string& Path) {
  if (!IsReady(Path)) return -1;
  struct statvfs sv {};
  if (::statvfs(NearestExistingFolder(Path).c_str(), &sv) != 0) return -1;
  return static_cast<int64_t>(sv.f_blocks) * static_cast<int64_t>(sv.f_frsize);
}

std::string TLinuxVolumes::GetLabel(const std::string& Path) {
  TMount m;
  if (!FindMount(Path, m) || m.Info.Device.empty() || m.Info.Device[0] != '/') return {};
  std::string device = RealPath(m.Info.Device);
  if (device.empty()) return {};
  const std::string byLabel = "/dev/disk/by-label/";
  DIR* dir = ::opendir(byLabel.c_str());
  if (!dir) return {};
  std::string label;
  while (dirent* e = ::readdir(dir)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    if (RealPath(byLabel + name) == device) {
      label = UnescapeLabelName(name);
      break;
    }
  }
  ::closedir(dir);
  return label;
}

bool TLinuxVolumes::SetLabel(const std::string& Path, const std::string& Label) {
  TMount m;
  if (!FindMount(Path, m) || m.Info.Device.empty() || m.Info.Device[0] != '/') return false;
  if (::access(m.Info.Device.c_str(), W_OK) != 0) return false;
  if (m.Info.FileSystem == "vfat" || m.Info.FileSystem == "msdos")
    return RunTool({"fatlabel", m.Info.Device, Label});
  if (m.Info.FileSystem == "exfat") return RunTool({"exfatlabel", m.Info.Device, Label});
  return false;
}

std::vector<TVolumeInfo> TLinuxVolumes::List() {
  std::vector<TVolumeInfo> r;
  for (TMount& m : ReadMounts()) {
    // A later mount over the same point replaces the earlier one.
    for (auto it = r.begin(); it != r.end(); ++it) {
      if (it->MountPoint == m.Info.MountPoint) {
        r.erase(it);
        break;
      }
    }
    r.push_back(m.Info);
  }
  return r;
}

std::vector<TVolumeInfo> TLinuxVolumes::BrowserDrives() {
  std::vector<TVolumeInfo> r;
  TVolumeInfo root;
  root.MountPoint = "/";
  r.push_back(root);
  TVolumeInfo home;
  home.MountPoint = GetHomeFolder();
  if (home.MountPoint != "/") r.push_back(home);
  for (const TVolumeInfo& v : List())
    if (IsUserMountArea(v.MountPoint)) r.push_back(v);
  return r;
}
