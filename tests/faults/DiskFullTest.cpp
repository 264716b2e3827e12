// Writers on a full disk: a child with a file-size limit (RLIMIT_FSIZE,
// SIGXFSZ ignored, so a write beyond it fails with EFBIG), and a small
// file system of its own (ENOSPC) where the machine lets a test mount one.
// Every writer says the disk is full and names the file, keeps the old file
// and leaves no temporary file; zrninstall ends with status 1 and a next run
// with room completes.

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>

#include <cstring>
#include <functional>
#include <random>

#include "DiskFull.h"
#include "ErrorOf.h"
#include "FaultTestSupport.h"
#include "HiveFile.h"
#include "InChild.h"
#include "PeerProcess.h"
#include "QvDigitalCharts.h"
#include "QvRegistry.h"
#include "SimulatedVolumes.h"
#include "UnZipper.h"
#include "Zipper.h"

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> RandomBytes(size_t Size, uint32_t Seed) {
  std::mt19937 random(Seed);
  std::vector<uint8_t> out(Size);
  for (auto& b : out) b = uint8_t(random());
  return out;
}

// Runs Body in a child under a file-size limit; returns what it reported.
std::string UnderLimit(rlim_t Limit, const std::function<std::string()>& Body) {
  int fds[2];
  if (::pipe(fds) != 0) return "no pipe";
  const int status = InChild([&] {
    ::close(fds[0]);
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{Limit, Limit};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::string report;
    try {
      report = Body();
    } catch (const Exception& e) {
      report = std::string(e.ClassName()) + ": " + e.Message();
    }
    (void)!::write(fds[1], report.data(), report.size());
    return 0;
  });
  ::close(fds[1]);
  std::string report;
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0) report.append(buffer, size_t(n));
  ::close(fds[0]);
  return status == 0 ? report : "the child ended with " + std::to_string(status);
}

// One writer per row: Prepare makes the old state, Write runs under the
// limit and reports the error it met, Keep says what must be unchanged.
struct TWriterRow {
  const char* Name;
  rlim_t Limit;
  std::function<void(const TempDir&)> Prepare;
  std::function<std::string(const TempDir&)> Write;
  std::function<std::string(const TempDir&)> Expected;
  std::vector<std::string> Keep;  // files of the old state that must stay as they were
};

TBitmap NoisyBitmap() {
  TBitmap b;
  b.SetPixelFormat(8);
  b.SetSize(300, 200);
  std::vector<TRGB> palette(256);
  for (int i = 0; i < 256; ++i) palette[size_t(i)] = {uint8_t(i), uint8_t(255 - i), uint8_t(i / 2)};
  b.SetPalette(palette);
  const std::vector<uint8_t> noise = RandomBytes(300 * 200, 5);
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 300; ++x) b.SetPixelIndex(x, y, noise[size_t(y * 300 + x)]);
  return b;
}

void MakeArchive(const std::string& ZipName, const std::vector<std::string>& Files) {
  TZipper zip;
  zip.DoProcessMessages = false;
  zip.SetZipName(ZipName);
  zip.ZipAction = zaReplace;
  zip.FilesList = Files;
  zip.CreateArchive();
}

TEST(DiskFull, EveryWriterSaysSoNamesTheFileAndKeepsTheOldOne) {
  const std::string zrntool = ZrnTool();
  const TWriterRow rows[] = {
      {"bitmap writer",
       8192,
       [](const TempDir& D) { WriteFileText(D / "180101_120_2003.bmp", "old chart"); },
       [](const TempDir& D) {
         return ErrorOf<EStreamError>(
             [&] { WriteBitmapFile(D / "180101_120_2003.bmp", NoisyBitmap()); });
       },
       [](const TempDir& D) { return DiskFullMessage(D / "180101_120_2003.bmp"); },
       {"180101_120_2003.bmp"}},
      {"zip extraction",
       20000,
       [](const TempDir& D) {
         fs::create_directories(D / "src");
         fs::create_directories(D / "dest");
         WriteFileBytes(D / "src/data.bin", RandomBytes(100000, 1));
         MakeArchive(D / "a.zip", {D / "src/data.bin"});
         WriteFileText(D / "dest/data.bin", "old data");
       },
       [](const TempDir& D) {
         return ErrorOf<EZipError>([&] {
           TUnZipper unzip;
           unzip.DoProcessMessages = false;
           unzip.OverwriteMode = TUZOverwriteMode::Always;
           unzip.SetZipName(D / "a.zip");
           unzip.SetDestDir(D / "dest");
           unzip.DoAll = true;
           unzip.ExtractAll();
         });
       },
       [](const TempDir& D) { return DiskFullMessage(D / "dest/data.bin"); },
       {"dest/data.bin"}},
      {"zip archive (zrntool zip create)",
       20000,
       [](const TempDir& D) {
         WriteFileText(D / "small.txt", "a small file");
         MakeArchive(D / "updates.zip", {D / "small.txt"});
         WriteFileBytes(D / "big.bin", RandomBytes(100000, 2));
       },
       [zrntool](const TempDir& D) {
         std::string output;
         const int status =
             RunToEnd({zrntool, "zip", "create", D / "updates.zip", D / "big.bin"}, output);
         return "status " + std::to_string(status) + ": " + output;
       },
       [](const TempDir& D) {
         return "status 1: zrntool: " + DiskFullMessage(D / "updates.zip") + "\n";
       },
       {"updates.zip"}},
      {"settings hive",
       20000,
       [](const TempDir& D) {
         THiveFile hive(D / "system.reg", "HKEY_LOCAL_MACHINE");
         hive.Update([](THive& H) { H.CreateKey("K").Set(TRegValue::String("Kept", "yes")); });
       },
       [](const TempDir& D) {
         return ErrorOf<EHiveDiskFullError>([&] {
           THiveFile hive(D / "system.reg", "HKEY_LOCAL_MACHINE");
           const std::vector<uint8_t> big = RandomBytes(60000, 3);
           hive.Update([&](THive& H) {
             H.CreateKey("K").Set(TRegValue::Binary("BaZ Index 120", big.data(), big.size()));
           });
         });
       },
       [](const TempDir& D) { return DiskFullMessage(D / "system.reg"); },
       {"system.reg"}},
      {"registry value",
       20000,
       [](const TempDir& D) {
         setenv("ZARNAVIS_HOME", D.Path().c_str(), 1);
         SetRegistryKeyNames("ZRN", "2003");
         RegWriteString(rkMachine, "", "ZRN Folder", "/cd/");
       },
       [](const TempDir& D) {
         const std::vector<uint8_t> big = RandomBytes(60000, 4);
         return ErrorOf<ERegistryException>(
             [&] { RegWriteBinary(rkMachine, "", "BaZ Index 120", int(big.size()), big.data()); });
       },
       [](const TempDir& D) {
         return "Error opening registry key.\r\r\"HKEY_LOCAL_MACHINE\\Software\\Quorvel\\ZRN\\2003"
                "\"\r\r" +
                DiskFullMessage(D / "system.reg");
       },
       {"system.reg"}},
  };
  for (const TWriterRow& row : rows) {
    SCOPED_TRACE(row.Name);
    TempDir dir;
    row.Prepare(dir);
    std::map<std::string, std::vector<uint8_t>> before;
    for (const std::string& name : row.Keep) before[name] = ReadFileBytes(dir / name);
    const std::vector<std::string> namesBefore = FolderNames(dir.Path());
    EXPECT_EQ(UnderLimit(row.Limit, [&] { return row.Write(dir); }), row.Expected(dir));
    for (const auto& [name, bytes] : before) EXPECT_EQ(ReadFileBytes(dir / name), bytes) << name;
    EXPECT_EQ(FolderNames(dir.Path()), namesBefore);
    if (fs::exists(dir / "dest")) {
      EXPECT_EQ(FolderNames(dir / "dest"), std::vector<std::string>{"data.bin"});
    }
  }
}

// Packing onto removable disks: the disk whose write failed keeps no half
// of the set.
TEST(DiskFull, SpannedArchiveLeavesNoHalfWrittenDisk) {
  TempDir root, source;
  std::vector<std::string> files;
  for (int i = 0; i < 2; ++i) {
    files.push_back(source / ("chart" + std::to_string(i) + ".120"));
    WriteFileBytes(files.back(), RandomBytes(800000, uint32_t(10 + i)));
  }
  const std::string drive = root / "floppy";
  const std::string report = UnderLimit(300000, [&] {
    TSimulatedVolumes volumes(root.Path());
    TScopedVolumes use(volumes);
    volumes.AddRemovableDrive(drive);
    volumes.AddDisk(1457664);
    volumes.InsertDisk(0);
    return ErrorOf<EZipError>([&] {
      TZipper zip;
      zip.DoProcessMessages = false;
      zip.SetZipName(drive + "/Updates.BaZ");
      zip.MultiZipInfo.MultiMode = mmSpan;
      zip.FilesList = files;
      zip.CreateArchive();
    });
  });
  EXPECT_EQ(report, DiskFullMessage(drive + "/Updates.BaZ"));
  for (const auto& e : fs::recursive_directory_iterator(root.Path()))
    EXPECT_EQ(e.path().filename().string().find("Updates.BaZ"), std::string::npos) << e.path();
}

// A download that meets the limit: error 426 saying the disk is full.
TEST(DiskFull, DownloadSaysSoWithTheLocalFile) {
  TempDir root, out;
  WriteFileBytes(root / "update.120", RandomBytes(300000, 20));
  TPeerProcess server;
  const int port = FreePort();
  ASSERT_TRUE(server.Start({"/usr/bin/python3", "-m", "pyftpdlib", "-i", "127.0.0.1", "-p",
                            std::to_string(port), "-d", root.Path()},
                           port));
  std::string output;
  EXPECT_EQ(
      RunToEnd({ZrnTool(), "ftp", "get", "ftp://127.0.0.1:" + std::to_string(port) + "/update.120",
                out / "update.120", "--timeout", "10"},
               output, 100000),
      1);
  EXPECT_EQ(output, "zrntool: ftp: error 426: 426 " + DiskFullMessage(out / "update.120") + "\n");
}

// zrninstall of the demo set into an empty folder, with room for only part
// of it.
class DiskFullInstall : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    Work = new TempDir;
    ASSERT_TRUE(MakeDemoSet(*Work / "set"));
    // What a run with room installs.
    const std::string home = *Work / "home-clean";
    setenv("ZARNAVIS_HOME", home.c_str(), 1);
    std::string output;
    fs::create_directories(*Work / "clean");
    ASSERT_EQ(RunToEnd({ZrnInstall(), *Work / "set", *Work / "clean"}, output), 0) << output;
    After = new TFolderState(ReadFolder(*Work / "clean"));
  }
  static void TearDownTestSuite() {
    delete After;
    delete Work;
  }

  void SetUp() override {
    FDest = FDir / "charts";
    FHome = FDir / "home";
    fs::create_directories(FDest);
    setenv("ZARNAVIS_HOME", FHome.c_str(), 1);
    SetRegistryKeyNames("ZRN", "2003");
  }

  std::vector<std::string> Command() const { return {ZrnInstall(), *Work / "set", FDest}; }

  // What the failed run left in Folder: only complete new files under final
  // names, no temporary ones.
  void CheckNothingHalfWritten(const std::string& Folder) {
    const TFolderState now = ReadFolder(Folder);
    for (const auto& [name, state] : now) {
      ASSERT_TRUE(After->count(name)) << name << " is left";
      EXPECT_EQ(state, After->at(name)) << name << " is not the complete new file";
    }
  }

  static TempDir* Work;
  static TFolderState* After;
  TempDir FDir;
  std::string FDest, FHome;
};

TempDir* DiskFullInstall::Work = nullptr;
TFolderState* DiskFullInstall::After = nullptr;

// The writer that meets the limit depends on it: the calibration files come
// first (839 and 1112 bytes at 120 dpi), then the first bitmap (11844
// bytes). The chart file (10426 bytes) is unpacked into memory, so a limit
// below its size still lets the run reach the bitmap. A large stored index
// makes the settings hive the first file beyond the limit.
TEST_F(DiskFullInstall, EndsWithStatusOneAndTheFileNamedAndNextRunCompletes) {
  const struct {
    const char* Writer;
    rlim_t Limit;
    bool LargeIndex;
    std::string Named;  // the file the message names, below the test folder
  } rows[] = {
      {"zip extraction", 1000, false, "charts/1801_120_2003.chi"},
      {"bitmap writer, below the chart file's size", 5000, false, "charts/180101_120_2003.bmp"},
      {"bitmap writer", 11000, false, "charts/180101_120_2003.bmp"},
      {"settings hive", 50000, true, "home/system.reg"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Writer);
    std::error_code ec;
    fs::remove_all(FDest, ec);
    fs::remove_all(FHome, ec);
    fs::create_directories(FDest);
    if (row.LargeIndex) {
      // Records of other sets, which the installation keeps.
      std::vector<uint8_t> index;
      for (int i = 0; i < 5000; ++i)
        for (uint8_t b :
             {uint8_t(i), uint8_t(i >> 8), uint8_t(0), uint8_t(0), uint8_t(0), uint8_t(3),
              uint8_t(18), uint8_t(0), uint8_t(1), uint8_t(2), uint8_t(3), uint8_t(4)})
          index.push_back(b);
      RegWriteBinary(rkMachine, "", "BaZ Index 120", int(index.size()), index.data());
      RegWriteInteger(rkMachine, "", "BaZ Index size 120", int(index.size()) - 12);
    }
    const std::string hive = ReadFileText(FHome + "/system.reg");
    std::string output;
    EXPECT_EQ(RunToEnd(Command(), output, row.Limit), 1) << output;
    const std::string named = FDir / row.Named;
    EXPECT_NE(output.find("The disk is full: \"" + named), std::string::npos) << output;
    EXPECT_NE(output.find("\" could not be written."), std::string::npos) << output;
    CheckNothingHalfWritten(FDest);
    EXPECT_EQ(TemporaryNames(FolderNames(FDest)), std::vector<std::string>{});
    EXPECT_EQ(ReadFileText(FHome + "/system.reg"), hive);
    EXPECT_FALSE(fs::exists(FHome + "/system.reg.new"));
    // With room again the installation simply works.
    EXPECT_EQ(RunToEnd(Command(), output), 0) << output;
    EXPECT_EQ(ReadFolder(FDest), *After);
  }
}

// A real full disk: a small file system of its own in a private mount
// namespace (root only, and only where the machine allows mounting).
TEST_F(DiskFullInstall, OnASmallFileSystem) {
  const std::string report = FDir / "report";
  const std::string copy = FDir / "copy";
  fs::create_directories(copy);
  const int status = InChild([&] {
    if (::unshare(CLONE_NEWNS) != 0) return 90;
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return 91;
    if (::mount("zarnavis-test", FDest.c_str(), "tmpfs", 0, "size=64k,mode=0755") != 0) return 92;
    std::string output;
    const int install = RunToEnd(Command(), output);
    WriteFileText(report, std::to_string(install) + "\n" + output);
    for (const auto& e : fs::directory_iterator(FDest)) {
      if (!e.is_regular_file()) continue;
      const std::string target = copy + "/" + e.path().filename().string();
      fs::copy_file(e.path(), target);
      struct stat st {};
      ::stat(e.path().c_str(), &st);
      const timespec times[2] = {st.st_atim, st.st_mtim};
      ::utimensat(AT_FDCWD, target.c_str(), times, 0);
    }
    WriteFileText(copy + ".names", [&] {
      std::string names;
      for (const std::string& n : FolderNames(FDest)) names += n + "\n";
      return names;
    }());
    return 0;
  });
  if (status >= 90 && status <= 92)
    GTEST_SKIP() << "this machine does not let the test mount a small file system ("
                 << (status == 92 ? "mount" : "unshare") << " refused; it needs root with "
                 << "CAP_SYS_ADMIN)";
  ASSERT_EQ(status, 0);
  const std::string text = ReadFileText(report);
  EXPECT_EQ(text.substr(0, 2), "1\n") << text;
  EXPECT_NE(text.find("The disk is full: \"" + FDest + "/"), std::string::npos) << text;
  const std::string names = ReadFileText(copy + ".names");
  EXPECT_EQ(names.find(".zrn-"), std::string::npos) << names;
  CheckNothingHalfWritten(copy);
  // Something was installed before the disk was full: the case is not empty.
  EXPECT_FALSE(FolderNames(copy).empty());
}

}  // namespace
