#include "FileAttributes.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "Paths.h"
#include "TempDir.h"

namespace {

mode_t ModeOf(const std::string& F) {
  struct stat st {};
  ::stat(F.c_str(), &st);
  return st.st_mode & 0777;
}

TEST(FileAttributes, ReadOnlyIsTheMissingOwnerWriteBit) {
  TempDir dir;
  std::string f = dir / "a.chi";
  WriteFileText(f, "x");
  ::chmod(f.c_str(), 0664);
  EXPECT_FALSE(FileIsReadOnly(f));
  ASSERT_TRUE(FileSetReadOnly(f, true));
  EXPECT_TRUE(FileIsReadOnly(f));
  EXPECT_EQ(ModeOf(f), 0444u);
  ASSERT_TRUE(FileSetReadOnly(f, false));
  EXPECT_FALSE(FileIsReadOnly(f));
  EXPECT_EQ(ModeOf(f), 0644u);
  EXPECT_FALSE(FileIsReadOnly(dir / "missing"));
  EXPECT_FALSE(FileSetReadOnly(dir / "missing", true));
}

TEST(FileAttributes, HiddenByName) {
  const std::pair<const char*, bool> cases[] = {
      {"/a/.hidden", true},   {".x", true}, {"/a/.dir/", true}, {"/a/visible", false},
      {"/.a/visible", false}, {".", false}, {"..", false},      {"/a/b.c", false},
  };
  for (auto& [name, hidden] : cases) EXPECT_EQ(FileIsHidden(name), hidden) << name;
}

TEST(FileAttributes, ExistsTellsFilesFromFolders) {
  TempDir dir;
  WriteFileText(dir / "f", "");
  EXPECT_TRUE(FileExists(dir / "f"));
  EXPECT_FALSE(FileExists(dir.Path()));
  EXPECT_TRUE(DirectoryExists(dir.Path()));
  EXPECT_FALSE(DirectoryExists(dir / "f"));
}

class Env {
 public:
  Env(const char* Name, const char* Value) : FName(Name) {
    if (const char* o = std::getenv(Name)) FOld = o, FHad = true;
    if (Value)
      ::setenv(Name, Value, 1);
    else
      ::unsetenv(Name);
  }
  ~Env() {
    if (FHad)
      ::setenv(FName.c_str(), FOld.c_str(), 1);
    else
      ::unsetenv(FName.c_str());
  }

 private:
  std::string FName, FOld;
  bool FHad = false;
};

TEST(Paths, TempAndSettingsFoldersFollowTheEnvironment) {
  {
    Env t("TMPDIR", nullptr);
    EXPECT_EQ(GetTempFolder(), "/tmp/");
  }
  {
    Env t("TMPDIR", "");
    EXPECT_EQ(GetTempFolder(), "/tmp/");
  }
  {
    Env t("TMPDIR", "/var/tmp");
    EXPECT_EQ(GetTempFolder(), "/var/tmp/");
  }
  Env home("HOME", "/home/sailor");
  {
    Env z("ZARNAVIS_HOME", nullptr), x("XDG_CONFIG_HOME", nullptr);
    EXPECT_EQ(GetSettingsFolder(), "/home/sailor/.config/zarnavis/");
  }
  {
    Env z("ZARNAVIS_HOME", nullptr), x("XDG_CONFIG_HOME", "/cfg/");
    EXPECT_EQ(GetSettingsFolder(), "/cfg/zarnavis/");
  }
  {
    Env z("ZARNAVIS_HOME", "/z"), x("XDG_CONFIG_HOME", "/cfg");
    EXPECT_EQ(GetSettingsFolder(), "/z/");
  }
}

TEST(Paths, NearestExistingFolderAndDelimiters) {
  TempDir dir;
  std::filesystem::create_directories(dir / "a/b");
  WriteFileText(dir / "a/file", "");
  EXPECT_EQ(NearestExistingFolder(dir / "a/b/c/d"), dir / "a/b/");
  EXPECT_EQ(NearestExistingFolder(dir / "a/b"), dir / "a/b/");
  EXPECT_EQ(NearestExistingFolder(dir / "a/file"), dir / "a/");
  EXPECT_EQ(NearestExistingFolder("/no-such-zarnavis-folder/x"), "/");
  EXPECT_EQ(IncludeTrailingPathDelimiter("a"), "a/");
  EXPECT_EQ(IncludeTrailingPathDelimiter("a/"), "a/");
  EXPECT_EQ(IncludeTrailingPathDelimiter(""), "/");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("a//"), "a");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("/"), "/");
}

}  // namespace
