#include "QvChartArchive.h"

#include <unistd.h>

#include <cstdio>

#include "Zipper.h"

std::vector<std::string> ChartArchiveEntries(TMemoryStream& Archive) {
  TUnZipper zip;
  zip.DoProcessMessages = false;
  zip.SetArchiveStream(&Archive);
  zip.ReadDirectory();
  std::vector<std::string> names;
  for (int i = 0; i < zip.EntryCount(); ++i) names.push_back(zip.EntryName(i));
  return names;
}

void ExtractChartArchiveEntry(TMemoryStream& Archive, const std::string& Name, TStream& Out) {
  TUnZipper zip;
  zip.DoProcessMessages = false;
  zip.SetArchiveStream(&Archive);
  bool damaged = false;
  zip.OnBadCRC = [&](const std::string&, uint32_t, uint32_t) { damaged = true; };
  if (zip.ExtractToStream(&Out, Name) != 1)
    throw EStreamError(damaged ? "The chart archive entry " + Name + " is damaged."
                               : "The chart archive has no entry " + Name + ".");
}

void WriteChartArchive(const std::string& ZraFile, const TZRAHeader& Header,
                       const std::vector<std::string>& Files, int PackLevel) {
  const std::string zipName = ZraFile + ".zip-" + std::to_string(::getpid());
  std::remove(zipName.c_str());
  try {
    TZipper zip;
    zip.DoProcessMessages = false;
    zip.SetZipName(zipName);
    zip.PackLevel = PackLevel;
    zip.ZipAction = zaReplace;
    zip.FilesList = Files;
    if (zip.CreateArchive() != int(Files.size()))
      throw EStreamError("Cannot pack the chart archive " + ZraFile);
    TMemoryStream plain;
    plain.LoadFromFile(zipName);
    std::remove(zipName.c_str());
    TMemoryStream out;
    WriteZRAHeader(out, Header);
    for (uint8_t& b : plain.Data()) b = uint8_t(~b);
    out.WriteBuffer(plain.Memory(), plain.GetSize());
    out.SaveToFile(ZraFile);
  } catch (...) {
    std::remove(zipName.c_str());
    throw;
  }
}
