#include "UpdateSettings.h"

#include <dirent.h>

#include "FileAttributes.h"
#include "FileNameCase.h"
#include "Languages.h"
#include "Paths.h"
#include "QvRegistry.h"
#include "TextUtils.h"

const char* const UpdateArchiveName = "Updates.BaZ";

namespace {

TSettingsCheck Refuse(TSettingsCheck& Check, const std::string& Warning, TSettingsField Focus) {
  Check.Ok = false;
  Check.Warning = Warning;
  Check.Focus = Focus;
  Check.ChartSets.clear();
  return std::move(Check);
}

// Drops the resolutions that are not installed, and sets left with none.
void KeepInstalled(TChartSetsList& Sets, const std::string& InstalledFolder) {
  for (size_t i = Sets.size(); i-- > 0;) {
    TChartSets& set = *Sets[i];
    for (int res = 0; res < ResolutionCount; ++res) {
      const TChartSet* chartSet = set.GetChartSet(res);
      if (chartSet && !IsChartSetInstalled(*chartSet, InstalledFolder)) set.DeleteChartSet(res);
    }
    if (set.Resolutions == 0) Sets.erase(Sets.begin() + std::ptrdiff_t(i));
  }
}

}  // namespace

bool IsChartSetInstalled(const TChartSet& Set, const std::string& InstalledFolder) {
  const std::string suffix =
      std::string("_") + DpiText(Set.Resolution) + "_" + std::to_string(ChartEdition) + ".bmp";
  bool found = false;
  if (DIR* dir = ::opendir(InstalledFolder.c_str())) {
    while (const dirent* d = ::readdir(dir)) {
      const std::string name = d->d_name;
      if (name.size() >= Set.Code.size() + suffix.size() && StartsText(name, Set.Code) &&
          EndsText(name, suffix) && !DirectoryExists(InstalledFolder + name)) {
        found = true;
        break;
      }
    }
    ::closedir(dir);
  }
  return found &&
         !RegReadString(rkMachine, "ChartSets\\" + Set.Name, DpiText(Set.Resolution), "").empty();
}

TSettingsCheck CheckSettingsFolders(TUpdateMode Mode, const std::string& Source,
                                    const std::string& Dest, const std::string& Updates,
                                    const std::function<void()>& BetweenFiles,
                                    bool AcceptLooseUpdates) {
  TSettingsCheck check;
  if (Applying(Mode)) {
    check.OriginalFolder = FullFolderName(Source);
    if (check.OriginalFolder.empty())
      return Refuse(check, GetText(txtNoOriginalFolder), TSettingsField::Source);
    check.InstalledFolder = FullFolderName(Dest);
    if (check.InstalledFolder.empty())
      return Refuse(check, GetText(txtInvalidInstallFolder), TSettingsField::Dest);
    check.ChartSets = FindChartSets(ExcludeTrailingPathDelimiter(check.OriginalFolder),
                                    check.InstalledFolder, BetweenFiles);
    if (check.ChartSets.empty())
      return Refuse(check, GetText(txtNoOriginalCharts) + std::to_string(ChartEdition) + ".",
                    TSettingsField::None);
    KeepInstalled(check.ChartSets, check.InstalledFolder);
    if (check.ChartSets.empty())
      return Refuse(check, GetText(txtNoInstalledCharts), TSettingsField::None);
  }
  if (Mode != TUpdateMode::DownloadAndApply) {
    check.UpdatesFolder = FullFolderName(Updates);
    if (check.UpdatesFolder.empty())
      return Refuse(check, GetText(txtInvalidUpdatesFolder), TSettingsField::Updates);
    // A disk may spell them in capitals ("UPDATES.BAZ").
    const bool loose =
        AcceptLooseUpdates && !FindFileNoCase(check.UpdatesFolder, "baz.idx").empty();
    if (Mode == TUpdateMode::ApplyOnly && !loose &&
        FindFileNoCase(check.UpdatesFolder, UpdateArchiveName).empty())
      return Refuse(check, GetText(txtNoUpdatesFound), TSettingsField::None);
  }
  check.Ok = true;
  return check;
}

int CountSelectedResolutions(const TChartSetsList& Sets) {
  int count = 0;
  for (const auto& set : Sets)
    for (int res = 0; res < ResolutionCount; ++res) count += set->GetSelected(res) ? 1 : 0;
  return count;
}

std::vector<std::string> UpdateSummaryLines(TUpdateMode Mode, const std::string& OriginalFolder,
                                            const std::string& InstalledFolder,
                                            const std::string& UpdatesFolder,
                                            const TChartSetsList& Sets,
                                            const std::vector<std::string>& CheckedCaptions) {
  const std::string indent = "   ";
  std::vector<std::string> lines;
  if (Applying(Mode))
    lines.insert(lines.end(), {GetText(txtOriginalChartFolder), indent + OriginalFolder, "",
                               GetText(txtInstalledChartFolder), indent + InstalledFolder, ""});
  if (Mode != TUpdateMode::DownloadAndApply)
    lines.insert(lines.end(), {GetText(Mode == TUpdateMode::DownloadOnly ? txtUpdatesFolderDownload
                                                                         : txtUpdatesFolderApply),
                               indent + UpdatesFolder, ""});
  lines.push_back(GetText(txtSetsToUpdate));
  if (Applying(Mode)) {
    for (const auto& set : Sets)
      if (set->GetSelected(0) || set->GetSelected(1)) lines.push_back(indent + set->Name);
  } else {
    for (const std::string& caption : CheckedCaptions) lines.push_back(indent + caption);
  }
  lines.push_back("");
  return lines;
}
