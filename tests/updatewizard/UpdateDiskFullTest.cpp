// Applying and packing updates on a full disk (a file-size limit, SIGXFSZ
// ignored, so writes fail as on a full disk): a clear message naming the
// file, status 1, nothing half-written under a final name, the stored
// indexes and an existing "Updates.BaZ" as they were; with room again the
// next run completes.

#include <gtest/gtest.h>

#include <filesystem>

#include "DownloadTestSupport.h"

namespace fs = std::filesystem;

namespace {

class UpdateDiskFull : public TDownloadFixture {
 protected:
  // Runs zrnupdate under a limit of Blocks kilobytes a file, Input on its
  // standard input.
  int Limited(int Blocks, const std::string& Args, std::string& Output,
              const std::string& Input = "") {
    const std::string command = "env ZARNAVIS_HOME=" + Q(FTemp / "home") +
                                " XDG_RUNTIME_DIR=" + Q(FTemp / "runtime") + " " +
                                Q(BuildDir() + "/src/updatewizard/zrnupdate") + " " + Args;
    std::string shell = "trap '' XFSZ; ";
    if (Blocks > 0) shell += "ulimit -f " + std::to_string(Blocks) + "; ";
    shell += "printf " + Q(Input) + " | " + command;
    return RunShellCommand("bash -c " + Q(shell), &Output);
  }
  std::vector<std::string> Hidden(const std::string& Folder) const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(Folder))
      if (e.path().filename().string()[0] == '.') names.push_back(e.path().filename().string());
    return names;
  }
};

TEST_F(UpdateDiskFull, ApplyingSaysSoAndChangesNothing) {
  Install({"1801", "1803"});
  const auto before = Bitmaps();
  const std::string hive = HiveText();
  const std::string args = "apply " + Q(Cd()) + " " + Q(FInstalled) + " " + Q(UpdateDisk());
  std::string out;
  // Room for the update files, none for a bitmap.
  EXPECT_EQ(Limited(2, args, out), 1) << out;
  EXPECT_NE(out.find("The disk is full: \"" + FInstalled), std::string::npos) << out;
  EXPECT_NE(out.find("_2003.bmp\" could not be written."), std::string::npos) << out;
  EXPECT_EQ(Bitmaps(), before);
  EXPECT_EQ(HiveText(), hive);
  EXPECT_TRUE(Hidden(FInstalled).empty());
  EXPECT_TRUE(fs::is_empty(FTemp / "runtime"));

  ASSERT_EQ(Limited(0, args, out), 0) << out;
  EXPECT_NE(out.find(" dpi - "), std::string::npos) << out;
  EXPECT_NE(Bitmaps(), before);
}

TEST_F(UpdateDiskFull, PackingSaysSoAndKeepsTheOldArchive) {
  StartServer();
  const std::string usb = FTemp / "usb/";
  fs::create_directories(usb);
  WriteFileText(usb + "Updates.BaZ", "last month's updates");
  const std::string args = "--server 127.0.0.1:" + FServer.PortText() + " download " + Q(usb);
  std::string out;
  // The downloads fit, the archive does not; the old one is to be replaced.
  EXPECT_EQ(Limited(2, args, out, "y\n"), 1) << out;
  EXPECT_NE(out.find("The disk is full: \"" + usb + "Updates.BaZ\""), std::string::npos) << out;
  EXPECT_EQ(out.find("successfully"), std::string::npos) << out;
  EXPECT_EQ(ReadFileText(usb + "Updates.BaZ"), "last month's updates");
  EXPECT_TRUE(Hidden(usb).empty());
  EXPECT_TRUE(fs::is_empty(FTemp / "runtime"));

  ASSERT_EQ(Limited(0, args, out, "y\n"), 0) << out;
  EXPECT_NE(out.find(GetText(txtDownloadedAndSaved)), std::string::npos) << out;
  EXPECT_EQ(RunShellCommand("unzip -tq " + Q(usb + "Updates.BaZ"), &out), 0) << out;
}

}  // namespace
