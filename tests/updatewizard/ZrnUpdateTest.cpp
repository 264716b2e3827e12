// zrnupdate on the demo CD installed with zrninstall, as a user runs it.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "UpdateTestSupport.h"

namespace fs = std::filesystem;

namespace {

class ZrnUpdate : public TUpdateFixture {
 protected:
  std::string Command(const std::string& Args) const {
    return "env ZARNAVIS_HOME=" + Q(FTemp / "home") + " XDG_RUNTIME_DIR=" + Q(FTemp / "runtime") +
           " " + Q(BuildDir() + "/src/updatewizard/zrnupdate") + " " + Args + " </dev/null";
  }
  std::string Apply(const std::string& Options = "") const {
    return Command(Options + " apply " + Q(Cd()) + " " + Q(FInstalled) + " " + Q(UpdateDisk()));
  }
  void InstallWithZrninstall(const std::string& Options = "") {
    std::string out;
    ASSERT_EQ(RunShellCommand("env ZARNAVIS_HOME=" + Q(FTemp / "home") + " " +
                                  Q(BuildDir() + "/src/installwizard/zrninstall") + " " + Options +
                                  " " + Q(Cd()) + " " + Q(FInstalled),
                              &out),
              0)
        << out;
  }
};

TEST_F(ZrnUpdate, UpdatesExactlyTheChartsWithUpdatesThenIsUpToDate) {
  InstallWithZrninstall();
  const auto before = Bitmaps();
  std::string out;
  ASSERT_EQ(RunShellCommand(Apply(), &out), 0) << out;
  std::set<std::string> listed;
  size_t lines = 0;
  for (size_t pos = 0, nl; (nl = out.find('\n', pos)) != std::string::npos; pos = nl + 1) {
    const std::string line = out.substr(pos, nl - pos);
    if (lines++ < 2) continue;
    ASSERT_EQ(line.rfind("  ", 0), 0u) << line;
    listed.insert(line.substr(line.find_last_of('/') + 1));
  }
  EXPECT_EQ(out.rfind("The following charts have been updated:\n\n", 0), 0u) << out;
  std::set<std::string> expected;
  for (const auto& e : fs::directory_iterator(ServerFolder())) {
    const std::string ext = e.path().extension().string();
    if (ext == ".120" || ext == ".240")
      expected.insert(e.path().stem().string() + "_" + ext.substr(1) + "_2003.bmp");
  }
  EXPECT_EQ(listed, expected);
  // Exactly those bitmaps changed.
  std::set<std::string> changed;
  for (const auto& [name, bytes] : Bitmaps())
    if (before.at(name) != bytes) changed.insert(name);
  EXPECT_EQ(changed, expected);
  EXPECT_EQ(CheckUpdated(std::vector<std::string>(expected.begin(), expected.end())), "ok\n");

  ASSERT_EQ(RunShellCommand(Apply(), &out), 0) << out;
  EXPECT_EQ(out, "The charts installed on your system are up to date.\n");
  EXPECT_TRUE(fs::is_empty(FTemp / "runtime"));
}

TEST_F(ZrnUpdate, OptionsLimitTheRun) {
  InstallWithZrninstall("--set 1801 --set 1803");
  std::string out;
  ASSERT_EQ(RunShellCommand(Apply("--dpi 240 --set 1803"), &out), 0) << out;
  EXPECT_NE(out.find(" dpi - "), std::string::npos) << out;
  EXPECT_EQ(out.find("120 dpi"), std::string::npos) << out;
  EXPECT_EQ(out.find("1801"), std::string::npos) << out;
  // Nothing selected: the wizard's warning.
  ASSERT_EQ(RunShellCommand(Apply("--set 1805"), &out), 1) << out;
  EXPECT_EQ(out, "zrnupdate: " + GetText(txtNoSetsSelected) + "\n");
}

TEST_F(ZrnUpdate, HelpVersionUsageAndFailures) {
  std::string out;
  ASSERT_EQ(RunShellCommand(Command("--help"), &out), 0);
  for (const char* word : {"apply", "--dpi", "--set", "--tls", "--trace", "--help", "--version",
                           "ZARNAVIS_HOME", "Exit status"})
    EXPECT_NE(out.find(word), std::string::npos) << word;
  ASSERT_EQ(RunShellCommand(Command("--version"), &out), 0);
  EXPECT_EQ(out.substr(0, out.find('\n')), "zrnupdate 2.6.0");
  struct {
    std::string Args;
    std::string Message;
  } usage[] = {{"", "zrnupdate: no command given"},
               {"--dpi 300 apply a b c", "zrnupdate: --dpi takes 120 or 240"},
               {"apply a b", "zrnupdate: apply needs ORIGINAL, INSTALLED and UPDATES"},
               {"--frobnicate apply a b c", "zrnupdate: unknown option --frobnicate"},
               {"--tls maybe download u", "zrnupdate: --tls takes auto, require or off"},
               {"--tls off apply a b c",
                "zrnupdate: server, proxy, TLS and trace options go with the download commands"},
               {"--trace apply a b c",
                "zrnupdate: server, proxy, TLS and trace options go with the download commands"},
               {"fetch", "zrnupdate: unknown command fetch"}};
  for (const auto& u : usage) {
    EXPECT_EQ(RunShellCommand(Command(u.Args), &out), 2) << u.Args;
    EXPECT_EQ(out, u.Message + "\nTry 'zrnupdate --help' for more information.\n") << u.Args;
  }
  // A folder without archives, and a missing update disk.
  fs::create_directories(FTemp / "empty");
  EXPECT_EQ(RunShellCommand(Command("apply " + Q(FTemp / "empty") + " " + Q(FInstalled) + " " +
                                    Q(UpdateDisk())),
                            &out),
            1);
  EXPECT_EQ(out, "zrnupdate: No original charts (*.zra) were found of edition 2003.\n");
  InstallWithZrninstall("--set 1801");
  EXPECT_EQ(RunShellCommand(
                Command("apply " + Q(Cd()) + " " + Q(FInstalled) + " " + Q(FTemp / "empty")), &out),
            1);
  EXPECT_EQ(out, "zrnupdate: No updates where found on the entered location.\n");
}

}  // namespace
