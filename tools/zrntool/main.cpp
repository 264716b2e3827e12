#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "CommandLine.h"
#include "Exception.h"
#include "ZrnTool.h"

namespace {

struct GroupInfo {
  std::string Usage;
  ZrnCommand Run;
};

std::map<std::string, GroupInfo>& Groups() {
  static std::map<std::string, GroupInfo> groups;
  return groups;
}

void PrintHelp() {
  std::printf(
      "Usage: zrntool GROUP COMMAND [ARGS...]\n"
      "The support tool of the chart CD: zip archives, chart files, demo data and FTP\n"
      "transfers.\n\n"
      "Commands:\n");
  for (const auto& [name, info] : Groups()) std::printf("%s\n", info.Usage.c_str());
  std::printf(
      "\n"
      "Options:\n"
      "  --help     display this help and exit\n"
      "  --version  output version information and exit\n"
      "\n"
      "zrntool keeps no settings of its own.\n"
      "\n"
      "Exit status:\n"
      " 0  the command succeeded\n"
      " 1  the command failed\n"
      " 2  wrong usage\n");
}

}  // namespace

ZrnCommandGroup::ZrnCommandGroup(const char* Name, const char* Usage, ZrnCommand Run) {
  Groups()[Name] = GroupInfo{Usage, Run};
}

int ZrnFail(const std::string& Message) {
  std::fprintf(stderr, "zrntool: %s\n", Message.c_str());
  return ExitFailure;
}

int ZrnUsageError(const std::string& Message) {
  return UsageError("zrntool", Message);
}

int main(int argc, char** argv) {
  if (argc < 2) return ZrnUsageError("missing command group");
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    PrintHelp();
    return ExitSuccess;
  }
  if (std::strcmp(argv[1], "--version") == 0) return PrintVersion("zrntool");
  const auto group = Groups().find(argv[1]);
  if (group == Groups().end())
    return ZrnUsageError(std::string("unknown command group '") + argv[1] + "'");
  std::vector<std::string> args(argv + 2, argv + argc);
  try {
    return group->second.Run(args);
  } catch (const Exception& e) {
    return ZrnFail(e.Message());
  } catch (const std::exception& e) {
    return ZrnFail(e.what());
  }
}
