#pragma once
// Chart-set archives as zip archives: listing and extracting the chart
// archive that OpenChartArchive returns, and writing a .zra file.

#include <string>
#include <vector>

#include "QvDigitalCharts.h"

// Names of the entries of a chart archive (a plain zip archive in memory).
std::vector<std::string> ChartArchiveEntries(TMemoryStream& Archive);
// Extracts one entry into Out; raises EStreamError when it is missing or damaged.
void ExtractChartArchiveEntry(TMemoryStream& Archive, const std::string& Name, TStream& Out);
// Writes ZraFile: Header, then Files zipped (by their names without folder)
// with every byte complemented.
void WriteChartArchive(const std::string& ZraFile, const TZRAHeader& Header,
                       const std::vector<std::string>& Files, int PackLevel = 6);
