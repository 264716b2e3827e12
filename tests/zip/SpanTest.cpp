// Archives spanned over simulated 1.44 MB disks in a removable drive.

#include <gtest/gtest.h>

#include <filesystem>

#include "SimulatedVolumes.h"
#include "TempDir.h"
#include "UnZipper.h"
#include "ZipTestSupport.h"
#include "Zipper.h"

namespace {

constexpr int64_t FloppyBytes = 1457664;  // free space of a fresh 1.44 MB disk
constexpr int FileCount = 5;

class Span : public ::testing::Test {
 protected:
  void SetUp() override {
    FVolumes = std::make_unique<TSimulatedVolumes>(FRoot.Path());
    FUse = std::make_unique<TScopedVolumes>(*FVolumes);
    FDrive = FRoot / "floppy";
    FVolumes->AddRemovableDrive(FDrive);
    for (int i = 0; i < 4; ++i) FVolumes->AddDisk(FloppyBytes);
    FVolumes->InsertDisk(0);
    // Chart updates hardly shrink: about three disks' worth.
    for (int i = 0; i < FileCount; ++i) {
      const std::string name = FSource / ("chart" + std::to_string(i) + ".120");
      std::vector<uint8_t> data(800000);
      uint32_t x = 1234567u + static_cast<uint32_t>(i);
      for (auto& b : data) b = static_cast<uint8_t>((x = x * 1664525u + 1013904223u) >> 24);
      WriteFileBytes(name, data);
      FFiles.push_back(name);
    }
  }

  // Writes the set as the update wizard does; returns the disks asked for.
  std::vector<int> WriteSet() {
    TZipper zipper;
    zipper.SetZipName(FDrive + "/Updates.BaZ");
    zipper.MultiZipInfo.MultiMode = mmSpan;
    zipper.MultiZipInfo.WriteDiskLabels = true;
    zipper.MultiZipInfo.SaveZipInfoOnFirstDisk = true;
    zipper.MultiZipInfo.SaveOnFirstDisk = 2000;
    zipper.FilesList = FFiles;
    std::vector<int> asked;
    zipper.OnGetNextDisk = [&](int Disk, std::string&) {
      asked.push_back(Disk);
      FVolumes->InsertDisk(Disk - 1);
    };
    EXPECT_EQ(zipper.CreateArchive(), FileCount);
    return asked;
  }

  // A reader of the set in the drive that records the disks it asks for
  // and has the user put them in.
  std::unique_ptr<TUnZipper> Reader(std::vector<int>& Asked) {
    auto unzipper = std::make_unique<TUnZipper>();
    unzipper->SetZipName(FDrive + "/Updates.BaZ");
    unzipper->SetDestDir(FDest.Path());
    unzipper->DoAll = true;
    unzipper->OnGetNextDisk = [this, &Asked](int Disk, std::string&) {
      Asked.push_back(Disk);
      FVolumes->InsertDisk(Disk - 1);
    };
    return unzipper;
  }

  int64_t DiskFileSize(int Disk) {
    return static_cast<int64_t>(
        std::filesystem::file_size(FVolumes->DiskFolder(Disk) + "Updates.BaZ"));
  }

  TempDir FRoot, FSource, FDest;
  std::unique_ptr<TSimulatedVolumes> FVolumes;
  std::unique_ptr<TScopedVolumes> FUse;
  std::string FDrive;
  std::vector<std::string> FFiles;
};

TEST_F(Span, DisksAreLabelledFilledAndKeepRoomOnTheFirst) {
  EXPECT_EQ(WriteSet(), (std::vector<int>{2, 3}));
  const int64_t reserve = 2000 + 58 * FileCount + 2070;
  EXPECT_EQ(DiskFileSize(0), FloppyBytes - reserve);
  EXPECT_EQ(DiskFileSize(1), FloppyBytes);
  EXPECT_GT(DiskFileSize(2), 0);
  for (int disk = 0; disk < 3; ++disk) {
    EXPECT_EQ(FVolumes->DiskLabel(disk), "PKBACK# 00" + std::to_string(disk + 1));
    EXPECT_LE(FVolumes->UsedSpace(disk), FloppyBytes);
  }
  EXPECT_EQ(FVolumes->DiskLabel(3), "");
  const std::vector<uint8_t> first = ReadFileBytes(FVolumes->DiskFolder(0) + "Updates.BaZ");
  EXPECT_EQ(std::vector<uint8_t>(first.begin(), first.begin() + 4),
            (std::vector<uint8_t>{'P', 'K', 7, 8}));
}

// The last disk is in the drive after writing: the directory is read from
// it, then disk 1 is asked for again and the rest in order.
TEST_F(Span, SetIsReadBackOverTheSameDisks) {
  WriteSet();
  std::vector<int> asked;
  auto unzipper = Reader(asked);
  int badCrc = 0;
  unzipper->OnBadCRC = [&](const std::string&, uint32_t, uint32_t) { ++badCrc; };
  EXPECT_EQ(unzipper->ExtractAll(), FileCount);
  EXPECT_EQ(badCrc, 0);
  ASSERT_FALSE(asked.empty());
  EXPECT_EQ(asked.front(), 1);
  EXPECT_EQ(asked.back(), 3);
  for (const std::string& file : FFiles)
    EXPECT_EQ(ReadFileBytes(FDest / file.substr(file.find_last_of('/') + 1)), ReadFileBytes(file));
}

// Starting from disk 1, the reader walks to the last disk for the directory.
TEST_F(Span, ReadingStartsFromTheFirstDisk) {
  WriteSet();
  FVolumes->InsertDisk(0);
  std::vector<int> asked;
  EXPECT_EQ(Reader(asked)->ExtractAll(), FileCount);
  ASSERT_GE(asked.size(), 3u);
  EXPECT_EQ(std::vector<int>(asked.begin(), asked.begin() + 2), (std::vector<int>{2, 3}));
}

TEST_F(Span, WrongDiskIsAskedForAgain) {
  WriteSet();
  std::vector<int> asked;
  auto unzipper = Reader(asked);
  bool fooled = false;
  unzipper->OnGetNextDisk = [&](int Disk, std::string&) {
    asked.push_back(Disk);
    // The first time the user puts in disk 2 instead of disk 1.
    FVolumes->InsertDisk(!fooled && Disk == 1 ? 1 : Disk - 1);
    fooled = true;
  };
  EXPECT_EQ(unzipper->ExtractAll(), FileCount);
  ASSERT_GE(asked.size(), 2u);
  EXPECT_EQ(asked[0], 1);
  EXPECT_EQ(asked[1], 1);
}

// A user who forgets to change the disk is asked again; disk 1 is not overwritten.
TEST_F(Span, UnchangedDiskIsNotOverwritten) {
  TZipper zipper;
  zipper.SetZipName(FDrive + "/Updates.BaZ");
  zipper.MultiZipInfo.MultiMode = mmSpan;
  zipper.FilesList = FFiles;
  int calls = 0;
  zipper.OnGetNextDisk = [&](int Disk, std::string&) {
    if (calls++ > 0) FVolumes->InsertDisk(Disk - 1);
  };
  EXPECT_EQ(zipper.CreateArchive(), FileCount);
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(DiskFileSize(0), FloppyBytes);
}

struct TCancelRow {
  const char* Name;
  bool Writing;
  bool UseEvent;  // false: the default prompt through the message hook
};

TEST_F(Span, CancelAtADiskPromptEndsTheOperation) {
  const TCancelRow rows[] = {{"write, event", true, true},
                             {"write, prompt", true, false},
                             {"read, event", false, true},
                             {"read, prompt", false, false}};
  for (const TCancelRow& row : rows) {
    SCOPED_TRACE(row.Name);
    FVolumes->InsertDisk(0);
    if (!row.Writing) WriteSet();
    TMessageCatcher messages(zmrCancel);
    TZipper zipper;
    zipper.SetZipName(FDrive + "/Updates.BaZ");
    zipper.SetDestDir(FDest.Path());
    zipper.DoAll = true;
    zipper.MultiZipInfo.MultiMode = mmSpan;
    zipper.FilesList = FFiles;
    if (row.UseEvent) zipper.OnGetNextDisk = [](int, std::string& Name) { Name.clear(); };
    try {
      if (row.Writing)
        zipper.CreateArchive();
      else
        zipper.ExtractAll();
      ADD_FAILURE() << "no error";
    } catch (const EZipError& e) {
      EXPECT_EQ(e.Message(), "User canceled loading new disk");
    }
    if (row.UseEvent) {
      EXPECT_TRUE(messages.Texts.empty());
    } else {
      ASSERT_EQ(messages.Texts.size(), 1u);
      EXPECT_EQ(messages.Texts[0], row.Writing ? "Please insert disk 2 of the multi-disk set."
                                               : "Please insert disk 1 of the multi-disk set.");
    }
  }
}

TEST_F(Span, TooLittleRoomOnTheFirstDiskIsAnError) {
  TZipper zipper;
  zipper.SetZipName(FDrive + "/Updates.BaZ");
  zipper.MultiZipInfo.MultiMode = mmSpan;
  zipper.MultiZipInfo.SaveZipInfoOnFirstDisk = true;
  zipper.MultiZipInfo.SaveOnFirstDisk = FloppyBytes;
  zipper.FilesList = FFiles;
  try {
    zipper.CreateArchive();
    FAIL() << "no error";
  } catch (const EZipError& e) {
    EXPECT_EQ(e.Message(), "Error Not enough room to write archive");
  }
}

// Renamed as a split set, our disks are one archive for 7-Zip.
TEST_F(Span, DisksRenamedAsSplitSetPassSevenZip) {
  if (!HaveTool("7z")) GTEST_SKIP() << "7z (p7zip-full) not installed";
  WriteSet();
  TempDir split;
  const char* names[] = {"set.z01", "set.z02", "set.zip"};
  for (int disk = 0; disk < 3; ++disk)
    std::filesystem::copy_file(FVolumes->DiskFolder(disk) + "Updates.BaZ", split / names[disk]);
  const std::string out = CommandOutput("cd " + Quote(split.Path()) + " && 7z t set.zip 2>&1");
  EXPECT_NE(out.find("Everything is Ok"), std::string::npos) << out;
  EXPECT_NE(out.find("Files: " + std::to_string(FileCount)), std::string::npos) << out;
  EXPECT_EQ(out.find("Warning"), std::string::npos) << out;
  // zrntool takes the same set from its last part.
  const char* build = std::getenv("ZARNAVIS_BUILD_DIR");
  ASSERT_TRUE(build);
  EXPECT_EQ(RunCommand(std::string(build) + "/tools/zrntool zip extract " +
                       Quote(split / "set.zip") + " " + Quote(FDest.Path())),
            0);
  for (const std::string& file : FFiles)
    EXPECT_EQ(ReadFileBytes(FDest / file.substr(file.find_last_of('/') + 1)), ReadFileBytes(file));
}

}  // namespace
