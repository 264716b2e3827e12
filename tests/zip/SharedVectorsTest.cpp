// Our reader against archives written by other implementations: every
// entry listed in the vectors' MANIFEST must be listed alike and extract
// with the CRC-32 the manifest gives.

#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "TempDir.h"
#include "UnZipper.h"
#include "ZipTestSupport.h"

namespace {

struct TManifestEntry {
  std::string Name;
  unsigned Method = 0;
  uint32_t CompressedSize = 0, Size = 0, Crc = 0;
};

// The value after "Key=" in Line, or empty.
std::string Field(const std::string& Line, const std::string& Key) {
  const size_t at = Line.find(" " + Key + "=");
  if (at == std::string::npos) return {};
  const size_t start = at + Key.size() + 2;
  return Line.substr(start, Line.find(' ', start) - start);
}

std::map<std::string, std::vector<TManifestEntry>> ReadManifest(const std::string& Dir) {
  std::map<std::string, std::vector<TManifestEntry>> archives;
  std::ifstream in(Dir + "/MANIFEST.txt");
  std::string line, current;
  while (std::getline(in, line)) {
    if (line.rfind("  '", 0) == 0 && !current.empty()) {
      const size_t close = line.rfind("' method=");
      if (close == std::string::npos) continue;
      TManifestEntry e;
      e.Name = line.substr(3, close - 3);
      e.Method = static_cast<unsigned>(std::stoul(Field(line, "method")));
      e.CompressedSize = static_cast<uint32_t>(std::stoul(Field(line, "csize")));
      e.Size = static_cast<uint32_t>(std::stoul(Field(line, "usize")));
      e.Crc = static_cast<uint32_t>(std::stoul(Field(line, "crc"), nullptr, 16));
      archives[current].push_back(e);
    } else if (line.find(": ") != std::string::npos && line.find(" bytes") != std::string::npos &&
               line[0] != ' ') {
      current = line.substr(0, line.find(": "));
      archives[current];
    }
  }
  return archives;
}

class SharedVectors : public ::testing::Test {
 protected:
  void SetUp() override {
    FDir = SharedZipData();
    if (FDir.empty())
      GTEST_SKIP() << "shared zip test vectors not found (ZARNAVIS_SHARED_TESTDATA)";
    FManifest = ReadManifest(FDir);
    ASSERT_FALSE(FManifest.empty());
  }
  std::string FDir;
  std::map<std::string, std::vector<TManifestEntry>> FManifest;
};

// Each legacy archive is read from memory; every entry goes to a stream.
TEST_F(SharedVectors, LegacyArchivesExtractWithTheirCrc) {
  int entries = 0;
  std::map<unsigned, int> methods;
  for (const auto& [archive, expected] : FManifest) {
    if (archive.rfind("legacy/", 0) != 0) continue;
    SCOPED_TRACE(archive);
    TMemoryStream data;
    data.LoadFromFile(FDir + "/" + archive);
    TUnZipper unzipper;
    unzipper.SetArchiveStream(&data);
    unzipper.ReadDirectory();
    ASSERT_EQ(unzipper.EntryCount(), static_cast<int>(expected.size()));
    for (int i = 0; i < unzipper.EntryCount(); ++i) {
      const TZipCentralEntry& h = unzipper.Entry(i).Header;
      EXPECT_EQ(h.StoredName, expected[i].Name);
      EXPECT_EQ(h.Method, expected[i].Method);
      EXPECT_EQ(h.CompressedSize, expected[i].CompressedSize);
      EXPECT_EQ(h.Crc32, expected[i].Crc);
      TMemoryStream out;
      ASSERT_EQ(unzipper.ExtractToStream(&out, h.StoredName), 1) << h.StoredName;
      EXPECT_EQ(out.GetSize(), expected[i].Size);
      EXPECT_EQ(Crc32Of(out.Data()), expected[i].Crc) << h.StoredName;
      ++entries;
      ++methods[h.Method];
    }
  }
  EXPECT_GT(entries, 60);
  for (unsigned method : {0u, 1u, 2u, 3u, 4u, 5u, 6u}) EXPECT_GT(methods[method], 0) << method;
}

// The split set is offered as three disks: .z01, .z02 and the .zip with the end record.
TEST_F(SharedVectors, SplitSetExtractsCompletelyIntoOneFolder) {
  const std::string archive = "split/split_zip_created_by_zip.zip";
  ASSERT_TRUE(FManifest.count(archive));
  TempDir dest;
  TUnZipper unzipper;
  unzipper.SetZipName(FDir + "/" + archive);
  unzipper.SetDestDir(dest.Path());
  unzipper.DoAll = true;
  unzipper.OverwriteMode = TUZOverwriteMode::Never;
  int badCrc = 0;
  unzipper.OnBadCRC = [&](const std::string&, uint32_t, uint32_t) { ++badCrc; };
  std::vector<int> disksAsked;
  unzipper.OnGetNextDisk = [&](int Disk, std::string&) { disksAsked.push_back(Disk); };
  const int extracted = unzipper.ExtractAll();
  EXPECT_EQ(badCrc, 0);
  EXPECT_TRUE(disksAsked.empty()) << "split parts are found beside the last one";
  std::map<std::string, uint32_t> crcByName;
  int files = 0;
  for (const TManifestEntry& e : FManifest[archive]) {
    if (e.Name.back() == '/') continue;
    ++files;
    crcByName[e.Name.substr(e.Name.find_last_of('/') + 1)] = e.Crc;
  }
  // Folders are not recreated, so entries of the same name share one file.
  EXPECT_EQ(extracted, static_cast<int>(crcByName.size()));
  EXPECT_GE(files, extracted);
  for (const auto& [name, crc] : crcByName) {
    if (files != static_cast<int>(crcByName.size())) break;  // names repeat: contents may differ
    EXPECT_EQ(Crc32Of(ReadFileBytes(dest / name)), crc) << name;
  }
}

TEST_F(SharedVectors, SplitSetEntriesStreamWithTheirCrc) {
  const std::string archive = "split/split_zip_created_by_zip.zip";
  TUnZipper unzipper;
  unzipper.SetZipName(FDir + "/" + archive);
  unzipper.ReadDirectory();
  const auto& expected = FManifest[archive];
  ASSERT_EQ(unzipper.EntryCount(), static_cast<int>(expected.size()));
  int checked = 0;
  for (int i = 0; i < unzipper.EntryCount(); ++i) {
    const TZipCentralEntry& h = unzipper.Entry(i).Header;
    if (h.IsDirectory()) continue;
    TMemoryStream out;
    ASSERT_EQ(unzipper.ExtractToStream(&out, h.StoredName), 1) << h.StoredName;
    EXPECT_EQ(Crc32Of(out.Data()), expected[i].Crc) << h.StoredName;
    ++checked;
  }
  EXPECT_GT(checked, 100);
}

}  // namespace
