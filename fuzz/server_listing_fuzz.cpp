// A server listing given as text: parsed into the files an update run may
// fetch. Any input ends in a list or an EConvertError; every name taken is
// a plain update-file name, so it can never leave the work folder.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ServerListing.h"
#include "UpdateFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string listing(reinterpret_cast<const char*>(Data), Size);
  try {
    for (const TRemoteFile& file : ParseServerListing(listing)) {
      if (!IsUpdateFileName(file.Name) || file.Name.find('/') != std::string::npos ||
          file.Size < INT32_MIN || file.Size > INT32_MAX)
        std::abort();
      if (FindRemoteFile(ParseServerListing(listing), file.Name) == nullptr) std::abort();
    }
  } catch (const EConvertError&) {
  }
  return 0;
}
