// zrntool zip list / extract / create as support and scripts use them.

#include <gtest/gtest.h>

#include <filesystem>

#include "TempDir.h"
#include "ZipTestSupport.h"

namespace {

class ZrnToolZip : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* build = std::getenv("ZARNAVIS_BUILD_DIR");
    ASSERT_TRUE(build);
    FTool = std::string(build) + "/tools/zrntool";
    ASSERT_TRUE(std::filesystem::exists(FTool));
  }
  // Exit status; standard error goes to FErr.
  int Run(const std::string& Args) {
    const int rc = RunCommand(Quote(FTool) + " zip " + Args + " >" + Quote(FWork / "out") + " 2>" +
                              Quote(FWork / "err"));
    const std::vector<uint8_t> err = ReadFileBytes(FWork / "err");
    const std::vector<uint8_t> out = ReadFileBytes(FWork / "out");
    FErr.assign(err.begin(), err.end());
    FOut.assign(out.begin(), out.end());
    return rc;
  }

  std::string FTool, FOut, FErr;
  TempDir FWork, FDest;
};

TEST_F(ZrnToolZip, CreateListExtractRoundTrip) {
  WriteFileText(FWork / "one.txt", std::string(1000, 'x'));
  WriteFileText(FWork / "two.bin", "ab");
  ASSERT_EQ(Run("create " + Quote(FWork / "a.zip") + " " + Quote(FWork / "one.txt") + " " +
                Quote(FWork / "two.bin")),
            0)
      << FErr;
  ASSERT_EQ(Run("list " + Quote(FWork / "a.zip")), 0) << FErr;
  char one[80], two[80];
  std::snprintf(one, sizeof one, "\t1000\t%08x\n",
                unsigned(Crc32Of(std::vector<uint8_t>(1000, 'x'))));
  std::snprintf(two, sizeof two, "two.bin\t0\t2\t2\t%08x\n", unsigned(Crc32Of({'a', 'b'})));
  EXPECT_EQ(FOut.substr(0, 10), "one.txt\t8\t");
  EXPECT_NE(FOut.find(one), std::string::npos) << FOut;
  EXPECT_NE(FOut.find(two), std::string::npos) << FOut;
  WriteFileText(FDest / "two.bin", "old");
  ASSERT_EQ(Run("extract " + Quote(FWork / "a.zip") + " " + Quote(FDest.Path())), 0) << FErr;
  EXPECT_EQ(ReadFileBytes(FDest / "two.bin"), (std::vector<uint8_t>{'a', 'b'}));
  EXPECT_EQ(Run("create " + Quote(FWork / "b.zip") + " " + Quote(FWork / "missing.txt")), 1);
  EXPECT_NE(FErr.find("missing.txt"), std::string::npos) << FErr;
}

struct TToolFailureRow {
  const char* Fixture;
  const char* ErrorText;
};

// Anything not extracted makes the exit status non-zero with a reason.
TEST_F(ZrnToolZip, ExtractFailuresExitNonZeroWithTheText) {
  const TToolFailureRow rows[] = {
      {"bad-crc.zip", "bad CRC"},
      {"unknown-method.zip", "Unknown Compression Method"},
      {"not-a-zip.zip", "Not a valid zip file!"},
      {"shrunk-truncated.zip", "Premature end of file reached"},
      {"unsafe-names.zip", "skipped"},
  };
  for (const TToolFailureRow& row : rows) {
    SCOPED_TRACE(row.Fixture);
    EXPECT_NE(Run("extract " + Quote(FixtureDir() + "/" + row.Fixture) + " " + Quote(FDest.Path())),
              0);
    EXPECT_NE(FErr.find(row.ErrorText), std::string::npos) << FErr;
  }
  EXPECT_EQ(Run("frobnicate"), 2);
}

}  // namespace
