#include "ErrorOf.h"
#include "QvRegistry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "TempDir.h"

namespace {

const std::string kMachineKey = "HKEY_LOCAL_MACHINE\\Software\\Quorvel\\ZRN\\2003";
const std::string kUserKey = "HKEY_CURRENT_USER\\Software\\Quorvel\\ZRN\\2003";

std::string Quoted(const std::string& Reason, const std::string& Name) {
  return Reason + "\r\r\"" + Name + "\"";
}

// Must run before any test sets the key names (test order within the file).
TEST(QvRegistryUnset, OperationsBeforeTheKeyNamesRaise) {
  const std::string undefined = "The program's main registry keys are undefined.";
  EXPECT_EQ(ErrorOf<ERegistryException>(
                [] { RegReadString(rkUser, "International", "Language", "English"); }),
            undefined);
  EXPECT_EQ(
      ErrorOf<ERegistryException>([] { RegReadInteger(rkMachine, "", "BaZ Index size 120"); }),
      undefined);
  EXPECT_EQ(
      ErrorOf<ERegistryException>([] { RegWriteBool(rkUser, "Update", "Proxy login", true); }),
      undefined);
}

class QvRegistry : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("ZARNAVIS_HOME", Dir.Path().c_str(), 1);
    SetRegistryKeyNames("ZRN", "2003");
  }
  void TearDown() override { ::unsetenv("ZARNAVIS_HOME"); }
  std::string HiveText(const char* Name) {
    auto b = ReadFileBytes(Dir / Name);
    return std::string(b.begin(), b.end());
  }
  TempDir Dir;
};

TEST_F(QvRegistry, KeyPathsAreBuiltFromProductAndEdition) {
  EXPECT_EQ(RegistryKeyPath(""), "\\Software\\Quorvel\\ZRN\\2003");
  EXPECT_EQ(RegistryKeyPath("ChartSets\\Set 1\\"),
            "\\Software\\Quorvel\\ZRN\\2003\\ChartSets\\Set 1");
}

TEST_F(QvRegistry, MissingKeysAndValuesRaiseWithTheirFullNames) {
  EXPECT_EQ(
      ErrorOf<ERegistryException>([] { RegReadInteger(rkMachine, "", "BaZ Index size 120"); }),
      Quoted("Error opening registry key.", kMachineKey));
  EXPECT_EQ(ErrorOf<ERegistryException>([] { RegReadBinaryData(rkUser, "Update", "X"); }),
            Quoted("Error opening registry key.", kUserKey + "\\Update"));
  RegWriteInteger(rkMachine, "", "BaZ Index size 240", 0);
  RegWriteString(rkUser, "International", "Language", "Dutch");
  EXPECT_EQ(
      ErrorOf<ERegistryException>([] { RegReadInteger(rkMachine, "", "BaZ Index size 120"); }),
      Quoted("Registry value does not exist.", kMachineKey + "\\BaZ Index size 120"));
  EXPECT_EQ(ErrorOf<ERegistryException>([] { RegReadInteger(rkUser, "International", "Proxy"); }),
            Quoted("Registry value does not exist.", kUserKey + "\\International\\Proxy"));
  char buffer[4];
  EXPECT_EQ(ErrorOf<ERegistryException>(
                [&] { RegReadBinary(rkMachine, "", "BaZ Index 240", 4, buffer); }),
            Quoted("Registry value does not exist.", kMachineKey + "\\BaZ Index 240"));
  // The parent of a written key exists too.
  EXPECT_EQ(ErrorOf<ERegistryException>([] { RegReadInteger(rkMachine, "ChartSets\\A", "120"); }),
            Quoted("Error opening registry key.", kMachineKey + "\\ChartSets\\A"));
  RegWriteString(rkMachine, "ChartSets\\A", "120", "/charts/");
  EXPECT_EQ(ErrorOf<ERegistryException>([] { RegReadInteger(rkMachine, "ChartSets", "x"); }),
            Quoted("Registry value does not exist.", kMachineKey + "\\ChartSets\\x"));
}

TEST_F(QvRegistry, ReadsWithADefaultNeverRaise) {
  RegWriteString(rkUser, "Update", "Proxy server", "proxy.local");
  RegWriteInteger(rkUser, "Update", "Proxy port", 8021);
  struct Case {
    const char* Name;
    std::string Text;
    int32_t Integer;
    bool Bool;
  } cases[] = {
      {"Proxy server", "proxy.local", 99, true},  // a string read as integer: default
      {"Proxy port", "dflt", 8021, true},         // an integer read as string: default
      {"Missing", "dflt", 99, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RegReadString(rkUser, "Update", c.Name, "dflt"), c.Text) << c.Name;
    EXPECT_EQ(RegReadIntegerDef(rkUser, "Update", c.Name, 99), c.Integer) << c.Name;
    EXPECT_EQ(RegReadBoolDef(rkUser, "Update", c.Name, true), c.Bool) << c.Name;
  }
  EXPECT_EQ(RegReadString(rkUser, "NoSuchKey", "Proxy server", "d"), "d");
  EXPECT_EQ(RegReadIntegerDef(rkMachine, "Update", "Proxy port", 7), 7);  // other kind
}

TEST_F(QvRegistry, ValuesOfEveryTypeSurviveInBothHives) {
  std::vector<uint8_t> index(4800);
  for (size_t i = 0; i < index.size(); ++i) index[i] = static_cast<uint8_t>(i % 251);
  RegWriteBinary(rkMachine, "", "BaZ Index 120", static_cast<int>(index.size()), index.data());
  RegWriteBinary(rkMachine, "", "BaZ Index 240", 0, nullptr);
  RegWriteInteger(rkMachine, "", "Negative", -2);
  RegWriteBool(rkUser, "Update", "Proxy login", true);
  RegWriteBool(rkUser, "Update", "Passive", false);
  RegWriteString(rkUser, "Update", "Proxy password", "p\xC3\xA4ss \"w\\rd\"\n");
  RegWriteString(rkUser, "", "Empty", "");

  std::vector<uint8_t> back(index.size());
  EXPECT_EQ(
      RegReadBinary(rkMachine, "", "BaZ Index 120", static_cast<int>(back.size()), back.data()),
      static_cast<int>(index.size()));
  EXPECT_EQ(back, index);
  EXPECT_EQ(RegReadBinary(rkMachine, "", "BaZ Index 240", 0, nullptr), 0);
  EXPECT_TRUE(RegReadBinaryData(rkMachine, "", "BaZ Index 240").empty());
  EXPECT_EQ(RegReadInteger(rkMachine, "", "Negative"), -2);
  EXPECT_TRUE(RegReadBoolDef(rkUser, "Update", "Proxy login", false));
  EXPECT_FALSE(RegReadBoolDef(rkUser, "Update", "Passive", true));
  EXPECT_EQ(RegReadString(rkUser, "Update", "Proxy password", ""), "p\xC3\xA4ss \"w\\rd\"\n");
  EXPECT_EQ(RegReadString(rkUser, "", "Empty", "x"), "");
  EXPECT_EQ(RegReadString(rkUser, "update", "PROXY PASSWORD", ""), "p\xC3\xA4ss \"w\\rd\"\n");

  // A value in the other hive is not there.
  EXPECT_EQ(RegReadString(rkMachine, "Update", "Proxy password", "none"), "none");
  EXPECT_NE(HiveText("system.reg").find("\"BaZ Index 240\"=hex:\n"), std::string::npos);
  EXPECT_NE(HiveText("user.reg").find("\"Proxy login\"=dword:00000001\n"), std::string::npos);
}

TEST_F(QvRegistry, BinaryReadsRefuseOtherTypesAndShortBuffers) {
  // The first run creates the index as an integer 0; the first real index
  // replaces it with a binary value.
  RegWriteInteger(rkMachine, "", "BaZ Index 120", 0);
  uint8_t buffer[24] = {};
  EXPECT_EQ(ErrorOf<ERegistryException>(
                [&] { RegReadBinary(rkMachine, "", "BaZ Index 120", 24, buffer); }),
            Quoted("Registry value has a different type.", kMachineKey + "\\BaZ Index 120"));
  const uint8_t records[24] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12,
                               13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24};
  RegWriteBinary(rkMachine, "", "BaZ Index 120", 24, records);
  EXPECT_EQ(ErrorOf<ERegistryException>(
                [&] { RegReadBinary(rkMachine, "", "BaZ Index 120", 12, buffer); }),
            Quoted("Registry value is larger than the buffer.", kMachineKey + "\\BaZ Index 120"));
  EXPECT_EQ(RegReadBinary(rkMachine, "", "BaZ Index 120", 24, buffer), 24);
  EXPECT_EQ(buffer[23], 24);
  EXPECT_EQ(ErrorOf<ERegistryException>([&] { RegReadInteger(rkMachine, "", "BaZ Index 120"); }),
            Quoted("Registry value has a different type.", kMachineKey + "\\BaZ Index 120"));
}

TEST_F(QvRegistry, NamesTheTextCannotHoldAreRefused) {
  RegWriteString(rkUser, "", "Kept", "yes");
  EXPECT_EQ(ErrorOf<ERegistryException>([] { RegWriteString(rkUser, "Bad\nKey", "v", "x"); }),
            Quoted("Error opening registry key.", kUserKey + "\\Bad\nKey"));
  EXPECT_EQ(ErrorOf<ERegistryException>([] { RegWriteInteger(rkUser, "", "line\rbreak", 1); }),
            Quoted("Error opening registry key.", kUserKey));
  EXPECT_EQ(RegReadString(rkUser, "", "Kept", ""), "yes");
}

TEST_F(QvRegistry, TheHiveIsTextAPersonCanRead) {
  RegWriteString(rkUser, "International", "Language", "English");
  EXPECT_EQ(HiveText("user.reg"),
            "Windows Registry Editor Version 5.00\n"
            "\n[HKEY_CURRENT_USER\\Software]\n"
            "\n[HKEY_CURRENT_USER\\Software\\Quorvel]\n"
            "\n[HKEY_CURRENT_USER\\Software\\Quorvel\\ZRN]\n"
            "\n[HKEY_CURRENT_USER\\Software\\Quorvel\\ZRN\\2003]\n"
            "\n[HKEY_CURRENT_USER\\Software\\Quorvel\\ZRN\\2003\\International]\n"
            "\"Language\"=\"English\"\n");
  EXPECT_FALSE(std::filesystem::exists(Dir / "system.reg"));
  // A person edits the file; the program reads the edit.
  WriteFileText(Dir / "user.reg",
                "Windows Registry Editor Version 5.00\r\n\r\n"
                "[HKEY_CURRENT_USER\\Software\\Quorvel\\ZRN\\2003\\International]\r\n"
                "\"Language\"=\"german\"\r\n"
                "[HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\RUR\\RUR]\r\n"
                "\"InstDir\"=hex(2):43,00,3a,00,5c,00,00,00\r\n");
  EXPECT_EQ(RegReadString(rkUser, "International", "Language", ""), "german");
  EXPECT_EQ(RegReadRootString(TRegRoot::CurrentUser,
                              "\\Software\\VB and VBA Program Settings\\RUR\\RUR", "InstDir", ""),
            "C:\\");
}

TEST_F(QvRegistry, GarbageInAHiveIsAClearErrorAndTheFileStays) {
  RegWriteString(rkUser, "International", "Language", "Dutch");
  const std::string garbage = "this is not a settings file\n\x01\x02\x03";
  WriteFileText(Dir / "system.reg", garbage);
  std::string error =
      ErrorOf<ERegistryException>([] { RegWriteString(rkMachine, "", "ZRN Folder", "/cd/"); });
  EXPECT_EQ(error.rfind(Quoted("Error opening registry key.", kMachineKey) + "\r\r", 0), 0u)
      << error;
  EXPECT_NE(error.find("\"" + Dir / "system.reg" + "\", line 1"), std::string::npos) << error;
  error = ErrorOf<ERegistryException>([] { RegReadInteger(rkMachine, "", "BaZ Index size 120"); });
  EXPECT_NE(error.find(Dir / "system.reg"), std::string::npos) << error;
  EXPECT_EQ(RegReadString(rkMachine, "", "ZRN Folder", "default"), "default");
  EXPECT_EQ(HiveText("system.reg"), garbage);
  // The other hive goes on working.
  EXPECT_EQ(RegReadString(rkUser, "International", "Language", ""), "Dutch");
  RegWriteString(rkUser, "International", "Language", "German");
  EXPECT_EQ(RegReadString(rkUser, "International", "Language", ""), "German");
}

TEST_F(QvRegistry, WritingWithoutAccessRaisesErrorOpeningRegistryKey) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to become another user";
  RegWriteString(rkMachine, "", "ZRN Folder", "/cd/Charts/");
  ::chmod(Dir.Path().c_str(), 0755);
  ::chmod((Dir / "system.reg").c_str(), 0644);
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
    std::string report = RegReadString(rkMachine, "", "ZRN Folder", "?") + "|";
    report += ErrorOf<ERegistryException>(
                  [] { RegWriteString(rkMachine, "", "ZRN Folder", "/elsewhere/"); }) +
              "|";
    report +=
        ErrorOf<ERegistryException>([] { RegWriteInteger(rkUser, "Update", "Proxy port", 21); });
    ssize_t written = ::write(fds[1], report.data(), report.size());
    ::_exit(written == static_cast<ssize_t>(report.size()) ? 0 : 4);
  }
  ::close(fds[1]);
  std::string report;
  char buf[512];
  for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) report.append(buf, n);
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(report, "/cd/Charts/|" + Quoted("Error opening registry key.", kMachineKey) + "|" +
                        Quoted("Error opening registry key.", kUserKey + "\\Update"));
  EXPECT_EQ(RegReadString(rkMachine, "", "ZRN Folder", "?"), "/cd/Charts/");
}

TEST_F(QvRegistry, NavigationProgramKeysOfOtherPaths) {
  EXPECT_FALSE(RegKeyExists(TRegRoot::LocalMachine, "\\Software\\Quorvel\\Koppix Pro\\3.0"));
  EXPECT_EQ(RegReadRootString(TRegRoot::CurrentUser,
                              "\\Software\\VB and VBA Program Settings\\RUR\\RUR", "ChartDir", "d"),
            "d");
  WriteFileText(Dir / "system.reg",
                "Windows Registry Editor Version 5.00\n\n"
                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvel\\KOPPIX Pro\\3.0\\Settings]\n"
                "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
                "KOPPIX Pro]\n");
  EXPECT_TRUE(RegKeyExists(TRegRoot::LocalMachine, "\\Software\\Quorvel\\Koppix Pro\\3.0"));
  EXPECT_FALSE(RegKeyExists(TRegRoot::LocalMachine, "\\Software\\Quorvel\\KOPPIX Pro\\2.0"));
  EXPECT_TRUE(
      RegKeyExists(TRegRoot::LocalMachine,
                   "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KOPPIX Pro"));
  EXPECT_FALSE(RegKeyExists(TRegRoot::CurrentUser, "\\Software\\Quorvel\\Koppix Pro\\3.0"));

  const std::string autoImport = "Software\\VB and VBA Program Settings\\RUR\\AutoImport\\";
  RegWriteRootString(TRegRoot::CurrentUser, autoImport, "Set B (240)", "/charts/B_240_2003.chi");
  RegWriteRootString(TRegRoot::CurrentUser, autoImport, "Set A (120)", "/charts/A_120_2003.chi");
  EXPECT_EQ(RegReadValueNames(TRegRoot::CurrentUser, autoImport),
            (std::vector<std::string>{"Set B (240)", "Set A (120)"}));
  EXPECT_EQ(RegReadRootString(TRegRoot::CurrentUser, autoImport, "set a (120)", ""),
            "/charts/A_120_2003.chi");
  EXPECT_TRUE(RegReadValueNames(TRegRoot::CurrentUser, "Software\\Nothing").empty());
  WriteFileText(Dir / "system.reg", "garbage");
  EXPECT_FALSE(RegKeyExists(TRegRoot::LocalMachine, "\\Software\\Quorvel\\Koppix Pro\\3.0"));
}

}  // namespace
