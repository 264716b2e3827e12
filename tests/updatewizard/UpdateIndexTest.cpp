// Choosing updates and recording them: the index operations on their own,
// with the chart sets of the demo CD and index entries made here.

#include <gtest/gtest.h>

#include "FileTimes.h"
#include "UpdateIndex.h"
#include "UpdateTestSupport.h"

namespace {

int32_t Day(int D) {
  return EncodeFileDate(2003, 6, D, 10, 0, 0);
}

TBaZIndexEntry Entry(int D, uint32_t Value, bool Applies = true) {
  return TBaZIndexEntry{Day(D), Value, Applies};
}

class UpdateIndex : public TUpdateFixture {
 protected:
  void SetUp() override {
    TUpdateFixture::SetUp();
    FSets = FindChartSets(Demo->Path() + "/Charts", FInstalled);
  }
  TChartSetsList FSets;
};

TEST_F(UpdateIndex, KeysNameChartAndResolution) {
  EXPECT_EQ(UpdateKey("180105", 0), "180105_120_2003");
  EXPECT_EQ(UpdateKey("NNZK_1014", 1), "NNZK_1014_240_2003");
  std::string chart;
  int res = -1;
  ASSERT_TRUE(SplitUpdateKey("NNZK_1014_240_2003", chart, res));
  EXPECT_EQ(chart, "NNZK_1014");
  EXPECT_EQ(res, 1);
  EXPECT_FALSE(SplitUpdateKey("180105_300_2003", chart, res));
  EXPECT_FALSE(SplitUpdateKey("_120_2003", chart, res));
}

TEST_F(UpdateIndex, ReadingTakesOnlyChartsOfTheRunsSetsAndNeverFrl) {
  RestrictSelection(FSets, {"1801"}, -1);  // 1803 stays in the list, unselected
  TMemoryStream s;
  uint32_t code = 0;
  for (const char* name : {"180101", "180301", "NNZK_1014", "180101"}) {
    ChartNameToCode(name, code);
    WriteBaZIndexRecord(s, {7, code, Day(3)});
  }
  WriteBaZIndexRecord(s, {9, 0x01010700, Day(4)});  // an "frl_" chart
  // A set that is not on the CD at all: chart 1802.
  ChartNameToCode("180201", code);
  WriteBaZIndexRecord(s, {9, code, Day(4)});
  s.SetPosition(0);
  TBaZIndexList list;
  ReadUpdateIndex(s, list, &FSets);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_TRUE(list.at("180101").Applies);
  EXPECT_FALSE(list.at("180301").Applies);
  EXPECT_FALSE(list.at("NNZK_1014").Applies);
  EXPECT_EQ(list.at("180101").Value, 7u);

  s.SetPosition(0);
  ReadUpdateIndex(s, list, nullptr);
  EXPECT_TRUE(list.empty());
}

TEST_F(UpdateIndex, SelectionByDateSetAndResolution) {
  // A set whose archive header spells its code in lower case.
  for (auto& set : FSets)
    if (set->Code == "NNZK") set->Code = "nnzk";
  RestrictSelection(FSets, {"1801", "1810", "1812", "NNZK"}, -1);
  TBaZIndexList stored = {{"180101", Entry(5, 1)},
                          {"180102", Entry(5, 2)},
                          {"181001", Entry(1, 3)},
                          {"181201", Entry(1, 4)}};
  TBaZIndexList delivered = {
      {"180101", Entry(5, 11)},         // same date: no
      {"180102", Entry(6, 12)},         // later: yes
      {"180103", Entry(2, 13)},         // new: yes
      {"181001", Entry(9, 14)},         // later, but 1810 has no 120 dpi
      {"181201", Entry(9, 15)},         // later; 1812 has 120 dpi only
      {"180301", Entry(9, 16, false)},  // not to be updated (set unselected)
      {"NNZK_1014", Entry(9, 17)},      // new, of the set "nnzk": yes
  };
  struct {
    int Resolution;
    TUpdateList Expected;
  } rows[] = {
      {0, {"180102_120_2003", "180103_120_2003", "181201_120_2003", "NNZK_1014_120_2003"}},
      {1, {"180102_240_2003", "180103_240_2003", "181001_240_2003", "NNZK_1014_240_2003"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Resolution);
    TUpdateList list;
    SelectUpdates(row.Resolution, stored, delivered, FSets, list);
    EXPECT_EQ(list, row.Expected);
  }
  // An older delivered date never selects.
  TBaZIndexList older = {{"180101", Entry(4, 1)}};
  TUpdateList list;
  SelectUpdates(0, stored, older, FSets, list);
  EXPECT_TRUE(list.empty());
}

// The stored index after a run, in the order and with the duplicates the
// merge gives: stored entries from the last name to the first, then the
// delivered entries applied in this run, from the last to the first.
TEST_F(UpdateIndex, MergeRecordsOnlyWhatThisRunApplied) {
  const TBaZIndexList stored = {{"180101", Entry(5, 1)},
                                {"180102", Entry(5, 2)},
                                {"180104", Entry(8, 3)},
                                {"180201", Entry(1, 4)}};
  const TBaZIndexList delivered = {{"180101", Entry(6, 21)},
                                   {"180102", Entry(7, 22)},
                                   {"180103", Entry(2, 23)},
                                   {"180104", Entry(4, 24)},
                                   {"180105", Entry(3, 25, false)}};
  // 180102 was applied at 240 dpi only; 180101 and 180103 at both.
  const TUpdateList applied = {"180101_120_2003", "180101_240_2003", "180103_120_2003",
                               "180103_240_2003", "180102_240_2003"};
  const TIndexEntries at120 = MergeUpdateIndex(0, stored, delivered, applied);
  const TIndexEntries expected120 = {
      {"180201", Entry(1, 4)},  {"180104", Entry(8, 3)},
      {"180102", Entry(5, 2)},  // not applied at 120 dpi: keeps its date
      {"180101", Entry(6, 21)}, {"180103", Entry(2, 23)},
      {"180101", Entry(6, 21)}};
  const TIndexEntries expected240 = {{"180201", Entry(1, 4)},  {"180104", Entry(8, 3)},
                                     {"180102", Entry(7, 22)}, {"180101", Entry(6, 21)},
                                     {"180103", Entry(2, 23)}, {"180102", Entry(7, 22)},
                                     {"180101", Entry(6, 21)}};
  const std::vector<uint8_t> records120 = IndexRecords(at120);
  EXPECT_EQ(records120, IndexRecords(expected120));
  EXPECT_EQ(IndexRecords(MergeUpdateIndex(1, stored, delivered, applied)),
            IndexRecords(expected240));
  // The record layout: carried value, chart code, date.
  const std::vector<uint8_t> first(records120.begin(), records120.begin() + 12);
  uint32_t code = 0;
  ChartNameToCode("180201", code);
  TMemoryStream want;
  WriteBaZIndexRecord(want, {4, code, Day(1)});
  EXPECT_EQ(first, want.Data());
}

}  // namespace
