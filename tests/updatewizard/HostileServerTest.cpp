// zrnupdate download-apply against a broken or hostile update server on
// 127.0.0.1 (update_ftp_server.py with its hostile options): each case ends
// with exit status 1 and a message that says what went wrong, in bounded
// time, memory and bytes, and leaves the installed bitmaps, the stored
// indexes and the work folders as they were. An active data connection is
// taken from the server only.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "DownloadTestSupport.h"

namespace fs = std::filesystem;

namespace {

struct TMeasuredRun {
  int Status = -1;  // exit status, or -1 when it had to be killed
  std::string Output;
  double Seconds = 0;
  long MaxRssKb = 0;
};

// Runs Argv with its output in OutputFile, killed after KillAfter seconds;
// the largest resident size comes from the kernel's account of the child.
TMeasuredRun RunMeasured(const std::vector<std::string>& Argv, const std::string& OutputFile,
                         int KillAfter) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int out = ::open(OutputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int none = ::open("/dev/null", O_RDONLY);
    ::dup2(none, 0);
    ::dup2(out, 1);
    ::dup2(out, 2);
    std::vector<char*> args;
    for (const std::string& a : Argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  TMeasuredRun run;
  int status = 0;
  rusage usage{};
  bool killed = false;
  while (::wait4(pid, &status, WNOHANG, &usage) == 0) {
    if (std::chrono::steady_clock::now() - start > std::chrono::seconds(KillAfter)) {
      ::kill(pid, SIGKILL);
      killed = true;
      ::wait4(pid, &status, 0, &usage);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  run.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.Status = !killed && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.MaxRssKb = usage.ru_maxrss;
  run.Output = ReadFileText(OutputFile);
  return run;
}

class HostileServer : public TDownloadFixture {
 protected:
  void SetUp() override {
    TDownloadFixture::SetUp();
    Install({"1801"});
    FBefore = Bitmaps();
    FHive = HiveText();
  }
  TMeasuredRun Run(const std::vector<std::string>& Options) {
    std::vector<std::string> argv = {BuildDir() + "/src/updatewizard/zrnupdate", "--server",
                                     "127.0.0.1:" + FServer.PortText()};
    argv.insert(argv.end(), Options.begin(), Options.end());
    argv.insert(argv.end(), {"download-apply", Cd(), FInstalled});
    return RunMeasured(argv, FTemp / "out.txt", 60);
  }
  std::string FirstUpdate() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(ServerFolder()))
      if (e.path().filename().string().rfind("1801", 0) == 0)
        names.push_back(e.path().filename().string());
    return *std::min_element(names.begin(), names.end(), TCaseInsensitiveLess());
  }
  std::map<std::string, std::vector<uint8_t>> FBefore;
  std::string FHive;
};

TEST_F(HostileServer, EachCaseEndsBoundedAndChangesNothing) {
  const std::string update = FirstUpdate();
  struct {
    const char* Name;
    std::vector<std::string> Server;
    std::string Told;
  } rows[] = {
      {"an index longer than listed",
       {"--flood", "baz.idx"},
       "(Error 552) 552 baz.idx: more than the "},
      {"an update longer than listed",
       {"--flood", update},
       "(Error 552) 552 " + update + ": more than the "},
      {"an index of 2 GB as listed",
       {"--list-size", "baz.idx:2000000000", "--flood", "baz.idx"},
       "baz.idx is listed at 2000000000 bytes"},
      {"a trickling index", {"--trickle", "baz.idx:1"}, "(Error 10060) Connection timed out: "},
      {"a listing without end", {"--endless-list"}, "552 The listing of /pub/baz/2003 is longer"},
      {"a reply without end", {"--endless-reply"}, "(Error 500) 500 Reply too long."},
      {"a Data entry of 4 GB", {"--bomb", "1801"}, "EBaZFormatError: The update file "},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Name);
    FServer.Stop();
    fs::remove(FTemp / "sent");
    std::vector<std::string> options = row.Server;
    options.insert(options.end(), {"--sent", FTemp / "sent"});
    StartServer(options);
    const TMeasuredRun run = Run({"--timeout", "3"});
    EXPECT_EQ(run.Status, 1) << run.Output;
    EXPECT_NE(run.Output.find(row.Told), std::string::npos) << run.Output;
    EXPECT_LT(run.Seconds, 45);
    EXPECT_LT(run.MaxRssKb, 300 * 1024);
    FServer.Stop();  // its count of the bytes sent (kept every 256 kB) stands still
    const std::string sent = fs::exists(FTemp / "sent") ? ReadFileText(FTemp / "sent") : "0\n";
    EXPECT_LT(std::stoll(sent), int64_t(64) << 20);
    std::printf("%s: %.1f s, %ld kB resident, %s bytes sent: %s", row.Name, run.Seconds,
                run.MaxRssKb, sent.substr(0, sent.size() - 1).c_str(), run.Output.c_str());
    EXPECT_EQ(Bitmaps(), FBefore);
    EXPECT_EQ(HiveText(), FHive);
    EXPECT_TRUE(fs::is_empty(FTemp / "runtime"));
  }
}

// Another host on the network (127.0.0.2 is on the loopback too) connects
// to the data port first and sends bytes of its own: they are not taken,
// and the run gives the server's updates.
TEST_F(HostileServer, ActiveModeTakesDataFromTheServerOnly) {
  StartServer({"--port-thief"});
  const TMeasuredRun run = Run({"--active"});
  ASSERT_EQ(run.Status, 0) << run.Output;
  const std::vector<std::string> log = ServerLog();
  EXPECT_NE(std::find(log.begin(), log.end(), "! thief connected from 127.0.0.2"), log.end());
  const std::set<std::string> updated = ServerUpdates("1801");
  EXPECT_EQ(CheckUpdated({updated.begin(), updated.end()}), "ok\n");
}

}  // namespace
