// The program's temporary names and the sweep that removes what a dead run
// left: only our own names, only when their writer no longer runs.

#include "TemporaryFiles.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "TempDir.h"

namespace {

namespace fs = std::filesystem;

std::string OwnTag() {
  return std::to_string(::getpid()) + "-" + std::to_string(OwnProcessStart());
}

// A child that runs until it is killed; it tells its start time through a pipe.
class TLiveChild {
 public:
  TLiveChild() {
    int fds[2];
    EXPECT_EQ(::pipe(fds), 0);
    FPid = ::fork();
    if (FPid == 0) {
      const uint64_t start = OwnProcessStart();
      (void)!::write(fds[1], &start, sizeof start);
      for (;;) ::pause();
    }
    ::close(fds[1]);
    EXPECT_EQ(::read(fds[0], &FStart, sizeof FStart), ssize_t(sizeof FStart));
    ::close(fds[0]);
  }
  ~TLiveChild() { End(); }
  // Kills it; with Reap false it stays a zombie until the destructor.
  void End(bool Reap = true) {
    if (FPid <= 0) return;
    if (!FKilled) ::kill(FPid, SIGKILL);
    FKilled = true;
    if (!Reap) {
      // Wait until the kernel shows it as a zombie.
      for (int i = 0; i < 500; ++i) {
        const std::string stat = ReadFileText("/proc/" + std::to_string(FPid) + "/stat");
        const size_t paren = stat.rfind(')');
        if (paren != std::string::npos && stat.compare(paren + 2, 1, "Z") == 0) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
      return;
    }
    ::waitpid(FPid, nullptr, 0);
    FPid = -1;
  }
  std::string Tag() const { return std::to_string(FPid) + "-" + std::to_string(FStart); }
  pid_t Pid() const { return FPid; }
  uint64_t Start() const { return FStart; }

 private:
  pid_t FPid = -1;
  uint64_t FStart = 0;
  bool FKilled = false;
};

TEST(TemporaryFiles, NamesBesideTheTarget) {
  const std::string name = TemporaryNameBeside("/charts/180101_120_2003.bmp");
  EXPECT_EQ(name.rfind("/charts/.zrn-" + OwnTag() + "-", 0), 0u) << name;
  EXPECT_TRUE(name.ends_with("-180101_120_2003.bmp")) << name;
  EXPECT_NE(TemporaryNameBeside("/charts/a"), TemporaryNameBeside("/charts/a"));
  EXPECT_EQ(TemporaryNameBeside("plain").rfind(".zrn-", 0), 0u);
  // A long name is cut at 40 bytes, not inside a character ("é" is two bytes).
  const std::string longName = std::string(39, 'x') + "\xC3\xA9" + "tail.bmp";
  const std::string cut = TemporaryNameBeside("/c/" + longName);
  EXPECT_TRUE(cut.ends_with("-" + std::string(39, 'x'))) << cut;
  pid_t pid = 0;
  uint64_t start = 0;
  ASSERT_TRUE(ParseTemporaryName(fs::path(name).filename(), pid, start));
  EXPECT_EQ(pid, ::getpid());
  EXPECT_EQ(start, OwnProcessStart());
  EXPECT_GT(start, 0u);
}

TEST(TemporaryFiles, ParsesOnlyTheProgramsOwnForm) {
  const struct {
    const char* Name;
    bool Ours;
  } cases[] = {
      {".zrn-12-345-0-180101.zrn", true},
      {".zrn-12-0-7-", true},
      {".zrn-12-345-0-with-dashes-1-2", true},
      {".zrn-12-345-180101.zrn", false},  // no counter
      {".zrn-notes", false},
      {".zrn--345-0-x", false},
      {".zrn-0-345-0-x", false},  // no process has number 0
      {".zrn-99999999999-1-0-x", false},
      {"zrn-12-345-0-x", false},
      {".180101_120_2003.bmp.Ab12Cd", false},
      {"180101_120_2003.bmp", false},
  };
  for (const auto& c : cases) {
    pid_t pid = 0;
    uint64_t start = 0;
    EXPECT_EQ(ParseTemporaryName(c.Name, pid, start), c.Ours) << c.Name;
  }
}

// Each row plants one name; the sweep removes it exactly when its writer is gone.
TEST(TemporaryFiles, SweepRemovesOnlyWhatDeadWritersLeft) {
  TempDir dir;
  TLiveChild running, dead, zombie;
  dead.End();
  zombie.End(false);
  const struct {
    std::string Name;
    bool Removed;
  } rows[] = {
      {".zrn-" + OwnTag() + "-0-mine.bmp", false},
      {".zrn-" + running.Tag() + "-3-other copy.bmp", false},
      {".zrn-" + std::to_string(running.Pid()) + "-0-9-start unknown.bmp", false},
      // The number of a running process, but not its start: an earlier process.
      {".zrn-" + std::to_string(running.Pid()) + "-" + std::to_string(running.Start() + 1) +
           "-4-reused.bmp",
       true},
      {".zrn-" + std::to_string(::getpid()) + "-1-5-before boot.bmp", true},
      {".zrn-" + zombie.Tag() + "-0-zombie.bmp", true},
      {"180101_120_2003.bmp", false},
      {".180101_120_2003.bmp.Ab12Cd", false},
      {".zrn-notes", false},
  };
  for (const auto& r : rows) WriteFileText(dir / r.Name, "x");
  // A dead writer's name on a link: not a file we make, left alone.
  fs::create_symlink("180101_120_2003.bmp", dir / ".zrn-1-1-1-link");
  // A dead run's folder of chart files goes with its files; a live one stays.
  const std::string deadFolder = ".zrn-" + std::to_string(::getpid()) + "-1-6-charts";
  const std::string liveFolder = ".zrn-" + running.Tag() + "-7-charts";
  for (const std::string& folder : {deadFolder, liveFolder}) {
    fs::create_directory(dir / folder);
    WriteFileText(dir / folder + "/180101.zrn", "chart");
    WriteFileText(dir / folder + "/.zrn-1-1-1-180102.zrn", "part");
  }
  EXPECT_EQ(SweepTemporaryFiles(dir.Path()), 4);
  for (const auto& r : rows) EXPECT_EQ(fs::exists(dir / r.Name), !r.Removed) << r.Name;
  EXPECT_TRUE(fs::is_symlink(dir / ".zrn-1-1-1-link"));
  EXPECT_FALSE(fs::exists(dir / deadFolder));
  EXPECT_TRUE(fs::exists(dir / liveFolder + "/180101.zrn"));
  EXPECT_EQ(SweepTemporaryFiles(dir.Path()), 0);
  EXPECT_EQ(SweepTemporaryFiles(dir / "missing"), 0);
}

TEST(TemporaryFiles, ProcessRunsKnowsTheWriter) {
  TLiveChild child;
  EXPECT_TRUE(ProcessRuns(child.Pid(), child.Start()));
  EXPECT_TRUE(ProcessRuns(child.Pid(), 0));
  EXPECT_FALSE(ProcessRuns(child.Pid(), child.Start() + 1));
  EXPECT_TRUE(ProcessRuns(::getpid(), OwnProcessStart()));
  EXPECT_FALSE(ProcessRuns(0, 0));
  const pid_t pid = child.Pid();
  child.End();
  EXPECT_FALSE(ProcessRuns(pid, 0));
}

TEST(TemporaryFiles, CreatedFileAndFolderAreNewAndPrivate) {
  TempDir dir;
  ::umask(022);
  std::string name;
  const int fd = CreateTemporaryBeside(dir / "target.bmp", name, 0666);
  ASSERT_GE(fd, 0);
  ::close(fd);
  struct stat st {};
  ASSERT_EQ(::stat(name.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
  EXPECT_EQ(CreateTemporaryBeside(dir / "missing/target.bmp", name, 0666), -1);
  std::string path;
  {
    TTemporaryFolder folder(dir / "charts");
    path = folder.Path();
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(path.back(), '/');
    WriteFileText(path + "180101.zrn", "chart");
  }
  EXPECT_FALSE(fs::exists(path));
  EXPECT_THROW({ const TTemporaryFolder missing(dir / "missing/charts"); }, EOSError);
}

}  // namespace
