#pragma once
// The volumes of the running Linux system, from /proc/self/mountinfo and
// sysfs. Labels come from /dev/disk/by-label and are written with the file
// system's label tool (fatlabel, exfatlabel) when it is installed and the
// device is writable.

#include <string>
#include <vector>

#include "Volumes.h"

class TLinuxVolumes : public TVolumes {
 public:
  // MountInfo: the mount table to read (tests give a file of their own).
  explicit TLinuxVolumes(std::string MountInfo = "/proc/self/mountinfo");

  std::string MountPointOf(const std::string& Path) override;
  bool IsReady(const std::string& Path) override;
  bool IsRemovable(const std::string& Path) override;
  int64_t FreeSpace(const std::string& Path) override;
  int64_t Capacity(const std::string& Path) override;
  std::string GetLabel(const std::string& Path) override;
  bool SetLabel(const std::string& Path, const std::string& Label) override;
  std::vector<TVolumeInfo> List() override;
  std::vector<TVolumeInfo> BrowserDrives() override;

  // One line of the mount table; false when it is not one.
  static bool ParseMountInfoLine(const std::string& Line, TVolumeInfo& Info,
                                 std::string& DeviceNumber);

 private:
  struct TMount {
    TVolumeInfo Info;
    std::string DeviceNumber;  // "8:17"
  };
  std::vector<TMount> ReadMounts();
  // The mount holding Path (the last mounted over the longest prefix).
  bool FindMount(const std::string& Path, TMount& Mount);
  static bool IsRemovableDevice(const std::string& DeviceNumber);

  std::string FMountInfo;
};

// Undoes the octal escapes (\040 for a space) of the mount table.
std::string UnescapeMountField(const std::string& Field);
// Undoes the \xNN escapes of the names in /dev/disk/by-label.
std::string UnescapeLabelName(const std::string& Name);
