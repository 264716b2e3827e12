#pragma once
// Volumes for tests: fixed volumes of a chosen capacity over ordinary folders,
// and removable drives whose disks can be changed. A removable drive's mount
// point is a symbolic link that is re-pointed to the folder of the disk in the
// drive (or to a missing folder when the drive is empty), so code under test
// reads and writes the disk through the mount point as on a real drive.
// Paths outside every simulated volume go to the fallback (the real system).
//
// Free space is the capacity less the sizes of the files on the volume; the
// simulation does not stop a write that goes beyond it, so tests check
// UsedSpace() against the capacity.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Volumes.h"

class TSimulatedVolumes : public TVolumes {
 public:
  // Root: an existing folder that receives the disks' folders.
  explicit TSimulatedVolumes(std::string Root, std::unique_ptr<TVolumes> Fallback = nullptr);
  ~TSimulatedVolumes() override;

  // A fixed volume over the existing folder MountPoint.
  void AddFixed(const std::string& MountPoint, int64_t Capacity, const std::string& Label = "");
  // A removable drive; MountPoint must not exist (it becomes the link).
  // Returns the drive's number (0 for the first).
  int AddRemovableDrive(const std::string& MountPoint);
  // A new empty disk; returns its number (0 for the first).
  int AddDisk(int64_t Capacity, const std::string& Label = "");
  // Puts Disk into Drive (taking out whatever was in it); -1 empties the drive.
  void InsertDisk(int Disk, int Drive = 0);
  void EjectDisk(int Drive = 0) { InsertDisk(-1, Drive); }
  int CurrentDisk(int Drive = 0) const;
  int DiskCount() const { return static_cast<int>(FDisks.size()); }
  std::string DiskFolder(int Disk) const;  // ends in "/"
  std::string DiskLabel(int Disk) const;
  int64_t DiskCapacity(int Disk) const;
  int64_t UsedSpace(int Disk) const;
  // A write-protected disk keeps its label.
  void SetWriteProtected(int Disk, bool Protected);

  std::string MountPointOf(const std::string& Path) override;
  bool IsReady(const std::string& Path) override;
  bool IsRemovable(const std::string& Path) override;
  int64_t FreeSpace(const std::string& Path) override;
  int64_t Capacity(const std::string& Path) override;
  std::string GetLabel(const std::string& Path) override;
  bool SetLabel(const std::string& Path, const std::string& Label) override;
  // The simulated volumes only, in the order they were added.
  std::vector<TVolumeInfo> List() override;
  std::vector<TVolumeInfo> BrowserDrives() override { return List(); }

 private:
  struct TDisk {
    std::string Folder;
    int64_t Capacity = 0;
    std::string Label;
    bool WriteProtected = false;
  };
  struct TVolume {
    std::string MountPoint;  // ends in "/"
    bool Removable = false;
    int Disk = -1;  // a fixed volume has a disk of its own
  };

  // The simulated volume holding Path, or null.
  const TVolume* Find(const std::string& Path) const;
  // Disk in the volume of Path, or null when there is none (empty drive) or
  // Path is not simulated.
  TDisk* DiskOf(const std::string& Path);
  void PointLink(const TVolume& Drive);
  std::vector<TVolume*> Drives();

  std::string FRoot;
  std::unique_ptr<TVolumes> FFallback;
  std::vector<TDisk> FDisks;
  std::vector<TVolume> FVolumes;
};
