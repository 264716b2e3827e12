// Cross-checks with Info-ZIP: it writes, we read; we write, it reads.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <filesystem>

#include "TempDir.h"
#include "UnZipper.h"
#include "ZipTestSupport.h"
#include "Zipper.h"

namespace {

// Seconds between the modification times of two files.
long long MtimeDistance(const std::string& A, const std::string& B) {
  struct stat a {
  }, b{};
  ::stat(A.c_str(), &a);
  ::stat(B.c_str(), &b);
  return std::llabs(static_cast<long long>(a.st_mtime - b.st_mtime));
}

class Interop : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveTool("zip") || !HaveTool("unzip")) GTEST_SKIP() << "Info-ZIP zip/unzip not installed";
    std::filesystem::create_directories(FSrc / "maps/sub");
    FFiles = {
        {"chart.bmp", ChartLikeBytes(300000, 1)},
        {"notes.txt", std::vector<uint8_t>(5000, 'a')},
        {"empty.dat", {}},
        {"maps/inner.bin", ChartLikeBytes(70001, 2)},
        {"maps/sub/deep.txt", ChartLikeBytes(123, 3)},
        {"locked.txt", std::vector<uint8_t>{'r', 'o'}},
    };
    // An old date, so that a date not carried over shows.
    const struct utimbuf old = {1051790400, 1051790400};
    for (const auto& [name, data] : FFiles) {
      WriteFileBytes(FSrc / name, data);
      ::utime((FSrc / name).c_str(), &old);
    }
    ::chmod((FSrc / "locked.txt").c_str(), 0444);
  }

  TempDir FSrc, FOut;
  std::vector<std::pair<std::string, std::vector<uint8_t>>> FFiles;
};

// Every option row writes an archive with Info-ZIP that we must extract exactly.
TEST_F(Interop, ArchivesOfInfoZipExtractToIdenticalBytes) {
  for (const std::string options : {"-0", "-1", "-6", "-9"}) {
    SCOPED_TRACE(options);
    TempDir dest;
    const std::string archive = FOut / ("iz" + options + ".zip");
    ASSERT_EQ(RunCommand("cd " + Quote(FSrc.Path()) + " && zip -q -r " + options + " " +
                         Quote(archive) + " ."),
              0);
    TUnZipper unzipper;
    unzipper.SetZipName(archive);
    unzipper.SetDestDir(dest.Path() + "/");
    unzipper.DoAll = true;
    int badCrc = 0;
    unzipper.OnBadCRC = [&](const std::string&, uint32_t, uint32_t) { ++badCrc; };
    EXPECT_EQ(unzipper.ExtractAll(), static_cast<int>(FFiles.size()));
    EXPECT_EQ(badCrc, 0);
    for (const auto& [name, data] : FFiles) {
      const std::string flat = name.substr(name.find_last_of('/') + 1);
      EXPECT_EQ(ReadFileBytes(dest / flat), data) << name;
      EXPECT_LE(MtimeDistance(FSrc / name, dest / flat), 2) << name;
    }
  }
}

TEST_F(Interop, ReadOnlyAttributeOfInfoZipEntryIsKept) {
  const std::string archive = FOut / "ro.zip";
  ASSERT_EQ(RunCommand("cd " + Quote(FSrc.Path()) + " && zip -q " + Quote(archive) +
                       " locked.txt notes.txt"),
            0);
  TempDir dest;
  TUnZipper unzipper;
  unzipper.SetZipName(archive);
  unzipper.SetDestDir(dest.Path());
  unzipper.DoAll = true;
  ASSERT_EQ(unzipper.ExtractAll(), 2);
  struct stat st {};
  ASSERT_EQ(::stat((dest / "locked.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0222, 0u);
  ASSERT_EQ(::stat((dest / "notes.txt").c_str(), &st), 0);
  EXPECT_NE(st.st_mode & 0200, 0u);
}

// Our archives pass unzip -t and unpack with unzip to the same bytes, at
// every level including stored, with file dates kept to the 2 seconds of the format.
TEST_F(Interop, OurArchivesPassUnzipTestAndUnpackIdentically) {
  for (int level : {0, 1, 6, 9}) {
    SCOPED_TRACE(level);
    const std::string archive = FOut / ("ours" + std::to_string(level) + ".zip");
    TZipper zipper;
    zipper.SetZipName(archive);
    zipper.PackLevel = level;
    for (const auto& [name, data] : FFiles) zipper.FilesList.push_back(FSrc / name);
    ASSERT_EQ(zipper.CreateArchive(), static_cast<int>(FFiles.size()));
    EXPECT_EQ(RunCommand("unzip -tq " + Quote(archive) + " >/dev/null"), 0);
    TempDir dest;
    ASSERT_EQ(RunCommand("unzip -q " + Quote(archive) + " -d " + Quote(dest.Path())), 0);
    for (const auto& [name, data] : FFiles) {
      const std::string flat = name.substr(name.find_last_of('/') + 1);
      EXPECT_EQ(ReadFileBytes(dest / flat), data) << name;
      struct stat a {
      }, b{};
      ::stat((FSrc / name).c_str(), &a);
      ::stat((dest / flat).c_str(), &b);
      EXPECT_LE(std::llabs(static_cast<long long>(a.st_mtime - b.st_mtime)), 2) << name;
    }
    const std::string listing = CommandOutput("unzip -Z1 " + Quote(archive));
    EXPECT_EQ(listing.find('/'), std::string::npos) << "names are stored without folders";
  }
}

TEST_F(Interop, StoredPathsAreReadByUnzip) {
  const std::string archive = FOut / "paths.zip";
  TZipper zipper;
  zipper.SetZipName(archive);
  zipper.StorePaths = true;
  zipper.Recurse = true;
  zipper.FilesList = {FSrc / "maps"};
  ASSERT_EQ(zipper.CreateArchive(), 2);
  EXPECT_EQ(CommandOutput("unzip -Z1 " + Quote(archive)), "maps/inner.bin\nmaps/sub/deep.txt\n");
  EXPECT_EQ(RunCommand("unzip -tq " + Quote(archive) + " >/dev/null"), 0);
}

// Info-ZIP on Linux stores UTF-8 names without a flag; Windows-1252 names
// of DOS-made archives and flagged UTF-8 names must come out alike.
TEST_F(Interop, NamesOfEveryOriginReadAsUtf8) {
  const std::string name = "kaart-\xc3\xbc\xc3\x9f.txt";  // kaart-üß.txt
  WriteFileText(FSrc / name, "x");
  const std::string archive = FOut / "names.zip";
  ASSERT_EQ(RunCommand("cd " + Quote(FSrc.Path()) + " && LANG=C.UTF-8 zip -q " + Quote(archive) +
                       " " + Quote(name)),
            0);
  TZipper ours;
  ours.SetZipName(FOut / "ours-names.zip");
  ours.FilesList = {FSrc / name};
  ASSERT_EQ(ours.CreateArchive(), 1);
  for (const std::string& path : {archive, FOut / "ours-names.zip"}) {
    SCOPED_TRACE(path);
    TUnZipper unzipper;
    unzipper.SetZipName(path);
    unzipper.ReadDirectory();
    ASSERT_EQ(unzipper.EntryCount(), 1);
    EXPECT_EQ(unzipper.EntryName(0), name);
  }
  // Ours stores the name in Windows-1252, as the program always did.
  const std::vector<uint8_t> bytes = ReadFileBytes(FOut / "ours-names.zip");
  const std::string raw(bytes.begin() + 30, bytes.begin() + 30 + 12);
  EXPECT_EQ(raw, "kaart-\xfc\xdf.txt");
}

// A second CreateArchive with zaUpdate keeps what the archive held.
TEST_F(Interop, UpdateAddsToAnExistingArchive) {
  const std::string archive = FOut / "update.zip";
  TZipper zipper;
  zipper.SetZipName(archive);
  zipper.FilesList = {FSrc / "chart.bmp"};
  ASSERT_EQ(zipper.CreateArchive(), 1);
  zipper.FilesList = {FSrc / "notes.txt"};
  ASSERT_EQ(zipper.CreateArchive(), 1);
  EXPECT_EQ(CommandOutput("unzip -Z1 " + Quote(archive)), "chart.bmp\nnotes.txt\n");
  EXPECT_EQ(RunCommand("unzip -tq " + Quote(archive) + " >/dev/null"), 0);
}

}  // namespace
