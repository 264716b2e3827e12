#pragma once
// Helpers of the zip tests: running the independent zip tools, reading the
// shared test vectors, catching the component's messages.

#include <cstdint>
#include <string>
#include <vector>

#include "ZipHooks.h"

// Runs a shell command; returns its exit status (-1 when it could not run).
int RunCommand(const std::string& Command);
// Runs a shell command and returns what it printed on standard output.
std::string CommandOutput(const std::string& Command);
bool HaveTool(const std::string& Name);
std::string Quote(const std::string& Text);

// The folder of the shared zip test vectors, or empty when absent.
std::string SharedZipData();
// The folder of our own fixtures.
std::string FixtureDir();

uint32_t Crc32Of(const std::vector<uint8_t>& Data);
// Bytes that look like a scanned chart: runs of a few colours with noise.
std::vector<uint8_t> ChartLikeBytes(size_t Size, uint32_t Seed);

// Records the messages shown through the hook and answers with Answer.
class TMessageCatcher {
 public:
  explicit TMessageCatcher(int Answer);
  ~TMessageCatcher();
  std::vector<std::string> Texts;
  std::vector<std::string> Captions;
  int Answer;

 private:
  TZipMessageHook FPrevious;
};
