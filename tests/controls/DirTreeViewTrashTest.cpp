#include "DirTreeViewTrash.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "TempDir.h"

namespace fs = std::filesystem;

namespace {

class TrashTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("XDG_DATA_HOME");
    OldXdg = old ? old : "";
    ::setenv("XDG_DATA_HOME", (Temp / "data").c_str(), 1);
  }
  void TearDown() override {
    if (OldXdg.empty())
      ::unsetenv("XDG_DATA_HOME");
    else
      ::setenv("XDG_DATA_HOME", OldXdg.c_str(), 1);
  }
  TempDir Temp;
  std::string OldXdg;
};

TEST_F(TrashTest, SameNameTwiceGetsTwoSlotsAndKeepsBothContents) {
  EXPECT_EQ(HomeTrashFolder(), Temp / "data/Trash/");
  for (const char* content : {"first", "second"}) {
    fs::create_directories(Temp / "work/charts");
    WriteFileText(Temp / "work/charts/a.txt", content);
    std::string error;
    ASSERT_TRUE(MoveFolderToTrash(Temp / "work/charts/", error)) << error;
    EXPECT_FALSE(fs::exists(Temp / "work/charts"));
  }
  const auto first = ReadFileBytes(Temp / "data/Trash/files/charts/a.txt");
  const auto second = ReadFileBytes(Temp / "data/Trash/files/charts.2/a.txt");
  EXPECT_EQ(std::string(first.begin(), first.end()), "first");
  EXPECT_EQ(std::string(second.begin(), second.end()), "second");
  EXPECT_TRUE(fs::exists(Temp / "data/Trash/info/charts.2.trashinfo"));
}

TEST_F(TrashTest, FailureLeavesTheFolderAndNoInfoBehind) {
  std::string error;
  EXPECT_FALSE(MoveFolderToTrash(Temp / "missing", error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(MoveFolderToTrash("/", error));
  // Moving the trash's own parent into itself cannot work; nothing is lost.
  fs::create_directories(Temp / "data/Trash/files");
  EXPECT_FALSE(MoveFolderToTrash(Temp / "data", error));
  EXPECT_TRUE(fs::is_directory(Temp / "data/Trash/files"));
  EXPECT_TRUE(fs::is_empty(Temp / "data/Trash/info"));
}

TEST_F(TrashTest, InfoPathIsPercentEncoded) {
  EXPECT_EQ(TrashInfoEscape("/home/a b/ä%#?"), "/home/a%20b/%C3%A4%25%23%3F");
  EXPECT_EQ(TrashInfoEscape("/plain-name_1.2~"), "/plain-name_1.2~");
}

}  // namespace
