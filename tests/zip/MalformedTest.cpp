// Damaged and hostile archives (tests/data/zip, written by make-fixtures.py):
// each gives its error text, never a crash, never a file outside DestDir.

#include <gtest/gtest.h>

#include <filesystem>

#include "TempDir.h"
#include "UnZipper.h"
#include "ZipTestSupport.h"

namespace {

enum class TOutcome {
  DirectoryError,  // ReadDirectory raises Expected
  ExtractError,    // ExtractAll raises Expected
  BadCrc,          // OnBadCRC, nothing extracted
  Message,         // a message box with Expected, nothing extracted
  BadPassword,     // OnBadPassword, nothing extracted
};

struct TMalformedRow {
  const char* Fixture;
  TOutcome Outcome;
  const char* Expected;
};

const TMalformedRow Rows[] = {
    {"not-a-zip.zip", TOutcome::DirectoryError, "Not a valid zip file!"},
    {"truncated-archive.zip", TOutcome::DirectoryError, "Incomplete Zip File"},
    {"bad-central-offset.zip", TOutcome::DirectoryError, "Not a valid zip file!"},
    {"bad-central-size.zip", TOutcome::DirectoryError, "Not a valid zip file!"},
    {"bad-entry-count.zip", TOutcome::DirectoryError, "Not a valid zip file!"},
    {"overlapping-entries.zip", TOutcome::DirectoryError, "Not a valid zip file!"},
    {"bad-local-offset.zip", TOutcome::DirectoryError, "Not a valid zip file!"},
    {"bad-local-signature.zip", TOutcome::ExtractError, "Not a valid zip file!"},
    {"size-smaller-than-data.zip", TOutcome::ExtractError,
     "File is larger than uncompressed size!"},
    {"stored-larger-than-size.zip", TOutcome::ExtractError,
     "File is larger than uncompressed size!"},
    {"size-larger-than-data.zip", TOutcome::ExtractError, "Premature end of file reached"},
    {"truncated-deflate-data.zip", TOutcome::ExtractError, "Premature end of file reached"},
    {"bad-deflate-data.zip", TOutcome::ExtractError, "Not a valid zip file!"},
    {"bad-crc.zip", TOutcome::BadCrc, ""},
    {"unknown-method.zip", TOutcome::Message, "Unknown Compression Method"},
    {"encrypted-entry.zip", TOutcome::BadPassword, ""},
    {"shrunk-bad-first-code.zip", TOutcome::ExtractError, "Not a valid zip file!"},
    {"shrunk-unused-code.zip", TOutcome::ExtractError, "Not a valid zip file!"},
    {"shrunk-bad-control-code.zip", TOutcome::ExtractError, "Not a valid zip file!"},
    {"shrunk-truncated.zip", TOutcome::ExtractError, "Premature end of file reached"},
    {"reduced-bad-follower-count.zip", TOutcome::ExtractError, "Not a valid zip file!"},
    {"reduced-truncated.zip", TOutcome::ExtractError, "Premature end of file reached"},
    {"reduced-bad-follower-index.zip", TOutcome::ExtractError, "Not a valid zip file!"},
    {"imploded-tree-overflow.zip", TOutcome::ExtractError, "Not a valid zip file!"},
    {"imploded-oversubscribed-tree.zip", TOutcome::ExtractError, "Not a valid zip file!"},
    {"imploded-truncated.zip", TOutcome::ExtractError, "Premature end of file reached"},
};

// Every path below Dir, relative to it.
std::vector<std::string> PathsBelow(const std::string& Dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::recursive_directory_iterator(Dir))
    names.push_back(std::filesystem::relative(e.path(), Dir).string());
  std::sort(names.begin(), names.end());
  return names;
}

class Malformed : public ::testing::Test {
 protected:
  // The destination lies inside a sandbox, so anything written beside it shows.
  std::string Dest() { return FSandbox / "dest"; }
  TempDir FSandbox;
};

TEST_F(Malformed, EachDefectGivesItsErrorAndWritesNothingElse) {
  for (const TMalformedRow& row : Rows) {
    SCOPED_TRACE(row.Fixture);
    std::filesystem::remove_all(Dest());
    std::filesystem::create_directories(Dest());
    TMessageCatcher messages(zmrOk);
    TUnZipper unzipper;
    unzipper.SetZipName(FixtureDir() + "/" + row.Fixture);
    unzipper.SetDestDir(Dest());
    unzipper.DoAll = true;
    int badCrc = 0, badPassword = 0;
    unzipper.OnBadCRC = [&](const std::string&, uint32_t, uint32_t) { ++badCrc; };
    unzipper.OnBadPassword = [&](const std::string&) { ++badPassword; };
    std::string error;
    bool directoryRead = false;
    try {
      unzipper.ReadDirectory();
      directoryRead = true;
      EXPECT_EQ(unzipper.ExtractAll(), 0);
    } catch (const EZipError& e) {
      error = e.Message();
    }
    switch (row.Outcome) {
      case TOutcome::DirectoryError:
        EXPECT_FALSE(directoryRead);
        EXPECT_EQ(error, row.Expected);
        break;
      case TOutcome::ExtractError:
        EXPECT_TRUE(directoryRead);
        EXPECT_EQ(error, row.Expected);
        break;
      case TOutcome::BadCrc:
        EXPECT_EQ(badCrc, 1);
        break;
      case TOutcome::Message:
        ASSERT_EQ(messages.Texts.size(), 1u);
        EXPECT_EQ(messages.Texts[0], row.Expected);
        break;
      case TOutcome::BadPassword:
        EXPECT_EQ(badPassword, 1);
        break;
    }
    if (row.Outcome != TOutcome::DirectoryError && row.Outcome != TOutcome::ExtractError) {
      EXPECT_EQ(error, "");
    }
    EXPECT_EQ(PathsBelow(FSandbox.Path()), std::vector<std::string>{"dest"});
  }
}

// The same defects read from memory into a stream raise the same errors.
TEST_F(Malformed, StreamExtractionRaisesTheSameErrors) {
  for (const TMalformedRow& row : Rows) {
    if (row.Outcome != TOutcome::ExtractError) continue;
    SCOPED_TRACE(row.Fixture);
    TMemoryStream archive, out;
    archive.LoadFromFile(FixtureDir() + "/" + row.Fixture);
    TUnZipper unzipper;
    unzipper.SetArchiveStream(&archive);
    try {
      unzipper.ExtractToStream(&out, "a.txt");
      ADD_FAILURE() << "no error";
    } catch (const EZipError& e) {
      EXPECT_EQ(e.Message(), row.Expected);
    }
    EXPECT_EQ(out.GetSize(), 0);
  }
}

TEST_F(Malformed, UnsafeNamesLandInsideDestDirOrAreSkipped) {
  std::filesystem::create_directories(Dest());
  TUnZipper unzipper;
  unzipper.SetZipName(FixtureDir() + "/unsafe-names.zip");
  unzipper.SetDestDir(Dest());
  unzipper.DoAll = true;
  std::vector<std::string> skipped;
  unzipper.OnSkippingFile = [&](const std::string& Name, const std::string&) {
    skipped.push_back(Name);
  };
  for (bool recreate : {false, true}) {
    SCOPED_TRACE(recreate);
    skipped.clear();
    unzipper.RecreateDirs = recreate;
    unzipper.OverwriteMode = TUZOverwriteMode::Always;
    EXPECT_EQ(unzipper.ExtractAll(), 4);
    EXPECT_EQ(skipped, (std::vector<std::string>{"..", "dir/.", "."}));
  }
  EXPECT_EQ(PathsBelow(FSandbox.Path()),
            (std::vector<std::string>{"dest", "dest/a", "dest/a/evil4.txt", "dest/evil1.txt",
                                      "dest/evil2.txt", "dest/evil3.txt", "dest/evil4.txt",
                                      "dest/folder", "dest/tmp", "dest/tmp/evil2.txt"}));
  EXPECT_EQ(ReadFileBytes(Dest() + "/evil4.txt"), std::vector<uint8_t>{'4'});
}

}  // namespace
