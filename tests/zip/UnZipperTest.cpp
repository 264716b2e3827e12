// The reader's settings, events and operations as the program uses them.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <filesystem>

#include "FileTimes.h"
#include "TempDir.h"
#include "UnZipper.h"
#include "ZipTestSupport.h"
#include "Zipper.h"

namespace {

// Offsets of every occurrence of a record signature.
std::vector<size_t> FindSignature(const std::vector<uint8_t>& Data, uint32_t Signature) {
  std::vector<size_t> at;
  for (size_t i = 0; i + 4 <= Data.size(); ++i)
    if ((Data[i] | Data[i + 1] << 8 | Data[i + 2] << 16 | uint32_t(Data[i + 3]) << 24) == Signature)
      at.push_back(i);
  return at;
}

void Put16(std::vector<uint8_t>& Data, size_t At, uint16_t Value) {
  Data[At] = static_cast<uint8_t>(Value);
  Data[At + 1] = static_cast<uint8_t>(Value >> 8);
}

class UnZipper : public ::testing::Test {
 protected:
  // An archive of our writer with three files: a.txt, b.bin, c.txt.
  void SetUp() override {
    FData = {{"a.txt", std::vector<uint8_t>(1000, 'a')},
             {"b.bin", ChartLikeBytes(50000, 7)},
             {"c.txt", {'c'}}};
    TZipper zipper;
    FArchive = FWork / "three.zip";
    zipper.SetZipName(FArchive);
    for (const auto& [name, data] : FData) {
      WriteFileBytes(FWork / name, data);
      zipper.FilesList.push_back(FWork / name);
    }
    ASSERT_EQ(zipper.CreateArchive(), 3);
  }

  TempDir FWork, FDest;
  std::string FArchive;
  std::vector<std::pair<std::string, std::vector<uint8_t>>> FData;
};

TEST_F(UnZipper, ArchiveInMemoryIsReadWithoutTheFileAndDetaches) {
  TMemoryStream memory;
  memory.LoadFromFile(FArchive);
  std::filesystem::rename(FArchive, FWork / "moved.zip");
  TUnZipper unzipper;
  unzipper.SetArchiveStream(&memory);
  unzipper.OverwriteMode = TUZOverwriteMode::Always;
  unzipper.ReadDirectory();
  ASSERT_EQ(unzipper.EntryCount(), 3);
  EXPECT_EQ(unzipper.EntryName(1), "b.bin");
  unzipper.SetDestDir(FDest.Path());
  unzipper.SetEntrySelected(1, true);
  EXPECT_EQ(unzipper.ExtractSelected(), 1);
  unzipper.SetEntrySelected(1, false);
  EXPECT_EQ(ReadFileBytes(FDest / "b.bin"), FData[1].second);
  EXPECT_FALSE(std::filesystem::exists(FDest / "a.txt"));
  // Detached, the reader goes back to ZipName.
  unzipper.SetArchiveStream(nullptr);
  unzipper.SetZipName(FWork / "moved.zip");
  unzipper.ReadDirectory();
  EXPECT_EQ(unzipper.EntryCount(), 3);
}

TEST_F(UnZipper, IndexOutOfRangeNamesTheIndex) {
  TUnZipper unzipper;
  unzipper.SetZipName(FArchive);
  std::vector<bool> busy;
  auto previous = SetZipBusyHook([&](bool Busy) { busy.push_back(Busy); });
  unzipper.ReadDirectory();
  SetZipBusyHook(previous);
  EXPECT_EQ(busy, (std::vector<bool>{true, false})) << "hourglass while the directory is read";
  try {
    unzipper.SetEntrySelected(3, true);
    FAIL() << "no error";
  } catch (const EZipError& e) {
    EXPECT_EQ(e.Message(), "Index 3 is out of range");
  }
  EXPECT_THROW(unzipper.EntryName(-1), EZipError);
}

struct TOverwriteRow {
  const char* Name;
  TUZOverwriteMode Mode;
  int FileAgeShift;  // seconds the existing file is newer (+) or older (-) than the entry
  int Answer;        // of the message box for Prompt
  bool Replaced;
};

TEST_F(UnZipper, OverwriteModesDecideOnAnExistingFile) {
  const TOverwriteRow rows[] = {
      {"always", TUZOverwriteMode::Always, +3600, zmrNo, true},
      {"never", TUZOverwriteMode::Never, -3600, zmrYes, false},
      {"ifNewer, entry newer", TUZOverwriteMode::ifNewer, -3600, zmrNo, true},
      {"ifNewer, entry older", TUZOverwriteMode::ifNewer, +3600, zmrYes, false},
      {"ifOlder, entry older", TUZOverwriteMode::ifOlder, +3600, zmrNo, true},
      {"ifOlder, entry newer", TUZOverwriteMode::ifOlder, -3600, zmrYes, false},
      {"prompt yes", TUZOverwriteMode::Prompt, 0, zmrYes, true},
      {"prompt no", TUZOverwriteMode::Prompt, 0, zmrNo, false},
  };
  const time_t entryTime = FileDateToUnixTime(FileAge(FWork / "a.txt"));
  for (const TOverwriteRow& row : rows) {
    SCOPED_TRACE(row.Name);
    const std::string target = FDest / "a.txt";
    WriteFileText(target, "old");
    const struct utimbuf times = {entryTime + row.FileAgeShift, entryTime + row.FileAgeShift};
    ::utime(target.c_str(), &times);
    TMessageCatcher messages(row.Answer);
    int skipped = 0;
    TUnZipper unzipper;
    unzipper.SetZipName(FArchive);
    unzipper.SetDestDir(FDest.Path());
    unzipper.OverwriteMode = row.Mode;
    unzipper.FilesList = {"A.TXT"};
    unzipper.OnSkippingFile = [&](const std::string&, const std::string&) { ++skipped; };
    EXPECT_EQ(unzipper.ExtractAll(), row.Replaced ? 1 : 0);
    EXPECT_EQ(ReadFileBytes(target).size(), row.Replaced ? 1000u : 3u);
    EXPECT_EQ(skipped, row.Replaced ? 0 : 1);
    if (row.Mode == TUZOverwriteMode::Prompt) {
      ASSERT_EQ(messages.Texts.size(), 1u);
      EXPECT_EQ(messages.Texts[0], "Replace existing file " + target + "?");
      EXPECT_EQ(messages.Captions[0], "File Exists Alert");
    } else {
      EXPECT_TRUE(messages.Texts.empty());
    }
  }
}

TEST_F(UnZipper, PromptEventAnswersInsteadOfTheMessageBox) {
  WriteFileText(FDest / "c.txt", "old");
  TMessageCatcher messages(zmrNo);
  TUnZipper unzipper;
  unzipper.SetZipName(FArchive);
  unzipper.SetDestDir(FDest.Path());
  unzipper.DoAll = true;
  std::vector<int> asked;
  unzipper.OnPromptForOverwrite = [&](const std::string&, int Index, bool& Overwrite) {
    asked.push_back(Index);
    Overwrite = true;
  };
  EXPECT_EQ(unzipper.ExtractAll(), 3);
  EXPECT_EQ(asked, std::vector<int>{2});
  EXPECT_TRUE(messages.Texts.empty());
  EXPECT_EQ(ReadFileBytes(FDest / "c.txt"), FData[2].second);
}

TEST_F(UnZipper, ReadOnlyTargetIsReplacedOnlyWhenAllowed) {
  for (bool replace : {false, true}) {
    SCOPED_TRACE(replace);
    const std::string target = FDest / "c.txt";
    std::filesystem::remove(target);
    WriteFileText(target, "old");
    ::chmod(target.c_str(), 0444);
    TUnZipper unzipper;
    unzipper.SetZipName(FArchive);
    unzipper.SetDestDir(FDest.Path());
    unzipper.OverwriteMode = TUZOverwriteMode::Always;
    unzipper.ReplaceReadOnly = replace;
    unzipper.FilesList = {"c.*"};
    EXPECT_EQ(unzipper.ExtractAll(), replace ? 1 : 0);
    const std::vector<uint8_t> old = {'o', 'l', 'd'};
    EXPECT_EQ(ReadFileBytes(target), replace ? FData[2].second : old);
  }
}

// A damaged entry leaves nothing behind and the file it would have replaced stays.
TEST_F(UnZipper, BadCrcDeletesTheExtractedFileAndKeepsTheOldOne) {
  std::vector<uint8_t> zip = ReadFileBytes(FArchive);
  // a.txt is stored deflated; the last data byte before b.bin's header belongs to it.
  const std::vector<size_t> locals = FindSignature(zip, 0x04034b50);
  ASSERT_EQ(locals.size(), 3u);
  const std::vector<size_t> centrals = FindSignature(zip, 0x02014b50);
  zip[centrals[0] + 16] ^= 0x55;  // the stored CRC-32 of a.txt
  zip[locals[0] + 14] ^= 0x55;
  WriteFileBytes(FArchive, zip);
  WriteFileText(FDest / "a.txt", "old");
  TUnZipper unzipper;
  unzipper.SetZipName(FArchive);
  unzipper.SetDestDir(FDest.Path());
  unzipper.OverwriteMode = TUZOverwriteMode::Always;
  unzipper.DoAll = true;
  std::vector<std::string> bad;
  unzipper.OnBadCRC = [&](const std::string& Name, uint32_t, uint32_t) { bad.push_back(Name); };
  EXPECT_EQ(unzipper.ExtractAll(), 2);
  EXPECT_EQ(bad, std::vector<std::string>{FDest / "a.txt"});
  EXPECT_EQ(ReadFileBytes(FDest / "a.txt"), (std::vector<uint8_t>{'o', 'l', 'd'}));
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(FDest.Path())) files += e.exists();
  EXPECT_EQ(files, 3) << "no temporary file stays behind";
  TMemoryStream stream;
  EXPECT_EQ(unzipper.ExtractToStream(&stream, "a.txt"), 0);
  EXPECT_EQ(stream.GetSize(), 0);
}

TEST_F(UnZipper, UnknownMethodIsReportedAndNotExtracted) {
  std::vector<uint8_t> zip = ReadFileBytes(FArchive);
  const size_t local = FindSignature(zip, 0x04034b50)[1];
  const size_t central = FindSignature(zip, 0x02014b50)[1];
  Put16(zip, local + 8, 12);
  Put16(zip, central + 10, 12);
  WriteFileBytes(FArchive, zip);
  TMessageCatcher messages(zmrOk);
  TUnZipper unzipper;
  unzipper.SetZipName(FArchive);
  unzipper.SetDestDir(FDest.Path());
  unzipper.DoAll = true;
  EXPECT_EQ(unzipper.ExtractAll(), 2);
  ASSERT_EQ(messages.Texts.size(), 1u);
  EXPECT_EQ(messages.Texts[0], "Unknown Compression Method");
  EXPECT_EQ(messages.Captions[0], "Zip Error");
  EXPECT_FALSE(std::filesystem::exists(FDest / "b.bin"));
}

TEST_F(UnZipper, EventsReportProgressAndMayRenameOrSkip) {
  TUnZipper unzipper;
  unzipper.SetZipName(FArchive);
  unzipper.SetDestDir(FDest.Path());
  unzipper.DoAll = true;
  std::vector<int> total;
  int filePercent100 = 0, ended = 0;
  unzipper.OnStartUnZip = [&](int Index, std::string& Name, bool& Skip) {
    if (Index == 0) Name = FDest / "renamed.txt";
    Skip = Index == 2;
  };
  unzipper.OnFilePercentDone = [&](int Percent) { filePercent100 += Percent == 100; };
  unzipper.OnTotalPercentDone = [&](int Percent) { total.push_back(Percent); };
  unzipper.OnEndUnZip = [&](int, const std::string&) { ++ended; };
  int pumped = 0;
  auto previous = SetZipProcessMessagesHook([&] { ++pumped; });
  EXPECT_EQ(unzipper.ExtractAll(), 2);
  SetZipProcessMessagesHook(previous);
  EXPECT_EQ(ended, 2);
  EXPECT_EQ(filePercent100, 2);
  ASSERT_FALSE(total.empty());
  EXPECT_EQ(total.back(), 100);
  EXPECT_TRUE(std::is_sorted(total.begin(), total.end()));
  EXPECT_GT(pumped, 0);
  EXPECT_TRUE(std::filesystem::exists(FDest / "renamed.txt"));
  EXPECT_FALSE(std::filesystem::exists(FDest / "c.txt"));
}

TEST_F(UnZipper, StreamEntriesAreStoredReplacedAndReadBack) {
  const std::string update = FWork / "chart.120";
  TZipper zipper;
  zipper.SetZipName(update);
  TMemoryStream none;
  EXPECT_EQ(zipper.StoreFromStream(nullptr, "Data"), 0);
  EXPECT_EQ(zipper.StoreFromStream(&none, "  "), 0);
  EXPECT_FALSE(std::filesystem::exists(update));

  TMemoryStream first(ChartLikeBytes(4000, 9));
  first.SetPosition(100);  // stored from its first byte all the same
  ASSERT_EQ(zipper.StoreFromStream(&first, "Data"), 1);
  TMemoryStream other(std::vector<uint8_t>(10, 'x'));
  ASSERT_EQ(zipper.StoreFromStream(&other, "Other"), 1);
  TMemoryStream second(ChartLikeBytes(3000, 10));
  ASSERT_EQ(zipper.StoreFromStream(&second, " Data "), 1);

  TZipper reader;
  reader.SetZipName(update);
  reader.ReadDirectory();
  ASSERT_EQ(reader.EntryCount(), 2);
  TMemoryStream out;
  EXPECT_EQ(reader.ExtractToStream(&out, " Data"), 1);
  EXPECT_EQ(out.Data(), second.Data());
  EXPECT_EQ(reader.ExtractToStream(&out, ""), 0);
  EXPECT_EQ(reader.ExtractToStream(nullptr, "Data"), 0);
  EXPECT_EQ(reader.ExtractToStream(&out, "Missing"), 0);
  if (HaveTool("unzip")) {
    EXPECT_EQ(RunCommand("unzip -tq " + Quote(update) + " >/dev/null"), 0);
  }
}

// Cancelled from a progress event, extraction stops without a partial file
// and packing leaves the archive as it was.
TEST_F(UnZipper, CancelEndsWithUserAbortedAndLosesNothing) {
  WriteFileBytes(FWork / "big.bin", ChartLikeBytes(1 << 20, 5));
  TZipper packer;
  packer.SetZipName(FWork / "big.zip");
  packer.FilesList = {FWork / "big.bin"};
  ASSERT_EQ(packer.CreateArchive(), 1);
  const std::vector<uint8_t> before = ReadFileBytes(FArchive);
  for (bool writing : {false, true}) {
    SCOPED_TRACE(writing);
    TZipper zipper;
    zipper.SetZipName(writing ? FArchive : FWork / "big.zip");
    zipper.SetDestDir(FDest.Path());
    zipper.DoAll = true;
    zipper.FilesList = {FWork / "big.bin"};
    zipper.OnFilePercentDone = [&](int Percent) {
      if (Percent > 0 && Percent < 100) zipper.Cancel();
    };
    try {
      writing ? zipper.CreateArchive() : zipper.ExtractAll();
      ADD_FAILURE() << "no error";
    } catch (const EZipError& e) {
      EXPECT_EQ(e.Message(), "User Aborted Operation");
    }
    EXPECT_FALSE(std::filesystem::exists(FDest / "big.bin"));
    EXPECT_EQ(ReadFileBytes(FArchive), before);
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(FWork.Path())) files += e.exists();
    EXPECT_EQ(files, 6) << "no temporary file stays behind";
    int destFiles = 0;
    for (const auto& e : std::filesystem::directory_iterator(FDest.Path())) destFiles += e.exists();
    EXPECT_EQ(destFiles, 0);
  }
}

// A stream that fails half way: the archive it was to go into stays as it was.
class TFailingStream : public TMemoryStream {
 public:
  using TMemoryStream::TMemoryStream;
  int64_t Read(void* Buffer, int64_t Count) override {
    if (Position() > 1000) throw EReadError("Stream read error");
    return TMemoryStream::Read(Buffer, std::min<int64_t>(Count, 600));
  }
};

TEST_F(UnZipper, FailedStoreLeavesTheArchiveIntact) {
  const std::vector<uint8_t> before = ReadFileBytes(FArchive);
  TFailingStream failing(ChartLikeBytes(5000, 4));
  TZipper zipper;
  zipper.SetZipName(FArchive);
  EXPECT_THROW(zipper.StoreFromStream(&failing, "b.bin"), EReadError);
  EXPECT_EQ(ReadFileBytes(FArchive), before);
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(FWork.Path())) files += e.exists();
  EXPECT_EQ(files, 4) << "three sources and the archive, no temporary file";
}

}  // namespace
