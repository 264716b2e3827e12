// Any text as a settings hive: it parses or raises EHiveError, and what
// parses comes back unchanged through the writer.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "RegistryHive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  std::string text(reinterpret_cast<const char*>(Data), Size);
  THive hive("HKEY_CURRENT_USER");
  try {
    hive = ParseHive(text, "HKEY_CURRENT_USER", "fuzz.reg");
  } catch (const EHiveError&) {
    return 0;
  }
  std::string written = FormatHive(hive);
  try {
    THive back = ParseHive(written, "HKEY_CURRENT_USER", "written.reg");
    if (!(back == hive) || FormatHive(back) != written) std::abort();
  } catch (const EHiveError&) {
    std::abort();  // the writer produced text the reader refuses
  }
  return 0;
}
