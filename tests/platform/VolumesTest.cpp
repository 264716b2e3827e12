#include "Volumes.h"

#include <gtest/gtest.h>
#include <sys/statvfs.h>

#include <filesystem>
#include <fstream>

#include "FileAttributes.h"
#include "LinuxVolumes.h"
#include "SimulatedVolumes.h"
#include "TempDir.h"

namespace {

TEST(LinuxVolumes, MountTableLinesAreParsed) {
  struct Case {
    const char* Line;
    bool Ok;
    const char* MountPoint;
    const char* FileSystem;
    const char* Device;
    const char* Number;
  } cases[] = {
      {"36 35 98:0 /mnt1 /mnt2 rw,noatime master:1 - ext3 /dev/root rw,errors=continue", true,
       "/mnt2/", "ext3", "/dev/root", "98:0"},
      {"40 27 8:17 / /media/sailor/MY\\040DISK rw,nosuid shared:5 - vfat /dev/sdb1 rw", true,
       "/media/sailor/MY DISK/", "vfat", "/dev/sdb1", "8:17"},
      {"27 1 0:25 / / rw - overlay overlay rw", true, "/", "overlay", "overlay", "0:25"},
      {"27 1 0:25 / / rw", false, "", "", "", ""},
      {"27 1 0:25 / / rw shared:1 -", false, "", "", "", ""},
      {"", false, "", "", "", ""},
      {"1 2 3:4 / relative rw - ext4 /dev/x rw", false, "", "", "", ""},
  };
  for (const Case& c : cases) {
    TVolumeInfo info;
    std::string number;
    ASSERT_EQ(TLinuxVolumes::ParseMountInfoLine(c.Line, info, number), c.Ok) << c.Line;
    if (!c.Ok) continue;
    EXPECT_EQ(info.MountPoint, c.MountPoint);
    EXPECT_EQ(info.FileSystem, c.FileSystem);
    EXPECT_EQ(info.Device, c.Device);
    EXPECT_EQ(number, c.Number);
  }
  EXPECT_EQ(UnescapeMountField("a\\134b\\011c\\04"), "a\\b\tc\\04");
  EXPECT_EQ(UnescapeLabelName("PKBACK\\x23\\x20001"), "PKBACK# 001");
  EXPECT_EQ(UnescapeLabelName("bad\\x2"), "bad\\x2");
}

TEST(LinuxVolumes, PathsBelongToTheDeepestLatestMount) {
  TempDir dir;
  std::filesystem::create_directories(dir / "vol/inner/deep");
  std::string real = std::filesystem::canonical(dir.Path()).string();
  std::string table = dir / "mountinfo";
  std::ofstream(table) << "1 0 0:1 / / rw - ext4 /dev/root rw\n"
                       << "2 1 0:2 / " << real << "/vol rw - tmpfs first rw\n"
                       << "3 1 0:3 / " << real << "/vol rw - tmpfs second rw\n"
                       << "4 1 0:4 / " << real << "/vol/inner rw - vfat /dev/fake rw\n";
  TLinuxVolumes volumes(table);
  EXPECT_EQ(volumes.MountPointOf(dir / "vol/inner/deep/not-yet/file"), real + "/vol/inner/");
  EXPECT_EQ(volumes.MountPointOf(dir / "vol/x"), real + "/vol/");
  EXPECT_EQ(volumes.MountPointOf(dir / "elsewhere"), "/");
  std::vector<TVolumeInfo> list = volumes.List();
  ASSERT_EQ(list.size(), 3u);  // the second mount over vol hides the first
  EXPECT_EQ(list[1].Device, "second");
  EXPECT_FALSE(volumes.IsRemovable(dir / "vol"));
  EXPECT_EQ(volumes.FirstRemovableMountPoint(), "");
}

TEST(LinuxVolumes, FreeSpaceAndCapacityComeFromTheFileSystem) {
  TempDir dir;
  TLinuxVolumes volumes;
  struct statvfs sv {};
  ASSERT_EQ(::statvfs(dir.Path().c_str(), &sv), 0);
  int64_t capacity = static_cast<int64_t>(sv.f_blocks) * sv.f_frsize;
  EXPECT_EQ(volumes.Capacity(dir / "sub/folder/"), capacity);
  int64_t free = volumes.FreeSpace(dir / "sub/folder/");
  int64_t expected = static_cast<int64_t>(sv.f_bavail) * sv.f_frsize;
  // Other programs write meanwhile; a few megabytes of slack.
  EXPECT_NEAR(static_cast<double>(free), static_cast<double>(expected), 64.0 * 1024 * 1024);
  EXPECT_TRUE(volumes.IsReady(dir.Path()));
  EXPECT_TRUE(volumes.IsReady(dir / "not/yet/made"));
  EXPECT_FALSE(volumes.MountPointOf(dir.Path()).empty());
}

TEST(LinuxVolumes, AMissingVolumeFolderUnderMediaIsNotReady) {
  if (!DirectoryExists("/media")) GTEST_SKIP() << "no /media on this machine";
  TLinuxVolumes volumes;
  EXPECT_FALSE(volumes.IsReady("/media/zarnavis-no-such-user/"));
  EXPECT_FALSE(volumes.IsReady("/media/zarnavis-no-such-disk/Updates/"));
  EXPECT_EQ(volumes.FreeSpace("/media/zarnavis-no-such-disk/"), -1);
}

TEST(LinuxVolumes, BrowserDrivesStartWithRootAndHome) {
  TLinuxVolumes volumes;
  std::vector<TVolumeInfo> drives = volumes.BrowserDrives();
  ASSERT_FALSE(drives.empty());
  EXPECT_EQ(drives[0].MountPoint, "/");
  for (size_t i = 2; i < drives.size(); ++i) {
    const std::string& m = drives[i].MountPoint;
    EXPECT_TRUE(m.rfind("/media/", 0) == 0 || m.rfind("/run/media/", 0) == 0 ||
                m.rfind("/mnt/", 0) == 0)
        << m;
  }
}

class SimulatedVolumesTest : public ::testing::Test {
 protected:
  SimulatedVolumesTest() : Sim(Dir / "disks") {
    std::filesystem::create_directories(Dir / "disks");
    std::filesystem::create_directories(Dir / "hd");
    Sim.AddFixed(Dir / "hd", 10000, "HD");
    Drive = Dir / "floppy";
    Sim.AddRemovableDrive(Drive);
  }
  TempDir Dir;
  TSimulatedVolumes Sim;
  std::string Drive;
};

TEST_F(SimulatedVolumesTest, ChangingDisksSwapsWhatTheMountPointHolds) {
  int one = Sim.AddDisk(1000, "");
  int two = Sim.AddDisk(2000, "OLD");
  EXPECT_FALSE(Sim.IsReady(Drive));
  EXPECT_EQ(Sim.FreeSpace(Drive + "/Updates.BaZ"), -1);
  EXPECT_FALSE(Sim.SetLabel(Drive, "PKBACK# 001"));

  Sim.InsertDisk(one);
  EXPECT_TRUE(Sim.IsReady(Drive + "/"));
  WriteFileBytes(Drive + "/Updates.BaZ", std::vector<uint8_t>(300, 1));
  EXPECT_EQ(Sim.FreeSpace(Drive), 700);
  EXPECT_EQ(Sim.Capacity(Drive), 1000);
  EXPECT_TRUE(Sim.SetLabel(Drive, "PKBACK# 001"));

  Sim.InsertDisk(two);
  EXPECT_FALSE(FileExists(Drive + "/Updates.BaZ"));
  EXPECT_EQ(Sim.GetLabel(Drive), "OLD");
  EXPECT_EQ(Sim.FreeSpace(Drive), 2000);
  Sim.SetWriteProtected(two, true);
  EXPECT_FALSE(Sim.SetLabel(Drive, "PKBACK# 002"));
  EXPECT_EQ(Sim.DiskLabel(two), "OLD");

  Sim.InsertDisk(one);
  EXPECT_EQ(ReadFileBytes(Drive + "/Updates.BaZ").size(), 300u);
  EXPECT_EQ(Sim.GetLabel(Drive), "PKBACK# 001");
  EXPECT_EQ(Sim.UsedSpace(one), 300);

  Sim.EjectDisk();
  EXPECT_FALSE(Sim.IsReady(Drive));
  EXPECT_FALSE(FileExists(Drive + "/Updates.BaZ"));
  std::ofstream out(Drive + "/new");
  EXPECT_FALSE(out.is_open());  // nothing can be written into an empty drive
  EXPECT_THROW(Sim.InsertDisk(5), std::out_of_range);
}

TEST_F(SimulatedVolumesTest, FullDiskReportsNoFreeSpace) {
  Sim.InsertDisk(Sim.AddDisk(100));
  WriteFileBytes(Drive + "/big", std::vector<uint8_t>(150, 0));
  EXPECT_EQ(Sim.FreeSpace(Drive), 0);
}

TEST_F(SimulatedVolumesTest, FixedVolumesAndOtherPaths) {
  WriteFileBytes(Dir / "hd/sub-file", std::vector<uint8_t>(1234, 0));
  EXPECT_EQ(Sim.FreeSpace(Dir / "hd/charts/new/"), 10000 - 1234);
  EXPECT_EQ(Sim.MountPointOf(Dir / "hd/charts"), Dir / "hd/");
  EXPECT_FALSE(Sim.IsRemovable(Dir / "hd"));
  EXPECT_TRUE(Sim.IsRemovable(Drive + "/x"));
  EXPECT_EQ(Sim.GetLabel(Dir / "hd"), "HD");
  // Outside the simulation the real system answers.
  EXPECT_TRUE(Sim.IsReady(Dir / "disks"));
  EXPECT_GT(Sim.FreeSpace(Dir / "disks"), 0);
  EXPECT_EQ(Sim.MountPointOf(Dir / "disks"), TLinuxVolumes().MountPointOf(Dir / "disks"));
  // A name that only starts like the drive is not on it.
  EXPECT_FALSE(Sim.IsRemovable(Drive + "2/x"));
}

TEST_F(SimulatedVolumesTest, InstalledInstanceServesVolumes) {
  TVolumes* before = &Volumes();
  {
    TScopedVolumes use(Sim);
    EXPECT_EQ(&Volumes(), &Sim);
    EXPECT_EQ(Volumes().FirstRemovableMountPoint(), Drive + "/");
    ASSERT_EQ(Volumes().BrowserDrives().size(), 2u);
  }
  EXPECT_EQ(&Volumes(), before);
}

}  // namespace
