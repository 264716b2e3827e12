// A chart-set archive given as bytes: its header, then the complemented
// chart archive's directory. Any input must end in a result or a stream or
// zip error.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "QvChartArchive.h"
#include "QvDigitalCharts.h"
#include "ZipErrors.h"
#include "ZipHooks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  static const bool quiet = [] {
    SetZipMessageHook([](const std::string&, const std::string&, TZipButtons) { return zmrOk; });
    return true;
  }();
  (void)quiet;
  TMemoryStream file(std::vector<uint8_t>(Data, Data + Size));
  try {
    ReadZRAHeader(file);
    std::vector<uint8_t> body(Data + file.Position(), Data + Size);
    for (uint8_t& b : body) b = uint8_t(~b);
    TMemoryStream archive(std::move(body));
    ChartArchiveEntries(archive);
  } catch (const EStreamError&) {
  } catch (const EZipError&) {
  }
  return 0;
}
