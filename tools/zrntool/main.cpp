#include <cstdio>
#include <cstring>
#include <map>
#include <string>

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

void PrintUsage(FILE* To) {
  std::fprintf(To, "usage: zrntool GROUP COMMAND [ARGS...]\n\n");
  for (const auto& [name, info] : Groups()) std::fprintf(To, "%s\n", info.Usage.c_str());
}

}  // namespace

ZrnCommandGroup::ZrnCommandGroup(const char* Name, const char* Usage, ZrnCommand Run) {
  Groups()[Name] = GroupInfo{Usage, Run};
}

int ZrnFail(const std::string& Message) {
  std::fprintf(stderr, "zrntool: %s\n", Message.c_str());
  return 1;
}

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    PrintUsage(argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  const auto group = Groups().find(argv[1]);
  if (group == Groups().end()) {
    std::fprintf(stderr, "zrntool: unknown command group '%s'\n", argv[1]);
    PrintUsage(stderr);
    return 2;
  }
  std::vector<std::string> args(argv + 2, argv + argc);
  try {
    return group->second.Run(args);
  } catch (const Exception& e) {
    return ZrnFail(e.Message());
  } catch (const std::exception& e) {
    return ZrnFail(e.what());
  }
}
