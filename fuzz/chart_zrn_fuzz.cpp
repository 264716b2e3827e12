// A chart file given as bytes, opened and read as the update wizard does and
// converted row by row as the installer does. Any input must end in a bitmap
// or a stream or graphics error.

#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "QvDigitalCharts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  static const std::string file = [] {
    const char* tmp = std::getenv("TMPDIR");
    const std::string dir =
        std::string(tmp && *tmp ? tmp : "/tmp") + "/chart_zrn_fuzz." + std::to_string(::getpid());
    ::mkdir(dir.c_str(), 0700);
    return dir + "/180105a.zrn";
  }();
  static const std::string installed = file.substr(0, file.rfind('/')) + "/180105a_240_2003.bmp";
  TMemoryStream(std::vector<uint8_t>(Data, Data + Size)).SaveToFile(file);
  try {
    int32_t edition = 0, date = 0;
    TZRNFile chart(file, fmOpenRead, edition, date);
    TBitmap image;
    chart.ReadBitmap(image);
  } catch (const EStreamError&) {
  } catch (const EGraphicsError&) {
  }
  try {
    ConvertChartBitmap(installed, file, true);
  } catch (const EStreamError&) {
  } catch (const EGraphicsError&) {
  }
  return 0;
}
