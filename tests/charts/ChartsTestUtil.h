#pragma once
// Helpers of the chart component's tests: running zrntool and the
// independent checker script.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "SourceFolder.h"

inline std::string ToolPath() {
  const char* build = std::getenv("ZARNAVIS_BUILD_DIR");
  return std::string(build ? build : ".") + "/tools/zrntool";
}

inline std::string ChartsTestDir() {
  return SourceFolderOf(__FILE__);
}

// Runs a shell command; returns its exit status and what it printed.
inline int RunCommand(const std::string& Command, std::string* Output = nullptr) {
  FILE* p = ::popen((Command + " 2>&1").c_str(), "r");
  if (!p) return -1;
  std::string text;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
  const int status = ::pclose(p);
  if (Output) *Output = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline std::string Verify(const std::string& Args) {
  std::string out;
  RunCommand("/usr/bin/python3 " + ChartsTestDir() + "/verify_charts.py " + Args, &out);
  return out;
}
