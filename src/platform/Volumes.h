#pragma once
// The mounted volumes (the drives of the program): free space, readiness,
// removable disks and their labels. A path names the volume that holds it.
// One instance serves the program; tests install a simulated one.

#include <cstdint>
#include <string>
#include <vector>

struct TVolumeInfo {
  std::string MountPoint;  // ends in "/"
  std::string Device;      // what is mounted ("/dev/sdb1", "tmpfs", ...)
  std::string FileSystem;  // "vfat", "ext4", ...
  bool Removable = false;
};

class TVolumes {
 public:
  virtual ~TVolumes() = default;

  // Mount point (ending in "/") of the volume holding Path; empty when unknown.
  virtual std::string MountPointOf(const std::string& Path) = 0;
  // The volume of Path is there and readable (a disk is in the drive).
  virtual bool IsReady(const std::string& Path) = 0;
  virtual bool IsRemovable(const std::string& Path) = 0;
  // Bytes the user may still write on the volume of Path; -1 when unreadable.
  virtual int64_t FreeSpace(const std::string& Path) = 0;
  // Size of the volume of Path in bytes; -1 when unreadable.
  virtual int64_t Capacity(const std::string& Path) = 0;
  // Volume label; empty when none or unreadable.
  virtual std::string GetLabel(const std::string& Path) = 0;
  // Writes the label where the file system allows it; false when skipped.
  virtual bool SetLabel(const std::string& Path, const std::string& Label) = 0;
  // Every mounted volume, in mount order.
  virtual std::vector<TVolumeInfo> List() = 0;
  // The top entries of the folder browser: "/", the home folder and the
  // mounted volumes that a user mounts (under /media, /run/media, /mnt).
  virtual std::vector<TVolumeInfo> BrowserDrives() = 0;

  // Mount point of the first removable volume, or empty (the download-only
  // default target, where a floppy drive was).
  std::string FirstRemovableMountPoint();
};

// The installed instance; the Linux implementation unless a test installed
// another.
TVolumes& Volumes();
// Installs Instance, which the caller keeps alive while it is installed
// (null: back to the Linux implementation); returns the previous one (null
// when that was the Linux implementation).
TVolumes* InstallVolumes(TVolumes* Instance);

// Installs a volumes implementation for one scope and restores the previous:
//   TSimulatedVolumes sim(...); TScopedVolumes use(sim);
class TScopedVolumes {
 public:
  explicit TScopedVolumes(TVolumes& Instance);
  ~TScopedVolumes();
  TScopedVolumes(const TScopedVolumes&) = delete;
  TScopedVolumes& operator=(const TScopedVolumes&) = delete;

 private:
  TVolumes* FPrevious;
};
