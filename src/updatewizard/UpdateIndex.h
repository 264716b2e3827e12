#pragma once
// The choice of updates and the bookkeeping of what has been applied: the
// delivered index ("baz.idx" from the server or the update disk) against the
// two stored indexes (one per resolution, in the settings), and the merge
// that records a run's updates.
//
// Every index is a TBaZIndexList keyed by chart name. An entry's Applies
// flag tells whether the chart's set has any resolution selected in this
// run; records of charts outside the run's chart sets are not taken in.

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "QvDigitalCharts.h"

// The charts to update in this run. Applying modes: chart + "_" + dpi +
// "_2003" (180105_120_2003); download-only mode: file names on the server.
// Sorted, unique, compared without regard to case.
using TUpdateList = std::set<std::string, TCaseInsensitiveLess>;

// An index in the order it is written, duplicates kept.
using TIndexEntries = std::vector<std::pair<std::string, TBaZIndexEntry>>;

// The update-list key of a chart at a resolution: "180105_120_2003".
std::string UpdateKey(const std::string& ChartName, int Resolution);
// The chart name and resolution of a key; false when it is no such key.
bool SplitUpdateKey(const std::string& Key, std::string& ChartName, int& Resolution);

// Reads the records of Stream into List (cleared first). Without a chart-set
// list nothing is taken; "frl" charts never are; a chart is taken when its
// name starts with the code of a set of the list, its Applies flag telling
// whether that set has a resolution selected.
void ReadUpdateIndex(TStream& Stream, TBaZIndexList& List, const TChartSetsList* ChartSets);

// The chart belongs to a set of the list whose Resolution is selected.
bool IsChartInSelectedSet(const TChartSetsList& ChartSets, const std::string& ChartName,
                          int Resolution);

// Adds to UpdateList the charts of one resolution whose delivered update is
// newer than the stored one (or not stored at all), that are to be updated
// and whose set has this resolution selected.
void SelectUpdates(int Resolution, const TBaZIndexList& Stored, const TBaZIndexList& Delivered,
                   const TChartSetsList& ChartSets, TUpdateList& UpdateList);

// The stored index of one resolution after a run: every stored entry (taken
// from the delivered index where this run applied a newer update of that
// chart at this resolution), from the last to the first, then every
// delivered entry that this run applied at this resolution.
TIndexEntries MergeUpdateIndex(int Resolution, const TBaZIndexList& Stored,
                               const TBaZIndexList& Delivered, const TUpdateList& UpdateList);

// The 12-byte records of an index, in order.
std::vector<uint8_t> IndexRecords(const TIndexEntries& Entries);
