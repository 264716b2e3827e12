// Reads the directory of an archive given as bytes and decodes every entry
// to nowhere. Any input must end in a result or an EZipError/EStreamError.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "UnZipper.h"
#include "ZipHooks.h"

namespace {

class TFuzzUnZipper : public TUnZipper {
 public:
  void DecodeAll(TStream& Archive) {
    TZipDiskSet disks(Archive);
    ReadDirectoryFrom(disks);
    for (int i = 0; i < EntryCount(); ++i) {
      try {
        DecodeEntryTo(
            disks, i, [](const uint8_t*, size_t) {}, nullptr);
      } catch (const EZipError&) {
      }
    }
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  static const bool quiet = [] {
    SetZipMessageHook([](const std::string&, const std::string&, TZipButtons) { return zmrOk; });
    return true;
  }();
  (void)quiet;
  TMemoryStream archive(std::vector<uint8_t>(Data, Data + Size));
  TFuzzUnZipper unzipper;
  try {
    unzipper.DecodeAll(archive);
  } catch (const EZipError&) {
  } catch (const EStreamError&) {
  }
  return 0;
}
