#pragma once
// Helpers of the chart component's tests: running zrntool and the
// independent checker script.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "ShellCommand.h"

inline std::string ToolPath() {
  const char* build = std::getenv("ZARNAVIS_BUILD_DIR");
  return std::string(build ? build : ".") + "/tools/zrntool";
}

inline std::string ChartsTestDir() {
  return ZARNAVIS_TEST_SOURCE_DIR;
}

inline std::string Verify(const std::string& Args) {
  std::string out;
  RunShellCommand("/usr/bin/python3 " + ChartsTestDir() + "/verify_charts.py " + Args, &out);
  return out;
}
