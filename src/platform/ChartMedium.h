#pragma once
// Where the chart CD's files are for a program that may not run from the CD.
// On the CD the program's own folder holds "Charts/" (the chart-set
// archives), the legend, the help files and the navigation program's setup.
// An installed program (in /usr/bin) finds them on the mounted CD instead.

#include <string>

// True when Folder + "Charts/" holds at least one ".zra" file (any case).
bool HoldsChartArchives(const std::string& Folder);

// ProgramFolder when it has a "Charts" folder; else the mount point of the
// first volume, in the order Volumes().List() gives them, whose root holds
// chart-set archives; else ProgramFolder. The result ends in "/".
std::string ChartMediumFolder(const std::string& ProgramFolder);
