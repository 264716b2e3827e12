#pragma once
// Command groups of zrntool register themselves here: `zrntool GROUP ARGS...`
// runs the group's handler with ARGS. A handler returns the exit status.

#include <string>
#include <vector>

using ZrnCommand = int (*)(const std::vector<std::string>& Args);

struct ZrnCommandGroup {
  ZrnCommandGroup(const char* Name, const char* Usage, ZrnCommand Run);
};

// Prints "zrntool: " + Message on standard error and returns 1.
int ZrnFail(const std::string& Message);
// A usage error: "zrntool: " + Message and the hint to --help on standard
// error; returns 2.
int ZrnUsageError(const std::string& Message);
