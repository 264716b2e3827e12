// The wizard's pages and their order in each mode, the settings page's
// checks without a window, the catalogue, the count and the confirmation
// page's summary.

#include <gtest/gtest.h>

#include <filesystem>

#include "UpdatePages.h"
#include "UpdateTestSupport.h"

namespace fs = std::filesystem;

namespace {

class UpdateSettings : public TUpdateFixture {};

// Next from the folders to the results and Back from the summary to the
// start page, in each mode: only the download modes have the proxy page.
// A failed run goes back to the proxy page only where the way to the
// server was at fault and the mode has that page.
TEST(UpdatePages, OrderInEachMode) {
  using P = TUpdatePage;
  struct Row {
    TUpdateMode mode;
    std::vector<P> forward;
    P afterFailure;
  };
  const Row rows[] = {
      {TUpdateMode::DownloadAndApply,
       {P::Settings, P::Charts, P::Proxy, P::Summary, P::Progress, P::Results},
       P::Proxy},
      {TUpdateMode::DownloadOnly,
       {P::Settings, P::Charts, P::Proxy, P::Summary, P::Progress, P::Results},
       P::Proxy},
      {TUpdateMode::ApplyOnly,
       {P::Settings, P::Charts, P::Summary, P::Progress, P::Results},
       P::Summary},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(int(r.mode));
    std::vector<P> next{P::Settings}, back{r.forward[r.forward.size() - 3]};
    while (NextPage(next.back(), r.mode) != next.back())
      next.push_back(NextPage(next.back(), r.mode));
    EXPECT_EQ(next, r.forward);
    while (PrevPage(back.back(), r.mode) != back.back())
      back.push_back(PrevPage(back.back(), r.mode));
    std::vector<P> expected(r.forward.rbegin() + 2, r.forward.rend());
    expected.push_back(P::Start);
    EXPECT_EQ(back, expected);
    // Neither the start page nor the results lead anywhere by Next or Back.
    for (P end : {P::Start, P::Results}) {
      EXPECT_EQ(NextPage(end, r.mode), end);
      EXPECT_EQ(PrevPage(end, r.mode), end);
    }
    EXPECT_EQ(PageAfterFailure(true, r.mode), r.afterFailure);
    EXPECT_EQ(PageAfterFailure(false, r.mode), P::Summary);
  }
}

TEST_F(UpdateSettings, EachModeChecksItsOwnFields) {
  Install({"1803"});
  const std::string emptyCd = FTemp / "emptycd/";
  const std::string noBitmaps = FTemp / "nobitmaps/";
  const std::string noArchive = FTemp / "noarchive/";
  for (const std::string& f : {emptyCd, noBitmaps, noArchive}) fs::create_directories(f);
  WriteFileText(emptyCd + "readme.txt", "no archives here");
  struct {
    const char* Name;
    TUpdateMode Mode;
    std::string Source, Dest, Updates;
    std::string Warning;
    TSettingsField Focus;
  } rows[] = {
      {"no source", TUpdateMode::DownloadAndApply, "", FInstalled, "", GetText(txtNoOriginalFolder),
       TSettingsField::Source},
      {"no destination", TUpdateMode::ApplyOnly, Cd(), "", UpdateDisk(),
       GetText(txtInvalidInstallFolder), TSettingsField::Dest},
      {"no archives", TUpdateMode::DownloadAndApply, emptyCd, FInstalled, "",
       "No original charts (*.zra) were found of edition 2003.", TSettingsField::None},
      {"nothing installed", TUpdateMode::DownloadAndApply, Cd(), noBitmaps, "",
       "No installed charts (*.bmp) were found.\rCheck if the entered file locations are correct",
       TSettingsField::None},
      {"no updates folder", TUpdateMode::ApplyOnly, Cd(), FInstalled, "",
       GetText(txtInvalidUpdatesFolder), TSettingsField::Updates},
      {"download: no folder", TUpdateMode::DownloadOnly, "", "", "",
       GetText(txtInvalidUpdatesFolder), TSettingsField::Updates},
      {"no archive on the disk", TUpdateMode::ApplyOnly, Cd(), FInstalled, noArchive,
       "No updates where found on the entered location.", TSettingsField::None},
      {"download and apply", TUpdateMode::DownloadAndApply, Cd(), FInstalled, "", "",
       TSettingsField::None},
      {"download only", TUpdateMode::DownloadOnly, "", "", noArchive, "", TSettingsField::None},
      {"apply only", TUpdateMode::ApplyOnly, Cd(), FInstalled, UpdateDisk(), "",
       TSettingsField::None},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Name);
    const TSettingsCheck check = CheckSettingsFolders(row.Mode, row.Source, row.Dest, row.Updates);
    EXPECT_EQ(check.Ok, row.Warning.empty());
    EXPECT_EQ(check.Warning, row.Warning);
    EXPECT_EQ(check.Focus, row.Focus);
    if (!check.Ok) continue;
    if (Applying(row.Mode)) {
      ASSERT_EQ(check.ChartSets.size(), 1u);
      EXPECT_EQ(check.ChartSets[0]->Code, "1803");
      EXPECT_EQ(check.InstalledFolder, FInstalled);
    } else {
      EXPECT_TRUE(check.ChartSets.empty());
    }
  }
}

// Relative folders become full ones, with the trailing slash.
TEST_F(UpdateSettings, FoldersAreTakenAsFullPaths) {
  Install({"1803"});
  const fs::path old = fs::current_path();
  fs::current_path(FTemp.Path());
  const TSettingsCheck check =
      CheckSettingsFolders(TUpdateMode::ApplyOnly, fs::relative(Cd()).string(), "installed",
                           fs::relative(UpdateDisk()).string() + "/x/..");
  fs::current_path(old);
  ASSERT_TRUE(check.Ok) << check.Warning;
  EXPECT_EQ(check.InstalledFolder, FInstalled);
  EXPECT_EQ(check.UpdatesFolder, UpdateDisk());
  EXPECT_EQ(check.OriginalFolder, Cd());
}

// A resolution counts as installed with its bitmaps and its record in the
// settings; a set installed at 240 dpi only keeps only that resolution.
TEST_F(UpdateSettings, InstalledResolutionsNeedBitmapsAndTheirRecord) {
  Install({"1801"}, 1);
  Install({"1805"});
  RegWriteString(rkMachine, "ChartSets\\" + ChartSetCatalogue()[3], "120", "");  // 1805 forgotten
  // 1807 has bitmaps but was never recorded.
  WriteFileText(FInstalled + "180701_120_2003.bmp", "bitmap");
  const TSettingsCheck check =
      CheckSettingsFolders(TUpdateMode::DownloadAndApply, Cd(), FInstalled, "");
  ASSERT_TRUE(check.Ok) << check.Warning;
  std::map<std::string, int> resolutions;
  for (const auto& set : check.ChartSets) resolutions[set->Code] = set->Resolutions;
  EXPECT_EQ(resolutions, (std::map<std::string, int>{{"1801", 2}, {"1805", 2}}));
  for (const auto& set : check.ChartSets) {
    EXPECT_FALSE(set->GetSelected(0));
    EXPECT_TRUE(set->GetSelected(1));
    set->SetSelected(0, true);  // an absent resolution stays unselected
    EXPECT_FALSE(set->GetSelected(0));
  }
  EXPECT_EQ(CountSelectedResolutions(check.ChartSets), 2);
  TChartSetsList sets = FindChartSets(Demo->Path() + "/Charts", FInstalled);
  const TChartSet* at120 = sets[0]->GetChartSet(0);
  ASSERT_EQ(sets[0]->Code, "1801");
  EXPECT_FALSE(IsChartSetInstalled(*at120, FInstalled));
  EXPECT_TRUE(IsChartSetInstalled(*sets[0]->GetChartSet(1), FInstalled));
}

TEST_F(UpdateSettings, CatalogueCountAndSummary) {
  const auto& catalogue = ChartSetCatalogue();
  ASSERT_EQ(catalogue.size(), 9u);
  EXPECT_EQ(catalogue[0], "NNZK: Nederlandse Noordzeekust (1014, 2322, 2593, 3371)");
  EXPECT_EQ(catalogue[8], "1812: Waddenzee (Oostblad) en aangrenzende Noordzeekust");
  // The demo CD's set names are the catalogue's captions.
  TChartSetsList sets = FindChartSets(Demo->Path() + "/Charts", FInstalled);
  std::set<std::string> names;
  for (const auto& s : sets) names.insert(s->Name);
  EXPECT_EQ(names, std::set<std::string>(catalogue.begin(), catalogue.end()));
  EXPECT_EQ(CountSelectedResolutions(sets), 16);
  RestrictSelection(sets, {"nnzk", "1810"}, 1);
  EXPECT_EQ(CountSelectedResolutions(sets), 2);

  EXPECT_EQ(UpdateSummaryLines(TUpdateMode::ApplyOnly, "/cd/", "/charts/", "/usb/", sets, {}),
            (std::vector<std::string>{
                "Original chart folder:", "   /cd/", "", "Installed chart folder:", "   /charts/",
                "", "Update(s) folder:", "   /usb/", "", "Chartset(s) to be updated:",
                "   1810: IJsselmeer met Randmeren", "   " + catalogue[0], ""}));
  EXPECT_EQ(
      UpdateSummaryLines(TUpdateMode::DownloadOnly, "", "", "/media/usb/", {}, {catalogue[2]}),
      (std::vector<std::string>{"Update(s) folder:", "   /media/usb/", "",
                                "Chartset(s) to be updated:", "   " + catalogue[2], ""}));
  const auto both = UpdateSummaryLines(TUpdateMode::DownloadAndApply, "/cd/", "/c/", "", sets, {});
  EXPECT_EQ(both.size(), 10u);
  EXPECT_EQ(both[6], "Chartset(s) to be updated:");
}

// Download-only: the index always, and the files that carry a checked
// set's code.
TEST_F(UpdateSettings, DownloadOnlyTakesTheCheckedSetsFiles) {
  TRecordingView view;
  TUpdateProcessor processor(TUpdateMode::DownloadOnly, view);
  processor.BeginRun();
  processor.SetServerFiles(
      {"baz.idx", "180101.120", "180301.240", "NNZK_1014.120", "old.idx", "181001.240"});
  processor.SetCheckedCatalogue({ChartSetCatalogue()[0], ChartSetCatalogue()[2]});
  ASSERT_TRUE(processor.BuildUpdateList());
  EXPECT_EQ(processor.UpdateList(),
            (TUpdateList{"baz.idx", "180301.240", "NNZK_1014.120", "old.idx"}));
  processor.SetCheckedCatalogue({});
  processor.SetServerFiles({"180101.120"});
  EXPECT_FALSE(processor.BuildUpdateList());
  EXPECT_EQ(view.Texts(), std::vector<std::string>{GetText(txtUpToDate)});
}

}  // namespace
