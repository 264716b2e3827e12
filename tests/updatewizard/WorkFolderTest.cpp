// The private work folder of an update run.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "TempDir.h"
#include "WorkFolder.h"

namespace fs = std::filesystem;

namespace {

class WorkFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(FRoot / "runtime");
    setenv("XDG_RUNTIME_DIR", (FRoot / "runtime").c_str(), 1);
  }
  void TearDown() override { unsetenv("XDG_RUNTIME_DIR"); }

  std::vector<std::string> RuntimeEntries() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(FRoot / "runtime"))
      names.push_back(e.path().filename().string());
    return names;
  }

  TempDir FRoot;
};

TEST_F(WorkFolder, IsPrivateAndGoneWithEverythingInIt) {
  std::string path;
  {
    TWorkFolder work;
    path = work.Path();
    EXPECT_EQ(path.rfind(FRoot / "runtime/zrn-", 0), 0u) << path;
    EXPECT_EQ(path.back(), '/');
    struct stat st {};
    ASSERT_EQ(::lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    fs::create_directories(path + "sub/deeper");
    WriteFileText(path + "sub/deeper/x.120", "x");
    WriteFileText(path + "baz.idx", "y");
    work.Clear();
    EXPECT_TRUE(fs::exists(path));
    EXPECT_FALSE(fs::exists(path + "baz.idx"));
    EXPECT_FALSE(fs::exists(path + "sub"));
    WriteFileText(path + "180101.120", "z");
  }
  EXPECT_FALSE(fs::exists(path));
  EXPECT_TRUE(RuntimeEntries().empty());
}

TEST_F(WorkFolder, TakesTheTemporaryFolderWithoutARuntimeFolder) {
  unsetenv("XDG_RUNTIME_DIR");
  setenv("TMPDIR", (FRoot / "tmp").c_str(), 1);
  fs::create_directories(FRoot / "tmp");
  {
    TWorkFolder work;
    EXPECT_EQ(work.Path().rfind(FRoot / "tmp/zrn-", 0), 0u) << work.Path();
  }
  unsetenv("TMPDIR");
}

// Links planted inside are removed, never followed.
TEST_F(WorkFolder, RemovingNeverFollowsALink) {
  fs::create_directories(FRoot / "victim/inner");
  WriteFileText(FRoot / "victim/precious.bmp", "chart");
  WriteFileText(FRoot / "victim/inner/other.bmp", "chart");
  std::string path;
  {
    TWorkFolder work;
    path = work.Path();
    fs::create_directory_symlink(FRoot / "victim", path + "linked-folder");
    fs::create_symlink(FRoot / "victim/precious.bmp", path + "180101.120");
    work.Clear();
    EXPECT_FALSE(fs::exists(fs::symlink_status(path + "linked-folder")));
    fs::create_directory_symlink(FRoot / "victim", path + "again");
  }
  EXPECT_FALSE(fs::exists(path));
  EXPECT_EQ(ReadFileText(FRoot / "victim/precious.bmp"), "chart");
  EXPECT_EQ(ReadFileText(FRoot / "victim/inner/other.bmp"), "chart");
  // The folder itself given as a link: the link goes, its target stays.
  fs::create_directory_symlink(FRoot / "victim", FRoot / "runtime/zrn-abcdef");
  EXPECT_TRUE(RemoveTreeNoFollow(FRoot / "runtime/zrn-abcdef"));
  EXPECT_TRUE(fs::exists(FRoot / "victim/inner/other.bmp"));
}

// The files made ahead for the downloads: empty, only inside the folder
// (the names come from the server), never through a link, and a file that
// is there already keeps what it holds.
TEST_F(WorkFolder, FilesMadeAheadStayInsideAndKeepWhatIsThere) {
  TWorkFolder work;
  const std::string path = work.Path();
  fs::create_symlink(FRoot / "planted.bmp", path + "180101.120");
  WriteFileText(path + "180102.120", "fetched");
  work.MakeFilesAhead(
      {"../outside.120", "sub/180104.120", "..", "180101.120", "180102.120", "180103.240"});
  // The names are made in their order: once the last is there, all are done.
  for (int i = 0; i < 1000 && !fs::exists(path + "180103.240"); ++i) ::usleep(5000);
  ASSERT_TRUE(fs::exists(path + "180103.240"));
  EXPECT_EQ(fs::file_size(path + "180103.240"), 0u);
  EXPECT_EQ(ReadFileText(path + "180102.120"), "fetched");
  EXPECT_FALSE(fs::exists(FRoot / "planted.bmp"));
  EXPECT_FALSE(fs::exists(FRoot / "runtime/outside.120"));
  EXPECT_FALSE(fs::exists(path + "sub"));
}

// A run killed before it could remove its folder leaves it behind; the next
// run sweeps it, but never the folder of a run that is still going.
TEST_F(WorkFolder, NextRunSweepsWhatAKilledRunLeftButNotALiveOne) {
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  std::vector<pid_t> children;
  // Every child goes, whichever way the test ends.
  struct TReaper {
    std::vector<pid_t>& Pids;
    ~TReaper() {
      for (pid_t p : Pids) {
        ::kill(p, SIGKILL);
        ::waitpid(p, nullptr, 0);
      }
    }
  } reaper{children};
  auto child = [&](bool Wait) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      auto* work = new TWorkFolder;  // never freed: the process dies
      WriteFileText(work->Path() + "180101.120", "update");
      const char c = 'r';
      if (::write(ready[1], &c, 1) != 1) ::_exit(3);
      if (Wait) ::pause();
      ::kill(::getpid(), SIGKILL);
    }
    children.push_back(pid);
    char c;
    EXPECT_EQ(::read(ready[0], &c, 1), 1);
    return pid;
  };
  const pid_t live = child(true);
  const pid_t killed = child(false);
  int status = 0;
  ::waitpid(killed, &status, 0);
  children.pop_back();
  ASSERT_TRUE(WIFSIGNALED(status));
  ASSERT_EQ(RuntimeEntries().size(), 2u);

  // A run killed between making its folder and locking it leaves an empty
  // folder without a lock: taken at once.
  ASSERT_EQ(::mkdir((FRoot / "runtime/zrn-nolock").c_str(), 0700), 0);
  // Not ours: a folder of the same pattern that is open to others.
  fs::create_directories(FRoot / "runtime/zrn-open00");
  fs::permissions(FRoot / "runtime/zrn-open00", fs::perms::all);
  EXPECT_EQ(SweepStaleWorkFolders(FRoot / "runtime/"), 2);
  EXPECT_EQ(RuntimeEntries().size(), 2u);
  ::kill(live, SIGKILL);
  ::waitpid(live, &status, 0);
  children.clear();
  {
    TWorkFolder work;                        // sweeps on its way in
    EXPECT_EQ(RuntimeEntries().size(), 2u);  // its own and the foreign one
  }
  EXPECT_EQ(RuntimeEntries(), std::vector<std::string>{"zrn-open00"});
  ::close(ready[0]);
  ::close(ready[1]);
}

}  // namespace
