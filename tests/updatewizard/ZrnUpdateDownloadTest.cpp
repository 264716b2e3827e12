// The download through zrnupdate, as a user runs it: against the update
// server directly and through every kind of proxy, and against a broken or
// hostile server.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <chrono>
#include <filesystem>
#include <set>
#include <thread>

#include "DownloadTestSupport.h"
#include "ProxySettings.h"

namespace fs = std::filesystem;

// zrnupdate download-apply and download as a user runs them: directly and
// through every kind of proxy, started here on 127.0.0.1, and the dry run.

namespace {

// What zrnupdate says first of a server that speaks no TLS (pyftpdlib here).
const std::string NotEncrypted =
    "connection not encrypted: the server does not offer TLS (500 Command \"AUTH\" not "
    "understood.)\n";

class ZrnUpdateDownload : public TDownloadFixture {
 protected:
  void SetUp() override {
    TDownloadFixture::SetUp();
    ::chmod(FTemp.Path().c_str(), 0755);  // the proxies drop their privileges
    Install({"1801", "1803"});
    StartServer();
  }
  std::string Zrnupdate(const std::string& Args, const std::string& Env = "") const {
    return "env ZARNAVIS_HOME=" + Q(FTemp / "home") + " XDG_RUNTIME_DIR=" + Q(FTemp / "runtime") +
           " " + Env + " " + Q(BuildDir() + "/src/updatewizard/zrnupdate") +
           " --server 127.0.0.1:" + (FPeerPort.empty() ? FServer.PortText() : FPeerPort) + " " +
           Args + " </dev/null";
  }
  std::string DownloadApply(const std::string& Options = "") const {
    return Zrnupdate(Options + " download-apply " + Q(Cd()) + " " + Q(FInstalled));
  }
  // The bitmaps the output lists as updated.
  static std::set<std::string> Listed(const std::string& Output) {
    std::set<std::string> names;
    for (size_t pos = 0, nl; (nl = Output.find('\n', pos)) != std::string::npos; pos = nl + 1) {
      const std::string line = Output.substr(pos, nl - pos);
      if (line.find(" dpi - ") != std::string::npos)
        names.insert(line.substr(line.find_last_of('/') + 1));
    }
    return names;
  }
  std::set<std::string> Expected() const {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(ServerFolder())) {
      const std::string ext = e.path().extension().string(), stem = e.path().stem().string();
      if ((ext == ".120" || ext == ".240") &&
          (stem.rfind("1801", 0) == 0 || stem.rfind("1803", 0) == 0))
        names.insert(stem + "_" + ext.substr(1) + "_2003.bmp");
    }
    return names;
  }
  // Fresh charts: a run after this updates everything again.
  void Reinstall() {
    fs::remove_all(FInstalled);
    fs::create_directories(FInstalled);
    Install({"1801", "1803"});
  }
  void ExpectWholeRun(const std::string& Command) {
    std::string out;
    ASSERT_EQ(RunShellCommand(Command, &out), 0) << out;
    const std::set<std::string> expected = Expected();
    EXPECT_EQ(Listed(out), expected) << out;
    EXPECT_EQ(CheckUpdated({expected.begin(), expected.end()}), "ok\n");
  }
  // The installed bitmaps of a fresh download-apply, and the names and
  // bytes of the Updates.BaZ of a download, from the server at hand.
  std::pair<std::map<std::string, std::vector<uint8_t>>, std::string> BothModes() {
    Reinstall();
    std::string out;
    EXPECT_EQ(RunShellCommand(DownloadApply(), &out), 0) << out;
    const std::string usb = FTemp / "usb";
    fs::remove_all(usb);
    fs::create_directories(usb);
    EXPECT_EQ(RunShellCommand(Zrnupdate("download " + Q(usb)), &out), 0) << out;
    std::string names, bytes;
    EXPECT_EQ(RunShellCommand("unzip -Z1 " + Q(usb + "/Updates.BaZ"), &names), 0) << names;
    EXPECT_EQ(RunShellCommand("unzip -p " + Q(usb + "/Updates.BaZ"), &bytes), 0);
    return {Bitmaps(), names + bytes};
  }
  std::string FPeerPort;  // a server other than FServer
};

TEST_F(ZrnUpdateDownload, DirectPassiveAndActive) {
  ExpectWholeRun(DownloadApply());
  std::string out;
  ASSERT_EQ(RunShellCommand(DownloadApply("--active"), &out), 0) << out;
  EXPECT_EQ(out, NotEncrypted + "The charts installed on your system are up to date.\n");
  const auto log = ServerLog();
  EXPECT_NE(std::find(log.begin(), log.end(), "PASV"), log.end());
  EXPECT_NE(std::find_if(log.begin(), log.end(),
                         [](const std::string& L) { return L.rfind("PORT ", 0) == 0; }),
            log.end());
}

TEST_F(ZrnUpdateDownload, MicrosocksWithAndWithoutLogin) {
  TPeerProcess open, guarded;
  const int openPort = FreePort();
  ASSERT_TRUE(open.Start({"/usr/bin/microsocks", "-i", "127.0.0.1", "-p", std::to_string(openPort)},
                         openPort));
  ExpectWholeRun(DownloadApply("--socks5 127.0.0.1:" + open.PortText()));

  Reinstall();
  const int guardedPort = FreePort();
  ASSERT_TRUE(guarded.Start({"/usr/bin/microsocks", "-i", "127.0.0.1", "-p",
                             std::to_string(guardedPort), "-u", "deckhand", "-P", "rope"},
                            guardedPort));
  const std::string via = "--socks5 127.0.0.1:" + guarded.PortText() + " --proxy-user deckhand";
  std::string out;
  EXPECT_EQ(RunShellCommand(DownloadApply(via), &out), 1);
  EXPECT_EQ(out, "zrnupdate: No proxy password entered\n");
  EXPECT_EQ(RunShellCommand(DownloadApply(via), &out), 1);
  ExpectWholeRun(Zrnupdate(via + " download-apply " + Q(Cd()) + " " + Q(FInstalled),
                           "ZARNAVIS_PROXY_PASSWORD=rope"));
  // A wrong password: the proxy's refusal, as a SOCKS number.
  Reinstall();
  EXPECT_EQ(RunShellCommand(Zrnupdate(via + " download-apply " + Q(Cd()) + " " + Q(FInstalled),
                                      "ZARNAVIS_PROXY_PASSWORD=knot"),
                            &out),
            1);
  EXPECT_NE(out.find("(Error 20015)"), std::string::npos) << out;
  EXPECT_EQ(out.find("knot"), std::string::npos) << out;
}

TEST_F(ZrnUpdateDownload, DanteSocks4) {
  TPeerProcess proxy;
  ASSERT_TRUE(StartDanted(proxy, FTemp.Path()));
  ExpectWholeRun(DownloadApply("--socks4 127.0.0.1:" + proxy.PortText()));
}

// No Debian server speaks SOCKS 4A: our scripted one, which logs every
// request. The stored settings alone choose it.
TEST_F(ZrnUpdateDownload, StoredSocks4AAndTheFtpProxy) {
  TPeerProcess socks;
  ASSERT_TRUE(socks.Start({"/usr/bin/python3", TestSourceDir() + "/scripted_peer.py", "socks", "ok",
                           FTemp / "socks.log"}));
  SaveProxySettings({ptSocks4A, "127.0.0.1", socks.Port(), false, "", ""});
  ExpectWholeRun(DownloadApply());
  const std::string log = ReadFileText(FTemp / "socks.log");
  // The control connection and every data connection, as 4A requests.
  size_t requests = 0;
  for (size_t at = 0; (at = log.find("4 0.0.0.1 ", at)) != std::string::npos; ++at) ++requests;
  EXPECT_EQ(requests, 1 + 2 + Expected().size()) << log;

  Reinstall();
  const int port = FreePort();
  WriteFileText(FTemp / "ftp-proxy.conf",
                "[-Global-]\nListen 127.0.0.1\nPort " + std::to_string(port) +
                    "\nServerType standalone\nAllowMagicUser yes\nUser nobody\nGroup nogroup\n");
  TPeerProcess gate;
  ASSERT_TRUE(
      gate.Start({"/usr/sbin/ftp-proxy", "-d", "-n", "-f", FTemp / "ftp-proxy.conf"}, port));
  ExpectWholeRun(DownloadApply("--ftp-proxy 127.0.0.1:" + gate.PortText()));
  // --direct sets the stored SOCKS proxy aside.
  Reinstall();
  socks.Stop();
  ExpectWholeRun(DownloadApply("--direct"));
}

// Servers that list another way: pyftpdlib in the MS-DOS style of Windows
// FTP services, and ProFTPD (as root, the only way it serves anonymous
// logins, in a folder of its own): the same bitmaps and the same
// Updates.BaZ as plain pyftpdlib gives.
TEST_F(ZrnUpdateDownload, ServersThatListAnotherWay) {
  const auto plain = BothModes();
  ASSERT_FALSE(plain.first.empty());
  FServer.Stop();
  StartServer({"--dos-list"});
  EXPECT_TRUE(BothModes() == plain);
  const std::vector<std::string> log = ServerLog();
  EXPECT_NE(std::find(log.begin(), log.end(), "LIST"), log.end());

  if (::geteuid() != 0) GTEST_SKIP() << "ProFTPD takes anonymous logins only when run as root";
  ::chmod(Demo->Path().c_str(), 0755);
  const int port = FreePort();
  const std::string dir = FTemp.Path();
  WriteFileText(FTemp / "proftpd.conf",
                "ServerType standalone\nPort " + std::to_string(port) +
                    "\nDefaultAddress 127.0.0.1\nSocketBindTight on\nUseIPv6 off\n"
                    "PidFile " +
                    dir + "/proftpd.pid\nScoreboardFile " + dir +
                    "/proftpd.scoreboard\nSystemLog " + dir +
                    "/proftpd.log\nDelayTable none\nWtmpLog off\nTransferLog none\n"
                    "UseReverseDNS off\nRequireValidShell off\nUseFtpUsers off\n"
                    "User nobody\nGroup nogroup\n"
                    "<IfModule mod_ctrls.c>\n  ControlsEngine off\n</IfModule>\n"
                    "<Anonymous " +
                    Demo->Path() +
                    ">\n  User nobody\n  Group nogroup\n  UserAlias anonymous nobody\n"
                    "  <Limit WRITE>\n    DenyAll\n  </Limit>\n</Anonymous>\n");
  TPeerProcess proftpd;
  ASSERT_TRUE(proftpd.Start({"/usr/sbin/proftpd", "-n", "-q", "-c", FTemp / "proftpd.conf"}, port));
  FPeerPort = proftpd.PortText();
  EXPECT_TRUE(BothModes() == plain) << ReadFileText(FTemp / "proftpd.log");
}

// The dry run names exactly what the real run then updates, and changes
// neither a bitmap nor the settings.
TEST_F(ZrnUpdateDownload, DryRunListsWhatTheRunThenDoes) {
  const auto bitmaps = Bitmaps();
  const std::string system = HiveText(), user = ReadFileText(FTemp / "home/user.reg");
  std::string out;
  ASSERT_EQ(RunShellCommand(DownloadApply("--dry-run"), &out), 0) << out;
  std::set<std::string> planned;
  int64_t total = 0;
  for (size_t pos = 0, nl; (nl = out.find('\n', pos)) != std::string::npos; pos = nl + 1) {
    const std::string line = out.substr(pos, nl - pos);
    if (line.find(" dpi  stored ") == std::string::npos) continue;
    const std::string chart = line.substr(0, line.find(' '));
    const std::string dpi = line.substr(line.find(" dpi ") - 3, 3);
    planned.insert(chart + "_" + dpi + "_2003.bmp");
    total += std::stoll(line.substr(line.rfind("  ") + 2));
    EXPECT_NE(line.find("stored -"), std::string::npos) << line;
  }
  EXPECT_NE(
      out.find(std::to_string(planned.size()) + " updates, " + std::to_string(total) + " bytes\n"),
      std::string::npos)
      << out;
  EXPECT_EQ(Bitmaps(), bitmaps);
  EXPECT_EQ(HiveText(), system);
  EXPECT_EQ(ReadFileText(FTemp / "home/user.reg"), user);
  ASSERT_EQ(RunShellCommand(DownloadApply(), &out), 0) << out;
  EXPECT_EQ(Listed(out), planned);
}

// Chart names in any letter case: the CD's entries (and so the installed
// bitmaps) and the server's update files spell them otherwise than the
// chart codes do (180105f, NNZK_1014). Every chart is updated, by download
// and from a disk, and then every chart is up to date.
TEST_F(ZrnUpdateDownload, ChartNamesInAnyLetterCase) {
  const std::string cd = FTemp / "letters/", usb = FTemp / "letters-usb/";
  fs::create_directories(usb);
  WriteFileText(FTemp / "letters.json", R"({"sets":[
    {"prefix":"1801","name":"1801 Letters","charts":["180101","180105F"],"width":90,"height":50,
     "updates":{"180101":"180101","180105F":"180105F"}},
    {"prefix":"NNZK","name":"NNZK Letters","charts":["nnzk_1014","NNZK_2593"],"width":80,
     "height":40,"updates":{"nnzk_1014":"NNZK_1014","NNZK_2593":"nnzk_2593"}}]})");
  std::string out;
  ASSERT_EQ(RunShellCommand("/usr/bin/python3 " +
                                Q(TestScriptDir() + "/../installwizard/make_chart_sets.py") + " " +
                                Q(cd) + " " + Q(FTemp / "letters.json"),
                            &out),
            0)
      << out;
  const std::string server = cd + "pub/baz/2003/";
  const auto install = [&] {
    fs::remove_all(FInstalled);
    fs::create_directories(FInstalled);
    ASSERT_EQ(RunShellCommand("env ZARNAVIS_HOME=" + Q(FTemp / "home") + " " +
                                  Q(BuildDir() + "/src/installwizard/zrninstall") + " " + Q(cd) +
                                  " " + Q(FInstalled),
                              &out),
              0)
        << out;
  };
  const std::set<std::string> all = {"180101_120_2003.bmp",    "180101_240_2003.bmp",
                                     "180105F_120_2003.bmp",   "180105F_240_2003.bmp",
                                     "nnzk_1014_120_2003.bmp", "nnzk_1014_240_2003.bmp",
                                     "NNZK_2593_120_2003.bmp", "NNZK_2593_240_2003.bmp"};
  const auto expectAllUpdated = [&](const std::string& Command) {
    ASSERT_EQ(RunShellCommand(Command, &out), 0) << out;
    EXPECT_EQ(Listed(out), all) << out;
    std::set<std::string> bitmaps;
    for (const auto& [name, bytes] : Bitmaps()) bitmaps.insert(name);
    EXPECT_EQ(bitmaps, all);  // each under its own name, none doubled
    EXPECT_EQ(CheckUpdated({all.begin(), all.end()}, cd, server), "ok\n");
    ASSERT_EQ(RunShellCommand(Command, &out), 0) << out;
    const bool connects = Command.find(" download-apply ") != std::string::npos;
    EXPECT_EQ(out, (connects ? NotEncrypted : "") + GetText(txtUpToDate) + "\n");
  };
  install();
  FServer.Stop();
  StartServer({}, cd);
  expectAllUpdated(Zrnupdate("download-apply " + Q(cd) + " " + Q(FInstalled)));

  // Download only packs every set's files; applied from that disk.
  ASSERT_EQ(RunShellCommand(Zrnupdate("download " + Q(usb)), &out), 0) << out;
  install();
  expectAllUpdated("env ZARNAVIS_HOME=" + Q(FTemp / "home") + " XDG_RUNTIME_DIR=" +
                   Q(FTemp / "runtime") + " " + Q(BuildDir() + "/src/updatewizard/zrnupdate") +
                   " apply " + Q(cd) + " " + Q(FInstalled) + " " + Q(usb) + " </dev/null");
}

TEST_F(ZrnUpdateDownload, DownloadOnlyTheChosenSets) {
  const std::string usb = FTemp / "usb";
  fs::create_directories(usb);
  std::string out;
  ASSERT_EQ(RunShellCommand(Zrnupdate("--set 1803 download " + Q(usb)), &out), 0) << out;
  EXPECT_EQ(out, NotEncrypted + GetText(txtDownloadedAndSaved) + "\n");
  ASSERT_EQ(RunShellCommand("unzip -Z1 " + Q(usb + "/Updates.BaZ"), &out), 0) << out;
  EXPECT_NE(out.find("baz.idx\n"), std::string::npos);
  EXPECT_EQ(out.find("1801"), std::string::npos) << out;
  EXPECT_NE(out.find("1803"), std::string::npos) << out;
  EXPECT_EQ(RunShellCommand(Zrnupdate("--dpi 120 download " + Q(usb)), &out), 2);
  EXPECT_EQ(RunShellCommand(Zrnupdate("--set 1809 download " + Q(usb + "/none")), &out), 1);
  EXPECT_EQ(out, "zrnupdate: the updates folder " + usb + "/none/ does not exist\n");
}

}  // namespace

// zrnupdate download-apply against a broken or hostile update server on
// 127.0.0.1 (update_ftp_server.py with its hostile options): each case ends
// with exit status 1 and a message that says what went wrong, in bounded
// time, memory and bytes, and leaves the installed bitmaps, the stored
// indexes and the work folders as they were. An active data connection is
// taken from the server only.

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
