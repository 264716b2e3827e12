#include "ZipTestSupport.h"

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "ZipFormat.h"

int RunCommand(const std::string& Command) {
  const int rc = std::system(Command.c_str());
  return rc == -1 ? -1 : WEXITSTATUS(rc);
}

std::string CommandOutput(const std::string& Command) {
  std::string out;
  FILE* pipe = ::popen(Command.c_str(), "r");
  if (!pipe) return out;
  std::array<char, 4096> block;
  while (size_t n = std::fread(block.data(), 1, block.size(), pipe)) out.append(block.data(), n);
  ::pclose(pipe);
  return out;
}

bool HaveTool(const std::string& Name) {
  return RunCommand("command -v " + Name + " >/dev/null 2>&1") == 0;
}

std::string Quote(const std::string& Text) {
  std::string q = "'";
  for (char c : Text) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

std::string SharedZipData() {
  const char* dir = std::getenv("ZARNAVIS_SHARED_TESTDATA");
  if (!dir || !*dir) return {};
  const std::string zip = std::string(dir) + "/zip";
  return std::filesystem::is_directory(zip) ? zip : std::string();
}

std::string FixtureDir() {
  const char* dir = std::getenv("ZARNAVIS_TEST_DATA");
  return std::string(dir ? dir : "tests/data") + "/zip";
}

uint32_t Crc32Of(const std::vector<uint8_t>& Data) {
  return ZipCrc32(0, Data.data(), Data.size());
}

std::vector<uint8_t> ChartLikeBytes(size_t Size, uint32_t Seed) {
  std::vector<uint8_t> data(Size);
  uint32_t state = Seed * 2654435761u + 1;
  uint8_t colour = 0;
  for (size_t i = 0; i < Size; ++i) {
    state = state * 1103515245u + 12345u;
    if ((state >> 24) < 8) colour = static_cast<uint8_t>((state >> 16) % 12);
    data[i] = (state >> 28) == 0 ? static_cast<uint8_t>(state >> 8) : colour;
  }
  return data;
}

TMessageCatcher::TMessageCatcher(int AnswerWith) : Answer(AnswerWith) {
  FPrevious =
      SetZipMessageHook([this](const std::string& Text, const std::string& Caption, TZipButtons) {
        Texts.push_back(Text);
        Captions.push_back(Caption);
        return Answer;
      });
}

TMessageCatcher::~TMessageCatcher() {
  SetZipMessageHook(FPrevious);
}
