// The update run without a window, on the demo CD: what it selects, what it
// writes, what it records, and what a failure leaves.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "FileTimes.h"
#include "QvChartArchive.h"
#include "StoredUpdateIndex.h"
#include "UpdateFiles.h"
#include "UpdateTestSupport.h"

namespace fs = std::filesystem;

namespace {

struct TDelivered {
  std::string Name;
  TBaZIndexRecord Record;
};

// The delivered records of the demo's "baz.idx", by chart name.
std::map<std::string, TBaZIndexRecord> DeliveredRecords(const std::string& Folder) {
  TMemoryStream idx;
  idx.LoadFromFile(Folder + "baz.idx");
  std::map<std::string, TBaZIndexRecord> records;
  for (const TBaZIndexRecord& r : ReadBaZIndexRecords(idx)) {
    std::string name;
    if (ChartCodeToName(r.Code, name)) records.emplace(name, r);
  }
  return records;
}

std::string Lower(std::string S) {
  for (char& c : S) c = char(std::tolower(static_cast<unsigned char>(c)));
  return S;
}

class UpdateRun : public TUpdateFixture {
 protected:
  // The bitmaps an apply-only run of the whole demo disk must update: every
  // update file whose chart is installed at that resolution.
  std::vector<std::string> ExpectedUpdates() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(ServerFolder())) {
      const std::string ext = e.path().extension().string();
      if (ext != ".120" && ext != ".240") continue;
      const std::string bitmap = e.path().stem().string() + "_" + ext.substr(1) + "_2003.bmp";
      if (fs::exists(FInstalled + bitmap)) names.push_back(bitmap);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::vector<std::string> ResultBitmaps() const {
    std::vector<std::string> names;
    for (size_t i = 2; i < FResults.size(); ++i) {
      const std::string& line = FResults[i];
      EXPECT_EQ(line.rfind("  ", 0), 0u) << line;
      names.push_back(line.substr(line.find_last_of('/') + 1));
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  // The records the stored index of a resolution must hold after a run on
  // an empty stored index: the applied charts' delivered records, from the
  // last name to the first.
  std::vector<uint8_t> RecordsOfApplied(int Resolution) const {
    std::vector<std::pair<std::string, TBaZIndexRecord>> applied;
    for (const auto& [name, record] : DeliveredRecords(ServerFolder()))
      for (const std::string& bitmap : ResultBitmaps())
        if (bitmap == name + "_" + DpiText(Resolution) + "_2003.bmp")
          applied.emplace_back(name, record);
    std::sort(applied.begin(), applied.end(),
              [](const auto& A, const auto& B) { return Lower(A.first) > Lower(B.first); });
    TMemoryStream s;
    for (const auto& a : applied) WriteBaZIndexRecord(s, a.second);
    return s.Data();
  }

  // A folder of loose update files: the server's, changed by Edit.
  std::string LooseUpdates(const std::function<void(const std::string&)>& Edit = {}) {
    const std::string folder = FTemp / "loose/";
    fs::create_directories(folder);
    for (const auto& e : fs::directory_iterator(ServerFolder()))
      fs::copy_file(e.path(), folder + e.path().filename().string(),
                    fs::copy_options::overwrite_existing);
    if (Edit) Edit(folder);
    return folder;
  }

  void StoreIndex(const std::vector<TDelivered>& At120, const std::vector<TDelivered>& At240) {
    std::vector<uint8_t> records[2];
    const std::vector<TDelivered>* lists[2] = {&At120, &At240};
    for (int res = 0; res < 2; ++res) {
      TMemoryStream s;
      for (const TDelivered& d : *lists[res]) WriteBaZIndexRecord(s, d.Record);
      records[res] = s.Data();
    }
    WriteStoredUpdateIndexes(records);
  }

  static TDelivered Record(const std::string& Name, uint32_t Value, int32_t Date) {
    uint32_t code = 0;
    EXPECT_TRUE(ChartNameToCode(Name, code)) << Name;
    return {Name, {Value, code, Date}};
  }

  bool WorkFoldersLeft() const { return !fs::is_empty(FTemp / "runtime"); }
};

TEST_F(UpdateRun, AppliesEveryUpdateOfTheDiskAndRecordsIt) {
  Install({"1801", "1803", "NNZK"});
  TRecordingView view;
  std::string work;
  ASSERT_EQ(ApplyFrom(UpdateDisk(), view, {}, -1, &work), TUpdateOutcome::Applied);
  EXPECT_TRUE(view.Shown.empty()) << view.Texts()[0];
  EXPECT_EQ(view.Busy, 0);
  EXPECT_FALSE(WorkFoldersLeft());
  EXPECT_EQ(work.rfind(FTemp / "runtime/zrn-", 0), 0u);

  ASSERT_GE(FResults.size(), 2u);
  EXPECT_EQ(FResults[0], "The following charts have been updated:");
  EXPECT_EQ(FResults[1], "");
  const std::vector<std::string> expected = ExpectedUpdates();
  ASSERT_GT(expected.size(), 8u);
  EXPECT_EQ(ResultBitmaps(), expected);
  for (size_t i = 2; i < FResults.size(); ++i) {
    const std::string bitmap = FResults[i].substr(FResults[i].find_last_of('/') + 1);
    const std::string dpi = bitmap.substr(bitmap.size() - 12, 3);
    EXPECT_EQ(FResults[i], "  " + dpi + " dpi - " + FInstalled + bitmap);
  }
  EXPECT_EQ(CheckUpdated(expected), "ok\n");
  // Each bitmap carries its update's date; the index record has it too.
  const auto delivered = DeliveredRecords(ServerFolder());
  for (const std::string& bitmap : expected) {
    const std::string chart = bitmap.substr(0, bitmap.size() - 13);
    EXPECT_EQ(FileAge(FInstalled + bitmap), delivered.at(chart).Date) << bitmap;
  }
  EXPECT_EQ(ReadStoredUpdateIndex(0), RecordsOfApplied(0));
  EXPECT_EQ(ReadStoredUpdateIndex(1), RecordsOfApplied(1));
  // A set that was not installed got nothing.
  for (const auto& name : InstalledNames()) EXPECT_NE(name.rfind("1805", 0), 0u) << name;
}

TEST_F(UpdateRun, NextRunIsUpToDateAndTheSameUpdatesGiveTheSameBytes) {
  Install({"1803", "1805"});
  TRecordingView first;
  ASSERT_EQ(ApplyFrom(UpdateDisk(), first), TUpdateOutcome::Applied);
  const auto updated = Bitmaps();

  TRecordingView second;
  EXPECT_EQ(ApplyFrom(UpdateDisk(), second), TUpdateOutcome::UpToDate);
  ASSERT_EQ(second.Shown.size(), 1u);
  EXPECT_EQ(second.Shown[0].Text, "The charts installed on your system are up to date.");
  EXPECT_EQ(second.Shown[0].Type, mtInformation);
  EXPECT_EQ(Bitmaps(), updated);

  StoreIndex({}, {});
  TRecordingView third;
  ASSERT_EQ(ApplyFrom(UpdateDisk(), third), TUpdateOutcome::Applied);
  EXPECT_EQ(Bitmaps(), updated);
}

// Same date: not applied; later: applied; a stored chart without a delivered
// record and a record of a set not on this disk's list keep or lose their
// place as the merge says; the records come out byte for byte.
TEST_F(UpdateRun, StoredDatesDecideAndTheMergeIsExact) {
  Install({"1801"});
  const auto delivered = DeliveredRecords(ServerFolder());
  std::vector<std::string> charts;
  for (const auto& [name, r] : delivered)
    if (name.rfind("1801", 0) == 0) charts.push_back(name);
  ASSERT_GE(charts.size(), 2u);
  const std::string same = charts[0], later = charts[1];
  const int32_t older = EncodeFileDate(2003, 5, 1, 8, 0, 0);
  const TDelivered sameRecord = Record(same, 501, delivered.at(same).Date);
  const TDelivered olderRecord = Record(later, 502, older);
  const TDelivered lonely = Record("180109", 503, older);   // never delivered
  const TDelivered foreign = Record("180501", 504, older);  // set 1805 is not installed
  StoreIndex({foreign, lonely, olderRecord, sameRecord}, {});
  const auto before = Bitmaps();

  TRecordingView view;
  ASSERT_EQ(ApplyFrom(UpdateDisk(), view), TUpdateOutcome::Applied);
  const std::vector<std::string> results = ResultBitmaps();
  const auto has = [&](const std::string& B) {
    return std::find(results.begin(), results.end(), B) != results.end();
  };
  EXPECT_FALSE(has(same + "_120_2003.bmp"));
  EXPECT_EQ(Bitmaps().at(same + "_120_2003.bmp"), before.at(same + "_120_2003.bmp"));
  EXPECT_TRUE(has(same + "_240_2003.bmp"));
  EXPECT_TRUE(has(later + "_120_2003.bmp"));

  // 120 dpi: the stored entries from the last name to the first (the later
  // chart now with its delivered record), then every chart applied at 120
  // dpi from the last to the first.
  TMemoryStream want;
  std::vector<std::string> stored = {lonely.Name, later, same};  // names descending
  std::sort(stored.rbegin(), stored.rend());
  for (const std::string& name : stored) {
    if (name == lonely.Name) WriteBaZIndexRecord(want, lonely.Record);
    if (name == later) WriteBaZIndexRecord(want, delivered.at(later));
    if (name == same) WriteBaZIndexRecord(want, sameRecord.Record);
  }
  std::vector<std::string> applied120;
  for (const std::string& b : results)
    if (b.find("_120_") != std::string::npos) applied120.push_back(b.substr(0, b.size() - 13));
  std::sort(applied120.rbegin(), applied120.rend());
  for (const std::string& name : applied120) WriteBaZIndexRecord(want, delivered.at(name));
  EXPECT_EQ(ReadStoredUpdateIndex(0), want.Data());
  EXPECT_EQ(ReadStoredUpdateIndex(1), RecordsOfApplied(1));
}

// A chart updated at 240 dpi only keeps its old 120 dpi date, so that its
// 120 dpi bitmap gets the update on the next run.
TEST_F(UpdateRun, AChartUpdatedAtOneResolutionIsNotRecordedAtTheOther) {
  Install({"1801"});
  const auto delivered = DeliveredRecords(ServerFolder());
  const std::string chart = delivered.lower_bound("1801")->first;
  ASSERT_EQ(chart.rfind("1801", 0), 0u);
  const int32_t older = EncodeFileDate(2003, 5, 1, 8, 0, 0);
  StoreIndex({Record(chart, 7, older)}, {Record(chart, 7, older)});
  TRecordingView view;
  ASSERT_EQ(ApplyFrom(UpdateDisk(), view, {}, 1), TUpdateOutcome::Applied);
  for (const std::string& b : ResultBitmaps()) EXPECT_NE(b.find("_240_"), std::string::npos);
  TMemoryStream kept;
  WriteBaZIndexRecord(kept, Record(chart, 7, older).Record);
  EXPECT_EQ(ReadStoredUpdateIndex(0), kept.Data());

  TRecordingView again;
  ASSERT_EQ(ApplyFrom(UpdateDisk(), again), TUpdateOutcome::Applied);
  const std::vector<std::string> second = ResultBitmaps();
  EXPECT_NE(std::find(second.begin(), second.end(), chart + "_120_2003.bmp"), second.end());
  for (const std::string& b : second) EXPECT_EQ(b.find("_240_"), std::string::npos) << b;
  EXPECT_EQ(CheckUpdated({chart + "_120_2003.bmp", chart + "_240_2003.bmp"}), "ok\n");
}

TEST_F(UpdateRun, BothResolutionsGiveTwoLinesAndAMissingBitmapIsLeftOut) {
  Install({"1807"});
  const std::vector<std::string> all = ExpectedUpdates();
  ASSERT_GE(all.size(), 2u);
  const std::string chart = all[0].substr(0, all[0].size() - 13);
  ASSERT_TRUE(std::count_if(all.begin(), all.end(), [&](const std::string& B) {
                return B.rfind(chart + "_", 0) == 0;
              }) == 2);
  fs::remove(FInstalled + chart + "_120_2003.bmp");
  TRecordingView view;
  ASSERT_EQ(ApplyFrom(UpdateDisk(), view), TUpdateOutcome::Applied);
  std::vector<std::string> expected = all;
  expected.erase(std::find(expected.begin(), expected.end(), chart + "_120_2003.bmp"));
  EXPECT_EQ(ResultBitmaps(), expected);
  EXPECT_FALSE(fs::exists(FInstalled + chart + "_120_2003.bmp"));
  EXPECT_TRUE(view.Shown.empty());
}

// On a disk, a chart counts only with the update of its own resolution.
TEST_F(UpdateRun, ADiskWithoutTheResolutionsUpdateLeavesThatResolution) {
  Install({"1809"});
  const std::vector<std::string> all = ExpectedUpdates();
  const std::string chart = all[0].substr(0, all[0].size() - 13);
  const std::string loose =
      LooseUpdates([&](const std::string& F) { fs::remove(F + chart + ".120"); });
  const auto before = Bitmaps();
  TRecordingView view;
  ASSERT_EQ(ApplyFrom(loose, view), TUpdateOutcome::Applied);
  const std::vector<std::string> results = ResultBitmaps();
  EXPECT_EQ(std::find(results.begin(), results.end(), chart + "_120_2003.bmp"), results.end());
  EXPECT_NE(std::find(results.begin(), results.end(), chart + "_240_2003.bmp"), results.end());
  EXPECT_EQ(Bitmaps().at(chart + "_120_2003.bmp"), before.at(chart + "_120_2003.bmp"));
  EXPECT_EQ(ReadStoredUpdateIndex(0), RecordsOfApplied(0));
}

// Names in another letter case than the chart's code and its archive entry
// give them: an installed bitmap is updated under the name it has, and a
// disk's index and update files are found in capitals.
TEST_F(UpdateRun, NamesInAnotherLetterCaseAreFound) {
  Install({"NNZK"});
  // The first sheet of a set always has an update.
  fs::rename(FInstalled + "NNZK_1014_120_2003.bmp", FInstalled + "nnzk_1014_120_2003.bmp");
  const std::string loose = LooseUpdates([](const std::string& F) {
    fs::rename(F + "baz.idx", F + "BAZ.IDX");
    fs::rename(F + "NNZK_1014.240", F + "nnzk_1014.240");
  });
  TRecordingView view;
  view.Answer = [](const TShown& S) { return S.Buttons.Contains(mbCancel) ? mrCancel : mrOk; };
  ASSERT_EQ(ApplyFrom(loose, view), TUpdateOutcome::Applied);
  const std::vector<std::string> results = ResultBitmaps();
  for (const char* bitmap : {"nnzk_1014_120_2003.bmp", "NNZK_1014_240_2003.bmp"})
    EXPECT_NE(std::find(results.begin(), results.end(), bitmap), results.end()) << bitmap;
  EXPECT_FALSE(fs::exists(FInstalled + "NNZK_1014_120_2003.bmp"));
  EXPECT_EQ(CheckUpdated({"nnzk_1014_120_2003.bmp", "NNZK_1014_240_2003.bmp"}), "ok\n");
}

TEST_F(UpdateRun, NoIndexOrAnEmptyOneIsUpToDate) {
  Install({"1801"});
  const auto before = Bitmaps();
  struct {
    const char* Name;
    std::function<std::string()> Updates;
  } rows[] = {
      {"empty baz.idx",
       [&] {
         return LooseUpdates([](const std::string& F) { WriteFileText(F + "baz.idx", ""); });
       }},
      {"archive without baz.idx",
       [&] {
         const std::string folder = FTemp / "noindex/";
         fs::create_directories(folder);
         std::string out;
         EXPECT_EQ(RunShellCommand("cd " + Q(ServerFolder()) + " && zip -q " +
                                       Q(folder + "Updates.BaZ") + " *.120 *.240",
                                   &out),
                   0)
             << out;
         return folder;
       }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Name);
    TRecordingView view;
    EXPECT_EQ(ApplyFrom(row.Updates(), view), TUpdateOutcome::UpToDate);
    EXPECT_EQ(view.Texts(),
              std::vector<std::string>{"The charts installed on your system are up to date."});
    EXPECT_EQ(Bitmaps(), before);
    EXPECT_TRUE(ReadStoredUpdateIndex(0).empty());
  }
}

}  // namespace
