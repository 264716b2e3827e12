#pragma once
// What the update wizard checks before it shows the chart sets, without a
// window: the folders of the mode, the chart sets of the CD that are
// installed, the download catalogue, the selection count and the summary
// of the confirmation page.

#include <functional>
#include <string>
#include <vector>

#include "QvDigitalCharts.h"

enum class TUpdateMode { DownloadAndApply, DownloadOnly, ApplyOnly };

inline bool Downloading(TUpdateMode Mode) {
  return Mode != TUpdateMode::ApplyOnly;
}
inline bool Applying(TUpdateMode Mode) {
  return Mode != TUpdateMode::DownloadOnly;
}

// The archive on an update disk or in an updates folder.
extern const char* const UpdateArchiveName;  // "Updates.BaZ"

enum class TSettingsField { None, Source, Dest, Updates };

struct TSettingsCheck {
  bool Ok = false;
  std::string Warning;  // shown when not Ok
  TSettingsField Focus = TSettingsField::None;
  // The folders as accepted: full paths ending in "/".
  std::string OriginalFolder, InstalledFolder, UpdatesFolder;
  // Applying modes: the chart sets of the CD with only their installed
  // resolutions, every one selected.
  TChartSetsList ChartSets;
};

// The settings page's check for Mode on the three folder fields (fields the
// mode does not show are ignored). BetweenFiles runs while the CD is read.
// AcceptLooseUpdates: in apply-only mode an updates folder with "baz.idx"
// and no "Updates.BaZ" passes too (the command line's way). Errors of the
// chart-set archives are raised.
TSettingsCheck CheckSettingsFolders(TUpdateMode Mode, const std::string& Source,
                                    const std::string& Dest, const std::string& Updates,
                                    const std::function<void()>& BetweenFiles = {},
                                    bool AcceptLooseUpdates = false);

// The resolution of Set counts as installed when InstalledFolder holds at
// least one of its bitmaps (Code*_<dpi>_2003.bmp) and the settings record
// it under "ChartSets\<name>".
bool IsChartSetInstalled(const TChartSet& Set, const std::string& InstalledFolder);

// Selected resolutions over all sets (0, 1 or 2 a set).
int CountSelectedResolutions(const TChartSetsList& Sets);

// The lines of the confirmation page: the folders of the mode and the chart
// sets to update (applying modes: the names of the sets with a resolution
// selected; download-only: the checked catalogue captions).
std::vector<std::string> UpdateSummaryLines(TUpdateMode Mode, const std::string& OriginalFolder,
                                            const std::string& InstalledFolder,
                                            const std::string& UpdatesFolder,
                                            const TChartSetsList& Sets,
                                            const std::vector<std::string>& CheckedCaptions);
