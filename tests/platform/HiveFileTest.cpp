#include "HiveFile.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>

#include "TempDir.h"

namespace {

const char kMachine[] = "HKEY_LOCAL_MACHINE";

void SetString(THiveFile& F, const std::string& Key, const std::string& Name,
               const std::string& Value) {
  F.Update([&](THive& H) { H.CreateKey(Key).Set(TRegValue::String(Name, Value)); });
}

std::string StringOf(THiveFile& F, const std::string& Key, const std::string& Name) {
  const THiveKey* k = F.Read().FindKey(Key);
  const TRegValue* v = k ? k->Find(Name) : nullptr;
  return v ? v->AsString() : "<missing>";
}

// Runs Body in a child process; returns its exit status (or 128 + signal).
template <typename F>
int InChild(F Body) {
  pid_t pid = ::fork();
  if (pid == 0) ::_exit(Body());
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(HiveFile, SavedHiveIsPrivateAndComplete) {
  TempDir dir;
  std::string name = dir / "settings/deeper/system.reg";
  THiveFile f(name, kMachine);
  EXPECT_TRUE(f.Read().Keys().empty());  // no file yet: an empty hive
  ::umask(022);
  SetString(f, "Software\\Quorvel\\ZRN\\2003", "ZRN Folder", "/cd/Charts/");
  struct stat st {};
  ASSERT_EQ(::stat(name.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ASSERT_EQ(::stat((dir / "settings").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_FALSE(std::filesystem::exists(name + ".new"));
  THiveFile other(name, kMachine);
  EXPECT_EQ(StringOf(other, "Software\\Quorvel\\ZRN\\2003", "ZRN Folder"), "/cd/Charts/");
}

// Writing what is stored already leaves the file alone (no new file renamed
// into place); a real change, also in the case of a value's text, is saved.
TEST(HiveFile, UnchangedWriteKeepsTheFile) {
  TempDir dir;
  const std::string name = dir / "system.reg";
  THiveFile f(name, kMachine);
  SetString(f, "K", "Folder", "/cd/");
  struct stat before {};
  ASSERT_EQ(::stat(name.c_str(), &before), 0);
  SetString(f, "K", "Folder", "/cd/");
  f.Update([](THive& H) { H.CreateKey("K"); });
  struct stat after {};
  ASSERT_EQ(::stat(name.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  SetString(f, "K", "Folder", "/CD/");
  ASSERT_EQ(::stat(name.c_str(), &after), 0);
  EXPECT_NE(after.st_ino, before.st_ino);
  THiveFile other(name, kMachine);
  EXPECT_EQ(StringOf(other, "K", "Folder"), "/CD/");
  // Nothing to store and no file yet: no file is made.
  THiveFile empty(dir / "user.reg", "HKEY_CURRENT_USER");
  empty.Update([](THive&) {});
  EXPECT_FALSE(std::filesystem::exists(dir / "user.reg"));
}

TEST(HiveFile, ChangesOfAnotherCopyAreKept) {
  TempDir dir;
  THiveFile a(dir / "user.reg", "HKEY_CURRENT_USER");
  THiveFile b(dir / "user.reg", "HKEY_CURRENT_USER");
  SetString(a, "K", "One", "1");
  EXPECT_EQ(StringOf(b, "K", "One"), "1");  // b now holds a cached copy
  SetString(a, "K", "Two", "2");
  SetString(b, "K", "Three", "3");
  EXPECT_EQ(StringOf(a, "K", "One"), "1");
  EXPECT_EQ(StringOf(a, "K", "Two"), "2");
  EXPECT_EQ(StringOf(a, "K", "Three"), "3");
}

TEST(HiveFile, UnparseableHiveIsNeverOverwritten) {
  TempDir dir;
  std::string name = dir / "system.reg";
  const std::string garbage =
      "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\A]\n"
      "\"kept\"=\"yes\"\n\"broken\"=dword:xyz\n";
  WriteFileText(name, garbage);
  THiveFile f(name, kMachine);
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      SetString(f, "A", "new", "value");
      ADD_FAILURE() << "a broken hive was written";
    } catch (const EHiveError& e) {
      EXPECT_NE(e.Message().find("\"" + name + "\", line 5"), std::string::npos) << e.Message();
    }
  }
  EXPECT_THROW(f.Read(), EHiveError);
  auto bytes = ReadFileBytes(name);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), garbage);
}

TEST(HiveFile, UnreadableOrUnwritableHivesRaiseIOErrors) {
  TempDir dir;
  std::filesystem::create_directories(dir / "hive.reg");  // a folder where the file should be
  THiveFile f(dir / "hive.reg", kMachine);
  EXPECT_THROW(f.Read(), EHiveIOError);
  WriteFileText(dir / "file", "");
  THiveFile g(dir / "file/below/system.reg", kMachine);  // its folder cannot be made
  EXPECT_THROW(SetString(g, "A", "b", "c"), EHiveIOError);
}

TEST(HiveFile, UserWithoutWriteAccessGetsAnErrorAndNoCrash) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to become another user";
  TempDir dir;
  std::string folder = dir / "cfg";
  std::filesystem::create_directories(folder);
  std::string name = folder + "/system.reg";
  THiveFile f(name, kMachine);
  SetString(f, "A", "v", "old");
  ::chmod(dir.Path().c_str(), 0755);
  ::chmod(folder.c_str(), 0755);
  ::chmod(name.c_str(), 0644);
  // 1 written, 2 wrong error, 3 could not drop privileges, 4 could not read.
  int status = InChild([&] {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) return 3;
    THiveFile mine(name, kMachine);
    try {
      if (StringOf(mine, "A", "v") != "old") return 4;
      SetString(mine, "A", "v", "new");
      return 1;
    } catch (const EHiveIOError& e) {
      return e.Message().find(name) != std::string::npos ? 0 : 2;
    } catch (...) {
      return 2;
    }
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(StringOf(f, "A", "v"), "old");
}

// Checks that the hive holds one complete save of the writer below; returns
// its counter (-1 before the first save).
int CheckCompleteSave(const std::string& Name, int LastSeen) {
  THiveFile check(Name, kMachine);
  const THiveKey* k = check.Read().FindKey("A");
  if (!k) {
    EXPECT_EQ(LastSeen, -1) << "a saved hive lost its values";
    return -1;
  }
  int counter = static_cast<int>(k->Find("Counter")->AsDWord());
  const TRegValue* blob = k->Find("Blob");
  EXPECT_NE(blob, nullptr);
  if (!blob) return counter;
  EXPECT_EQ(blob->Data.size(), 60000u);
  EXPECT_EQ(blob->Data.front(), static_cast<uint8_t>(counter));
  EXPECT_EQ(blob->Data.back(), static_cast<uint8_t>(counter));
  EXPECT_GE(counter, LastSeen);
  return counter;
}

// The child saves again and again while the parent reads; killing the child
// at any moment leaves a hive that parses and holds one complete save.
TEST(HiveFile, KillDuringSaveLeavesOldOrNewHive) {
  TempDir dir;
  std::string name = dir / "system.reg";
  std::mt19937 random(12345);
  int lastSeen = -1;
  // Kill moments spread over a few saves, however long a save takes here.
  int64_t saveMicros = 0;
  for (int round = 0; round < 30; ++round) {
    auto started = std::chrono::steady_clock::now();
    pid_t pid = ::fork();
    if (pid == 0) {
      THiveFile f(name, kMachine);
      for (;;) {
        f.Update([&](THive& H) {
          const THiveKey* k = H.FindKey("A");
          int counter =
              k && k->Find("Counter") ? static_cast<int>(k->Find("Counter")->AsDWord()) : 0;
          // The binary value repeats the counter: a torn save shows.
          std::vector<uint8_t> blob(60000, static_cast<uint8_t>(counter + 1));
          THiveKey& key = H.CreateKey("A");
          key.Set(TRegValue::Binary("Blob", blob.data(), blob.size()));
          key.Set(TRegValue::DWord("Counter", static_cast<uint32_t>(counter + 1)));
        });
      }
    }
    try {
      if (round == 0) {
        // The first save tells how long one takes.
        while (lastSeen < 1 &&
               std::chrono::steady_clock::now() - started < std::chrono::seconds(20))
          lastSeen = CheckCompleteSave(name, lastSeen);
        saveMicros = std::chrono::duration_cast<std::chrono::microseconds>(
                         std::chrono::steady_clock::now() - started)
                         .count();
        ASSERT_GE(lastSeen, 1) << "the writer never saved";
      }
      auto deadline = std::chrono::steady_clock::now() +
                      std::chrono::microseconds(
                          std::uniform_int_distribution<int64_t>(0, 3 * saveMicros)(random));
      while (std::chrono::steady_clock::now() < deadline)
        lastSeen = CheckCompleteSave(name, lastSeen);
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
      lastSeen = CheckCompleteSave(name, lastSeen);
    } catch (const Exception& e) {
      ADD_FAILURE() << "round " << round << ": " << e.Message();
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    if (HasFailure()) break;
  }
}

TEST(HiveFile, TwoProcessesWritingAtOnceLoseNothing) {
  TempDir dir;
  std::string name = dir / "user.reg";
  const int perWriter = 40;
  std::vector<pid_t> children;
  for (char writer : {'A', 'B'}) {
    pid_t pid = ::fork();
    if (pid == 0) {
      THiveFile f(name, "HKEY_CURRENT_USER");
      for (int i = 0; i < perWriter; ++i)
        SetString(f, "Shared", std::string(1, writer) + std::to_string(i), std::to_string(i));
      ::_exit(0);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  THiveFile f(name, "HKEY_CURRENT_USER");
  const THiveKey* k = f.Read().FindKey("Shared");
  ASSERT_NE(k, nullptr);
  EXPECT_EQ(k->Values().size(), 2u * perWriter);
  for (char writer : {'A', 'B'})
    for (int i = 0; i < perWriter; ++i)
      EXPECT_EQ(StringOf(f, "Shared", std::string(1, writer) + std::to_string(i)),
                std::to_string(i));
}

}  // namespace
