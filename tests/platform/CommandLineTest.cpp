// The command-line conventions every command shares.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "CommandLine.h"

namespace {

// What a function wrote to a FILE.
std::string Written(FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string text;
  char buffer[256];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
  return text;
}

// Points descriptor 2 at Fd for one scope.
class TStderrOn {
 public:
  explicit TStderrOn(int Fd) : FSaved(::dup(STDERR_FILENO)) { ::dup2(Fd, STDERR_FILENO); }
  ~TStderrOn() {
    ::dup2(FSaved, STDERR_FILENO);
    ::close(FSaved);
  }

 private:
  int FSaved;
};

}  // namespace

TEST(CommandLine, VersionTextStartsWithProgramAndThreeComponents) {
  unsigned major = 0, minor = 0, patch = 0;
  char rest = 0;
  EXPECT_EQ(std::sscanf(ProgramVersionText(), "%u.%u.%u%c", &major, &minor, &patch, &rest), 3)
      << ProgramVersionText();
  const std::string text = VersionText("zrninstall");
  EXPECT_EQ(text.substr(0, text.find('\n')), std::string("zrninstall ") + ProgramVersionText());
  EXPECT_EQ(text.back(), '\n');
  FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(PrintVersion("zrntool", out), 0);
  EXPECT_EQ(Written(out), VersionText("zrntool"));
  std::fclose(out);
}

TEST(CommandLine, UsageErrorNamesTheProgramAndPointsToHelp) {
  FILE* err = std::tmpfile();
  ASSERT_NE(err, nullptr);
  EXPECT_EQ(UsageError("zrnupdate", "unrecognized option '--frob'", err), 2);
  EXPECT_EQ(Written(err),
            "zrnupdate: unrecognized option '--frob'\n"
            "Try 'zrnupdate --help' for more information.\n");
  std::fclose(err);
}

// The last colon divides, so a bracketless IPv6 literal keeps its colons.
TEST(CommandLine, SplitHostPortTakesOnlyAPortNumber) {
  std::string host, port;
  EXPECT_TRUE(SplitHostPort("proxy.lan:1080", host, port));
  EXPECT_EQ(host + "|" + port, "proxy.lan|1080");
  EXPECT_TRUE(SplitHostPort("::1:21", host, port));
  EXPECT_EQ(host + "|" + port, "::1|21");
  for (const char* bad :
       {"proxy.lan", "proxy.lan:", ":1080", "proxy.lan:0", "proxy.lan:65536", "proxy.lan:80x"})
    EXPECT_FALSE(SplitHostPort(bad, host, port)) << bad;
}

TEST(CommandLine, ProgressLineRewritesItselfOnlyWhenEnabled) {
  struct Row {
    bool enabled;
    std::string expected;
  };
  const Row rows[] = {
      {true, "\rchart 1 of 3\033[K\rchart 2 of 3\033[K\r\033[K"},
      {false, ""},
  };
  for (const Row& r : rows) {
    FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    {
      TProgressLine line(r.enabled, out);
      EXPECT_EQ(line.Enabled(), r.enabled);
      line.Show("chart 1 of 3");
      line.Show("chart 2 of 3");
      line.Finish();
      line.Finish();  // a second Finish (and the destructor) adds nothing
    }
    EXPECT_EQ(Written(out), r.expected) << r.enabled;
    std::fclose(out);
  }
  FILE* out = std::tmpfile();
  { TProgressLine unused(true, out); }
  EXPECT_EQ(Written(out), "") << "a line never shown is not cleared";
  std::fclose(out);
}

TEST(CommandLine, StderrIsTerminalTellsAPipeFromATerminal) {
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  {
    TStderrOn redirect(pipeFds[1]);
    EXPECT_FALSE(StderrIsTerminal());
  }
  ::close(pipeFds[0]);
  ::close(pipeFds[1]);

  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
  const int terminal = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
  ASSERT_GE(terminal, 0);
  {
    TStderrOn redirect(terminal);
    EXPECT_TRUE(StderrIsTerminal());
  }
  ::close(terminal);
  ::close(master);
}
