// zrninstall, the installation run on the command line, started as a
// process: its options, its reasons for installing nothing and its progress.
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "InstallTestData.h"

namespace {

std::string Program() {
  const char* build = std::getenv("ZARNAVIS_BUILD_DIR");
  return std::string(build ? build : ".") + "/src/installwizard/zrninstall";
}

struct TRun {
  int Status = -1;
  std::string Out, Err;
};

// Runs zrninstall with Args (already quoted), standard output and standard
// error apart.
TRun RunTool(const TempDir& Temp, const std::string& Args) {
  const std::string out = Temp / "out.txt", err = Temp / "err.txt";
  // In a subshell: RunCommand sends the shell's own standard error along.
  const TCommandResult r = RunCommand("(" + Quote(Program()) + " " + Args + " >" + Quote(out) +
                                      " 2>" + Quote(err) + ")");
  return {r.Status, ReadFileText(out), ReadFileText(err)};
}

// Runs zrninstall on a terminal; returns what the terminal showed.
std::string RunOnTerminal(const std::vector<std::string>& Args, int& Status) {
  int master = -1;
  const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
  if (pid == 0) {
    std::vector<char*> argv;
    const std::string program = Program();
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : Args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  std::string shown;
  char buffer[4096];
  ssize_t n;
  // The terminal reports an error (EIO) once the program closed its side.
  while ((n = ::read(master, buffer, sizeof buffer)) > 0) shown.append(buffer, size_t(n));
  ::close(master);
  int status = 0;
  ::waitpid(pid, &status, 0);
  Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return shown;
}

class ZrnInstallCli : public TInstallFixture {};

}  // namespace

TEST_F(ZrnInstallCli, HelpAndVersionGoToStandardOutput) {
  const TRun help = RunTool(FTemp, "--help");
  EXPECT_EQ(help.Status, 0);
  EXPECT_EQ(help.Err, "");
  EXPECT_EQ(help.Out.rfind("Usage: zrninstall [OPTION]... ARCHIVES DEST\n", 0), 0u) << help.Out;
  for (const char* option : {"--dpi 120|240", "--set CODE", "--keep", "--help", "--version"})
    EXPECT_NE(help.Out.find("\n  " + std::string(option) + " "), std::string::npos) << option;
  for (const char* part : {"$ZARNAVIS_HOME", "Exit status:", "\n 1  ", "\n 2  "})
    EXPECT_NE(help.Out.find(part), std::string::npos) << part;
  const TRun version = RunTool(FTemp, "--version ignored");
  EXPECT_EQ(version.Status, 0);
  EXPECT_EQ(version.Out.rfind("zrninstall 2.6.0\n", 0), 0u) << version.Out;
}

TEST_F(ZrnInstallCli, UsageErrorsNameTheMistakeAndExitWithTwo) {
  struct Row {
    std::string args;
    std::string message;
  };
  const Row rows[] = {
      {"", "missing ARCHIVES and DEST"},
      {Quote(FSource), "missing DEST"},
      {Quote(FSource) + " " + Quote(FDest) + " third", "extra operand 'third'"},
      {"--dpi 300 a b", "invalid resolution '300' (120 or 240)"},
      {"--dpi=96 a b", "invalid resolution '96' (120 or 240)"},
      {"a b --dpi", "option '--dpi' requires an argument"},
      {"a b --set", "option '--set' requires an argument"},
      {"--frobnicate a b", "unrecognized option '--frobnicate'"},
      {"-k a b", "unrecognized option '-k'"},
  };
  for (const Row& r : rows) {
    const TRun run = RunTool(FTemp, r.args);
    EXPECT_EQ(run.Status, 2) << r.args;
    EXPECT_EQ(run.Out, "") << r.args;
    EXPECT_EQ(run.Err,
              "zrninstall: " + r.message + "\nTry 'zrninstall --help' for more information.\n")
        << r.args;
  }
}

TEST_F(ZrnInstallCli, NothingInstalledSaysWhyInTheWizardsWords) {
  MakeSets(R"({"sets":[
    {"prefix":"1801","name":"1801 A","resolutions":[120],"charts":["180101"],"width":40,"height":30},
    {"prefix":"1802","name":"1802 Old","edition":2002,"charts":["180201"],"width":40,"height":30}]})");
  const std::string old = FTemp / "old/";
  std::filesystem::create_directories(old);
  std::filesystem::copy(FSource + "1802_120.zra", old);
  struct Row {
    std::string args;
    std::string message;
  };
  const Row rows[] = {
      {"'' " + Quote(FDest), "No original file folder has been entered."},
      {Quote(FTemp / "empty") + " " + Quote(FDest),
       "No original charts (*.zra) were found of edition 2003."},
      {Quote(old) + " " + Quote(FDest), "No original charts (*.zra) were found of edition 2003."},
      {Quote(FSource) + " ''", "Invalid installation folder entered."},
      {Quote(FSource) + " " + Quote(FTemp / "missing"), FTemp / "missing/ does not exist."},
      {"--set 1809 " + Quote(FSource) + " " + Quote(FDest),
       "No chartsets have been selected, select at least 1 chartset before continuing."},
      {"--dpi 240 " + Quote(FSource) + " " + Quote(FDest),
       "No chartsets have been selected, select at least 1 chartset before continuing."},
  };
  for (const Row& r : rows) {
    const TRun run = RunTool(FTemp, r.args);
    EXPECT_EQ(run.Status, 1) << r.args;
    EXPECT_EQ(run.Out, "") << r.args;
    EXPECT_EQ(run.Err, "zrninstall: " + r.message + "\n") << r.args;
  }
  EXPECT_TRUE(DestFiles().empty());
}

TEST_F(ZrnInstallCli, InstallsWithProgressOnATerminalOnly) {
  MakeSets(ThreeSetsLayout);
  // Into a pipe: the results on standard output, nothing on standard error.
  const TRun quiet = RunTool(FTemp, "--set 1803 --dpi=120 " + Quote(FSource) + " " + Quote(FDest));
  EXPECT_EQ(quiet.Status, 0) << quiet.Err;
  EXPECT_EQ(quiet.Err, "");
  EXPECT_EQ(quiet.Out,
            "1803 Zeeland - 120 dpi: 2 charts\n"
            "The following chartsets have been installed:\n\n"
            "120 dpi:\n"
            " - 1803 Zeeland\n")
      << quiet.Out;
  EXPECT_EQ(CheckInstalled("180302", 120), "ok\n");

  // On a terminal: a line per set and chart that rewrites itself.
  int status = -1;
  const std::string shown = RunOnTerminal({"--set", "1801", "--keep", FSource, FDest}, status);
  EXPECT_EQ(status, 0) << shown;
  for (const char* part : {"1801 Waddenzee - 120 dpi: chart 0 of 3 (0 of 6)",
                           "1801 Waddenzee - 120 dpi: chart 3 of 3 (3 of 6)",
                           "1801 Waddenzee - 240 dpi: chart 1 of 3 (4 of 6)",
                           "1801 Waddenzee - 240 dpi: chart 3 of 3 (6 of 6)", "\r\033[K"})
    EXPECT_NE(shown.find(part), std::string::npos) << part << "\n" << shown;
  EXPECT_EQ(CheckInstalled("1801031", 240), "ok\n");
}
