// zrntool chart: what a chart-set archive or a chart file holds, and the
// conversion of a chart file (with or without an update) into an installed
// bitmap.

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "QvBaZFile.h"
#include "QvChartArchive.h"
#include "QvDigitalCharts.h"
#include "ZrnTool.h"

namespace {

std::string Lower(std::string Text) {
  for (char& c : Text) c = char(std::tolower(uint8_t(c)));
  return Text;
}

std::string FormatFileDate(int32_t Date) {
  const auto d = uint32_t(Date);
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", (d >> 25) + 1980,
                (d >> 21) & 15, (d >> 16) & 31, (d >> 11) & 31, (d >> 5) & 63, (d & 31) * 2);
  return text;
}

int InfoArchive(const std::string& File) {
  TBufferedFileStream stream(File, 4096, fmOpenRead);
  const TZRAHeader header = ReadZRAHeader(stream);
  std::printf("magic: ZRA2\nname: %s\nedition: %d\ncharts: %d\nsize: %d\nsize2: %d\n",
              header.Name.c_str(), header.Edition, header.ChartCount, header.Size, header.Size2);
  auto archive = OpenChartArchive(File);
  for (const std::string& name : ChartArchiveEntries(*archive))
    std::printf("entry: %s\n", name.c_str());
  return 0;
}

int InfoChart(const std::string& File) {
  int32_t edition = 0, date = 0;
  TZRNFile chart(File, fmOpenRead, edition, date);
  TBitmap image;
  chart.ReadBitmap(image);
  chart.Close();
  uint32_t code = 0;
  ChartNameToCode(std::filesystem::path(File).stem().string(), code);
  std::string name;
  ChartCodeToName(code, name);
  std::printf("code: %08X\nname: %s\nedition: %d\ndate: %s\nwidth: %d\nheight: %d\nbits: %d\n",
              code, name.c_str(), edition, FormatFileDate(date).c_str(), image.Width(),
              image.Height(), image.BitsPerPixel());
  return 0;
}

// Splits off "--no-stamp"; returns false on an unknown option.
bool TakeStampOption(std::vector<std::string>& Args, bool& Stamp) {
  Stamp = true;
  std::vector<std::string> rest;
  for (const std::string& a : Args) {
    if (a == "--no-stamp")
      Stamp = false;
    else if (a.size() > 1 && a[0] == '-')
      return false;
    else
      rest.push_back(a);
  }
  Args = rest;
  return true;
}

int RunChart(const std::vector<std::string>& Args) {
  if (Args.empty()) return ZrnUsageError("chart: missing command (info, convert, update)");
  std::vector<std::string> rest(Args.begin() + 1, Args.end());
  bool stamp = true;
  if (!TakeStampOption(rest, stamp)) return ZrnUsageError("chart: unknown option");
  const std::string& command = Args[0];
  if (command == "info" && rest.size() == 1) {
    const std::string ext = Lower(std::filesystem::path(rest[0]).extension().string());
    return ext == ".zra" ? InfoArchive(rest[0]) : InfoChart(rest[0]);
  }
  if (command == "convert" && rest.size() == 2) {
    ConvertChartBitmap(rest[1], rest[0], stamp);
    return 0;
  }
  if (command == "update" && rest.size() == 3) {
    UpdateChartBitmap(rest[2], rest[0], rest[1], stamp);
    return 0;
  }
  return ZrnUsageError("chart: wrong arguments");
}

const ZrnCommandGroup chartGroup("chart",
                                 "  chart info FILE.zra|FILE.zrn\n"
                                 "  chart convert CHART.zrn OUT.bmp [--no-stamp]\n"
                                 "  chart update CHART.zrn UPDATEFILE OUT.bmp [--no-stamp]",
                                 RunChart);

}  // namespace
