#pragma once
// Helpers of the fault tests: the built programs, a child program run with a
// file-size limit or killed at a chosen moment, and the demo CD.

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <ostream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "TempDir.h"

inline std::string BuiltProgram(const std::string& Relative) {
  const char* build = std::getenv("ZARNAVIS_BUILD_DIR");
  return std::string(build ? build : ".") + "/" + Relative;
}

inline std::string ZrnInstall() {
  return BuiltProgram("src/installwizard/zrninstall");
}

inline std::string ZrnTool() {
  return BuiltProgram("tools/zrntool");
}

// One run of a program, its standard output and error in OutputFile.
class TChildRun {
 public:
  // FileSizeLimit > 0: the child may not write a file beyond that many bytes
  // (RLIMIT_FSIZE); SIGXFSZ is ignored, so such a write fails with EFBIG.
  TChildRun(const std::vector<std::string>& Argv, const std::string& OutputFile,
            rlim_t FileSizeLimit = 0) {
    FStarted = std::chrono::steady_clock::now();
    FPid = ::fork();
    if (FPid != 0) return;
    const int out = ::open(OutputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int in = ::open("/dev/null", O_RDONLY);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(out, 2);
    if (FileSizeLimit > 0) {
      ::signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{FileSizeLimit, FileSizeLimit};
      ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    std::vector<char*> args;
    for (const std::string& a : Argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  ~TChildRun() {
    if (FPid > 0 && !FDone) {
      ::kill(FPid, SIGKILL);
      Wait();
    }
  }
  TChildRun(const TChildRun&) = delete;
  TChildRun& operator=(const TChildRun&) = delete;

  // Waits for the end; the exit status, or 128 + the signal.
  int Wait() {
    if (!FDone) {
      int status = 0;
      while (::waitpid(FPid, &status, 0) < 0 && errno == EINTR) {
      }
      FStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      FDone = true;
    }
    return FStatus;
  }

  // Kills the program After its start (at once when that has passed) and
  // waits for it; the status tells whether it had ended by itself.
  int KillAt(std::chrono::microseconds After) {
    std::this_thread::sleep_until(FStarted + After);
    ::kill(FPid, SIGKILL);
    return Wait();
  }

  std::chrono::microseconds Elapsed() const {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                                 FStarted);
  }

 private:
  pid_t FPid = -1;
  bool FDone = false;
  int FStatus = -1;
  std::chrono::steady_clock::time_point FStarted;
};

// What a series of kills met: runs caught between old and new (Mixed),
// runs that left temporary files or a work folder (Swept), and kills that
// came after the run had ended by itself (Ended).
struct TKillTally {
  int Mixed = 0, Swept = 0, Ended = 0;
};

// Kills Command Rounds times at random moments, spread over a run of
// Duration and a little beyond, where it may end by itself. Restore sets up
// the state before each run; Check looks at it after the kill and adds to
// the tally. Stops at the first failure of the test.
template <class TRestore, class TCheck>
TKillTally KillRounds(uint32_t Seed, int Rounds, std::chrono::microseconds Duration,
                      const std::vector<std::string>& Command, const std::string& OutputFile,
                      TRestore Restore, TCheck Check) {
  std::mt19937 random(Seed);
  std::uniform_int_distribution<int64_t> moment(0, Duration.count() * 11 / 10);
  TKillTally tally;
  for (int round = 0; round < Rounds; ++round) {
    Restore();
    const std::chrono::microseconds at(moment(random));
    SCOPED_TRACE("seed " + std::to_string(Seed) + ", round " + std::to_string(round) + ", killed " +
                 std::to_string(at.count()) + " us after the start of a " +
                 std::to_string(Duration.count()) + " us run");
    int status = 0;
    {
      TChildRun run(Command, OutputFile);
      status = run.KillAt(at);
    }
    tally.Ended += status == 0;
    Check(tally);
    if (::testing::Test::HasFailure()) break;
  }
  return tally;
}

// Runs a program to its end; Output receives what it printed.
inline int RunToEnd(const std::vector<std::string>& Argv, std::string& Output,
                    rlim_t FileSizeLimit = 0) {
  TempDir scratch;
  TChildRun run(Argv, scratch / "output", FileSizeLimit);
  const int status = run.Wait();
  Output = ReadFileText(scratch / "output");
  return status;
}

// The names in Folder, sorted.
inline std::vector<std::string> FolderNames(const std::string& Folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(Folder))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// The program's temporary names (".zrn-<pid>-...") among Names.
inline std::vector<std::string> TemporaryNames(const std::vector<std::string>& Names) {
  std::vector<std::string> out;
  for (const std::string& n : Names)
    if (n.rfind(".zrn-", 0) == 0) out.push_back(n);
  return out;
}

// A file as the checks compare it: its bytes and its date (a folder: neither).
struct TFileState {
  bool Folder = false;
  std::vector<uint8_t> Bytes;
  int64_t ModifiedSeconds = 0;
  bool operator==(const TFileState&) const = default;
};

void PrintTo(const TFileState& State, std::ostream* Out) {
  if (State.Folder)
    *Out << "folder";
  else
    *Out << State.Bytes.size() << " bytes of " << State.ModifiedSeconds;
}

using TFolderState = std::map<std::string, TFileState>;
using TValues = std::map<std::string, std::string>;

TFolderState ReadFolder(const std::string& Folder) {
  TFolderState state;
  for (const auto& e : std::filesystem::directory_iterator(Folder)) {
    struct stat st {};
    ::lstat(e.path().c_str(), &st);
    TFileState& file = state[e.path().filename().string()];
    file.Folder = S_ISDIR(st.st_mode);
    if (file.Folder) continue;
    file.Bytes = ReadFileBytes(e.path());
    file.ModifiedSeconds = int64_t(st.st_mtime);
  }
  return state;
}

// The demo CD's set 1801 at both resolutions, alone in Folder: four charts
// and two calibration files at each.
inline bool MakeDemoSet(const std::string& Folder) {
  TempDir cd;
  std::string output;
  if (RunToEnd({ZrnTool(), "demo", cd.Path(), "--scale", "0.05"}, output) != 0) return false;
  std::filesystem::create_directories(Folder);
  for (const char* zra : {"1801_120.zra", "1801_240.zra"})
    std::filesystem::copy_file(cd / ("Charts/" + std::string(zra)), Folder + "/" + zra);
  return true;
}
